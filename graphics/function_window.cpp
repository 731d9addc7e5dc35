// Window, display and screen built-ins.

#include <string>

#include "base/numeric.h"
#include "graphics/function_args.h"
#include "graphics/function_draw.h"
#include "graphics/function_texture.h"
#include "graphics/function_window.h"
#include "graphics/graphics_window.h"
#include "graphics/messages.h"
#include "graphics/render_state.h"
#include "script/run_error.h"
#include "script/value.h"

namespace kestrin {

namespace {

GraphicsHooks g_hooks;
bool g_automatic_draw = true;
int32_t g_colour_depth = 32;
int32_t g_frequency = 60;

using namespace graphics_args;
WindowState& W() {
    return GameWindow();
}

ROUTINE(display_get_width) {
    r.SetReal(W().screen_w);
}
ROUTINE(display_get_height) {
    r.SetReal(W().screen_h);
}
ROUTINE(display_get_colordepth) {
    r.SetReal(g_colour_depth);
}
ROUTINE(display_get_frequency) {
    r.SetReal(g_frequency);
}

// The desktop's mode is the only one there is: a request succeeds when it asks for that mode.
bool ModeAccepted(int32_t w, int32_t h, int32_t frequency, int32_t depth) {
    return (w <= 0 || w == W().screen_w) && (h <= 0 || h == W().screen_h) &&
           (frequency <= 0 || frequency == g_frequency) && (depth <= 0 || depth == g_colour_depth);
}
ROUTINE(display_set_size) {
    r.SetReal(ModeAccepted(I(a, 0), I(a, 1), 0, 0) ? 1 : 0);
}
ROUTINE(display_set_colordepth) {
    r.SetReal(ModeAccepted(0, 0, 0, I(a, 0)) ? 1 : 0);
}
ROUTINE(display_set_frequency) {
    r.SetReal(ModeAccepted(0, 0, I(a, 0), 0) ? 1 : 0);
}
ROUTINE(display_set_all) {
    r.SetReal(ModeAccepted(I(a, 0), I(a, 1), I(a, 2), I(a, 3)) ? 1 : 0);
}
ROUTINE(display_test_all) {
    r.SetReal(ModeAccepted(I(a, 0), I(a, 1), I(a, 2), I(a, 3)) ? 1 : 0);
}
ROUTINE(display_reset) {
    const int32_t aa = argc > 0 ? I(a, 0) : 0;
    RenderState_RequestReset(aa == 2 || aa == 4 || aa == 8 ? aa : 0);
}
ROUTINE(display_mouse_get_x) {
    r.SetReal(W().client_x + W().mouse_x);
}
ROUTINE(display_mouse_get_y) {
    r.SetReal(W().client_y + W().mouse_y);
}
void SetMouse(double x, double y) {
    W().mouse_x = RoundToInt32Saturated(x);
    W().mouse_y = RoundToInt32Saturated(y);
    if (PlatformWindow* p = CurrentPlatformWindow()) p->SetMouse(W().mouse_x, W().mouse_y);
}
ROUTINE(display_mouse_set) {
    SetMouse(D(a, 0) - W().client_x, D(a, 1) - W().client_y);
}

ROUTINE(window_set_visible) {
    W().visible = B(a, 0);
    ApplyWindowState();
}
ROUTINE(window_get_visible) {
    r.SetReal(W().visible ? 1 : 0);
}
ROUTINE(window_set_fullscreen) {
    if (W().full_screen == B(a, 0)) return;
    W().full_screen = B(a, 0);
    ApplyWindowState();
}
ROUTINE(window_get_fullscreen) {
    r.SetReal(W().full_screen ? 1 : 0);
}
void SetFlag(bool WindowState::*flag, bool value) {
    W().*flag = value;
    ApplyWindowState();
}
ROUTINE(window_set_showborder) {
    SetFlag(&WindowState::show_border, B(a, 0));
}
ROUTINE(window_get_showborder) {
    r.SetReal(W().show_border ? 1 : 0);
}
ROUTINE(window_set_showicons) {
    SetFlag(&WindowState::show_icons, B(a, 0));
}
ROUTINE(window_get_showicons) {
    r.SetReal(W().show_icons ? 1 : 0);
}
ROUTINE(window_set_sizeable) {
    SetFlag(&WindowState::sizeable, B(a, 0));
}
ROUTINE(window_get_sizeable) {
    r.SetReal(W().sizeable ? 1 : 0);
}
ROUTINE(window_set_stayontop) {
    SetFlag(&WindowState::stay_on_top, B(a, 0));
}
ROUTINE(window_get_stayontop) {
    r.SetReal(W().stay_on_top ? 1 : 0);
}
ROUTINE(window_set_caption) {
    W().caption = std::string(a[0].str());
    ApplyWindowState();
}
ROUTINE(window_get_caption) {
    r = RValue(W().caption);
}
ROUTINE(window_set_cursor) {
    W().cursor = I(a, 0);
    if (W().cursor != -1 && g_hooks.set_cursor_shown) g_hooks.set_cursor_shown(true);
    ApplyWindowState();
}
ROUTINE(window_get_cursor) {
    r.SetReal(W().cursor);
}
ROUTINE(window_set_color) {
    W().colour = I(a, 0);
    ApplyWindowState();
}
ROUTINE(window_get_color) {
    r.SetReal(W().colour);
}
ROUTINE(window_set_position) {
    W().client_x = I(a, 0);
    W().client_y = I(a, 1);
    ApplyWindowState();
}
ROUTINE(window_set_size) {
    Window_SetSize(I(a, 0), I(a, 1));
}
ROUTINE(window_set_rectangle) {
    W().client_x = I(a, 0);
    W().client_y = I(a, 1);
    Window_SetSize(I(a, 2), I(a, 3));
}
ROUTINE(window_center) {
    Window_Center();
}
ROUTINE(window_default) {
    Window_Default();
}
ROUTINE(window_get_x) {
    r.SetReal(W().client_x);
}
ROUTINE(window_get_y) {
    r.SetReal(W().client_y);
}
ROUTINE(window_get_width) {
    r.SetReal(W().client_w);
}
ROUTINE(window_get_height) {
    r.SetReal(W().client_h);
}
ROUTINE(window_set_region_size) {
    Window_SetRegionSize(I(a, 0), I(a, 1), B(a, 2));
}
ROUTINE(window_get_region_width) {
    r.SetReal(W().region_w);
}
ROUTINE(window_get_region_height) {
    r.SetReal(W().region_h);
}
ROUTINE(window_set_region_scale) {
    Window_SetRegionScale(D(a, 0), B(a, 1));
}
ROUTINE(window_get_region_scale) {
    r.SetReal(W().scale);
}
ROUTINE(window_mouse_get_x) {
    r.SetReal(W().mouse_x);
}
ROUTINE(window_mouse_get_y) {
    r.SetReal(W().mouse_y);
}
ROUTINE(window_mouse_set) {
    SetMouse(D(a, 0), D(a, 1));
}

const ViewMapping* ViewArg(Args a) {
    const int32_t v = I(a, 0);
    if (v < 0 || v >= kViewMappings) return nullptr;
    return &ViewMappings()[size_t(v)];
}
PointD MouseRegion() {
    return WindowToRegion(W(), W().mouse_x, W().mouse_y);
}
ROUTINE(window_view_mouse_get_x) {
    const PointD p = MouseRegion();
    r.SetReal(ViewArg(a) ? RegionToRoom(*ViewArg(a), p.x, p.y).x : p.x);
}
ROUTINE(window_view_mouse_get_y) {
    const PointD p = MouseRegion();
    r.SetReal(ViewArg(a) ? RegionToRoom(*ViewArg(a), p.x, p.y).y : p.y);
}
void SetMouseRoom(const ViewMapping* v, double x, double y) {
    const PointD region = v ? RoomToRegion(*v, x, y) : PointD{x, y};
    const PointD client = RegionToWindow(W(), region.x, region.y);
    SetMouse(client.x, client.y);
}
ROUTINE(window_view_mouse_set) {
    SetMouseRoom(ViewArg(a), D(a, 1), D(a, 2));
}
ROUTINE(window_views_mouse_get_x) {
    const PointD p = MouseRegion();
    r.SetReal(RegionToRoomTopmost(ViewMappings(), p.x, p.y).x);
}
ROUTINE(window_views_mouse_get_y) {
    const PointD p = MouseRegion();
    r.SetReal(RegionToRoomTopmost(ViewMappings(), p.x, p.y).y);
}
ROUTINE(window_views_mouse_set) {
    const ViewMapping* first = nullptr;
    for (const ViewMapping& v : ViewMappings())
        if (v.active) {
            first = &v;
            break;
        }
    SetMouseRoom(first, D(a, 0), D(a, 1));
}

ROUTINE(set_synchronization) {
    RenderState_SetVsync(B(a, 0));
}
ROUTINE(set_automatic_draw) {
    g_automatic_draw = B(a, 0);
}
ROUTINE(screen_redraw) {
    if (g_hooks.redraw) g_hooks.redraw();
    RenderState_End_Frame();
    RenderState_Start_Frame();
}
ROUTINE(screen_refresh) {
    RenderState_Refresh();
}
// The swap interval waits for the vertical blank at present; there is no separate wait.
ROUTINE(screen_wait_vsync) {}

void SaveScreen(const RValue& fname, int32_t x, int32_t y, int32_t w, int32_t h) {
    const std::string name(fname.str());
    if (name.empty()) {
        ReportRunError(graphics_msg::kScreenEmptyName, false);
        return;
    }
    auto bm = RenderState_Capture(x, y, w, h);
    if (!bm) return;
    if (HasPngExtension(name))
        for (TColor32& p : bm->s_data) p |= 0xFF000000u;
    SaveCaptureFile(name, *bm);
}
ROUTINE(screen_save) {
    SaveScreen(a[0], 0, 0, RenderState_RegionWidth(), RenderState_RegionHeight());
}
ROUTINE(screen_save_part) {
    SaveScreen(a[0], I(a, 1), I(a, 2), I(a, 3), I(a, 4));
}

#undef ROUTINE

constexpr RFunctionSpec kFunctions[] = {
    {"display_get_width", display_get_width, 0},
    {"display_get_height", display_get_height, 0},
    {"display_get_colordepth", display_get_colordepth, 0},
    {"display_get_frequency", display_get_frequency, 0},
    {"display_set_size", display_set_size, 2},
    {"display_set_colordepth", display_set_colordepth, 1},
    {"display_set_frequency", display_set_frequency, 1},
    {"display_set_all", display_set_all, 4},
    {"display_test_all", display_test_all, 4},
    {"display_reset", display_reset, -1},
    {"display_mouse_get_x", display_mouse_get_x, 0},
    {"display_mouse_get_y", display_mouse_get_y, 0},
    {"display_mouse_set", display_mouse_set, 2},
    {"window_set_visible", window_set_visible, 1},
    {"window_get_visible", window_get_visible, 0},
    {"window_set_fullscreen", window_set_fullscreen, 1},
    {"window_get_fullscreen", window_get_fullscreen, 0},
    {"window_set_showborder", window_set_showborder, 1},
    {"window_get_showborder", window_get_showborder, 0},
    {"window_set_showicons", window_set_showicons, 1},
    {"window_get_showicons", window_get_showicons, 0},
    {"window_set_sizeable", window_set_sizeable, 1},
    {"window_get_sizeable", window_get_sizeable, 0},
    {"window_set_stayontop", window_set_stayontop, 1},
    {"window_get_stayontop", window_get_stayontop, 0},
    {"window_set_caption", window_set_caption, 1},
    {"window_get_caption", window_get_caption, 0},
    {"window_set_cursor", window_set_cursor, 1},
    {"window_get_cursor", window_get_cursor, 0},
    {"window_set_color", window_set_color, 1},
    {"window_get_color", window_get_color, 0},
    {"window_set_position", window_set_position, 2},
    {"window_set_size", window_set_size, 2},
    {"window_set_rectangle", window_set_rectangle, 4},
    {"window_center", window_center, 0},
    {"window_default", window_default, 0},
    {"window_get_x", window_get_x, 0},
    {"window_get_y", window_get_y, 0},
    {"window_get_width", window_get_width, 0},
    {"window_get_height", window_get_height, 0},
    {"window_set_region_size", window_set_region_size, 3},
    {"window_get_region_width", window_get_region_width, 0},
    {"window_get_region_height", window_get_region_height, 0},
    {"window_set_region_scale", window_set_region_scale, 2},
    {"window_get_region_scale", window_get_region_scale, 0},
    {"window_mouse_get_x", window_mouse_get_x, 0},
    {"window_mouse_get_y", window_mouse_get_y, 0},
    {"window_mouse_set", window_mouse_set, 2},
    {"window_view_mouse_get_x", window_view_mouse_get_x, 1},
    {"window_view_mouse_get_y", window_view_mouse_get_y, 1},
    {"window_view_mouse_set", window_view_mouse_set, 3},
    {"window_views_mouse_get_x", window_views_mouse_get_x, 0},
    {"window_views_mouse_get_y", window_views_mouse_get_y, 0},
    {"window_views_mouse_set", window_views_mouse_set, 2},
    {"set_synchronization", set_synchronization, 1},
    {"set_automatic_draw", set_automatic_draw, 1},
    {"screen_redraw", screen_redraw, 0},
    {"screen_refresh", screen_refresh, 0},
    {"screen_wait_vsync", screen_wait_vsync, 0},
    {"screen_save", screen_save, 1},
    {"screen_save_part", screen_save_part, 5},
};

} // namespace

void SetGraphicsHooks(GraphicsHooks hooks) {
    g_hooks = std::move(hooks);
}
const GraphicsHooks& CurrentGraphicsHooks() {
    return g_hooks;
}
void SetAutomaticDraw(bool on) {
    g_automatic_draw = on;
}

bool AutomaticDraw() {
    return g_automatic_draw;
}
void SetDisplayMode(int32_t width, int32_t height, int32_t depth, int32_t frequency) {
    W().screen_w = width;
    W().screen_h = height;
    g_colour_depth = depth;
    g_frequency = frequency;
}

std::span<const RFunctionSpec> WindowFunctions() {
    return kFunctions;
}

} // namespace kestrin
