#include "graphics/graphics_window.h"

#include <algorithm>
#include <cmath>

#include "graphics/render_state.h"
#include "base/numeric.h"

namespace kestrin {

namespace {
WindowState g_window;
std::array<ViewMapping, kViewMappings> g_views;
PlatformWindow* g_platform = nullptr;

int32_t Round(double v) {
    return RoundToInt32Saturated(v);
}

double ScaleFor(int32_t cw, int32_t ch, int32_t rw, int32_t rh, double scale) {
    if (scale < 0) return std::min(double(cw) / std::max(rw, 1), double(ch) / std::max(rh, 1));
    return scale;
}
} // namespace

WindowState& GameWindow() {
    return g_window;
}
std::array<ViewMapping, kViewMappings>& ViewMappings() {
    return g_views;
}
void SetPlatformWindow(PlatformWindow* window) {
    g_platform = window;
}
PlatformWindow* CurrentPlatformWindow() {
    return g_platform;
}

void ApplyWindowState() {
    if (g_platform) g_platform->Apply(g_window);
}

IntRect RegionRectangle(int32_t cw, int32_t ch, int32_t rw, int32_t rh, double scale) {
    if (scale == 0) return {0, 0, cw, ch};
    const double s = ScaleFor(cw, ch, rw, rh, scale);
    const int32_t w = Round(rw * s), h = Round(rh * s);
    return {(cw - w) / 2, (ch - h) / 2, w, h};
}

PointD WindowToRegion(const WindowState& w, double px, double py) {
    const int32_t cw = w.client_w, ch = w.client_h, rw = w.region_w, rh = w.region_h;
    if (w.scale == 0)
        return {double(Round(px * rw / std::max(cw, 1))), double(Round(py * rh / std::max(ch, 1)))};
    const double s = ScaleFor(cw, ch, rw, rh, w.scale);
    if (s == 0) return {px, py};
    const int32_t ox = (cw - Round(rw * s)) / 2, oy = (ch - Round(rh * s)) / 2;
    return {double(Round((px - ox) / s)), double(Round((py - oy) / s))};
}

PointD RegionToWindow(const WindowState& w, double rx, double ry) {
    const IntRect r = RegionRectangle(w.client_w, w.client_h, w.region_w, w.region_h, w.scale);
    const double sx = w.region_w > 0 ? double(r.w) / w.region_w : 1.0;
    const double sy = w.region_h > 0 ? double(r.h) / w.region_h : 1.0;
    return {double(Round(r.x + rx * sx)), double(Round(r.y + ry * sy))};
}

PointD RegionToRoom(const ViewMapping& v, double rx, double ry) {
    if (!v.active || v.wport == 0 || v.hport == 0 || v.wview == 0 || v.hview == 0) return {rx, ry};
    const double dx = (rx - v.xport) * v.wview / v.wport;
    const double dy = (ry - v.yport) * v.hview / v.hport;
    if (std::fabs(v.angle) < 0.01) return {double(Round(dx + v.xview)), double(Round(dy + v.yview))};
    const double t = -v.angle * M_PI / 180.0;
    const double ddx = dx - v.wview / 2, ddy = dy - v.hview / 2;
    return {double(Round(v.xview + v.wview / 2 + ddx * std::cos(t) + ddy * std::sin(t))),
            double(Round(v.yview + v.hview / 2 - ddx * std::sin(t) + ddy * std::cos(t)))};
}

PointD RoomToRegion(const ViewMapping& v, double x, double y) {
    if (!v.active || v.wport == 0 || v.hport == 0 || v.wview == 0 || v.hview == 0) return {x, y};
    double dx = x - v.xview, dy = y - v.yview;
    if (std::fabs(v.angle) >= 0.01) {
        const double t = v.angle * M_PI / 180.0;
        const double ddx = dx - v.wview / 2, ddy = dy - v.hview / 2;
        dx = v.wview / 2 + ddx * std::cos(t) + ddy * std::sin(t);
        dy = v.hview / 2 - ddx * std::sin(t) + ddy * std::cos(t);
    }
    return {double(Round(dx * v.wport / v.wview + v.xport)), double(Round(dy * v.hport / v.hview + v.yport))};
}

PointD RegionToRoomTopmost(const std::array<ViewMapping, kViewMappings>& views, double rx, double ry) {
    PointD result{rx, ry};
    for (int i = kViewMappings - 1; i >= 0; --i) {
        const ViewMapping& v = views[size_t(i)];
        if (!v.active) continue;
        result = RegionToRoom(v, rx, ry);
        if (result.x >= v.xview && result.x < v.xview + v.wview && result.y >= v.yview &&
            result.y < v.yview + v.hview)
            return result;
    }
    return result;
}

namespace {
void FitClientToScale(bool adapt) {
    WindowState& w = g_window;
    if (w.scale <= 0) return;
    const int32_t nw = Round(w.region_w * w.scale), nh = Round(w.region_h * w.scale);
    if (adapt) {
        w.client_w = nw;
        w.client_h = nh;
    } else if (w.client_w < nw || w.client_h < nh) {
        w.client_w = std::max(w.client_w, nw);
        w.client_h = std::max(w.client_h, nh);
    }
    ApplyWindowState();
}
} // namespace

void Window_SetRegionSize(int32_t w, int32_t h, bool adapt) {
    if (w > 0) g_window.region_w = w;
    if (h > 0) g_window.region_h = h;
    FitClientToScale(adapt);
    if (g_platform) g_platform->Repaint();
}

void Window_SetRegionScale(double scale, bool adapt) {
    g_window.scale = scale;
    FitClientToScale(adapt);
    if (g_platform) g_platform->Repaint();
}

void Window_SetSize(int32_t w, int32_t h) {
    if (g_window.scale > 0) {
        w = Round(g_window.region_w * g_window.scale);
        h = Round(g_window.region_h * g_window.scale);
    }
    g_window.client_w = w;
    g_window.client_h = h;
    ApplyWindowState();
}

void Window_Center() {
    g_window.client_x = (g_window.screen_w - g_window.client_w) / 2;
    g_window.client_y = (g_window.screen_h - g_window.client_h) / 2;
    ApplyWindowState();
}

void Window_Default() {
    WindowState& w = g_window;
    w.client_w = w.scale > 0 ? Round(w.region_w * w.scale) : w.region_w;
    w.client_h = w.scale > 0 ? Round(w.region_h * w.scale) : w.region_h;
    Window_Center();
}

void Window_RoomStart(bool viewsEnabled, const RoomPort* ports, int32_t count, int32_t roomW, int32_t roomH) {
    int32_t w = roomW, h = roomH;
    if (viewsEnabled) {
        w = h = 8;
        for (int32_t i = 0; i < count; ++i)
            if (ports[i].visible) {
                w = std::max(w, RoundToInt32Saturated(ports[i].xport + ports[i].wport));
                h = std::max(h, RoundToInt32Saturated(ports[i].yport + ports[i].hport));
            }
    }
    w = std::min(w, g_window.screen_w);
    h = std::min(h, g_window.screen_h);
    if (w == g_window.region_w && h == g_window.region_h) return;
    Window_SetRegionSize(w, h, true);
    Window_Default();
    RenderState_SetRegion(w, h);
}

} // namespace kestrin
