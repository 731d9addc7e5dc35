// Grid planning: searches on small mazes as exact point lists with and without diagonals, the
// walk back that never cuts a corner, cells free again after every search, refused searches
// that leave the path alone, rectangles and instances rasterised into cells, sizes refused,
// and the built-ins with their argument checks.

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <limits>
#include <string>
#include <vector>

#include "script/registry.h"
#include "tests/unit/mp_fixture.h"
#include "world/mp_grid.h"
#include "world/mp_step.h"

namespace kestrin::testing {
namespace {

// A maze drawn as rows ('#' forbidden, 'S' start, 'G' goal) on cells of 10 pixels at (0, 0).
struct Maze {
    CGrid grid;
    int32_t sx = 0, sy = 0, gx = 0, gy = 0; // cell centres of S and G

    explicit Maze(const std::vector<std::string>& rows) {
        const int32_t v = int32_t(rows.size()), h = int32_t(rows[0].size());
        EXPECT_TRUE(grid.Create(0, 0, h, v, 10, 10));
        for (int32_t j = 0; j < v; ++j)
            for (int32_t i = 0; i < h; ++i) {
                const char c = rows[size_t(j)][size_t(i)];
                if (c == '#') grid.AddCell(i, j);
                if (c == 'S') sx = 10 * i + 5, sy = 10 * j + 5;
                if (c == 'G') gx = 10 * i + 5, gy = 10 * j + 5;
            }
    }
    bool Find(CPath& path, bool diag) { return grid.FindPath(path, sx, sy, gx, gy, diag); }
};

bool OnlyFreeOrForbidden(const CGrid& grid) {
    for (const int32_t c : grid.Cells())
        if (c != kGridFree && c != kGridForbidden) return false;
    return true;
}

// Every step of a route through cell centres is to a free neighbour, and a diagonal step has
// both cells beside it free.
void ExpectLegalRoute(const CGrid& grid, const Points& points) {
    for (size_t n = 1; n + 1 < points.size(); ++n) {
        const int32_t i = int32_t(points[n].first) / 10, j = int32_t(points[n].second) / 10;
        EXPECT_EQ(grid.Cell(i, j), kGridFree) << "cell " << i << "," << j;
    }
    for (size_t n = 1; n < points.size(); ++n) {
        const int32_t i0 = int32_t(points[n - 1].first) / 10, j0 = int32_t(points[n - 1].second) / 10;
        const int32_t i1 = int32_t(points[n].first) / 10, j1 = int32_t(points[n].second) / 10;
        EXPECT_LE(std::abs(i1 - i0), 1);
        EXPECT_LE(std::abs(j1 - j0), 1);
        if (i0 != i1 && j0 != j1) {
            EXPECT_NE(grid.Cell(i1, j0), kGridForbidden) << "corner cut at step " << n;
            EXPECT_NE(grid.Cell(i0, j1), kGridForbidden) << "corner cut at step " << n;
        }
    }
}

TEST(MpGrid, FreeThreeByThree) {
    CGrid grid;
    ASSERT_TRUE(grid.Create(0, 0, 3, 3, 32, 32));
    CPath path;
    ASSERT_TRUE(grid.FindPath(path, 16, 16, 80, 80, false));
    EXPECT_EQ(PointsOf(path), (Points{{16, 16}, {16, 48}, {16, 80}, {48, 80}, {80, 80}}));
    EXPECT_EQ(path.Kind(), kPathKindStraight);
    EXPECT_FALSE(path.Closed());
    for (const RWayPoint& p : path.Points()) EXPECT_EQ(p.speed, 100);
    ASSERT_TRUE(grid.FindPath(path, 16, 16, 80, 80, true));
    EXPECT_EQ(PointsOf(path), (Points{{16, 16}, {48, 48}, {80, 80}}));
    // Exact start and goal points; the same cell gives just the two.
    ASSERT_TRUE(grid.FindPath(path, 3, 4, 90, 70, true));
    EXPECT_EQ(PointsOf(path), (Points{{3, 4}, {48, 48}, {90, 70}}));
    ASSERT_TRUE(grid.FindPath(path, 40, 50, 60, 35, false));
    EXPECT_EQ(PointsOf(path), (Points{{40, 50}, {60, 35}}));
    EXPECT_TRUE(OnlyFreeOrForbidden(grid));
}

TEST(MpGrid, MazesAsPointLists) {
    const std::vector<std::string> open = {
        "S.....",
        "..##..",
        "...#..",
        "#....G",
    };
    const std::vector<std::string> walled = {
        "S.#...",
        ".##.#.",
        "....#G",
        ".##...",
    };
    struct Case {
        const std::vector<std::string>* rows;
        bool diag;
        Points expected;
    };
    const Case cases[] = {
        {&open,
         false,
         {{5, 5}, {5, 15}, {5, 25}, {15, 25}, {15, 35}, {25, 35}, {35, 35}, {45, 35}, {55, 35}}},
        {&open, true, {{5, 5}, {15, 15}, {15, 25}, {25, 35}, {35, 35}, {45, 35}, {55, 35}}},
        // Every diagonal here would cut a corner, so diagonals change nothing.
        {&walled,
         false,
         {{5, 5}, {5, 15}, {5, 25}, {15, 25}, {25, 25}, {35, 25}, {35, 35}, {45, 35}, {55, 35}, {55, 25}}},
        {&walled,
         true,
         {{5, 5}, {5, 15}, {5, 25}, {15, 25}, {25, 25}, {35, 25}, {35, 35}, {45, 35}, {55, 35}, {55, 25}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << (c.rows == &open ? "open" : "walled") << " diag " << c.diag);
        Maze maze(*c.rows);
        CPath path;
        ASSERT_TRUE(maze.Find(path, c.diag));
        EXPECT_EQ(PointsOf(path), c.expected);
        ExpectLegalRoute(maze.grid, PointsOf(path));
        EXPECT_TRUE(OnlyFreeOrForbidden(maze.grid));
    }
}

TEST(MpGrid, TraceBackNeverCutsACorner) {
    // The goal is labelled from its upper right neighbour; its lower right neighbour has the
    // same label but lies past the corner where the two forbidden cells beside it meet. The
    // first choice in the walk back's order would slip through that corner.
    Maze maze({
        "#..#.",
        ".....",
        ".G.#S",
        "##...",
        ".#...",
    });
    CPath path;
    ASSERT_TRUE(maze.Find(path, true));
    EXPECT_EQ(PointsOf(path), (Points{{45, 25}, {45, 15}, {35, 15}, {25, 15}, {15, 25}}));
    ExpectLegalRoute(maze.grid, PointsOf(path));
}

// The shortest number of moves from S to G over the same rules, for the random mazes below.
int32_t Moves(const CGrid& grid, int32_t si, int32_t sj, int32_t gi, int32_t gj, bool diag) {
    const int32_t h = grid.HCells(), v = grid.VCells();
    std::vector<int32_t> dist(size_t(h * v), -1);
    std::deque<std::pair<int32_t, int32_t>> queue{{si, sj}};
    dist[size_t(si * v + sj)] = 0;
    const auto free = [&](int32_t i, int32_t j) { return grid.Cell(i, j) == kGridFree; };
    while (!queue.empty()) {
        const auto [i, j] = queue.front();
        queue.pop_front();
        if (i == gi && j == gj) return dist[size_t(i * v + j)];
        for (int32_t di = -1; di <= 1; ++di)
            for (int32_t dj = -1; dj <= 1; ++dj) {
                if ((di == 0) == (dj == 0) && !(di != 0 && dj != 0 && diag)) continue;
                const int32_t a = i + di, b = j + dj;
                if (!free(a, b) || dist[size_t(a * v + b)] >= 0) continue;
                if (di != 0 && dj != 0 && (!free(a, j) || !free(i, b))) continue;
                dist[size_t(a * v + b)] = dist[size_t(i * v + j)] + 1;
                queue.emplace_back(a, b);
            }
    }
    return -1;
}

TEST(MpGrid, RandomMazesGiveLegalRoutes) {
    // Without diagonals the search finds a shortest route; with them a route that is never
    // longer than the orthogonal one (the search's rule skips some diagonals), and always legal.
    std::srand(7);
    for (int32_t trial = 0; trial < 300; ++trial) {
        CGrid grid;
        ASSERT_TRUE(grid.Create(0, 0, 9, 7, 10, 10));
        for (int32_t i = 0; i < 9; ++i)
            for (int32_t j = 0; j < 7; ++j)
                if (std::rand() % 100 < 30) grid.AddCell(i, j);
        const int32_t si = std::rand() % 9, sj = std::rand() % 7, gi = std::rand() % 9, gj = std::rand() % 7;
        grid.ClearCell(si, sj);
        grid.ClearCell(gi, gj);
        const int32_t orthogonal = Moves(grid, si, sj, gi, gj, false);
        for (const bool diag : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "trial " << trial << " diag " << diag);
            CPath path;
            const bool found = grid.FindPath(path, si * 10 + 5, sj * 10 + 5, gi * 10 + 5, gj * 10 + 5, diag);
            EXPECT_EQ(found, orthogonal >= 0);
            EXPECT_TRUE(OnlyFreeOrForbidden(grid));
            if (!found) continue;
            const Points points = PointsOf(path);
            ExpectLegalRoute(grid, points);
            const int32_t moves = std::max<int32_t>(1, int32_t(points.size()) - 1);
            if (!diag) {
                EXPECT_EQ(moves, std::max(1, orthogonal));
            } else {
                EXPECT_LE(moves, std::max(1, orthogonal));
                EXPECT_GE(moves, std::max(1, Moves(grid, si, sj, gi, gj, true)));
            }
        }
    }
}

TEST(MpGrid, SearchesBackToBackStartFromFreeCells) {
    Maze maze({
        "S.#..",
        "..#..",
        "..#.G",
    });
    CPath path;
    EXPECT_FALSE(maze.Find(path, true)) << "the wall splits the grid";
    EXPECT_TRUE(OnlyFreeOrForbidden(maze.grid));
    maze.grid.ClearCell(2, 2);
    ASSERT_TRUE(maze.Find(path, false));
    const Points first = PointsOf(path);
    EXPECT_TRUE(OnlyFreeOrForbidden(maze.grid));
    ASSERT_TRUE(maze.Find(path, false));
    EXPECT_EQ(PointsOf(path), first);
    ASSERT_TRUE(maze.grid.FindPath(path, 45, 25, 5, 5, false)) << "and back the other way";
    EXPECT_EQ(PointsOf(path).size(), first.size());
    EXPECT_TRUE(OnlyFreeOrForbidden(maze.grid));
}

TEST(MpGrid, RefusedSearchesLeaveThePathAlone) {
    CGrid grid;
    ASSERT_TRUE(grid.Create(-20, 10, 4, 3, 10, 10)); // x -20..19, y 10..39
    grid.AddCell(3, 2);
    grid.AddCell(0, 0);
    struct Case {
        int32_t xs, ys, xg, yg;
        const char* why;
    };
    const Case cases[] = {
        {-21, 15, 0, 15, "start left of the grid"},
        {20, 15, 0, 15, "start on the right edge"},
        {-5, 9, 0, 15, "start above"},
        {-5, 40, 0, 15, "start on the bottom edge"},
        {-15, 15, 0, 15, "start cell forbidden"},
        {0, 15, 25, 15, "goal outside"},
        {0, 15, 15, 35, "goal cell forbidden"},
        {0, 15, -5, 45, "goal below"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        CPath path;
        path.AddPoint(1, 2, 50);
        path.AddPoint(3, 4, 50);
        path.SetKind(kPathKindSmooth);
        EXPECT_FALSE(grid.FindPath(path, c.xs, c.ys, c.xg, c.yg, true));
        EXPECT_EQ(PointsOf(path), (Points{{1, 2}, {3, 4}}));
        EXPECT_EQ(path.Kind(), kPathKindSmooth);
        EXPECT_TRUE(OnlyFreeOrForbidden(grid));
    }
    CPath path;
    EXPECT_TRUE(grid.FindPath(path, -10, 39, 19, 10, false)) << "the last pixels are inside";
}

TEST(MpGrid, RectanglesAndCells) {
    CGrid grid;
    ASSERT_TRUE(grid.Create(0, 0, 4, 4, 16, 16));
    const auto forbidden = [&] {
        std::string out;
        for (int32_t j = 0; j < 4; ++j) {
            for (int32_t i = 0; i < 4; ++i) out += grid.Cell(i, j) == kGridForbidden ? '#' : '.';
            out += j < 3 ? "/" : "";
        }
        return out;
    };
    grid.AddRectangle(-5, 20, -1, 40);
    EXPECT_EQ(forbidden(), "..../#.../#.../....") << "truncation reaches column 0";
    grid.ClearAll();
    grid.AddRectangle(40, 63, 17, 16); // corners in any order
    EXPECT_EQ(forbidden(), "..../.##./.##./.##.");
    grid.ClearRectangle(100, 100, 33, 33);
    EXPECT_EQ(forbidden(), "..../.##./.#../.#..");
    grid.AddRectangle(-100, -100, -17, -17);
    grid.AddRectangle(64, 0, 200, 200);
    EXPECT_EQ(forbidden(), "..../.##./.#../.#..") << "wholly outside: nothing";
    grid.AddCell(3, 0);
    grid.AddCell(4, 0);
    grid.AddCell(-1, 2);
    grid.ClearCell(1, 1);
    grid.ClearCell(0, 9);
    EXPECT_EQ(forbidden(), "...#/..#./.#../.#..");
    EXPECT_EQ(grid.Cells().size(), 16u);
    EXPECT_EQ(grid.Cells()[size_t(3 * 4 + 0)], kGridForbidden) << "cells run column by column";
    grid.ClearAll();
    EXPECT_EQ(forbidden(), "..../..../..../....");
}

TEST(MpGrid, SizesAreCheckedBeforeAnythingIsAllocated) {
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    struct Case {
        int32_t left, top, hcells, vcells, cellw, cellh;
        bool accepted;
    };
    const Case cases[] = {
        {0, 0, 10, 10, 0, 8, false},
        {0, 0, 10, 10, 8, -1, false},
        {0, 0, -1, 10, 8, 8, false},
        {0, 0, 10, -3, 8, 8, false},
        {0, 0, 1 << 14, 1 << 13, 1, 1, false}, // 2^27 cells
        {0, 0, 65536, 65536, 1, 1, false},     // the product overflows 32 bits
        {0, 0, kMax, kMax, kMax, kMax, false},
        {0, 0, 2, 2, kMax, 8, false},          // the right edge beyond 32 bits
        {kMax - 10, 0, 3, 1, 4, 4, false},     // likewise from far right
        {0, kMax - 10, 1, 3, 4, 4, false},     // the bottom edge
        {kMax - 12, 0, 3, 1, 4, 4, true},      // just fits
        {0, 0, 0, 0, 8, 8, true},              // no cells at all
        {0, 0, (1 << 26) + 1, 1, 1, 1, false}, // one cell too many
        {-100, -100, 1 << 10, 1 << 10, 1, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.hcells << " x " << c.vcells << " cells of " << c.cellw << " x "
                                          << c.cellh << " at " << c.left << "," << c.top);
        CGrid grid;
        EXPECT_EQ(grid.Create(c.left, c.top, c.hcells, c.vcells, c.cellw, c.cellh), c.accepted);
        const size_t cells = c.accepted ? size_t(int64_t{c.hcells} * c.vcells) : 0;
        EXPECT_EQ(grid.Cells().size(), cells);
    }
    EXPECT_EQ(Grid_Create(0, 0, 4, 4, 0, 4), -1);
    EXPECT_EQ(Grid_Count(), 0) << "a refused grid takes no slot";
    Grid_ClearAll();
}

class MpGridFunctions : public MpTest {
protected:
    double Run(const std::string& code, CInstance* self = nullptr) { return Value(code, self); }
};

TEST_F(MpGridFunctions, TableSlotsAndInvalidIds) {
    EmptyRoom();
    Put(AddSpriteObject("me", AddBlock(8, 8)), 0, 0);
    EXPECT_EQ(Run("mp_grid_create(0, 0, 3, 3, 32, 32)"), 0);
    EXPECT_EQ(Run("mp_grid_create(0, 0, 3, 3, 32, 32)"), 1);
    EXPECT_EQ(Run("mp_grid_create(0, 0, 3, 3, 0, 32)"), -1);
    EXPECT_EQ(Run("mp_grid_create(0, 0, -3, 3, 32, 32)"), -1);
    Do("mp_grid_destroy(0)");
    EXPECT_FALSE(Grid_Exists(0));
    EXPECT_EQ(Run("mp_grid_create(0, 0, 2, 2, 10.4, 9.6)"), 0) << "the lowest empty slot";
    EXPECT_EQ(Grid_Get(0)->CellWidth(), 10);
    EXPECT_EQ(Grid_Get(0)->CellHeight(), 10);
    EXPECT_EQ(Run("mp_grid_create(0, 0, 2, 2, 10, 10)"), 2);
    // Ids that are not grids do nothing and say nothing.
    const int32_t path = NewPath({{7, 7}});
    const std::string p = std::to_string(path);
    for (const std::string id : {"-1", "3", "1000000", "5000000000"}) {
        SCOPED_TRACE(id);
        Do("mp_grid_destroy(" + id + "); mp_grid_clear_all(" + id + "); mp_grid_clear_cell(" + id +
           ", 0, 0); mp_grid_add_cell(" + id + ", 0, 0); mp_grid_clear_rectangle(" + id +
           ", 0, 0, 9, 9); mp_grid_add_rectangle(" + id + ", 0, 0, 9, 9); mp_grid_add_instances(" + id +
           ", all, 0); mp_grid_draw(" + id + ")");
        EXPECT_EQ(Run("mp_grid_path(" + id + ", " + p + ", 1, 1, 5, 5, 0)"), 0);
        EXPECT_EQ(PointsOf(*Path_Get(path)), (Points{{7, 7}}));
    }
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(Grid_Count(), 3);
}

TEST_F(MpGridFunctions, PathIsCheckedBeforeTheGrid) {
    EmptyRoom();
    Put(AddSpriteObject("me", AddBlock(8, 8)), 0, 0);
    const int32_t grid = int32_t(Run("mp_grid_create(0, 0, 3, 3, 32, 32)"));
    const std::string path = std::to_string(NewPath());
    EXPECT_EQ(Run("mp_grid_path(" + std::to_string(grid) + ", 7, 16, 16, 80, 80, 0)"), 0);
    EXPECT_EQ(errors(), (std::vector<std::string>{"Trying to assign to a non-existing path."}));
    errors().clear();
    EXPECT_EQ(Run("mp_grid_path(5, 7, 16, 16, 80, 80, 0)"), 0);
    EXPECT_EQ(errors(), (std::vector<std::string>{"Trying to assign to a non-existing path."}))
        << "reported although the grid is missing too";
    errors().clear();
    Do("mp_grid_add_cell(" + std::to_string(grid) + ", 1, 0)");
    EXPECT_EQ(Run("mp_grid_path(" + std::to_string(grid) + ", " + path + ", 16.4, 15.6, 80, 80, 0.6)"), 1);
    EXPECT_EQ(PointsOf(*Path_Get(std::stoi(path))), (Points{{16, 16}, {16, 48}, {48, 80}, {80, 80}}));
    EXPECT_EQ(Run("mp_grid_path(" + std::to_string(grid) + ", " + path + ", 16, 16, 48, 16, 0.4)"), 0);
    EXPECT_TRUE(errors().empty());
}

TEST_F(MpGridFunctions, AddInstancesWithAndWithoutPrecision) {
    // A 48 x 48 ring whose middle 16 x 16 is transparent, over cells of 16.
    std::vector<std::string> rows(48, std::string(48, '#'));
    for (size_t y = 16; y < 32; ++y) rows[y].replace(16, 16, 16, '.');
    const int32_t ring = AddSpriteObject("ring", AddSprite(rows));
    const int32_t block = AddSpriteObject("block", AddBlock(10, 10));
    const int32_t child = AddSpriteObject("child", AddBlock(10, 10), false, {}, block);
    EmptyRoom();
    CInstance* me = Put(block, 100, 100);    // cell 6, 6
    CInstance* r = Put(ring, 16, 16);        // cells 1..3 x 1..3
    CInstance* kid = Put(child, 4, 70);      // cell 0, 4
    CInstance* far = Put(block, -300, -300); // left of and above the grid
    const auto count = [](const CGrid& g) {
        int32_t n = 0;
        for (const int32_t c : g.Cells()) n += c == kGridForbidden;
        return n;
    };
    struct Case {
        std::string obj;
        bool prec;
        int32_t forbidden;
        bool middle; // whether the ring's middle cell (2, 2) is forbidden
    };
    const Case cases[] = {
        {std::to_string(ring), false, 9, true},
        {std::to_string(ring), true, 8, false},
        {std::to_string(r->i_id), true, 8, false},
        {"-1", false, 1, false},
        {std::to_string(block), false, 2, false}, // the block and its child
        {std::to_string(child), false, 1, false},
        {std::to_string(kid->i_id), false, 1, false},
        {"all", true, 10, false},
        {"all", false, 11, true},
        {std::to_string(far->i_id), false, 0, false},
        {"123456", false, 0, false}, // no such instance
        {"-4", false, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.obj + (c.prec ? " precise" : " box"));
        Grid_ClearAll();
        ASSERT_EQ(Run("mp_grid_create(0, 0, 8, 8, 16, 16)", me), 0);
        Do("mp_grid_add_instances(0, " + c.obj + ", " + (c.prec ? "1" : "0") + ")", me);
        const CGrid& g = *Grid_Get(0);
        EXPECT_EQ(count(g), c.forbidden);
        EXPECT_EQ(g.Cell(2, 2) == kGridForbidden, c.middle);
    }
    // A cell forbidden before stays forbidden under a precise pass.
    Grid_ClearAll();
    ASSERT_EQ(Run("mp_grid_create(0, 0, 8, 8, 16, 16)", me), 0);
    Do("mp_grid_add_cell(0, 2, 2); mp_grid_add_instances(0, " + std::to_string(ring) + ", 1)", me);
    EXPECT_EQ(Grid_Get(0)->Cell(2, 2), kGridForbidden);
    // Destroyed instances are not obstacles any more.
    r->i_marked = true;
    Grid_ClearAll();
    ASSERT_EQ(Run("mp_grid_create(0, 0, 8, 8, 16, 16)", me), 0);
    Do("mp_grid_add_instances(0, all, 0)", me);
    EXPECT_EQ(count(*Grid_Get(0)), 2);
}

TEST_F(MpGridFunctions, PlanningStateIsRunnerWideAndResets) {
    EmptyRoom();
    Put(AddSpriteObject("me", AddBlock(8, 8)), 0, 0);
    EXPECT_EQ(Run("mp_grid_create(0, 0, 3, 3, 32, 32)"), 0);
    Do("mp_potential_settings(45, 5, 2, 0)");
    EXPECT_TRUE(Grid_Exists(0));
    ResetModuleStates();
    EXPECT_EQ(Grid_Count(), 0);
    EXPECT_EQ(MpPotentialSettings().maxrot, 30);
    EXPECT_TRUE(MpPotentialSettings().onspot);
}

} // namespace
} // namespace kestrin::testing
