// The effect presets: the two effect systems and their depths, the types made on first use,
// particle counts, sizes, lives and places per effect and size, the speed factor, rain and
// snow ignoring the position, and effect_clear and room starts emptying both systems.

#include <gtest/gtest.h>

#include "graphics/particle.h"
#include "graphics/particle_effect.h"
#include "script/random.h"
#include "tests/unit/roomdraw_fixture.h"

namespace kestrin {
namespace {

class ParticleEffectTest : public testing::RoomDrawTest {
protected:
    void SetUp() override {
        RoomDrawTest::SetUp();
        Particle_ClearAll();
        SetRandomSeed(777);
    }
    void TearDown() override {
        Particle_ClearAll();
        RoomDrawTest::TearDown();
    }
    void Effect(bool above, double kind, double x, double y, double size, double colour) {
        RValue slots[16] = {RValue(kind), RValue(x), RValue(y), RValue(size), RValue(colour)};
        RValue result;
        FunctionRoutine(FindFunction(above ? "effect_create_above" : "effect_create_below"))(
            nullptr, nullptr, 5, slots, result);
    }
    std::vector<RParticle>& Below() { return ParticleSystem_Get(Effect_System(false))->particles; }
    std::vector<RParticle>& Above() { return ParticleSystem_Get(Effect_System(true))->particles; }
    const RParticleType& TypeOf(const RParticle& p) { return *ParticleType_Get(p.parttype); }
};

TEST_F(ParticleEffectTest, SpeedFactorFollowsRoomSpeedAndFrameRate) {
    const struct {
        int32_t speed, fps;
        double k;
    } rows[] = {{30, 30, 1},   {60, 30, 1},    {20, 60, 1},        {60, 60, 0.5},
                {60, 55, 0.5}, {60, 40, 0.75}, {90, 45, 30.0 / 45}};
    for (const auto& row : rows) EXPECT_DOUBLE_EQ(Effect_SpeedFactor(row.speed, row.fps), row.k) << row.speed;
}

TEST_F(ParticleEffectTest, FirstUseMakesTwoSystemsAndTheTypes) {
    EXPECT_EQ(Effect_System(false), -1);
    Effect(false, 0, 100, 50, 1, 255);
    const int32_t below = Effect_System(false);
    ASSERT_GE(below, 0);
    EXPECT_EQ(ParticleSystem_Get(below)->depth, 100000);
    EXPECT_EQ(Effect_System(true), -1);
    Effect(true, 6, 0, 0, 1, 0);
    EXPECT_EQ(ParticleSystem_Get(Effect_System(true))->depth, -100000);
    // Six explosion types, three per size for the nine sized effects, one for rain and snow.
    EXPECT_EQ(ParticleType_Count(), 35);
    EXPECT_EQ(ParticleSystem_Count(), 2);
    // A game's own type comes after them.
    RValue none[16], id;
    FunctionRoutine(FindFunction("part_type_create"))(nullptr, nullptr, 0, none, id);
    EXPECT_EQ(id.val(), 35);
}

TEST_F(ParticleEffectTest, ExplosionSizes) {
    const struct {
        int32_t size;
        double mainSize, grow, speed, slow, lifemin, lifemax, coreSize, coreGrow, coreLife;
    } rows[] = {
        {0, 0.1, 0.05, 2, -0.1, 10, 15, 0.1, 0.1, 15},
        {1, 0.3, 0.1, 4, -0.18, 12, 17, 0.3, 0.2, 17},
        {2, 0.4, 0.2, 7, -0.2, 15, 20, 0.4, 0.4, 20},
        {5, 0.3, 0.1, 4, -0.18, 12, 17, 0.3, 0.2, 17}, // any other size is medium
    };
    for (const auto& row : rows) {
        Particle_ClearAll();
        Effect(false, 0, 100, 50, row.size, 255);
        ASSERT_EQ(Below().size(), 21u);
        const RParticle& main = Below()[0];
        const RParticle& core = Below()[20];
        EXPECT_EQ(main.color, 255);
        EXPECT_EQ(core.color, 0);
        EXPECT_EQ(main.x, 100);
        EXPECT_EQ(main.size, row.mainSize);
        EXPECT_EQ(TypeOf(main).sizeincr, row.grow);
        EXPECT_EQ(main.speed, row.speed);
        EXPECT_EQ(TypeOf(main).spincr, row.slow);
        EXPECT_GE(main.lifetime, row.lifemin);
        EXPECT_LE(main.lifetime, row.lifemax);
        EXPECT_EQ(TypeOf(main).shape, 10);
        EXPECT_EQ(TypeOf(main).alphastart, 0.6);
        EXPECT_EQ(TypeOf(main).alphaend, 0);
        EXPECT_EQ(core.size, row.coreSize);
        EXPECT_EQ(core.speed, 0);
        EXPECT_EQ(TypeOf(core).sizeincr, row.coreGrow);
        EXPECT_EQ(core.lifetime, row.coreLife);
        EXPECT_EQ(TypeOf(core).alphastart, 0.8);
    }
}

TEST_F(ParticleEffectTest, CountsAndShapesPerEffect) {
    const struct {
        int32_t kind, size;
        size_t count;
        int32_t shape;
    } rows[] = {
        {1, 1, 1, 6},   {2, 2, 1, 6},   {3, 0, 75, 8},  {3, 1, 150, 8}, {3, 2, 250, 8}, {4, 0, 6, 10},
        {4, 2, 16, 10}, {5, 1, 11, 10}, {6, 1, 1, 4},   {7, 1, 1, 9},   {8, 1, 1, 8},   {9, 2, 1, 10},
        {10, 0, 2, 3},  {10, 2, 9, 3},  {11, 0, 1, 13}, {11, 2, 7, 13},
    };
    for (const auto& row : rows) {
        Particle_ClearAll();
        Effect(true, row.kind, 200, 100, row.size, 65280);
        ASSERT_EQ(Above().size(), row.count) << row.kind << "/" << row.size;
        EXPECT_EQ(TypeOf(Above()[0]).shape, row.shape) << row.kind;
        EXPECT_EQ(Above()[0].color, 65280) << row.kind;
    }
    // Kinds outside 0..11 make nothing (not even the systems).
    Particle_ClearAll();
    Effect(true, 12, 0, 0, 1, 0);
    Effect(true, -1, 0, 0, 1, 0);
    EXPECT_EQ(Effect_System(true), -1);
}

TEST_F(ParticleEffectTest, PlacesRingsSmokeRainAndSnow) {
    // Ellipse: the ring's look squashed to half height.
    Effect(false, 2, 10, 20, 1, 0);
    EXPECT_EQ(TypeOf(Below()[0]).yscale, 0.5);
    EXPECT_EQ(TypeOf(Below()[0]).sizeincr, 0.35);
    // Large smoke: integer offsets in [-30, 30).
    Effect(false, 4, 100, 100, 2, 0);
    for (size_t k = 1; k < Below().size(); ++k) {
        const RParticle& p = Below()[k];
        EXPECT_TRUE(p.x >= 70 && p.x < 130 && p.x == std::floor(p.x)) << p.x;
        EXPECT_TRUE(p.y >= 70 && p.y < 130 && p.y == std::floor(p.y)) << p.y;
    }
    // Rain and snow ignore the position: they start above a room 640 × 480.
    Effect(true, 10, 5000, 5000, 2, 0);
    Effect(true, 11, 5000, 5000, 2, 0);
    ASSERT_EQ(Above().size(), 16u);
    for (size_t k = 0; k < 16; ++k) {
        const RParticle& p = Above()[k];
        const bool snow = k >= 9;
        EXPECT_GE(p.x, snow ? -60 : 0);
        EXPECT_LT(p.x, 1.2 * 640 - (snow ? 60 : 0));
        EXPECT_GE(p.y, -30);
        EXPECT_LT(p.y, -10);
        EXPECT_EQ(p.lifetime, snow ? 240 : 96);
    }
    EXPECT_TRUE(TypeOf(Above()[0]).angdir);
    EXPECT_EQ(TypeOf(Above()[9]).dirrand, 20);
}

TEST_F(ParticleEffectTest, LivesStretchWithTheSpeedFactor) {
    Room().r_speed = 60; // no loop runs, so the frame rate reads 0 and k stays 1
    Effect(false, 6, 0, 0, 1, 0);
    EXPECT_EQ(Below()[0].lifetime, 25);
}

TEST_F(ParticleEffectTest, EffectClearAndRoomStartEmptyBothSystems) {
    Effect(false, 3, 0, 0, 1, 0);
    Effect(true, 3, 0, 0, 1, 0);
    RValue none[16], r;
    FunctionRoutine(FindFunction("effect_clear"))(nullptr, nullptr, 0, none, r);
    EXPECT_TRUE(Below().empty());
    EXPECT_TRUE(Above().empty());
    Effect(true, 3, 0, 0, 1, 0);
    World().hooks.clear_effects = Effect_Clear;
    World().EnterRoom(0, false);
    EXPECT_TRUE(Above().empty());
    // A game that destroys an effect system gets a new one on next use.
    FunctionRoutine(FindFunction("part_system_destroy"))(
        nullptr, nullptr, 1, std::array<RValue, 16>{RValue(double(Effect_System(true)))}.data(), r);
    Effect(true, 3, 0, 0, 1, 0);
    EXPECT_EQ(Above().size(), 150u);
}

} // namespace
} // namespace kestrin
