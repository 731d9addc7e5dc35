#include <gtest/gtest.h>

#include "runner/function_input.h"
#include "runner/input_state.h"
#include "script/value.h"

using namespace kestrin;

namespace {

double Call(const char* name, std::initializer_list<double> arguments) {
    RValue args[kMaxArguments];
    int32_t n = 0;
    for (double a : arguments) args[n++] = RValue(a);
    RValue result;
    for (const auto& f : InputFunctions())
        if (f.name == name) {
            f.routine(nullptr, nullptr, n, args, result);
            return result.val();
        }
    ADD_FAILURE() << name;
    return -1;
}

class InputTest : public ::testing::Test {
protected:
    void SetUp() override { CurrentInput() = InputState(); }
    void TearDown() override { SetInputPlatform(nullptr); }
    InputState& in = CurrentInput();
};

} // namespace

TEST_F(InputTest, PressAndReleaseBetweenStepsAreBothSeen) {
    in.KeyDown(37);
    in.KeyUp(37);
    EXPECT_TRUE(in.KeyPressed(37));
    EXPECT_TRUE(in.KeyReleased(37));
    EXPECT_FALSE(in.KeyHeld(37));
    in.ClearStepFlags();
    EXPECT_FALSE(in.KeyPressed(37));
    EXPECT_FALSE(in.KeyReleased(37));
    // Auto-repeat of a held key is not a new press.
    in.KeyDown(38);
    in.ClearStepFlags();
    in.KeyDown(38);
    EXPECT_FALSE(in.KeyPressed(38));
    EXPECT_TRUE(in.KeyHeld(38));
}

TEST_F(InputTest, KeyboardKeyFollowsTheLastKeyPressed) {
    in.KeyDown(65);
    in.KeyDown(66);
    in.KeyUp(65);
    EXPECT_EQ(in.keyboard_key, 66) << "releasing a key that is not keyboard_key leaves it";
    in.KeyUp(66);
    EXPECT_EQ(in.keyboard_key, 0);
    EXPECT_EQ(in.keyboard_lastkey, 66);
}

TEST_F(InputTest, PseudoCodesAndTheirTables) {
    EXPECT_TRUE(in.KeyHeld(kVkNoKey));
    EXPECT_FALSE(in.KeyHeld(kVkAnyKey));
    in.MouseDown(1);
    EXPECT_FALSE(in.KeyHeld(kVkAnyKey)) << "mouse buttons are not keys";
    in.KeyDown(200);
    EXPECT_FALSE(in.KeyHeld(kVkNoKey));
    EXPECT_TRUE(in.KeyHeld(kVkAnyKey));
    EXPECT_TRUE(in.KeyHeld(200));
    EXPECT_FALSE(in.KeyHeld(256));
    EXPECT_FALSE(in.KeyHeld(-3));
    EXPECT_TRUE(in.ButtonHeld(-1));
    EXPECT_FALSE(in.ButtonHeld(0));
    EXPECT_TRUE(in.ButtonHeld(1));
    EXPECT_FALSE(in.ButtonHeld(4));
    in.MouseUp(7);  // unknown buttons count as the left one
    EXPECT_TRUE(in.ButtonHeld(0));
    EXPECT_TRUE(in.ButtonReleased(1));
}

TEST_F(InputTest, KeyMapApplies) {
    in.SetMap(65, 66);
    in.KeyDown(65);
    EXPECT_TRUE(in.KeyHeld(66));
    EXPECT_FALSE(in.KeyHeld(65));
    EXPECT_EQ(in.GetMap(65), 66);
    EXPECT_EQ(in.GetMap(300), 300);
    in.SetMap(10, 999);  // maps outside the key range make the key do nothing
    in.KeyDown(10);
    EXPECT_EQ(in.keyboard_lastkey, 66);
    in.ResetMap();
    EXPECT_EQ(in.GetMap(65), 65);
}

TEST_F(InputTest, TypedTextLimitBackspaceAndControlCharacters) {
    in.CharTyped(8);
    EXPECT_EQ(in.KeyboardString(), "");
    in.TextTyped("ab\x01");
    EXPECT_EQ(in.KeyboardString(), "ab");
    in.CharTyped(8);
    EXPECT_EQ(in.KeyboardString(), "a");
    in.TextTyped("\xF0\x9F\x98\x80");  // one character, two code units
    EXPECT_EQ(in.keyboard_lastchar, 0x1F600u);
    in.CharTyped(8);
    EXPECT_EQ(in.KeyboardString(), "a") << "backspace removes the whole character";
    for (int i = 0; i < 1100; ++i) in.CharTyped('x');
    EXPECT_EQ(in.KeyboardString().size(), 1025u) << "1024 kept before the new character";

    // Long runs keep exactly the last characters, and trimmed ones never come back.
    in.Clear();
    for (int i = 0; i < 100000; ++i) in.CharTyped(static_cast<uint32_t>('a' + i % 26));
    std::string text = in.KeyboardString();
    ASSERT_EQ(text.size(), 1025u);
    EXPECT_EQ(text.back(), 'a' + (99999 % 26));
    EXPECT_EQ(text.front(), 'a' + ((100000 - 1025) % 26));
    for (int i = 0; i < 1500; ++i) in.CharTyped(8);
    EXPECT_EQ(in.KeyboardString(), "");
    in.CharTyped('z');
    EXPECT_EQ(in.KeyboardString(), "z");
}

TEST_F(InputTest, CloseRequestEitherHoldsEscapeOrLeavesTheEventPending) {
    in.CloseRequest(true);
    EXPECT_TRUE(in.KeyHeld(kVkEscape));
    EXPECT_FALSE(in.KeyPressed(kVkEscape));
    EXPECT_EQ(in.keyboard_lastkey, kVkEscape);
    EXPECT_FALSE(in.TakeCloseEvent());
    in.CloseRequest(false);
    EXPECT_TRUE(in.TakeCloseEvent());
    EXPECT_FALSE(in.TakeCloseEvent());
}

TEST_F(InputTest, ClearingAllAndPerStep) {
    in.KeyDown(40);
    in.MouseDown(2);
    in.WheelUp();
    in.TextTyped("hi");
    in.ClearStepFlags();
    EXPECT_TRUE(in.KeyHeld(40));
    EXPECT_FALSE(in.WheelWentUp());
    EXPECT_EQ(in.KeyboardString(), "hi");
    in.Clear();
    EXPECT_FALSE(in.KeyHeld(40));
    EXPECT_FALSE(in.ButtonHeld(2));
    EXPECT_EQ(in.KeyboardString(), "");
    EXPECT_EQ(in.mouse_lastbutton, 0);
}

TEST_F(InputTest, BuiltinsReadTheStateAndWaitsDoNotHangHeadless) {
    in.KeyDown(32);
    EXPECT_EQ(Call("keyboard_check", {32}), 1);
    EXPECT_EQ(Call("keyboard_check_pressed", {1}), 1);
    EXPECT_EQ(Call("keyboard_check_released", {32}), 0);
    Call("keyboard_key_release", {32});
    EXPECT_EQ(Call("keyboard_check_released", {32}), 1);
    Call("keyboard_set_map", {65, 90});
    EXPECT_EQ(Call("keyboard_get_map", {65}), 90);
    Call("keyboard_unset_map", {});
    EXPECT_EQ(Call("keyboard_get_map", {65}), 65);
    Call("keyboard_wait", {});  // headless: returns at once
    Call("mouse_wait", {});
    EXPECT_EQ(Call("joystick_exists", {1}), 0);
    EXPECT_EQ(Call("joystick_direction", {1}), 101);
    EXPECT_EQ(Call("joystick_pov", {2}), -1);
    Call("io_clear", {});
    EXPECT_EQ(Call("keyboard_check", {0}), 1);
}

TEST_F(InputTest, JoystickReadings) {
    JoystickState j;
    j.available = true;
    j.axis = {0, 65535, 32767, 0, 0, 0};
    j.button_bits = 0b101;
    j.pov = 9000;
    CurrentInput().SetJoystick(1, j);
    EXPECT_EQ(Call("joystick_exists", {1}), 0) << "joystick 1 is the system's first device";
    EXPECT_EQ(Call("joystick_exists", {2}), 1);
    EXPECT_EQ(Call("joystick_direction", {2}), 97);  // x left, y down
    EXPECT_EQ(Call("joystick_check_button", {2, 1}), 1);
    EXPECT_EQ(Call("joystick_check_button", {2, 2}), 0);
    EXPECT_EQ(Call("joystick_check_button", {2, 33}), 0);
    EXPECT_EQ(Call("joystick_xpos", {2}), -1);
    EXPECT_NEAR(Call("joystick_ypos", {2}), 1.0, 1e-4);
    EXPECT_EQ(Call("joystick_pov", {2}), 90);
}
