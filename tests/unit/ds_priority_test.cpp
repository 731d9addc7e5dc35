// Priority queues: the first of equal extremes wins, removal moves the last pair into the
// gap, and the stored text holds priorities then values.

#include "tests/unit/ds_fixture.h"
#include "world/ds_priority.h"

using namespace kestrin;
using namespace kestrin::testing;

namespace {

std::string Pairs(const CDS_Priority& p) {
    std::string out;
    for (size_t i = 0; i < p.i_val.size(); ++i)
        out += (out.empty() ? "" : " ") + Show(p.i_val[i]) + ":" + Show(p.i_priority[i]);
    return out;
}

TEST_F(DsTest, PriorityDeleteMinMovesTheLastPairIntoTheGap) {
    const RValue q = Call("ds_priority_create", {});
    Call("ds_priority_add", {q, S("a"), R(1)});
    Call("ds_priority_add", {q, S("b"), R(0)});
    Call("ds_priority_add", {q, S("c"), R(2)});
    EXPECT_EQ(Text("ds_priority_find_min", {q}), "\"b\"");
    EXPECT_EQ(Text("ds_priority_find_max", {q}), "\"c\"");
    EXPECT_EQ(Text("ds_priority_delete_min", {q}), "\"b\"");
    EXPECT_EQ(Pairs(*CDS_Priority::Table().Find(0)), "\"a\":1 \"c\":2");
    EXPECT_EQ(Text("ds_priority_delete_max", {q}), "\"c\"");
    EXPECT_EQ(Text("ds_priority_delete_max", {q}), "\"a\"");
    EXPECT_EQ(Real("ds_priority_empty", {q}), 1);
    for (const char* name :
         {"ds_priority_delete_min", "ds_priority_find_min", "ds_priority_delete_max", "ds_priority_find_max"})
        EXPECT_EQ(Text(name, {q}), "0") << name;
    EXPECT_TRUE(errors().empty());
}

TEST_F(DsTest, PriorityTiesAndValueOperations) {
    CDS_Priority p;
    p.Add(S("x"), R(5));
    p.Add(S("y"), R(1));
    p.Add(S("z"), R(1.000000001)); // equal to 1 within the precision
    p.Add(S("w"), R(5));
    EXPECT_EQ(Show(p.FindMin()), "\"y\"");
    EXPECT_EQ(Show(p.FindMax()), "\"x\"");
    EXPECT_EQ(p.Find(S("z")).val(), 1.000000001);
    EXPECT_EQ(Show(p.Find(S("none"))), "0");
    p.Change(S("z"), R(0));
    EXPECT_EQ(Show(p.FindMin()), "\"z\"");
    p.Change(S("none"), R(-9));
    p.Delete(S("x")); // the last pair takes its place
    EXPECT_EQ(Pairs(p), "\"w\":5 \"y\":1 \"z\":0");
    p.Delete(S("none"));
    EXPECT_EQ(p.Size(), 3u);
    // Priorities may be strings: above every real.
    p.Add(R(7), S("p"));
    EXPECT_EQ(Show(p.FindMax()), "7");
}

TEST_F(DsTest, PriorityTextHoldsPrioritiesThenValues) {
    const RValue q = Call("ds_priority_create", {});
    EXPECT_EQ(Call("ds_priority_write", {q}).str(), "F501000000000000");
    Call("ds_priority_add", {q, S("v"), R(2)});
    const std::string expected = HexInt(501) + HexInt(1) + HexValue(R(2)) + HexValue(S("v"));
    const RValue text = Call("ds_priority_write", {q});
    EXPECT_EQ(text.str(), expected);
    const RValue r = Call("ds_priority_create", {});
    Call("ds_priority_read", {r, text});
    EXPECT_EQ(Text("ds_priority_find_priority", {r, S("v")}), "2");
}

} // namespace
