#pragma once
// The particle engine: particle types, particle systems with their live particles, and the
// emitters, attractors, destroyers, deflectors and changers attached to a system. Every random
// draw goes through the runner's one generator in a fixed order, so a seeded run replays.
// Systems update once per step (the main loop's particle phase) and draw inside the room's
// depth merge, unless a game switches either off and calls update and drawing itself.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace kestrin {

// ORDER shapes: pt_shape_pixel .. pt_shape_snow.
inline constexpr int32_t kParticleShapeCount = 14;
// Live particles one system holds at most; creations beyond it are dropped, so a script
// asking for a billion particles cannot exhaust memory.
inline constexpr int32_t kMaxSystemParticles = 1 << 20;

inline constexpr int32_t kColourWhite = 16777215;

struct RParticleType {
    bool created = false;
    int32_t sprite = -1;
    bool spriteanim = true, spritestretch = false, spriterandom = false;
    int32_t shape = 0;
    double sizemin = 1, sizemax = 1, sizeincr = 0, sizerand = 0;
    double xscale = 1, yscale = 1;
    int32_t lifemin = 100, lifemax = 100;
    int32_t deathtype = 0, deathnumber = 0, steptype = 0, stepnumber = 0;
    double spmin = 0, spmax = 0, spincr = 0, sprand = 0;
    double dirmin = 0, dirmax = 0, dirincr = 0, dirrand = 0;
    double grav = 0, gravdir = 270;
    double angmin = 0, angmax = 0, angincr = 0, angrand = 0;
    bool angdir = false;
    int32_t colmode = 0;
    std::array<double, 6> colpar{kColourWhite, kColourWhite, kColourWhite,
                                 kColourWhite, kColourWhite, kColourWhite};
    double alphastart = 1, alphamiddle = 1, alphaend = 1;
    bool additiveblend = false;

    // Every field back to its cleared value except `created` and `additiveblend`.
    void Clear();
};

struct RParticle {
    bool alive = false;
    int32_t parttype = 0;
    int32_t age = 0, lifetime = 0;
    double x = 0, y = 0, xold = 0, yold = 0;
    double speed = 0, dir = 0, ang = 0;
    int32_t color = 0;
    double alpha = 0, size = 0;
    int32_t spritestart = 0, ran = 0;
};

struct REmitter {
    bool created = false;
    int32_t number = 0;
    double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
    int32_t posdistr = 0, shape = 0, parttype = 0;
};
struct RAttractor {
    bool created = false;
    double x = 0, y = 0, force = 0, dist = 0;
    int32_t kind = 0;
    bool additive = true;
};
struct RDestroyer {
    bool created = false;
    double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
    int32_t shape = 0;
};
struct RDeflector {
    bool created = false;
    double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
    int32_t kind = 0;
    double friction = 0;
};
struct RChanger {
    bool created = false;
    double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
    int32_t shape = 0, part1 = -1, part2 = -1, kind = 0;
};

struct RParticleSystem {
    bool created = false;
    std::vector<RParticle> particles; // live ones, packed in creation order
    std::vector<REmitter> emitters;
    std::vector<RAttractor> attractors;
    std::vector<RDestroyer> destroyers;
    std::vector<RDeflector> deflectors;
    std::vector<RChanger> changers;
    bool oldtonew = true;
    double depth = 0, xdraw = 0, ydraw = 0;
    bool automaticupdate = true, automaticdraw = true;

    // No particles, no attached objects, the default settings (created is kept).
    void Clear();
};

// Region shapes and distributions.
enum ParticleRegion : int32_t {
    kRegionRectangle = 0,
    kRegionEllipse = 1,
    kRegionDiamond = 2,
    kRegionLine = 3
};
enum ParticleDistribution : int32_t { kDistrLinear = 0, kDistrGaussian = 1, kDistrInvGaussian = 2 };

// R(min, max, distr): a draw from the range with the distribution; min when max <= min.
double Particle_Random(double min, double max, int32_t distr);
// The triangle wave between -1 and 1 of a phase in [0, 4).
double Particle_Wiggle(double t);

// The type table; ids are lowest free first.
int32_t ParticleType_Create();
bool ParticleType_Exists(int32_t ind);
RParticleType* ParticleType_Get(int32_t ind); // null unless it exists
void ParticleType_Destroy(int32_t ind);
int32_t ParticleType_Count(); // slots, used or not

// The system table. Creating the first system makes the shape sprites.
int32_t ParticleSystem_Create();
bool ParticleSystem_Exists(int32_t ind);
RParticleSystem* ParticleSystem_Get(int32_t ind); // null unless it exists
void ParticleSystem_Destroy(int32_t ind);
int32_t ParticleSystem_Count();

// Attached objects: lowest free id in the system's own list, -1 for an invalid system.
template <typename T> int32_t Particle_Attach(std::vector<T>& list) {
    for (size_t i = 0; i < list.size(); ++i)
        if (!list[i].created) {
            list[i] = T{};
            list[i].created = true;
            return static_cast<int32_t>(i);
        }
    list.emplace_back();
    list.back().created = true;
    return static_cast<int32_t>(list.size() - 1);
}
// The attached object with that id, null unless it is created.
template <typename T> T* Particle_Attached(std::vector<T>& list, int32_t ind) {
    if (ind < 0 || static_cast<size_t>(ind) >= list.size() || !list[size_t(ind)].created) return nullptr;
    return &list[size_t(ind)];
}

// Creates number particles of type t at (x, y) (nothing for a missing type); a colour given
// overrides each one's colour.
void Particle_Create(RParticleSystem& ps, double x, double y, int32_t type, int64_t number,
                     std::optional<int32_t> colour = std::nullopt);
// Number particles of the emitter's region (number < 0: one with a chance of 1 in -number).
void Particle_Burst(RParticleSystem& ps, const REmitter& emitter, int32_t type, int32_t number);
// One step of a system: life, motion, deflectors, changers, destroyers, looks, streams.
void ParticleSystem_Update(RParticleSystem& ps);
// Draws the system's particles with its offset, in its order.
void ParticleSystem_Draw(const RParticleSystem& ps);

// The main loop's particle phase: every system that updates automatically, in system order.
void Particle_UpdateAutomatic();
// Room drawing's particle source: the largest depth of an automatically drawn system lying
// more than 0.01 below `below`, and drawing those within 0.01 at or under `depth`. Together
// they draw every system once per view even when depths lie closer than 0.01.
double Particle_DepthBelow(double below);
void Particle_DrawAt(double depth);

// The shape sprites' frames (white with alpha from the shape's brightness) and their
// greyscale source images; shapes outside 0..13 give null.
class CSprite;
const CSprite* Particle_ShapeSprite(int32_t shape);
// Makes the fourteen shape sprites once, with textures when a device is attached.
void Particle_MakeShapes();
// The greyscale 64 × 64 image of a shape, pixels 0xFFvvvvvv; empty outside 0..13.
class TBitmap32;
TBitmap32 Particle_ShapeImage(int32_t shape);

// Back to no types, no systems, no shape sprites and no effects (module state).
void Particle_ClearAll();

} // namespace kestrin
