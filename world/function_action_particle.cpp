// The particle actions: one action particle system with 16 type slots and 16 emitter slots,
// all made on first use; and the six names kept for old games that do nothing.

#include <cstdint>

#include "script/run_error.h"
#include "world/action_messages.h"
#include "world/action_support.h"
#include "world/function_action.h"

namespace kestrin {

namespace {

using namespace action;

bool Exists(std::string_view routine, std::initializer_list<RValue> args) {
    return CallReal(routine, nullptr, nullptr, args) >= 0.5;
}

// The action system as it stands: -1 when there is none (also after the particle module
// itself was reset, which leaves the slots naming nothing).
int32_t System() {
    ActionParticles& p = Particles();
    if (p.system >= 0 && !Exists("part_system_exists", {R(p.system)})) p = ActionParticles();
    return p.system;
}
int32_t EnsureSystem() {
    if (System() < 0)
        Particles().system = static_cast<int32_t>(CallReal("part_system_create", nullptr, nullptr, {}, -1));
    return Particles().system;
}

bool SlotIndex(int32_t slot) {
    return slot >= 0 && slot < kActionParticleSlots;
}
// The type of a slot, or -1 when the slot is empty or out of range.
int32_t SlotType(int32_t slot) {
    if (!SlotIndex(slot)) return -1;
    int32_t& type = Particles().types[static_cast<size_t>(slot)];
    if (type >= 0 && !Exists("part_type_exists", {R(type)})) type = -1;
    return type;
}
int32_t SlotEmitter(int32_t slot) {
    if (!SlotIndex(slot) || System() < 0) return -1;
    int32_t& emitter = Particles().emitters[static_cast<size_t>(slot)];
    if (emitter >= 0 && !Exists("part_emitter_exists", {R(Particles().system), R(emitter)})) emitter = -1;
    return emitter;
}

// A type action's slot, filled with a new type when empty; -1 for a slot out of range.
int32_t TypeFor(Args a) {
    const int32_t slot = I(a, 0);
    if (!SlotIndex(slot)) return -1;
    EnsureSystem();
    if (SlotType(slot) < 0)
        Particles().types[static_cast<size_t>(slot)] =
            static_cast<int32_t>(CallReal("part_type_create", nullptr, nullptr, {}, -1));
    return Particles().types[static_cast<size_t>(slot)];
}

void Part(std::string_view routine, std::initializer_list<RValue> args) {
    Call(routine, nullptr, nullptr, args);
}

ROUTINE(action_partsyst_create) {
    const int32_t ps = EnsureSystem();
    if (ps < 0) return;
    for (int32_t slot = 0; slot < kActionParticleSlots; ++slot) {
        if (const int32_t e = SlotEmitter(slot); e >= 0) Part("part_emitter_destroy", {R(ps), R(e)});
        if (const int32_t t = SlotType(slot); t >= 0) Part("part_type_destroy", {R(t)});
    }
    Part("part_system_clear", {R(ps)});
    Part("part_system_depth", {R(ps), a[0]});
    Particles().types.fill(-1);
    Particles().emitters.fill(-1);
}
ROUTINE(action_partsyst_destroy) {
    const int32_t ps = System();
    if (ps < 0) return;
    for (int32_t slot = 0; slot < kActionParticleSlots; ++slot)
        if (const int32_t t = SlotType(slot); t >= 0) Part("part_type_destroy", {R(t)});
    Part("part_system_destroy", {R(ps)});
    Particles() = ActionParticles();
}
ROUTINE(action_partsyst_clear) {
    if (const int32_t ps = System(); ps >= 0) Part("part_particles_clear", {R(ps)});
}

ROUTINE(action_parttype_create_old) {
    const int32_t t = TypeFor(a);
    if (t < 0) return;
    Part("part_type_shape", {R(t), a[1]});
    Part("part_type_size", {R(t), a[2], a[3], R(0), R(0)});
    Part("part_type_color2", {R(t), a[4], a[5]});
}
ROUTINE(action_parttype_create) {
    const int32_t t = TypeFor(a);
    if (t < 0) return;
    Part("part_type_shape", {R(t), a[1]});
    Part("part_type_sprite", {R(t), a[2], R(1), R(0), R(0)});
    Part("part_type_size", {R(t), a[3], a[4], a[5], R(0)});
}
ROUTINE(action_parttype_color) {
    const int32_t t = TypeFor(a);
    if (t < 0) return;
    if (I(a, 1) != 0)
        Part("part_type_color2", {R(t), a[2], a[3]});
    else
        Part("part_type_color_mix", {R(t), a[2], a[3]});
    Part("part_type_alpha2", {R(t), a[4], a[5]});
}
ROUTINE(action_parttype_life) {
    const int32_t t = TypeFor(a);
    if (t >= 0) Part("part_type_life", {R(t), a[1], a[2]});
}
ROUTINE(action_parttype_speed) {
    const int32_t t = TypeFor(a);
    if (t < 0) return;
    Part("part_type_speed", {R(t), a[1], a[2], R(-D(a, 5)), R(0)});
    Part("part_type_direction", {R(t), a[3], a[4], R(0), R(0)});
}
ROUTINE(action_parttype_gravity) {
    const int32_t t = TypeFor(a);
    if (t >= 0) Part("part_type_gravity", {R(t), a[1], a[2]});
}
ROUTINE(action_parttype_secondary) {
    const int32_t t = TypeFor(a);
    if (t < 0) return;
    Part("part_type_step", {R(t), a[2], R(SlotType(I(a, 1)))});
    Part("part_type_death", {R(t), a[4], R(SlotType(I(a, 3)))});
}

ROUTINE(action_partemit_create) {
    const int32_t slot = I(a, 0);
    if (!SlotIndex(slot)) return;
    const int32_t ps = EnsureSystem();
    if (ps < 0) return;
    int32_t e = SlotEmitter(slot);
    if (e < 0) {
        e = static_cast<int32_t>(CallReal("part_emitter_create", nullptr, nullptr, {R(ps)}, -1));
        Particles().emitters[static_cast<size_t>(slot)] = e;
    }
    if (e >= 0) Part("part_emitter_region", {R(ps), R(e), a[2], a[3], a[4], a[5], a[1], R(0)});
}
ROUTINE(action_partemit_destroy) {
    const int32_t slot = I(a, 0);
    if (!SlotIndex(slot)) return;
    EnsureSystem();
    if (const int32_t e = SlotEmitter(slot); e >= 0)
        Part("part_emitter_destroy", {R(Particles().system), R(e)});
    Particles().emitters[static_cast<size_t>(slot)] = -1;
}
void Emit(std::string_view routine, Args a) {
    EnsureSystem();
    const int32_t e = SlotEmitter(I(a, 0));
    if (e < 0) return ReportRunError(msg::kActionEmitterMissing, false);
    Part(routine, {R(Particles().system), R(e), R(SlotType(I(a, 1))), a[2]});
}
ROUTINE(action_partemit_burst) {
    Emit("part_emitter_burst", a);
}
ROUTINE(action_partemit_stream) {
    Emit("part_emitter_stream", a);
}

// Kept so that old games load; each answers the real 0.
ROUTINE(action_nothing) {}

#undef ROUTINE

constexpr RFunctionSpec kFunctions[] = {
    {"action_partsyst_create", action_partsyst_create, 1},
    {"action_partsyst_destroy", action_partsyst_destroy, 0},
    {"action_partsyst_clear", action_partsyst_clear, 0},
    {"action_parttype_create_old", action_parttype_create_old, 6},
    {"action_parttype_create", action_parttype_create, 6},
    {"action_parttype_color", action_parttype_color, 6},
    {"action_parttype_life", action_parttype_life, 3},
    {"action_parttype_speed", action_parttype_speed, 6},
    {"action_parttype_gravity", action_parttype_gravity, 3},
    {"action_parttype_secondary", action_parttype_secondary, 5},
    {"action_partemit_create", action_partemit_create, 6},
    {"action_partemit_destroy", action_partemit_destroy, 1},
    {"action_partemit_burst", action_partemit_burst, 3},
    {"action_partemit_stream", action_partemit_stream, 3},
    {"action_draw_font", action_nothing, 1},
    {"action_draw_font_old", action_nothing, 6},
    {"action_fill_color", action_nothing, 1},
    {"action_highscore", action_nothing, 0},
    {"action_line_color", action_nothing, 1},
    {"action_path_old", action_nothing, 3},
};

} // namespace

std::span<const RFunctionSpec> ActionParticleFunctions() {
    return kFunctions;
}

} // namespace kestrin
