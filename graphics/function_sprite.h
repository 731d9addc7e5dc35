#pragma once
// The sprite built-ins of Function_Resource: queries, run-time sprites from files, the screen
// and surfaces, replacing, merging, saving and collision-mask settings.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> SpriteFunctions();

} // namespace kestrin
