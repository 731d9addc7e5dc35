#pragma once
// The window and screen built-ins (Function_Graphics), and the state they share with room
// drawing: the hooks into rooms, automatic drawing and the desktop's mode.

#include <cstdint>
#include <functional>
#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> WindowFunctions();

// What the graphics built-ins need from rooms: the area the tiled forms cover.
struct GraphicsHooks {
    std::function<void(int32_t& width, int32_t& height)> room_size;
    std::function<void(bool)> set_cursor_shown; // the cursor flag of the game settings
    std::function<void()> redraw;               // draws the room now (screen_redraw)
};
void SetGraphicsHooks(GraphicsHooks hooks);
const GraphicsHooks& CurrentGraphicsHooks();

// Whether the main loop draws and presents by itself (set_automatic_draw).
bool AutomaticDraw();
void SetAutomaticDraw(bool on);
// The desktop's mode, as the platform reports it.
void SetDisplayMode(int32_t width, int32_t height, int32_t depth, int32_t frequency);

} // namespace kestrin
