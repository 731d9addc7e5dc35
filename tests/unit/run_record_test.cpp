// Recording a session's own input: events the window delivers through the input sink while
// the game runs are written to the recording, and replaying that recording in a fresh run
// reaches the same state at every hash.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "runner/input_record.h"
#include "game/run_session.h"
#include "runner/settings.h"
#include "game/startup.h"
#include "script/variable_names.h"
#include "script/variables.h"
#include "tests/unit/run_fixture.h"

namespace kestrin {
namespace {

using testing::ObjectWith;

// Stands in for a window: at each pump it reports the mouse position and the events due at
// that pump, counting pumps so the schedule is the same whatever the loop's timing.
class ScriptedWindow : public InputPlatform {
public:
    struct Due {
        int pump;
        InputEvent event;
    };
    explicit ScriptedWindow(std::vector<Due> due) : due_(std::move(due)) {}

    void PumpMessages() override {
        const int64_t step = CurrentLoop() ? CurrentLoop()->StepCount() : 0;
        // The cursor drifts every few pumps, so some pumps report a move and most do not.
        CurrentInputSink().Deliver({InputEventKind::MouseMove, 10 + pumps_ / 7 * 3, 40 + pumps_ / 11, {}});
        for (const Due& d : due_) {
            if (d.pump != pumps_) continue;
            CurrentInputSink().Deliver(d.event);
            // Whether pumped between steps or by a script within step N, it counts for N + 1.
            delivered.push_back({step + 1, d.event});
        }
        ++pumps_;
    }

    std::vector<std::pair<int64_t, InputEvent>> delivered;

private:
    std::vector<Due> due_;
    int pumps_ = 0;
};

std::vector<std::string>& Messages() {
    static std::vector<std::string> messages;
    return messages;
}

class RecordTest : public testing::RunTest {
protected:
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove(live_, ignored);
        std::filesystem::remove(replayed_, ignored);
        RunTest::TearDown();
    }

    // A game whose state depends on when each kind of input arrives: the step number of each
    // press, the mouse position every step, the typed text, the wheel and the close button.
    void BuildGame() {
        const std::string step =
            "global.n += 1;"
            "if (keyboard_check(vk_right)) x += 2;"
            "if (keyboard_check_pressed(vk_space)) { global.presses += global.n; io_handle(); }"
            "if (mouse_check_button_pressed(mb_left)) global.clicks += global.n;"
            "if (mouse_wheel_up()) global.wheel += global.n;"
            "global.mx += mouse_x * global.n; global.my += mouse_y;"
            "global.typed = keyboard_string; global.r = random(100);";
        const std::string create = "global.n = 0; global.presses = 0; global.clicks = 0; global.wheel = 0;"
                                   "global.mx = 0; global.my = 0; global.typed = \"\"; global.r = 0;"
                                   "global.closed = 0";
        AddObject("player", ObjectWith({{ev_create, 0, create},
                                        {ev_step, ev_step_normal, step},
                                        {ev_other, ev_close_button, "global.closed += global.n"}}));
        RoomRecord r;
        r.width = 640;
        r.height = 480;
        RoomRecord::Instance i;
        i.object = 0;
        i.id = 100001;
        r.instances.push_back(i);
        auto room = std::make_unique<CRoom>();
        room->Assign(r);
        World().RoomOrder().push_back(World().AddRoom("room", std::move(room)));
    }

    int Play(InputPlatform& platform, const std::string& input, const std::string& record) {
        RunOptions options;
        options.headless = true;
        options.fast = true;
        options.frames = 130;
        options.seed = 17;
        options.input_file = input;
        options.record_file = record;
        CSettings settings;
        settings.close_as_escape = false;
        CurrentInput().close_as_escape = false;
        Messages().clear();
        return PlayGame(options, settings, false, platform,
                        [](const std::string& text) { Messages().push_back(text); });
    }

    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    const std::string live_ = ::testing::TempDir() + "kestrin_record_live.txt";
    const std::string replayed_ = ::testing::TempDir() + "kestrin_record_replayed.txt";
};

TEST_F(RecordTest, AWindowsOwnInputIsRecordedAndReplaysToTheSameState) {
    const int32_t right = 39, space = 32;
    ScriptedWindow window({
        {0, {InputEventKind::KeyDown, right, 0, {}}}, // before the first step
        {21, {InputEventKind::KeyDown, space, 0, {}}},
        {22, {InputEventKind::KeyUp, space, 0, {}}},
        {30, {InputEventKind::MouseDown, 1, 0, {}}},
        {33, {InputEventKind::MouseUp, 1, 0, {}}},
        {41, {InputEventKind::Text, 0, 0, "h\xc3\xa9"}},
        {50, {InputEventKind::WheelUp, 0, 0, {}}},
        {60, {InputEventKind::WheelDown, 0, 0, {}}},
        {90, {InputEventKind::KeyUp, right, 0, {}}},
        {150, {InputEventKind::Close, 0, 0, {}}},
        // Each space press makes the script pump within its step (io_handle).
        {170, {InputEventKind::KeyDown, space, 0, {}}},
        {171, {InputEventKind::KeyUp, space, 0, {}}},
        {230, {InputEventKind::KeyDown, right, 0, {}}},
    });
    BuildGame();
    ASSERT_EQ(Play(window, "", live_), kExitEnded) << ::testing::PrintToString(Messages());
    const uint32_t liveHash = GameStateHash();
    ASSERT_EQ(window.delivered.size(), 13u);

    // Every delivered event is in the recording at the step it was given to the game, after
    // the moves that came before it in the same step.
    InputRecording recording;
    std::string error;
    ASSERT_TRUE(ParseInputRecording(Read(live_), recording, error)) << error;
    size_t cursor = 0;
    size_t next = 0;
    for (const auto& step : recording.steps) {
        for (const InputEvent& e : step.events) {
            if (e.kind == InputEventKind::MouseMove) continue;
            ASSERT_LT(next, window.delivered.size());
            EXPECT_EQ(step.step, window.delivered[next].first) << "event " << next;
            EXPECT_EQ(e, window.delivered[next].second) << "event " << next;
            ++next;
        }
    }
    EXPECT_EQ(next, window.delivered.size());
    const InputStep* at60 = recording.Find(60, cursor);
    ASSERT_TRUE(at60 && at60->hash);
    const InputStep* at120 = recording.Find(120, cursor);
    ASSERT_TRUE(at120 && at120->hash);
    // The input made a difference to the state, so a replay without it would fail.
    for (const char* name : {"presses", "clicks", "wheel", "closed"}) {
        RValue v;
        ASSERT_TRUE(Globals().List().GetVar(VariableIndex(name), 0, v)) << name;
        EXPECT_GT(v.val(), 0) << name;
    }
    RValue typed;
    ASSERT_TRUE(Globals().List().GetVar(VariableIndex("typed"), 0, typed));
    EXPECT_EQ(typed.str(), "h\xc3\xa9");

    // A fresh run fed the recording: every hash matches and it records the same file again.
    RunTest::TearDown();
    RunTest::SetUp();
    BuildGame();
    InputPlatform headless;
    ASSERT_EQ(Play(headless, live_, replayed_), kExitEnded) << ::testing::PrintToString(Messages());
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(GameStateHash(), liveHash);
    EXPECT_EQ(Read(replayed_), Read(live_));
}

TEST_F(RecordTest, InputTakenWithinAStepIsRecordedBeforeTheHashOfThatStep) {
    InputRecording r;
    r.Add(61, {InputEventKind::KeyDown, 65, 0, {}});
    r.AddHash(60, 0xabcd);
    r.Add(61, {InputEventKind::KeyUp, 65, 0, {}});
    r.AddHash(62, 1);
    r.Add(59, {InputEventKind::WheelUp, 0, 0, {}});
    InputRecording parsed;
    std::string error;
    ASSERT_TRUE(ParseInputRecording(FormatInputRecording(r), parsed, error)) << error;
    ASSERT_EQ(parsed.steps.size(), 4u);
    EXPECT_EQ(parsed.steps[0].step, 59);
    EXPECT_EQ(parsed.steps[1].step, 60);
    EXPECT_EQ(parsed.steps[1].hash, 0xabcdu);
    EXPECT_EQ(parsed.steps[2].events.size(), 2u);
    EXPECT_EQ(parsed.steps[3].hash, 1u);
}

} // namespace
} // namespace kestrin
