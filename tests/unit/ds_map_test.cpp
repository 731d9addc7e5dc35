// Maps: key order with duplicates, the two searches (checked against plain scans on maps
// large enough to halve), previous/next, and the stored text.

#include <random>

#include "tests/unit/ds_fixture.h"
#include "world/ds_map.h"

using namespace kestrin;
using namespace kestrin::testing;

namespace {

std::string Keys(const CDS_Map& map) {
    std::string out;
    for (size_t i = 0; i < map.i_key.size(); ++i)
        out += (out.empty() ? "" : " ") + Show(map.i_key[i]) + "=" + Show(map.i_val[i]);
    return out;
}

TEST_F(DsTest, MapKeepsKeysInOrderWithDuplicatesBehind) {
    const RValue m = Call("ds_map_create", {});
    Call("ds_map_add", {m, S("b"), R(1)});
    Call("ds_map_add", {m, R(10), R(2)});
    Call("ds_map_add", {m, S("a"), R(3)});
    Call("ds_map_add", {m, R(-5), R(4)});
    Call("ds_map_add", {m, R(10), R(5)});
    const CDS_Map& map = *CDS_Map::Table().Find(0);
    EXPECT_EQ(Keys(map), "-5=4 10=2 10=5 \"a\"=3 \"b\"=1");
    EXPECT_EQ(Real("ds_map_size", {m}), 5);
    EXPECT_EQ(Real("ds_map_find_value", {m, R(10)}), 2); // the first of the equal keys
    EXPECT_EQ(Real("ds_map_exists", {m, S("a")}), 1);
    EXPECT_EQ(Real("ds_map_exists", {m, S("c")}), 0);
    EXPECT_EQ(Text("ds_map_find_value", {m, S("c")}), "0");
    Call("ds_map_replace", {m, R(10), S("r")});
    Call("ds_map_replace", {m, R(11), S("none")}); // no pair is added
    Call("ds_map_delete", {m, R(10)});
    EXPECT_EQ(Keys(map), "-5=4 10=5 \"a\"=3 \"b\"=1");
    Call("ds_map_delete", {m, R(12)});
    EXPECT_EQ(Real("ds_map_size", {m}), 4);
    EXPECT_EQ(Text("ds_map_find_first", {m}), "-5");
    EXPECT_EQ(Text("ds_map_find_last", {m}), "\"b\"");
    Call("ds_map_clear", {m});
    EXPECT_EQ(Text("ds_map_find_first", {m}), "0");
    EXPECT_EQ(Text("ds_map_find_last", {m}), "0");
    EXPECT_EQ(Real("ds_map_empty", {m}), 1);
    EXPECT_TRUE(errors().empty());
}

TEST_F(DsTest, MapPreviousAndNextTable) {
    const RValue m = Call("ds_map_create", {});
    for (double k : {10.0, 20.0, 30.0}) Call("ds_map_add", {m, R(k), R(0)});
    Call("ds_map_add", {m, S("s"), R(0)});
    const struct {
        RValue key;
        const char* previous;
        const char* next;
    } cases[] = {
        {R(5), "0", "10"},  // below all keys
        {R(10), "0", "20"}, // the first key: nothing before it
        {R(15), "10", "20"},     {R(20), "10", "30"},    {R(30), "20", "\"s\""},
        {S("a"), "30", "\"s\""}, {S("t"), "\"s\"", "0"}, // above all keys: the last key
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Text("ds_map_find_previous", {m, c.key}), c.previous) << Show(c.key);
        EXPECT_EQ(Text("ds_map_find_next", {m, c.key}), c.next) << Show(c.key);
    }
    const RValue e = Call("ds_map_create", {});
    EXPECT_EQ(Text("ds_map_find_previous", {e, R(1)}), "0");
    EXPECT_EQ(Text("ds_map_find_next", {e, R(1)}), "0");
}

// On maps of distinct, well separated keys the halving searches must agree with scans.
TEST_F(DsTest, MapSearchesAgreeWithScans) {
    std::mt19937 random(11);
    for (int round = 0; round < 100; ++round) {
        CDS_Map map;
        const int n = static_cast<int>(random() % 70);
        for (int i = 0; i < n; ++i) map.Add(R(static_cast<double>(random() % 50)), R(i));
        for (size_t i = 1; i < map.i_key.size(); ++i)
            ASSERT_LE(CompareValues(map.i_key[i - 1], map.i_key[i]), 0);
        for (int k = -1; k <= 51; ++k) {
            int64_t lower = -1, upper = -1;
            for (size_t a = 0; a < map.i_key.size(); ++a) {
                if (lower < 0 && map.i_key[a].val() >= k) lower = static_cast<int64_t>(a);
                if (map.i_key[a].val() <= k) upper = static_cast<int64_t>(a);
            }
            EXPECT_EQ(map.LowerIndex(R(k)), lower) << round << " " << k;
            EXPECT_EQ(map.UpperIndex(R(k)), upper) << round << " " << k;
        }
    }
}

// Keys added equal are found in the order they were added, also past the scan of eight.
TEST_F(DsTest, MapDuplicateKeysInALargeMap) {
    CDS_Map map;
    for (int i = 0; i < 40; ++i) map.Add(R(i % 4), R(i));
    EXPECT_EQ(map.Find(R(2)).val(), 2);
    map.Delete(R(2));
    EXPECT_EQ(map.Find(R(2)).val(), 6);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(map.i_val[static_cast<size_t>(i)].val(), 4 * i); // key 0, in order
}

TEST_F(DsTest, MapTextHoldsKeysThenValues) {
    const RValue m = Call("ds_map_create", {});
    EXPECT_EQ(Call("ds_map_write", {m}).str(), "9101000000000000");
    Call("ds_map_add", {m, S("k"), R(2)});
    Call("ds_map_add", {m, R(1), S("v")});
    const std::string expected =
        HexInt(401) + HexInt(2) + HexValue(R(1)) + HexValue(S("k")) + HexValue(S("v")) + HexValue(R(2));
    EXPECT_EQ(expected, "9101000002000000"
                        "00000000000000000000F03F00000000"
                        "01000000000000000000000001000000"
                        "6B"
                        "01000000000000000000000001000000"
                        "76"
                        "00000000000000000000004000000000");
    const RValue text = Call("ds_map_write", {m});
    EXPECT_EQ(text.str(), expected);
    const RValue n = Call("ds_map_create", {});
    Call("ds_map_read", {n, text});
    EXPECT_EQ(Text("ds_map_find_value", {n, S("k")}), "2");
    EXPECT_EQ(Text("ds_map_find_value", {n, R(1)}), "\"v\"");
    // A text whose count needs more values than it holds for the values half is refused.
    CDS_Map map;
    EXPECT_EQ(map.ReadFromString(HexInt(401) + HexInt(2) + HexValue(R(1)) + HexValue(R(2)) + HexValue(R(3))),
              DsReadStatus::Malformed);
    EXPECT_EQ(map.Size(), 0u);
}

} // namespace
