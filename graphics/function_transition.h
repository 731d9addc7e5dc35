#pragma once
// transition_define and transition_exists.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> TransitionFunctions();

} // namespace kestrin
