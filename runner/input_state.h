#pragma once
// The input state that events and scripts read: keys and mouse buttons held, pressed and
// released since the last step, the last key, character and button, the typed string, the
// wheel, the key map and the mouse position. Window handlers only change this state; what a
// message would make the game do (the close-button event) is left pending for the main loop,
// so nothing runs in the middle of an event.

#include <array>
#include <cstdint>
#include <string>

namespace kestrin {

inline constexpr int kKeyCount = 256;
inline constexpr int32_t kVkNoKey = 0;
inline constexpr int32_t kVkAnyKey = 1;
inline constexpr int32_t kVkEscape = 27;
inline constexpr int32_t kVkNumLock = 144;
inline constexpr size_t kKeyboardStringLimit = 1024;

// What a joystick reports; `available` false reads as no joystick.
struct JoystickState {
    bool available = false;
    std::string name;
    int32_t axes = 0;
    int32_t buttons = 0;
    bool has_pov = false;
    // Raw axis positions 0..65535 (x, y, z, r, u, v), the button bits (button 1 is bit 0) and
    // the point-of-view angle in hundredths of a degree (above 36000 when centred).
    std::array<uint32_t, 6> axis{32767, 32767, 32767, 32767, 32767, 32767};
    uint32_t button_bits = 0;
    uint32_t pov = 65535;
    bool operator==(const JoystickState&) const = default;
};

// The two joysticks a game can see.
inline constexpr int32_t kJoystickCount = 2;

// The platform side of input: the window's message pump and the keyboard as the system sees
// it. Joysticks reach the game as input events (so recordings hold them). The null version
// (headless) has no devices and no messages.
class InputPlatform {
public:
    virtual ~InputPlatform() = default;
    // Delivers pending window messages to the handlers.
    virtual void PumpMessages() {}
    // False when no further input can ever arrive (headless without a replay), so waiting
    // for a key must not block.
    virtual bool InputCanArrive() const { return false; }
    virtual void Sleep(int milliseconds) { (void)milliseconds; }
    virtual bool KeyDirect(int32_t key) const {
        (void)key;
        return false;
    }
    virtual bool NumLockOn() const { return false; }
    virtual void ToggleNumLock() {}
};

class InputState {
public:
    InputState() { ResetMap(); }

    // Window handlers.
    void KeyDown(int32_t virtualKey);
    void KeyUp(int32_t virtualKey);
    void CharTyped(uint32_t codeUnit); // one UTF-16 code unit, as the window reports them
    void TextTyped(std::string_view utf8);
    void MouseDown(int32_t button);
    void MouseUp(int32_t button);
    void WheelUp() { wheel_up_ = true; }
    void WheelDown() { wheel_down_ = true; }
    void MouseMove(int32_t windowX, int32_t windowY) {
        window_mouse_x = windowX;
        window_mouse_y = windowY;
    }
    // The close button: Escape held when `closeAsEscape`, otherwise the close-button event
    // becomes pending.
    void CloseRequest(bool closeAsEscape);
    bool TakeCloseEvent() {
        bool pending = close_event_pending_;
        close_event_pending_ = false;
        return pending;
    }

    // All of it (room entry, io_clear, after dialogs and errors) except the joysticks, which
    // report where the device stands rather than what happened.
    void Clear();

    // The joysticks as last reported (by the platform, or a replay); `id` 0 or 1.
    const JoystickState& Joystick(int32_t id) const { return joysticks_[id == 1 ? 1 : 0]; }
    void SetJoystick(int32_t id, const JoystickState& state) {
        if (id == 0 || id == 1) joysticks_[size_t(id)] = state;
    }
    // Only the per-step flags: pressed, released, wheel.
    void ClearStepFlags();

    // Queries with the built-ins' rules for the pseudo codes.
    bool KeyHeld(int32_t key) const { return CheckKeys(held_, key); }
    bool KeyPressed(int32_t key) const { return CheckKeys(pressed_, key); }
    bool KeyReleased(int32_t key) const { return CheckKeys(released_, key); }
    bool ButtonHeld(int32_t button) const { return CheckButtons(button_held_, button); }
    bool ButtonPressed(int32_t button) const { return CheckButtons(button_pressed_, button); }
    bool ButtonReleased(int32_t button) const { return CheckButtons(button_released_, button); }
    bool WheelWentUp() const { return wheel_up_; }
    bool WheelWentDown() const { return wheel_down_; }

    void ClearKey(int32_t key);
    void ClearButton(int32_t button);

    void SetMap(int32_t from, int32_t to) {
        if (from >= 0 && from < kKeyCount) map_[from] = to;
    }
    int32_t GetMap(int32_t key) const { return key >= 0 && key < kKeyCount ? map_[key] : key; }
    void ResetMap();

    int32_t keyboard_key = 0;
    int32_t keyboard_lastkey = 0;
    uint32_t keyboard_lastchar = 0; // a code point; 0 for none
    int32_t mouse_button = 0;
    int32_t mouse_lastbutton = 0;
    // The game's setting: the close button counts as Escape.
    bool close_as_escape = true;
    // The cursor in window pixels, as the window reports it, and in room coordinates, as the
    // mouse phase of each step converts it through the views.
    int32_t window_mouse_x = 0, window_mouse_y = 0;
    double mouse_x = 0, mouse_y = 0;
    double mouse_previous_x = 0, mouse_previous_y = 0;

    // The typed text as UTF-8, and replacing it.
    std::string KeyboardString() const;
    void SetKeyboardString(std::string_view utf8);

private:
    static bool CheckKeys(const std::array<bool, kKeyCount>& flags, int32_t key);
    static bool CheckButtons(const std::array<bool, 4>& flags, int32_t button);

    std::array<bool, kKeyCount> held_{};
    std::array<bool, kKeyCount> pressed_{};
    std::array<bool, kKeyCount> released_{};
    std::array<int32_t, kKeyCount> map_{};
    std::array<bool, 4> button_held_{}; // index 1..3
    std::array<bool, 4> button_pressed_{};
    std::array<bool, 4> button_released_{};
    bool wheel_up_ = false;
    bool wheel_down_ = false;
    bool close_event_pending_ = false;
    std::array<JoystickState, kJoystickCount> joysticks_;
    std::u16string typed_;
    size_t typed_start_ = 0;
};

// The state and platform the input built-ins and variables use; a game installs its own.
InputState& CurrentInput();
InputPlatform& CurrentInputPlatform();
void SetInputPlatform(InputPlatform* platform); // null restores the headless platform

} // namespace kestrin
