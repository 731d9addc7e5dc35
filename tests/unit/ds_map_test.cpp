// Maps: key order with duplicates, the two searches (checked against plain scans on maps
// large enough to halve), previous/next, and the stored text.

#include <algorithm>
#include <limits>
#include <numeric>
#include <random>

#include "tests/unit/ds_fixture.h"
#include "world/ds_map.h"

using namespace kestrin;
using namespace kestrin::testing;

namespace {

std::string Keys(const CDS_Map& map) {
    std::string out;
    for (size_t i = 0; i < map.Size(); ++i)
        out += (out.empty() ? "" : " ") + Show(map.KeyAt(i)) + "=" + Show(map.ValueAt(i));
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
        for (size_t i = 1; i < map.Size(); ++i) ASSERT_LE(CompareValues(map.KeyAt(i - 1), map.KeyAt(i)), 0);
        for (int k = -1; k <= 51; ++k) {
            int64_t lower = -1, upper = -1;
            for (size_t a = 0; a < map.Size(); ++a) {
                if (lower < 0 && map.KeyAt(a).val() >= k) lower = static_cast<int64_t>(a);
                if (map.KeyAt(a).val() <= k) upper = static_cast<int64_t>(a);
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
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(map.ValueAt(static_cast<size_t>(i)).val(), 4 * i); // key 0, in order
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

template <class Map> std::string Pairs(const Map& map) {
    std::string out;
    for (size_t i = 0; i < map.Size(); ++i) out += Fields(map.KeyAt(i)) + "=" + Fields(map.ValueAt(i)) + " ";
    return out;
}

std::string Hex(const DsValue& v) {
    CStream s;
    v.SaveToStream(s);
    return s.ConvertToString();
}

// The blocked map against the plain arrays, through every operation: keys on a ladder of
// nearly equal reals, texts and NaN, maps that grow over many blocks and shrink again, and
// texts whose keys come in any order (where a search finds what its probes happen to meet).
// Bursts of searches without changes make the map search through its flat index, and the
// changes after them must not be answered from that index.
TEST_F(DsTest, MapMatchesThePlainArrays) {
    std::mt19937 random(31);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const auto key = [&](double step) {
        const auto pick = random() % 20;
        if (pick == 0) return R(nan);
        if (pick == 1) return RValue(std::string(1, static_cast<char>('a' + random() % 5)));
        return R(static_cast<double>(random() % 700) * step);
    };
    const auto searchesAgree = [&](const CDS_Map& fast, const DsPlainMap& plain, double step, int rounds) {
        for (int i = 0; i < rounds; ++i) {
            const RValue k = key(step);
            ASSERT_EQ(fast.LowerIndex(k), plain.LowerIndex(k));
            ASSERT_EQ(fast.UpperIndex(k), plain.UpperIndex(k));
            ASSERT_EQ(Show(fast.Find(k)), Show(plain.Find(k)));
        }
    };
    for (const double precision : {1e-8, 0.0, 0.4}) {
        SetDsPrecision(precision);
        for (const double step : {1.0, 0.25}) {
            CDS_Map fast;
            DsPlainMap plain;
            for (int op = 0; op < 6000; ++op) {
                const RValue k = key(step);
                const auto pick = random() % 100;
                // Grow to some thousands of pairs, then shrink below a block, then grow again.
                const bool shrinking = op % 3000 > 2000;
                if (pick < (shrinking ? 10u : 45u)) {
                    fast.Add(k, R(op));
                    plain.Add(k, R(op));
                } else if (pick < (shrinking ? 80u : 55u)) {
                    fast.Delete(k);
                    plain.Delete(k);
                } else if (pick < 60) {
                    fast.Replace(k, S("r"));
                    plain.Replace(k, S("r"));
                } else if (pick == 60 && plain.Size() > 0) {
                    // A text of the same pairs with the keys in a random order.
                    std::vector<size_t> order(plain.Size());
                    std::iota(order.begin(), order.end(), size_t{0});
                    std::shuffle(order.begin(), order.end(), random);
                    std::string text = HexInt(401) + HexInt(static_cast<int32_t>(order.size()));
                    for (size_t i : order) text += Hex(plain.KeyAt(i));
                    for (size_t i : order) text += Hex(plain.ValueAt(i));
                    ASSERT_EQ(fast.ReadFromString(text), DsReadStatus::Read);
                    ASSERT_EQ(plain.ReadFromString(text), DsReadStatus::Read);
                }
                ASSERT_EQ(fast.Size(), plain.Size());
                ASSERT_EQ(fast.LowerIndex(k), plain.LowerIndex(k)) << op;
                ASSERT_EQ(fast.UpperIndex(k), plain.UpperIndex(k)) << op;
                ASSERT_EQ(fast.Exists(k), plain.Exists(k)) << op;
                ASSERT_EQ(Show(fast.Find(k)), Show(plain.Find(k))) << op;
                ASSERT_EQ(Show(fast.FindPrevious(k)), Show(plain.FindPrevious(k))) << op;
                ASSERT_EQ(Show(fast.FindNext(k)), Show(plain.FindNext(k))) << op;
                ASSERT_EQ(Show(fast.FindFirst()), Show(plain.FindFirst())) << op;
                ASSERT_EQ(Show(fast.FindLast()), Show(plain.FindLast())) << op;
                if (op % 500 == 0) {
                    ASSERT_NO_FATAL_FAILURE(searchesAgree(fast, plain, step, 300)) << op;
                }
                if (op % 250 == 0) {
                    ASSERT_EQ(Pairs(fast), Pairs(plain)) << op;
                    ASSERT_EQ(fast.WriteToString(), plain.WriteToString()) << op;
                }
            }
            EXPECT_GT(fast.Pairs().BlockCount(), 1u);
            EXPECT_EQ(Pairs(fast), Pairs(plain));
            CDS_Map copy;
            ASSERT_NO_FATAL_FAILURE(searchesAgree(fast, plain, step, 300));
            copy.Assign(fast);
            EXPECT_EQ(copy.WriteToString(), plain.WriteToString());
            // The copy keeps its own keys when the original changes after lending its index.
            const DsPlainMap before = plain;
            fast.Clear();
            ASSERT_NO_FATAL_FAILURE(searchesAgree(copy, before, step, 300));
        }
    }
}

} // namespace
