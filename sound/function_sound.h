#pragma once
// The sound built-ins: the sound resources (exists, names, kind, add, replace, delete,
// discard, restore), playing and shaping sounds, the effect and 3D settings, CD audio
// (answered as a machine without a CD drive) and MCI command strings.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> SoundFunctions();

} // namespace kestrin
