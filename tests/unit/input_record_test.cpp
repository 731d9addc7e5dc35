#include <gtest/gtest.h>

#include "runner/input_record.h"
#include "runner/input_state.h"

using namespace kestrin;

TEST(InputRecord, FormatAndParseRoundTrip) {
    InputRecording r;
    r.seed = 4000000000u;
    r.Add(1, {InputEventKind::KeyDown, 37, 0, ""});
    r.Add(1, {InputEventKind::KeyUp, 37, 0, ""});
    r.Add(5, {InputEventKind::MouseMove, -3, 480, ""});
    r.Add(5, {InputEventKind::MouseDown, 2, 0, ""});
    r.Add(5, {InputEventKind::WheelUp, 0, 0, ""});
    r.Add(7, {InputEventKind::Text, 0, 0, "a \"q\" \\ \n\t\x01\xC3\xA9"});
    r.AddHash(60, 0x0000ABCDu);
    r.Add(61, {InputEventKind::Close, 0, 0, ""});
    InputEvent pad{InputEventKind::Joystick, 0, 0, ""};
    pad.joystick = {true, "Pad \"1\"", 6, 10, true, {0, 65535, 32767, 1, 2, 3}, 0x205, 9000};
    r.Add(62, pad);
    r.Add(62, {InputEventKind::Joystick, 1, 0, ""}); // joystick 2 unplugged
    std::string text = FormatInputRecording(r);
    EXPECT_EQ(text,
              "kestrin-input 1\n"
              "seed 4000000000\n"
              "1 key_down 37; key_up 37\n"
              "5 mouse_move -3 480; mouse_down 2; wheel_up\n"
              "7 text \"a \\\"q\\\" \\\\ \\n\\t\\x01\xC3\xA9\"\n"
              "60 hash 0000abcd\n"
              "61 close\n"
              "62 joystick 1 \"Pad \\\"1\\\"\" 6 10 1 0 65535 32767 1 2 3 517 9000; joystick 2 off\n");
    InputRecording back;
    std::string error;
    ASSERT_TRUE(ParseInputRecording(text, back, error)) << error;
    EXPECT_EQ(back.seed, r.seed);
    ASSERT_EQ(back.steps.size(), r.steps.size());
    for (size_t i = 0; i < r.steps.size(); ++i) {
        EXPECT_EQ(back.steps[i].step, r.steps[i].step);
        EXPECT_EQ(back.steps[i].events, r.steps[i].events);
        EXPECT_EQ(back.steps[i].hash, r.steps[i].hash);
    }
    size_t cursor = 0;
    EXPECT_EQ(back.Find(1, cursor), &back.steps[0]);
    EXPECT_EQ(back.Find(2, cursor), nullptr);
    EXPECT_EQ(back.Find(61, cursor), &back.steps[back.steps.size() - 2]);
    EXPECT_EQ(back.Find(63, cursor), nullptr);
}

TEST(InputRecord, HandEditedFilesWithCommentsAndSpaces) {
    InputRecording r;
    std::string error;
    ASSERT_TRUE(ParseInputRecording("# made by hand\n\nkestrin-input 1\r\n  3   key_down 32 ;key_up 32\r\n# end\n", r, error))
        << error;
    ASSERT_EQ(r.steps.size(), 1u);
    EXPECT_EQ(r.steps[0].events.size(), 2u);
    EXPECT_FALSE(r.seed.has_value());
}

const char* const kBadJoystick =
    "line 2: joystick: expected \"off\" or a quoted name, axes, buttons, pov 0 or 1, six axis positions 0 to "
    "65535, the button bits and the pov angle";

TEST(InputRecord, ErrorsNameTheLine) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"", "line 1: expected the header \"kestrin-input 1\""},
        {"kestrin-input 2\n", "line 1: expected the header \"kestrin-input 1\""},
        {"kestrin-input 1\nseed x\n", "line 2: expected \"seed N\""},
        {"kestrin-input 1\n0 close\n", "line 2: expected a step number from 1 up"},
        {"kestrin-input 1\n5 close\n5 close\n", "line 3: step 5 is not after step 5"},
        {"kestrin-input 1\n1 jump\n", "line 2: unknown event \"jump\""},
        {"kestrin-input 1\n1 key_down\n", "line 2: key_down: expected a number"},
        {"kestrin-input 1\n1 mouse_move 3\n", "line 2: mouse_move: expected two numbers"},
        {"kestrin-input 1\n1 text abc\n", "line 2: text: expected a quoted string"},
        {"kestrin-input 1\n1 text \"abc\n", "line 2: text: expected a quoted string"},
        {"kestrin-input 1\n1 text \"\\q\"\n", "line 2: text: expected a quoted string"},
        {"kestrin-input 1\n1 close close\n", "line 2: expected \";\" between events"},
        {"kestrin-input 1\n1 hash zz\n", "line 2: expected a hexadecimal hash"},
        {"kestrin-input 1\n99999999999999999999 close\n", "line 2: expected a step number from 1 up"},
        {"kestrin-input 1\n1 joystick 3 off\n", "line 2: joystick: expected joystick 1 or 2"},
        {"kestrin-input 1\n1 joystick 1 on\n", kBadJoystick},
        {"kestrin-input 1\n1 joystick 1 \"p\" 7 10 1 0 0 0 0 0 0 0 0\n", kBadJoystick},  // 7 axes
        {"kestrin-input 1\n1 joystick 1 \"p\" 6 33 1 0 0 0 0 0 0 0 0\n", kBadJoystick}, // 33 buttons
        {"kestrin-input 1\n1 joystick 1 \"p\" 6 10 2 0 0 0 0 0 0 0 0\n", kBadJoystick},  // pov 2
        {"kestrin-input 1\n1 joystick 1 \"p\" 6 10 1 0 65536 0 0 0 0 0 0\n", kBadJoystick},
        {"kestrin-input 1\n1 joystick 1 \"p\" 6 10 1 0 0 0 0 0 0 0 65536\n", kBadJoystick},
        {"kestrin-input 1\n1 joystick 1 \"p\" 6 10 1 0 0 0 0 0\n", kBadJoystick}, // cut short
    };
    for (const auto& c : cases) {
        InputRecording r;
        r.seed = 7;
        std::string error;
        EXPECT_FALSE(ParseInputRecording(c.text, r, error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        EXPECT_EQ(r.seed, 7u) << "a failed parse leaves the recording alone";
    }
}

// A joystick's state is sent whenever the platform sees it differ from the game's; while the
// main loop holds events, only the last state of each stick reaches the next step.
TEST(InputRecord, HeldJoystickStatesKeepOnlyTheLastOfEachStick) {
    InputRecording recording;
    InputSink& sink = CurrentInputSink();
    sink.Reset(&recording);
    sink.Hold(true);
    for (uint32_t x : {100u, 200u, 300u}) {
        InputEvent e{InputEventKind::Joystick, 0, 0, ""};
        e.joystick.available = true;
        e.joystick.axis[0] = x;
        sink.Deliver(e);
    }
    InputEvent second{InputEventKind::Joystick, 1, 0, ""};
    second.joystick.available = true;
    sink.Deliver(second);
    sink.Hold(false);
    sink.BeginStep(4);
    ASSERT_EQ(recording.steps.size(), 1u);
    ASSERT_EQ(recording.steps[0].events.size(), 2u);
    EXPECT_EQ(recording.steps[0].events[0].joystick.axis[0], 300u);
    EXPECT_EQ(CurrentInput().Joystick(0).axis[0], 300u);
    EXPECT_TRUE(CurrentInput().Joystick(1).available);
    sink.Reset(nullptr);
    CurrentInput() = InputState();
}

TEST(InputRecord, EventsReachTheInputState) {
    InputState in;
    ApplyInputEvent({InputEventKind::KeyDown, 65, 0, ""}, in, true);
    ApplyInputEvent({InputEventKind::MouseMove, 10, 20, ""}, in, true);
    ApplyInputEvent({InputEventKind::Text, 0, 0, "ok"}, in, true);
    ApplyInputEvent({InputEventKind::Close, 0, 0, ""}, in, false);
    EXPECT_TRUE(in.KeyHeld(65));
    EXPECT_EQ(in.window_mouse_x, 10);
    EXPECT_EQ(in.window_mouse_y, 20);
    EXPECT_EQ(in.KeyboardString(), "ok");
    EXPECT_TRUE(in.TakeCloseEvent());
}
