#include "graphics/particle_effect.h"

#include <array>

#include "base/numeric.h"
#include "graphics/particle.h"
#include "runner/game_world.h"
#include "runner/main_loop.h"
#include "runner/room.h"
#include "script/random.h"

namespace kestrin {

namespace {

enum Shape : int32_t {
    kLine = 3,
    kStar = 4,
    kRing = 6,
    kFlare = 8,
    kSpark = 9,
    kExplosion = 10,
    kSnow = 13,
};

// The systems and the types, per effect and size (explosion: main then core per size;
// rain and snow have one type each).
struct EffectState {
    int32_t below = -1, above = -1;
    bool types_made = false;
    std::array<int32_t, 6> explosion{};
    std::array<std::array<int32_t, 3>, 9> sized{}; // ring .. cloud
    int32_t rain = -1, snow = -1;
};

EffectState& State() {
    static EffectState s;
    return s;
}

int32_t Life(double steps, double k) {
    return RoundToInt32Saturated(steps / k);
}

// A type the effects own; made again should a game have destroyed it.
RParticleType& Fresh(int32_t& id) {
    if (!ParticleType_Exists(id)) id = ParticleType_Create();
    RParticleType& t = *ParticleType_Get(id);
    t.Clear();
    t.additiveblend = false;
    return t;
}

void MakeTypes() {
    EffectState& s = State();
    if (s.types_made) return;
    s.types_made = true;
    for (int32_t& id : s.explosion) id = ParticleType_Create();
    for (auto& sizes : s.sized)
        for (int32_t& id : sizes) id = ParticleType_Create();
    s.rain = ParticleType_Create();
    s.snow = ParticleType_Create();
}

RParticleSystem& System(bool above) {
    EffectState& s = State();
    int32_t& id = above ? s.above : s.below;
    if (!ParticleSystem_Exists(id)) {
        id = ParticleSystem_Create();
        ParticleSystem_Get(id)->depth = above ? -100000 : 100000;
    }
    return *ParticleSystem_Get(id);
}

void Orientation360(RParticleType& t) {
    t.angmin = 0;
    t.angmax = 360;
}
void Size(RParticleType& t, double min, double max, double incr) {
    t.sizemin = min;
    t.sizemax = max;
    t.sizeincr = incr;
}
void Speed(RParticleType& t, double min, double max, double incr) {
    t.spmin = min;
    t.spmax = max;
    t.spincr = incr;
}
void Lives(RParticleType& t, double min, double max, double k) {
    t.lifemin = Life(min, k);
    t.lifemax = Life(max, k);
}
void Alpha2(RParticleType& t, double start, double end) {
    t.alphastart = start;
    t.alphaend = end;
    t.alphamiddle = (start + end) / 2;
}

template <typename T> T BySize(int32_t size, T s, T m, T l) {
    return size == 0 ? s : size == 2 ? l : m;
}

int32_t SizeIndex(int32_t size) {
    return size == 0 ? 0 : size == 2 ? 2 : 1;
}

void Explosion(RParticleSystem& ps, double x, double y, int32_t size, int32_t colour, double k) {
    EffectState& s = State();
    const int32_t z = SizeIndex(size);
    RParticleType& main = Fresh(s.explosion[size_t(2 * z)]);
    main.shape = kExplosion;
    Orientation360(main);
    main.dirmin = 0;
    main.dirmax = 360;
    Alpha2(main, 0.6, 0);
    const double sz = BySize(size, 0.1, 0.3, 0.4), grow = BySize(size, 0.05, 0.1, 0.2);
    Size(main, sz, sz, grow * k);
    const double sp = BySize(size, 2.0, 4.0, 7.0), slow = BySize(size, 0.1, 0.18, 0.2);
    Speed(main, sp * k, sp * k, -slow * k);
    Lives(main, BySize(size, 10, 12, 15), BySize(size, 15, 17, 20), k);
    const int32_t mainId = s.explosion[size_t(2 * z)];

    RParticleType& core = Fresh(s.explosion[size_t(2 * z + 1)]);
    core.shape = kExplosion;
    Orientation360(core);
    Alpha2(core, 0.8, 0);
    const double csz = BySize(size, 0.1, 0.3, 0.4), cgrow = BySize(size, 0.1, 0.2, 0.4);
    Size(core, csz, csz, cgrow * k);
    const double clife = BySize(size, 15, 17, 20);
    Lives(core, clife, clife, k);

    Particle_Create(ps, x, y, mainId, 20, colour);
    Particle_Create(ps, x, y, s.explosion[size_t(2 * z + 1)], 1, 0);
}

void Ring(RParticleSystem& ps, int32_t kind, double x, double y, int32_t size, int32_t colour, double k) {
    int32_t& id = State().sized[size_t(kind - 1)][size_t(SizeIndex(size))];
    RParticleType& t = Fresh(id);
    t.shape = kRing;
    Alpha2(t, 1, 0);
    const double grow = kind == 1 ? BySize(size, 0.15, 0.25, 0.4) : BySize(size, 0.2, 0.35, 0.6);
    Size(t, 0, 0, grow * k);
    if (kind == 2) t.yscale = 0.5;
    Lives(t, BySize(size, 10, 13, 18), BySize(size, 12, 15, 20), k);
    Particle_Create(ps, x, y, id, 1, colour);
}

void Firework(RParticleSystem& ps, double x, double y, int32_t size, int32_t colour, double k) {
    int32_t& id = State().sized[2][size_t(SizeIndex(size))];
    RParticleType& t = Fresh(id);
    t.shape = kFlare;
    Size(t, 0.1, 0.2, 0);
    Speed(t, 0.5 * k, BySize(size, 3.0, 6.0, 8.0) * k, 0);
    t.dirmin = 0;
    t.dirmax = 360;
    Alpha2(t, 1, 0.4);
    t.grav = BySize(size, 0.1, 0.15, 0.17) * k;
    t.gravdir = 270;
    Lives(t, BySize(size, 15, 20, 30), BySize(size, 25, 30, 40), k);
    Particle_Create(ps, x, y, id, BySize(size, 75, 150, 250), colour);
}

void Smoke(RParticleSystem& ps, bool up, double x, double y, int32_t size, int32_t colour, double k) {
    int32_t& id = State().sized[up ? 4 : 3][size_t(SizeIndex(size))];
    RParticleType& t = Fresh(id);
    t.shape = kExplosion;
    Size(t, BySize(size, 0.2, 0.4, 0.4), BySize(size, 0.4, 0.7, 1.0), -0.01 * k);
    Alpha2(t, 0.4, 0);
    const double life = BySize(size, 25, 30, 50);
    Lives(t, life, life, k);
    if (up) {
        t.dirmin = t.dirmax = 90;
        Speed(t, BySize(size, 3.0, 5.0, 6.0) * k, BySize(size, 4.0, 6.0, 7.0) * k, 0);
    }
    const int32_t count = BySize(size, 6, 11, 16), reach = BySize(size, 5, 15, 30);
    for (int32_t i = 0; i < count; ++i) {
        const double dx = double(RandomBelow(uint32_t(2 * reach))) - reach;
        const double dy = double(RandomBelow(uint32_t(2 * reach))) - reach;
        Particle_Create(ps, x + dx, y + dy, id, 1, colour);
    }
}

void Star(RParticleSystem& ps, int32_t kind, double x, double y, int32_t size, int32_t colour, double k) {
    int32_t& id = State().sized[size_t(kind - 1)][size_t(SizeIndex(size))];
    RParticleType& t = Fresh(id);
    t.shape = kind == 6 ? kStar : kind == 7 ? kSpark : kFlare;
    const double sz = BySize(size, 0.4, 0.75, 1.2);
    Size(t, sz, sz, -BySize(size, 0.02, 0.03, 0.04) * k);
    Orientation360(t);
    const double life = BySize(size, 20, 25, 30);
    Lives(t, life, life, k);
    Particle_Create(ps, x, y, id, 1, colour);
}

void Cloud(RParticleSystem& ps, double x, double y, int32_t size, int32_t colour, double k) {
    int32_t& id = State().sized[8][size_t(SizeIndex(size))];
    RParticleType& t = Fresh(id);
    t.shape = kExplosion;
    const double sz = BySize(size, 2.0, 4.0, 8.0);
    Size(t, sz, sz, 0);
    t.yscale = 0.5;
    t.alphastart = 0;
    t.alphamiddle = 0.3;
    t.alphaend = 0;
    Lives(t, 100, 100, k);
    Particle_Create(ps, x, y, id, 1, colour);
}

void Weather(RParticleSystem& ps, bool snow, int32_t size, int32_t colour, double k) {
    const CRoom* room = World().Current();
    const double width = room ? room->r_width : 0, height = room ? room->r_height : 0;
    int32_t& id = snow ? State().snow : State().rain;
    RParticleType& t = Fresh(id);
    if (snow) {
        t.shape = kSnow;
        Size(t, 0.1, 0.25, 0);
        t.alphastart = t.alphamiddle = t.alphaend = 0.6;
        Orientation360(t);
        Speed(t, 2.5 * k, 3 * k, 0);
        t.dirmin = 240;
        t.dirmax = 300;
        t.dirrand = 20;
        const int32_t life = Life(0.5 * height, k);
        t.lifemin = t.lifemax = life;
    } else {
        t.shape = kLine;
        Size(t, 0.2, 0.3, 0);
        t.angdir = true;
        Speed(t, 7 * k, 7 * k, 0);
        t.dirmin = t.dirmax = 260;
        t.alphastart = t.alphamiddle = t.alphaend = 0.4;
        const int32_t life = Life(0.2 * height, k);
        t.lifemin = t.lifemax = life;
    }
    const int32_t count = snow ? BySize(size, 1, 3, 7) : BySize(size, 2, 5, 9);
    for (int32_t i = 0; i < count; ++i) {
        const double x = 1.2 * width * RandomReal() - (snow ? 60 : 0);
        const double y = double(RandomBelow(20)) - 30;
        Particle_Create(ps, x, y, id, 1, colour);
    }
}

} // namespace

double Effect_SpeedFactor(int32_t roomSpeed, int32_t fps) {
    if (roomSpeed <= 30 || fps <= 30) return 1;
    if (double(roomSpeed) / fps < 1.2) return 30.0 / roomSpeed;
    return 30.0 / fps;
}

void Effect_Create(bool above, int32_t kind, double x, double y, int32_t size, int32_t colour) {
    if (kind < 0 || kind >= kEffectCount) return;
    RParticleSystem& ps = System(above);
    MakeTypes();
    const CRoom* room = World().Current();
    const MainLoop* loop = CurrentLoop();
    const double k = Effect_SpeedFactor(room ? room->r_speed : 0, loop ? loop->Fps() : 0);
    switch (kind) {
    case 0:
        return Explosion(ps, x, y, size, colour, k);
    case 1:
    case 2:
        return Ring(ps, kind, x, y, size, colour, k);
    case 3:
        return Firework(ps, x, y, size, colour, k);
    case 4:
    case 5:
        return Smoke(ps, kind == 5, x, y, size, colour, k);
    case 6:
    case 7:
    case 8:
        return Star(ps, kind, x, y, size, colour, k);
    case 9:
        return Cloud(ps, x, y, size, colour, k);
    default:
        return Weather(ps, kind == 11, size, colour, k);
    }
}

void Effect_Clear() {
    for (const int32_t id : {State().below, State().above})
        if (RParticleSystem* ps = ParticleSystem_Get(id)) ps->particles.clear();
}

void Effect_Reset() {
    State() = EffectState{};
}

int32_t Effect_System(bool above) {
    return above ? State().above : State().below;
}

} // namespace kestrin
