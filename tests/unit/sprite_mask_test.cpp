#include <gtest/gtest.h>

#include "world/mask.h"

namespace kestrin {
namespace {

TEST(SpriteMask, EmptyWithoutFrame) {
    TMask m(nullptr, 0, {}, 0, 0);
    EXPECT_EQ(m.i_w, 0);
    EXPECT_EQ(m.i_bbox, TRect{});
}

} // namespace
} // namespace kestrin
