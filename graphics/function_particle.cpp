#include "graphics/function_particle.h"

#include <type_traits>

#include "graphics/function_args.h"
#include "graphics/particle.h"
#include "graphics/particle_effect.h"

namespace kestrin {

namespace {

using namespace graphics_args;

// The type an argument names; the change runs only when it exists.
template <typename Change> void Type(Args a, Change change) {
    if (RParticleType* t = ParticleType_Get(I(a, 0))) change(*t);
}
template <typename Change> void System(Args a, Change change) {
    if (RParticleSystem* ps = ParticleSystem_Get(I(a, 0))) change(*ps);
}
void Exists(RValue& r, bool exists) {
    r.SetReal(exists ? 1 : 0);
}

// The attached-object built-ins of one kind, the list picked by `List`.
template <auto List> struct Attached {
    static auto* Get(Args a) {
        RParticleSystem* ps = ParticleSystem_Get(I(a, 0));
        return ps ? Particle_Attached(ps->*List, I(a, 1)) : nullptr;
    }
    template <typename Change> static void Edit(Args a, Change change) {
        if (auto* o = Get(a)) change(*o);
    }
    static ROUTINE(create) {
        RParticleSystem* ps = ParticleSystem_Get(I(a, 0));
        r.SetReal(ps ? Particle_Attach(ps->*List) : -1);
    }
    static ROUTINE(destroy) {
        Edit(a, [](auto& o) { o.created = false; });
    }
    static ROUTINE(destroy_all) {
        if (RParticleSystem* ps = ParticleSystem_Get(I(a, 0))) (ps->*List).clear();
    }
    static ROUTINE(exists) { Exists(r, Get(a) != nullptr); }
    static ROUTINE(clear) {
        Edit(a, [](auto& o) {
            o = std::remove_reference_t<decltype(o)>{};
            o.created = true;
        });
    }
};
using Emitters = Attached<&RParticleSystem::emitters>;
using Attractors = Attached<&RParticleSystem::attractors>;
using Destroyers = Attached<&RParticleSystem::destroyers>;
using Deflectors = Attached<&RParticleSystem::deflectors>;
using Changers = Attached<&RParticleSystem::changers>;

// Types.
ROUTINE(part_type_create) {
    r.SetReal(ParticleType_Create());
}
ROUTINE(part_type_destroy) {
    ParticleType_Destroy(I(a, 0));
}
ROUTINE(part_type_exists) {
    Exists(r, ParticleType_Exists(I(a, 0)));
}
ROUTINE(part_type_clear) {
    Type(a, [](RParticleType& t) { t.Clear(); });
}
ROUTINE(part_type_shape) {
    Type(a, [a](RParticleType& t) {
        t.shape = I(a, 1);
        t.sprite = -1;
    });
}
ROUTINE(part_type_sprite) {
    Type(a, [a](RParticleType& t) {
        t.sprite = I(a, 1);
        t.spriteanim = B(a, 2);
        t.spritestretch = B(a, 3);
        t.spriterandom = B(a, 4);
    });
}
ROUTINE(part_type_size) {
    Type(a, [a](RParticleType& t) {
        t.sizemin = D(a, 1);
        t.sizemax = D(a, 2);
        t.sizeincr = D(a, 3);
        t.sizerand = D(a, 4);
    });
}
ROUTINE(part_type_scale) {
    Type(a, [a](RParticleType& t) {
        t.xscale = D(a, 1);
        t.yscale = D(a, 2);
    });
}
ROUTINE(part_type_life) {
    Type(a, [a](RParticleType& t) {
        t.lifemin = I(a, 1);
        t.lifemax = I(a, 2);
    });
}
ROUTINE(part_type_step) {
    Type(a, [a](RParticleType& t) {
        t.stepnumber = I(a, 1);
        t.steptype = I(a, 2);
    });
}
ROUTINE(part_type_death) {
    Type(a, [a](RParticleType& t) {
        t.deathnumber = I(a, 1);
        t.deathtype = I(a, 2);
    });
}
ROUTINE(part_type_speed) {
    Type(a, [a](RParticleType& t) {
        t.spmin = D(a, 1);
        t.spmax = D(a, 2);
        t.spincr = D(a, 3);
        t.sprand = D(a, 4);
    });
}
ROUTINE(part_type_direction) {
    Type(a, [a](RParticleType& t) {
        t.dirmin = D(a, 1);
        t.dirmax = D(a, 2);
        t.dirincr = D(a, 3);
        t.dirrand = D(a, 4);
    });
}
ROUTINE(part_type_orientation) {
    Type(a, [a](RParticleType& t) {
        t.angmin = D(a, 1);
        t.angmax = D(a, 2);
        t.angincr = D(a, 3);
        t.angrand = D(a, 4);
        t.angdir = B(a, 5);
    });
}
ROUTINE(part_type_gravity) {
    Type(a, [a](RParticleType& t) {
        t.grav = D(a, 1);
        t.gravdir = D(a, 2);
    });
}
// A colour mode with its parameters from argument 1 on.
void Colours(Args a, int32_t mode, int count) {
    Type(a, [a, mode, count](RParticleType& t) {
        t.colmode = mode;
        for (int k = 0; k < count; ++k) t.colpar[size_t(k)] = D(a, k + 1);
    });
}
ROUTINE(part_type_color_mix) {
    Colours(a, 5, 2);
}
ROUTINE(part_type_color_rgb) {
    Colours(a, 3, 6);
}
ROUTINE(part_type_color_hsv) {
    Colours(a, 4, 6);
}
ROUTINE(part_type_color1) {
    Colours(a, 0, 1);
}
ROUTINE(part_type_color2) {
    Colours(a, 1, 2);
}
ROUTINE(part_type_color3) {
    Colours(a, 2, 3);
}
ROUTINE(part_type_alpha1) {
    Type(a, [a](RParticleType& t) { t.alphastart = t.alphamiddle = t.alphaend = D(a, 1); });
}
ROUTINE(part_type_alpha2) {
    Type(a, [a](RParticleType& t) {
        t.alphastart = D(a, 1);
        t.alphaend = D(a, 2);
        t.alphamiddle = (t.alphastart + t.alphaend) / 2;
    });
}
ROUTINE(part_type_alpha3) {
    Type(a, [a](RParticleType& t) {
        t.alphastart = D(a, 1);
        t.alphamiddle = D(a, 2);
        t.alphaend = D(a, 3);
    });
}
ROUTINE(part_type_blend) {
    Type(a, [a](RParticleType& t) { t.additiveblend = B(a, 1); });
}

// Systems.
ROUTINE(part_system_create) {
    r.SetReal(ParticleSystem_Create());
}
ROUTINE(part_system_destroy) {
    ParticleSystem_Destroy(I(a, 0));
}
ROUTINE(part_system_exists) {
    Exists(r, ParticleSystem_Exists(I(a, 0)));
}
ROUTINE(part_system_clear) {
    System(a, [](RParticleSystem& ps) { ps.Clear(); });
}
ROUTINE(part_system_draw_order) {
    System(a, [a](RParticleSystem& ps) { ps.oldtonew = B(a, 1); });
}
ROUTINE(part_system_depth) {
    System(a, [a](RParticleSystem& ps) { ps.depth = D(a, 1); });
}
ROUTINE(part_system_position) {
    System(a, [a](RParticleSystem& ps) {
        ps.xdraw = D(a, 1);
        ps.ydraw = D(a, 2);
    });
}
ROUTINE(part_system_automatic_update) {
    System(a, [a](RParticleSystem& ps) { ps.automaticupdate = B(a, 1); });
}
ROUTINE(part_system_automatic_draw) {
    System(a, [a](RParticleSystem& ps) { ps.automaticdraw = B(a, 1); });
}
ROUTINE(part_system_update) {
    System(a, [](RParticleSystem& ps) { ParticleSystem_Update(ps); });
}
ROUTINE(part_system_drawit) {
    System(a, [](RParticleSystem& ps) { ParticleSystem_Draw(ps); });
}
ROUTINE(part_particles_create) {
    System(a, [a](RParticleSystem& ps) { Particle_Create(ps, D(a, 1), D(a, 2), I(a, 3), I(a, 4)); });
}
ROUTINE(part_particles_create_color) {
    System(a, [a](RParticleSystem& ps) { Particle_Create(ps, D(a, 1), D(a, 2), I(a, 3), I(a, 5), I(a, 4)); });
}
ROUTINE(part_particles_clear) {
    System(a, [](RParticleSystem& ps) { ps.particles.clear(); });
}
ROUTINE(part_particles_count) {
    const RParticleSystem* ps = ParticleSystem_Get(I(a, 0));
    r.SetReal(ps ? double(ps->particles.size()) : 0);
}

// Emitters.
ROUTINE(part_emitter_region) {
    Emitters::Edit(a, [a](REmitter& e) {
        e.xmin = D(a, 2);
        e.xmax = D(a, 3);
        e.ymin = D(a, 4);
        e.ymax = D(a, 5);
        e.shape = I(a, 6);
        e.posdistr = I(a, 7);
    });
}
ROUTINE(part_emitter_burst) {
    RParticleSystem* ps = ParticleSystem_Get(I(a, 0));
    if (!ps) return;
    // A copy: the burst appends particles, never emitters, but it reads the region throughout.
    if (const REmitter* e = Particle_Attached(ps->emitters, I(a, 1))) {
        const REmitter emitter = *e;
        Particle_Burst(*ps, emitter, I(a, 2), I(a, 3));
    }
}
ROUTINE(part_emitter_stream) {
    Emitters::Edit(a, [a](REmitter& e) {
        e.parttype = I(a, 2);
        e.number = I(a, 3);
    });
}

// Attractors.
ROUTINE(part_attractor_position) {
    Attractors::Edit(a, [a](RAttractor& o) {
        o.x = D(a, 2);
        o.y = D(a, 3);
    });
}
ROUTINE(part_attractor_force) {
    Attractors::Edit(a, [a](RAttractor& o) {
        o.force = D(a, 2);
        o.dist = D(a, 3);
        o.kind = I(a, 4);
        o.additive = B(a, 5);
    });
}

// Destroyers, deflectors and changers.
template <typename T> void Region(Args a, T& o) {
    o.xmin = D(a, 2);
    o.xmax = D(a, 3);
    o.ymin = D(a, 4);
    o.ymax = D(a, 5);
}
ROUTINE(part_destroyer_region) {
    Destroyers::Edit(a, [a](RDestroyer& o) {
        Region(a, o);
        o.shape = I(a, 6);
    });
}
ROUTINE(part_deflector_region) {
    Deflectors::Edit(a, [a](RDeflector& o) { Region(a, o); });
}
ROUTINE(part_deflector_kind) {
    Deflectors::Edit(a, [a](RDeflector& o) { o.kind = I(a, 2); });
}
ROUTINE(part_deflector_friction) {
    Deflectors::Edit(a, [a](RDeflector& o) { o.friction = D(a, 2); });
}
ROUTINE(part_changer_region) {
    Changers::Edit(a, [a](RChanger& o) {
        Region(a, o);
        o.shape = I(a, 6);
    });
}
ROUTINE(part_changer_kind) {
    Changers::Edit(a, [a](RChanger& o) { o.kind = I(a, 2); });
}
ROUTINE(part_changer_types) {
    Changers::Edit(a, [a](RChanger& o) {
        o.part1 = I(a, 2);
        o.part2 = I(a, 3);
    });
}

// Effects.
ROUTINE(effect_create_below) {
    Effect_Create(false, I(a, 0), D(a, 1), D(a, 2), I(a, 3), I(a, 4));
}
ROUTINE(effect_create_above) {
    Effect_Create(true, I(a, 0), D(a, 1), D(a, 2), I(a, 3), I(a, 4));
}
ROUTINE(effect_clear) {
    Effect_Clear();
}

#undef ROUTINE

constexpr RFunctionSpec kFunctions[] = {
    {"part_type_create", part_type_create, 0},
    {"part_type_destroy", part_type_destroy, 1},
    {"part_type_exists", part_type_exists, 1},
    {"part_type_clear", part_type_clear, 1},
    {"part_type_shape", part_type_shape, 2},
    {"part_type_sprite", part_type_sprite, 5},
    {"part_type_size", part_type_size, 5},
    {"part_type_scale", part_type_scale, 3},
    {"part_type_life", part_type_life, 3},
    {"part_type_step", part_type_step, 3},
    {"part_type_death", part_type_death, 3},
    {"part_type_speed", part_type_speed, 5},
    {"part_type_direction", part_type_direction, 5},
    {"part_type_orientation", part_type_orientation, 6},
    {"part_type_gravity", part_type_gravity, 3},
    {"part_type_color_mix", part_type_color_mix, 3},
    {"part_type_color_rgb", part_type_color_rgb, 7},
    {"part_type_color_hsv", part_type_color_hsv, 7},
    {"part_type_color1", part_type_color1, 2},
    {"part_type_color2", part_type_color2, 3},
    {"part_type_color3", part_type_color3, 4},
    {"part_type_color", part_type_color3, 4},
    {"part_type_alpha1", part_type_alpha1, 2},
    {"part_type_alpha2", part_type_alpha2, 3},
    {"part_type_alpha3", part_type_alpha3, 4},
    {"part_type_alpha", part_type_alpha3, 4},
    {"part_type_blend", part_type_blend, 2},
    {"part_system_create", part_system_create, 0},
    {"part_system_destroy", part_system_destroy, 1},
    {"part_system_exists", part_system_exists, 1},
    {"part_system_clear", part_system_clear, 1},
    {"part_system_draw_order", part_system_draw_order, 2},
    {"part_system_depth", part_system_depth, 2},
    {"part_system_position", part_system_position, 3},
    {"part_system_automatic_update", part_system_automatic_update, 2},
    {"part_system_automatic_draw", part_system_automatic_draw, 2},
    {"part_system_update", part_system_update, 1},
    {"part_system_drawit", part_system_drawit, 1},
    {"part_particles_create", part_particles_create, 5},
    {"part_particles_create_color", part_particles_create_color, 6},
    {"part_particles_clear", part_particles_clear, 1},
    {"part_particles_count", part_particles_count, 1},
    {"part_emitter_create", Emitters::create, 1},
    {"part_emitter_destroy", Emitters::destroy, 2},
    {"part_emitter_destroy_all", Emitters::destroy_all, 1},
    {"part_emitter_exists", Emitters::exists, 2},
    {"part_emitter_clear", Emitters::clear, 2},
    {"part_emitter_region", part_emitter_region, 8},
    {"part_emitter_burst", part_emitter_burst, 4},
    {"part_emitter_stream", part_emitter_stream, 4},
    {"part_attractor_create", Attractors::create, 1},
    {"part_attractor_destroy", Attractors::destroy, 2},
    {"part_attractor_destroy_all", Attractors::destroy_all, 1},
    {"part_attractor_exists", Attractors::exists, 2},
    {"part_attractor_clear", Attractors::clear, 2},
    {"part_attractor_position", part_attractor_position, 4},
    {"part_attractor_force", part_attractor_force, 6},
    {"part_destroyer_create", Destroyers::create, 1},
    {"part_destroyer_destroy", Destroyers::destroy, 2},
    {"part_destroyer_destroy_all", Destroyers::destroy_all, 1},
    {"part_destroyer_exists", Destroyers::exists, 2},
    {"part_destroyer_clear", Destroyers::clear, 2},
    {"part_destroyer_region", part_destroyer_region, 7},
    {"part_deflector_create", Deflectors::create, 1},
    {"part_deflector_destroy", Deflectors::destroy, 2},
    {"part_deflector_destroy_all", Deflectors::destroy_all, 1},
    {"part_deflector_exists", Deflectors::exists, 2},
    {"part_deflector_clear", Deflectors::clear, 2},
    {"part_deflector_region", part_deflector_region, 6},
    {"part_deflector_kind", part_deflector_kind, 3},
    {"part_deflector_friction", part_deflector_friction, 3},
    {"part_changer_create", Changers::create, 1},
    {"part_changer_destroy", Changers::destroy, 2},
    {"part_changer_destroy_all", Changers::destroy_all, 1},
    {"part_changer_exists", Changers::exists, 2},
    {"part_changer_clear", Changers::clear, 2},
    {"part_changer_region", part_changer_region, 7},
    {"part_changer_kind", part_changer_kind, 3},
    {"part_changer_types", part_changer_types, 4},
    {"effect_create_below", effect_create_below, 5},
    {"effect_create_above", effect_create_above, 5},
    {"effect_clear", effect_clear, 0},
};

} // namespace

std::span<const RFunctionSpec> ParticleFunctions() {
    return kFunctions;
}

} // namespace kestrin
