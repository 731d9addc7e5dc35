#pragma once
// The particle built-ins (Function_Particles): types, systems, particles, emitters,
// attractors, destroyers, deflectors, changers and the effect presets. A call naming a type,
// system or attached object that does not exist does nothing; creators answer -1 for a
// system that does not exist.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> ParticleFunctions();

} // namespace kestrin
