#include "graphics/particle.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>

#include "base/numeric.h"
#include "graphics/graphics_draw.h"
#include "graphics/graphics_texture.h"
#include "graphics/particle_effect.h"
#include "graphics/render_state.h"
#include "graphics/sprite.h"
#include "script/random.h"

namespace kestrin {

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;
constexpr double kNoDepth = -1e9;
constexpr double kDepthReach = 0.01;

struct Tables {
    std::vector<RParticleType> types;
    std::vector<RParticleSystem> systems;
    // The shape sprites and the texture generation their textures belong to.
    std::vector<std::unique_ptr<CSprite>> shapes;
    uint64_t shape_generation = 0;
};

// Never destroyed: the shape sprites would free textures after the texture table and the
// trace log are gone at exit.
Tables& State() {
    static auto* t = new Tables();
    return *t;
}

double Rnd() {
    return RandomReal();
}

// irandom(n): an integer in [0, n) for n >= 1.
int64_t IRandom(int64_t n) {
    if (n <= 0) return 0;
    return RandomBelow(static_cast<uint32_t>(std::min<int64_t>(n, std::numeric_limits<uint32_t>::max())));
}

// How many particles a spawn count makes: n >= 0 itself, n < 0 one with a chance of 1 in -n.
int64_t SpawnCount(int32_t n) {
    if (n >= 0) return n;
    return IRandom(-int64_t(n)) == 0 ? 1 : 0;
}

int32_t Colour(double c) {
    return RoundToInt32Saturated(c);
}

// The colour a particle starts with (and takes again whenever age or lifetime is <= 0).
int32_t StartColour(const RParticleType& t) {
    const auto& c = t.colpar;
    switch (t.colmode) {
    case 3: {
        const double r = RoundToInt32Saturated(Particle_Random(c[0], c[1], kDistrLinear));
        const double g = RoundToInt32Saturated(Particle_Random(c[2], c[3], kDistrLinear));
        const double b = RoundToInt32Saturated(Particle_Random(c[4], c[5], kDistrLinear));
        return LowBits32(MakeColourRgb(r, g, b));
    }
    case 4: {
        const double h = RoundToInt32Saturated(Particle_Random(c[0], c[1], kDistrLinear));
        const double s = RoundToInt32Saturated(Particle_Random(c[2], c[3], kDistrLinear));
        const double v = RoundToInt32Saturated(Particle_Random(c[4], c[5], kDistrLinear));
        return MakeColourHsv(h, s, v);
    }
    case 5:
        return MergeColour(Colour(c[0]), Colour(c[1]), Rnd());
    default:
        return Colour(c[0]);
    }
}

void UpdateColour(RParticle& p, const RParticleType& t) {
    if (p.age <= 0 || p.lifetime <= 0) {
        p.color = StartColour(t);
        return;
    }
    const double life = double(p.age) / double(p.lifetime);
    if (t.colmode == 1) {
        p.color = MergeColour(Colour(t.colpar[0]), Colour(t.colpar[1]), std::min(life, 1.0));
    } else if (t.colmode == 2) {
        const double e = std::min(2 * life, 2.0);
        p.color = e >= 1 ? MergeColour(Colour(t.colpar[1]), Colour(t.colpar[2]), e - 1)
                         : MergeColour(Colour(t.colpar[0]), Colour(t.colpar[1]), e);
    }
}

// A new particle of type t at (x, y), with the draws in their fixed order.
RParticle NewParticle(const RParticleType& t, int32_t type, double x, double y) {
    RParticle p;
    p.alive = true;
    p.parttype = type;
    p.age = 0;
    p.x = p.xold = x;
    p.y = p.yold = y;
    p.speed = Particle_Random(t.spmin, t.spmax, kDistrLinear);
    p.dir = Particle_Random(t.dirmin, t.dirmax, kDistrLinear);
    p.ang = Particle_Random(t.angmin, t.angmax, kDistrLinear);
    p.lifetime = RoundToInt32Saturated(Particle_Random(t.lifemin, t.lifemax, kDistrLinear));
    p.color = StartColour(t);
    p.alpha = t.alphastart;
    p.size = Particle_Random(t.sizemin, t.sizemax, kDistrLinear);
    p.spritestart = t.spriterandom ? int32_t(IRandom(10000)) : 0;
    p.ran = int32_t(IRandom(100000));
    return p;
}

// The type a particle refers to, also after the type was destroyed (its fields stay).
const RParticleType* TypeOf(int32_t type) {
    auto& types = State().types;
    if (type < 0 || static_cast<size_t>(type) >= types.size()) return nullptr;
    return &types[size_t(type)];
}

struct Vec {
    double x = 0, y = 0;
};
Vec FromPolar(double speed, double dir) {
    return {std::cos(dir * kDegToRad) * speed, -std::sin(dir * kDegToRad) * speed};
}
void ToPolar(Vec v, double& speed, double& dir) {
    speed = std::sqrt(v.x * v.x + v.y * v.y);
    if (v.x == 0) {
        dir = v.y > 0 ? 270 : v.y < 0 ? 90 : 0;
        return;
    }
    dir = -std::atan2(v.y, v.x) / kDegToRad;
    if (dir < 0) dir += 360;
    if (dir >= 360) dir -= 360;
}

void RemoveDead(std::vector<RParticle>& particles) {
    std::erase_if(particles, [](const RParticle& p) { return !p.alive; });
}

bool InBox(double x, double y, double xmin, double xmax, double ymin, double ymax) {
    return x >= xmin && x <= xmax && y >= ymin && y <= ymax;
}

// Inside a region's shape, the box test already passed.
bool InShape(double x, double y, double xmin, double xmax, double ymin, double ymax, int32_t shape) {
    if (shape != kRegionEllipse && shape != kRegionDiamond) return true;
    const double p = (x - (xmin + xmax) / 2) * 2 / (xmax - xmin);
    const double q = (y - (ymin + ymax) / 2) * 2 / (ymax - ymin);
    return shape == kRegionEllipse ? p * p + q * q <= 1 : std::abs(p) + std::abs(q) <= 1;
}

void Life(RParticleSystem& ps) {
    const size_t count = ps.particles.size();
    for (size_t i = 0; i < count; ++i) {
        RParticle& p = ps.particles[i];
        ++p.age;
        const RParticleType* t = TypeOf(p.parttype);
        // Spawning appends, so the particle is read by index, never held by reference.
        const double x = p.x, y = p.y;
        if (p.age >= p.lifetime) {
            p.alive = false;
            if (t) {
                const int32_t type = t->deathtype;
                const int64_t n = SpawnCount(t->deathnumber);
                Particle_Create(ps, x, y, type, n);
            }
        } else if (t) {
            const int32_t type = t->steptype;
            const int64_t n = SpawnCount(t->stepnumber);
            Particle_Create(ps, x, y, type, n);
        }
    }
    RemoveDead(ps.particles);
}

bool HasAttractors(const RParticleSystem& ps) {
    return std::any_of(ps.attractors.begin(), ps.attractors.end(),
                       [](const RAttractor& a) { return a.created; });
}

void Motion(RParticleSystem& ps) {
    const bool attractors = HasAttractors(ps);
    for (RParticle& p : ps.particles) {
        const RParticleType* t = TypeOf(p.parttype);
        if (!t) continue;
        p.xold = p.x;
        p.yold = p.y;
        p.speed = std::max(p.speed + t->spincr, 0.0);
        p.dir += t->dirincr;
        p.ang += t->angincr;
        Vec shift;
        if (t->grav != 0 || attractors) {
            Vec v = FromPolar(p.speed, p.dir);
            if (t->grav != 0) {
                const Vec g = FromPolar(t->grav, t->gravdir);
                v.x += g.x;
                v.y += g.y;
            }
            for (const RAttractor& a : ps.attractors) {
                if (!a.created || a.force == 0 || a.dist == 0) continue;
                const double dx = a.x - p.x, dy = a.y - p.y;
                const double distance = std::sqrt(dx * dx + dy * dy);
                if (!(distance > 0 && distance <= a.dist)) continue;
                double f = a.force / distance;
                if (a.kind == 1) f *= (a.dist - distance) / a.dist;
                if (a.kind == 2) f *= ((a.dist - distance) / a.dist) * ((a.dist - distance) / a.dist);
                Vec& into = a.additive ? v : shift;
                into.x += dx * f;
                into.y += dy * f;
            }
            ToPolar(v, p.speed, p.dir);
        }
        const int64_t age = p.age, ran = p.ran;
        const double wspeed = t->sprand * Particle_Wiggle(double((age + 4 * ran) % 20) / 5);
        const double wdir = t->dirrand * Particle_Wiggle(double((age + 3 * ran) % 24) / 6);
        const Vec v = FromPolar(p.speed + wspeed, p.dir + wdir);
        p.x += v.x + shift.x;
        p.y += v.y + shift.y;
    }
}

void Deflect(RParticleSystem& ps) {
    for (const RDeflector& d : ps.deflectors) {
        if (!d.created || !(d.xmin < d.xmax) || !(d.ymin < d.ymax)) continue;
        for (RParticle& p : ps.particles) {
            if (!InBox(p.x, p.y, d.xmin, d.xmax, d.ymin, d.ymax)) continue;
            if (d.kind == 1) {
                p.dir = 180 - p.dir;
                if (p.dir < 0) p.dir += 360;
                p.x = p.xold - (p.x - p.xold);
            } else if (d.kind == 0) {
                p.dir = 360 - p.dir;
                p.y = p.yold - (p.y - p.yold);
            }
            p.speed = std::max(p.speed - d.friction, 0.0);
        }
    }
}

void Change(RParticleSystem& ps) {
    for (const RChanger& c : ps.changers) {
        if (!c.created || !(c.xmin < c.xmax) || !(c.ymin < c.ymax)) continue;
        const RParticleType* into = ParticleType_Get(c.part2);
        if (!into) continue;
        for (RParticle& p : ps.particles) {
            if (p.parttype != c.part1 || !InBox(p.x, p.y, c.xmin, c.xmax, c.ymin, c.ymax) ||
                !InShape(p.x, p.y, c.xmin, c.xmax, c.ymin, c.ymax, c.shape))
                continue;
            const RParticle n = NewParticle(*into, c.part2, p.x, p.y);
            p.parttype = c.part2;
            if (c.kind == 0) {
                p = n;
            } else if (c.kind == 1) {
                p.color = n.color;
                p.alpha = n.alpha;
                p.size = n.size;
                p.spritestart = n.spritestart;
                p.ang = n.ang;
            } else if (c.kind == 2) {
                p.speed = n.speed;
                p.dir = n.dir;
            }
        }
    }
}

void Destroy(RParticleSystem& ps) {
    bool any = false;
    for (const RDestroyer& d : ps.destroyers) {
        if (!d.created || !(d.xmin < d.xmax) || !(d.ymin < d.ymax)) continue;
        for (RParticle& p : ps.particles)
            if (InBox(p.x, p.y, d.xmin, d.xmax, d.ymin, d.ymax) &&
                InShape(p.x, p.y, d.xmin, d.xmax, d.ymin, d.ymax, d.shape)) {
                p.alive = false;
                any = true;
            }
    }
    if (any) RemoveDead(ps.particles);
}

void Appearance(RParticleSystem& ps) {
    for (RParticle& p : ps.particles) {
        const RParticleType* t = TypeOf(p.parttype);
        if (!t) continue;
        p.size = std::max(p.size + t->sizeincr, 0.0);
        UpdateColour(p, *t);
        const double e = p.lifetime <= 0 ? 1.0 : 2.0 * p.age / p.lifetime;
        p.alpha = e >= 1 ? (2 - e) * t->alphamiddle + (e - 1) * t->alphaend
                         : (1 - e) * t->alphastart + e * t->alphamiddle;
    }
}

void Streams(RParticleSystem& ps) {
    // A burst never attaches emitters, so the list stays put while it runs.
    for (const REmitter& e : ps.emitters)
        if (e.created && e.number != 0) Particle_Burst(ps, e, e.parttype, e.number);
}

// The frame a particle shows, as an index before wrapping.
int64_t Frame(const RParticle& p, const RParticleType& t, int32_t frames) {
    if (!t.spriteanim) return p.spritestart;
    if (t.spritestretch)
        return p.spritestart + int64_t(std::floor(double(frames) * double(p.age) / double(p.lifetime)));
    return int64_t(p.spritestart) + p.age;
}

// Drops the shape sprites' texture ids when the texture table was started afresh since they
// were made: those ids name nothing of ours any more and must not be freed.
void ForgetStaleShapeTextures() {
    Tables& s = State();
    if (s.shape_generation == GR_Texture_Generation()) return;
    for (auto& sprite : s.shapes)
        if (sprite) std::fill(sprite->i_tex.begin(), sprite->i_tex.end(), -1);
}

} // namespace

void RParticleType::Clear() {
    const bool keepCreated = created, keepBlend = additiveblend;
    *this = RParticleType{};
    created = keepCreated;
    additiveblend = keepBlend;
}

void RParticleSystem::Clear() {
    const bool keep = created;
    *this = RParticleSystem{};
    created = keep;
}

double Particle_Random(double min, double max, int32_t distr) {
    if (!(max > min)) return min;
    if (distr != kDistrGaussian && distr != kDistrInvGaussian) return min + (max - min) * Rnd();
    double d = 0;
    do {
        d = (Rnd() - 0.5) * 6;
    } while (!(std::exp(-d * d / 2) > Rnd()));
    if (distr == kDistrGaussian) return min + (max - min) * (d + 3) / 6;
    return min + (max - min) * (d >= 0 ? d : d + 6) / 6;
}

double Particle_Wiggle(double t) {
    return (t > 2 ? 4 - t : t) - 1;
}

int32_t ParticleType_Create() {
    const int32_t id = Particle_Attach(State().types);
    State().types[size_t(id)].additiveblend = false;
    return id;
}
bool ParticleType_Exists(int32_t ind) {
    return ParticleType_Get(ind) != nullptr;
}
RParticleType* ParticleType_Get(int32_t ind) {
    return Particle_Attached(State().types, ind);
}
void ParticleType_Destroy(int32_t ind) {
    if (RParticleType* t = ParticleType_Get(ind)) t->created = false;
}
int32_t ParticleType_Count() {
    return static_cast<int32_t>(State().types.size());
}

int32_t ParticleSystem_Create() {
    Particle_MakeShapes();
    return Particle_Attach(State().systems);
}
bool ParticleSystem_Exists(int32_t ind) {
    return ParticleSystem_Get(ind) != nullptr;
}
RParticleSystem* ParticleSystem_Get(int32_t ind) {
    return Particle_Attached(State().systems, ind);
}
void ParticleSystem_Destroy(int32_t ind) {
    if (RParticleSystem* ps = ParticleSystem_Get(ind)) {
        ps->Clear();
        ps->created = false;
        ps->particles.shrink_to_fit();
    }
}
int32_t ParticleSystem_Count() {
    return static_cast<int32_t>(State().systems.size());
}

void Particle_Create(RParticleSystem& ps, double x, double y, int32_t type, int64_t number,
                     std::optional<int32_t> colour) {
    const RParticleType* t = ParticleType_Get(type);
    if (!t) return;
    for (int64_t i = 0; i < number; ++i) {
        if (ps.particles.size() >= size_t(kMaxSystemParticles)) return;
        ps.particles.push_back(NewParticle(*t, type, x, y));
        if (colour) ps.particles.back().color = *colour;
    }
}

void Particle_Burst(RParticleSystem& ps, const REmitter& emitter, int32_t type, int32_t number) {
    if (!ParticleType_Exists(type)) return;
    const int64_t count = SpawnCount(number);
    const bool line = emitter.shape == kRegionLine;
    for (int64_t i = 0; i < count; ++i) {
        if (ps.particles.size() >= size_t(kMaxSystemParticles)) return;
        double a = 0, b = 0;
        for (;;) {
            a = Particle_Random(0, 1, emitter.posdistr);
            b = Particle_Random(0, 1, emitter.posdistr);
            if (emitter.posdistr == kDistrInvGaussian && !line) {
                if (Rnd() >= 0.5)
                    b = Particle_Random(0, 1, kDistrLinear);
                else
                    a = Particle_Random(0, 1, kDistrLinear);
            }
            if (emitter.shape == kRegionEllipse && (a - 0.5) * (a - 0.5) + (b - 0.5) * (b - 0.5) > 0.25)
                continue;
            if (emitter.shape == kRegionDiamond && std::abs(a - 0.5) + std::abs(b - 0.5) > 0.5) continue;
            break;
        }
        const double x = emitter.xmin + a * (emitter.xmax - emitter.xmin);
        const double y = emitter.ymin + (line ? a : b) * (emitter.ymax - emitter.ymin);
        Particle_Create(ps, x, y, type, 1);
    }
}

void ParticleSystem_Update(RParticleSystem& ps) {
    Life(ps);
    Motion(ps);
    if (!ps.deflectors.empty()) Deflect(ps);
    if (!ps.changers.empty()) Change(ps);
    if (!ps.destroyers.empty()) Destroy(ps);
    Appearance(ps);
    Streams(ps);
}

void ParticleSystem_Draw(const RParticleSystem& ps) {
    if (!RenderState_Device() || ps.particles.empty()) return;
    const bool interpolation = RenderState_GetInterpolation();
    RenderState_SetInterpolation(true);
    bool adding = false;
    const size_t n = ps.particles.size();
    for (size_t k = 0; k < n; ++k) {
        const RParticle& p = ps.particles[ps.oldtonew ? k : n - 1 - k];
        if (p.lifetime <= 0) continue;
        const RParticleType* t = TypeOf(p.parttype);
        if (!t) continue;
        const CSprite* sprite = Sprite_Get(t->sprite);
        if (!sprite) sprite = Particle_ShapeSprite(t->shape);
        if (!sprite || sprite->i_numb <= 0) continue;
        const int64_t frame = Frame(p, *t, sprite->i_numb);
        const int32_t index = int32_t(((frame % sprite->i_numb) + sprite->i_numb) % sprite->i_numb);
        const int64_t age = p.age, ran = p.ran;
        const double m = p.size + t->sizerand * Particle_Wiggle(double((age + ran) % 16) / 4);
        const double angle =
            p.ang + (t->angdir ? p.dir : 0) + t->angrand * Particle_Wiggle(double((age + 2 * ran) % 16) / 4);
        // Additive particles switch the blend mode around their draws; runs of them share one
        // switch so the device can batch them.
        if (t->additiveblend != adding) {
            adding = t->additiveblend;
            RenderState_SetBlendMode(adding ? 1 : 0);
        }
        sprite->Draw(index, p.x + ps.xdraw, p.y + ps.ydraw, t->xscale * m, t->yscale * m, angle, p.color,
                     p.alpha);
    }
    if (adding) RenderState_SetBlendMode(0);
    RenderState_SetInterpolation(interpolation);
}

void Particle_UpdateAutomatic() {
    auto& systems = State().systems;
    // An update never creates or destroys systems, but index anyway: the table may grow.
    for (size_t i = 0; i < systems.size(); ++i)
        if (systems[i].created && systems[i].automaticupdate) ParticleSystem_Update(systems[i]);
}

double Particle_DepthBelow(double below) {
    double best = kNoDepth;
    for (const RParticleSystem& ps : State().systems)
        if (ps.created && ps.automaticdraw && ps.depth < below - kDepthReach && ps.depth > best)
            best = ps.depth;
    return best;
}

void Particle_DrawAt(double depth) {
    auto& systems = State().systems;
    for (size_t i = 0; i < systems.size(); ++i) {
        const RParticleSystem& ps = systems[i];
        if (ps.created && ps.automaticdraw && ps.depth <= depth && ps.depth >= depth - kDepthReach)
            ParticleSystem_Draw(ps);
    }
}

const CSprite* Particle_ShapeSprite(int32_t shape) {
    Tables& s = State();
    if (shape < 0 || shape >= kParticleShapeCount || size_t(shape) >= s.shapes.size()) return nullptr;
    CSprite* sprite = s.shapes[size_t(shape)].get();
    // A device attached (or started afresh) since the shapes were made: give them textures.
    if (sprite && s.shape_generation != GR_Texture_Generation() && RenderState_Device()) {
        ForgetStaleShapeTextures();
        for (auto& each : s.shapes) each->InitTexture();
        s.shape_generation = GR_Texture_Generation();
    } else if (sprite && RenderState_Device() && !sprite->i_tex.empty() && sprite->i_tex[0] < 0) {
        sprite->InitTexture();
    }
    return sprite;
}

void Particle_MakeShapes() {
    Tables& s = State();
    if (!s.shapes.empty()) return;
    for (int32_t k = 0; k < kParticleShapeCount; ++k) {
        const TBitmap32 grey = Particle_ShapeImage(k);
        TBitmap32 white(grey.Width(), grey.Height(), 0xFFFFFFFFu);
        AlphaFromIntensity(white, grey);
        auto sprite = std::make_unique<CSprite>();
        sprite->i_numb = 1;
        sprite->i_bitmap.push_back(std::move(white));
        sprite->i_xorig = 32;
        sprite->i_yorig = 32;
        sprite->i_bbox = TRect{0, 0, 63, 63};
        sprite->i_tex.assign(1, -1);
        s.shapes.push_back(std::move(sprite));
    }
    s.shape_generation = GR_Texture_Generation();
    if (RenderState_Device())
        for (auto& sprite : s.shapes) sprite->InitTexture();
}

void Particle_ClearAll() {
    Effect_Reset();
    Tables& s = State();
    ForgetStaleShapeTextures();
    s.types.clear();
    s.systems.clear();
    s.shapes.clear();
}

} // namespace kestrin
