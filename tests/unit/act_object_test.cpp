// The instance, question, score/lives/health and particle actions through the action
// interpreter: applies-to over zero, one and several instances, questions with not, the
// lives and health events, creation with its create event, destroying once.

#include <gtest/gtest.h>

#include "script/random.h"
#include "tests/unit/act_fixture.h"

namespace kestrin {
namespace {

using testing::Act;
using testing::ActionOf;
using testing::Actions;
using testing::CodeAction;
using testing::Say;

class ActObjectTest : public testing::ActTest {
protected:
    // A question acting on the target object's instances (object 1) at the given x, then
    // "yes" or "no" by its answer.
    std::string Ask(Act question, const std::vector<int32_t>& xs) {
        Fresh();
        question.question = true;
        std::vector<ActionRecord> actions = {ActionOf(question)};
        for (ActionRecord& a : Actions("Pyes E Pno")) actions.push_back(a);
        AddActs("asker", actions);
        AddActs("target", {});
        std::vector<Placed> placed{{0}};
        for (int32_t x : xs) placed.push_back({1, x});
        StartRoom(placed);
        Log().clear();
        Perform();
        return TakeShort();
    }
    // The room's live instances of exactly that object.
    std::string Count(int32_t object) {
        int n = 0;
        for (const auto& i : World().Current()->r_instance)
            if (!i->i_marked && i->i_objectindex == object) ++n;
        return std::to_string(n);
    }
};

TEST_F(ActObjectTest, QuestionsWithNotAndAppliesTo) {
    struct Case {
        Act question;
        std::vector<int32_t> xs;
        const char* log;
    } cases[] = {
        // Applied to the target's instances: true only when true for all, true for none.
        {{"action_if_variable", {"x", "5", "2"}, false, 1}, {}, "yes"},
        {{"action_if_variable", {"x", "5", "2"}, false, 1}, {10}, "yes"},
        {{"action_if_variable", {"x", "5", "2"}, false, 1}, {10, 20}, "yes"},
        {{"action_if_variable", {"x", "5", "2"}, false, 1}, {10, 2}, "no"},
        {{"action_if_variable", {"x", "5", "2"}, false, 1, false, true}, {}, "yes"},
        {{"action_if_variable", {"x", "5", "2"}, false, 1, false, true}, {2, 3}, "yes"},
        {{"action_if_variable", {"x", "5", "2"}, false, 1, false, true}, {10, 2}, "no"},
        // Exact comparisons of reals, ordinal ones of strings, none across kinds.
        {{"action_if_variable", {"sqrt(2) * sqrt(2)", "2", "0"}}, {}, "no"},
        {{"action_if_variable", {"sqrt(2) * sqrt(2)", "2", "2"}}, {}, "yes"},
        {{"action_if_variable", {"1 / 4 + 1 / 2", "3 / 4", "0"}}, {}, "yes"},
        {{"action_if_variable", {"1", "2", "1"}}, {}, "yes"},
        {{"action_if_variable", {"\"B\"", "\"a\"", "1"}}, {}, "yes"},
        {{"action_if_variable", {"\"abc\"", "\"abc\"", "7"}}, {}, "yes"},
        {{"action_if_variable", {"1", "\"1\"", "0"}}, {}, "error: Cannot compare arguments. no"},
        {{"action_if_variable", {"1", "\"1\"", "0"}, false, -1, false, true},
         {},
         "error: Cannot compare arguments. yes"},
        {{"action_if_number", {"1", "2", "0"}}, {5, 6}, "yes"},
        {{"action_if_number", {"1", "2", "0"}}, {5}, "no"},
        {{"action_if_number", {"1", "2", "1"}}, {5}, "yes"},
        {{"action_if_number", {"1", "2", "2"}}, {5, 6, 7}, "yes"},
        {{"action_if", {"x > 3"}}, {}, "no"},
        {{"action_if", {"x < 3"}}, {}, "yes"},
        {{"action_if", {"\"text\""}}, {}, "no"},
        {{"action_if_dice", {"1"}}, {}, "yes"},
        {{"action_if_dice", {"0.5"}}, {}, "yes"},
        {{"action_if_dice", {"-3"}}, {}, "yes"},
        // One room only: neither a previous nor a next one.
        {{"action_if_previous_room", {}}, {}, "no"},
        {{"action_if_next_room", {}}, {}, "no"},
        {{"action_if_score", {"0", "0"}}, {}, "yes"},
        {{"action_if_life", {"0", "1"}}, {}, "yes"},
        {{"action_if_health", {"100", "2"}}, {}, "no"},
        {{"action_if_health", {"100", "0"}}, {}, "yes"},
        {{"action_if_sound", {"3"}}, {}, "no"},
        {{"action_if_mouse", {"1"}}, {}, "no"},
        {{"action_if_mouse", {"0"}}, {}, "yes"},
        {{"action_cd_present", {}}, {}, "no"},
        {{"action_cd_playing", {}}, {}, "no"},
        {{"action_if_aligned", {"16", "16"}}, {}, "yes"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Ask(c.question, c.xs), c.log)
            << c.question.function << " " << (c.question.args.empty() ? "" : c.question.args[0]) << " "
            << c.xs.size();
}

TEST_F(ActObjectTest, DiceAnswersWithItsProbability) {
    SetRandomSeed(12345);
    int yes = 0;
    const int runs = 4000;
    AddActs("asker", {ActionOf({"action_if_dice", {"4"}, false, -1, true}), CodeAction("global.yes += 1")});
    StartRoom({{0}});
    Eval("global.yes = 0", Nth(0));
    for (int i = 0; i < runs; ++i) Perform();
    yes = std::stoi(On("global.yes"));
    // Random(4000) < 1001: a little over one in four.
    EXPECT_NEAR(double(yes) / runs, 1001.0 / 4000, 0.03);
}

TEST_F(ActObjectTest, LivesAndHealthEventsFireOnCrossingToZero) {
    const std::vector<testing::EventCode> events = {{ev_other, ev_no_more_lives, Say("nolives")},
                                                    {ev_other, ev_no_more_health, Say("nohealth")}};
    struct Case {
        const char* before;
        Act act; // empty function: the assignment in `code` instead
        const char* code;
        const char* log;
    } cases[] = {
        {"lives = 1", {"action_set_life", {"0"}}, "", "nolives"},
        {"lives = 0", {"action_set_life", {"-1"}}, "", ""},
        {"lives = 3", {"action_set_life", {"-3"}, true}, "", "nolives"},
        {"lives = 3", {"action_set_life", {"-2"}, true}, "", ""},
        {"lives = 1", {}, "lives = 0", "nolives"},
        {"lives = 0", {}, "lives = -1", ""},
        {"lives = 1", {}, "lives -= 1", "nolives"},
        {"health = 1", {"action_set_health", {"0"}}, "", "nohealth"},
        {"health = 0", {"action_set_health", {"-1"}}, "", ""},
        {"health = 10", {"action_set_health", {"-10.5"}, true}, "", "nohealth"},
        {"health = 0.5", {}, "health = 0", "nohealth"},
        {"health = -1", {}, "health = -2", ""},
    };
    for (const Case& c : cases) {
        Fresh();
        std::vector<ActionRecord> actions;
        if (!c.act.function.empty())
            actions.push_back(ActionOf(c.act));
        else
            actions.push_back(CodeAction(c.code));
        AddActs("o", actions, events);
        StartRoom({{0}, {0}});
        Eval(c.before, Nth(0));
        Log().clear();
        Perform();
        // Every instance performs the event once.
        std::string expected = c.log;
        if (!expected.empty()) expected += " " + expected;
        EXPECT_EQ(TakeShort(), expected) << c.before << " " << c.act.function << c.code;
    }
}

TEST_F(ActObjectTest, ScoreLivesHealthAndCaptions) {
    struct Case {
        Act act;
        const char* before;
        const char* check;
        const char* expected;
    } cases[] = {
        {{"action_set_score", {"10.5"}}, "score = 3", "score", "10"},
        {{"action_set_score", {"5"}, true}, "score = 3", "score", "8"},
        {{"action_set_life", {"2"}, true}, "lives = 3", "lives", "5"},
        {{"action_set_health", {"-20.5"}, true}, "health = 50", "health", "29.50"},
        {{"action_set_caption", {"1", "\"S \"", "0.6", "\"L \"", "0", "\"H \""}},
         "show_score = 0",
         "string(show_score) + caption_score + string(show_lives) + caption_lives + string(show_health) + "
         "caption_health",
         "1S 1L 0H "},
        {{"action_set_caption", {"2", "\"\"", "1", "\"\"", "1", "\"\""}},
         "",
         "string(show_score) + string(show_lives) + string(show_health)",
         "011"},
    };
    for (const Case& c : cases) {
        Fresh();
        AddActs("o", {ActionOf(c.act)});
        StartRoom({{0}});
        Eval(c.before, Nth(0));
        Perform();
        EXPECT_EQ(On(c.check), c.expected) << c.act.function;
        EXPECT_EQ(TakeShort(), "");
    }
}

TEST_F(ActObjectTest, CreatingChangingAndDestroying) {
    struct Case {
        std::vector<Act> acts;
        const char* log;
        const char* count; // instances of objects 0 and 1 afterwards
    } cases[] = {
        {{{"action_create_object", {"1", "5", "6"}, true}}, "created 15,26", "1 1"},
        {{{"action_create_object", {"1", "5", "6"}}}, "created 5,6", "1 1"},
        {{{"action_create_object", {"7", "5", "6"}}},
         "error: Creating instance for non-existing object: 7",
         "1 0"},
        // Speed and direction are set before the create event runs.
        {{{"action_create_object_motion", {"1", "0", "0", "3", "90"}}}, "created 0,0 3/90", "1 1"},
        {{{"action_create_object_motion", {"9", "0", "0", "3", "90"}}},
         "error: Creating instance for non-existing object: 9",
         "1 0"},
        {{{"action_create_object_random", {"-1", "1", "40", "-1", "1", "2"}, true}}, "created 11,22", "1 1"},
        {{{"action_create_object_random", {"-1", "8", "40", "-1", "1", "2"}}}, "", "1 0"},
        // Destroyed once, however often asked.
        {{{"action_kill_object", {}}, {"action_kill_object", {}}}, "destroyed", "0 0"},
        {{{"action_change_object", {"1", "1"}}}, "destroyed created 10,20", "0 1"},
        {{{"action_change_object", {"1", "0"}}}, "", "0 1"},
    };
    for (const Case& c : cases) {
        Fresh();
        std::vector<ActionRecord> actions;
        for (const Act& a : c.acts) actions.push_back(ActionOf(a));
        AddActs("maker", actions, {{ev_destroy, 0, Say("destroyed")}});
        AddActs("made", {},
                {{ev_create, 0,
                  "var t; t = 'created ' + string(x) + ',' + string(y); if (speed != 0) t += ' ' + "
                  "string(speed) + "
                  "'/' + string(direction); show_debug_message(t)"}});
        StartRoom({{0, 10, 20}});
        Log().clear();
        Perform();
        EXPECT_EQ(TakeShort(), c.log) << c.acts[0].function;
        EXPECT_EQ(Count(0) + " " + Count(1), c.count) << c.acts[0].function;
    }
}

// The instances an applied action visits are counted before it starts: those it creates are
// not visited again.
TEST_F(ActObjectTest, AppliesToFixesItsCountFirst) {
    AddActs("maker", {ActionOf({"action_create_object", {"1", "1", "0"}, true, 1})});
    AddActs("made", {});
    StartRoom({{0}, {1, 0}, {1, 100}});
    Perform();
    EXPECT_EQ(Count(1), "4");
    // On other: the roles exchange, on nobody: nothing.
    Objects().Clear();
    World().Clear();
    AddActs("maker", {ActionOf({"action_set_hspeed", {"3"}, false, kOtherSelector}),
                      ActionOf({"action_set_vspeed", {"3"}, false, 55})});
    StartRoom({{0}, {0}});
    PerformEvent(Nth(0), Nth(1), ev_other, ev_user0);
    EXPECT_EQ(Eval("return string(hspeed) + ' ' + string(vspeed)", Nth(0)), "0 0");
    EXPECT_EQ(Eval("return string(hspeed) + ' ' + string(vspeed)", Nth(1)), "3 0");
}

TEST_F(ActObjectTest, ScriptsRunWithTheirArgumentsAndErrorsAreReported) {
    AddScript("scr_sum", "show_debug_message(string(argument0 + argument1 + argument4)); return 7");
    AddScript("scr_bad", "return undefined_thing + 1");
    ASSERT_TRUE(CompileScripts());
    AddActs("o", {ActionOf({"action_execute_script", {"0", "1", "2", "0", "0", "4"}}),
                  ActionOf({"action_execute_script", {"1", "0", "0", "0", "0", "0"}}),
                  ActionOf({"action_execute_script", {"9", "0", "0", "0", "0", "0"}})});
    StartRoom({{0}});
    Log().clear();
    Perform();
    const std::string log = TakeShort();
    EXPECT_EQ(log.substr(0, 2), "7 ") << log;
    EXPECT_NE(log.find("undefined_thing"), std::string::npos) << log;
}

TEST_F(ActObjectTest, ParticleSlots) {
    struct Case {
        std::vector<Act> acts;
        const char* log;
        const char* particles;
    } cases[] = {
        {{{"action_partemit_burst", {"0", "0", "10"}}},
         "error: The particle emitter must first be created.",
         "0"},
        {{{"action_partemit_create", {"3", "0", "0", "10", "0", "10"}},
          {"action_partemit_burst", {"4", "0", "10"}}},
         "error: The particle emitter must first be created.",
         "0"},
        {{{"action_parttype_create_old", {"0", "0", "1", "1", "255", "255"}},
          {"action_partemit_create", {"3", "0", "0", "10", "0", "10"}},
          {"action_partemit_burst", {"3", "0", "10"}}},
         "",
         "10"},
        // A destroyed emitter slot made again works.
        {{{"action_parttype_life", {"5", "100", "100"}},
          {"action_partemit_create", {"3", "0", "0", "10", "0", "10"}},
          {"action_partemit_destroy", {"3"}},
          {"action_partemit_burst", {"3", "5", "10"}},
          {"action_partemit_create", {"3", "0", "0", "10", "0", "10"}},
          {"action_partemit_stream", {"3", "5", "4"}},
          {"action_partemit_burst", {"3", "5", "6"}}},
         "error: The particle emitter must first be created.",
         "6"},
        {{{"action_parttype_create_old", {"0", "0", "1", "1", "255", "255"}},
          {"action_partemit_create", {"3", "0", "0", "10", "0", "10"}},
          {"action_partemit_burst", {"3", "0", "10"}},
          {"action_partsyst_clear", {}}},
         "",
         "0"},
        // Slots outside 0..15 are no slots.
        {{{"action_parttype_create_old", {"16", "0", "1", "1", "255", "255"}},
          {"action_partemit_create", {"-1", "0", "0", "10", "0", "10"}},
          {"action_partemit_burst", {"-1", "16", "10"}}},
         "error: The particle emitter must first be created.",
         "0"},
    };
    for (const Case& c : cases) {
        Fresh();
        std::vector<ActionRecord> actions;
        for (const Act& a : c.acts) actions.push_back(ActionOf(a));
        AddActs("o", actions);
        StartRoom({{0}});
        Log().clear();
        Perform();
        EXPECT_EQ(TakeShort(), c.log) << c.acts.back().function;
        const int32_t system = action::Particles().system;
        EXPECT_EQ(system >= 0 ? On("part_particles_count(" + std::to_string(system) + ")") : std::string("0"),
                  c.particles)
            << c.acts.back().function;
    }
    // Destroying the system empties every slot.
    Fresh();
    AddActs("o", {ActionOf({"action_partemit_create", {"0", "0", "0", "1", "0", "1"}}),
                  ActionOf({"action_partsyst_destroy", {}})});
    StartRoom({{0}});
    Perform();
    EXPECT_EQ(action::Particles().system, -1);
    EXPECT_EQ(action::Particles().emitters[0], -1);
}

} // namespace
} // namespace kestrin

namespace kestrin {
namespace {

class ActContractTest : public testing::ActTest {};

// A function action names a script as well as a built-in; the script sees the relative flag
// the action sets, and its answer decides a question. The flag is the action's own setting
// only when the action offers it.
TEST_F(ActContractTest, FunctionActionsCallScriptsWithTheRelativeFlag) {
    AddScript("scr_rel",
              "show_debug_message('rel ' + string(argument_relative) + ' ' + string(argument0)); return "
              "argument0 > 1");
    ASSERT_TRUE(CompileScripts());
    testing::Act offered{"scr_rel", {"2"}, true, -1, true};
    testing::Act notOffered{"scr_rel", {"1"}, true, -1, true, false, false};
    std::vector<ActionRecord> actions = {testing::ActionOf(offered)};
    for (ActionRecord& a : testing::Actions("Pyes E Pno")) actions.push_back(a);
    actions.push_back(testing::ActionOf(notOffered));
    for (ActionRecord& a : testing::Actions("Pyes E Pno")) actions.push_back(a);
    AddActs("o", actions);
    ASSERT_GE(Objects().Get(0)->GetEventDirect(ev_other, ev_user0)->e_actions[0].act_functionid,
              kFirstScriptFunction);
    StartRoom({{0}});
    Log().clear();
    Perform();
    EXPECT_EQ(TakeShort(), "rel 1 2 yes rel 0 1 no");
}

} // namespace
} // namespace kestrin
