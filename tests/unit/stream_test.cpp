#include <gtest/gtest.h>

#include "runner/stream.h"

using namespace kestrin;

TEST(Stream, IntegerRoundTrip) {
    CStream s;
    s.WriteInteger(-5);
    s.Seek(0);
    EXPECT_EQ(s.ReadInteger(), -5);
}
