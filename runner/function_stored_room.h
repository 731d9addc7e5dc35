#pragma once
// The room built-ins of Function_Resource: the stored rooms edited at run time. A room
// entered fresh copies its stored room; a running room, or a persistent one already visited,
// keeps its running copy.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> StoredRoomFunctions();

} // namespace kestrin
