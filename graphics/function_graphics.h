#pragma once
// The graphics built-ins, one table per family, registered in this order by the Function_Graphics
// module: window and screen, drawing state and primitives, textures, surfaces and backgrounds.

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "base/bitmap32.h"
#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> WindowFunctions();
std::span<const RFunctionSpec> DrawFunctions();
std::span<const RFunctionSpec> TextureFunctions();

// What the graphics built-ins need from rooms: the area the tiled forms cover.
struct GraphicsHooks {
    std::function<void(int32_t& width, int32_t& height)> room_size;
    std::function<void(bool)> set_cursor_shown; // the cursor flag of the game settings
    std::function<void()> redraw;               // draws the room now (screen_redraw)
};
void SetGraphicsHooks(GraphicsHooks hooks);
const GraphicsHooks& CurrentGraphicsHooks();
// Screenshots and saved surfaces: PNG for a ".png" name (any case), else a Windows bitmap.
bool HasPngExtension(const std::string& name);
void SaveCaptureFile(const std::string& name, const TBitmap32& bm);

// Whether the main loop draws and presents by itself (set_automatic_draw).
bool AutomaticDraw();
// The desktop's mode, as the platform reports it.
void SetDisplayMode(int32_t width, int32_t height, int32_t depth, int32_t frequency);

} // namespace kestrin
