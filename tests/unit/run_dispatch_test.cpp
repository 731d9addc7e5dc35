// The action interpreter (blocks, else, repeat, exit, applies-to, argument slots) and the
// dispatchers (per-event lists, collision pairs, solid push-back, inheritance, event_*).

#include <gtest/gtest.h>

#include "tests/unit/run_fixture.h"

namespace kestrin {
namespace {

using testing::Actions;
using testing::CodeAction;
using testing::ObjectWith;
using testing::Say;

class DispatchTest : public testing::RunTest {};

TEST_F(DispatchTest, ActionListsRunByTheirStructure) {
    struct Case {
        const char* actions;
        const char* log;
    } cases[] = {
        {"Pa Pb", "a b"},
        {"Q1 Pa Pb", "a b"},
        {"Q0 Pa Pb", "b"},
        {"N1 Pa Pb", "b"},
        {"N0 Pa Pb", "a b"},
        {"Q1 Pa E Pb Pc", "a c"},
        {"Q0 Pa E Pb Pc", "b c"},
        {"Q1 { Pa Pb } E Pc Pd", "a b d"},
        {"Q0 { Pa Pb } E { Pc Pd } Pe", "c d e"},
        // The else after a nested question belongs to the inner one when the outer holds, and
        // to the outer one when the outer fails (skipping never consumes an else).
        {"Q1 Q1 Pa E Pb Pc", "a c"},
        {"Q1 Q0 Pa E Pb Pc", "b c"},
        {"Q0 Q1 Pa E Pb Pc", "b c"},
        {"Q0 Q0 Pa E Pb Pc", "b c"},
        {"R3 Pa Pb", "a a a b"},
        {"R3 { Pa Pb } Pc", "a b a b a b c"},
        {"R0 Pa Pb", "b"},
        {"R-2 Pa Pb", "b"},
        {"R2.5 Pa", "a a"},
        {"R2 Q1 Pa Pb", "a a b"},
        {"R2 Q0 Pa Pb", "b"},
        {"R2 R2 Pa Pb", "a a a a b"},
        {"Q0 R3 Pa Pb", "b"},
        {"Pa { Pb X Pc } Pd", "a b"},
        {"R3 { Pa X }", "a"},
        {"Q1 { Q0 { Pa } E { Pb R2 Pc } } Pd", "b c c d"},
        {"Q0 { { Pa } Pb } Pc", "c"},
        {"{ Pa", "a"},
        {"Pa }", "a"},
        {"Q1", ""},
        // A question whose statement ends the list has no else to look at.
        {"Q1 Pa", "a"},
        {"Q0 Pa", ""},
        {"Pa Q1 { Pb }", "a b"},
        {"Q0 Pa E", ""},
    };
    for (const Case& c : cases) {
        Objects().Clear();
        World().Clear();
        AddActionObject("o", ev_create, 0, Actions(c.actions));
        Log().clear();
        StartRoom({{0}});
        EXPECT_EQ(Take(), c.log) << c.actions;
    }
}

TEST_F(DispatchTest, DamagedDataNestingActionsTooDeeplyEndsTheEventNotTheRunner) {
    std::string deep = "Pa";
    for (int32_t i = 0; i < 300000; ++i) deep += " {";
    deep += " Pb";
    AddActionObject("o", ev_create, 0, Actions(deep));
    Log().clear();
    StartRoom({{0}});
    EXPECT_EQ(Take(), "a");

    // Shallow nesting still runs, and skipping a long chain of questions costs no stack.
    std::string chain = "Q0";
    for (int32_t i = 0; i < 300000; ++i) chain += " R1";
    chain += " Pa Pb";
    Objects().Clear();
    World().Clear();
    AddActionObject("o", ev_create, 0, Actions("{ { { Pa } } } " + chain));
    StartRoom({{0}});
    EXPECT_EQ(Take(), "a b");
}

TEST_F(DispatchTest, AppliesToObjectAnswersForEveryInstance) {
    // Object 0 asks a question of object 1's instances; object 2 is a child of object 1.
    auto askAll = [](const std::string& question) {
        std::vector<ActionRecord> actions = Actions("Q1 Pyes E Pno");
        actions[0].useapplyto = true;
        actions[0].who = 1;
        actions[0].code = "return " + question;
        return actions;
    };
    struct Case {
        const char* question;
        std::vector<int32_t> xs; // instances of object 1, then one of object 2 at x 50
        const char* log;
    } cases[] = {
        {"x > 5", {}, "yes"},
        {"x > 5", {10, 20}, "yes"},
        {"x > 5", {10, 2}, "no"},
        {"x < 40", {10, 20}, "no"}, // the child instance at 50 answers too
    };
    for (const Case& c : cases) {
        Objects().Clear();
        World().Clear();
        AddActionObject("asker", ev_other, ev_user0, askAll(c.question));
        AddObject("target", ObjectWith({}));
        AddObject("child", ObjectWith({}, 1));
        std::vector<Placed> placed{{0}};
        for (int32_t x : c.xs) placed.push_back({1, x});
        if (!c.xs.empty()) placed.push_back({2, 50});
        StartRoom(placed);
        Log().clear();
        PerformEvent(Nth(0), Nth(0), ev_other, ev_user0);
        EXPECT_EQ(Take(), c.log) << c.question;
    }
}

TEST_F(DispatchTest, AppliesToRunsOnEachInstanceAndOnOtherWithRolesExchanged) {
    std::vector<ActionRecord> actions = {
        CodeAction(Say("x") + "; show_debug_message(string(x) + \"/\" + string(other.x))"),
        CodeAction("show_debug_message(string(x) + \"/\" + string(other.x))")};
    actions[0] = CodeAction("show_debug_message(string(x) + \"/\" + string(other.x))");
    actions[0].useapplyto = true;
    actions[0].who = 1;
    actions[1].useapplyto = true;
    actions[1].who = kOtherSelector;
    AddActionObject("a", ev_collision, 1, actions);
    AddObject("b", ObjectWith({}));
    StartRoom({{0, 1}, {1, 2}, {1, 3}});
    Log().clear();
    PerformEvent(Nth(0), Nth(1), ev_collision, 1);
    EXPECT_EQ(Take(), "2/2 3/2 2/1");
}

TEST_F(DispatchTest, CodeActionArgumentsFillSlotsInOrderAndAreRestored) {
    ActionRecord a;
    a.exetype = kExecuteCode;
    a.code = "show_debug_message(string(argument0) + \" \" + string(argument1))";
    a.argumentcount = 2;
    a.argtypes = {0, 0};
    a.args = {"10", "argument0 + 5"};
    ActionRecord after =
        CodeAction("show_debug_message(string(argument0) + \" \" + string(argument_relative))");
    a.userelative = true;
    a.relative = true;
    AddActionObject("o", ev_other, ev_user0, {a, after});
    StartRoom({{0}});
    Log().clear();
    PerformEvent(Nth(0), Nth(0), ev_other, ev_user0);
    EXPECT_EQ(Take(), "10 15 0 0");
}

TEST_F(DispatchTest, EventContextIsPublishedAndRestoredAroundNestedEvents) {
    const std::string show = "show_debug_message(string(event_type) + \",\" + string(event_number) + \",\" + "
                             "string(event_object) + "
                             "\",\" + string(event_action))";
    ObjectRecord o = ObjectWith({{ev_other, ev_user0 + 1, show}});
    EventRecord& e = o.events[ev_other].emplace_back();
    e.number = ev_user0;
    e.actions = {CodeAction("a = 1"), CodeAction(show + "; event_user(1); " + show)};
    AddObject("o", o);
    StartRoom({{0}});
    Log().clear();
    PerformEvent(Nth(0), Nth(0), ev_other, ev_user0);
    EXPECT_EQ(Take(), "7,10,0,1 7,11,0,0 7,10,0,1");
}

TEST_F(DispatchTest, EventInheritedWalksTheParentChain) {
    // great (0) <- grand (1) <- parent (2) <- child (3); the child inherits from grand.
    AddObject("great", ObjectWith({{ev_other, ev_user0, Say("great")}}));
    AddObject("grand", ObjectWith({{ev_other, ev_user0, Say("grand") + "; event_inherited()"}}, 0));
    AddObject("parent", ObjectWith({}, 1));
    AddObject("child", ObjectWith({}, 2));
    StartRoom({{3}});
    Log().clear();
    PerformEvent(Nth(0), Nth(0), ev_other, ev_user0);
    EXPECT_EQ(Take(), "grand great");
    EXPECT_EQ(Eval("event_perform_object(0, ev_other, ev_user0); event_inherited(); return 1", Nth(0)),
              "1.000000");
    EXPECT_EQ(Take(), "great");
}

TEST_F(DispatchTest, EventListsAndCollisionPairsFollowInheritance) {
    // 0 plain, 1 has collision with 2, 2 child of 3, 3 has collision with 0, 4 child of 1.
    AddObject("o0", ObjectWith({{ev_step, 0, "a=1"}}));
    AddObject("o1", ObjectWith({{ev_collision, 2, "a=1"}, {ev_keyboard, 200, "a=1"}}));
    AddObject("o2", ObjectWith({}, 3));
    AddObject("o3", ObjectWith({{ev_collision, 0, "a=1"}}));
    AddObject("o4", ObjectWith({}, 1));
    BuildEventLists();
    EXPECT_EQ(EventObjects(ev_step, 0), (std::vector<int32_t>{0}));
    EXPECT_EQ(EventObjects(ev_keyboard, 200), (std::vector<int32_t>{1, 4}));
    EXPECT_TRUE(EventObjects(ev_keyboard, 256).empty());
    EXPECT_TRUE(EventObjects(ev_step, 17).empty());
    EXPECT_TRUE(EventObjects(-1, 0).empty());
    using Pairs = std::vector<std::pair<int32_t, int32_t>>;
    EXPECT_EQ(CollisionPairs(), (Pairs{{0, 2}, {0, 3}, {1, 2}, {2, 4}}));
}

TEST_F(DispatchTest, CollisionRunsForBothInstancesWhereTheEventExists) {
    SetInstanceSpriteHooks({nullptr, testing::SquareBox});
    // Objects 0..2 plain, 3 has a collision event with 5 only.
    for (int i = 0; i < 3; ++i) AddObject("p" + std::to_string(i), ObjectWith({}));
    AddObject("three", ObjectWith({{ev_collision, 5, "show_debug_message(\"3 hits \" + string(other.id))"}}));
    AddObject("four", ObjectWith({}));
    AddObject("five", ObjectWith({{ev_collision, 4, Say("five")}}));
    StartRoom({{3, 0, 0}, {5, 8, 8}, {5, 100, 100}});
    Log().clear();
    DispatchCollisions();
    EXPECT_EQ(Take(), "3 hits 100002");
}

TEST_F(DispatchTest, SolidWallPutsTheMoverBack) {
    SetInstanceSpriteHooks({nullptr, testing::SquareBox});
    AddObject("mover", ObjectWith({{ev_collision, 1, "speed = 0; show_debug_message(string(x))"}}));
    ObjectRecord wall = ObjectWith({});
    wall.solid = true;
    AddObject("wall", wall);
    StartRoom({{0, 0, 0}, {1, 30, 0}});
    Nth(0)->SetHspeed(10);
    MainLoop& loop = Loop();
    loop.Step(); // 0 -> 10: no contact yet
    EXPECT_EQ(Nth(0)->i_x, 10);
    Log().clear();
    loop.Step(); // 10 -> 20 touches the wall: back to 10, where the event sees it, and stays
    EXPECT_EQ(Take(), "10");
    EXPECT_EQ(Nth(0)->i_x, 10);
    EXPECT_EQ(Nth(1)->i_x, 30);
}

TEST_F(DispatchTest, SolidWithoutStoppingMovesOnceMoreAndBackIfStillTouching) {
    SetInstanceSpriteHooks({nullptr, testing::SquareBox});
    AddObject("mover", ObjectWith({{ev_collision, 1, ""}}));
    ObjectRecord wall = ObjectWith({});
    wall.solid = true;
    AddObject("wall", wall);
    StartRoom({{0, 0, 0}, {1, 30, 0}});
    Nth(0)->SetHspeed(10);
    Loop().Step();
    Loop().Step();
    EXPECT_EQ(Nth(0)->i_x, 10); // moved to 20 again, still touching, put back
    EXPECT_EQ(Nth(0)->i_hspeed, 10);
}

TEST_F(DispatchTest, OutsideAndBoundaryJudgeBoxesOrPositions) {
    struct Case {
        bool box;
        int32_t x, y;
        bool outside, boundary;
    } cases[] = {
        {false, 10, 10, false, false}, {false, 640, 480, false, false}, {false, 641, 10, true, true},
        {false, -1, 10, true, true},   {true, 630, 10, false, true},    {true, 640, 10, false, true},
        {true, 641, 10, true, true},   {true, -15, 10, false, true},    {true, -16, 10, true, true},
        {true, 0, 0, false, false},
    };
    for (const Case& c : cases) {
        CInstance instance;
        instance.i_x = c.x;
        instance.i_y = c.y;
        if (c.box) testing::SquareBox(instance, instance.i_bbox);
        EXPECT_EQ(InstanceOutside(instance, 0, 0, 640, 480), c.outside)
            << c.x << "," << c.y << " box " << c.box;
        EXPECT_EQ(InstanceOnBoundary(instance, 0, 0, 640, 480), c.boundary)
            << c.x << "," << c.y << " box " << c.box;
    }
}

TEST_F(DispatchTest, KeyEventsCoverEveryKeyCodeAndTheAnyKey) {
    AddObject("o", ObjectWith({{ev_keyboard, 200, Say("k200")},
                               {ev_keyboard, vk_anykey, Say("any")},
                               {ev_keyboard, vk_nokey, Say("none")},
                               {ev_keypress, 37, Say("press37")},
                               {ev_keyrelease, vk_anykey, Say("released")}}));
    StartRoom({{0}});
    Log().clear();
    DispatchKeyboard(CurrentInput());
    EXPECT_EQ(Take(), "none");
    CurrentInput().KeyDown(200);
    CurrentInput().KeyDown(37);
    DispatchKeyboard(CurrentInput());
    EXPECT_EQ(Take(), "k200 any press37");
    CurrentInput().ClearStepFlags();
    CurrentInput().KeyUp(37);
    DispatchKeyboard(CurrentInput());
    EXPECT_EQ(Take(), "k200 any released");
}

TEST_F(DispatchTest, MouseEventsUnderTheCursorAndGlobal) {
    SetInstanceSpriteHooks({nullptr, testing::SquareBox});
    AddObject("o", ObjectWith({{ev_mouse, ev_left_button, "show_debug_message(\"left \" + string(id))"},
                               {ev_mouse, ev_no_button, "show_debug_message(\"nobutton \" + string(id))"},
                               {ev_mouse, ev_left_press, Say("press")},
                               {ev_mouse, ev_global_left_press, Say("globalpress")},
                               {ev_mouse, ev_mouse_enter, "show_debug_message(\"enter \" + string(id))"},
                               {ev_mouse, ev_mouse_leave, "show_debug_message(\"leave \" + string(id))"},
                               {ev_mouse, ev_mouse_wheel_up, Say("wheel")}}));
    StartRoom({{0, 0, 0}, {0, 100, 100}});
    CurrentInput().MouseMove(5, 5);
    Log().clear();
    DispatchMouse(CurrentInput());
    EXPECT_EQ(Take(), "nobutton 100001"); // the previous position (0, 0) was inside already
    CurrentInput().MouseDown(1);
    CurrentInput().MouseMove(105, 105);
    CurrentInput().WheelUp();
    DispatchMouse(CurrentInput());
    EXPECT_EQ(Take(), "left 100002 press globalpress globalpress enter 100002 leave 100001 wheel wheel");
}

TEST_F(DispatchTest, JoystickDirectionsAndButtons) {
    for (int32_t id = 0; id < 2; ++id) {
        JoystickState j;
        j.available = true;
        j.axis[0] = id == 0 ? 100 : 50000;           // 1: left, 2: right
        j.axis[1] = 30000;                           // neither up nor down
        j.button_bits = id == 0 ? 0b10 : 0b10000000; // 1: button 2, 2: button 8
        CurrentInput().SetJoystick(id, j);
    }
    std::vector<testing::EventCode> events;
    for (int32_t n = ev_joystick1_left; n <= ev_joystick2_button8; ++n)
        events.push_back({ev_mouse, n, Say(std::to_string(n))});
    AddObject("o", ObjectWith(events));
    StartRoom({{0}});
    Log().clear();
    DispatchJoysticks(CurrentInput());
    EXPECT_EQ(Take(), "16 22 32 43");
    // Clearing the input (room entry, io_clear) keeps where the sticks stand.
    CurrentInput().Clear();
    DispatchJoysticks(CurrentInput());
    EXPECT_EQ(Take(), "16 22 32 43");
    DispatchJoysticks(InputState());
    EXPECT_EQ(Take(), "");
    CurrentInput() = InputState();
}

TEST_F(DispatchTest, AlarmsCountDownOnlyForObjectsWithTheEvent) {
    AddObject("o", ObjectWith({{ev_alarm, 3, Say("ring")}}));
    AddObject("none", ObjectWith({}));
    StartRoom({{0}, {1}});
    Nth(0)->SetAlarm(3, 2);
    Nth(1)->SetAlarm(3, 2);
    Log().clear();
    DispatchAlarms();
    EXPECT_EQ(Take(), "");
    DispatchAlarms();
    EXPECT_EQ(Take(), "ring");
    DispatchAlarms();
    EXPECT_EQ(Nth(0)->GetAlarm(3), -1);
    EXPECT_EQ(Nth(1)->GetAlarm(3), 2);
}

TEST_F(DispatchTest, ARequestStopsTheRestOfTheEventAndLaterEvents) {
    std::vector<ActionRecord> actions = Actions("Pa");
    actions.push_back(CodeAction("game_end()"));
    actions.push_back(CodeAction(Say("after")));
    AddActionObject("o", ev_other, ev_user0, actions, {{ev_other, ev_user0 + 1, Say("later")}});
    StartRoom({{0}, {0}});
    Log().clear();
    PerformAll(ev_other, ev_user0);
    PerformEvent(Nth(1), Nth(1), ev_other, ev_user0 + 1);
    EXPECT_EQ(Take(), "a");
}

TEST_F(DispatchTest, RunnerFaultAbandonsTheEventAndRestoresArgumentsAndContext) {
    ActionRecord overflow;
    overflow.exetype = kExecuteCode;
    overflow.code = "var v; v = 1; repeat (400) v *= 10;";
    overflow.argumentcount = 1;
    overflow.argtypes = {0};
    overflow.args = {"7"};
    std::vector<ActionRecord> actions = Actions("Pa");
    actions.push_back(overflow);
    actions.push_back(CodeAction(Say("b")));
    AddActionObject("o", ev_other, ev_user0, actions);
    StartRoom({{0}});
    Log().clear();
    PerformEvent(Nth(0), Nth(0), ev_other, ev_user0);
    EXPECT_EQ(Log().front(), "a");
    EXPECT_EQ(Joined().find(" b"), std::string::npos);
    EXPECT_FALSE(CurrentEvent().active);
    EXPECT_EQ(ArgumentSlots()[0].val(), 0);
}

} // namespace
} // namespace kestrin
