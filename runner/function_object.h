#pragma once
// The object built-ins of Function_Resource: object properties, parents, new and deleted
// objects, and events given or taken away at run time.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> ObjectFunctions();

} // namespace kestrin
