// What is attached to a particle system: emitter shapes, distributions, bursts and streams;
// attractor kinds and additive force; destroyer and deflector regions; changer kinds.

#include <gtest/gtest.h>

#include <cmath>

#include "particle_fixture.h"

namespace kestrin {
namespace {

using testing::ParticleTest;

class ParticleRegionTest : public ParticleTest {
protected:
    void SetUp() override {
        ParticleTest::SetUp();
        type = NewType();
        ps = NewSystem();
        Real("part_type_life", {double(type), 1000, 1000});
    }
    // A still particle of `type` at (x, y).
    void Put(double x, double y, int32_t t = -1) {
        Real("part_particles_create", {double(ps), x, y, double(t < 0 ? type : t), 1});
    }
    void Update() { Real("part_system_update", {double(ps)}); }
    std::vector<RParticle>& Particles() { return ParticleSystem_Get(ps)->particles; }

    int32_t type = -1, ps = -1;
};

TEST_F(ParticleRegionTest, EmitterRectangleAndLinePlaceFromTwoDraws) {
    const int32_t e = int32_t(Real("part_emitter_create", {double(ps)}));
    Real("part_emitter_region", {double(ps), double(e), 10, 30, 100, 200, 0, 0});
    auto r = NextReals(2);
    Real("part_emitter_burst", {double(ps), double(e), double(type), 1});
    ASSERT_EQ(Count(ps), 1u);
    EXPECT_DOUBLE_EQ(Particle(ps, 0).x, 10 + 20 * r[0]);
    EXPECT_DOUBLE_EQ(Particle(ps, 0).y, 100 + 100 * r[1]);
    // The line takes both coordinates from the first draw (the second is still drawn).
    Real("part_emitter_region", {double(ps), double(e), 10, 30, 100, 200, 3, 0});
    r = NextReals(2);
    Real("part_emitter_burst", {double(ps), double(e), double(type), 1});
    EXPECT_DOUBLE_EQ(Particle(ps, 1).x, 10 + 20 * r[0]);
    EXPECT_DOUBLE_EQ(Particle(ps, 1).y, 100 + 100 * r[0]);
    // A type that does not exist bursts nothing.
    Real("part_emitter_burst", {double(ps), double(e), 99, 5});
    EXPECT_EQ(Count(ps), 2u);
}

// Each shape and distribution over 3000 particles in the box (0, 100) × (0, 100).
TEST_F(ParticleRegionTest, EmitterShapesAndDistributions) {
    const int32_t e = int32_t(Real("part_emitter_create", {double(ps)}));
    const struct {
        int32_t shape, distr;
        bool corners;     // any particle outside the inscribed ellipse
        bool diamond;     // every particle inside the diamond
        double middleLow; // share of particles with both coordinates in (25, 75)
        double middleHigh;
    } rows[] = {
        {0, 0, true, false, 0.20, 0.30}, {1, 0, false, false, 0.25, 0.40}, {2, 0, false, true, 0.40, 0.60},
        {0, 1, true, false, 0.60, 0.85}, {0, 2, true, false, 0.02, 0.15},  {1, 2, false, false, 0.0, 0.3},
        {3, 2, true, false, 0.0, 0.2},
    };
    for (const auto& row : rows) {
        Real("part_particles_clear", {double(ps)});
        Real("part_emitter_region",
             {double(ps), double(e), 0, 100, 0, 100, double(row.shape), double(row.distr)});
        Real("part_emitter_burst", {double(ps), double(e), double(type), 3000});
        ASSERT_EQ(Count(ps), 3000u);
        bool outsideEllipse = false, outsideDiamond = false;
        int32_t middle = 0;
        for (const RParticle& p : Particles()) {
            const double a = p.x / 100 - 0.5, b = p.y / 100 - 0.5;
            ASSERT_TRUE(p.x >= 0 && p.x <= 100 && p.y >= 0 && p.y <= 100);
            outsideEllipse |= a * a + b * b > 0.25 + 1e-12;
            outsideDiamond |= std::abs(a) + std::abs(b) > 0.5 + 1e-12;
            middle += std::abs(a) < 0.25 && std::abs(b) < 0.25;
            if (row.shape == 3) {
                ASSERT_DOUBLE_EQ(p.x, p.y);
            }
        }
        const double share = middle / 3000.0;
        EXPECT_EQ(outsideEllipse, row.corners) << row.shape << "/" << row.distr;
        if (row.diamond) {
            EXPECT_FALSE(outsideDiamond);
        }
        EXPECT_GE(share, row.middleLow) << row.shape << "/" << row.distr;
        EXPECT_LE(share, row.middleHigh) << row.shape << "/" << row.distr;
    }
}

TEST_F(ParticleRegionTest, StreamsBurstEveryStepAndNegativeNumbersAreAChance) {
    const int32_t e = int32_t(Real("part_emitter_create", {double(ps)}));
    Real("part_emitter_region", {double(ps), double(e), 0, 10, 0, 10, 0, 0});
    Real("part_emitter_stream", {double(ps), double(e), double(type), 3});
    Update();
    Update();
    EXPECT_EQ(Count(ps), 6u);
    // Streams come last: the particles made this step are still of age 0.
    EXPECT_EQ(Particle(ps, 5).age, 0);
    EXPECT_EQ(Particle(ps, 0).age, 1);
    Real("part_particles_clear", {double(ps)});
    Real("part_type_life", {double(type), 100000, 100000});
    Real("part_emitter_stream", {double(ps), double(e), double(type), -4});
    for (int i = 0; i < 4000; ++i) Update();
    EXPECT_NEAR(double(Count(ps)), 1000, 120);
    // part_emitter_clear stops the stream (number back to 0).
    Real("part_emitter_clear", {double(ps), double(e)});
    const size_t before = Count(ps);
    Update();
    EXPECT_EQ(Count(ps), before);
    EXPECT_EQ(Real("part_emitter_exists", {double(ps), double(e)}), 1);
}

TEST_F(ParticleRegionTest, AttractorKindsAndAdditiveForce) {
    const int32_t a = int32_t(Real("part_attractor_create", {double(ps)}));
    Real("part_attractor_position", {double(ps), double(a), 30, 40});
    const struct {
        double force, dist, kind, additive;
        double dx, dy; // the first step's move
        double speed;  // the stored speed after it
        double dx2;    // the second step's move (no force left when the first ends on top)
    } rows[] = {
        {2, 100, 0, 1, 1.2, 1.6, 2, 1.2},   // constant
        {2, 100, 1, 1, 0.6, 0.8, 1, 0.6},   // linear: half way out, half the force
        {2, 100, 2, 1, 0.3, 0.4, 0.5, 0.3}, // quadratic: a quarter
        {2, 100, 0, 0, 1.2, 1.6, 0, 1.2},   // not additive: a move, no speed
        {2, 40, 0, 1, 0, 0, 0, 0},          // out of reach
        {0, 100, 0, 1, 0, 0, 0, 0},         // no force
    };
    for (const auto& row : rows) {
        Real("part_attractor_force", {double(ps), double(a), row.force, row.dist, row.kind, row.additive});
        Real("part_particles_clear", {double(ps)});
        Put(0, 0);
        Update();
        const RParticle& p = Particle(ps, 0);
        EXPECT_NEAR(p.x, row.dx, 1e-12) << row.kind << row.additive;
        EXPECT_NEAR(p.y, row.dy, 1e-12) << row.kind << row.additive;
        EXPECT_NEAR(p.speed, row.speed, 1e-12) << row.kind << row.additive;
        if (row.kind == 0 && row.force != 0 && row.dist > 50) {
            // The second step: additive speed carries on and the force pulls again.
            Update();
            EXPECT_GT(Particle(ps, 0).x, row.dx);
        }
    }
    // Straight above: the vertical case of the vector conversion.
    Real("part_attractor_force", {double(ps), double(a), 1, 100, 0, 1});
    Real("part_attractor_position", {double(ps), double(a), 0, -10});
    Real("part_particles_clear", {double(ps)});
    Put(0, 0);
    Update();
    EXPECT_EQ(Particle(ps, 0).dir, 90);
    EXPECT_EQ(Particle(ps, 0).speed, 1);
    // An attractor exactly at the particle exerts nothing.
    Real("part_attractor_position", {double(ps), double(a), 5, 5});
    Real("part_particles_clear", {double(ps)});
    Put(5, 5);
    Update();
    EXPECT_EQ(Particle(ps, 0).x, 5);
    EXPECT_EQ(Particle(ps, 0).speed, 0);
    // Two attractors add up.
    const int32_t b = int32_t(Real("part_attractor_create", {double(ps)}));
    Real("part_attractor_position", {double(ps), double(a), 10, 0});
    Real("part_attractor_position", {double(ps), double(b), -10, 0});
    Real("part_attractor_force", {double(ps), double(b), 1, 100, 0, 1});
    Real("part_particles_clear", {double(ps)});
    Put(0, 0);
    Update();
    EXPECT_NEAR(Particle(ps, 0).x, 0, 1e-12);
    EXPECT_NEAR(Particle(ps, 0).speed, 0, 1e-12);
}

TEST_F(ParticleRegionTest, DestroyerRegions) {
    const int32_t d = int32_t(Real("part_destroyer_create", {double(ps)}));
    const struct {
        double shape, x, y;
        bool dies;
    } rows[] = {
        {1, 50, 50, true}, {1, 5, 5, false},    {1, 100, 50, true},  // ellipse: centre, corner, rim
        {0, 5, 5, true},   {0, 100, 100, true}, {0, 101, 50, false}, // rectangle, edges inclusive
        {2, 50, 10, true}, {2, 20, 20, false},  {3, 1, 1, true},     // diamond; line is the box
    };
    for (const auto& row : rows) {
        Real("part_destroyer_region", {double(ps), double(d), 0, 100, 0, 100, row.shape});
        Real("part_particles_clear", {double(ps)});
        Put(row.x, row.y);
        Put(500, 500);
        Update();
        EXPECT_EQ(Count(ps), row.dies ? 1u : 2u) << row.shape << " " << row.x << "," << row.y;
        EXPECT_EQ(Particle(ps, Count(ps) - 1).x, 500);
    }
    // An empty box does nothing.
    Real("part_destroyer_region", {double(ps), double(d), 50, 50, 0, 100, 0});
    Real("part_particles_clear", {double(ps)});
    Put(50, 50);
    Update();
    EXPECT_EQ(Count(ps), 1u);
}

TEST_F(ParticleRegionTest, DeflectorsMirrorTheStepAndApplyFriction) {
    const int32_t moving = NewType();
    Real("part_type_life", {double(moving), 1000, 1000});
    Real("part_type_speed", {double(moving), 4, 4, 0, 0});
    const int32_t d = int32_t(Real("part_deflector_create", {double(ps)}));
    Real("part_deflector_friction", {double(ps), double(d), 1});
    const struct {
        double kind, xmin, xmax, ymin, ymax, dir, x, y;
        double wantDir, wantX, wantY, wantSpeed;
    } rows[] = {
        // Vertical: a particle falling into a floor goes back up.
        {0, 0, 100, 50, 60, 270, 50, 48, 90, 50, 44, 3},
        // Horizontal: a particle running into a wall turns back.
        {1, 50, 60, 0, 100, 0, 48, 50, 180, 44, 50, 3},
        {1, 50, 60, 0, 100, 270, 55, 10, 270, 55, 14, 3}, // 180 - 270 + 360
        // Outside the box: untouched.
        {0, 0, 100, 50, 60, 90, 50, 48, 90, 50, 44, 4},
        // An empty box (xmin = xmax) does nothing.
        {0, 50, 50, 0, 100, 270, 50, 48, 270, 50, 52, 4},
    };
    for (const auto& row : rows) {
        Real("part_deflector_kind", {double(ps), double(d), row.kind});
        Real("part_deflector_region", {double(ps), double(d), row.xmin, row.xmax, row.ymin, row.ymax});
        Real("part_type_direction", {double(moving), row.dir, row.dir, 0, 0});
        Real("part_particles_clear", {double(ps)});
        Put(row.x, row.y, moving);
        Update();
        const RParticle& p = Particle(ps, 0);
        EXPECT_NEAR(p.dir, row.wantDir, 1e-9) << row.kind << " " << row.dir;
        EXPECT_NEAR(p.x, row.wantX, 1e-9) << row.kind << " " << row.dir;
        EXPECT_NEAR(p.y, row.wantY, 1e-9) << row.kind << " " << row.dir;
        EXPECT_NEAR(p.speed, row.wantSpeed, 1e-12) << row.kind << " " << row.dir;
    }
    // Friction never makes the speed negative.
    Real("part_deflector_friction", {double(ps), double(d), 10});
    Real("part_deflector_region", {double(ps), double(d), 0, 100, 0, 100});
    Real("part_particles_clear", {double(ps)});
    Put(50, 50, moving);
    Update();
    EXPECT_EQ(Particle(ps, 0).speed, 0);
}

TEST_F(ParticleRegionTest, ChangerKinds) {
    const int32_t from = NewType(), into = NewType();
    Real("part_type_life", {double(from), 1000, 1000});
    Real("part_type_life", {double(into), 50, 50});
    Real("part_type_color1", {double(into), 255});
    Real("part_type_alpha1", {double(into), 0.5});
    Real("part_type_size", {double(into), 3, 3, 0, 0});
    Real("part_type_orientation", {double(into), 45, 45, 0, 0, 0});
    Real("part_type_speed", {double(into), 2, 2, 0, 0});
    Real("part_type_direction", {double(into), 90, 90, 0, 0});
    const int32_t c = int32_t(Real("part_changer_create", {double(ps)}));
    Real("part_changer_types", {double(ps), double(c), double(from), double(into)});
    Real("part_changer_region", {double(ps), double(c), 0, 100, 0, 100, 1});
    for (const double kind : {0.0, 1.0, 2.0}) {
        Real("part_changer_kind", {double(ps), double(c), kind});
        Real("part_particles_clear", {double(ps)});
        Put(50, 50, from);
        Put(2, 2, from);   // a corner outside the ellipse
        Put(50, 50, type); // another type
        Update();
        Update();
        const RParticle& p = Particle(ps, 0);
        EXPECT_EQ(p.parttype, into) << kind;
        EXPECT_EQ(Particle(ps, 1).parttype, from) << kind;
        EXPECT_EQ(Particle(ps, 2).parttype, type) << kind;
        // Looks: from the new type for kinds 0 and 1 (the change happened in the first update).
        const bool looks = kind != 2, motion = kind != 1;
        EXPECT_EQ(p.size == 3, looks) << kind;
        EXPECT_EQ(p.color == 255, looks) << kind;
        EXPECT_EQ(p.ang == 45, looks) << kind;
        EXPECT_EQ(p.speed == 2, motion) << kind;
        // Kind 0 takes the whole record, so its age restarted; the others keep theirs. The
        // particle changed in the first update and aged once after.
        EXPECT_EQ(p.age, kind == 0 ? 1 : 2) << kind;
        EXPECT_EQ(p.lifetime, kind == 0 ? 50 : 1000) << kind;
        // Kind 1 changes only the looks: the still particle stays where it was.
        if (kind == 1) {
            EXPECT_EQ(p.x, 50);
            EXPECT_EQ(p.y, 50);
        }
    }
}

} // namespace
} // namespace kestrin
