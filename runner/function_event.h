#pragma once
// The built-ins that perform events: event_perform, event_perform_object, event_user,
// event_inherited (Function_Game).

#include <span>

#include "script/registry.h"

namespace kestrin {

std::span<const RFunctionSpec> EventFunctions();

} // namespace kestrin
