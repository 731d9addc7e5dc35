#pragma once
// The multiplayer built-ins of Function_DPlay: connections, sessions, players, shared values
// and messages (the mplay_* functions).

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> NetFunctions();

} // namespace kestrin
