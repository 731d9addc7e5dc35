#include "platform/sdl/sdl_window.h"

#include <SDL.h>

#include <algorithm>

#include "graphics/render_state.h"
#include "platform/gl/gl_device.h"

namespace kestrin {

std::unique_ptr<SdlWindow> SdlWindow::Create(std::string& error) {
    // The runner handles SIGINT and SIGTERM itself (it ends the game and cleans up).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = SDL_GetError();
        return nullptr;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    std::unique_ptr<SdlWindow> w(new SdlWindow);
    w->window_ = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 640, 480,
                                  SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
    if (!w->window_) {
        error = SDL_GetError();
        return nullptr;
    }
    w->context_ = SDL_GL_CreateContext(w->window_);
    if (!w->context_) {
        error = SDL_GetError();
        return nullptr;
    }
    SDL_GL_MakeCurrent(w->window_, w->context_);
    return w;
}

SdlWindow::~SdlWindow() {
    if (context_) SDL_GL_DeleteContext(context_);
    if (window_) SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void SdlWindow::Apply(const WindowState& s) {
    if (applying_) return;
    applying_ = true;
    SDL_SetWindowTitle(window_, s.caption.c_str());
    SDL_SetWindowAlwaysOnTop(window_, s.stay_on_top ? SDL_TRUE : SDL_FALSE);
    if (s.full_screen) {
        SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else {
        SDL_SetWindowFullscreen(window_, 0);
        // Caption buttons come with the border on this platform; a window without icons keeps
        // its border but cannot be resized.
        SDL_SetWindowBordered(window_, s.show_border ? SDL_TRUE : SDL_FALSE);
        SDL_SetWindowResizable(window_, s.show_border && s.sizeable && s.show_icons ? SDL_TRUE : SDL_FALSE);
        SDL_SetWindowSize(window_, std::max(s.client_w, 1), std::max(s.client_h, 1));
        SDL_SetWindowPosition(window_, s.client_x, s.client_y);
        if (s.scale > 0) {
            // A script may set any scale: the product is clamped before it becomes an int.
            auto scaled = [&](int32_t side) {
                return static_cast<int>(std::clamp(side * s.scale + 0.5, 1.0, 65535.0));
            };
            SDL_SetWindowMinimumSize(window_, scaled(s.region_w), scaled(s.region_h));
        } else
            SDL_SetWindowMinimumSize(window_, 1, 1);
    }
    SDL_ShowCursor(s.cursor == -1 ? SDL_DISABLE : SDL_ENABLE);
    if (s.visible)
        SDL_ShowWindow(window_);
    else
        SDL_HideWindow(window_);
    applying_ = false;
}

void SdlWindow::SetMouse(int32_t x, int32_t y) {
    SDL_WarpMouseInWindow(window_, x, y);
}

void SdlWindow::Repaint() {
    RenderState_Refresh();
}

uint32_t SdlEventWindowId(const SDL_Event& e) {
    switch (e.type) {
    case SDL_WINDOWEVENT:
        return e.window.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        return e.key.windowID;
    case SDL_TEXTINPUT:
        return e.text.windowID;
    case SDL_TEXTEDITING:
        return e.edit.windowID;
    case SDL_MOUSEMOTION:
        return e.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        return e.button.windowID;
    case SDL_MOUSEWHEEL:
        return e.wheel.windowID;
    default:
        return 0;
    }
}

void SdlWindow::Reactivate() {
    SDL_GL_MakeCurrent(window_, nullptr);
    SDL_GL_MakeCurrent(window_, context_);
}

void SdlWindow::Pump(const WindowEvents& events) {
    // Destroying the loading window can leave no context current; drawing needs ours. The
    // check is cheap: the loop pumps many times a frame while it waits.
    if (SDL_GL_GetCurrentContext() != context_) SDL_GL_MakeCurrent(window_, context_);
    WindowState& state = GameWindow();
    SDL_Event e;
    const uint32_t own = SDL_GetWindowID(window_);
    while (SDL_PollEvent(&e)) {
        // Another window's events (the debug window's) are its own business.
        if (const uint32_t other = SdlEventWindowId(e); other != 0 && other != own) continue;
        switch (e.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (events.key) {
                const int32_t vk = VirtualKeyOf(e.key.keysym.sym);
                if (vk) events.key(vk, e.type == SDL_KEYDOWN);
            }
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (events.mouse_button) {
                const int32_t b = e.button.button == SDL_BUTTON_LEFT     ? 1
                                  : e.button.button == SDL_BUTTON_RIGHT  ? 2
                                  : e.button.button == SDL_BUTTON_MIDDLE ? 3
                                                                         : 0;
                if (b) events.mouse_button(b, e.type == SDL_MOUSEBUTTONDOWN);
            }
            break;
        case SDL_MOUSEMOTION:
            state.mouse_x = e.motion.x;
            state.mouse_y = e.motion.y;
            break;
        case SDL_MOUSEWHEEL:
            if (events.mouse_wheel && e.wheel.y != 0) events.mouse_wheel(e.wheel.y > 0 ? 1 : -1);
            break;
        case SDL_TEXTINPUT:
            if (events.text) events.text(e.text.text);
            break;
        case SDL_QUIT:
            if (events.close) events.close();
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
                if (events.close) events.close();
            } else if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
                       e.window.event == SDL_WINDOWEVENT_MOVED) {
                if (!applying_ && !state.full_screen) {
                    SDL_GetWindowPosition(window_, &state.client_x, &state.client_y);
                    SDL_GetWindowSize(window_, &state.client_w, &state.client_h);
                }
                Repaint();
            } else if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
                Repaint();
            } else if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED ||
                       e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                if (events.focus) events.focus(e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED);
            }
            break;
        default:
            break;
        }
    }
}

std::unique_ptr<Device> SdlWindow::MakeDevice(int32_t backWidth, int32_t backHeight) {
    // Other windows (the loading window) may have taken the current context since creation.
    if (SDL_GL_MakeCurrent(window_, context_) != 0) return nullptr;
    GLDevice::Window w;
    SDL_Window* window = window_;
    w.swap = [window, overlay = overlay_] {
        if (*overlay) (*overlay)();
        SDL_GL_SwapWindow(window);
    };
    w.size = [window](int32_t& width, int32_t& height) { SDL_GL_GetDrawableSize(window, &width, &height); };
    w.swap_interval = [](int32_t interval) { SDL_GL_SetSwapInterval(interval); };
    auto device = std::make_unique<GLDevice>(backWidth, backHeight, std::move(w));
    if (!device->Ok()) return nullptr;
    return device;
}

void SdlWindow::DisplayMode(int32_t& w, int32_t& h, int32_t& depth, int32_t& frequency) const {
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) {
        w = 640, h = 480, depth = 32, frequency = 60;
        return;
    }
    w = mode.w;
    h = mode.h;
    depth = SDL_BITSPERPIXEL(mode.format) == 24 ? 32 : int32_t(SDL_BITSPERPIXEL(mode.format));
    frequency = mode.refresh_rate > 0 ? mode.refresh_rate : 60;
}

int32_t VirtualKeyOf(int32_t k) {
    if (k >= SDLK_a && k <= SDLK_z) return 'A' + (k - SDLK_a);
    if (k >= SDLK_0 && k <= SDLK_9) return '0' + (k - SDLK_0);
    if (k >= SDLK_F1 && k <= SDLK_F12) return 112 + (k - SDLK_F1);
    if (k >= SDLK_KP_1 && k <= SDLK_KP_9) return 97 + (k - SDLK_KP_1);
    switch (k) {
    case SDLK_BACKSPACE:
        return 8;
    case SDLK_TAB:
        return 9;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return 13;
    case SDLK_LSHIFT:
        return 160;
    case SDLK_RSHIFT:
        return 161;
    case SDLK_LCTRL:
        return 162;
    case SDLK_RCTRL:
        return 163;
    case SDLK_LALT:
        return 164;
    case SDLK_RALT:
        return 165;
    case SDLK_PAUSE:
        return 19;
    case SDLK_ESCAPE:
        return 27;
    case SDLK_SPACE:
        return 32;
    case SDLK_PAGEUP:
        return 33;
    case SDLK_PAGEDOWN:
        return 34;
    case SDLK_END:
        return 35;
    case SDLK_HOME:
        return 36;
    case SDLK_LEFT:
        return 37;
    case SDLK_UP:
        return 38;
    case SDLK_RIGHT:
        return 39;
    case SDLK_DOWN:
        return 40;
    case SDLK_INSERT:
        return 45;
    case SDLK_DELETE:
        return 46;
    case SDLK_KP_0:
        return 96;
    case SDLK_KP_MULTIPLY:
        return 106;
    case SDLK_KP_PLUS:
        return 107;
    case SDLK_KP_MINUS:
        return 109;
    case SDLK_KP_PERIOD:
        return 110;
    case SDLK_KP_DIVIDE:
        return 111;
    default:
        return 0;
    }
}

} // namespace kestrin
