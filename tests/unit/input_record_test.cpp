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
    std::string text = FormatInputRecording(r);
    EXPECT_EQ(text,
              "kestrin-input 1\n"
              "seed 4000000000\n"
              "1 key_down 37; key_up 37\n"
              "5 mouse_move -3 480; mouse_down 2; wheel_up\n"
              "7 text \"a \\\"q\\\" \\\\ \\n\\t\\x01\xC3\xA9\"\n"
              "60 hash 0000abcd\n"
              "61 close\n");
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
    EXPECT_EQ(back.Find(61, cursor), &back.steps.back());
    EXPECT_EQ(back.Find(62, cursor), nullptr);
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
