#pragma once
// What the action library's routines share: their arguments, the relative flag, calls of
// other built-ins by name, and the library's own state (the action particle system and its
// type and emitter slots).

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "script/builtin_args.h"
#include "script/builtin_routine.h"
#include "script/value.h"

namespace kestrin {

class CInstance;

namespace action {

using Args = const RValue*;

int32_t I(Args a, int i);
double D(Args a, int i);
bool B(Args a, int i); // >= 0.5
// The relative flag the interpreter set for this action.
bool Relative();
// A value, plus `base` when the relative flag is set.
double Rel(double value, double base);

// Calls the registered built-in of that name with self and other; false (nothing ran) when
// no built-in has the name, so actions backed by families that are not there do nothing.
bool Call(std::string_view name, CScriptInstance* self, CScriptInstance* other,
          std::initializer_list<RValue> args, RValue* result = nullptr);
// The real result of such a call; `missing` when nothing ran.
double CallReal(std::string_view name, CScriptInstance* self, CScriptInstance* other,
                std::initializer_list<RValue> args, double missing = 0);

inline RValue R(double v) {
    return RValue(v);
}

// The action particle system: its id (-1 for none) and 16 type and 16 emitter slots.
inline constexpr int32_t kActionParticleSlots = 16;
struct ActionParticles {
    int32_t system = -1;
    std::array<int32_t, kActionParticleSlots> types;
    std::array<int32_t, kActionParticleSlots> emitters;
    ActionParticles() {
        types.fill(-1);
        emitters.fill(-1);
    }
};
ActionParticles& Particles();

} // namespace action

// Back to no action particle system and empty slots (the particles themselves go with the
// particle module's reset).
void ResetActionState();

} // namespace kestrin

// In a routine (ROUTINE, from script/builtin_args.h): `me`, the self instance, or return at
// once when the code runs for no instance.
#define ME                                                                                                   \
    CInstance* me = AsInstance(self);                                                                        \
    if (!me) return
