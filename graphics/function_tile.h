#pragma once
// The tile built-ins (Function_Graphics).

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> TileFunctions();

} // namespace kestrin
