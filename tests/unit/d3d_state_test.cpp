// 3D mode and what it switches, projections, the world transform and its stack, fog and lights
// as the device receives them.

#include <cmath>

#include "graphics/graphics_3d.h"
#include "graphics_fixture.h"

using namespace kestrin;
using kestrin::testing::GraphicsTest;

namespace {

class D3DState : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        D3D_Reset();
        RenderState_SetHidden(true);
        RenderState_SetPerspective(true);
    }
    void TearDown() override {
        D3D_Reset();
        RenderState_SetHidden(true);
        RenderState_SetPerspective(true);
        RenderState_SetLighting(false);
        RenderState_SetFog(false, 0, 0, 1);
        GraphicsTest::TearDown();
    }
    // The world transform the next draw would use, observed through a drawn point.
    std::array<float, 3> WorldOf(float x, float y, float z) {
        device.draws.clear();
        Real("d3d_primitive_begin", {1});
        Real("d3d_vertex", {x, y, z});
        Real("d3d_primitive_end");
        EXPECT_EQ(device.draws.size(), 1u);
        if (device.draws.empty()) return {};
        return TransformPoint(device.draws[0].world, x, y, z);
    }
};

void ExpectNear(const std::array<float, 3>& got, const std::array<float, 3>& want, const char* what) {
    for (size_t i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], 1e-4) << what << " axis " << i;
}

TEST_F(D3DState, StartAndEndSwitchModeOnce) {
    EXPECT_FALSE(device.States().z_enable);
    EXPECT_EQ(Real("d3d_start"), 1);
    EXPECT_TRUE(D3D_Mode());
    EXPECT_TRUE(device.States().z_enable);
    // A second start keeps what the script changed since.
    Real("d3d_set_hidden", {0});
    Real("d3d_set_perspective", {0});
    EXPECT_EQ(Real("d3d_start"), 1);
    EXPECT_FALSE(RenderState_Cache().hidden);
    EXPECT_FALSE(RenderState_Cache().perspective);
    EXPECT_EQ(Real("d3d_end"), 1);
    EXPECT_FALSE(D3D_Mode());
    EXPECT_FALSE(device.States().z_enable);
    Real("d3d_start");
    EXPECT_TRUE(RenderState_Cache().hidden);
    EXPECT_TRUE(RenderState_Cache().perspective);
}

TEST_F(D3DState, DepthAndDepthWrites) {
    Real("d3d_set_depth", {500});
    EXPECT_EQ(Draw_GetDepth(), 0); // 2D mode draws at 0
    Real("d3d_set_zwriteenable", {0});
    EXPECT_TRUE(device.States().z_write); // outside 3D mode nothing changes
    Real("d3d_start");
    Real("d3d_set_depth", {50000});
    EXPECT_EQ(Draw_GetDepth(), 16000);
    Real("d3d_set_depth", {-20});
    EXPECT_EQ(Draw_GetDepth(), -20);
    Real("d3d_set_zwriteenable", {0});
    EXPECT_FALSE(device.States().z_write);
    Real("d3d_set_zwriteenable", {1});
    EXPECT_TRUE(device.States().z_write);
}

TEST_F(D3DState, RenderStateSetters) {
    Real("d3d_set_lighting", {1});
    Real("d3d_set_shading", {0});
    Real("d3d_set_culling", {1});
    Real("d3d_set_fog", {1, 0x0000FF, 10, 200});
    const RenderStates& s = device.States();
    EXPECT_TRUE(s.lighting);
    EXPECT_EQ(s.shade, ShadeMode::Flat);
    EXPECT_EQ(s.cull, CullMode::CounterClockwise);
    EXPECT_TRUE(s.fog);
    EXPECT_EQ(s.fog_colour, 0xFFFF0000u);
    EXPECT_EQ(s.fog_start, 10.0f);
    EXPECT_EQ(s.fog_end, 200.0f);
    Real("d3d_set_fog", {0, 0, 0, 0});
    EXPECT_FALSE(device.States().fog);
}

TEST_F(D3DState, TransformsTable) {
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, std::vector<double>>> calls;
        std::array<float, 3> point, expected;
    };
    const std::vector<Case> cases = {
        {"identity", {{"d3d_transform_set_identity", {}}}, {1, 2, 3}, {1, 2, 3}},
        {"translation", {{"d3d_transform_set_translation", {10, 20, 30}}}, {1, 2, 3}, {11, 22, 33}},
        {"scaling", {{"d3d_transform_set_scaling", {2, 3, 4}}}, {1, 1, 1}, {2, 3, 4}},
        // Angles are negated: a quarter turn about z takes (1, 0, 0) to (0, -1, 0).
        {"rotation z", {{"d3d_transform_set_rotation_z", {90}}}, {1, 0, 0}, {0, -1, 0}},
        {"rotation x", {{"d3d_transform_set_rotation_x", {90}}}, {0, 1, 0}, {0, 0, -1}},
        {"rotation y", {{"d3d_transform_set_rotation_y", {90}}}, {0, 0, 1}, {-1, 0, 0}},
        {"axis z as rotation z", {{"d3d_transform_set_rotation_axis", {0, 0, 5, 90}}}, {1, 0, 0}, {0, -1, 0}},
        {"zero axis is identity", {{"d3d_transform_set_rotation_axis", {0, 0, 0, 90}}}, {1, 2, 3}, {1, 2, 3}},
        // Added transforms apply after the existing ones.
        {"rotate then translate",
         {{"d3d_transform_set_rotation_z", {90}}, {"d3d_transform_add_translation", {10, 0, 0}}},
         {1, 0, 0},
         {10, -1, 0}},
        {"translate then rotate",
         {{"d3d_transform_set_translation", {10, 0, 0}}, {"d3d_transform_add_rotation_z", {90}}},
         {1, 0, 0},
         {0, -11, 0}},
        {"add scaling",
         {{"d3d_transform_set_translation", {1, 1, 1}}, {"d3d_transform_add_scaling", {2, 2, 2}}},
         {0, 0, 0},
         {2, 2, 2}},
        {"add rotation x",
         {{"d3d_transform_set_identity", {}}, {"d3d_transform_add_rotation_x", {-90}}},
         {0, 1, 0},
         {0, 0, 1}},
        {"add rotation y",
         {{"d3d_transform_set_identity", {}}, {"d3d_transform_add_rotation_y", {180}}},
         {1, 0, 0},
         {-1, 0, 0}},
        {"add axis",
         {{"d3d_transform_set_identity", {}}, {"d3d_transform_add_rotation_axis", {1, 0, 0, 90}}},
         {0, 1, 0},
         {0, 0, -1}},
    };
    for (const Case& c : cases) {
        for (const auto& [name, args] : c.calls) {
            const int32_t index = FindFunction(name);
            ASSERT_GE(index, 0) << name;
            RValue slots[8];
            for (size_t i = 0; i < args.size(); ++i) slots[i] = RValue(args[i]);
            RValue r;
            FunctionRoutine(index)(nullptr, nullptr, int32_t(args.size()), slots, r);
        }
        ExpectNear(WorldOf(c.point[0], c.point[1], c.point[2]), c.expected, c.name);
    }
}

TEST_F(D3DState, TransformStack) {
    EXPECT_EQ(Real("d3d_transform_stack_empty"), 1);
    EXPECT_EQ(Real("d3d_transform_stack_pop"), 0);
    EXPECT_EQ(Real("d3d_transform_stack_top"), 0);
    EXPECT_EQ(Real("d3d_transform_stack_discard"), 0);
    Real("d3d_transform_set_translation", {1, 0, 0});
    for (int i = 0; i < 1001; ++i) ASSERT_EQ(Real("d3d_transform_stack_push"), 1) << i;
    EXPECT_EQ(Real("d3d_transform_stack_push"), 0);
    EXPECT_EQ(Real("d3d_transform_stack_empty"), 0);
    Real("d3d_transform_stack_clear");
    EXPECT_EQ(Real("d3d_transform_stack_empty"), 1);

    Real("d3d_transform_set_translation", {1, 0, 0});
    Real("d3d_transform_stack_push");
    Real("d3d_transform_set_translation", {2, 0, 0});
    Real("d3d_transform_stack_push");
    Real("d3d_transform_set_identity");
    EXPECT_EQ(Real("d3d_transform_stack_top"), 1);
    ExpectNear(WorldOf(0, 0, 0), {2, 0, 0}, "top");
    EXPECT_EQ(Real("d3d_transform_stack_discard"), 1);
    EXPECT_EQ(Real("d3d_transform_stack_pop"), 1);
    ExpectNear(WorldOf(0, 0, 0), {1, 0, 0}, "pop");
    EXPECT_EQ(Real("d3d_transform_stack_empty"), 1);
}

TEST_F(D3DState, Projections) {
    // The camera: a left-handed look-at; the point looked at lands on the view's z axis.
    Real("d3d_set_projection", {0, 0, 0, 10, 0, 0, 0, 0, 1});
    WorldOf(0, 0, 0);
    const RecordedDraw d = device.draws[0];
    ExpectNear(TransformPoint(d.view, 10, 0, 0), {0, 0, 10}, "look-at");
    ExpectNear(TransformPoint(d.view, 0, 0, 5), {0, 5, 0}, "up is z");

    Real("d3d_set_projection_ext", {0, 0, 0, 10, 0, 0, 0, 0, 1, 90, 2, 1, 100});
    WorldOf(0, 0, 0);
    const Matrix p = device.draws[0].projection;
    EXPECT_NEAR(p.m[1][1], 1.0f, 1e-5); // cot(45 degrees)
    EXPECT_NEAR(p.m[0][0], 0.5f, 1e-5); // over the aspect
    ExpectNear(TransformPoint(p, 0, 0, 1), {0, 0, 0}, "near plane at depth 0");
    ExpectNear(TransformPoint(p, 0, 0, 100), {0, 0, 1}, "far plane at depth 1");
    // A degenerate projection keeps the one there was.
    Real("d3d_set_projection_ext", {0, 0, 0, 10, 0, 0, 0, 0, 1, 90, 0, 1, 100});
    WorldOf(0, 0, 0);
    EXPECT_EQ(device.draws[0].projection, p);
}

TEST_F(D3DState, DefaultProjectionsShowTheAreaUpright) {
    // Orthographic and perspective, the plane z = 0 maps the area (10, 20, 200 × 100) onto
    // clip space with room y downwards: top-left to (-1, 1), bottom-right to (1, -1).
    for (const char* name : {"d3d_set_projection_ortho", "d3d_set_projection_perspective"}) {
        Real(name, {10, 20, 200, 100, 0});
        WorldOf(0, 0, 0);
        const Matrix vp = Multiply(device.draws[0].view, device.draws[0].projection);
        const auto tl = TransformPoint(vp, 10, 20, 0), br = TransformPoint(vp, 210, 120, 0);
        EXPECT_NEAR(tl[0], -1, 1e-4) << name;
        EXPECT_NEAR(tl[1], 1, 1e-4) << name;
        EXPECT_NEAR(br[0], 1, 1e-4) << name;
        EXPECT_NEAR(br[1], -1, 1e-4) << name;
    }
    // The perspective one puts nearer points (smaller z) further from the centre.
    Real("d3d_set_projection_perspective", {0, 0, 200, 100, 0});
    WorldOf(0, 0, 0);
    const Matrix vp = Multiply(device.draws[0].view, device.draws[0].projection);
    EXPECT_GT(TransformPoint(vp, 200, 100, -50)[0], TransformPoint(vp, 200, 100, 0)[0]);
    // Room drawing in 3D mode uses the perspective one.
    Real("d3d_start");
    RenderState_SetProjection(0, 0, 200, 100, 0);
    WorldOf(0, 0, 0);
    EXPECT_EQ(Multiply(device.draws[0].view, device.draws[0].projection), vp);
}

TEST_F(D3DState, Lights) {
    Real("d3d_light_define_ambient", {0x102030});
    const LightingState& l = device.Lighting();
    EXPECT_EQ(l.ambient, 0xFF302010u);
    EXPECT_EQ(l.material.ambient, (LightColour{1, 1, 1, 1}));
    EXPECT_EQ(l.material.diffuse, (LightColour{1, 1, 1, 1}));
    EXPECT_EQ(l.material.emissive, (LightColour{}));
    EXPECT_EQ(l.material.power, 1.0f);
    // A string is not a colour: nothing changes.
    Call("d3d_light_define_ambient", {RValue(std::string("x"))});
    EXPECT_EQ(device.Lighting().ambient, 0xFF302010u);

    Real("d3d_light_define_direction", {1, 0, 0, 1, 0x0000FF});
    const Light& sun = device.Lighting().lights[1];
    EXPECT_EQ(sun.type, LightType::Directional);
    EXPECT_EQ(sun.direction, (std::array<float, 3>{0, 0, 1}));
    EXPECT_FLOAT_EQ(sun.diffuse.r, 1.0f);
    EXPECT_FLOAT_EQ(sun.diffuse.b, 0.0f);
    EXPECT_FALSE(device.Lighting().enabled[1]);
    Real("d3d_light_enable", {1, 1});
    EXPECT_TRUE(device.Lighting().enabled[1]);

    Real("d3d_light_define_point", {2, 5, 6, 7, 200, 0xFFFFFF});
    const Light& lamp = device.Lighting().lights[2];
    EXPECT_EQ(lamp.type, LightType::Point);
    EXPECT_EQ(lamp.position, (std::array<float, 3>{5, 6, 7}));
    EXPECT_EQ(lamp.range, 200.0f);
    EXPECT_EQ(lamp.attenuation0, 1.0f);
    EXPECT_FLOAT_EQ(lamp.attenuation1, 0.02f);
    Real("d3d_light_define_point", {3, 0, 0, 0, 0, 0xFFFFFF});
    EXPECT_EQ(device.Lighting().lights[3].attenuation1, 0.0f);
    // Indices the device cannot hold are ignored.
    Real("d3d_light_define_point", {kMaxLights, 0, 0, 0, 10, 0xFFFFFF});
    Real("d3d_light_enable", {-1, 1});

    // A device reset gives the lights back to the device.
    RecordingDevice other{1024, 768};
    RenderState_Init(&other, 640, 480, false);
    RenderState_RequestReset(0);
    RenderState_ServeResetRequest();
    EXPECT_EQ(other.Lighting(), device.Lighting());
    RenderState_Init(&device, 640, 480, false);
}

} // namespace
