#pragma once
// Particle tests: fresh particle tables and a fixed seed per test, built-ins called by name
// through the graphics fixture's recording device, and the draws of one random sequence
// taken ahead so a test can say what each rule makes of them.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "graphics/particle.h"
#include "graphics/room_draw.h"
#include "graphics_fixture.h"
#include "script/random.h"

namespace kestrin::testing {

class ParticleTest : public GraphicsTest {
protected:
    static constexpr uint32_t kSeed = 12345;

    void SetUp() override {
        GraphicsTest::SetUp();
        Particle_ClearAll();
        SetRandomSeed(kSeed);
    }
    void TearDown() override {
        Particle_ClearAll();
        GraphicsTest::TearDown();
    }

    // The next n reals the generator will give, leaving it where it was.
    static std::vector<double> NextReals(size_t n) {
        const uint32_t seed = RandomSeed();
        std::vector<double> out;
        for (size_t i = 0; i < n; ++i) out.push_back(RandomReal());
        SetRandomSeed(seed);
        return out;
    }

    int32_t NewType() { return int32_t(Real("part_type_create")); }
    int32_t NewSystem() { return int32_t(Real("part_system_create")); }
    const RParticle& Particle(int32_t ps, size_t k) { return ParticleSystem_Get(ps)->particles.at(k); }
    size_t Count(int32_t ps) { return size_t(Real("part_particles_count", {double(ps)})); }
};

} // namespace kestrin::testing
