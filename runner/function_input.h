#pragma once
// The keyboard, mouse, joystick and io_* built-ins, and the input built-in variables.

#include <span>

#include "script/builtin_routine.h"

namespace kestrin {

std::span<const RFunctionSpec> InputFunctions();
// mouse_x, mouse_y, mouse_button, mouse_lastbutton, keyboard_key, keyboard_lastkey,
// keyboard_lastchar and keyboard_string.
void BindInputVariables();

} // namespace kestrin
