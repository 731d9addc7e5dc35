#pragma once
// The action library of Function_Action: the routines the actions of objects' events call.
// One table per family, each in its own function_action_<family>.cpp.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

// Moving, paths and motion-planning steps.
std::span<const RFunctionSpec> ActionMoveFunctions();
// Instances, sprites, replacing resources, alarms, time lines, sleeping, rooms, sounds, game
// end, restart, saving and loading, CD audio.
std::span<const RFunctionSpec> ActionInstanceFunctions();
// The questions not tied to a family above, running scripts and inherited events.
std::span<const RFunctionSpec> ActionQuestionFunctions();
// Messages, splash screens, the web page, score, lives, health and their drawing, captions,
// high scores, the cursor, full screen, snapshots.
std::span<const RFunctionSpec> ActionGameFunctions();
// Drawing.
std::span<const RFunctionSpec> ActionDrawFunctions();
// The action particle system, its types and emitters, and the six names that do nothing.
std::span<const RFunctionSpec> ActionParticleFunctions();

} // namespace kestrin
