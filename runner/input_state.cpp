#include "runner/input_state.h"

#include "base/utf.h"

namespace kestrin {

void InputState::ResetMap() {
    for (int i = 0; i < kKeyCount; ++i) map_[i] = i;
}

void InputState::KeyDown(int32_t virtualKey) {
    int32_t k = virtualKey >= 0 && virtualKey < kKeyCount ? map_[virtualKey] : virtualKey;
    if (k < 0 || k >= kKeyCount) return;
    keyboard_key = keyboard_lastkey = k;
    if (!held_[k]) pressed_[k] = true;
    held_[k] = true;
}

void InputState::KeyUp(int32_t virtualKey) {
    int32_t k = virtualKey >= 0 && virtualKey < kKeyCount ? map_[virtualKey] : virtualKey;
    if (k < 0 || k >= kKeyCount) return;
    if (k == keyboard_key) keyboard_key = 0;
    held_[k] = false;
    released_[k] = true;
}

void InputState::CharTyped(uint32_t unit) {
    keyboard_lastchar = unit;
    // The text is typed_ from typed_start_ on. Trimming moves the start and compacts only
    // now and then, so a long run of typed text costs constant time per character.
    if (typed_.size() - typed_start_ > kKeyboardStringLimit) {
        typed_start_ = typed_.size() - kKeyboardStringLimit;
        if (typed_start_ >= kKeyboardStringLimit) {
            typed_.erase(0, typed_start_);
            typed_start_ = 0;
        }
    }
    if (unit == 8) {
        size_t n = typed_.size() - typed_start_;
        if (n == 0) return;
        // A character outside the basic plane is two units; remove it whole.
        const char16_t* t = typed_.data() + typed_start_;
        bool pair =
            n >= 2 && t[n - 1] >= 0xDC00 && t[n - 1] <= 0xDFFF && t[n - 2] >= 0xD800 && t[n - 2] <= 0xDBFF;
        typed_.resize(typed_.size() - (pair ? 2 : 1));
    } else if (unit > 31) {
        typed_.push_back(static_cast<char16_t>(unit));
    }
}

void InputState::TextTyped(std::string_view utf8) {
    std::u16string units = Utf8ToUtf16(utf8);
    for (char16_t u : units) CharTyped(u);
    // The last character as a whole code point, not its second surrogate.
    if (!utf8.empty()) {
        size_t pos = 0;
        char32_t cp = 0;
        while (pos < utf8.size()) pos += DecodeUtf8(utf8, pos, cp);
        keyboard_lastchar = cp;
    }
}

static int32_t ButtonIndex(int32_t button) {
    return button >= 1 && button <= 3 ? button : 1;
}

void InputState::MouseDown(int32_t button) {
    int32_t b = ButtonIndex(button);
    mouse_lastbutton = mouse_button = b;
    button_held_[b] = true;
    button_pressed_[b] = true;
}

void InputState::MouseUp(int32_t button) {
    int32_t b = ButtonIndex(button);
    mouse_button = 0;
    button_held_[b] = false;
    button_released_[b] = true;
}

void InputState::CloseRequest(bool closeAsEscape) {
    if (!closeAsEscape) {
        close_event_pending_ = true;
        return;
    }
    held_[kVkEscape] = true;
    keyboard_key = keyboard_lastkey = kVkEscape;
}

void InputState::Clear() {
    typed_.clear();
    typed_start_ = 0;
    keyboard_key = keyboard_lastkey = 0;
    keyboard_lastchar = 0;
    mouse_button = mouse_lastbutton = 0;
    held_.fill(false);
    pressed_.fill(false);
    released_.fill(false);
    button_held_.fill(false);
    button_pressed_.fill(false);
    button_released_.fill(false);
    wheel_up_ = wheel_down_ = false;
}

void InputState::ClearStepFlags() {
    pressed_.fill(false);
    released_.fill(false);
    button_pressed_.fill(false);
    button_released_.fill(false);
    wheel_up_ = wheel_down_ = false;
}

void InputState::ClearKey(int32_t key) {
    if (key < 0 || key >= kKeyCount) return;
    held_[key] = pressed_[key] = released_[key] = false;
}

void InputState::ClearButton(int32_t button) {
    if (button < 1 || button > 3) return;
    button_held_[button] = button_pressed_[button] = button_released_[button] = false;
}

bool InputState::CheckKeys(const std::array<bool, kKeyCount>& flags, int32_t key) {
    if (key == kVkNoKey || key == kVkAnyKey) {
        bool any = false;
        for (int i = 0; i < kKeyCount && !any; ++i) any = flags[i];
        return key == kVkAnyKey ? any : !any;
    }
    return key >= 2 && key < kKeyCount && flags[key];
}

bool InputState::CheckButtons(const std::array<bool, 4>& flags, int32_t button) {
    bool any = flags[1] || flags[2] || flags[3];
    if (button == -1) return any;
    if (button == 0) return !any;
    return button >= 1 && button <= 3 && flags[button];
}

std::string InputState::KeyboardString() const {
    return Utf16ToUtf8(std::u16string_view(typed_).substr(typed_start_));
}

void InputState::SetKeyboardString(std::string_view utf8) {
    typed_ = Utf8ToUtf16(utf8);
    typed_start_ = 0;
}

namespace {
InputPlatform g_headless;
InputPlatform* g_platform = &g_headless;
} // namespace

InputState& CurrentInput() {
    static InputState state;
    return state;
}

InputPlatform& CurrentInputPlatform() {
    return *g_platform;
}

void SetInputPlatform(InputPlatform* platform) {
    g_platform = platform ? platform : &g_headless;
}

} // namespace kestrin
