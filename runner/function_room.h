#pragma once
// The room built-ins: room_goto and its five companions.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> RoomFunctions();

} // namespace kestrin
