// The movement, path, alarm and time-line actions, performed through the action interpreter:
// relative and absolute forms, and the direction string of action_move.

#include <gtest/gtest.h>

#include <map>

#include "script/random.h"
#include "tests/unit/act_fixture.h"

namespace kestrin {
namespace {

using testing::Act;
using testing::ActionOf;

class ActMoveTest : public testing::ActTest {};

struct Case {
    Act act;
    const char* setup; // code run on the instance first
    const char* check; // its value afterwards
    const char* expected;
};

TEST_F(ActMoveTest, EachActionInItsRelativeAndAbsoluteForm) {
    const std::vector<Case> cases = {
        {{"action_move", {"\"000001000\"", "4"}}, "", "string(speed) + ' ' + string(direction)", "4 0"},
        {{"action_move", {"\"010000000\"", "3"}}, "", "string(speed) + ' ' + string(direction)", "3 270"},
        {{"action_move", {"\"000000001\"", "3"}}, "", "string(speed) + ' ' + string(direction)", "3 45"},
        // The centre cell stops the instance.
        {{"action_move", {"\"000010000\"", "3"}},
         "speed = 5; direction = 90",
         "string(speed) + ' ' + string(direction)",
         "0 0"},
        // Relative: the speed is added before a direction is chosen.
        {{"action_move",
          {
              "\"100000000\"",
              "3",
          },
          true},
         "speed = 2; direction = 0",
         "string(speed) + ' ' + string(direction)",
         "5 225"},
        {{"action_move", {"\"000000000\"", "3"}},
         "speed = 2; direction = 90",
         "string(speed) + ' ' + string(direction)",
         "2 90"},
        {{"action_move", {"\"00000100\"", "3"}},
         "speed = 2",
         "speed",
         "2 | error: Wrong argument to action_move()."},
        {{"action_move", {"\"0000010000\"", "3"}},
         "speed = 2",
         "speed",
         "2 | error: Wrong argument to action_move()."},
        {{"action_move", {"5", "3"}}, "speed = 2", "speed", "2 | error: Wrong argument to action_move()."},
        {{"action_set_motion", {"90", "3"}}, "speed = 1", "string(direction) + ' ' + string(speed)", "90 3"},
        // Relative adds the motion vector.
        {{"action_set_motion", {"90", "2"}, true},
         "hspeed = 2",
         "string(hspeed) + ' ' + string(vspeed)",
         "2 -2"},
        {{"action_set_hspeed", {"3"}, true}, "hspeed = 2", "hspeed", "5"},
        {{"action_set_hspeed", {"3"}}, "hspeed = 2", "hspeed", "3"},
        // An action that does not offer the relative flag runs absolute whatever it stores.
        {{"action_set_hspeed", {"3"}, true, -1, false, false, false}, "hspeed = 2", "hspeed", "3"},
        {{"action_set_vspeed", {"-1"}, true}, "vspeed = 2", "vspeed", "1"},
        {{"action_set_gravity", {"10", "0.5"}, true},
         "gravity_direction = 260; gravity = 1",
         "string(gravity_direction) + ' ' + string(gravity)",
         "270 1.50"},
        {{"action_set_gravity", {"180", "0.5"}},
         "gravity = 1",
         "string(gravity_direction) + ' ' + string(gravity)",
         "180 0.50"},
        {{"action_set_friction", {"0.25"}, true}, "friction = 1", "friction", "1.25"},
        {{"action_move_to", {"5", "6"}, true}, "x = 10; y = 20", "string(x) + ' ' + string(y)", "15 26"},
        {{"action_move_to", {"5", "6"}}, "x = 10; y = 20", "string(x) + ' ' + string(y)", "5 6"},
        {{"action_move_start", {}}, "x = 10; y = 20", "string(x) + ' ' + string(y)", "0 0"},
        {{"action_move_point", {"100", "0"}, true},
         "x = 10; y = 20",
         "string(direction) + ' ' + string(speed)",
         "0 0"},
        {{"action_move_point", {"10", "40", "2"}},
         "x = 10; y = 20",
         "string(direction) + ' ' + string(speed)",
         "270 2"},
        {{"action_reverse_xdir", {}},
         "hspeed = 2; vspeed = 1",
         "string(hspeed) + ' ' + string(vspeed)",
         "-2 1"},
        {{"action_reverse_ydir", {}},
         "hspeed = 2; vspeed = 1",
         "string(hspeed) + ' ' + string(vspeed)",
         "2 -1"},
        {{"action_snap", {"16", "16"}}, "x = 21; y = 7", "string(x) + ' ' + string(y)", "16 0"},
        // Without a sprite the wrap jumps by exactly the room's size.
        {{"action_wrap", {"0"}},
         "x = -1; y = -1; hspeed = -1; vspeed = -1",
         "string(x) + ' ' + string(y)",
         "639 -1"},
        {{"action_wrap", {"2"}},
         "x = 640; y = -1; hspeed = 1; vspeed = -1",
         "string(x) + ' ' + string(y)",
         "0 479"},
        {{"action_wrap", {"1"}},
         "x = 640; y = 480; hspeed = 1; vspeed = 1",
         "string(x) + ' ' + string(y)",
         "640 0"},
        {{"action_path_position", {"0.5"}, true}, "path_position = 0.8", "path_position", "1"},
        {{"action_path_position", {"-2"}}, "path_position = 0.8", "path_position", "0"},
        {{"action_path_speed", {"2"}, true}, "path_speed = 1", "path_speed", "3"},
        // A relative alarm that is off starts at the steps; one running is added to.
        {{"action_set_alarm", {"5", "0"}, true}, "", "alarm[0]", "5"},
        {{"action_set_alarm", {"5", "0"}, true}, "alarm[0] = 3", "alarm[0]", "8"},
        {{"action_set_alarm", {"5", "11"}}, "alarm[11] = 3", "alarm[11]", "5"},
        {{"action_set_alarm", {"5", "12"}}, "", "alarm[0]", "-1"},
        {{"action_set_timeline", {"2", "4.5"}},
         "",
         "string(timeline_index) + ' ' + string(timeline_position) + ' ' + string(timeline_running)",
         "2 4 1"},
        // The start choice 0 starts the time line; 1 only selects it.
        {{"action_timeline_set", {"3", "5.5", "0", "1"}},
         "",
         "string(timeline_index) + ' ' + string(timeline_position) + ' ' + string(timeline_running) + ' ' + "
         "string(timeline_loop)",
         "3 6 1 1"},
        {{"action_timeline_set", {"3", "2", "1", "0"}},
         "timeline_running = 1",
         "string(timeline_position) + ' ' + string(timeline_running) + ' ' + string(timeline_loop)",
         "2 0 0"},
        {{"action_timeline_stop", {}},
         "timeline_position = 7; timeline_running = 1",
         "string(timeline_position) + ' ' + string(timeline_running)",
         "0 0"},
        {{"action_timeline_pause", {}},
         "timeline_position = 7; timeline_running = 1",
         "string(timeline_position) + ' ' + string(timeline_running)",
         "7 0"},
        {{"action_timeline_start", {}}, "", "timeline_running", "1"},
        {{"action_set_timeline_position", {"2.6"}, true}, "timeline_position = 7", "timeline_position", "10"},
        {{"action_set_timeline_speed", {"0.5"}, true}, "timeline_speed = 1", "timeline_speed", "1.50"},
    };
    for (const Case& c : cases) {
        Fresh();
        AddActs("mover", {ActionOf(c.act)});
        StartRoom({{0}});
        EXPECT_EQ(On("0"), "0");
        Eval(c.setup, Nth(0));
        Log().clear();
        Perform();
        std::string got = On(c.check);
        if (!Log().empty()) got += " | " + TakeShort();
        EXPECT_EQ(got, c.expected) << c.act.function << " " << c.setup;
    }
}

// Every direction the string allows comes up, and only those.
TEST_F(ActMoveTest, MoveDrawsOnlyAllowedDirections) {
    AddActs("mover", {ActionOf({"action_move", {"\"100000101\"", "1"}})});
    StartRoom({{0}});
    SetRandomSeed(7);
    std::map<std::string, int> seen;
    for (int i = 0; i < 300; ++i) {
        Perform();
        ++seen[On("direction")];
    }
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_GT(seen["225"], 50);
    EXPECT_GT(seen["135"], 50);
    EXPECT_GT(seen["45"], 50);
}

} // namespace
} // namespace kestrin
