// Stacks: order of values, empty results and the stored text.

#include "tests/unit/ds_fixture.h"
#include "world/ds_stack.h"

using namespace kestrin;
using namespace kestrin::testing;

namespace {

TEST_F(DsTest, StackPushPopTopAndEmpty) {
    const RValue s = Call("ds_stack_create", {});
    EXPECT_EQ(Real("ds_stack_empty", {s}), 1);
    EXPECT_EQ(Text("ds_stack_pop", {s}), "0");
    EXPECT_EQ(Text("ds_stack_top", {s}), "0");
    Call("ds_stack_push", {s, R(1)});
    Call("ds_stack_push", {s, S("two")});
    Call("ds_stack_push", {s, R(3)});
    EXPECT_EQ(Real("ds_stack_size", {s}), 3);
    EXPECT_EQ(Real("ds_stack_empty", {s}), 0);
    EXPECT_EQ(Text("ds_stack_top", {s}), "3");
    EXPECT_EQ(Text("ds_stack_pop", {s}), "3");
    EXPECT_EQ(Text("ds_stack_pop", {s}), "\"two\"");
    EXPECT_EQ(Real("ds_stack_size", {s}), 1);
    Call("ds_stack_clear", {s});
    EXPECT_EQ(Real("ds_stack_size", {s}), 0);
    EXPECT_TRUE(errors().empty());
}

TEST_F(DsTest, StackTextIsBottomFirst) {
    const RValue s = Call("ds_stack_create", {});
    EXPECT_EQ(Call("ds_stack_write", {s}).str(), "6500000000000000");
    Call("ds_stack_push", {s, R(1)});
    Call("ds_stack_push", {s, S("ab")});
    const std::string expected = HexInt(101) + HexInt(2) + "00000000" + "000000000000F03F" + "00000000" +
                                 "01000000" + "0000000000000000" + "02000000" + "6162";
    const RValue text = Call("ds_stack_write", {s});
    EXPECT_TRUE(text.IsString());
    EXPECT_EQ(text.str(), expected);

    const RValue t = Call("ds_stack_create", {});
    Call("ds_stack_push", {t, R(99)});
    Call("ds_stack_read", {t, text});
    EXPECT_EQ(Real("ds_stack_size", {t}), 2);
    EXPECT_EQ(Text("ds_stack_pop", {t}), "\"ab\"");
    EXPECT_EQ(Text("ds_stack_pop", {t}), "1");
}

} // namespace
