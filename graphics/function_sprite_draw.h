#pragma once
// The sprite drawing built-ins with sprite_get_texture (Function_Graphics).

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> SpriteDrawFunctions();

} // namespace kestrin
