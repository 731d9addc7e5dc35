#pragma once
// The text built-ins (Function_Graphics): fonts, alignment, measuring and drawing text.
// Fetching the table also makes chr read its byte in the current font's code page.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> TextFunctions();

} // namespace kestrin
