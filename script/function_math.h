#pragma once
// Function_Math, numbers and plane geometry: real arithmetic and rounding, logarithms and
// trigonometry, min/max/mean/median, the random built-ins, distances and directions. The
// text built-ins of the same module are in function_string.h.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

// The family's table, in registration order.
std::span<const RFunctionSpec> MathFunctions();

} // namespace kestrin
