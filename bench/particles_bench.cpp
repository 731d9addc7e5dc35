// Updating 100,000 live particles with gravity, an attractor and a deflector, against a plain
// loop over a flat array doing the same arithmetic per particle (the physical limit), measured
// in this run (best of five), and the peak resident memory of the process.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "game/compose.h"
#include "graphics/particle.h"
#include "script/random.h"

using namespace kestrin;

namespace {

constexpr int kRepeats = 5;
constexpr int kSteps = 40;
constexpr int32_t kParticles = 100000;
constexpr double kDeg = std::numbers::pi / 180;

double Seconds(const std::chrono::steady_clock::time_point& from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// The scene's settings, shared by both loops.
constexpr double kGrav = 0.1, kGravDir = 270;
constexpr double kAx = 400, kAy = 300, kForce = 0.5, kDist = 300;
constexpr double kDxmin = 0, kDxmax = 800, kDymin = 560, kDymax = 600, kFriction = 0.1;
constexpr double kSizeIncr = -0.001;

// The plain loop's record: only what the arithmetic needs.
struct Flat {
    double x, y, xold, yold, speed, dir, size, alpha;
    int32_t age, lifetime;
};

void PlainStep(std::vector<Flat>& ps) {
    for (Flat& p : ps) {
        ++p.age;
        if (p.age >= p.lifetime) p.lifetime = 0; // never reached: lives outlast the run
    }
    for (Flat& p : ps) {
        p.xold = p.x;
        p.yold = p.y;
        double vx = std::cos(p.dir * kDeg) * p.speed, vy = -std::sin(p.dir * kDeg) * p.speed;
        vx += std::cos(kGravDir * kDeg) * kGrav;
        vy += -std::sin(kGravDir * kDeg) * kGrav;
        const double dx = kAx - p.x, dy = kAy - p.y, d = std::sqrt(dx * dx + dy * dy);
        if (d > 0 && d <= kDist) {
            double f = kForce / d;
            f *= (kDist - d) / kDist;
            vx += dx * f;
            vy += dy * f;
        }
        p.speed = std::sqrt(vx * vx + vy * vy);
        p.dir = -std::atan2(vy, vx) / kDeg;
        if (p.dir < 0) p.dir += 360;
        p.x += std::cos(p.dir * kDeg) * p.speed;
        p.y += -std::sin(p.dir * kDeg) * p.speed;
    }
    for (Flat& p : ps)
        if (p.x >= kDxmin && p.x <= kDxmax && p.y >= kDymin && p.y <= kDymax) {
            p.dir = 360 - p.dir;
            p.y = p.yold - (p.y - p.yold);
            p.speed = std::max(p.speed - kFriction, 0.0);
        }
    for (Flat& p : ps) {
        p.size = std::max(p.size + kSizeIncr, 0.0);
        const double e = 2.0 * p.age / p.lifetime;
        p.alpha = e >= 1 ? (2 - e) * 0.5 + (e - 1) * 0.0 : (1 - e) * 1.0 + e * 0.5;
    }
}

RParticleSystem& MakeSystem() {
    Particle_ClearAll();
    const int32_t t = ParticleType_Create();
    RParticleType& type = *ParticleType_Get(t);
    type.lifemin = type.lifemax = 1000000;
    type.spmin = 0;
    type.spmax = 3;
    type.dirmax = 360;
    type.grav = kGrav;
    type.gravdir = kGravDir;
    type.sizeincr = kSizeIncr;
    type.alphastart = 1;
    type.alphamiddle = 0.5;
    type.alphaend = 0;
    RParticleSystem& ps = *ParticleSystem_Get(ParticleSystem_Create());
    RAttractor& a = ps.attractors[size_t(Particle_Attach(ps.attractors))];
    a.x = kAx;
    a.y = kAy;
    a.force = kForce;
    a.dist = kDist;
    a.kind = 1;
    a.additive = true;
    RDeflector& d = ps.deflectors[size_t(Particle_Attach(ps.deflectors))];
    d.xmin = kDxmin;
    d.xmax = kDxmax;
    d.ymin = kDymin;
    d.ymax = kDymax;
    d.friction = kFriction;
    const int32_t e = Particle_Attach(ps.emitters);
    ps.emitters[size_t(e)].xmax = 800;
    ps.emitters[size_t(e)].ymax = 600;
    const REmitter emitter = ps.emitters[size_t(e)];
    Particle_Burst(ps, emitter, t, kParticles);
    return ps;
}

} // namespace

int main() {
    ComposeGame();
    SetRandomSeed(1);
    double engine = 1e300, plain = 1e300;
    double sumEngine = 0, sumPlain = 0;
    for (int r = 0; r < kRepeats; ++r) {
        RParticleSystem& ps = MakeSystem();
        std::vector<Flat> flat;
        flat.reserve(ps.particles.size());
        for (const RParticle& p : ps.particles)
            flat.push_back({p.x, p.y, p.x, p.y, p.speed, p.dir, p.size, p.alpha, p.age, p.lifetime});
        auto t0 = std::chrono::steady_clock::now();
        for (int s = 0; s < kSteps; ++s) ParticleSystem_Update(ps);
        engine = std::min(engine, Seconds(t0));
        t0 = std::chrono::steady_clock::now();
        for (int s = 0; s < kSteps; ++s) PlainStep(flat);
        plain = std::min(plain, Seconds(t0));
        sumEngine = sumPlain = 0;
        for (const RParticle& p : ps.particles) sumEngine += p.x + p.y;
        for (const Flat& p : flat) sumPlain += p.x + p.y;
    }
    const double perEngine = engine * 1e9 / (double(kSteps) * kParticles);
    const double perPlain = plain * 1e9 / (double(kSteps) * kParticles);
    std::printf("particle update, %d particles with gravity, an attractor and a deflector, best of %d\n",
                kParticles, kRepeats);
    std::printf("  %-26s %12s %12s %8s\n", "", "engine", "flat loop", "ratio");
    std::printf("  %-26s %12.1f %12.1f %8.2f%s\n", "ns per particle and step", perEngine, perPlain,
                perEngine / perPlain,
                std::abs(sumEngine - sumPlain) <= 1e-6 * std::abs(sumPlain) ? "" : "  (positions differ)");
    std::printf("  target: at most 2x the flat loop\n");
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %ld KiB (%zu bytes per particle record)\n", usage.ru_maxrss,
                sizeof(RParticle));
    Particle_ClearAll();
    return 0;
}
