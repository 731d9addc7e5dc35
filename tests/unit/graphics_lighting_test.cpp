// Lighting as the device computes it, and what lit drawing hands the device.

#include <cmath>

#include "graphics/render_state.h"
#include "graphics/graphics_recorder.h"
#include "graphics_fixture.h"

using namespace kestrin;
using kestrin::testing::GraphicsTest;

namespace {

using Vec = std::array<float, 3>;

Light Directional(Vec direction, uint32_t diffuse) {
    Light l;
    l.type = LightType::Directional;
    l.direction = direction;
    l.diffuse = ColourFromArgb(diffuse);
    return l;
}

Light Point(Vec position, float range, uint32_t diffuse) {
    Light l;
    l.type = LightType::Point;
    l.position = position;
    l.range = range;
    l.attenuation0 = 1;
    l.attenuation1 = range > 0 ? 4 / range : 0;
    l.diffuse = ColourFromArgb(diffuse);
    return l;
}

LightingState WhiteAmbientMaterial(uint32_t ambient) {
    LightingState s;
    s.material.ambient = s.material.diffuse = s.material.specular = {1, 1, 1, 1};
    s.material.power = 1;
    s.ambient = ambient;
    return s;
}

struct LitCase {
    const char* name;
    LightingState lighting;
    Vec position, normal;
    uint32_t colour, expected;
};

std::vector<LitCase> LitCases() {
    std::vector<LitCase> cases;
    LightingState dark; // the device's starting state: zero material, no ambient, no lights
    cases.push_back(
        {"nothing lit is black, alpha kept", dark, {0, 0, 0}, {0, 0, -1}, 0x80FFFFFF, 0x80000000});
    LightingState ambient = WhiteAmbientMaterial(0xFF404040);
    cases.push_back(
        {"ambient light on a white material", ambient, {0, 0, 0}, {0, 0, -1}, 0xFF00FF00, 0xFF404040});
    LightingState sun = ambient;
    sun.lights[0] = Directional({0, 0, 1}, 0xFFFF8040);
    sun.enabled[0] = true;
    cases.push_back({"directional, facing the light: ambient + vertex colour × diffuse",
                     sun,
                     {5, 6, 7},
                     {0, 0, -1},
                     0xFF8080FF,
                     0xFFC08080});
    cases.push_back(
        {"directional, normal not unit length", sun, {0, 0, 0}, {0, 0, -10}, 0xFF8080FF, 0xFFC08080});
    cases.push_back({"directional, at 60 degrees: half",
                     sun,
                     {0, 0, 0},
                     {std::sqrt(3.0f) / 2, 0, -0.5f},
                     0xFFFFFFFF,
                     0xFFC08060});
    cases.push_back({"directional, facing away", sun, {0, 0, 0}, {0, 0, 1}, 0xFFFFFFFF, 0xFF404040});
    cases.push_back({"directional, zero normal", sun, {0, 0, 0}, {0, 0, 0}, 0xFFFFFFFF, 0xFF404040});
    cases.push_back({"bright light clamps", sun, {0, 0, 0}, {0, 0, -1}, 0xFFFFFFFF, 0xFFFFC080});
    LightingState off = sun;
    off.enabled[0] = false;
    off.enabled[1] = true; // a switched-on light that was never defined adds nothing
    cases.push_back({"switched off", off, {0, 0, 0}, {0, 0, -1}, 0xFFFFFFFF, 0xFF404040});
    LightingState lamp;
    lamp.lights[3] = Point({0, 0, -4}, 8, 0xFFFFFFFF);
    lamp.enabled[3] = true;
    // d = 4, attenuation 1 / (1 + 0.5·4) = 1/3.
    cases.push_back({"point light within range", lamp, {0, 0, 0}, {0, 0, -1}, 0xFFFFFFFF, 0xFF555555});
    cases.push_back(
        {"point light, normal at 90 degrees", lamp, {0, 0, 0}, {1, 0, 0}, 0xFFFFFFFF, 0xFF000000});
    cases.push_back({"point light out of range", lamp, {0, 0, 5}, {0, 0, -1}, 0xFFFFFFFF, 0xFF000000});
    LightingState glow = lamp;
    glow.material.emissive = {0.5f, 0, 0, 1};
    cases.push_back({"emissive adds everywhere", glow, {0, 0, 5}, {0, 0, -1}, 0xFFFFFFFF, 0xFF800000});
    LightingState both = sun;
    both.lights[7] = Directional({1, 0, 0}, 0xFF0000FF);
    both.enabled[7] = true;
    cases.push_back({"two lights add up", both, {0, 0, 0}, {-1, 0, -1}, 0xFFFFFFFF, 0xFFF49BFF});
    return cases;
}

TEST(GraphicsLighting, VertexLightingFollowsTheFixedFunctionRules) {
    for (const LitCase& c : LitCases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LightVertex(c.lighting, c.position, c.normal, c.colour), c.expected)
            << std::hex << LightVertex(c.lighting, c.position, c.normal, c.colour);
    }
}

TEST(GraphicsLighting, NormalsFollowTheWorldWithoutSkewing) {
    // Scaling x by 2 tilts a 45-degree normal towards x: the surface got flatter along x.
    const auto n = TransformNormal(NormalMatrix(Scaling(2, 1, 1)), {1, 1, 0});
    EXPECT_FLOAT_EQ(n[0] / n[1], 0.5f);
    // A rotation turns normals with it; a mirror keeps them pointing out of the surface.
    const auto r = TransformNormal(NormalMatrix(RotationZ(float(M_PI / 2))), {1, 0, 0});
    const auto p = TransformPoint(RotationZ(float(M_PI / 2)), 1, 0, 0);
    EXPECT_NEAR(r[0], p[0], 1e-6);
    EXPECT_NEAR(r[1], p[1], 1e-6);
    const auto m = TransformNormal(NormalMatrix(Scaling(-1, 1, 1)), {1, 0, 0});
    EXPECT_FLOAT_EQ(m[0], -1.0f);
    // A singular world does not divide by zero.
    const auto z = TransformNormal(NormalMatrix(Scaling(0, 1, 1)), {0, 1, 0});
    EXPECT_TRUE(std::isfinite(z[0]) && std::isfinite(z[1]) && std::isfinite(z[2]));
}

class GraphicsLightingDevice : public GraphicsTest {};

TEST_F(GraphicsLightingDevice, LightsMaterialAndAmbientStayOnTheDevice) {
    const Light sun = Directional({0, 0, 1}, 0xFFFFFFFF);
    device.SetLight(2, sun);
    device.LightEnable(2, true);
    device.SetLight(kMaxLights, sun); // beyond what the device holds: ignored
    device.LightEnable(-1, true);
    Material m;
    m.ambient = {1, 1, 1, 1};
    device.SetMaterial(m);
    device.SetAmbient(0xFF102030);
    RenderState_SetLighting(true);
    const Vertex v[3] = {
        {0, 0, 0, 0xFFFFFFFF, 0, 0}, {1, 0, 0, 0xFFFFFFFF, 0, 0}, {0, 1, 0, 0xFFFFFFFF, 0, 0}};
    device.DrawPrimitive(PrimitiveType::TriangleList, 1, v);
    const RecordedDraw& d = device.draws.at(0);
    EXPECT_TRUE(d.states.lighting);
    EXPECT_EQ(d.lighting.lights[2], sun);
    EXPECT_TRUE(d.lighting.enabled[2]);
    for (int32_t i = 0; i < kMaxLights; ++i) {
        if (i == 2) continue;
        EXPECT_FALSE(d.lighting.enabled[size_t(i)]) << i;
    }
    EXPECT_EQ(d.lighting.material, m);
    EXPECT_EQ(d.lighting.ambient, 0xFF102030u);
    EXPECT_TRUE(d.vertices3d.empty()); // 2D vertices carry no normals
}

TEST_F(GraphicsLightingDevice, RecordedModelsHandTheirNormalsToTheDevice) {
    CGraphicsRecorder r;
    std::vector<Vertex3D> tri = {{0, 0, 0, 0, 0, -1, 0xFF0000FF, 0, 0},
                                 {4, 0, 0, 0, 0.6f, -0.8f, 0xFF00FF00, 1, 0},
                                 {0, 4, 0, 1, 0, 0, 0xFFFF0000, 0, 1}};
    r.AddPrims(PrimitiveType::TriangleList, 3, tri.data());
    r.AddPrims(PrimitiveType::LineList, 2, tri.data());
    r.Draw(0, 1, 2, 3);
    ASSERT_EQ(device.draws.size(), 2u);
    EXPECT_EQ(device.draws[0].vertices3d, tri);
    EXPECT_EQ(device.draws[0].vertices[1], (Vertex{4, 0, 0, 0xFF00FF00, 1, 0}));
    EXPECT_EQ(device.draws[1].type, PrimitiveType::LineList);
    EXPECT_EQ(device.draws[1].vertices3d, (std::vector<Vertex3D>{tri[0], tri[1]}));
}

} // namespace
