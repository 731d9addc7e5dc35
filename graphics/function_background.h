#pragma once
// The background built-ins of Function_Resource: queries, backgrounds made from files, the
// screen, surfaces, a colour or a gradient, replacing, copying and saving.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> BackgroundFunctions();

} // namespace kestrin
