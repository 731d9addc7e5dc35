// Drawing particle systems through the recording device: one quad per live particle with
// its sprite, scale, colour and alpha, the system's offset, old-to-new and new-to-old order,
// additive blending, sprite frames, the generated shapes, and systems inside room drawing's
// depth merge among instances and tiles, each drawn once; automatic update and drawing off.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>

#include "graphics/sprite.h"
#include "particle_fixture.h"
#include "tests/unit/roomdraw_fixture.h"

namespace kestrin {
namespace {

using testing::ParticleTest;

struct Box {
    float x1, y1, x2, y2;
};
Box BoxOf(const RecordedDraw& d) {
    Box b{1e9f, 1e9f, -1e9f, -1e9f};
    for (const Vertex& v : d.vertices) {
        b.x1 = std::min(b.x1, v.x);
        b.y1 = std::min(b.y1, v.y);
        b.x2 = std::max(b.x2, v.x);
        b.y2 = std::max(b.y2, v.y);
    }
    return b;
}

class ParticleDrawTest : public ParticleTest {
protected:
    DeviceTexture ShapeTexture(int32_t shape) {
        return GR_Texture_Get(Particle_ShapeSprite(shape)->GetTexture(0))->tex;
    }
};

TEST_F(ParticleDrawTest, EachParticleIsOneQuadOfItsShapeWithScaleColourAlphaAndOffset) {
    const int32_t t = NewType(), ps = NewSystem();
    Real("part_type_shape", {double(t), 1});
    Real("part_type_size", {double(t), 2, 2, 0, 0});
    Real("part_type_scale", {double(t), 1, 0.5});
    Real("part_type_color1", {double(t), 255});
    Real("part_type_alpha1", {double(t), 0.5});
    Real("part_system_position", {double(ps), 10, 20});
    Real("part_particles_create", {double(ps), 100, 100, double(t), 1});
    RenderState_SetInterpolation(false);
    Real("part_system_drawit", {double(ps)});
    ASSERT_EQ(device.draws.size(), 1u);
    const RecordedDraw& d = device.draws[0];
    EXPECT_EQ(d.type, PrimitiveType::TriangleFan);
    EXPECT_EQ(d.texture, ShapeTexture(1));
    // The 64 × 64 shape with origin (32, 32), scaled by 2 × 1 around (110, 120).
    const Box b = BoxOf(d);
    EXPECT_FLOAT_EQ(b.x1, 110 - 64.5f);
    EXPECT_FLOAT_EQ(b.x2, 110 + 63.5f);
    EXPECT_FLOAT_EQ(b.y1, 120 - 32.5f);
    EXPECT_FLOAT_EQ(b.y2, 120 + 31.5f);
    for (const Vertex& v : d.vertices) EXPECT_EQ(v.colour, 0x80FF0000u);
    // Interpolation is on while the system draws and put back after.
    EXPECT_EQ(d.states.filter, TextureFilter::Linear);
    EXPECT_FALSE(RenderState_GetInterpolation());
    // A shape outside 0..13 and a sprite without frames draw nothing.
    Real("part_type_shape", {double(t), 14});
    Real("part_system_drawit", {double(ps)});
    Real("part_type_sprite", {double(t), double(Sprite_AddNew()), 1, 0, 0});
    Real("part_system_drawit", {double(ps)});
    EXPECT_EQ(device.draws.size(), 1u);
}

TEST_F(ParticleDrawTest, OrientationTurnsTheQuadAndMayFollowTheDirection) {
    const int32_t t = NewType(), ps = NewSystem();
    Real("part_type_shape", {double(t), 3});
    Real("part_type_scale", {double(t), 2, 1});
    Real("part_type_orientation", {double(t), 90, 90, 0, 0, 0});
    Real("part_particles_create", {double(ps), 0, 0, double(t), 1});
    // Relative: 90 + a direction of 90 turns it half round, flat again.
    Real("part_type_orientation", {double(t), 90, 90, 0, 0, 1});
    Real("part_type_direction", {double(t), 90, 90, 0, 0});
    Real("part_particles_create", {double(ps), 0, 0, double(t), 1});
    Real("part_system_drawit", {double(ps)});
    ASSERT_EQ(device.draws.size(), 2u);
    const Box upright = BoxOf(device.draws[0]), flat = BoxOf(device.draws[1]);
    EXPECT_NEAR(upright.x2 - upright.x1, 64, 1e-3);
    EXPECT_NEAR(upright.y2 - upright.y1, 128, 1e-3);
    EXPECT_NEAR(flat.x2 - flat.x1, 128, 1e-3);
    EXPECT_NEAR(flat.y2 - flat.y1, 64, 1e-3);
}

TEST_F(ParticleDrawTest, DrawOrderOldToNewOrNewToOld) {
    const int32_t t = NewType(), ps = NewSystem();
    for (const double x : {100.0, 200.0, 300.0})
        Real("part_particles_create", {double(ps), x, 0, double(t), 1});
    Real("part_system_drawit", {double(ps)});
    Real("part_system_draw_order", {double(ps), 0});
    Real("part_system_drawit", {double(ps)});
    ASSERT_EQ(device.draws.size(), 6u);
    const float want[] = {100, 200, 300, 300, 200, 100};
    for (size_t k = 0; k < 6; ++k) {
        const Box b = BoxOf(device.draws[k]);
        EXPECT_FLOAT_EQ((b.x1 + b.x2) / 2, want[k] - 0.5f) << k;
    }
}

TEST_F(ParticleDrawTest, AdditiveParticlesDrawWithAddingBlendAndNormalAfter) {
    const int32_t plain = NewType(), glow = NewType(), ps = NewSystem();
    Real("part_type_blend", {double(glow), 1});
    Real("part_particles_create", {double(ps), 0, 0, double(glow), 2});
    Real("part_particles_create", {double(ps), 0, 0, double(plain), 1});
    Real("part_particles_create", {double(ps), 0, 0, double(glow), 1});
    Real("part_system_drawit", {double(ps)});
    ASSERT_EQ(device.draws.size(), 4u);
    const BlendFactor want[] = {BlendFactor::One, BlendFactor::One, BlendFactor::InvSrcAlpha,
                                BlendFactor::One};
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(device.draws[k].states.dest_blend, want[k]) << k;
        EXPECT_EQ(device.draws[k].states.src_blend, BlendFactor::SrcAlpha) << k;
    }
    EXPECT_EQ(RenderState_Cache().dest_blend, 6);
}

TEST_F(ParticleDrawTest, SpriteParticlesAnimateStretchOrStartAtRandom) {
    auto sprite = std::make_unique<CSprite>();
    TBitmap32 strip(32, 8, 0xFFFFFFFFu);
    sprite->LoadStripFromBitmap(strip, 4, false, false);
    sprite->InitTexture();
    ASSERT_EQ(sprite->i_numb, 4);
    std::vector<DeviceTexture> frames;
    for (int32_t k = 0; k < 4; ++k) frames.push_back(GR_Texture_Get(sprite->GetTexture(k))->tex);
    const int32_t spr = Sprite_AddNew(std::move(sprite));
    const int32_t t = NewType(), ps = NewSystem();
    Real("part_type_life", {double(t), 8, 8});
    const struct {
        double animate, stretch;
        int32_t steps;
        size_t frame;
    } rows[] = {
        {0, 0, 3, 0}, // still: the start frame
        {1, 0, 3, 3}, // one frame per step
        {1, 0, 5, 1}, // wrapping round
        {1, 1, 2, 1}, // stretched: 4 frames over 8 steps
        {1, 1, 7, 3},
    };
    for (const auto& row : rows) {
        Real("part_type_sprite", {double(t), double(spr), row.animate, row.stretch, 0});
        Real("part_particles_clear", {double(ps)});
        Real("part_particles_create", {double(ps), 0, 0, double(t), 1});
        for (int32_t i = 0; i < row.steps; ++i) Real("part_system_update", {double(ps)});
        device.draws.clear();
        Real("part_system_drawit", {double(ps)});
        ASSERT_EQ(device.draws.size(), 1u);
        EXPECT_EQ(device.draws[0].texture, frames[row.frame]) << row.animate << row.stretch << row.steps;
    }
    // A random start is irandom(10000), wrapped to the frames.
    Real("part_type_sprite", {double(t), double(spr), 0, 0, 1});
    Real("part_particles_clear", {double(ps)});
    Real("part_particles_create", {double(ps), 0, 0, double(t), 40});
    std::set<int32_t> starts;
    for (const RParticle& p : ParticleSystem_Get(ps)->particles) starts.insert(p.spritestart % 4);
    EXPECT_EQ(starts.size(), 4u);
}

TEST_F(ParticleDrawTest, TheFourteenShapesAreWhiteWithAlphaFromTheirBrightness) {
    NewSystem();
    std::set<std::vector<TColor32>> distinct;
    for (int32_t shape = 0; shape < kParticleShapeCount; ++shape) {
        const TBitmap32 grey = Particle_ShapeImage(shape);
        const CSprite* sprite = Particle_ShapeSprite(shape);
        ASSERT_NE(sprite, nullptr);
        ASSERT_EQ(grey.Width(), 64);
        ASSERT_EQ(grey.Height(), 64);
        EXPECT_EQ(sprite->i_xorig, 32);
        EXPECT_EQ(sprite->i_yorig, 32);
        const TBitmap32& frame = sprite->i_bitmap[0];
        int32_t lit = 0;
        for (int32_t y = 0; y < 64; ++y)
            for (int32_t x = 0; x < 64; ++x) {
                const TColor32 g = grey.GetPixel(x, y), f = frame.GetPixel(x, y);
                ASSERT_EQ(g & 0xFF, (g >> 8) & 0xFF);
                ASSERT_EQ(f & 0xFFFFFF, 0xFFFFFFu);
                ASSERT_EQ(AlphaOf(f), g & 0xFF);
                lit += (g & 0xFF) > 127;
            }
        EXPECT_GT(lit, 0) << shape;
        EXPECT_LT(lit, 64 * 64) << shape;
        distinct.insert(grey.s_data);
        // The measured shapes.
        if (shape == 0) {
            EXPECT_EQ(grey.GetPixel(30, 30), 0xFFFFFFFFu);
            EXPECT_EQ(grey.GetPixel(34, 34), 0xFFFFFFFFu);
        }
        const double want[] = {25, std::numbers::pi * 29 * 29, 58 * 58, 56 * 11};
        if (shape < 4) {
            EXPECT_NEAR(lit, want[shape], shape == 1 ? 60 : 0) << shape;
        }
    }
    EXPECT_EQ(distinct.size(), size_t(kParticleShapeCount));
    EXPECT_EQ(Particle_ShapeSprite(-1), nullptr);
    EXPECT_EQ(Particle_ShapeSprite(14), nullptr);
    EXPECT_TRUE(Particle_ShapeImage(14).Empty());
}

TEST_F(ParticleDrawTest, ShapeTexturesFollowANewDevice) {
    const int32_t t = NewType(), ps = NewSystem();
    Real("part_particles_create", {double(ps), 0, 0, double(t), 1});
    // The texture table starts afresh with another device; the shapes make new textures.
    RecordingDevice other{256, 256};
    RenderState_Finish();
    ASSERT_TRUE(RenderState_Init(&other, 64, 64, false));
    Real("part_system_drawit", {double(ps)});
    ASSERT_EQ(other.draws.size(), 1u);
    EXPECT_EQ(other.draws[0].texture, GR_Texture_Get(Particle_ShapeSprite(0)->GetTexture(0))->tex);
    EXPECT_NE(other.Image(other.draws[0].texture), nullptr);
    Particle_ClearAll();
    RenderState_Finish();
    ASSERT_TRUE(RenderState_Init(&device, 640, 480, false));
}

TEST_F(ParticleDrawTest, AutomaticUpdateSwitchedOffLeavesTheSystemAlone) {
    const int32_t t = NewType(), on = NewSystem(), off = NewSystem();
    Real("part_particles_create", {double(on), 0, 0, double(t), 1});
    Real("part_particles_create", {double(off), 0, 0, double(t), 1});
    Real("part_system_automatic_update", {double(off), 0});
    Particle_UpdateAutomatic();
    Particle_UpdateAutomatic();
    EXPECT_EQ(Particle(on, 0).age, 2);
    EXPECT_EQ(Particle(off, 0).age, 0);
    Real("part_system_update", {double(off)});
    EXPECT_EQ(Particle(off, 0).age, 1);
}

// Room drawing with real particle systems: their draws are named "p" + the particle colour.
class ParticleRoomTest : public testing::RoomDrawTest {
protected:
    void SetUp() override {
        RoomDrawTest::SetUp();
        Particle_ClearAll();
        SetRoomParticleSource({Particle_DepthBelow, Particle_DrawAt});
        type = int32_t(Call("part_type_create").val());
    }
    void TearDown() override {
        Particle_ClearAll();
        RoomDrawTest::TearDown();
    }
    RValue Call(const char* name, std::initializer_list<double> args = {}) {
        RValue slots[16];
        int32_t n = 0;
        for (const double a : args) slots[n++] = RValue(a);
        RValue result;
        FunctionRoutine(FindFunction(name))(nullptr, nullptr, n, slots, result);
        return result;
    }
    // A system at depth d with one particle of colour c.
    int32_t System(double depth, int32_t colour) {
        const int32_t ps = int32_t(Call("part_system_create").val());
        Call("part_system_depth", {double(ps), depth});
        Call("part_particles_create_color", {double(ps), 0, 0, double(type), double(colour), 1});
        return ps;
    }
    std::string Names() const {
        std::string out;
        for (const RecordedDraw& d : device.draws) {
            auto it = names_.find(d.texture);
            const std::string name =
                it != names_.end() ? it->second : "p" + std::to_string((d.vertices[0].colour >> 16) & 0xFF);
            out += (out.empty() ? "" : " ") + name;
        }
        return out;
    }
    int32_t type = -1;
};

TEST_F(ParticleRoomTest, SystemsTakeTheirPlaceInTheDepthMerge) {
    const int32_t inst = Back("inst"), near = Back("near"), tile = Back("tile");
    AddDrawing(inst, 5);
    AddDrawing(near, -5);
    AddTile(tile, 0, 0, 0);
    System(10, 1);
    System(0, 2);
    System(-10, 3);
    Room_Draw(Room());
    // At equal depths the particles come first, then instances, then tiles.
    EXPECT_EQ(Names(), "p1 inst p2 tile near p3");
}

TEST_F(ParticleRoomTest, EverySystemDrawsOnceEvenWhenDepthsLieCloserThanTheReach) {
    System(0, 1);
    System(0.005, 2);
    System(0.012, 3);
    System(0, 4);
    const int32_t hidden = System(0.001, 5);
    Call("part_system_automatic_draw", {double(hidden), 0});
    Room_Draw(Room());
    // 0.012 with 0.005 within its reach, in system order; then the two at 0, each once.
    EXPECT_EQ(Names(), "p2 p3 p1 p4");
    // A system that does not draw automatically still draws when asked.
    device.draws.clear();
    Call("part_system_drawit", {double(hidden)});
    EXPECT_EQ(Names(), "p5");
}

} // namespace
} // namespace kestrin
