#pragma once
// The game window on SDL2 with an OpenGL 3.3 core context: carries the window state scripts
// set (border, caption buttons, resizing, stay on top, full screen over the desktop, cursor),
// pumps events into the hooks the runner installs, and makes the OpenGL device that presents
// into it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "graphics/device.h"
#include "graphics/graphics_window.h"

struct SDL_Window;
union SDL_Event;

namespace kestrin {

// The id of the window an event is for, 0 when it is for none (several windows share one queue).
uint32_t SdlEventWindowId(const SDL_Event& e);


// What the window reports while it pumps; unset entries drop the event.
struct WindowEvents {
    std::function<void(int32_t vk, bool down)> key;
    std::function<void(int32_t button, bool down)> mouse_button; // 1 left, 2 right, 3 middle
    std::function<void(int32_t wheel)> mouse_wheel;              // +1 up, -1 down
    std::function<void(const std::string& utf8)> text;
    std::function<void()> close;
    std::function<void(bool active)> focus;
};

class SdlWindow : public PlatformWindow {
public:
    // Nullptr (and the reason) when there is no video device or no OpenGL 3.3 context.
    static std::unique_ptr<SdlWindow> Create(std::string& error);
    ~SdlWindow() override;

    void Apply(const WindowState& state) override;
    void SetMouse(int32_t x, int32_t y) override;
    void Repaint() override;

    // Handles every pending event; the mouse position lands in the game window state.
    void Pump(const WindowEvents& events);
    // Binds the game's context again, even when SDL believes it still is: tearing down the
    // loading window's renderer can unbind it underneath SDL.
    void Reactivate();
    // The OpenGL device presenting into this window.
    std::unique_ptr<Device> MakeDevice(int32_t backWidth, int32_t backHeight);
    // Desktop size, depth and refresh rate.
    void DisplayMode(int32_t& w, int32_t& h, int32_t& depth, int32_t& frequency) const;

    SDL_Window* Handle() const { return window_; }
    void* GlContext() const { return context_; }
    // Drawn into the window after the game's frame and before it is shown (dialogs).
    void SetOverlay(std::function<void()> overlay) { *overlay_ = std::move(overlay); }

private:
    SdlWindow() = default;
    SDL_Window* window_ = nullptr;
    void* context_ = nullptr;
    bool applying_ = false;
    std::shared_ptr<std::function<void()>> overlay_ = std::make_shared<std::function<void()>>();
};

// Virtual-key code of an SDL key (0 when the key has none).
int32_t VirtualKeyOf(int32_t sdlKeycode);

} // namespace kestrin
