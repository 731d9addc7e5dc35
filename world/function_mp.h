#pragma once
// The motion planning built-ins of Function_Interaction: linear and potential steps and
// paths, the potential settings, and the grids with their searches.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> MotionPlanningFunctions();

// The runner-wide planning state: every grid gone, the potential settings as at start.
void ResetMotionPlanning();

} // namespace kestrin
