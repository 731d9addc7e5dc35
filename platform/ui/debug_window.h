#pragma once
// The debug window on SDL2 and Dear ImGui: a second window beside the game's with its own
// OpenGL context and its own ImGui context, drawn between steps from the main loop, so it
// never holds up the game window. Its events are picked out of the shared SDL queue by window.

#include <memory>
#include <string>

#include "debug/debug_view.h"

namespace kestrin {

// Opens the window, or nullptr (and the reason) when SDL's video or OpenGL is not there.
std::unique_ptr<DebugView> MakeImGuiDebugView(DebugModel& model, std::string& error);

} // namespace kestrin
