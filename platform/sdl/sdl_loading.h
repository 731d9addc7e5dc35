#pragma once
// The loading window on SDL: the game's loading image, the empty and full bar images with the
// progress, borderless and centred on the screen; a transparent image shapes the window.

#include <functional>
#include <memory>
#include <string>

#include "base/bitmap32.h"
#include "game/startup.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace kestrin {

// Where the parts of the loading window go, from the image sizes (pure arithmetic, tested).
struct LoadingLayout {
    int32_t client_w = 0, client_h = 0;
    int32_t bar_x = 0, bar_y = 0, bar_w = 0, bar_h = 0;
    bool show_bars = false;
    bool show_label = false;
};
// The bars keep the left offset they had in the designer's window (8 pixels) on both sides.
LoadingLayout LayoutLoadingWindow(const CSettings& settings, bool debugMode);
// Width of the full bar at `percent`: percent × empty width / 100, rounded.
int32_t FullBarWidth(int32_t percent, int32_t emptyWidth);

class SdlLoadingDisplay : public LoadingDisplay {
public:
    SdlLoadingDisplay() = default;
    ~SdlLoadingDisplay() override;
    void Setup(const CSettings& settings, bool debugMode) override;
    void Progress(int percent, const std::string& text) override;
    void Hide() override;
    // The window while it is shown, for tests.
    SDL_Window* Window() const { return window_; }
    // Runs once the loading window is gone (the game's context takes over again).
    std::function<void()> on_hidden;

private:
    void Draw();
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* image_ = nullptr;
    SDL_Texture* empty_ = nullptr;
    SDL_Texture* full_ = nullptr;
    int32_t full_w_ = 0, full_h_ = 0;
    bool stretch_full_ = true;
    LoadingLayout layout_;
    int percent_ = 0;
    std::string label_;
};

} // namespace kestrin
