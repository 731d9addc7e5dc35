#pragma once
// draw_highscore: the high-score table drawn into the room with the current font.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> HighscoreDrawFunctions();

} // namespace kestrin
