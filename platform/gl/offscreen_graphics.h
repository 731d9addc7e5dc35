#pragma once
// The drawing device of headless runs that take screenshots: an OpenGL context without a
// display (EGL) and a device drawing into its offscreen back buffer.

#include <memory>
#include <string>

#include "game/platform_services.h"

namespace kestrin {

std::unique_ptr<OffscreenGraphics> MakeOffscreenGraphics(std::string& error);

} // namespace kestrin
