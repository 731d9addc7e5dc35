#include <cmath>

#include "graphics_fixture.h"

using namespace kestrin;
using kestrin::testing::GraphicsTest;

namespace {

using Pts = std::vector<std::pair<float, float>>;

class GraphicsPrimitives : public GraphicsTest {};

TEST_F(GraphicsPrimitives, RectanglesMoveWholeFarEdgesByOneHundredth) {
    const float e = 10.01f;
    const struct {
        double x1, y1, x2, y2;
        bool outline;
        PrimitiveType type;
        int32_t count;
        Pts points;
    } cases[] = {
        {0, 0, 10, 10, false, PrimitiveType::TriangleFan, 2, {{0, 0}, {e, 0}, {e, e}, {0, e}}},
        {0,
         0,
         10.5,
         10.5,
         false,
         PrimitiveType::TriangleFan,
         2,
         {{0, 0}, {10.5f, 0}, {10.5f, 10.5f}, {0, 10.5f}}},
        {10, 10, 0, 0, true, PrimitiveType::LineStrip, 4, {{0, 0}, {e, 0}, {e, e}, {0, e}, {0, 0}}},
        {0, 0, 10, 10, true, PrimitiveType::LineStrip, 4, {{0, 0}, {e, 0}, {e, e}, {0, e}, {0, 0}}},
        {2.5, 3, 1, 1, false, PrimitiveType::TriangleFan, 2, {{1, 1}, {2.5f, 1}, {2.5f, 3.01f}, {1, 3.01f}}},
    };
    for (const auto& c : cases) {
        device.draws.clear();
        Real("draw_rectangle", {c.x1, c.y1, c.x2, c.y2, c.outline ? 1.0 : 0.0});
        ASSERT_EQ(device.draws.size(), 1u);
        EXPECT_EQ(device.draws[0].type, c.type);
        EXPECT_EQ(device.draws[0].count, c.count);
        EXPECT_EQ(Points(device.draws[0]), c.points) << c.x1 << "," << c.y1 << "," << c.x2 << "," << c.y2;
        EXPECT_EQ(device.draws[0].texture, 0u);
    }
}

TEST_F(GraphicsPrimitives, PointsLinesAndTrianglesTakeTheirOffsets) {
    Real("draw_set_color", {255});
    Real("draw_point", {3, 4});
    Real("draw_point_color", {3, 4, 65280});
    Real("draw_line", {1, 2, 3, 4});
    Real("draw_triangle", {1, 2, 3, 4, 5, 6, 0});
    Real("draw_triangle", {1, 2, 3, 4, 5, 6, 1});
    ASSERT_EQ(device.draws.size(), 5u);
    EXPECT_EQ(Points(device.draws[0]), (Pts{{3, 4}}));
    EXPECT_EQ(device.draws[0].vertices[0].colour, 0xFFFF0000u);
    EXPECT_EQ(Points(device.draws[1]), (Pts{{3.01f, 4.01f}}));
    EXPECT_EQ(device.draws[1].vertices[0].colour, 0xFF00FF00u);
    EXPECT_EQ(Points(device.draws[2]), (Pts{{1.01f, 2.01f}, {3.01f, 4.01f}}));
    EXPECT_EQ(device.draws[2].type, PrimitiveType::LineList);
    EXPECT_EQ(Points(device.draws[3]), (Pts{{1, 2}, {3, 4}, {5, 6}}));
    EXPECT_EQ(device.draws[3].type, PrimitiveType::TriangleList);
    EXPECT_EQ(Points(device.draws[4]), (Pts{{1, 2}, {3, 4}, {5, 6}, {1, 2}}));
    EXPECT_EQ(device.draws[4].count, 3);
}

TEST_F(GraphicsPrimitives, WideLinesAreQuadsAcrossTheLine) {
    Real("draw_line_width", {0, 0, 10, 0, 4});
    Real("draw_line_width", {5, 5, 5, 5, 4}); // no length: nothing
    ASSERT_EQ(device.draws.size(), 1u);
    EXPECT_EQ(Points(device.draws[0]), (Pts{{0, 2}, {10, 2}, {10, -2}, {0, -2}}));
}

TEST_F(GraphicsPrimitives, CirclePrecisionIsAMultipleOfFourInRange) {
    const struct {
        double asked;
        int32_t kept;
    } cases[] = {{30, 28}, {2, 4}, {100, 64}, {24, 24}, {-5, 4}, {65, 64}};
    for (const auto& c : cases) {
        Real("draw_set_circle_precision", {c.asked});
        EXPECT_EQ(Draw_GetCirclePrecision(), c.kept) << c.asked;
        device.draws.clear();
        Real("draw_circle", {50, 50, 10, 0});
        ASSERT_EQ(device.draws.size(), 1u);
        const RecordedDraw& d = device.draws[0];
        EXPECT_EQ(d.type, PrimitiveType::TriangleFan);
        EXPECT_EQ(d.count, c.kept);
        ASSERT_EQ(d.vertices.size(), size_t(c.kept + 2));
        EXPECT_EQ(Points(d)[0], std::make_pair(50.0f, 50.0f));
        EXPECT_EQ(Points(d)[1], std::make_pair(60.0f, 50.0f));
        EXPECT_NEAR(d.vertices[size_t(c.kept / 4 + 1)].y, 60.0f, 1e-4);
    }
    device.draws.clear();
    Real("draw_set_circle_precision", {8});
    Real("draw_ellipse", {0, 0, 20, 10, 1});
    const RecordedDraw& d = device.draws.at(0);
    EXPECT_EQ(d.type, PrimitiveType::LineStrip);
    EXPECT_EQ(d.count, 8);
    // Vertex 0 repeats the last distinct rim point, so the strip closes and has no empty segment.
    ASSERT_EQ(d.vertices.size(), 9u);
    EXPECT_EQ(d.vertices[0], d.vertices[8]);
    EXPECT_NEAR(d.vertices[0].x, 10 + 10 * std::cos(M_PI / 4), 1e-4);
    EXPECT_NEAR(d.vertices[0].y, 5 - 5 * std::sin(M_PI / 4), 1e-4);
    EXPECT_NEAR(d.vertices[1].x, 20.0f, 1e-4);
    for (size_t i = 1; i < d.vertices.size(); ++i) EXPECT_NE(d.vertices[i - 1], d.vertices[i]) << i;
}

TEST_F(GraphicsPrimitives, RoundedRectanglesUseQuarterArcs) {
    Real("draw_set_circle_precision", {8});
    Real("draw_roundrect", {0, 0, 30, 20, 0});
    const RecordedDraw& d = device.draws.at(0);
    EXPECT_EQ(d.type, PrimitiveType::TriangleFan);
    EXPECT_EQ(d.count, 12);
    ASSERT_EQ(d.vertices.size(), 14u);
    EXPECT_NEAR(d.vertices[0].x, 15.005f, 1e-4);
    // First arc starts at the right edge, level with the bottom-right corner centre.
    EXPECT_NEAR(d.vertices[1].x, 30.01f, 1e-4);
    EXPECT_NEAR(d.vertices[1].y, 15.01f, 1e-4);
    EXPECT_EQ(d.vertices[13], d.vertices[1]);
    device.draws.clear();
    Real("draw_roundrect", {0, 0, 30, 20, 1});
    EXPECT_EQ(device.draws.at(0).type, PrimitiveType::LineStrip);
    EXPECT_EQ(device.draws.at(0).count, 12);
}

TEST_F(GraphicsPrimitives, ArrowHeadNeverOutgrowsTheLine) {
    Real("draw_arrow", {0, 0, 10, 0, 30});
    ASSERT_EQ(device.draws.size(), 2u);
    const Pts head = Points(device.draws[1]);
    ASSERT_EQ(head.size(), 3u);
    EXPECT_EQ(head[0], std::make_pair(10.0f, 0.0f));
    EXPECT_NEAR(head[1].first, 0.0f, 1e-5);
    EXPECT_NEAR(head[1].second, 10.0f / 3, 1e-5);
    EXPECT_NEAR(head[2].second, -10.0f / 3, 1e-5);
    device.draws.clear();
    Real("draw_arrow", {4, 4, 4, 4, 10});
    EXPECT_TRUE(device.draws.empty());
}

TEST_F(GraphicsPrimitives, HealthBarsClampTheAmountAndMergeColours) {
    Real("draw_healthbar", {0, 0, 100, 10, 150, 0, 255, 65280, 0, 0, 0});
    ASSERT_EQ(device.draws.size(), 1u);
    EXPECT_EQ(device.draws[0].vertices[0].colour, 0xFF00FF00u);
    EXPECT_NEAR(device.draws[0].vertices[1].x, 100.01f, 1e-4);
    device.draws.clear();
    // Half way from the top: the bar is mid colour, with back and border around it.
    Real("draw_healthbar", {0, 0, 10, 100, 50, 16777215, 255, 65280, 2, 1, 1});
    ASSERT_EQ(device.draws.size(), 4u);
    EXPECT_EQ(device.draws[0].vertices[0].colour, 0xFFFFFFFFu);
    EXPECT_EQ(device.draws[1].type, PrimitiveType::LineStrip);
    EXPECT_EQ(device.draws[2].vertices[0].colour, 0xFF808000u);
    EXPECT_NEAR(device.draws[2].vertices[2].y, 50.01f, 1e-4);
}

TEST_F(GraphicsPrimitives, ButtonsLightAndDarkHalves) {
    Real("draw_set_alpha", {0.5});
    Real("draw_button", {0, 0, 20, 20, 1});
    ASSERT_EQ(device.draws.size(), 3u);
    EXPECT_EQ(device.draws[0].vertices[0].colour, 0x80FFFFFFu);
    EXPECT_EQ(device.draws[1].vertices[0].colour, 0x80808080u);
    EXPECT_EQ(Points(device.draws[2])[0], std::make_pair(2.0f, 2.0f));
    EXPECT_EQ(Points(device.draws[2])[2], std::make_pair(18.01f, 18.01f));
}

TEST_F(GraphicsPrimitives, FreePrimitivesCountTheirVertices) {
    const struct {
        double kind;
        int vertices;
        int draws;
        int count;
    } cases[] = {{1, 5, 1, 5}, {2, 5, 1, 2}, {3, 5, 1, 4}, {4, 7, 1, 2}, {5, 5, 1, 3},
                 {6, 5, 1, 3}, {0, 5, 0, 0}, {7, 5, 0, 0}, {4, 2, 0, 0}, {6, 1200, 1, 999}};
    for (const auto& c : cases) {
        device.draws.clear();
        Real("draw_primitive_begin", {c.kind});
        for (int i = 0; i < c.vertices; ++i) Real("draw_vertex", {double(i), 1});
        Real("draw_primitive_end");
        ASSERT_EQ(int(device.draws.size()), c.draws) << c.kind << "/" << c.vertices;
        if (c.draws) {
            EXPECT_EQ(device.draws[0].count, c.count) << c.kind;
        }
    }
    // The list survives the end: drawing again repeats it.
    device.draws.clear();
    Real("draw_primitive_end");
    EXPECT_EQ(device.draws.size(), 1u);
}

TEST_F(GraphicsPrimitives, TexturedFreePrimitivesBindAndUnbind) {
    const TBitmap32 bm(4, 4, 0xFFFFFFFF);
    const int32_t tex = GR_Texture_Create_From_Bitmap(&bm);
    Real("draw_primitive_begin_texture", {4, double(tex)});
    Real("draw_vertex_texture_color", {0, 0, 0.25, 0.5, 255, 0.5});
    Real("draw_vertex_texture", {1, 0, 1, 0});
    Real("draw_vertex_color", {1, 1, 65280, 1});
    Real("draw_primitive_end");
    const RecordedDraw& d = device.draws.at(0);
    EXPECT_EQ(d.texture, GR_Texture_Get(tex)->tex);
    EXPECT_EQ(d.vertices[0], (Vertex{0, 0, 0, 0x80FF0000u, 0.25f, 0.5f}));
    EXPECT_EQ(d.vertices[2].colour, 0xFF00FF00u);
    EXPECT_EQ(device.BoundTexture(), 0u);
}

TEST_F(GraphicsPrimitives, DepthReachesVerticesOnlyIn3DMode) {
    Draw_SetDepth(50000);
    Real("draw_point", {0, 0});
    RenderState_Set3DMode(true);
    Real("draw_point", {0, 0});
    RenderState_Set3DMode(false);
    EXPECT_EQ(device.draws.at(0).vertices[0].z, 0.0f);
    EXPECT_EQ(device.draws.at(1).vertices[0].z, 16000.0f);
}

TEST_F(GraphicsPrimitives, NoDeviceDrawsNothingAndKeepsState) {
    RenderState_Finish();
    Real("draw_rectangle", {0, 0, 5, 5, 0});
    Real("draw_set_alpha", {2});
    EXPECT_EQ(Real("draw_get_alpha"), 1.0);
    EXPECT_EQ(Real("draw_getpixel", {0, 0}), 0.0);
    EXPECT_TRUE(device.draws.empty());
}

} // namespace
