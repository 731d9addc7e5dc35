#pragma once
// Splash screens as the game model sees them: the settings the splash_set_* built-ins store,
// how a splash is shown (inside the game window, modally, or beside a running game), where its
// panel and item go, and the rules that close it. Plain arithmetic, so tests need no window.
// The drawing and the built-ins live above (graphics/splash_view.h, world/function_splash.h).

#include <cstdint>
#include <string>

namespace kestrin {

struct SplashSettings {
    std::string caption;
    bool full_screen = false;
    bool border = true;
    int32_t width = 640, height = 480;
    int32_t x = -1, y = -1; // below 0: the window's own placement on that axis
    bool adapt = true;      // the window takes the item's size
    bool top = true;
    int32_t colour = 0;
    bool main = true;  // shown inside the game window
    double scale = -1; // 0 or less: fit the item into the panel
    bool cursor = true;
    bool interrupt = true;
    bool stop_key = true; // Escape closes
    bool close_button = true;
    bool stop_mouse = true; // a click closes
};

// Inside the game window and modal splashes hold the game: no steps, and the keys and clicks
// go to the splash. A free splash (interrupt off, outside the game window) lets the game go on
// and leaves the game its input.
enum class SplashMode : uint8_t { Inside, Modal, Free };
SplashMode SplashModeOf(const SplashSettings& settings);
inline bool SplashHoldsGame(SplashMode mode) {
    return mode != SplashMode::Free;
}

struct SplashRect {
    double x = 0, y = 0, w = 0, h = 0;
    bool Contains(double px, double py) const { return px >= x && py >= y && px < x + w && py < y + h; }
    bool operator==(const SplashRect&) const = default;
};

// The panel in the game region (rw × rh): the whole region inside the game window or in full
// screen; otherwise the settings' size (the item's size with adapt on, when it has one) at the
// settings' position, centred on an axis whose coordinate is below 0.
SplashRect PlaceSplashPanel(const SplashSettings& settings, int32_t rw, int32_t rh, int32_t itemW,
                            int32_t itemH);
// The item's rectangle in the panel: scaled by the scale setting, or to fit keeping its
// aspect ratio when that is 0 or less, and centred.
SplashRect PlaceSplashItem(const SplashRect& panel, double scale, int32_t itemW, int32_t itemH);
// The close button in the panel's top-right corner.
inline constexpr double kSplashCloseSize = 20;
SplashRect SplashCloseButton(const SplashRect& panel);

// What closes a splash. Times are in milliseconds since it was shown.
class SplashCloser {
public:
    SplashCloser(const SplashSettings& settings, SplashRect panel, int64_t delayMs)
        : settings_(settings), panel_(panel), delay_(delayMs) {}

    // A key released over the splash; key 0 is the game window's close request.
    bool Key(int32_t key);
    // A click at (x, y) in region coordinates: the close button, or anywhere with stop-mouse
    // (a free splash only hears clicks on its own panel).
    bool Click(double x, double y);
    bool Time(int64_t elapsedMs);
    // A video reached its end: without loop the splash closes.
    bool VideoEnded(bool loop);

    bool Closed() const { return closed_; }

private:
    bool Close() {
        closed_ = true;
        return true;
    }
    SplashSettings settings_;
    SplashRect panel_;
    int64_t delay_;
    bool closed_ = false;
};

// The settings and whether a splash that holds the game is open (the step gate).
SplashSettings& CurrentSplashSettings();
void SetSplashHolding(bool holding);
bool SplashHolding();
// Headless runs print what a splash would show instead of showing it.
void SetSplashHeadless(bool headless);
bool SplashHeadless();
void ResetSplashState();

} // namespace kestrin
