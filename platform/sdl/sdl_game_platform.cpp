#include "platform/sdl/sdl_game_platform.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

#include "graphics/function_draw.h"
#include "graphics/function_texture.h"
#include "graphics/function_window.h"
#include "graphics/graphics_init.h"
#include "graphics/graphics_window.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_gamepads.h"
#include "platform/sdl/sdl_loading.h"
#include "platform/sdl/sdl_window.h"
#include "platform/ui/ui_dialogs.h"
#include "runner/dialogs.h"
#include "runner/input_record.h"
#include "runner/input_state.h"
#include "script/function_script.h"

namespace kestrin {

namespace {

// The desktop's clipboard, as scripts see it while the window is open.
class SdlClipboard : public Clipboard {
public:
    bool HasText() override { return SDL_HasClipboardText() == SDL_TRUE; }
    std::string GetText() override {
        char* text = SDL_GetClipboardText();
        std::string copy = text ? text : "";
        SDL_free(text);
        return copy;
    }
    void SetText(std::string_view text) override { SDL_SetClipboardText(std::string(text).c_str()); }
};

class SdlGamePlatform : public GamePlatform, public InputPlatform {
public:
    explicit SdlGamePlatform(std::unique_ptr<SdlWindow> window) : window_(std::move(window)) {
        events_.key = [](int32_t vk, bool down) {
            CurrentInputSink().Deliver({down ? InputEventKind::KeyDown : InputEventKind::KeyUp, vk, 0, {}});
        };
        events_.mouse_button = [](int32_t button, bool down) {
            CurrentInputSink().Deliver(
                {down ? InputEventKind::MouseDown : InputEventKind::MouseUp, button, 0, {}});
        };
        events_.mouse_wheel = [](int32_t wheel) {
            if (wheel != 0)
                CurrentInputSink().Deliver(
                    {wheel > 0 ? InputEventKind::WheelUp : InputEventKind::WheelDown, 0, 0, {}});
        };
        events_.text = [](const std::string& utf8) {
            CurrentInputSink().Deliver({InputEventKind::Text, 0, 0, utf8});
        };
        events_.close = [] { CurrentInputSink().Deliver({InputEventKind::Close, 0, 0, {}}); };
        SetPlatformWindow(window_.get());
        int32_t w = 0, h = 0, depth = 0, frequency = 0;
        window_->DisplayMode(w, h, depth, frequency);
        SetDisplayMode(w, h, depth, frequency);
        SdlWindow* raw = window_.get();
        SetDeviceFactory([raw](int32_t width, int32_t height) { return raw->MakeDevice(width, height); });
        loading_.on_hidden = [raw] { raw->Reactivate(); };
        SetClipboard(&clipboard_);
        // Without Dear ImGui on this context, dialogs fall back to the terminal.
        dialogs_ = MakeUiDialogHost({raw->Handle(), raw->GlContext(),
                                     [raw](std::function<void()> overlay) { raw->SetOverlay(std::move(overlay)); }});
        SetWindowDialogHost(dialogs_.get());
        // A machine without sound plays the game silently.
        std::string error;
        audio_ = SdlAudio::Open(error);
    }
    ~SdlGamePlatform() override {
        audio_.reset();
        SetWindowDialogHost(nullptr);
        dialogs_.reset();
        SetClipboard(nullptr);
        SetDeviceFactory(nullptr);
        SetPlatformWindow(nullptr);
    }

    LoadingDisplay& Loading() override { return loading_; }
    InputPlatform& Input() override { return *this; }

    void PumpMessages() override {
        window_->Pump(events_);
        pads_.Poll();
        const WindowState& state = GameWindow();
        CurrentInputSink().Deliver({InputEventKind::MouseMove, state.mouse_x, state.mouse_y, {}});
    }
    bool InputCanArrive() const override { return true; }
    void Sleep(int milliseconds) override {
        SDL_Delay(static_cast<Uint32>(milliseconds > 0 ? milliseconds : 0));
    }
    // SDL knows the keyboard only through the window's events, which the input state holds.
    bool KeyDirect(int32_t key) const override { return CurrentInput().KeyHeld(key); }
    bool NumLockOn() const override { return (SDL_GetModState() & KMOD_NUM) != 0; }
    void ToggleNumLock() override { SDL_SetModState(static_cast<SDL_Keymod>(SDL_GetModState() ^ KMOD_NUM)); }

private:
    std::unique_ptr<SdlWindow> window_;
    WindowEvents events_;
    SdlLoadingDisplay loading_;
    SdlClipboard clipboard_;
    std::unique_ptr<SdlAudio> audio_;
    SdlGamepads pads_;
    std::unique_ptr<DialogHost> dialogs_;
};

} // namespace

namespace {

bool EnvSet(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}

} // namespace

std::unique_ptr<GamePlatform> MakeSdlGamePlatform(std::string& error) {
    // Without a display SDL would print a Wayland complaint and then open an invisible
    // offscreen window; say what is missing instead, so the run goes headless.
    const bool chosen = EnvSet("SDL_VIDEODRIVER");
    if (!chosen && !EnvSet("DISPLAY") && !EnvSet("WAYLAND_DISPLAY")) {
        error = "no display: neither DISPLAY nor WAYLAND_DISPLAY is set";
        return nullptr;
    }
    std::unique_ptr<SdlWindow> window = SdlWindow::Create(error);
    if (!window) return nullptr;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!chosen && driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
        error = "no display: SDL found only its " + std::string(driver) + " video driver";
        return nullptr;
    }
    return std::make_unique<SdlGamePlatform>(std::move(window));
}

} // namespace kestrin
