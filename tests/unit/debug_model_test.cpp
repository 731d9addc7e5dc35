// The debug window's model without a window: value texts, watches, code execution, the text
// windows and the run control over a real main loop, driven by command lists.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "debug/debug_commands.h"
#include "debug/debug_messages.h"
#include "debug/debug_model.h"
#include "debug/debug_session.h"
#include "runner/main_loop.h"
#include "tests/unit/run_fixture.h"

namespace kestrin::testing {
namespace {

class DebugTest : public RunTest {
protected:
    // An object counting its steps in global.steps and in its own `walked`.
    void StartCounting(int32_t walkers = 1) {
        AddObject("obj_walker", ObjectWith({{ev_create, 0, "walked = 0; hspeed = 1;"},
                                            {ev_step, ev_step_normal, "walked += 1; global.steps += 1;"}}));
        AddObject("obj_other", ObjectWith({{ev_create, 0, "tag = \"o\";"}}));
        std::vector<Placed> placed;
        for (int32_t i = 0; i < walkers; ++i) placed.push_back({0, 10 * i, 0});
        placed.push_back({1, 50, 50});
        World().library_init_code = {"global.steps = 0;"};
        SetResourceNameLookup([](std::string_view name, int32_t& index) {
            index = Objects().Find(name);
            return index >= 0;
        });
        StartRoom(placed);
        Loop().state.debug_mode = true;
    }

    // Plays the game under the commands until it ends or `frames` steps have run; answers what
    // the commands printed, one line each, and what they complained about after "!".
    std::string Play(const std::string& script, int64_t frames = 100) {
        std::vector<DebugCommand> commands;
        std::string error;
        EXPECT_TRUE(ParseDebugCommands(script, commands, error)) << error;
        std::string out;
        DebugModel model(&Loop());
        DebugCommandRunner runner(
            model, std::move(commands), [&out](const std::string& line) { out += line + "\n"; },
            [&out](const std::string& line) { out += "! " + line + "\n"; });
        Loop().hooks.debug_refresh = [&model] { model.Refresh(); };
        Loop().hooks.debug_idle = [&] {
            runner.Advance();
            if (runner.Finished() && model.Paused()) (void)model.Stop();
        };
        Loop().after_step = [frames](int64_t step) { return step < frames; };
        Loop().Loop();
        Loop().hooks.debug_idle = nullptr;
        Loop().hooks.debug_refresh = nullptr;
        return out;
    }

    double Global(const char* name) {
        RValue value;
        EXPECT_TRUE(Globals().List().GetVar(VariableIndex(name), 0, value));
        return value.val();
    }
};

TEST(DebugValueText, RealsShowTheFewestEvenDecimalsThatAreExact) {
    struct Case {
        double value;
        const char* text;
    } cases[] = {
        {1.0 / 3, "0.3333333333"},
        {0.25, "0.25"},
        {2, "2"},
        {-7, "-7"},
        {0.5, "0.50"},
        {0.125, "0.1250"},
        {1e-7, "0.00000010"},
        {-1e-13, "0"},
        {3 + 1e-13, "3"},
        {1e15, "1000000000000000"},
        {-2.75, "-2.75"},
        {NAN, "NAN"},
        {-INFINITY, "-INF"},
    };
    for (const Case& c : cases) EXPECT_EQ(DebugRealText(c.value), c.text) << c.value;
    EXPECT_EQ(DebugValueText(RValue("text 1.5")), "text 1.5");
    EXPECT_EQ(DebugVariableLine("x", RValue(1.5)), "x:                  1.50\r\n");
    EXPECT_EQ(DebugVariableLine("a_name_of_twenty_chars", RValue(1.0)), "a_name_of_twenty_chars:1\r\n");
    EXPECT_EQ(DebugSeparatorLine(), std::string(32, '_') + "\r\n");
}

TEST_F(DebugTest, WatchesShowValuesForATemporaryInstanceAndTheirErrorTexts) {
    StartCounting();
    DebugModel model(&Loop());
    Log().clear();
    for (const char* expression :
         {"global.steps + 2", "x", "1/3", "nosuchvar", "1 +", "obj_walker.walked", "\"a\" + x"})
        EXPECT_TRUE(model.AddWatch(expression));
    EXPECT_FALSE(model.AddWatch(""));
    const std::vector<std::string> expected = {
        "2", "0", "0.3333333333", msg::kRunError, msg::kCompileError, "0", msg::kRunError};
    ASSERT_EQ(model.Watches().size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(model.Watches()[i].value, expected[i]) << i;
    // Neither kind of failure reaches the error path.
    EXPECT_EQ(Take(), "");
    Nth(0)->i_vars.SetVar(VariableIndex("walked"), 0, RValue(4.0));
    model.Refresh();
    EXPECT_EQ(model.Watches()[5].value, "4");

    // Deleting the empty last row (and anything past it) does nothing; the rows below move up.
    EXPECT_FALSE(model.DeleteWatch(expected.size()));
    EXPECT_FALSE(model.DeleteWatch(99));
    EXPECT_TRUE(model.DeleteWatch(0));
    EXPECT_EQ(model.Watches()[0].expression, "x");
    // Changing the empty last row adds; an empty answer changes nothing.
    EXPECT_TRUE(model.ChangeWatch(model.Watches().size(), "7"));
    EXPECT_EQ(model.Watches().back().value, "7");
    EXPECT_FALSE(model.ChangeWatch(0, ""));
    EXPECT_TRUE(model.ChangeWatch(0, "0.25"));
    EXPECT_EQ(model.Watches()[0].value, "0.25");
    model.ClearWatches();
    EXPECT_TRUE(model.Watches().empty());
}

TEST_F(DebugTest, WatchFilesRoundTripLineByLine) {
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "kestrin_debug_watches.txt";
    DebugModel model;
    ASSERT_TRUE(model.AddWatch("1 + 1"));
    ASSERT_TRUE(model.AddWatch("global.x"));
    ASSERT_TRUE(model.SaveWatches(file.string()));
    DebugModel other;
    ASSERT_TRUE(other.AddWatch("3"));
    ASSERT_TRUE(other.LoadWatches(file.string()));
    ASSERT_EQ(other.Watches().size(), 3u);
    EXPECT_EQ(other.Watches()[1].expression, "1 + 1");
    EXPECT_EQ(other.Watches()[2].expression, "global.x");
    std::filesystem::remove(file);
    EXPECT_FALSE(other.LoadWatches(file.string()));
    EXPECT_FALSE(other.LoadWatches(std::filesystem::temp_directory_path().string()));
}

TEST_F(DebugTest, ExecutedCodeRunsInTheGameAndReportsItsRunErrors) {
    StartCounting(2);
    DebugModel model(&Loop());
    Log().clear();
    EXPECT_EQ(model.Execute(""), DebugModel::ExecuteResult::Empty);
    EXPECT_EQ(model.Execute("global.steps = 41; with (obj_walker) walked = id"),
              DebugModel::ExecuteResult::Ran);
    EXPECT_EQ(Global("steps"), 41);
    EXPECT_EQ(Eval("return walked", Nth(1)), std::to_string(100002.0));
    EXPECT_EQ(model.LastExecuted(), "global.steps = 41; with (obj_walker) walked = id");
    EXPECT_EQ(model.Execute("global.steps = "), DebugModel::ExecuteResult::CompileError);
    EXPECT_EQ(Take(), "");
    EXPECT_EQ(model.Execute("global.steps = nosuchvar"), DebugModel::ExecuteResult::Ran);
    EXPECT_NE(Take().find("error: "), std::string::npos);
}

TEST_F(DebugTest, RoomSpeedTakesOnlyIntegerAnswers) {
    StartCounting();
    DebugModel model(&Loop());
    EXPECT_EQ(model.RoomSpeed(), 30);
    for (const char* kept : {"", "fast", "12.5", "1e3", "99999999999"}) {
        EXPECT_FALSE(model.SetSpeed(kept)) << kept;
        EXPECT_EQ(World().Current()->r_speed, 30);
    }
    EXPECT_TRUE(model.SetSpeed(" 45 "));
    EXPECT_EQ(World().Current()->r_speed, 45);
    // Below 1 the room gets the lowest speed there is, as the loop would make it.
    for (const char* low : {"0", "-3"}) {
        EXPECT_TRUE(model.SetSpeed(low));
        EXPECT_EQ(World().Current()->r_speed, 1);
    }
}

TEST_F(DebugTest, TextWindowsListInRoomOrderAndFollowTheirInstance) {
    StartCounting(2);
    DebugModel model(&Loop());
    model.ShowInstances();
    EXPECT_EQ(model.InstancesWindow().text, std::string(msg::kInstancesHeader) +
                                                "100001     obj_walker    <undefined>\r\n"
                                                "100002     obj_walker    <undefined>\r\n"
                                                "100003      obj_other    <undefined>\r\n");
    EXPECT_EQ(model.InstancesWindow().caption, "All Instances");

    const auto byId = model.ShowLocal("100002");
    const auto byName = model.ShowLocal("obj_walker");
    const auto none = model.ShowLocal("obj_walk");
    ASSERT_TRUE(byId && byName && none);
    auto& locals = model.LocalWindows();
    EXPECT_EQ(locals[*byId].caption, "Local Variables for 100002");
    const std::string& byIdText = locals[*byId].text;
    EXPECT_EQ(byIdText.substr(0, 20), "x:                  ");
    EXPECT_NE(byIdText.find(DebugVariableLine("id", RValue(100002.0))), std::string::npos);
    EXPECT_NE(byIdText.find(DebugSeparatorLine() + DebugVariableLine("walked", RValue(0.0))),
              std::string::npos);
    EXPECT_NE(locals[*byName].text.find(DebugVariableLine("id", RValue(100001.0))), std::string::npos);
    EXPECT_EQ(locals[*none].text, msg::kNoSuchInstance);

    // The name window moves on to the next instance of the object, then finds none.
    Nth(0)->i_marked = true;
    model.Refresh();
    EXPECT_NE(locals[*byName].text.find(DebugVariableLine("id", RValue(100002.0))), std::string::npos);
    Nth(1)->i_marked = true;
    model.Refresh();
    EXPECT_EQ(locals[*byName].text, msg::kNoSuchInstance);
    EXPECT_EQ(locals[*byId].text, msg::kNoSuchInstance);
    // Hidden windows are not refreshed, and the first hidden one is reused.
    Nth(0)->i_marked = false;
    locals[*byName].visible = false;
    model.Refresh();
    EXPECT_EQ(locals[*byName].text, msg::kNoSuchInstance);
    EXPECT_EQ(model.ShowLocal("100003"), byName);
    EXPECT_EQ(locals[*byName].caption, "Local Variables for 100003");
    EXPECT_NE(locals[*byName].text.find(DebugVariableLine("tag", RValue("o"))), std::string::npos);
}

TEST_F(DebugTest, AHundredLocalWindowsAreTheMost) {
    DebugModel model;
    for (size_t i = 0; i < DebugModel::kMaxLocalWindows; ++i) ASSERT_TRUE(model.ShowLocal(std::to_string(i)));
    EXPECT_FALSE(model.ShowLocal("one more"));
    model.LocalWindows()[42].visible = false;
    EXPECT_EQ(model.ShowLocal("one more"), 42u);
    EXPECT_EQ(model.LocalWindows().size(), DebugModel::kMaxLocalWindows);
}

TEST_F(DebugTest, GlobalWindowListsTheBuiltinsThenTheGlobalsInOrder) {
    StartCounting();
    DebugModel model(&Loop());
    ASSERT_EQ(Eval("global.zeta = 1.5; global.alpha = \"a\"; return 0", Nth(0)), "0.000000");
    model.ShowGlobal();
    const std::string& text = model.GlobalWindow().text;
    EXPECT_EQ(text.substr(0, 22), "mouse_x:            0\r");
    EXPECT_NE(text.find("room_speed:         30\r\n"), std::string::npos);
    const std::string tail = "________________________________\r\nsteps:              0\r\n"
                             "zeta:               1.50\r\nalpha:              a\r\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    // Separators after the input, the room and the folders sections.
    size_t separators = 0;
    for (size_t at = text.find("____"); at != std::string::npos; at = text.find("\r\n____", at + 4))
        ++separators;
    EXPECT_EQ(separators, 3u);
}

TEST_F(DebugTest, StatusPanelsCountTheRoomsList) {
    StartCounting(2);
    DebugModel model(&Loop());
    Nth(0)->i_marked = true;
    model.Refresh();
    EXPECT_EQ(model.FpsPanel(), "0 fps");
    EXPECT_EQ(model.InstancePanel(), "3 inst");
    EXPECT_EQ(model.MousePanel(), "mouse id: ");
}

TEST_F(DebugTest, ShowDebugMessageReachesTheMessagesWindowAndStillPrints) {
    StartCounting();
    {
        DebugSession session(Loop(), false, "");
        ASSERT_TRUE(session.Ok());
        EXPECT_FALSE(session.Model().MessagesWindow());
        Log().clear();
        Eval("show_debug_message(\"one\"); show_debug_message(2.5)", Nth(0));
        EXPECT_EQ(Take(), "one 2.50");
        ASSERT_TRUE(session.Model().MessagesWindow());
        EXPECT_EQ(session.Model().MessagesWindow()->caption, "Messages");
        EXPECT_FALSE(session.Model().MessagesWindow()->visible);
        EXPECT_EQ(session.Model().MessagesWindow()->text, "one\r\n2.50\r\n");
        EXPECT_TRUE(session.Model().TakeMessageAdded());
        EXPECT_FALSE(session.Model().TakeMessageAdded());
    }
    // Without the session the messages go only where they went before.
    Eval("show_debug_message(\"three\")", Nth(0));
    EXPECT_EQ(Take(), "three");
    EXPECT_EQ(CurrentDebugModel(), nullptr);
}

TEST_F(DebugTest, TheMessagesWindowDropsItsOldestLinesPastItsLimit) {
    DebugModel model;
    const std::string line(1000, 'm');
    for (size_t i = 0; i < DebugModel::kMaxMessageBytes / 1000 + 10; ++i) model.AddMessage(line);
    model.AddMessage("last");
    const std::string& text = model.MessagesWindow()->text;
    EXPECT_LE(text.size(), DebugModel::kMaxMessageBytes);
    EXPECT_EQ(text.substr(0, 1000), line);
    EXPECT_EQ(text.substr(text.size() - 6), "last\r\n");
}

TEST_F(DebugTest, PauseStepAndContinueChangeTheStepCountExactly) {
    StartCounting();
    const std::string out = Play("watch global.steps\n"
                                 "wait 4\npause\ndump status\ndump watches\n"
                                 "step\nstep 3\ndump status\n"
                                 "wait 2\n" // refused while paused
                                 "continue\nwait 5\npause\ndump status\n"
                                 "pause\n", // refused: already paused
                                 100);
    EXPECT_EQ(out, "step 4 paused | 0 fps | 2 inst | mouse id: \n"
                   "== Watches ==\nglobal.steps = 4\n"
                   "step 8 paused | 0 fps | 2 inst | mouse id: \n"
                   "! line 9: wait: not available now: the game is paused\n"
                   "step 13 paused | 0 fps | 2 inst | mouse id: \n"
                   "! line 14: pause: not available now: the game is paused\n");
    EXPECT_EQ(Global("steps"), 13);
    EXPECT_EQ(Loop().StepCount(), 13);
    EXPECT_FALSE(Loop().state.running);
}

TEST_F(DebugTest, StepsStopAtTheEndOfTheGame) {
    StartCounting();
    // The frame limit ends the game in the middle of the steps asked for.
    const std::string out = Play("pause\nstep 10\ndump status\n", 3);
    EXPECT_EQ(Loop().StepCount(), 3);
    EXPECT_EQ(out, "");
    EXPECT_FALSE(Loop().state.running);
}

TEST_F(DebugTest, RestartStartsTheGameAgainAndContinues) {
    StartCounting();
    const std::string out = Play("wait 5\npause\nspeed 50\nrestart\ndump status\nwait 2\ndump status\n"
                                 "execute global.steps += 100\npause\ndump watches\nwatch global.steps\n"
                                 "watch room_speed\ndump watches\nstop\ndump status\n",
                                 100);
    EXPECT_EQ(out, "step 5 running | 0 fps | 2 inst | mouse id: \n"
                   "step 7 running | 0 fps | 2 inst | mouse id: \n"
                   "== Watches ==\n"
                   "== Watches ==\nglobal.steps = 102\nroom_speed = 30\n");
    EXPECT_EQ(Loop().StepCount(), 7);
}

TEST_F(DebugTest, ClosingTheWindowEndsOnlyAPausedGame) {
    StartCounting();
    DebugModel model(&Loop());
    Loop().state.running = true;
    model.CloseWindow();
    EXPECT_FALSE(model.WindowShown());
    EXPECT_TRUE(model.Running());
    model.ShowWindow();
    ASSERT_TRUE(model.Pause());
    EXPECT_FALSE(model.Enabled(DebugAction::Pause));
    EXPECT_TRUE(model.Enabled(DebugAction::Step) && model.Enabled(DebugAction::Run));
    model.CloseWindow();
    EXPECT_FALSE(model.Running());
    EXPECT_FALSE(model.Paused());
    for (DebugAction action :
         {DebugAction::Run, DebugAction::Pause, DebugAction::Step, DebugAction::Stop, DebugAction::Restart})
        EXPECT_FALSE(model.Perform(action));
}

TEST_F(DebugTest, ClosingTheGameWindowWhilePausedEndsTheGameWithoutItsEvent) {
    AddObject("closer", ObjectWith({{ev_other, ev_close_button, Say("close event")}}));
    StartRoom({{0}});
    Loop().state.debug_mode = true;
    DebugModel model(&Loop());
    int passes = 0;
    Loop().hooks.debug_idle = [&] {
        ++passes;
        if (Loop().StepCount() == 2 && !model.Paused()) {
            (void)model.Pause();
            CurrentInput().CloseRequest(false);
        }
    };
    Loop().after_step = [](int64_t step) { return step < 50; };
    Log().clear();
    Loop().Loop();
    Loop().hooks.debug_idle = nullptr;
    EXPECT_EQ(Loop().StepCount(), 2);
    EXPECT_EQ(passes, 3);
    EXPECT_FALSE(Loop().state.running);
    EXPECT_EQ(Take(), "");
}

TEST(DebugCommands, BadLinesAreRefusedWithTheirNumber) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"pause\n\n# note\njump", "line 4: jump: unknown command"},
        {"step 0", "line 1: step: needs a count from 1 to 1000000000"},
        {"step 1000000001", "line 1: step: needs a count from 1 to 1000000000"},
        {"wait", "line 1: wait: needs a count from 1 to 1000000000"},
        {"wait -3", "line 1: wait: needs a count from 1 to 1000000000"},
        {"pause now", "line 1: pause: takes nothing after the command"},
        {"watch   ", "line 1: watch: needs a text after the command"},
        {"change x 1", "line 1: change: needs a watch row from 1"},
        {"change 2", "line 1: change: needs a text after the command"},
        {"unwatch 0", "line 1: unwatch: needs a watch row from 1"},
        {"dump", "line 1: dump: needs a window: status, watches, globals, instances, messages or local N"},
        {"dump local",
         "line 1: dump: needs a window: status, watches, globals, instances, messages or local N"},
        {"show watches",
         "line 1: show: needs a window: status, watches, globals, instances, messages or local N"},
    };
    for (const Case& c : cases) {
        std::vector<DebugCommand> commands;
        std::string error;
        EXPECT_FALSE(ParseDebugCommands(c.text, commands, error)) << c.text;
        EXPECT_EQ(error, c.error);
    }
    std::vector<DebugCommand> commands;
    std::string error;
    ASSERT_TRUE(ParseDebugCommands("  step\t7 \r\nexecute  a = 1; b = 2 \r\ndump local 3\nchange 2 x + 1",
                                   commands, error));
    ASSERT_EQ(commands.size(), 4u);
    EXPECT_EQ(commands[0].count, 7);
    EXPECT_EQ(commands[1].argument, "a = 1; b = 2");
    EXPECT_EQ(commands[1].line, 2);
    EXPECT_EQ(commands[2].argument, "local 3");
    EXPECT_EQ(commands[3].count, 2);
}

} // namespace
} // namespace kestrin::testing
