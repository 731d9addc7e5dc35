#pragma once
// The font resource built-ins (Function_Resource).

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> FontFunctions();

} // namespace kestrin
