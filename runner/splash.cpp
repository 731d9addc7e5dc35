#include "runner/splash.h"

#include <algorithm>

namespace kestrin {

namespace {

struct SplashModuleState {
    SplashSettings settings;
    bool holding = false;
    bool headless = true;
};

SplashModuleState& State() {
    static SplashModuleState state;
    return state;
}

} // namespace

SplashMode SplashModeOf(const SplashSettings& settings) {
    if (settings.main) return SplashMode::Inside;
    return settings.interrupt ? SplashMode::Modal : SplashMode::Free;
}

SplashRect PlaceSplashPanel(const SplashSettings& settings, int32_t rw, int32_t rh, int32_t itemW,
                            int32_t itemH) {
    if (settings.main || settings.full_screen) return {0, 0, double(rw), double(rh)};
    double w = settings.width, h = settings.height;
    if (settings.adapt && itemW > 0 && itemH > 0) {
        const double s = settings.scale > 0 ? settings.scale : 1;
        w = itemW * s;
        h = itemH * s;
    }
    w = std::max(1.0, w);
    h = std::max(1.0, h);
    const double x = settings.x >= 0 ? settings.x : (rw - w) / 2;
    const double y = settings.y >= 0 ? settings.y : (rh - h) / 2;
    return {x, y, w, h};
}

SplashRect PlaceSplashItem(const SplashRect& panel, double scale, int32_t itemW, int32_t itemH) {
    if (itemW <= 0 || itemH <= 0) return {panel.x, panel.y, 0, 0};
    const double s = scale > 0 ? scale : std::min(panel.w / itemW, panel.h / itemH);
    const double w = itemW * s, h = itemH * s;
    return {panel.x + (panel.w - w) / 2, panel.y + (panel.h - h) / 2, w, h};
}

SplashRect SplashCloseButton(const SplashRect& panel) {
    return {panel.x + panel.w - kSplashCloseSize - 4, panel.y + 4, kSplashCloseSize, kSplashCloseSize};
}

bool SplashCloser::Key(int32_t key) {
    if (closed_) return true;
    if (key == 0) return Close();
    if (key == 27 && settings_.stop_key) return Close();
    return false;
}

bool SplashCloser::Click(double x, double y) {
    if (closed_) return true;
    if (settings_.close_button && SplashCloseButton(panel_).Contains(x, y)) return Close();
    if (settings_.stop_mouse && panel_.Contains(x, y)) return Close();
    return false;
}

bool SplashCloser::Time(int64_t elapsedMs) {
    if (closed_) return true;
    if (delay_ > 0 && elapsedMs >= delay_) return Close();
    return false;
}

bool SplashCloser::VideoEnded(bool loop) {
    if (closed_) return true;
    return loop ? false : Close();
}

SplashSettings& CurrentSplashSettings() {
    return State().settings;
}

void SetSplashHolding(bool holding) {
    State().holding = holding;
}

bool SplashHolding() {
    return State().holding;
}

void SetSplashHeadless(bool headless) {
    State().headless = headless;
}

bool SplashHeadless() {
    return State().headless;
}

void ResetSplashState() {
    const bool headless = State().headless;
    State() = SplashModuleState{};
    State().headless = headless;
}

} // namespace kestrin
