#pragma once
// The built-ins that define and call functions of native libraries: external_define,
// external_call and their fixed forms, external_free, get_function_address (Function_Game).

#include <span>

#include "script/registry.h"

namespace kestrin {

std::span<const RFunctionSpec> ExternalFunctions();

} // namespace kestrin
