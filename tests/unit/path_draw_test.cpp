// draw_path: line strips of points 4 pixels apart in the current colour, a new strip after
// every 500 points, placed where the path lies or starting at the given point, and the
// message for a path that does not exist.

#include <gtest/gtest.h>

#include <memory>

#include "tests/unit/graphics_fixture.h"
#include "world/path.h"

namespace kestrin {
namespace {

class PathDraw : public testing::GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        Path_ClearAll();
    }
    void TearDown() override {
        Path_ClearAll();
        GraphicsTest::TearDown();
    }
    static int32_t Line(double x1, double y1, double x2, double y2) {
        auto path = std::make_unique<CPath>();
        path->SetClosed(false);
        path->AddPoint(x1, y1, 100);
        path->AddPoint(x2, y2, 100);
        return Path_AddNew(std::move(path));
    }
};

TEST_F(PathDraw, PointsFourPixelsApartInStrips) {
    struct Case {
        double length;
        std::vector<int> strips; // vertices of each strip drawn
    } cases[] = {
        {1, {}},   // Round(0.25) = 0 points: nothing
        {6, {3}},  // Round(1.5) = 2
        {10, {3}}, // Round(2.5) = 2, halves to even
        {100, {26}},
        {2000, {501}}, // 500 points: the last strip holds only the end point again
        {2400, {501, 101}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        device.draws.clear();
        Real("draw_path", {double(Line(0, 0, c.length, 0)), 0, 0, 1});
        std::vector<int> got;
        for (const RecordedDraw& d : device.draws) {
            EXPECT_EQ(d.type, PrimitiveType::LineStrip);
            got.push_back(int(d.vertices.size()));
        }
        EXPECT_EQ(got, c.strips);
        if (!device.draws.empty()) {
            EXPECT_EQ(Points(device.draws.front()).front(), (std::pair<float, float>{0, 0}));
            EXPECT_EQ(Points(device.draws.back()).back(), (std::pair<float, float>{float(c.length), 0}));
        }
        // Each strip begins with the point the one before ended with.
        for (size_t k = 1; k < device.draws.size(); ++k)
            EXPECT_EQ(Points(device.draws[k]).front(), Points(device.draws[k - 1]).back());
    }
    EXPECT_TRUE(errors().empty());
}

TEST_F(PathDraw, PlacementAndColour) {
    const int32_t line = Line(100, 50, 100, 90); // 10 points downwards
    Real("draw_set_color", {255});
    Real("draw_set_alpha", {0.5});
    Real("draw_path", {double(line), 7, 8, 0});
    ASSERT_EQ(device.draws.size(), 1u);
    const auto relative = Points(device.draws[0]);
    ASSERT_EQ(relative.size(), 11u);
    EXPECT_EQ(relative.front(), (std::pair<float, float>{7, 8}));
    EXPECT_EQ(relative[1], (std::pair<float, float>{7, 12}));
    EXPECT_EQ(relative.back(), (std::pair<float, float>{7, 48}));
    EXPECT_EQ(device.draws[0].vertices[0].colour, ToDeviceColour(255, 0.5));
    device.draws.clear();
    Real("draw_path", {double(line), 7, 8, 1});
    ASSERT_EQ(device.draws.size(), 1u);
    EXPECT_EQ(Points(device.draws[0]).front(), (std::pair<float, float>{100, 50}));
}

TEST_F(PathDraw, AMissingPathIsReported) {
    Real("draw_path", {3, 0, 0, 1});
    EXPECT_TRUE(device.draws.empty());
    EXPECT_EQ(errors(), (std::vector<std::string>{"Trying to drawn non-existing path."}));
}

} // namespace
} // namespace kestrin
