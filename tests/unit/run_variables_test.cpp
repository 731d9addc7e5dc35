// Built-in variables: every entry of the table is bound, writes convert as their field
// needs, arrays fall back to element 0, and the writes with side effects perform their events.

#include <gtest/gtest.h>

#include "runner/game_world.h"
#include "runner/room.h"
#include "script/registry.h"
#include "script/variable_names.h"
#include "tests/unit/run_fixture.h"

namespace kestrin {
namespace {

using testing::ObjectWith;
using testing::Say;

class VariablesTest : public testing::RunTest {
protected:
    void SetUp() override {
        RunTest::SetUp();
        (void)FunctionCount(); // the registry binds the variables with the functions
        AddObject("o", ObjectWith({{ev_other, ev_no_more_lives, Say("no lives")},
                                   {ev_other, ev_no_more_health, Say("no health")}}));
        StartRoom({{0, 10, 20}, {0, 30, 40}}, 320, 240);
        Log().clear();
    }
};

TEST_F(VariablesTest, EveryBuiltinVariableIsBound) {
    ASSERT_EQ(BuiltinVariableCount(), 164);
    for (int32_t i = 0; i < BuiltinVariableCount(); ++i) EXPECT_NE(BuiltinVariable(i)->read, nullptr) << i;
}

TEST_F(VariablesTest, ReadsAndWritesWithTheirConversions) {
    struct Case {
        const char* code;
        const char* result;
    } cases[] = {
        {"return x + y", "30.000000"},
        {"x[5] = 3; return x", "3.000000"},
        {"y = 7.25; return y", "7.250000"},
        {"alarm[12] = 5; return alarm[0]", "5.000000"},
        {"alarm[3] = 2.5; return alarm[3]", "2.000000"},
        {"alarm[3] = 3.5; return alarm[3]", "4.000000"},
        {"alarm[0] = 4; return alarm[100]", "4.000000"},
        {"visible = 0.5; return visible", "0.000000"},
        {"visible = 0.51; return visible", "1.000000"},
        {"solid = -2; return solid", "0.000000"},
        {"solid = 1; return solid", "1.000000"},
        {"visible = \"abc\"; return visible", "0.000000"},
        {"hspeed = 3; vspeed = -4; return speed", "5.000000"},
        {"speed = 2; direction = 180; return hspeed", "-2.000000"},
        {"image_single = 2; return image_speed * 100 + image_index", "2.000000"},
        {"image_single = 2; return image_single", "2.000000"},
        {"image_single = -1; return image_speed", "1.000000"},
        {"return image_single", "-1.000000"},
        {"image_blend = 255.4; return image_blend", "255.000000"},
        {"return id", "100001.000000"},
        {"return instance_count", "2.000000"},
        {"return instance_id[1]", "100002.000000"},
        {"return instance_id[instance_count]", "-4.000000"},
        {"return room_width * 1000 + room_height", "320240.000000"},
        {"room_caption = \"Hello\"; return room_caption", "Hello"},
        {"room_speed = 60.4; return room_speed", "60.000000"},
        {"return room + room_first + room_last", "0.000000"},
        {"background_x[3] = 4.5; return background_x[3]", "4.500000"},
        {"background_x[9] = 6; return background_x[0]", "6.000000"},
        {"background_visible[2] = 0.6; return background_visible[2]", "1.000000"},
        {"view_xview[1] = 12.6; return view_xview[1]", "13.000000"},
        {"view_angle[8] = 1.5; return view_angle[0]", "1.500000"},
        {"return background_width[0]", "0.000000"},
        {"score = 10.5; return score", "10.000000"},
        {"return lives", "-1.000000"},
        {"return health", "100.000000"},
        {"caption_score = 7; return caption_score", ""},
        {"return caption_lives", "Lives: "},
        {"transition_kind = 3; return transition_kind", "3.000000"},
        {"return kestrin_version + os_type + os_browser", "809.000000"},
        {"argument[20] = 9; return argument0", "9.000000"},
        {"return event_type", "0.000000"},
        {"return fps", "0.000000"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Eval(c.code, Nth(0)), c.result) << c.code;
        Nth(0)->SetPosition(10, 20);
        Nth(0)->i_imagespeed = 1;
        Nth(0)->i_imageindex = 0;
    }
}

// Each stored view field is the variable its table line names, over the view of that index.
TEST_F(VariablesTest, ViewFieldsAreTheirVariables) {
    int32_t value = 40;
    for (const RecordField<RoomRecord::View>& f : kRoomViewFields) {
        const std::string name = f.variable;
        const bool flag = std::holds_alternative<bool RoomRecord::View::*>(f.member);
        const int32_t written = flag ? 1 : ++value;
        EXPECT_EQ(Eval(name + "[5] = " + std::to_string(written) + "; return " + name + "[5]", Nth(0)),
                  std::to_string(written) + ".000000")
            << name;
        const CView& view = World().Current()->r_view[5];
        const int32_t stored = flag ? view.*std::get<bool RoomRecord::View::*>(f.member)
                                    : view.*std::get<int32_t RoomRecord::View::*>(f.member);
        EXPECT_EQ(stored, written) << name;
    }
}

TEST_F(VariablesTest, ReadOnlyVariablesRefuseWrites) {
    for (const char* name : {"id", "object_index", "instance_count", "fps", "room_width", "bbox_left",
                             "event_type", "image_number", "path_index"}) {
        const std::string result = Eval(std::string(name) + " = 1", Nth(0));
        EXPECT_NE(result.find("Cannot assign to the variable"), std::string::npos) << name << ": " << result;
    }
}

TEST_F(VariablesTest, LivesAndHealthPerformTheirEventsWhenTheyRunOut) {
    struct Case {
        const char* code;
        const char* log;
    } cases[] = {
        {"lives = 3; lives = 0", "no lives no lives"},
        {"lives = 0", ""},
        {"lives = 0; lives = -1", ""},
        {"lives = 1; lives = -5", "no lives no lives"},
        {"health = 0.5; health = 0", "no health no health"},
        {"health = 0; health = -3", ""},
        {"health = -3; health = 10", ""},
    };
    for (const Case& c : cases) {
        GameValues().lives = 0;
        GameValues().health = 100;
        if (std::string(c.code).starts_with("health = 0;") || std::string(c.code).starts_with("health = -3"))
            GameValues().health = 0;
        Log().clear();
        EXPECT_EQ(Eval(std::string(c.code) + "; return 1", Nth(0)), "1.000000") << c.code;
        EXPECT_EQ(Take(), c.log) << c.code;
    }
}

TEST_F(VariablesTest, RoomSpeedRefusesValuesBelowOne) {
    World().Current()->r_speed = 30;
    const std::string result = Eval("room_speed = 0.4", Nth(0));
    EXPECT_NE(result.find("Cannot assign to the variable"), std::string::npos) << result;
    EXPECT_EQ(World().Current()->r_speed, 30);
    EXPECT_NE(Joined().find("Trying to set the room speed to a value <= 0."), std::string::npos) << Joined();
}

TEST_F(VariablesTest, RoomWritesRequestAChangeOrEndTheGame) {
    EXPECT_EQ(Eval("room = 0; return 1", Nth(0)), "1.000000");
    EXPECT_EQ(World().room_request, 0);
    World().room_request = kRequestNone;
    (void)Eval("room = 5", Nth(0));
    EXPECT_EQ(World().room_request, kRequestAbort);
    EXPECT_NE(Joined().find("Unexisting room number: 5"), std::string::npos) << Joined();
}

TEST_F(VariablesTest, BareScriptInstancesHaveNoInstanceVariables) {
    CScriptInstance bare;
    RValue value;
    EXPECT_FALSE(GetInstanceVar(&bare, VariableIndex("x"), 0, value));
    EXPECT_FALSE(SetInstanceVar(&bare, VariableIndex("alarm"), 0, RValue(1.0)));
    EXPECT_TRUE(GetInstanceVar(&bare, VariableIndex("id"), 0, value));
}

} // namespace
} // namespace kestrin
