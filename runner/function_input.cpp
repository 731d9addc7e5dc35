#include "runner/function_input.h"

#include "runner/input_state.h"
#include "base/numeric.h"
#include "base/utf.h"
#include "script/value.h"
#include "script/variable_names.h"

namespace kestrin {

namespace {

constexpr int kWaitMilliseconds = 50;

int32_t Int(const RValue& v) { return RoundToInt32(v.val()); }
RValue Bool(bool b) { return RValue(b ? 1.0 : 0.0); }

#define INPUT_ROUTINE(name) \
    void name([[maybe_unused]] CScriptInstance* self, [[maybe_unused]] CScriptInstance* other, \
              [[maybe_unused]] int32_t argc, [[maybe_unused]] const RValue* args, [[maybe_unused]] RValue& result)

INPUT_ROUTINE(keyboard_check) { result = Bool(CurrentInput().KeyHeld(Int(args[0]))); }
INPUT_ROUTINE(keyboard_check_pressed) { result = Bool(CurrentInput().KeyPressed(Int(args[0]))); }
INPUT_ROUTINE(keyboard_check_released) { result = Bool(CurrentInput().KeyReleased(Int(args[0]))); }
INPUT_ROUTINE(keyboard_check_direct) { result = Bool(CurrentInputPlatform().KeyDirect(Int(args[0]))); }
INPUT_ROUTINE(keyboard_set_map) { CurrentInput().SetMap(Int(args[0]), Int(args[1])); }
INPUT_ROUTINE(keyboard_get_map) { result = RValue(static_cast<double>(CurrentInput().GetMap(Int(args[0])))); }
INPUT_ROUTINE(keyboard_unset_map) { CurrentInput().ResetMap(); }

INPUT_ROUTINE(keyboard_get_numlock) {
    InputPlatform& p = CurrentInputPlatform();
    result = Bool(p.NumLockOn() && !p.KeyDirect(kVkNumLock));
}

INPUT_ROUTINE(keyboard_set_numlock) {
    bool wanted = IsTrue(args[0].val());
    if (wanted == CurrentInputPlatform().NumLockOn()) return;
    CurrentInput().KeyDown(kVkNumLock);
    CurrentInput().KeyUp(kVkNumLock);
    CurrentInputPlatform().ToggleNumLock();
}

INPUT_ROUTINE(keyboard_key_press) { CurrentInput().KeyDown(Int(args[0])); }
INPUT_ROUTINE(keyboard_key_release) { CurrentInput().KeyUp(Int(args[0])); }

INPUT_ROUTINE(keyboard_clear) {
    CurrentInputPlatform().PumpMessages();
    CurrentInput().ClearKey(Int(args[0]));
}

// Pumps messages until `arrived` holds. Waiting ends as soon as no input can come any more,
// so a headless run never hangs.
template <typename Arrived>
void WaitForInput(Arrived arrived) {
    InputPlatform& platform = CurrentInputPlatform();
    for (;;) {
        platform.PumpMessages();
        if (arrived() || !platform.InputCanArrive()) return;
        platform.Sleep(kWaitMilliseconds);
    }
}

INPUT_ROUTINE(keyboard_wait) {
    CurrentInput().keyboard_lastkey = 0;
    WaitForInput([] { return CurrentInput().keyboard_lastkey != 0; });
}

INPUT_ROUTINE(mouse_check_button) { result = Bool(CurrentInput().ButtonHeld(Int(args[0]))); }
INPUT_ROUTINE(mouse_check_button_pressed) { result = Bool(CurrentInput().ButtonPressed(Int(args[0]))); }
INPUT_ROUTINE(mouse_check_button_released) { result = Bool(CurrentInput().ButtonReleased(Int(args[0]))); }
INPUT_ROUTINE(mouse_wheel_up) { result = Bool(CurrentInput().WheelWentUp()); }
INPUT_ROUTINE(mouse_wheel_down) { result = Bool(CurrentInput().WheelWentDown()); }

INPUT_ROUTINE(mouse_clear) {
    CurrentInputPlatform().PumpMessages();
    CurrentInput().ClearButton(Int(args[0]));
}

INPUT_ROUTINE(mouse_wait) {
    CurrentInput().mouse_lastbutton = 0;
    WaitForInput([] { return CurrentInput().mouse_lastbutton != 0; });
}

INPUT_ROUTINE(io_clear) {
    CurrentInputPlatform().PumpMessages();
    CurrentInput().Clear();
}

INPUT_ROUTINE(io_handle) { CurrentInputPlatform().PumpMessages(); }

// Joystick 2 is the system's second device; any other number means the first.
const JoystickState& Joystick(const RValue& id) { return CurrentInput().Joystick(Int(id) == 2 ? 1 : 0); }

INPUT_ROUTINE(joystick_exists) { result = Bool(Joystick(args[0]).available); }
INPUT_ROUTINE(joystick_name) {
    const JoystickState& j = Joystick(args[0]);
    result = RValue(std::string_view(j.available ? j.name : std::string()));
}
INPUT_ROUTINE(joystick_axes) {
    const JoystickState& j = Joystick(args[0]);
    result = RValue(j.available ? static_cast<double>(j.axes) : 0.0);
}
INPUT_ROUTINE(joystick_buttons) {
    const JoystickState& j = Joystick(args[0]);
    result = RValue(j.available ? static_cast<double>(j.buttons) : 0.0);
}
INPUT_ROUTINE(joystick_has_pov) {
    const JoystickState& j = Joystick(args[0]);
    result = Bool(j.available && j.has_pov);
}

INPUT_ROUTINE(joystick_direction) {
    const JoystickState& j = Joystick(args[0]);
    if (!j.available) {
        result = RValue(101.0);
        return;
    }
    uint32_t x = j.axis[0], y = j.axis[1];
    int code = 96 + (y < 20000 ? 6 : y <= 44000 ? 3 : 0) + (x < 20000 ? 1 : x > 44000 ? 3 : 2);
    result = RValue(static_cast<double>(code));
}

INPUT_ROUTINE(joystick_check_button) {
    const JoystickState& j = Joystick(args[0]);
    int32_t b = Int(args[1]);
    result = Bool(j.available && b >= 1 && b <= 32 && (j.button_bits >> (b - 1) & 1u) != 0);
}

template <int Axis>
INPUT_ROUTINE(joystick_axis) {
    const JoystickState& j = Joystick(args[0]);
    result = RValue(j.available ? static_cast<double>(j.axis[Axis]) / 32767.0 - 1.0 : 0.0);
}

INPUT_ROUTINE(joystick_pov) {
    const JoystickState& j = Joystick(args[0]);
    result = RValue(!j.available || j.pov > 36000 ? -1.0 : static_cast<double>(j.pov) / 100.0);
}

constexpr RFunctionSpec kFunctions[] = {
    {"keyboard_check", keyboard_check, 1},
    {"keyboard_check_pressed", keyboard_check_pressed, 1},
    {"keyboard_check_released", keyboard_check_released, 1},
    {"keyboard_check_direct", keyboard_check_direct, 1},
    {"keyboard_set_map", keyboard_set_map, 2},
    {"keyboard_get_map", keyboard_get_map, 1},
    {"keyboard_unset_map", keyboard_unset_map, 0},
    {"keyboard_get_numlock", keyboard_get_numlock, 0},
    {"keyboard_set_numlock", keyboard_set_numlock, 1},
    {"keyboard_key_press", keyboard_key_press, 1},
    {"keyboard_key_release", keyboard_key_release, 1},
    {"keyboard_clear", keyboard_clear, 1},
    {"keyboard_wait", keyboard_wait, 0},
    {"mouse_check_button", mouse_check_button, 1},
    {"mouse_check_button_pressed", mouse_check_button_pressed, 1},
    {"mouse_check_button_released", mouse_check_button_released, 1},
    {"mouse_wheel_up", mouse_wheel_up, 0},
    {"mouse_wheel_down", mouse_wheel_down, 0},
    {"mouse_clear", mouse_clear, 1},
    {"mouse_wait", mouse_wait, 0},
    {"io_clear", io_clear, 0},
    {"io_handle", io_handle, 0},
    {"joystick_exists", joystick_exists, 1},
    {"joystick_name", joystick_name, 1},
    {"joystick_axes", joystick_axes, 1},
    {"joystick_buttons", joystick_buttons, 1},
    {"joystick_has_pov", joystick_has_pov, 1},
    {"joystick_direction", joystick_direction, 1},
    {"joystick_check_button", joystick_check_button, 2},
    {"joystick_xpos", joystick_axis<0>, 1},
    {"joystick_ypos", joystick_axis<1>, 1},
    {"joystick_zpos", joystick_axis<2>, 1},
    {"joystick_rpos", joystick_axis<3>, 1},
    {"joystick_upos", joystick_axis<4>, 1},
    {"joystick_vpos", joystick_axis<5>, 1},
    {"joystick_pov", joystick_pov, 1},
};

// Built-in variables of the input state.
bool ReadInt(int32_t value, RValue& out) {
    out = RValue(static_cast<double>(value));
    return true;
}

bool ReadMouseX(CScriptInstance*, int32_t, RValue& v) {
    v = RValue(CurrentInput().mouse_x);
    return true;
}
bool ReadMouseY(CScriptInstance*, int32_t, RValue& v) {
    v = RValue(CurrentInput().mouse_y);
    return true;
}

template <int32_t InputState::*Field>
bool ReadField(CScriptInstance*, int32_t, RValue& v) {
    return ReadInt(CurrentInput().*Field, v);
}

template <int32_t InputState::*Field>
bool WriteField(CScriptInstance*, int32_t, const RValue& v) {
    CurrentInput().*Field = RoundToInt32(v.val());
    return true;
}

bool ReadLastChar(CScriptInstance*, int32_t, RValue& v) {
    std::string text;
    if (uint32_t c = CurrentInput().keyboard_lastchar) AppendUtf8(text, static_cast<char32_t>(c));
    v = RValue(std::string_view(text));
    return true;
}

// The first character of the text, whole (not just its first byte); nothing for "".
bool WriteLastChar(CScriptInstance*, int32_t, const RValue& v) {
    std::string_view text = v.str();
    if (text.empty()) return true;
    char32_t c = 0;
    (void)DecodeUtf8(text, 0, c);
    CurrentInput().keyboard_lastchar = c;
    return true;
}

bool ReadTyped(CScriptInstance*, int32_t, RValue& v) {
    v = RValue(std::string_view(CurrentInput().KeyboardString()));
    return true;
}

bool WriteTyped(CScriptInstance*, int32_t, const RValue& v) {
    CurrentInput().SetKeyboardString(v.str());
    return true;
}

} // namespace

std::span<const RFunctionSpec> InputFunctions() { return kFunctions; }

void BindInputVariables() {
    BindBuiltinVariable("mouse_x", ReadMouseX, nullptr);
    BindBuiltinVariable("mouse_y", ReadMouseY, nullptr);
    BindBuiltinVariable("mouse_button", ReadField<&InputState::mouse_button>, WriteField<&InputState::mouse_button>);
    BindBuiltinVariable("mouse_lastbutton", ReadField<&InputState::mouse_lastbutton>,
                        WriteField<&InputState::mouse_lastbutton>);
    BindBuiltinVariable("keyboard_key", ReadField<&InputState::keyboard_key>, WriteField<&InputState::keyboard_key>);
    BindBuiltinVariable("keyboard_lastkey", ReadField<&InputState::keyboard_lastkey>,
                        WriteField<&InputState::keyboard_lastkey>);
    BindBuiltinVariable("keyboard_lastchar", ReadLastChar, WriteLastChar);
    BindBuiltinVariable("keyboard_string", ReadTyped, WriteTyped);
}

} // namespace kestrin
