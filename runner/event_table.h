#pragma once
// The event types and numbers the whole runner shares: the index into an object's event
// lists, and the numbers dispatch and scripts name (the script constants ev_* carry the
// same values).

#include <cstdint>

namespace kestrin {

// ORDER EventType: also the index into CObject's event lists.
enum EventType : int32_t {
    ev_create = 0,
    ev_destroy = 1,
    ev_alarm = 2,
    ev_step = 3,
    ev_collision = 4,
    ev_keyboard = 5,
    ev_mouse = 6,
    ev_other = 7,
    ev_draw = 8,
    ev_keypress = 9,
    ev_keyrelease = 10,
    ev_trigger = 11,
};
inline constexpr int32_t kEventTypeCount = 12;
inline constexpr int32_t kAlarmCount = 12;

enum StepEvent : int32_t { ev_step_normal = 0, ev_step_begin = 1, ev_step_end = 2 };

enum KeyEvent : int32_t { vk_nokey = 0, vk_anykey = 1 };

enum MouseEvent : int32_t {
    ev_left_button = 0,
    ev_right_button = 1,
    ev_middle_button = 2,
    ev_no_button = 3,
    ev_left_press = 4,
    ev_right_press = 5,
    ev_middle_press = 6,
    ev_left_release = 7,
    ev_right_release = 8,
    ev_middle_release = 9,
    ev_mouse_enter = 10,
    ev_mouse_leave = 11,
    ev_global_press = 12,
    ev_global_release = 13,
    ev_joystick1_left = 16,
    ev_joystick1_right = 17,
    ev_joystick1_up = 18,
    ev_joystick1_down = 19,
    ev_joystick1_button1 = 21,
    ev_joystick1_button8 = 28,
    ev_joystick2_left = 31,
    ev_joystick2_right = 32,
    ev_joystick2_up = 33,
    ev_joystick2_down = 34,
    ev_joystick2_button1 = 36,
    ev_joystick2_button8 = 43,
    ev_global_left_button = 50,
    ev_global_right_button = 51,
    ev_global_middle_button = 52,
    ev_global_left_press = 53,
    ev_global_right_press = 54,
    ev_global_middle_press = 55,
    ev_global_left_release = 56,
    ev_global_right_release = 57,
    ev_global_middle_release = 58,
    ev_mouse_wheel_up = 60,
    ev_mouse_wheel_down = 61,
};

enum OtherEvent : int32_t {
    ev_outside = 0,
    ev_boundary = 1,
    ev_game_start = 2,
    ev_game_end = 3,
    ev_room_start = 4,
    ev_room_end = 5,
    ev_no_more_lives = 6,
    ev_animation_end = 7,
    ev_end_of_path = 8,
    ev_no_more_health = 9,
    ev_user0 = 10,
    ev_user15 = 25,
    ev_close_button = 30,
    ev_outside_view0 = 40,
    ev_boundary_view0 = 50,
};

inline bool IsEventType(int32_t type) {
    return type >= 0 && type < kEventTypeCount;
}

} // namespace kestrin
