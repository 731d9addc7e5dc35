#pragma once
// Start and end of the graphics of a game: the window state from the settings, the device
// from whichever backend the front end installed (an SDL window with OpenGL, a headless EGL
// context for screenshots, or none), and the textures of the resources.

#include <cstdint>
#include <functional>
#include <memory>

#include "graphics/device.h"

namespace kestrin {

struct CSettings;

// Makes the device for a back buffer of the given size; nullptr when it cannot.
using DeviceFactory = std::function<std::unique_ptr<Device>(int32_t width, int32_t height)>;
// No factory: a run without a device (headless, no screenshots); drawing does nothing.
void SetDeviceFactory(DeviceFactory factory);

// The "Preparing graphics" step. False only when a factory is installed and makes no device.
[[nodiscard]] bool Init_Graphics(const CSettings& settings);
// Releases surfaces, textures and the device (shutdown).
void Finish_Graphics();

} // namespace kestrin
