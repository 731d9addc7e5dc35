#pragma once
// The path built-ins of Function_Resource: queries, positions along a path, settings, making,
// copying and deleting paths, editing their points and transforming them.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> PathFunctions();

} // namespace kestrin
