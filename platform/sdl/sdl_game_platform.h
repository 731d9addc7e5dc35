#pragma once
// Everything a windowed run needs from SDL in one place: the game window with its OpenGL
// device, the loading window, and the message pump that feeds the input state.

#include <memory>
#include <string>

#include "game/platform_services.h"
#include "game/startup.h"
#include "runner/input_state.h"

namespace kestrin {

// Makes the windowed platform, or nullptr (and the reason) when there is no display.
std::unique_ptr<GamePlatform> MakeSdlGamePlatform(std::string& error);

} // namespace kestrin
