// Particle types and the particle update: the random ranges and the wiggle, what a new
// particle draws and in which order, size, speed, direction, gravity, colour and alpha over
// life, step and death spawning, lowest-free id reuse and calls with ids that name nothing.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "graphics/graphics_draw.h"
#include "particle_fixture.h"
#include "script/registry.h"

namespace kestrin {
namespace {

using testing::ParticleTest;

TEST_F(ParticleTest, RandomRangesDrawAsTheirDistributionSays) {
    // An empty or reversed range is its minimum and draws nothing.
    const uint32_t seed = RandomSeed();
    EXPECT_EQ(Particle_Random(0.5, 0.2, kDistrLinear), 0.5);
    EXPECT_EQ(Particle_Random(3, 3, kDistrGaussian), 3);
    EXPECT_EQ(RandomSeed(), seed);

    const auto r = NextReals(1);
    EXPECT_DOUBLE_EQ(Particle_Random(2, 6, kDistrLinear), 2 + 4 * r[0]);
    // Any distribution number but 1 and 2 is linear.
    const auto r2 = NextReals(1);
    EXPECT_DOUBLE_EQ(Particle_Random(2, 6, 7), 2 + 4 * r2[0]);

    // Gaussian and inverse Gaussian: d from pairs of draws until accepted.
    for (int32_t distr : {kDistrGaussian, kDistrInvGaussian}) {
        const auto g = NextReals(64);
        size_t k = 0;
        double d = 0;
        do {
            d = (g[k++] - 0.5) * 6;
        } while (!(std::exp(-d * d / 2) > g[k++]));
        const double want =
            distr == kDistrGaussian ? 10 + 20 * (d + 3) / 6 : 10 + 20 * (d >= 0 ? d : d + 6) / 6;
        EXPECT_DOUBLE_EQ(Particle_Random(10, 30, distr), want) << distr;
    }

    // Over many draws the Gaussian gathers in the middle, the inverse one at both ends.
    int32_t middle[3] = {};
    for (int32_t distr : {kDistrLinear, kDistrGaussian, kDistrInvGaussian})
        for (int i = 0; i < 4000; ++i) {
            const double v = Particle_Random(0, 1, distr);
            ASSERT_GE(v, 0);
            ASSERT_LT(v, 1);
            if (v > 0.25 && v < 0.75) ++middle[distr];
        }
    EXPECT_NEAR(middle[0], 2000, 150);
    EXPECT_GT(middle[1], 3000);
    EXPECT_LT(middle[2], 1000);
}

TEST_F(ParticleTest, WiggleIsATriangleWave) {
    const struct {
        double t, want;
    } rows[] = {{0, -1}, {0.5, -0.5}, {1, 0}, {2, 1}, {2.5, 0.5}, {3, 0}, {3.8, -0.8}};
    for (const auto& row : rows) EXPECT_DOUBLE_EQ(Particle_Wiggle(row.t), row.want) << row.t;
}

TEST_F(ParticleTest, ANewParticleDrawsItsFieldsInOrder) {
    const int32_t t = NewType(), ps = NewSystem();
    Real("part_type_speed", {double(t), 1, 3, 0, 0});
    Real("part_type_direction", {double(t), 10, 20, 0, 0});
    Real("part_type_orientation", {double(t), 0, 90, 0, 0, 0});
    Real("part_type_life", {double(t), 10, 20});
    Real("part_type_color_rgb", {double(t), 0, 255, 10, 10, 100, 200});
    Real("part_type_size", {double(t), 0.5, 1.5, 0, 0});
    Real("part_type_sprite", {double(t), -1, 1, 0, 1});
    Real("part_type_alpha3", {double(t), 0.7, 0.2, 0.1});
    const auto r = NextReals(9);
    Real("part_particles_create", {double(ps), 40, 50, double(t), 1});
    ASSERT_EQ(Count(ps), 1u);
    const RParticle& p = Particle(ps, 0);
    EXPECT_TRUE(p.alive);
    EXPECT_EQ(p.parttype, t);
    EXPECT_EQ(p.age, 0);
    EXPECT_EQ(p.x, 40);
    EXPECT_EQ(p.xold, 40);
    EXPECT_EQ(p.y, 50);
    EXPECT_DOUBLE_EQ(p.speed, 1 + 2 * r[0]);
    EXPECT_DOUBLE_EQ(p.dir, 10 + 10 * r[1]);
    EXPECT_DOUBLE_EQ(p.ang, 90 * r[2]);
    EXPECT_EQ(p.lifetime, std::nearbyint(10 + 10 * r[3]));
    // Green's range is empty, so the colour takes two draws.
    EXPECT_EQ(p.color,
              int32_t(std::nearbyint(255 * r[4]) + 10 * 256 + std::nearbyint(100 + 100 * r[5]) * 65536));
    EXPECT_DOUBLE_EQ(p.size, 0.5 + r[6]);
    EXPECT_EQ(p.alpha, 0.7);
    EXPECT_EQ(p.spritestart, int32_t(std::floor(10000 * r[7])));
    EXPECT_EQ(p.ran, int32_t(std::floor(100000 * r[8])));

    // A size range given the wrong way round is its minimum; a colour sets afterwards.
    Real("part_type_size", {double(t), 0.5, 0.2, 0, 0});
    Real("part_particles_create_color", {double(ps), 0, 0, double(t), 255, 3});
    ASSERT_EQ(Count(ps), 4u);
    for (size_t k = 1; k < 4; ++k) {
        EXPECT_EQ(Particle(ps, k).size, 0.5);
        EXPECT_EQ(Particle(ps, k).color, 255);
    }
    // -1 is a colour like any other.
    Real("part_particles_create_color", {double(ps), 0, 0, double(t), -1, 1});
    EXPECT_EQ(Particle(ps, 4).color, -1);
}

TEST_F(ParticleTest, MotionFollowsSpeedDirectionGravityAndWiggles) {
    const int32_t t = NewType(), ps = NewSystem();
    Real("part_type_life", {double(t), 50, 50});
    Real("part_type_speed", {double(t), 2, 2, -0.5, 0});
    Real("part_type_direction", {double(t), 0, 0, 90, 0});
    Real("part_type_orientation", {double(t), 10, 10, 5, 0, 0});
    Real("part_particles_create", {double(ps), 100, 100, double(t), 1});
    Real("part_system_update", {double(ps)});
    const RParticle& p = Particle(ps, 0);
    // Speed 1.5 towards 90 (up), the angle grown by 5.
    EXPECT_EQ(p.xold, 100);
    EXPECT_NEAR(p.x, 100, 1e-12);
    EXPECT_DOUBLE_EQ(p.y, 98.5);
    EXPECT_EQ(p.dir, 90);
    EXPECT_EQ(p.ang, 15);
    for (int i = 0; i < 5; ++i) Real("part_system_update", {double(ps)});
    EXPECT_EQ(Particle(ps, 0).speed, 0); // never below 0

    // Gravity adds its vector and the direction comes back into [0, 360).
    const int32_t g = NewType();
    Real("part_type_life", {double(g), 50, 50});
    Real("part_type_speed", {double(g), 3, 3, 0, 0});
    Real("part_type_gravity", {double(g), 4, 270});
    Real("part_particles_clear", {double(ps)});
    Real("part_particles_create", {double(ps), 0, 0, double(g), 1});
    Real("part_system_update", {double(ps)});
    EXPECT_NEAR(Particle(ps, 0).speed, 5, 1e-12);
    EXPECT_NEAR(Particle(ps, 0).dir, 360 - std::atan2(4, 3) * 180 / std::numbers::pi, 1e-9);
    EXPECT_NEAR(Particle(ps, 0).x, 3, 1e-12);
    EXPECT_NEAR(Particle(ps, 0).y, 4, 1e-12);

    // The speed wiggle moves the particle without changing its stored speed.
    const int32_t w = NewType();
    Real("part_type_life", {double(w), 50, 50});
    Real("part_type_speed", {double(w), 2, 2, 0, 1});
    Real("part_particles_clear", {double(ps)});
    Real("part_particles_create", {double(ps), 0, 0, double(w), 1});
    const int64_t ran = Particle(ps, 0).ran;
    Real("part_system_update", {double(ps)});
    const double wiggle = Particle_Wiggle(double((1 + 4 * ran) % 20) / 5);
    EXPECT_EQ(Particle(ps, 0).speed, 2);
    EXPECT_DOUBLE_EQ(Particle(ps, 0).x, 2 + wiggle);
}

TEST_F(ParticleTest, SizeColourAndAlphaChangeOverLife) {
    const int32_t t = NewType(), ps = NewSystem();
    Real("part_type_life", {double(t), 10, 10});
    Real("part_type_size", {double(t), 1, 1, -0.3, 0});
    Real("part_type_alpha3", {double(t), 1, 0.5, 0});
    Real("part_type_color2", {double(t), 0, 200});
    Real("part_particles_create", {double(ps), 0, 0, double(t), 1});
    const struct {
        int32_t age;
        double size, alpha;
    } rows[] = {{1, 0.7, 0.9}, {2, 0.4, 0.8}, {3, 0.1, 0.7}, {4, 0, 0.6}, {5, 0, 0.5}, {8, 0, 0.2}};
    int32_t age = 0;
    for (const auto& row : rows) {
        while (age < row.age) {
            Real("part_system_update", {double(ps)});
            ++age;
        }
        const RParticle& p = Particle(ps, 0);
        EXPECT_EQ(p.age, row.age);
        EXPECT_NEAR(p.size, row.size, 1e-12) << row.age;
        EXPECT_NEAR(p.alpha, row.alpha, 1e-12) << row.age;
        EXPECT_EQ(p.color, MergeColour(0, 200, row.age / 10.0)) << row.age;
    }
    // Three colours: the first half runs from the first to the second, then on to the third.
    const int32_t three = NewType();
    Real("part_type_life", {double(three), 10, 10});
    Real("part_type_color3", {double(three), 0, 100, 255});
    Real("part_particles_clear", {double(ps)});
    Real("part_particles_create", {double(ps), 0, 0, double(three), 1});
    const int32_t want3[] = {MergeColour(0, 100, 0.2),   MergeColour(0, 100, 0.4),
                             MergeColour(0, 100, 0.6),   MergeColour(0, 100, 0.8),
                             MergeColour(100, 255, 0.0), MergeColour(100, 255, 0.2)};
    for (const int32_t want : want3) {
        Real("part_system_update", {double(ps)});
        EXPECT_EQ(Particle(ps, 0).color, want);
    }
    // One colour and a mix: set at creation and kept.
    const int32_t mix = NewType();
    Real("part_type_color_mix", {double(mix), 0, 255});
    Real("part_particles_clear", {double(ps)});
    const auto r = NextReals(3);
    Real("part_particles_create", {double(ps), 0, 0, double(mix), 1});
    EXPECT_EQ(Particle(ps, 0).color, MergeColour(0, 255, r[0]));
    Real("part_system_update", {double(ps)});
    EXPECT_EQ(Particle(ps, 0).color, MergeColour(0, 255, r[0]));
    // HSV ranges go through make_color_hsv.
    const int32_t hsv = NewType();
    Real("part_type_color_hsv", {double(hsv), 85, 85, 255, 255, 255, 255});
    Real("part_particles_create", {double(ps), 0, 0, double(hsv), 1});
    EXPECT_EQ(Particle(ps, 1).color, MakeColourHsv(85, 255, 255));
    // alpha2 puts the middle at the mean.
    Real("part_type_alpha2", {double(hsv), 1, 0});
    EXPECT_EQ(ParticleType_Get(hsv)->alphamiddle, 0.5);
    Real("part_type_alpha1", {double(hsv), 0.25});
    EXPECT_EQ(ParticleType_Get(hsv)->alphaend, 0.25);
}

TEST_F(ParticleTest, StepAndDeathSpawning) {
    const int32_t spark = NewType(), trail = NewType(), ps = NewSystem();
    Real("part_type_life", {double(trail), 100, 100});
    Real("part_type_life", {double(spark), 3, 3});
    Real("part_type_step", {double(spark), 2, double(trail)});
    Real("part_type_death", {double(spark), 5, double(trail)});
    Real("part_particles_create", {double(ps), 10, 20, double(spark), 1});
    Real("part_system_update", {double(ps)});
    // The spark, then its two trail particles at where it stood before moving.
    ASSERT_EQ(Count(ps), 3u);
    EXPECT_EQ(Particle(ps, 1).parttype, trail);
    EXPECT_EQ(Particle(ps, 1).x, 10);
    Real("part_system_update", {double(ps)});
    EXPECT_EQ(Count(ps), 5u);
    // At age 3 it dies: five death particles and no step particles; order is kept.
    Real("part_system_update", {double(ps)});
    ASSERT_EQ(Count(ps), 9u);
    for (size_t k = 0; k < 9; ++k) EXPECT_EQ(Particle(ps, k).parttype, trail);
    EXPECT_EQ(Particle(ps, 0).age, 2);
    EXPECT_EQ(Particle(ps, 8).age, 0);

    // A life of 0 dies in the first update, spawning its death particles.
    const int32_t flash = NewType();
    Real("part_type_life", {double(flash), 0, 0});
    Real("part_type_death", {double(flash), 1, double(trail)});
    Real("part_particles_clear", {double(ps)});
    Real("part_particles_create", {double(ps), 7, 8, double(flash), 4});
    Real("part_system_update", {double(ps)});
    ASSERT_EQ(Count(ps), 4u);
    EXPECT_EQ(Particle(ps, 0).parttype, trail);
    EXPECT_EQ(Particle(ps, 0).x, 7);

    // A negative number is a chance of 1 in -n per step.
    const int32_t rare = NewType();
    Real("part_type_life", {double(rare), 100000, 100000});
    Real("part_type_step", {double(rare), -4, double(flash)});
    Real("part_particles_clear", {double(ps)});
    Real("part_particles_create", {double(ps), 0, 0, double(rare), 1});
    int32_t spawned = 0;
    for (int i = 0; i < 4000; ++i) {
        Real("part_system_update", {double(ps)});
        // Spawned flashes die (spawning trails) in the next update; count them as they come.
        for (const RParticle& p : ParticleSystem_Get(ps)->particles) spawned += p.parttype == flash;
    }
    EXPECT_NEAR(spawned, 1000, 120);
}

TEST_F(ParticleTest, ClearingATypeRestoresItsDefaultsButKeepsTheBlend) {
    const int32_t t = NewType();
    Real("part_type_blend", {double(t), 1});
    Real("part_type_life", {double(t), 3, 4});
    Real("part_type_gravity", {double(t), 1, 0});
    Real("part_type_color_rgb", {double(t), 1, 2, 3, 4, 5, 6});
    Real("part_type_shape", {double(t), 5});
    Real("part_type_clear", {double(t)});
    const RParticleType& c = *ParticleType_Get(t);
    EXPECT_TRUE(c.additiveblend);
    EXPECT_EQ(c.lifemin, 100);
    EXPECT_EQ(c.gravdir, 270);
    EXPECT_EQ(c.colmode, 0);
    EXPECT_EQ(c.colpar[5], 16777215);
    EXPECT_EQ(c.shape, 0);
    EXPECT_EQ(c.sprite, -1);
    EXPECT_TRUE(c.spriteanim);
    // part_type_shape also drops a sprite.
    Real("part_type_sprite", {double(t), 3, 0, 0, 0});
    Real("part_type_shape", {double(t), 2});
    EXPECT_EQ(c.sprite, -1);
}

TEST_F(ParticleTest, IdsReuseTheLowestFreeSlot) {
    EXPECT_EQ(NewType(), 0);
    EXPECT_EQ(NewType(), 1);
    EXPECT_EQ(NewType(), 2);
    Real("part_type_destroy", {1});
    EXPECT_EQ(Real("part_type_exists", {1}), 0);
    EXPECT_EQ(NewType(), 1);
    EXPECT_EQ(NewType(), 3);

    EXPECT_EQ(NewSystem(), 0);
    EXPECT_EQ(NewSystem(), 1);
    Real("part_particles_create", {0, 0, 0, 0, 5});
    Real("part_system_destroy", {0});
    EXPECT_EQ(Real("part_system_exists", {0}), 0);
    EXPECT_EQ(NewSystem(), 0);
    EXPECT_EQ(Count(0), 0u); // a destroyed system was emptied

    for (const char* kind : {"emitter", "attractor", "destroyer", "deflector", "changer"}) {
        const std::string create = std::string("part_") + kind + "_create";
        const std::string destroy = std::string("part_") + kind + "_destroy";
        const std::string exists = std::string("part_") + kind + "_exists";
        const std::string all = std::string("part_") + kind + "_destroy_all";
        EXPECT_EQ(Real(create.c_str(), {1}), 0) << kind;
        EXPECT_EQ(Real(create.c_str(), {1}), 1) << kind;
        EXPECT_EQ(Real(create.c_str(), {1}), 2) << kind;
        Real(destroy.c_str(), {1, 0});
        EXPECT_EQ(Real(exists.c_str(), {1, 0}), 0) << kind;
        EXPECT_EQ(Real(exists.c_str(), {1, 1}), 1) << kind;
        EXPECT_EQ(Real(create.c_str(), {1}), 0) << kind;
        // Invalid system: -1.
        EXPECT_EQ(Real(create.c_str(), {7}), -1) << kind;
        EXPECT_EQ(Real(create.c_str(), {-1}), -1) << kind;
        Real(all.c_str(), {1});
        EXPECT_EQ(Real(exists.c_str(), {1, 1}), 0) << kind;
        EXPECT_EQ(Real(create.c_str(), {1}), 0) << kind;
    }
    // part_system_clear drops the attached objects and restores the settings.
    Real("part_system_depth", {1, 50});
    Real("part_system_draw_order", {1, 0});
    Real("part_system_automatic_draw", {1, 0});
    Real("part_system_clear", {1});
    const RParticleSystem& s = *ParticleSystem_Get(1);
    EXPECT_TRUE(s.created);
    EXPECT_EQ(s.depth, 0);
    EXPECT_TRUE(s.oldtonew);
    EXPECT_TRUE(s.automaticdraw);
    EXPECT_TRUE(s.emitters.empty());
    EXPECT_EQ(Real("part_changer_exists", {1, 0}), 0);
}

// Every particle built-in called with ids that name nothing: no change, no particle, no error,
// 0 from the queries and -1 from the creators of attached objects.
TEST_F(ParticleTest, InvalidIdsDoNothing) {
    const int32_t t = NewType(), ps = NewSystem();
    Real("part_type_destroy", {double(t)});
    Real("part_system_destroy", {double(ps)});
    size_t checked = 0;
    for (int32_t i = 0; i < FunctionCount(); ++i) {
        const std::string name = FunctionAt(i)->f_name;
        if (name.rfind("part_", 0) != 0 || name == "part_type_create" || name == "part_system_create")
            continue;
        ++checked;
        for (const double id : {-1.0, 0.0, 5.0, 1e12}) {
            RValue slots[16];
            for (auto& s : slots) s = RValue(id);
            RValue result;
            FunctionRoutine(i)(nullptr, nullptr, FunctionArgCount(i), slots, result);
            const bool creator =
                name.find("_create") != std::string::npos && name.rfind("part_particles", 0) != 0;
            EXPECT_EQ(result.val(), creator ? -1 : 0) << name << " " << id;
        }
    }
    EXPECT_EQ(checked, 77u);
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(Real("part_type_exists", {double(t)}), 0);
    EXPECT_EQ(Real("part_system_exists", {double(ps)}), 0);
    EXPECT_EQ(ParticleSystem_Count(), 1);
    // Particles of a type that does not exist are not made.
    const int32_t live = NewSystem();
    Real("part_particles_create", {double(live), 0, 0, double(t), 10});
    Real("part_particles_create", {double(live), 0, 0, 99, 10});
    EXPECT_EQ(Count(live), 0u);
}

TEST_F(ParticleTest, ParticleCountsAreBounded) {
    const int32_t t = NewType(), ps = NewSystem();
    Real("part_particles_create", {double(ps), 0, 0, double(t), 1e12});
    EXPECT_EQ(Count(ps), size_t(kMaxSystemParticles));
    Real("part_particles_clear", {double(ps)});
    EXPECT_EQ(Count(ps), 0u);
}

} // namespace
} // namespace kestrin
