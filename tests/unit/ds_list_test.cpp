// Lists: positions, searches with the precision, the insertion sort's order of equal
// values, the shuffle's draws and the stored text.

#include <cmath>
#include <iterator>
#include <limits>
#include <random>

#include "script/random.h"
#include "tests/unit/ds_fixture.h"
#include "world/ds_list.h"

using namespace kestrin;
using namespace kestrin::testing;

namespace {

std::string Contents(const CDS_List& list) {
    std::string out;
    for (const DsValue& v : list.i_val) out += (out.empty() ? "" : " ") + Show(v);
    return out;
}

CDS_List ListOf(std::initializer_list<RValue> values) {
    CDS_List list;
    for (const RValue& v : values) list.Add(v);
    return list;
}

TEST_F(DsTest, ListPositionsTable) {
    const struct {
        const char* op;
        double pos;
        const char* expected;
    } cases[] = {
        {"insert", 0, "9 1 2 3"}, {"insert", 3, "1 2 3 9"},   {"insert", 4, "1 2 3"},
        {"insert", -1, "1 2 3"},  {"insert", 1.5, "1 2 9 3"}, // rounds ties to even
        {"replace", 2, "1 2 9"},  {"replace", 3, "1 2 3"},    {"replace", -1, "1 2 3"},
        {"delete", 0, "2 3"},     {"delete", 2, "1 2"},       {"delete", 3, "1 2 3"},
        {"delete", NAN, "1 2 3"},
    };
    for (const auto& c : cases) {
        ResetDataStructures();
        const RValue l = Call("ds_list_create", {});
        for (int v = 1; v <= 3; ++v) Call("ds_list_add", {l, R(v)});
        const std::string op = c.op;
        if (op == "delete")
            Call("ds_list_delete", {l, R(c.pos)});
        else
            Call("ds_list_" + op, {l, R(c.pos), R(9)});
        EXPECT_EQ(Contents(*CDS_List::Table().Find(0)), c.expected) << c.op << " " << c.pos;
    }
    EXPECT_TRUE(errors().empty());
}

TEST_F(DsTest, ListFindValueAndIndex) {
    const RValue l = Call("ds_list_create", {});
    Call("ds_list_add", {l, R(1)});
    Call("ds_list_add", {l, S("x")});
    Call("ds_list_add", {l, R(1.000000001)});
    EXPECT_EQ(Text("ds_list_find_value", {l, R(1)}), "\"x\"");
    EXPECT_EQ(Text("ds_list_find_value", {l, R(3)}), "0");
    EXPECT_EQ(Text("ds_list_find_value", {l, R(-1)}), "0");
    EXPECT_EQ(Real("ds_list_find_index", {l, R(1.000000001)}), 0); // the lowest equal position
    EXPECT_EQ(Real("ds_list_find_index", {l, S("x")}), 1);
    EXPECT_EQ(Real("ds_list_find_index", {l, S("X")}), -1);
    EXPECT_EQ(Real("ds_list_find_index", {l, R(2)}), -1);
}

TEST_F(DsTest, ListSortTable) {
    const struct {
        double precision;
        std::initializer_list<RValue> values;
        bool ascend;
        const char* expected;
    } cases[] = {
        // Equal values keep their order ascending and swap it descending.
        {0.1, {R(1.05), R(2), R(1.0)}, true, "1.05 1 2"},
        {0.1, {R(1.0), R(2), R(1.05)}, false, "2 1.05 1"},
        {1e-8, {R(3), S("b"), R(1), S("a"), R(2)}, true, "1 2 3 \"a\" \"b\""},
        {1e-8, {R(3), S("b"), R(1), S("a"), R(2)}, false, "\"b\" \"a\" 3 2 1"},
        {1e-8, {S("b"), S("B"), S("ab")}, true, "\"B\" \"ab\" \"b\""},
        {1e-8, {R(5)}, true, "5"},
        {1e-8, {}, false, ""},
        // Nearly equal chains: the outcome is the insertion sort's own, not a sorted order.
        {0.15, {R(1.2), R(1.1), R(1.0)}, true, "1.2 1.1000000000000001 1"},
    };
    for (const auto& c : cases) {
        SetDsPrecision(c.precision);
        CDS_List list = ListOf(c.values);
        list.Sort(c.ascend ? DsSortOrder::Ascending : DsSortOrder::Descending);
        EXPECT_EQ(Contents(list), c.expected);
    }
}

// The same order as plain pairwise swaps would make, whether the values are well apart (with
// duplicates, signed zeros and infinities) or full of nearly equal ones.
TEST_F(DsTest, ListSortMatchesPairwiseSwaps) {
    std::mt19937 random(7);
    const double inf = std::numeric_limits<double>::infinity();
    const double specials[] = {-0.0, 0.0, inf, -inf, 1 + 5e-9, 1e300, -1e-300};
    for (const double precision : {0.5, 1e-8, 0.0}) {
        SetDsPrecision(precision);
        for (int round = 0; round < 200; ++round) {
            CDS_List list;
            const int n = static_cast<int>(random() % 60);
            for (int i = 0; i < n; ++i) {
                const auto pick = random() % 12;
                if (pick == 0)
                    list.Add(RValue(std::string(1, static_cast<char>('a' + random() % 3))));
                else if (pick == 1 && round % 4 == 0)
                    list.Add(R(specials[random() % std::size(specials)]));
                else
                    list.Add(R(static_cast<double>(random() % 40) / 10.0));
            }
            for (const bool ascend : {true, false}) {
                std::vector<DsValue> v = list.i_val;
                for (size_t i = 1; i < v.size(); ++i)
                    for (size_t j = i; j >= 1; --j) {
                        if ((CompareValues(v[j - 1], v[j]) > 0) != ascend) break;
                        std::swap(v[j - 1], v[j]);
                    }
                CDS_List sorted = list;
                sorted.Sort(ascend ? DsSortOrder::Ascending : DsSortOrder::Descending);
                ASSERT_EQ(sorted.i_val.size(), v.size());
                for (size_t i = 0; i < v.size(); ++i) {
                    // Identical bits: a sort must not swap 0 and -0 where the swaps would not.
                    EXPECT_TRUE(sorted.i_val[i].Value().SameAs(v[i].Value()) &&
                                std::signbit(sorted.i_val[i].val()) == std::signbit(v[i].val()))
                        << precision << " " << round << " " << i;
                }
            }
        }
    }
}

TEST_F(DsTest, ListShuffleDrawsTwoPositionsEightTimesPerValue) {
    static std::vector<int64_t> draws;
    static std::vector<int64_t> script;
    draws.clear();
    script = {2, 0, 1, 1};
    SetDsRandom([](int64_t n) -> int64_t {
        draws.push_back(n);
        const int64_t v = script.empty() ? 0 : script.front();
        if (!script.empty()) script.erase(script.begin());
        return v;
    });
    CDS_List list = ListOf({R(1), R(2), R(3)});
    list.Shuffle();
    EXPECT_EQ(draws.size(), 48u);
    EXPECT_EQ(draws[0], 3);
    EXPECT_EQ(Contents(list), "3 2 1"); // swap(2, 0), swap(1, 1), then swaps of 0 with 0
    CDS_List empty;
    empty.Shuffle();
    EXPECT_EQ(draws.size(), 48u);
}

// Without a source of its own the shuffle follows the runner's generator: the same seed, the
// same order.
TEST_F(DsTest, ListShuffleFollowsTheRunnerSeed) {
    std::string orders[2];
    for (std::string& order : orders) {
        SetRandomSeed(12345);
        CDS_List list;
        for (int i = 0; i < 20; ++i) list.Add(R(i));
        list.Shuffle();
        order = Contents(list);
    }
    EXPECT_EQ(orders[0], orders[1]);
    EXPECT_NE(orders[0],
              Contents(ListOf({R(0),  R(1),  R(2),  R(3),  R(4),  R(5),  R(6),  R(7),  R(8),  R(9),
                               R(10), R(11), R(12), R(13), R(14), R(15), R(16), R(17), R(18), R(19)})));
}

TEST_F(DsTest, ListTextsOfThePartExamples) {
    const RValue l = Call("ds_list_create", {});
    EXPECT_EQ(Call("ds_list_write", {l}).str(), "2D01000000000000");
    Call("ds_list_add", {l, R(1)});
    EXPECT_EQ(Call("ds_list_write", {l}).str(), "2D0100000100000000000000000000000000F03F00000000");
    // A string is written with its real field 0, UTF-8 bytes as they are.
    Call("ds_list_replace", {l, R(0), S("\xC3\xA9")});
    EXPECT_EQ(Call("ds_list_write", {l}).str(), "2D01000001000000010000000000000000000000"
                                                "02000000C3A9");

    const RValue m = Call("ds_list_create", {});
    Call("ds_list_read", {m, S("2d0100000100000000000000000000000000f03f00000000")});
    EXPECT_EQ(Text("ds_list_find_value", {m, R(0)}), "1");
    // A map's text changes nothing and reports nothing.
    Call("ds_list_read", {m, S("9101000000000000")});
    EXPECT_EQ(Real("ds_list_size", {m}), 1);
    EXPECT_TRUE(errors().empty());
}

// A value for the sort checks: mostly reals on a short ladder of `step`, so that neighbours
// are nearly equal and chains form, and now and then a text (malformed UTF-8 too), a signed
// zero, an infinity or NaN. Some carry a second field, which the sort must carry along.
DsValue SortCase(std::mt19937& random, double step, bool withNaN) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    static const char* const texts[] = {
        "a", "b", "ab", "B", "", "\xC3\xA9", "\xF0\x9F\x98\x80", "\xEF\xBD\x81", "\xC3", "a\x80\x80"};
    const double specials[] = {0.0, -0.0, inf, -inf, 1e300, -1e-300, nan, -nan};
    DsValue v;
    const auto pick = random() % 10;
    if (pick == 0)
        v = D(S(texts[random() % std::size(texts)]));
    else if (pick == 1)
        v = D(R(specials[random() % (std::size(specials) - (withNaN ? 0 : 2))]));
    else
        v = D(R((random() % 2 ? 1.0 : -1.0) * (1.0 + static_cast<double>(random() % 30) * step)));
    if (random() % 6 == 0) {
        DsValue both = v.IsReal() ? D(S("other")) : D(R(7.5));
        both.SetField(v);
        return both;
    }
    return v;
}

// The fast sort against the definition, value for value with both fields, in both directions:
// lists whose comparison is an order (distinct ladders, texts, duplicates) and lists full of
// nearly equal chains and NaN, at several precisions, long enough to span many blocks.
TEST_F(DsTest, ListSortMatchesTheInsertionSort) {
    std::mt19937 random(23);
    const double inf = std::numeric_limits<double>::infinity();
    for (const double precision : {1e-8, 0.0, 0.05, 0.3, inf}) {
        SetDsPrecision(precision);
        const double unit = precision == 0.0 ? 1e-12 : (std::isinf(precision) ? 1.0 : precision);
        for (int round = 0; round < 40; ++round) {
            const size_t n = round % 5 == 0 ? 600 + random() % 600 : 17 + random() % 150;
            // Ladders wider than the precision make the comparison an order unless NaN is in.
            const double steps[] = {0.3, 0.7, 1.0, 1.5, 3.0};
            const double step = unit * steps[random() % std::size(steps)];
            const bool withNaN = round % 3 != 0;
            std::vector<DsValue> values;
            for (size_t i = 0; i < n; ++i) values.push_back(SortCase(random, step, withNaN));
            for (const DsSortOrder order : {DsSortOrder::Ascending, DsSortOrder::Descending}) {
                std::vector<DsValue> expected = values, actual = values;
                InsertionSortValues(expected, order);
                SortValues(actual, order);
                ASSERT_EQ(actual.size(), expected.size());
                for (size_t i = 0; i < n; ++i)
                    ASSERT_EQ(Fields(actual[i]), Fields(expected[i]))
                        << "precision " << precision << " round " << round << " position " << i
                        << (order == DsSortOrder::Ascending ? " ascending" : " descending");
            }
        }
    }
}

// NaN compares above every real from both sides: ascending, a real passes a NaN on its left,
// descending it stops there, so no order holds across a NaN.
TEST_F(DsTest, ListSortWithNaNTable) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        std::initializer_list<RValue> values;
        bool ascend;
        const char* expected;
    } cases[] = {
        {{R(2), R(nan), R(1)}, true, "1 nan 2"},
        {{R(nan), R(2), R(nan), R(1)}, true, "1 nan 2 nan"},
        {{R(2), R(nan), S("a"), R(1)}, true, "1 nan 2 \"a\""},
        {{R(2), R(nan), R(1)}, false, "2 nan 1"},
        {{R(1), R(nan), R(2), S("a")}, false, "\"a\" 1 nan 2"},
    };
    for (const auto& c : cases) {
        CDS_List list = ListOf(c.values);
        list.Sort(c.ascend ? DsSortOrder::Ascending : DsSortOrder::Descending);
        EXPECT_EQ(Contents(list), c.expected);
    }
}

} // namespace
