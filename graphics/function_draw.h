#pragma once
// The drawing state and primitive built-ins (Function_Graphics).

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> DrawFunctions();

} // namespace kestrin
