#pragma once
// The dialogs of the game window, drawn with Dear ImGui over the last frame. A dialog runs
// its own loop until it is answered: it pumps the window's events, keeps the window drawn
// when it is resized or exposed, and does not step the game. Closing the window cancels the
// dialog and leaves the close request for the game.

#include <functional>
#include <memory>

#include "runner/dialogs.h"

struct SDL_Window;

namespace kestrin {

struct UiWindowAccess {
    SDL_Window* window = nullptr;
    void* gl_context = nullptr;
    // Installs a routine drawn into the window just before each present (null removes it).
    std::function<void(std::function<void()>)> set_overlay;
};

// Null when Dear ImGui cannot start on the window's context.
std::unique_ptr<DialogHost> MakeUiDialogHost(const UiWindowAccess& access);

} // namespace kestrin
