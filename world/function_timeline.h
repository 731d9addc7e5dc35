#pragma once
// The time-line built-ins of Function_Resource: queries, making, clearing and deleting time
// lines, and adding and removing moments.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> TimeLineFunctions();

} // namespace kestrin
