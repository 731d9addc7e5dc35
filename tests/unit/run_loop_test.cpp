// The main loop: the order of a step's phases, where a request cuts a step short, request
// handling between steps, the close button, and pacing through the room speed.

#include <gtest/gtest.h>

#include "game/run_session.h"
#include "script/random.h"
#include "tests/unit/run_fixture.h"

namespace kestrin {
namespace {

using testing::ObjectWith;
using testing::Say;

class LoopTest : public testing::RunTest {
protected:
    // Object 0 logs every event a step can raise for it; the event (type, number) also ends
    // the game.
    void AddRecorder(int32_t endType = -1, int32_t endNumber = -1) {
        std::vector<testing::EventCode> events = {{ev_create, 0, "alarm[0] = 1"},
                                                  {ev_step, ev_step_begin, Say("begin")},
                                                  {ev_alarm, 0, Say("alarm")},
                                                  {ev_keyboard, 65, Say("key")},
                                                  {ev_keypress, 65, Say("press")},
                                                  {ev_mouse, ev_global_left_press, Say("mouse")},
                                                  {ev_step, ev_step_normal, Say("step")},
                                                  {ev_other, ev_outside, Say("outside")},
                                                  {ev_step, ev_step_end, Say("end")},
                                                  {ev_other, ev_animation_end, Say("animation")}};
        for (auto& e : events)
            if (e.type == endType && e.number == endNumber) e.code += "; game_end()";
        AddObject("recorder", ObjectWith(events));
    }
    static void Draw() { Log().push_back("draw"); }
};

TEST_F(LoopTest, AStepRunsItsPhasesInOrder) {
    AddRecorder();
    StartRoom({{0, -100, -100}});
    SetInstanceSpriteHooks({[](int32_t) { return 1; }, nullptr, nullptr});
    Loop().hooks.draw_room = Draw;
    CurrentInput().KeyDown(65);
    CurrentInput().MouseDown(1);
    Log().clear();
    Loop().Step();
    EXPECT_EQ(Take(), "begin alarm key press mouse step outside end draw animation");
    // The pressed flags are cleared at the end of the step; the key stays held.
    Loop().Step();
    EXPECT_EQ(Take(), "begin key step outside end draw animation");
    EXPECT_EQ(Loop().state.cursor_frame, 2);
}

TEST_F(LoopTest, GameEndInBeginStepCutsTheStepShort) {
    AddRecorder(ev_step, ev_step_begin);
    StartRoom({{0, -100, -100}});
    Loop().hooks.draw_room = Draw;
    Log().clear();
    const double image = Nth(0)->i_imageindex;
    Loop().Step();
    EXPECT_EQ(Take(), "begin");
    EXPECT_EQ(Nth(0)->i_imageindex, image);
    EXPECT_EQ(Loop().state.cursor_frame, 0);
    EXPECT_EQ(World().room_request, kRequestEndGame);
    EXPECT_FALSE(Loop().HandleRequest());
}

TEST_F(LoopTest, EveryStopPointEndsTheStep) {
    // A request made in each phase's event: the later phases do not run.
    struct Case {
        int32_t type, number;
        const char* log;
    } cases[] = {
        {ev_step, ev_step_begin, "begin"},
        {ev_alarm, 0, "begin alarm"},
        {ev_keyboard, 65, "begin alarm key"},
        {ev_mouse, ev_global_left_press, "begin alarm key press mouse"},
        {ev_step, ev_step_normal, "begin alarm key press mouse step"},
        {ev_other, ev_outside, "begin alarm key press mouse step outside"},
        {ev_step, ev_step_end, "begin alarm key press mouse step outside end"},
    };
    for (const Case& c : cases) {
        Objects().Clear();
        World().Clear();
        AddRecorder(c.type, c.number);
        StartRoom({{0, -100, -100}});
        CurrentInput().Clear();
        CurrentInput().KeyDown(65);
        CurrentInput().MouseDown(1);
        Log().clear();
        Loop().hooks.draw_room = Draw;
        Loop().Step();
        EXPECT_EQ(Take(), c.log);
        World().room_request = kRequestNone;
    }
}

TEST_F(LoopTest, InstancesCreatedDuringAStepTakePartInItsLaterPhases) {
    AddObject("maker", ObjectWith({}));
    AddObject("made", ObjectWith({{ev_create, 0, Say("created")},
                                  {ev_step, ev_step_begin, Say("made.begin")},
                                  {ev_step, ev_step_normal, Say("made.step")}}));
    StartRoom({{0}});
    // The time-line phase comes after the begin step and before the step event.
    Loop().hooks.timelines = [] { World().CreateInstance(0, 0, 1); };
    Log().clear();
    Loop().Step();
    EXPECT_EQ(Take(), "created made.step");
}

TEST_F(LoopTest, DestroyedInstancesAreSkippedAndRemovedAtTheEndOfTheStep) {
    AddObject("a", ObjectWith({{ev_step, ev_step_normal, Say("step")}, {ev_destroy, 0, Say("destroyed")}}));
    StartRoom({{0}, {0}});
    Loop().hooks.timelines = [this] {
        World().DestroyInstance(Nth(0));
        World().DestroyInstance(Nth(1));
    };
    Log().clear();
    Loop().Step();
    EXPECT_EQ(Take(), "destroyed destroyed");
    EXPECT_EQ(World().Current()->r_numb(), 0);
}

TEST_F(LoopTest, RoomRequestsAreHandledBetweenSteps) {
    AddObject("a", ObjectWith({{ev_other, ev_room_start, "show_debug_message(\"start \" + string(room))"},
                               {ev_step, ev_step_normal, "room_goto(1)"}}));
    StartRoom({{0}});
    RoomRecord r;
    r.instances.push_back({});
    r.instances.back().id = 100500;
    auto second = std::make_unique<CRoom>();
    second->Assign(r);
    World().AddRoom("second", std::move(second));
    Log().clear();
    Loop().Step();
    EXPECT_EQ(World().room_request, 1);
    EXPECT_TRUE(Loop().HandleRequest());
    EXPECT_EQ(World().room_request, kRequestNone);
    EXPECT_EQ(World().CurrentIndex(), 1);
    EXPECT_EQ(Take(), "start 1");
}

TEST_F(LoopTest, RestartEndsTheGameAndStartsItAgain) {
    AddObject("a", ObjectWith({{ev_other, ev_game_start, Say("start")},
                               {ev_other, ev_game_end, Say("end")},
                               {ev_step, ev_step_normal, "score += 5; game_restart()"}}));
    StartRoom({{0}});
    Log().clear();
    Loop().StepOnce();
    EXPECT_EQ(Take(), "end start");
    EXPECT_EQ(GameValues().score, 0);
    EXPECT_EQ(World().room_request, kRequestNone);
}

TEST_F(LoopTest, LoopRunsUntilTheGameEndsAndPacesBySimulatedTime) {
    AddObject("a", ObjectWith({{ev_step, ev_step_normal,
                                "if (alarm[1] < 0) alarm[1] = 0; steps += 1; if (steps = 60) game_end()"},
                               {ev_create, 0, "steps = 0"}}));
    StartRoom({{0}});
    World().Current()->r_speed = 30;
    Loop().Loop();
    EXPECT_EQ(Loop().StepCount(), 60);
    // 60 frames of 33,333 µs each.
    EXPECT_EQ(clock_.NowMicros(), 60 * 33333);
    EXPECT_EQ(Loop().Fps(), 30);
}

TEST_F(LoopTest, RoomSpeedBelowOneIsCorrectedAfterTheStep) {
    AddObject("a", ObjectWith({{ev_step, ev_step_normal, "steps += 1; if (steps = 2) game_end()"},
                               {ev_create, 0, "steps = 0"}}));
    StartRoom({{0}});
    World().Current()->r_speed = 0;
    Loop().Loop();
    EXPECT_EQ(World().Current()->r_speed, 1);
}

TEST_F(LoopTest, TheCloseButtonEventRunsBetweenSteps) {
    AddObject("a", ObjectWith({{ev_other, ev_close_button, Say("close") + "; game_end()"},
                               {ev_step, ev_step_normal, Say("step")}}));
    StartRoom({{0}});
    Loop().after_step = [](int64_t step) {
        if (step == 2) CurrentInput().CloseRequest(false);
        return step < 10;
    };
    Log().clear();
    Loop().Loop();
    EXPECT_EQ(Take(), "step step close");
    EXPECT_EQ(Loop().StepCount(), 2);
}

TEST_F(LoopTest, EscapeEndsTheGameWhenTheSettingIsOn) {
    AddObject("a", ObjectWith({{ev_step, ev_step_normal, Say("step")}}));
    StartRoom({{0}});
    Loop().state.escape_ends_game = false;
    CurrentInput().KeyDown(kVkEscape);
    Log().clear();
    Loop().Step();
    EXPECT_EQ(Take(), "step");
    Loop().state.escape_ends_game = true;
    CurrentInput().KeyUp(kVkEscape);
    CurrentInput().KeyDown(kVkEscape);
    Loop().Step();
    EXPECT_EQ(Take(), "");
    EXPECT_EQ(World().room_request, kRequestEndGame);
}

TEST_F(LoopTest, SleepWaitsOnTheLoopClock) {
    AddObject("a", ObjectWith({}));
    StartRoom({{0}});
    Loop().Pacer().Start();
    const int64_t before = clock_.NowMicros();
    EXPECT_EQ(Eval("sleep(25.0004); return 1", Nth(0)), "1.000000");
    EXPECT_EQ(clock_.NowMicros() - before, 25000);
}

TEST_F(LoopTest, StateHashSeesWhatAReplayMustReproduce) {
    AddObject("a", ObjectWith({}));
    StartRoom({{0, 5, 5}, {0, 9, 9}});
    SetRandomSeed(7);
    const uint32_t base = GameStateHash();
    EXPECT_EQ(GameStateHash(), base);
    struct Change {
        const char* what;
        std::function<void()> apply, undo;
    } changes[] = {
        {"position", [this] { Nth(1)->SetPosition(10, 9); }, [this] { Nth(1)->SetPosition(9, 9); }},
        {"variable", [this] { (void)Eval("v = 1; return 0", Nth(0)); }, [this] { Nth(0)->i_vars.Clear(); }},
        {"global", [this] { (void)Eval("global.g = 1; return 0", Nth(0)); }, [] { GlobalsInit(); }},
        {"alarm", [this] { Nth(0)->SetAlarm(4, 3); }, [this] { Nth(0)->SetAlarm(4, -1); }},
        {"seed", [] { SetRandomSeed(8); }, [] { SetRandomSeed(7); }},
        {"score", [] { GameValues().score = 1; }, [] { GameValues().score = 0; }},
        {"destroyed", [this] { Nth(1)->i_marked = true; }, [this] { Nth(1)->i_marked = false; }},
    };
    for (const Change& c : changes) {
        c.apply();
        EXPECT_NE(GameStateHash(), base) << c.what;
        c.undo();
        EXPECT_EQ(GameStateHash(), base) << c.what;
    }
}

} // namespace
} // namespace kestrin
