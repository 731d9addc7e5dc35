#pragma once
// The path built-ins of Function_Resource: queries, positions along a path, settings, making,
// copying and deleting paths, editing their points and transforming them.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> PathFunctions();
// path_start and path_end, which move the calling instance and belong to Function_Interaction.
std::span<const RFunctionSpec> PathFollowFunctions();
// draw_path, which belongs to Function_Graphics.
std::span<const RFunctionSpec> PathDrawFunctions();

} // namespace kestrin
