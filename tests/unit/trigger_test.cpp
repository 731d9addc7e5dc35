// Triggers: their records and table, the constants they name, the preparation of their
// conditions, and the evaluation at the three step moments through the main loop (which
// instances, in which order, with which self and other, and what a condition may do).

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "base/stream.h"
#include "game/game_preparation.h"
#include "tests/unit/project_fixture.h"
#include "tests/unit/run_fixture.h"
#include "tools/project.h"
#include "world/timeline.h"
#include "world/trigger.h"

namespace kestrin {
namespace {

using testing::ObjectWith;
using testing::Say;

std::vector<uint8_t> RecordBytes(const TriggerRecord& record) {
    CStream out;
    record.SaveToStream(out);
    return out.TakeBytes();
}

RawResource Present(const TriggerRecord& record) {
    return {true, "", RecordBytes(record)};
}

class TriggerTest : public testing::RunTest {
protected:
    void SetUp() override {
        RunTest::SetUp();
        // Dispatch with box collisions, as the other run tests have it, plus the triggers.
        DispatchHooks hooks;
        hooks.triggers = Trigger_Evaluate;
        hooks.trigger_count = Trigger_Count;
        SetDispatchHooks(hooks);
        Loop().hooks.timelines = TimeLine_AdvanceAll;
    }
    void TearDown() override {
        RunTest::TearDown();
        Trigger_ClearAll();
        TimeLine_ClearAll();
        SetTriggerConstantLookup(nullptr);
        SetResourceNameLookup(nullptr);
    }

    // A prepared trigger; answers its index.
    static int32_t AddTrigger(const std::string& name, const std::string& condition, int32_t moment,
                              const std::string& constname = "") {
        auto trigger = std::make_unique<CTrigger>();
        trigger->Assign({kTriggerVersion, name, condition, moment, constname});
        EXPECT_TRUE(trigger->Prepare()) << LastCodeError();
        return Trigger_Add(std::move(trigger));
    }

    // What one step printed.
    std::string Step() {
        Log().clear();
        Loop().Step();
        return Take();
    }
};

TEST_F(TriggerTest, RecordsLoadKeepTheirSlotsAndRefuseOtherVersions) {
    const TriggerRecord door{kTriggerVersion, "trg_door", "return x > 3", 2, "DOOR"};
    ASSERT_TRUE(Trigger_LoadRecords({{}, Present(door)}));
    ASSERT_EQ(Trigger_Count(), 2);
    EXPECT_FALSE(Trigger_Exists(0));
    EXPECT_EQ(Trigger_GetName(0), "<Deleted>");
    EXPECT_EQ(Trigger_GetName(7), "<Deleted>");
    const CTrigger* t = Trigger_Get(1);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->i_name, "trg_door");
    EXPECT_EQ(t->i_condition, "return x > 3");
    EXPECT_EQ(t->i_moment, 2);
    EXPECT_EQ(t->i_constname, "DOOR");
    EXPECT_EQ(t->i_code, nullptr); // compiled only when prepared
    EXPECT_EQ(Trigger_Get(-1), nullptr);

    TriggerRecord other = door;
    other.version = 810;
    std::vector<uint8_t> cut = RecordBytes(door);
    cut.resize(cut.size() - 2);
    const struct {
        const char* what;
        RawResource bad;
    } cases[] = {
        {"another version", Present(other)},
        {"cut short", {true, "", cut}},
        {"empty", {true, "", {}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(Trigger_LoadRecords({Present(door), c.bad}));
        EXPECT_EQ(Trigger_Count(), 0); // nothing half loaded is left
    }
}

TEST_F(TriggerTest, ConstantsNameTheLowestIndexAndComeAfterResourceNames) {
    AddTrigger("a", "", 1, "TRG_SHARED");
    Trigger_Add(nullptr);
    AddTrigger("b", "", 1, "TRG_SHARED");
    AddTrigger("c", "", 1, "TRG_LAST");
    AddTrigger("d", "", 1, "");
    GameData game;
    game.Resources(ResourceKind::Object).push_back({true, "TRG_LAST", {}});
    UseResourceNames(game);
    AddObject("o", ObjectWith({}));
    StartRoom({{0}});
    EXPECT_EQ(Trigger_FindConstant("TRG_SHARED"), 0);
    EXPECT_EQ(Trigger_FindConstant("trg_shared"), -1); // exact case
    EXPECT_EQ(Trigger_FindConstant(""), -1);           // no constant is the empty name
    EXPECT_EQ(Eval("return TRG_SHARED", Nth(0)), "0.000000");
    EXPECT_EQ(Eval("return TRG_LAST", Nth(0)), "0.000000"); // the object's name wins
    EXPECT_EQ(EventName(ev_trigger, 2), "Trigger Event: b");
    EXPECT_EQ(EventName(ev_trigger, 1), "Trigger Event: <Deleted>");
    EXPECT_EQ(EventName(ev_trigger, 9), "Trigger Event: <Deleted>");
}

TEST_F(TriggerTest, AConditionThatDoesNotCompileStopsThePreparationFatally) {
    auto add = [](const std::string& name, const std::string& condition) {
        auto trigger = std::make_unique<CTrigger>();
        trigger->Assign({kTriggerVersion, name, condition, 1, ""});
        Trigger_Add(std::move(trigger));
    };
    add("trg_ok", "return true");
    add("trg_bad", "return (x");
    add("trg_later", "return true");
    EXPECT_FALSE(Trigger_PrepareAll());
    EXPECT_NE(Trigger_Get(0)->i_code, nullptr);
    EXPECT_EQ(Trigger_Get(2)->i_code, nullptr); // preparation stopped at the failure
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].rfind("error: COMPILATION ERROR in condition of trigger trg_bad\r", 0), 0u)
        << Log()[0];
    EXPECT_GT(Log()[0].size(),
              std::string("error: COMPILATION ERROR in condition of trigger trg_bad\r").size());
    EXPECT_TRUE(GameAborting());
    EXPECT_EQ(World().room_request, kRequestAbort);
}

TEST_F(TriggerTest, ConditionsFireAtTheirMomentWhenTheyYieldARealOfAtLeastAHalf) {
    struct Case {
        const char* condition;
        int32_t moment;
        double x;
        const char* log;
    } cases[] = {
        {"return x > 3", 1, 4, "T b s e"},
        {"return x > 3", 1, 3, "b s e"},
        {"return x > 3", 0, 4, "b T s e"},
        {"return x > 3", 2, 4, "b s T e"},
        {"return \"yes\"", 1, 4, "b s e"},
        {"return 0.5", 1, 0, "T b s e"},
        {"return 0.49", 1, 0, "b s e"},
        {"return -1", 1, 0, "b s e"},
        {"", 1, 0, "b s e"},
        {"return x > 3", 7, 4, "b s e"}, // no such moment
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.condition + std::string(" at ") + std::to_string(c.moment));
        Trigger_ClearAll();
        Objects().Clear();
        World().Clear();
        AddTrigger("trg", c.condition, c.moment);
        AddObject("o", ObjectWith({{ev_trigger, 0, Say("T")},
                                   {ev_step, ev_step_begin, Say("b")},
                                   {ev_step, ev_step_normal, Say("s")},
                                   {ev_step, ev_step_end, Say("e")}}));
        StartRoom({{0, static_cast<int32_t>(c.x), 0}});
        EXPECT_EQ(Step(), c.log);
        EXPECT_EQ(Step(), c.log); // every step again
    }
}

TEST_F(TriggerTest, TriggersThenObjectsThenInstancesInOrderWithTheInstanceAsSelfAndOther) {
    // Each condition says who ran it; each event says who performed it, with whom as other.
    const std::string cond = "show_debug_message(\"c\" + string(id) + \"/\" + string(other.id)); return true";
    AddTrigger("first", cond, 1);
    AddTrigger("second", cond, 1);
    auto event = [](const std::string& tag) {
        return "show_debug_message(\"" + tag + "\" + string(id) + \"/\" + string(other.id))";
    };
    const int32_t a =
        AddObject("a", ObjectWith({{ev_trigger, 0, event("A0:")}, {ev_trigger, 1, event("A1:")}}));
    const int32_t b = AddObject("b", ObjectWith({{ev_trigger, 0, event("B0:")}}));
    const int32_t deaf = AddObject("deaf", ObjectWith({{ev_step, 0, "x = x"}, {ev_trigger, 0, ""}}));
    StartRoom({{b}, {a}, {deaf}, {b}, {a}});
    EXPECT_EQ(Step(), "c100002/100002 A0:100002/100002 c100005/100005 A0:100005/100005 "
                      "c100001/100001 B0:100001/100001 c100004/100004 B0:100004/100004 "
                      "c100002/100002 A1:100002/100002 c100005/100005 A1:100005/100005");
}

TEST_F(TriggerTest, TriggerEventsAreInheritedThroughParents) {
    AddTrigger("trg", "show_debug_message(\"c\" + string(object_index)); return true", 1);
    const int32_t parent = AddObject(
        "parent", ObjectWith({{ev_trigger, 0, "show_debug_message(\"P\" + string(event_object))"}}));
    const int32_t child = AddObject("child", ObjectWith({}, parent));
    const int32_t grandchild = AddObject("grandchild", ObjectWith({}, child));
    const int32_t own = AddObject("own", ObjectWith({{ev_trigger, 0, Say("own")}}, parent));
    const int32_t unrelated = AddObject("unrelated", ObjectWith({}));
    StartRoom({{unrelated}, {own}, {grandchild}, {child}, {parent}});
    EXPECT_EQ(EventObjects(ev_trigger, 0), (std::vector<int32_t>{parent, child, grandchild, own}));
    EXPECT_EQ(Step(), "c0 P0 c1 P0 c2 P0 c3 own");
}

TEST_F(TriggerTest, TriggerEventListsMatchThePlainLookupOfEveryNumber) {
    // The lists walk each chain over the events it has; the plain definition asks every object
    // for every trigger number. Random parents (cycles included) and events, some empty.
    std::mt19937 random(20261211);
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        Objects().Clear();
        Trigger_ClearAll();
        const int32_t triggers = static_cast<int32_t>(random() % 12);
        for (int32_t i = 0; i < triggers; ++i)
            Trigger_Add(random() % 4 ? std::make_unique<CTrigger>() : nullptr);
        const int32_t objects = 1 + static_cast<int32_t>(random() % 10);
        for (int32_t o = 0; o < objects; ++o) {
            std::vector<testing::EventCode> events;
            const int32_t count = static_cast<int32_t>(random() % 4);
            for (int32_t e = 0; e < count; ++e) {
                const int32_t number = static_cast<int32_t>(random() % 16) - 2;
                events.push_back({ev_trigger, number, random() % 3 ? "x = x" : ""});
            }
            const int32_t parent = static_cast<int32_t>(random() % (objects + 2)) - 2;
            AddObject("o" + std::to_string(o), ObjectWith(events, parent));
        }
        BuildEventLists();
        for (int32_t number = -1; number <= triggers + 2; ++number) {
            std::vector<int32_t> plain;
            if (number >= 0 && number < triggers)
                for (int32_t o = 0; o < objects; ++o)
                    if (Objects().Get(o)->GetEventRecursive(ev_trigger, number)) plain.push_back(o);
            EXPECT_EQ(EventObjects(ev_trigger, number), plain) << "number " << number;
        }
    }
}

TEST_F(TriggerTest, AnEmptySlotKeepsTheIndicesOfLaterTriggers) {
    Trigger_Add(nullptr);
    AddTrigger("trg_one", "return true", 1);
    AddObject("o", ObjectWith({{ev_trigger, 0, Say("zero")},
                               {ev_trigger, 1, "show_debug_message(\"one \" + string(event_number))"}}));
    StartRoom({{0}});
    EXPECT_EQ(Step(), "one 1");
    EXPECT_TRUE(EventObjects(ev_trigger, 2).empty());
}

TEST_F(TriggerTest, AFailingConditionIsReportedOncePerStepAndTheOthersStillRun) {
    // Instances right of 5 fail: a variable nobody set.
    AddTrigger("trg_shaky", "if (x > 5) return nothing_here; return true", 1);
    AddTrigger("trg_after", "return true", 1);
    AddObject("o", ObjectWith({{ev_trigger, 0, "show_debug_message(\"ok \" + string(id))"},
                               {ev_trigger, 1, Say("after")}}));
    StartRoom({{0, 10, 0}, {0, 10, 0}, {0, 0, 0}});
    for (int step = 0; step < 2; ++step) {
        Loop().Step();
        ASSERT_EQ(Log().size(), 5u) << Joined();
        EXPECT_EQ(Log()[0].rfind("error: ERROR in trigger trg_shaky\r\n", 0), 0u) << Log()[0];
        EXPECT_NE(Log()[0].find("nothing_here"), std::string::npos) << Log()[0];
        EXPECT_EQ(Log()[1], "ok 100003");
        EXPECT_EQ(Log()[2], "after");
        Log().clear();
    }
    EXPECT_FALSE(GameAborting());
    EXPECT_EQ(World().room_request, kRequestNone);
}

TEST_F(TriggerTest, WhatAConditionDoesToTheWorld) {
    struct Case {
        const char* what;
        const char* condition;
        const char* log;
        size_t left; // instances after the step
    } cases[] = {
        {"destroys its instance: no event, the next one still asked",
         "if (x == 0) { instance_destroy(); return true } return x > 0", "destroy T", 1},
        {"creates instances: they wait for the next phase",
         "instance_create(50, 0, object_index); return x == 0", "T b b", 4},
        {"changes the room: nothing more this step", "room_goto(0); return true", "", 2},
        {"destroys every instance", "with (all) instance_destroy(); return true", "destroy destroy", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Trigger_ClearAll();
        Objects().Clear();
        World().Clear();
        AddTrigger("trg", c.condition, 1);
        AddObject("o", ObjectWith({{ev_trigger, 0, Say("T")},
                                   {ev_destroy, 0, Say("destroy")},
                                   {ev_step, ev_step_begin, "if (x == 50) show_debug_message(\"b\")"}}));
        StartRoom({{0, 0, 0}, {0, 10, 0}});
        Log().clear();
        Loop().Step();
        std::string said = Take();
        EXPECT_EQ(said, c.log);
        if (World().room_request == kRequestNone) {
            EXPECT_EQ(World().Current()->r_instance.size(), c.left);
        } else {
            EXPECT_EQ(c.left, 2u); // the room change left the room as it was
            World().room_request = kRequestNone;
        }
    }
}

TEST_F(TriggerTest, MomentsSitAroundTimeLinesAlarmsBoundaryAndCollisions) {
    SetInstanceSpriteHooks({nullptr, testing::SquareBox});
    AddTrigger("begin", "show_debug_message(\"T1\"); return false", 1);
    AddTrigger("normal", "show_debug_message(\"T0\"); return false", 0);
    AddTrigger("end", "show_debug_message(\"T2\"); return false", 2);
    const int32_t line = TimeLine_AddNew();
    ASSERT_TRUE(TimeLine_AddCode(line, 0, Say("timeline")));
    const int32_t other = AddObject("other", ObjectWith({}));
    AddObject("o", ObjectWith({{ev_trigger, 0, "x = x"},
                               {ev_trigger, 1, "x = x"},
                               {ev_trigger, 2, "x = x"},
                               {ev_alarm, 0, Say("alarm")},
                               {ev_collision, other, Say("collision")},
                               {ev_other, ev_outside, Say("outside")},
                               {ev_step, ev_step_begin, Say("b")},
                               {ev_step, ev_step_normal, Say("s")},
                               {ev_step, ev_step_end, Say("e")}}));
    StartRoom({{other, -100, 0}, {1, -100, 0}});
    CInstance& instance = *Nth(1);
    instance.i_timelineindex = line;
    instance.i_timelinespeed = 1;
    instance.i_timelinerunning = true;
    instance.SetAlarm(0, 1);
    EXPECT_EQ(Step(), "T1 b timeline alarm T0 s outside collision T2 e");
}

TEST(TriggerProject, ReadableTriggersAndOddRecordsComeBackByteForByte) {
    testing::TempFolder temp;
    std::vector<uint8_t> trailing = RecordBytes({kTriggerVersion, "t", "", 1, ""});
    trailing.push_back(0);
    GameData game;
    game.triggers = {Present({kTriggerVersion, "trg_door", "return x > 3", 2, "DOOR"}),
                     {},
                     Present({kTriggerVersion, "trg_odd", "return \"yes\"\r\n", 17, ""}),
                     Present({810, "trg_other_version", "", 1, ""}),
                     {true, "", trailing},
                     {true, "", {1, 2, 3}}};
    std::string error;
    ASSERT_TRUE(SaveProject(game, temp / "p", error)) << error;
    std::ifstream in(temp / "p" / "game.json");
    std::stringstream text;
    text << in.rdbuf();
    const std::string manifest = text.str();
    EXPECT_NE(manifest.find(R"("condition": "return x > 3")"), std::string::npos) << manifest;
    EXPECT_NE(manifest.find(R"("moment": "end_step")"), std::string::npos) << manifest;
    EXPECT_NE(manifest.find(R"("moment": 17)"), std::string::npos) << manifest;
    EXPECT_NE(manifest.find(R"("constant_name": "DOOR")"), std::string::npos) << manifest;
    GameData back;
    ASSERT_TRUE(LoadProject(temp / "p", back, error)) << error;
    ASSERT_EQ(back.triggers.size(), game.triggers.size());
    for (size_t i = 0; i < game.triggers.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(back.triggers[i].present, game.triggers[i].present);
        EXPECT_EQ(back.triggers[i].record, game.triggers[i].record);
    }
}

TEST(TriggerProject, FieldsTakeTheirDefaultsAndBadOnesAreNamed) {
    const struct {
        const char* triggers;
        const char* error; // empty: loads
        TriggerRecord record;
    } cases[] = {
        {R"([{}])", "", {}},
        {R"([{"name": "a", "moment": "step"}])", "", {kTriggerVersion, "a", "", 0, ""}},
        {R"([{"moment": "middle"}])", "game.json: triggers[0].moment: expected one of", {}},
        {R"([{"condition": 3}])", "game.json: triggers[0].condition: expected", {}},
        {R"([{"name": "a", "record": "2003000000000000000000000100000000000000"}])",
         "game.json: triggers[0]",
         {}},
        {R"([{"constant": "A"}])", "game.json: triggers[0]", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.triggers);
        testing::TempFolder temp;
        std::filesystem::create_directories(temp / "p");
        std::ofstream(temp / "p" / "game.json") << R"({"triggers": )" << c.triggers << "}";
        GameData game;
        std::string error;
        const bool loaded = LoadProject(temp / "p", game, error);
        if (std::string(c.error).empty()) {
            ASSERT_TRUE(loaded) << error;
            ASSERT_EQ(game.triggers.size(), 1u);
            EXPECT_EQ(game.triggers[0].record, RecordBytes(c.record));
        } else {
            EXPECT_FALSE(loaded);
            EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
        }
    }
}

} // namespace
} // namespace kestrin
