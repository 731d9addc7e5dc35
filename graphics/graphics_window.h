#pragma once
// The game window as the core sees it: the remembered client rectangle, the flags scripts set,
// the drawing region and its scale, and the arithmetic that places the region in the client
// area and maps points between window, region and room. The platform window (platform/sdl)
// carries the state out; headless runs keep it here only.

#include <array>
#include <cstdint>
#include <string>

#include "graphics/device.h"

namespace kestrin {

struct WindowState {
    bool visible = true;
    bool full_screen = false;
    bool show_border = true;
    bool show_icons = true;
    bool sizeable = true;
    bool stay_on_top = false;
    int32_t client_x = 100, client_y = 100, client_w = 640, client_h = 480;
    int32_t frame_w = 8, frame_h = 32;
    int32_t region_w = 640, region_h = 480;
    double scale = 1.0; // > 0 fixed, 0 stretch, < 0 keep aspect
    int32_t colour = 0; // outside the region, runner convention
    int32_t cursor = 0;
    std::string caption;
    int32_t screen_w = 1920, screen_h = 1080;
    int32_t mouse_x = 0, mouse_y = 0; // relative to the client area
};

struct ViewMapping {
    bool active = false;
    double xview = 0, yview = 0, wview = 0, hview = 0;
    double xport = 0, yport = 0, wport = 0, hport = 0;
    double angle = 0;
};
inline constexpr int32_t kViewMappings = 32;

// The platform window behind the state; a headless run has none.
class PlatformWindow {
public:
    virtual ~PlatformWindow() = default;
    // Carries the whole state out (flags, bounds, caption, cursor).
    virtual void Apply(const WindowState& state) = 0;
    virtual void SetMouse(int32_t x, int32_t y) = 0; // client coordinates
    virtual void Repaint() {}
};

WindowState& GameWindow();
std::array<ViewMapping, kViewMappings>& ViewMappings();
void SetPlatformWindow(PlatformWindow* window);
PlatformWindow* CurrentPlatformWindow();
void ApplyWindowState();

// The region rectangle inside a client area of cw × ch.
IntRect RegionRectangle(int32_t cw, int32_t ch, int32_t rw, int32_t rh, double scale);

struct PointD {
    double x = 0, y = 0;
    bool operator==(const PointD&) const = default;
};
// Client point → region point.
PointD WindowToRegion(const WindowState& w, double px, double py);
// Region point → client point.
PointD RegionToWindow(const WindowState& w, double rx, double ry);
// Region point → room point through one view entry (unchanged for an unusable entry).
PointD RegionToRoom(const ViewMapping& v, double rx, double ry);
PointD RoomToRegion(const ViewMapping& v, double x, double y);
// Through the topmost view under the point (the mouse_x / mouse_y mapping).
PointD RegionToRoomTopmost(const std::array<ViewMapping, kViewMappings>& views, double rx, double ry);

// Script-level operations with their side rules.
void Window_SetRegionSize(int32_t w, int32_t h, bool adapt);
void Window_SetRegionScale(double scale, bool adapt);
void Window_SetSize(int32_t w, int32_t h);
void Window_Center();
void Window_Default();

// The region a room starts with: with views, the largest right and bottom port edges of the
// visible views (each at least 8); without, the room's size; both cut to the screen. When it
// differs from the current region, the region takes it (adapting the window), the window is
// placed as by window_default and the device's region follows.
struct RoomPort {
    bool visible = false;
    double xport = 0, yport = 0, wport = 0, hport = 0;
};
void Window_RoomStart(bool viewsEnabled, const RoomPort* ports, int32_t count, int32_t roomW, int32_t roomH);

} // namespace kestrin
