#pragma once
// The 3D built-ins (Function_3D): mode, projections, transforms, lights, primitives, solids
// and models.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> ThreeDFunctions();

} // namespace kestrin
