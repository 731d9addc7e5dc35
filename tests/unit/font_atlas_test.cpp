// Atlas packing: row placement, the halving search, and cells that cannot fit.

#include <gtest/gtest.h>

#include <vector>

#include "graphics/font_atlas.h"

namespace kestrin {
namespace {

struct PlaceCase {
    const char* what;
    std::vector<AtlasCell> cells;
    int32_t width;
    std::vector<AtlasPosition> expected;
};

TEST(FontAtlas, PlacesCellsInRowsTwoPixelsApart) {
    const PlaceCase cases[] = {
        {"one row", {{10, 5}, {10, 7}}, 25, {{0, 0}, {12, 0}}},
        {"third cell wraps under the tallest", {{10, 5}, {10, 7}, {10, 3}}, 25, {{0, 0}, {12, 0}, {0, 9}}},
        {"reaching the edge exactly wraps", {{10, 1}, {10, 1}}, 22, {{0, 0}, {0, 3}}},
        {"one pixel short of the edge stays", {{10, 1}, {10, 1}}, 23, {{0, 0}, {12, 0}}},
        {"a cell wider than the atlas keeps its row start", {{40, 4}, {3, 3}}, 16, {{0, 0}, {0, 6}}},
        {"empty cells still take the gap", {{0, 0}, {0, 0}, {5, 5}}, 64, {{0, 0}, {2, 0}, {4, 0}}},
    };
    for (const PlaceCase& c : cases) {
        const std::vector<AtlasPosition> got = PlaceAtlasCells(c.cells, c.width);
        ASSERT_EQ(got.size(), c.expected.size()) << c.what;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].x, c.expected[i].x) << c.what << " cell " << i;
            EXPECT_EQ(got[i].y, c.expected[i].y) << c.what << " cell " << i;
        }
    }
}

TEST(FontAtlas, HalvesHeightThenWidthWhileEverythingFits) {
    struct Case {
        const char* what;
        std::vector<AtlasCell> cells;
        int32_t w, h;
    };
    const Case cases[] = {
        {"nothing to place", {}, 1, 1},
        {"one 10 x 10 cell", {{10, 10}}, 16, 16},
        // The search ends at the first halving that fails, even if the other side could shrink.
        {"a wide cell ends the search at the width", {{600, 3}}, 1024, 512},
        {"a tall cell ends the search at the height", {{3, 600}}, 1024, 1024},
        // 16 wide would wrap the second cell into a row of its own, 20 pixels in all.
        {"two cells side by side", {{9, 9}, {9, 9}}, 32, 16},
    };
    for (const Case& c : cases) {
        const AtlasLayout layout = PackAtlas(c.cells);
        EXPECT_TRUE(layout.fits) << c.what;
        EXPECT_EQ(layout.width, c.w) << c.what;
        EXPECT_EQ(layout.height, c.h) << c.what;
        EXPECT_TRUE(AtlasCellsFit(c.cells, layout.width, layout.height)) << c.what;
    }
}

TEST(FontAtlas, CellsBeyondTheLargestAtlasKeepItsSize) {
    const std::vector<AtlasCell> cells(9, AtlasCell{1000, 1000});
    const AtlasLayout layout = PackAtlas(cells);
    EXPECT_FALSE(layout.fits);
    EXPECT_EQ(layout.width, kMaxAtlasSize);
    EXPECT_EQ(layout.height, kMaxAtlasSize);
    ASSERT_EQ(layout.positions.size(), cells.size());
    EXPECT_GT(layout.positions.back().y, kMaxAtlasSize);
    // A single cell as wide as the atlas can never fit.
    EXPECT_FALSE(AtlasCellsFit(std::vector<AtlasCell>{{2048, 1}}, 2048, 2048));
}

} // namespace
} // namespace kestrin
