// The solids' vertices, normals and texture coordinates as the device receives them, at small
// step counts, and the primitives and their recording into model meshes.

#include <cmath>

#include "graphics/graphics_3d.h"
#include "graphics/graphics_recorder.h"
#include "graphics_fixture.h"

using namespace kestrin;
using kestrin::testing::GraphicsTest;

namespace {

class D3DSolids : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        D3D_Reset();
        Real("draw_set_color", {0x00FF00});
    }
    void TearDown() override {
        D3D_Reset();
        GraphicsTest::TearDown();
    }
};

// x, y, z, nx, ny, nz, u, v of one vertex.
using Row = std::array<float, 8>;

void ExpectVertices(const RecordedDraw& d, PrimitiveType type, const std::vector<Row>& rows,
                    const char* what) {
    EXPECT_EQ(d.type, type) << what;
    ASSERT_EQ(d.vertices3d.size(), rows.size()) << what;
    for (size_t i = 0; i < rows.size(); ++i) {
        const Vertex3D& v = d.vertices3d[i];
        const Row got{v.x, v.y, v.z, v.nx, v.ny, v.nz, v.u, v.v};
        for (size_t k = 0; k < 8; ++k)
            EXPECT_NEAR(got[k], rows[i][k], 1e-5) << what << " vertex " << i << " field " << k;
        // Solids take the drawing colour, marked as such.
        EXPECT_EQ(v.colour, 0xFF00FF00u) << what;
    }
}

TEST_F(D3DSolids, BlockFacesInOrder) {
    Real("d3d_draw_block", {1, 2, 3, 4, 6, 9, -1, 2, 3});
    ASSERT_EQ(device.draws.size(), 6u);
    const std::vector<std::vector<Row>> faces = {
        {{1, 2, 3, 0, 0, -1, 0, 0},
         {1, 6, 3, 0, 0, -1, 0, 3},
         {4, 6, 3, 0, 0, -1, 2, 3},
         {4, 2, 3, 0, 0, -1, 2, 0}},
        {{1, 2, 9, 0, 0, 1, 0, 0},
         {4, 2, 9, 0, 0, 1, 2, 0},
         {4, 6, 9, 0, 0, 1, 2, 3},
         {1, 6, 9, 0, 0, 1, 0, 3}},
        {{1, 6, 3, 0, 1, 0, 0, 0},
         {1, 6, 9, 0, 1, 0, 0, 3},
         {4, 6, 9, 0, 1, 0, 2, 3},
         {4, 6, 3, 0, 1, 0, 2, 0}},
        {{4, 6, 3, 1, 0, 0, 0, 0},
         {4, 6, 9, 1, 0, 0, 0, 3},
         {4, 2, 9, 1, 0, 0, 2, 3},
         {4, 2, 3, 1, 0, 0, 2, 0}},
        {{4, 2, 3, 0, -1, 0, 0, 0},
         {4, 2, 9, 0, -1, 0, 0, 3},
         {1, 2, 9, 0, -1, 0, 2, 3},
         {1, 2, 3, 0, -1, 0, 2, 0}},
        {{1, 2, 3, -1, 0, 0, 0, 0},
         {1, 2, 9, -1, 0, 0, 0, 3},
         {1, 6, 9, -1, 0, 0, 2, 3},
         {1, 6, 3, -1, 0, 0, 2, 0}},
    };
    for (size_t f = 0; f < faces.size(); ++f) {
        ExpectVertices(device.draws[f], PrimitiveType::TriangleFan, faces[f], "block face");
        EXPECT_EQ(device.draws[f].count, 2);
        // Texture repeat is on while the solid draws and off again afterwards.
        EXPECT_EQ(device.draws[f].states.address_u, TextureAddress::Wrap);
    }
    EXPECT_FALSE(RenderState_GetTextureRepeat());
    EXPECT_EQ(device.States().address_u, TextureAddress::Clamp);
}

TEST_F(D3DSolids, FloorAndWall) {
    Real("d3d_draw_floor", {0, 0, 1, 10, 20, 5, -1, 1, 2});
    Real("d3d_draw_wall", {0, 0, 0, 3, 4, 7, -1, 2, 1});
    ASSERT_EQ(device.draws.size(), 2u);
    ExpectVertices(device.draws[0], PrimitiveType::TriangleFan,
                   {{0, 0, 1, 0, 0, 1, 0, 0},
                    {0, 20, 1, 0, 0, 1, 0, 2},
                    {10, 20, 5, 0, 0, 1, 1, 2},
                    {10, 0, 5, 0, 0, 1, 1, 0}},
                   "floor");
    // Normal (dy, -dx) / length for a wall from (0, 0) to (3, 4).
    ExpectVertices(device.draws[1], PrimitiveType::TriangleFan,
                   {{0, 0, 0, 0.8f, -0.6f, 0, 0, 0},
                    {3, 4, 0, 0.8f, -0.6f, 0, 2, 0},
                    {3, 4, 7, 0.8f, -0.6f, 0, 2, 1},
                    {0, 0, 7, 0.8f, -0.6f, 0, 0, 1}},
                   "wall");
    // A wall without length draws nothing and leaves texture repeat alone.
    device.draws.clear();
    RenderState_SetTextureRepeat(true);
    Real("d3d_draw_wall", {5, 5, 0, 5, 5, 9, -1, 1, 1});
    EXPECT_TRUE(device.draws.empty());
    EXPECT_TRUE(RenderState_GetTextureRepeat());
}

TEST_F(D3DSolids, CylinderWithFourSteps) {
    // Centre (2, 3), radii 2 and 1, z from 0 to 6; rim points at 0, 90, 180, 270 and 360 degrees.
    Real("d3d_draw_cylinder", {0, 2, 0, 4, 4, 6, -1, 4, 2, 1, 4});
    ASSERT_EQ(device.draws.size(), 3u);
    const float rim[5][2] = {{4, 3}, {2, 4}, {0, 3}, {2, 2}, {4, 3}};
    const float cs[5][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}, {1, 0}};
    std::vector<Row> top{{2, 3, 6, 0, 0, 1, 0, 2}}, side, bottom{{2, 3, 0, 0, 0, -1, 0, 0}};
    for (int i = 0; i <= 4; ++i) top.push_back({rim[i][0], rim[i][1], 6, 0, 0, 1, 0, 2});
    for (int i = 0; i <= 4; ++i) {
        side.push_back({rim[i][0], rim[i][1], 6, cs[i][0], cs[i][1], 0, float(i), 2});
        side.push_back({rim[i][0], rim[i][1], 0, cs[i][0], cs[i][1], 0, float(i), 0});
    }
    for (int i = 4; i >= 0; --i) bottom.push_back({rim[i][0], rim[i][1], 0, 0, 0, -1, 0, 0});
    ExpectVertices(device.draws[0], PrimitiveType::TriangleFan, top, "cylinder top");
    ExpectVertices(device.draws[1], PrimitiveType::TriangleStrip, side, "cylinder side");
    EXPECT_EQ(device.draws[1].count, 8);
    ExpectVertices(device.draws[2], PrimitiveType::TriangleFan, bottom, "cylinder bottom");
}

TEST_F(D3DSolids, ConeAndOpenSolids) {
    Real("d3d_draw_cone", {0, 2, 0, 4, 4, 6, -1, 4, 2, 0, 4});
    ASSERT_EQ(device.draws.size(), 1u); // open: the side only
    const float rim[5][2] = {{4, 3}, {2, 4}, {0, 3}, {2, 2}, {4, 3}};
    const float cs[5][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}, {1, 0}};
    std::vector<Row> side;
    for (int i = 0; i <= 4; ++i) {
        side.push_back({2, 3, 6, 0, 0, 1, float(i), 2});
        side.push_back({rim[i][0], rim[i][1], 0, cs[i][0], cs[i][1], 0, float(i), 0});
    }
    ExpectVertices(device.draws[0], PrimitiveType::TriangleStrip, side, "cone side");
    device.draws.clear();
    Real("d3d_draw_cone", {0, 2, 0, 4, 4, 6, -1, 4, 2, 1, 4});
    ASSERT_EQ(device.draws.size(), 2u); // closed: side, then the base
    EXPECT_EQ(device.draws[1].vertices3d.size(), 6u);
    EXPECT_EQ(device.draws[1].vertices3d[0].nz, -1.0f);
}

TEST_F(D3DSolids, StepsAreClamped) {
    struct Case {
        double steps;
        size_t strip;
    } cases[] = {{2, 8}, {3, 8}, {500, 258}, {-7, 8}};
    for (const Case& c : cases) {
        device.draws.clear();
        Real("d3d_draw_cylinder", {0, 0, 0, 1, 1, 1, -1, 1, 1, 0, c.steps});
        ASSERT_EQ(device.draws.size(), 1u) << c.steps;
        EXPECT_EQ(device.draws[0].vertices3d.size(), c.strip) << c.steps;
    }
}

TEST_F(D3DSolids, EllipsoidRings) {
    // Steps 4: two rings, each a strip of 5 pairs from the pole at z2 down.
    Real("d3d_draw_ellipsoid", {0, 0, 0, 2, 4, 6, -1, 1, 2, 4});
    ASSERT_EQ(device.draws.size(), 2u);
    const RecordedDraw& first = device.draws[0];
    ASSERT_EQ(first.vertices3d.size(), 10u);
    const Vertex3D& pole = first.vertices3d[0];
    EXPECT_NEAR(pole.x, 1, 1e-5);
    EXPECT_NEAR(pole.y, 2, 1e-5);
    EXPECT_NEAR(pole.z, 6, 1e-5);
    EXPECT_NEAR(pole.nz, 1, 1e-5);
    EXPECT_NEAR(pole.v, 0, 1e-5);
    // The equator vertex at i = 1 (90 degrees): (cx, cy + ry, cz), normal (0, 1, 0), v = V/2.
    const Vertex3D& eq = first.vertices3d[3];
    EXPECT_NEAR(eq.x, 1, 1e-5);
    EXPECT_NEAR(eq.y, 4, 1e-5);
    EXPECT_NEAR(eq.z, 3, 1e-5);
    EXPECT_NEAR(eq.ny, 1, 1e-5);
    EXPECT_NEAR(eq.u, 0.25, 1e-5);
    EXPECT_NEAR(eq.v, 1, 1e-5);
    const Vertex3D& bottom = device.draws[1].vertices3d[1];
    EXPECT_NEAR(bottom.z, 0, 1e-5);
    EXPECT_NEAR(bottom.v, 2, 1e-5);
    // Odd steps round the ring count up.
    device.draws.clear();
    Real("d3d_draw_ellipsoid", {0, 0, 0, 2, 4, 6, -1, 1, 2, 5});
    EXPECT_EQ(device.draws.size(), 3u);
}

TEST_F(D3DSolids, PrimitivesWithEveryVertexForm) {
    Real("d3d_primitive_begin", {4});
    Real("d3d_vertex", {1, 2, 3});
    Real("d3d_vertex_color", {1, 2, 3, 0x0000FF, 0.5});
    Real("d3d_vertex_texture", {1, 2, 3, 0.25, 0.75});
    Real("d3d_vertex_texture_color", {1, 2, 3, 0.25, 0.75, 0xFF0000, 1});
    Real("d3d_vertex_normal", {1, 2, 3, 0, 0, -1});
    Real("d3d_vertex_normal_color", {1, 2, 3, 0, 1, 0, 0x00FF00, 1});
    Real("d3d_vertex_normal_texture", {1, 2, 3, 1, 0, 0, 0.5, 0.5});
    Real("d3d_vertex_normal_texture_color", {1, 2, 3, 0, 0, 1, 1, 1, 0xFFFFFF, 0});
    Real("d3d_vertex", {9, 9, 9});
    Real("d3d_primitive_end");
    ASSERT_EQ(device.draws.size(), 1u);
    const RecordedDraw& d = device.draws[0];
    EXPECT_EQ(d.type, PrimitiveType::TriangleList);
    EXPECT_EQ(d.count, 3);
    ASSERT_EQ(d.vertices3d.size(), 9u);
    const uint32_t plain = 0xFF00FF00u;
    const Vertex3D expected[9] = {
        {1, 2, 3, 0, 0, 0, plain, 0, 0},         {1, 2, 3, 0, 0, 0, ToDeviceColour(0x0000FF, 0.5) | 1u, 0, 0},
        {1, 2, 3, 0, 0, 0, plain, 0.25f, 0.75f}, {1, 2, 3, 0, 0, 0, 0xFF0000FFu | 1u, 0.25f, 0.75f},
        {1, 2, 3, 0, 0, -1, plain, 0, 0},        {1, 2, 3, 0, 1, 0, 0xFF00FF00u | 1u, 0, 0},
        {1, 2, 3, 1, 0, 0, plain, 0.5f, 0.5f},   {1, 2, 3, 0, 0, 1, 0x00FFFFFFu | 1u, 1, 1},
        {9, 9, 9, 0, 0, 0, plain, 0, 0},
    };
    for (size_t i = 0; i < 9; ++i) EXPECT_EQ(d.vertices3d[i], expected[i]) << i;
}

TEST_F(D3DSolids, PrimitiveCountsAndLimits) {
    struct Case {
        int kind, vertices, count; // count 0: nothing drawn
    } cases[] = {{1, 3, 3}, {2, 5, 2}, {3, 4, 3}, {4, 7, 2}, {5, 5, 3},
                 {6, 5, 3}, {5, 2, 0}, {2, 1, 0}, {0, 6, 0}, {7, 6, 0}};
    for (const Case& c : cases) {
        device.draws.clear();
        Real("d3d_primitive_begin", {double(c.kind)});
        for (int i = 0; i < c.vertices; ++i) Real("d3d_vertex", {double(i), 0, 0});
        Real("d3d_primitive_end");
        if (c.count == 0) {
            EXPECT_TRUE(device.draws.empty()) << c.kind << "/" << c.vertices;
        } else {
            ASSERT_EQ(device.draws.size(), 1u) << c.kind;
            EXPECT_EQ(device.draws[0].count, c.count) << c.kind << "/" << c.vertices;
        }
    }
    // Vertices beyond index 32000 are ignored.
    device.draws.clear();
    Real("d3d_primitive_begin", {1});
    for (int i = 0; i < 32005; ++i) D3D_Vertex({float(i), 0, 0, 0, 0, 0, 0, 0, 0});
    Real("d3d_primitive_end");
    ASSERT_EQ(device.draws.size(), 1u);
    EXPECT_EQ(device.draws[0].count, 32001);
}

TEST_F(D3DSolids, RecorderTakesThePrimitivesInstead) {
    CGraphicsRecorder mesh;
    CGraphicsRecorder* saved = D3D_SetRecorder(&mesh);
    Real("d3d_draw_block", {0, 0, 0, 1, 1, 1, -1, 1, 1});
    Real("d3d_primitive_begin", {3});
    for (int i = 0; i < 4; ++i) Real("d3d_vertex", {double(i), 0, 0});
    Real("d3d_primitive_end");
    D3D_SetRecorder(saved);
    EXPECT_TRUE(device.draws.empty());
    EXPECT_EQ(mesh.Triangles().size(), 36u); // six fans of two triangles
    EXPECT_EQ(mesh.Lines().size(), 6u);      // a strip of three lines
}

} // namespace
