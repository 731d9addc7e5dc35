#pragma once
// Gamepads and joysticks through SDL: the first two devices plugged in become the game's
// joysticks 1 and 2, and their state reaches the game as input events whenever it changes.

#include <SDL.h>

#include <array>
#include <cstdint>

#include "runner/input_state.h"

namespace kestrin {

// A pad SDL knows as a game controller, in the layout games of this kind expect from the
// system's joystick interface: x and y the left stick, z both triggers (left raises it),
// r and u the right stick (vertical, horizontal), ten buttons (A, B, X, Y, the shoulders,
// back, start, the stick presses), the directional pad as the point of view.
JoystickState ControllerState(SDL_GameController* pad);
// Any other joystick: its first six axes, first 32 buttons and first hat.
JoystickState RawJoystickState(SDL_Joystick* stick);

class SdlGamepads {
public:
    SdlGamepads();
    ~SdlGamepads();
    SdlGamepads(const SdlGamepads&) = delete;
    SdlGamepads& operator=(const SdlGamepads&) = delete;

    // Opens newly plugged devices, closes unplugged ones, and sends each stick's state to
    // the input sink when it differs from what the game has.
    void Poll();
    JoystickState State(int32_t slot) const;

private:
    struct Slot {
        SDL_GameController* pad = nullptr;
        SDL_Joystick* stick = nullptr; // the pad's joystick, or a plain one
        SDL_JoystickID id = -1;
    };
    void Close(Slot& slot);
    bool IsOpen(SDL_JoystickID id) const;

    bool ready_ = false;
    std::array<Slot, kJoystickCount> slots_;
};

} // namespace kestrin
