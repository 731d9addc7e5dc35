// mp_grid_draw draws every cell as draw_rectangle_color draws a filled rectangle: forbidden
// cells red, free ones green, in the current alpha.

#include <gtest/gtest.h>

#include "tests/unit/graphics_fixture.h"
#include "world/mp_grid.h"

namespace kestrin::testing {
namespace {

class MpGridDraw : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        Grid_ClearAll();
    }
    void TearDown() override {
        Grid_ClearAll();
        GraphicsTest::TearDown();
    }
};

TEST_F(MpGridDraw, CellsAsFilledRectangles) {
    ASSERT_EQ(Real("mp_grid_create", {10, 20, 2, 3, 16, 8}), 0);
    Real("mp_grid_add_cell", {0, 1, 2});
    Real("mp_grid_add_cell", {0, 0, 0});
    Real("draw_set_alpha", {0.5});
    Real("mp_grid_draw", {0});
    const std::vector<RecordedDraw> grid = device.draws;
    device.draws.clear();
    // The same cells, column by column, through the drawing built-in.
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j) {
            const double c = (i == 1 && j == 2) || (i == 0 && j == 0) ? 255 : 32768;
            Real("draw_rectangle_color",
                 {10.0 + i * 16, 20.0 + j * 8, 10.0 + (i + 1) * 16, 20.0 + (j + 1) * 8, c, c, c, c, 0});
        }
    ASSERT_EQ(grid.size(), device.draws.size());
    ASSERT_EQ(grid.size(), 6u);
    for (size_t n = 0; n < grid.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(grid[n].type, device.draws[n].type);
        EXPECT_EQ(grid[n].vertices, device.draws[n].vertices);
    }
    EXPECT_EQ(grid[0].vertices[0].colour, ToDeviceColour(255, 0.5));
    EXPECT_EQ(grid[1].vertices[0].colour, ToDeviceColour(32768, 0.5));
    device.draws.clear();
    Real("mp_grid_draw", {1});
    EXPECT_TRUE(device.draws.empty()) << "no such grid";
}

} // namespace
} // namespace kestrin::testing
