// Grids: sizes, cell operations, rectangles and disks with their clipping, copies between
// and within grids, statistics, value searches, the shuffle and the stored text.

#include <cmath>
#include <limits>

#include "tests/unit/ds_fixture.h"
#include "world/ds_grid.h"

using namespace kestrin;
using namespace kestrin::testing;

namespace {

// Rows top to bottom, cells separated by spaces.
std::string Cells(const CDS_Grid& g) {
    std::string out;
    for (int32_t y = 0; y < g.i_h; ++y) {
        if (y) out += " / ";
        for (int32_t x = 0; x < g.i_w; ++x) out += (x ? " " : "") + Show(g.At(x, y));
    }
    return out;
}

// A w x h grid whose cell (x, y) holds 10 * x + y.
CDS_Grid Numbered(int32_t w, int32_t h) {
    CDS_Grid g;
    g.Create(w, h);
    for (int32_t x = 0; x < w; ++x)
        for (int32_t y = 0; y < h; ++y) g.At(x, y) = D(R(10 * x + y));
    return g;
}

TEST_F(DsTest, GridCreateResizeAndRefusedSizes) {
    const RValue g = Call("ds_grid_create", {R(3), R(2)});
    EXPECT_EQ(Real("ds_grid_width", {g}), 3);
    EXPECT_EQ(Real("ds_grid_height", {g}), 2);
    Call("ds_grid_set", {g, R(2), R(1), S("corner")});
    Call("ds_grid_set", {g, R(0), R(0), R(7)});
    Call("ds_grid_resize", {g, R(4), R(1)});
    EXPECT_EQ(Cells(*CDS_Grid::Table().Find(0)), "7 0 0 0");
    Call("ds_grid_resize", {g, R(-1), R(3)}); // refused: unchanged
    EXPECT_EQ(Real("ds_grid_width", {g}), 4);
    // A negative size makes no grid, and no table slot is used.
    EXPECT_EQ(Real("ds_grid_create", {R(-2), R(5)}), -1);
    EXPECT_EQ(Real("ds_grid_create", {R(0), R(0)}), 1);
    // Beyond what the runner allows: a fault, before anything is allocated.
    EXPECT_THROW(Call("ds_grid_create", {R(1e6), R(1e6)}), DsLimitFault);
    EXPECT_THROW(Call("ds_grid_resize", {g, R(1e12), R(1)}), DsLimitFault);
    EXPECT_EQ(Real("ds_grid_width", {g}), 4);
    EXPECT_TRUE(errors().empty());
}

TEST_F(DsTest, GridCellOperationsTable) {
    const struct {
        const char* op;
        RValue cell, value;
        const char* expected;
    } cases[] = {
        {"set", R(1), S("a"), "\"a\""},  {"set", S("a"), R(2), "2"},
        {"add", R(1), R(2), "3"},        {"add", S("ab"), S("\xC3\xA9"), "\"ab\xC3\xA9\""},
        {"add", S("5"), R(2), "2"},      {"add", R(2), S("x"), "\"x\""}, // kinds differ: a set
        {"multiply", R(3), R(4), "12"},  {"multiply", S("a"), R(4), "\"a\""},
        {"multiply", R(3), S("a"), "3"},
    };
    for (const auto& c : cases) {
        ResetDataStructures();
        const RValue g = Call("ds_grid_create", {R(2), R(2)});
        Call("ds_grid_set", {g, R(1), R(1), c.cell});
        Call(std::string("ds_grid_") + c.op, {g, R(1), R(1), c.value});
        EXPECT_EQ(Text("ds_grid_get", {g, R(1), R(1)}), c.expected) << c.op << " " << Show(c.cell);
        // Cells outside the grid: nothing happens, and they read as the real 0.
        Call(std::string("ds_grid_") + c.op, {g, R(2), R(0), c.value});
        Call(std::string("ds_grid_") + c.op, {g, R(-1), R(0), c.value});
        EXPECT_EQ(Text("ds_grid_get", {g, R(2), R(0)}), "0");
        EXPECT_EQ(Text("ds_grid_get", {g, R(0), R(-1)}), "0");
    }
    EXPECT_TRUE(errors().empty());
}

TEST_F(DsTest, GridRegionsAreClippedAndTakeEitherCornerOrder) {
    constexpr int64_t far = int64_t{1} << 40;
    const struct {
        int64_t x1, y1, x2, y2;
        const char* expected;
    } cases[] = {
        {1, 0, 2, 1, "0 1 1 / 0 1 1 / 0 0 0"},
        {2, 1, 1, 0, "0 1 1 / 0 1 1 / 0 0 0"},
        {-5, 2, 0, 9, "0 0 0 / 0 0 0 / 1 0 0"},
        {3, 0, 5, 2, "0 0 0 / 0 0 0 / 0 0 0"}, // wholly outside
        {-far, -far, far, far, "1 1 1 / 1 1 1 / 1 1 1"},
    };
    for (const auto& c : cases) {
        CDS_Grid g;
        g.Create(3, 3);
        g.Region_Operation(CellOperation::Set, c.x1, c.y1, c.x2, c.y2, R(1));
        EXPECT_EQ(Cells(g), c.expected) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
    }
    const RValue g = Call("ds_grid_create", {R(3), R(3)});
    Call("ds_grid_set_region", {g, R(0), R(0), R(1), R(1), R(2)});
    Call("ds_grid_add_region", {g, R(1), R(1), R(2), R(2), R(1)});
    Call("ds_grid_multiply_region", {g, R(0), R(1), R(2), R(1), R(10)});
    EXPECT_EQ(Cells(*CDS_Grid::Table().Find(0)), "2 2 0 / 20 30 10 / 0 1 1");
}

TEST_F(DsTest, GridDisksTable) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double x, y, r;
        const char* expected;
    } cases[] = {
        {2, 2, 1, "0 0 0 0 0 / 0 0 1 0 0 / 0 1 1 1 0 / 0 0 1 0 0 / 0 0 0 0 0"},
        {2, 2, 1.5, "0 0 0 0 0 / 0 1 1 1 0 / 0 1 1 1 0 / 0 1 1 1 0 / 0 0 0 0 0"},
        {0.5, 0.5, 0.75, "1 1 0 0 0 / 1 1 0 0 0 / 0 0 0 0 0 / 0 0 0 0 0 / 0 0 0 0 0"},
        {-1, 0, 1, "1 0 0 0 0 / 0 0 0 0 0 / 0 0 0 0 0 / 0 0 0 0 0 / 0 0 0 0 0"}, // centre outside
        {2, 2, 0, "0 0 0 0 0 / 0 0 0 0 0 / 0 0 1 0 0 / 0 0 0 0 0 / 0 0 0 0 0"},
        {2, 2, nan, "0 0 0 0 0 / 0 0 0 0 0 / 0 0 0 0 0 / 0 0 0 0 0 / 0 0 0 0 0"},
        {2, 2, inf, "1 1 1 1 1 / 1 1 1 1 1 / 1 1 1 1 1 / 1 1 1 1 1 / 1 1 1 1 1"},
        {inf, 2, inf, "0 0 0 0 0 / 0 0 0 0 0 / 0 0 0 0 0 / 0 0 0 0 0 / 0 0 0 0 0"},
    };
    for (const auto& c : cases) {
        CDS_Grid g;
        g.Create(5, 5);
        g.Disk_Operation(CellOperation::Set, c.x, c.y, c.r, R(1));
        EXPECT_EQ(Cells(g), c.expected) << c.x << "," << c.y << " r " << c.r;
    }
}

// Copies take the source rectangle clipped to both grids; within one grid the order of the
// walk keeps every value from being overwritten before it is read.
TEST_F(DsTest, GridCopiesBetweenAndWithinGrids) {
    {
        CDS_Grid g;
        g.Create(11, 1);
        for (int x = 0; x <= 10; ++x) g.At(x, 0) = D(R(x));
        g.Grid_Operation(CellOperation::Set, g, 0, 0, 9, 0, 1, 0);
        EXPECT_EQ(Cells(g), "0 0 1 2 3 4 5 6 7 8 9");
        g.Grid_Operation(CellOperation::Set, g, 2, 0, 10, 0, 0, 0);
        EXPECT_EQ(Cells(g), "1 2 3 4 5 6 7 8 9 8 9");
    }
    const struct {
        int64_t x1, y1, x2, y2, xpos, ypos;
        const char* expected;
    } cases[] = {
        // Within a 3 x 3 grid numbered 10x + y, in all four directions of overlap.
        {0, 0, 1, 1, 1, 1, "0 10 20 / 1 0 10 / 2 1 11"},
        {1, 1, 2, 2, 0, 0, "11 21 20 / 12 22 21 / 2 12 22"},
        {0, 1, 1, 2, 1, 0, "0 1 11 / 1 2 12 / 2 12 22"},
        {1, 0, 2, 1, 0, 1, "0 10 20 / 10 20 21 / 11 21 22"},
        // Left of and above the destination: that part is skipped.
        {0, 0, 2, 2, -1, -2, "12 22 20 / 1 11 21 / 2 12 22"},
        // Beyond the destination, or an empty source: nothing.
        {0, 0, 2, 2, 3, 0, "0 10 20 / 1 11 21 / 2 12 22"},
        {5, 0, 9, 2, 0, 0, "0 10 20 / 1 11 21 / 2 12 22"},
    };
    for (const auto& c : cases) {
        CDS_Grid g = Numbered(3, 3);
        g.Grid_Operation(CellOperation::Set, g, c.x1, c.y1, c.x2, c.y2, c.xpos, c.ypos);
        EXPECT_EQ(Cells(g), c.expected)
            << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2 << " to " << c.xpos << "," << c.ypos;
    }
    // Between grids, through the built-ins, with add and multiply.
    const RValue a = Call("ds_grid_create", {R(2), R(2)});
    const RValue b = Call("ds_grid_create", {R(3), R(1)});
    Call("ds_grid_clear", {a, R(2)});
    Call("ds_grid_set_region", {b, R(0), R(0), R(2), R(0), R(5)});
    Call("ds_grid_add_grid_region", {a, b, R(0), R(0), R(2), R(0), R(1), R(1)});
    Call("ds_grid_multiply_grid_region", {a, b, R(0), R(0), R(0), R(0), R(0), R(0)});
    Call("ds_grid_set_grid_region", {b, a, R(1), R(1), R(1), R(1), R(0), R(0)});
    EXPECT_EQ(Cells(*CDS_Grid::Table().Find(0)), "10 2 / 2 7");
    EXPECT_EQ(Cells(*CDS_Grid::Table().Find(1)), "7 5 5");
    // An invalid source is reported after the target.
    Call("ds_grid_set_grid_region", {a, R(7), R(0), R(0), R(0), R(0), R(0), R(0)});
    EXPECT_EQ(errors(), std::vector<std::string>{kNoSuchStructure});
}

TEST_F(DsTest, GridStatisticsTable) {
    const RValue g = Call("ds_grid_create", {R(3), R(3)});
    // Column 0: 1, 2, 3; column 1: strings; column 2: reals above 1e8.
    for (int y = 0; y < 3; ++y) {
        Call("ds_grid_set", {g, R(0), R(y), R(y + 1)});
        Call("ds_grid_set", {g, R(1), R(y), S("9")});
        Call("ds_grid_set", {g, R(2), R(y), R(2e8 + y)});
    }
    const struct {
        const char* name;
        std::initializer_list<RValue> region;
        double expected;
    } cases[] = {
        {"sum", {R(0), R(0), R(0), R(2)}, 6},
        {"mean", {R(0), R(0), R(1), R(2)}, 2}, // strings are skipped
        {"max", {R(0), R(0), R(1), R(2)}, 3},
        {"min", {R(0), R(1), R(1), R(2)}, 2},
        {"max", {R(1), R(0), R(1), R(2)}, -100000000}, // only strings
        {"min", {R(2), R(0), R(2), R(2)}, 100000000},  // all above the start
        {"max", {R(2), R(0), R(2), R(2)}, 2e8 + 2},
        {"mean", {R(1), R(0), R(1), R(2)}, 0},
        {"sum", {R(5), R(5), R(6), R(6)}, 0},
        {"disk_sum", {R(0), R(1), R(1)}, 6}, // (0,0), (0,1), (0,2) and the string (1,1)
        {"disk_mean", {R(0), R(1), R(0)}, 2},
        {"disk_max", {R(1), R(1), R(0.5)}, -100000000},
        {"disk_min", {R(0), R(0), R(1)}, 1},
    };
    for (const auto& c : cases) {
        std::vector<RValue> args{g};
        args.insert(args.end(), c.region.begin(), c.region.end());
        const std::string name = std::string("ds_grid_get_") + c.name;
        RValue result;
        if (args.size() == 5)
            result = Call(name, {args[0], args[1], args[2], args[3], args[4]});
        else
            result = Call(name, {args[0], args[1], args[2], args[3]});
        EXPECT_EQ(result.val(), c.expected) << c.name;
    }
}

TEST_F(DsTest, GridValueSearchesVisitColumnByColumn) {
    const RValue g = Call("ds_grid_create", {R(4), R(4)});
    Call("ds_grid_set", {g, R(2), R(0), S("v")});
    Call("ds_grid_set", {g, R(1), R(3), S("v")});
    Call("ds_grid_set", {g, R(3), R(3), R(5.000000001)});
    const struct {
        const char* kind;
        std::vector<RValue> args;
        double exists, x, y;
    } cases[] = {
        {"", {R(0), R(0), R(3), R(3), S("v")}, 1, 1, 3}, // column 1 comes before column 2
        {"", {R(3), R(3), R(2), R(0), S("v")}, 1, 2, 0},
        {"", {R(0), R(0), R(3), R(3), R(5)}, 1, 3, 3},
        {"", {R(0), R(0), R(3), R(3), S("w")}, 0, 0, 0}, // not found: 0, as a match at (0, 0)
        {"", {R(0), R(0), R(0), R(0), R(0)}, 1, 0, 0},
        {"disk_", {R(2), R(1), R(1), S("v")}, 1, 2, 0},
        {"disk_", {R(0), R(0), R(1.9), S("v")}, 0, 0, 0},
        {"disk_", {R(0), R(0), R(2), S("v")}, 1, 2, 0}, // on the rim
    };
    for (const auto& c : cases) {
        for (const char* what : {"exists", "x", "y"}) {
            const std::string name = std::string("ds_grid_value_") + c.kind + what;
            RValue result;
            if (c.args.size() == 5)
                result = Call(name, {g, c.args[0], c.args[1], c.args[2], c.args[3], c.args[4]});
            else
                result = Call(name, {g, c.args[0], c.args[1], c.args[2], c.args[3]});
            const double expected = what[0] == 'e' ? c.exists : (what[0] == 'x' ? c.x : c.y);
            EXPECT_EQ(result.val(), expected) << name << " " << Show(c.args.back());
        }
    }
}

TEST_F(DsTest, GridShuffleDrawsInItsOrder) {
    static std::vector<int64_t> draws;
    draws.clear();
    SetDsRandom([](int64_t n) -> int64_t {
        draws.push_back(n);
        return draws.size() <= 4 ? n - 1 : 0; // first swap: (2, 1) with (2, 1), then (0,0)s
    });
    CDS_Grid g = Numbered(3, 2);
    g.Shuffle();
    ASSERT_EQ(draws.size(), 4u * 8 * 6);
    EXPECT_EQ(draws[0], 3);
    EXPECT_EQ(draws[1], 3);
    EXPECT_EQ(draws[2], 2);
    EXPECT_EQ(draws[3], 2);
    EXPECT_EQ(Cells(g), Cells(Numbered(3, 2)));
}

TEST_F(DsTest, GridTextIsColumnByColumn) {
    const RValue g = Call("ds_grid_create", {R(2), R(2)});
    Call("ds_grid_set", {g, R(1), R(0), R(1)});
    Call("ds_grid_set", {g, R(0), R(1), S("s")});
    const std::string expected = HexInt(601) + HexInt(2) + HexInt(2) + HexValue(R(0)) + HexValue(S("s")) +
                                 HexValue(R(1)) + HexValue(R(0));
    const RValue text = Call("ds_grid_write", {g});
    EXPECT_EQ(text.str(), expected);
    EXPECT_EQ(text.str().substr(0, 24), "590200000200000002000000");
    const RValue h = Call("ds_grid_create", {R(5), R(5)});
    Call("ds_grid_read", {h, text});
    EXPECT_EQ(Real("ds_grid_width", {h}), 2);
    EXPECT_EQ(Text("ds_grid_get", {h, R(0), R(1)}), "\"s\"");
    // Negative sizes and sizes the text cannot hold are refused.
    CDS_Grid grid = Numbered(1, 1);
    for (const std::string& bad : {HexInt(601) + HexInt(-1) + HexInt(0), HexInt(601) + HexInt(0) + HexInt(-3),
                                   HexInt(601) + HexInt(65536) + HexInt(65536) + HexValue(R(1))}) {
        EXPECT_EQ(grid.ReadFromString(bad), DsReadStatus::Malformed);
        EXPECT_EQ(Cells(grid), "0");
    }
    // A wide grid without rows is a valid, empty grid; the range operations visit nothing.
    ASSERT_EQ(grid.ReadFromString(HexInt(601) + HexInt(0x7FFFFFFF) + HexInt(0)), DsReadStatus::Read);
    EXPECT_EQ(grid.Get_Statistic(CDS_Grid::Statistic::Max, 0, 0, 0x7FFFFFFF, 5), -100000000);
    grid.Resize(3, 1);
    EXPECT_EQ(Cells(grid), "0 0 0");
}

} // namespace

namespace {

// A cell keeps the field its kind does not use: a set or a differing add takes the value's kind
// and the field of it, add and multiply change only the field they work on, a clear copies the
// whole value. Scripts see the field of the kind only (get, statistics, searches); the stored
// text shows both.
TEST_F(DsTest, GridCellsKeepTheirOtherFieldTable) {
    struct Step {
        const char* op;
        RValue value;
    };
    const struct {
        std::vector<Step> steps;
        const char* fields; // of cell (1, 1) afterwards
        const char* shown;  // what ds_grid_get gives
        double sum;
    } cases[] = {
        {{{"set", R(5)}, {"set", S("a")}}, "string 0x1.4p+2 \"a\"", "\"a\"", 0},
        {{{"set", S("a")}, {"set", R(2)}}, "real 0x1p+1 \"a\"", "2", 2},
        {{{"set", S("a")}, {"set", R(-0.0)}}, "real -0x0p+0 \"a\"", "-0", 0},
        {{{"set", R(5)}, {"add", S("x")}}, "string 0x1.4p+2 \"x\"", "\"x\"", 0}, // kinds differ: a set
        {{{"set", R(5)}, {"set", S("ab")}, {"add", S("c")}}, "string 0x1.4p+2 \"abc\"", "\"abc\"", 0},
        {{{"set", S("s")}, {"set", R(3)}, {"add", R(4)}}, "real 0x1.cp+2 \"s\"", "7", 7},
        {{{"set", S("s")}, {"set", R(3)}, {"multiply", R(2)}}, "real 0x1.8p+2 \"s\"", "6", 6},
        {{{"set", R(5)}, {"set", S("a")}, {"multiply", R(3)}}, "string 0x1.4p+2 \"a\"", "\"a\"", 0},
        {{{"set", R(5)}, {"set_region", S("r")}}, "string 0x1.4p+2 \"r\"", "\"r\"", 0},
        {{{"set", S("s")}, {"add_region", R(1)}}, "real 0x1p+0 \"s\"", "1", 1},
        {{{"set", S("s")}, {"set", R(2)}, {"multiply_region", R(4)}}, "real 0x1p+3 \"s\"", "8", 8},
        {{{"set", R(5)}, {"set_disk", S("d")}}, "string 0x1.4p+2 \"d\"", "\"d\"", 0},
        {{{"set", S("s")}, {"add_disk", R(2)}, {"multiply_disk", R(3)}}, "real 0x1.8p+2 \"s\"", "6", 6},
        {{{"set", R(5)}, {"set", S("a")}, {"clear", S("q")}}, "string 0x0p+0 \"q\"", "\"q\"", 0},
        {{{"set", R(5)}, {"set", S("a")}, {"clear", R(1)}}, "real 0x1p+0 \"\"", "1", 1},
    };
    for (const auto& c : cases) {
        ResetDataStructures();
        const RValue g = Call("ds_grid_create", {R(2), R(2)});
        std::string trace;
        for (const Step& step : c.steps) {
            const std::string op = step.op;
            trace += op + " " + Show(step.value) + "; ";
            if (op == "clear")
                Call("ds_grid_clear", {g, step.value});
            else if (op.ends_with("_region"))
                Call("ds_grid_" + op, {g, R(1), R(1), R(1), R(1), step.value});
            else if (op.ends_with("_disk"))
                Call("ds_grid_" + op, {g, R(1), R(1), R(0), step.value});
            else
                Call("ds_grid_" + op, {g, R(1), R(1), step.value});
        }
        const DsValue& cell = CDS_Grid::Table().Find(0)->At(1, 1);
        EXPECT_EQ(Fields(cell), c.fields) << trace;
        const RValue shown = Call("ds_grid_get", {g, R(1), R(1)});
        EXPECT_EQ(Show(shown), c.shown) << trace;
        EXPECT_EQ(Real("ds_grid_get_sum", {g, R(1), R(1), R(1), R(1)}), c.sum) << trace;
        EXPECT_EQ(Real("ds_grid_get_disk_mean", {g, R(1), R(1), R(0)}), c.sum) << trace;
        // A search finds the cell by the field of its kind, never by the other one.
        EXPECT_EQ(Real("ds_grid_value_exists", {g, R(1), R(1), R(1), R(1), shown}), 1) << trace;
        const RValue other = shown.IsReal() ? RValue(cell.str()) : R(cell.val());
        EXPECT_EQ(Real("ds_grid_value_disk_exists", {g, R(1), R(1), R(0), other}), 0) << trace;
        const std::string text(Call("ds_grid_write", {g}).str());
        EXPECT_TRUE(text.ends_with(HexStored(cell.kind(), cell.val(), cell.str()))) << trace;
    }
    EXPECT_TRUE(errors().empty());
}

// Copies between grids apply the cell operation; copies of whole grids, resizes and texts keep
// every field.
TEST_F(DsTest, GridCopiesAndTextsKeepBothFields) {
    const RValue a = Call("ds_grid_create", {R(2), R(1)});
    Call("ds_grid_set", {a, R(0), R(0), R(5)});
    Call("ds_grid_set", {a, R(0), R(0), S("a")});
    Call("ds_grid_set", {a, R(1), R(0), S("s")});
    Call("ds_grid_set", {a, R(1), R(0), R(3)});
    const std::string text =
        HexInt(601) + HexInt(2) + HexInt(1) + HexStored(1, 5, "a") + HexStored(0, 3, "s");
    EXPECT_EQ(Call("ds_grid_write", {a}).str(), text);

    const RValue b = Call("ds_grid_create", {R(2), R(1)});
    Call("ds_grid_clear", {b, R(9)});
    Call("ds_grid_set_grid_region", {b, a, R(0), R(0), R(1), R(0), R(0), R(0)});
    EXPECT_EQ(Call("ds_grid_write", {b}).str(),
              HexInt(601) + HexInt(2) + HexInt(1) + HexStored(1, 9, "a") + HexStored(0, 3, ""));
    Call("ds_grid_add_grid_region", {b, a, R(0), R(0), R(1), R(0), R(0), R(0)});
    EXPECT_EQ(Call("ds_grid_write", {b}).str(),
              HexInt(601) + HexInt(2) + HexInt(1) + HexStored(1, 9, "aa") + HexStored(0, 6, ""));

    const RValue c = Call("ds_grid_create", {R(1), R(1)});
    Call("ds_grid_copy", {c, a});
    EXPECT_EQ(Call("ds_grid_write", {c}).str(), text);
    Call("ds_grid_resize", {c, R(3), R(1)});
    EXPECT_EQ(Call("ds_grid_write", {c}).str(), HexInt(601) + HexInt(3) + HexInt(1) + HexStored(1, 5, "a") +
                                                    HexStored(0, 3, "s") + HexStored(0, 0, ""));

    const RValue d = Call("ds_grid_create", {R(1), R(1)});
    Call("ds_grid_read", {d, RValue(text)});
    EXPECT_EQ(Call("ds_grid_write", {d}).str(), text);
    EXPECT_EQ(Text("ds_grid_get", {d, R(0), R(0)}), "\"a\"");
    EXPECT_EQ(Real("ds_grid_get_sum", {d, R(0), R(0), R(1), R(0)}), 3);
    EXPECT_TRUE(errors().empty());
}

} // namespace
