#pragma once
// The main loop's built-ins: game_end, game_restart, sleep.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> LoopFunctions();

} // namespace kestrin
