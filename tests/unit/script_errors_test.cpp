#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "script/run_error.h"
#include "script_fixture.h"

using namespace kestrin;

namespace {

class ScriptErrors : public kestrin::testing::ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        SetErrorWindow(&window);
        ErrorHooks hooks;
        hooks.trace = [this](std::string_view line) { trace.emplace_back(line); };
        hooks.abort_game = [this] { ++aborts; };
        hooks.clear_input = [this] { ++inputClears; };
        hooks.object_name = [](int32_t index, std::string& name) {
            if (index != 3) return false;
            name = "obj_a";
            return true;
        };
        hooks.timeline_name = [](int32_t index, std::string& name) {
            if (index != 1) return false;
            name = "tl_intro";
            return true;
        };
        hooks.trigger_name = [](int32_t index, std::string& name) {
            if (index != 0) return false;
            name = "trg_door";
            return true;
        };
        SetErrorHooks(hooks);
    }
    void TearDown() override {
        SetErrorWindow(nullptr);
        SetErrorHooks({});
        ScriptTest::TearDown();
    }

    struct Window : ErrorWindow {
        bool Show(std::string_view text, bool allowIgnore) override {
            shown.emplace_back(text);
            ignoreOffered.push_back(allowIgnore);
            return answerAbort;
        }
        std::vector<std::string> shown;
        std::vector<bool> ignoreOffered;
        bool answerAbort = false;
    } window;
    std::vector<std::string> trace;
    int aborts = 0;
    int inputClears = 0;
};

TEST_F(ScriptErrors, Headings) {
    CurrentEvent() = {true, 3, 0, 3, 1};
    EXPECT_EQ(RunErrorText("msg", false),
              "ERROR in\r\naction number 2\r\nof  Step Event\r\nfor object obj_a:\r\n\r\nmsg");
    EXPECT_EQ(RunErrorText("msg", true),
              "FATAL ERROR in\r\naction number 2\r\nof  Step Event\r\nfor object obj_a:\r\n\r\nmsg");
    CurrentEvent() = {true, 8, 0, 12, 0};
    EXPECT_EQ(RunErrorText("m", false),
              "ERROR in\r\naction number 1\r\nof Draw Event\r\nfor object <undefined>:\r\n\r\nm");
    CurrentEvent() = {true, kTimeLineEventType, 40, 1, 2};
    EXPECT_EQ(RunErrorText("m", false),
              "ERROR in\r\naction number 3\r\nat time step 40\r\nof time line tl_intro:\r\n\r\nm");
    {
        EventScope scope({true, 0, 0, 3, 0});
        EXPECT_EQ(RunErrorText("m", false).substr(0, 44),
                  "ERROR in\r\naction number 1\r\nof Create Event\r\n");
    }
    EXPECT_EQ(CurrentEvent().type, kTimeLineEventType);
    CurrentEvent() = EventContext();
    EXPECT_EQ(RunErrorText("m", false), "m");
}

TEST_F(ScriptErrors, EventNames) {
    const struct {
        int32_t type, number;
        const char* name;
    } cases[] = {
        {0, 0, "Create Event"},
        {1, 0, "Destroy Event"},
        {2, 11, "Alarm Event for alarm 11"},
        {3, 0, " Step Event"},
        {3, 1, "Begin Step Event"},
        {3, 2, "End Step Event"},
        {3, 7, "<unknown> Step Event"},
        {4, 3, "Collision Event with object obj_a"},
        {4, 9, "Collision Event with object <undefined>"},
        {5, 37, "Keyboard Event for <Left> Key"},
        {5, 53, "Keyboard Event for 5-key Key"},
        {5, 65, "Keyboard Event for A-key Key"},
        {5, 100, "Keyboard Event for Keypad 4 Key"},
        {5, 106, "Keyboard Event for Keypad * Key"},
        {5, 123, "Keyboard Event for F12 Key"},
        {5, 200, "Keyboard Event for <unknown> Key"},
        {9, 1, "Key Press Event for <any key> Key"},
        {10, 0, "Key Release Event for <no key> Key"},
        {6, 0, "Mouse Event for Left Button"},
        {6, 11, "Mouse Event for Mouse Leave"},
        {6, 19, "Mouse Event for Joystick 1 Down"},
        {6, 21, "Mouse Event for Joystick 1 Button 1"},
        {6, 43, "Mouse Event for Joystick 2 Button 8"},
        {6, 31, "Mouse Event for Joystick 2 Left"},
        {6, 58, "Mouse Event for Glob Middle Released"},
        {6, 61, "Mouse Event for Mouse Wheel Down"},
        {6, 12, "Mouse Event for <unknown>"},
        {6, 20, "Mouse Event for <unknown>"},
        {7, 0, "Other Event: Outside Room"},
        {7, 1, "Other Event: Intersect Boundary"},
        {7, 9, "Other Event: No More Health"},
        {7, 25, "Other Event: User Defined 15"},
        {7, 30, "Other Event: Close Button"},
        {7, 47, "Other Event: Outside View 7"},
        {7, 50, "Other Event: Boundary View 0"},
        {7, 26, "Other Event: <unknown>"},
        {8, 0, "Draw Event"},
        {11, 0, "Trigger Event: trg_door"},
        {11, 4, "Trigger Event: <Deleted>"},
        {12, 0, "<Unknown Event>"},
        {-1, 0, "<Unknown Event>"},
    };
    for (const auto& c : cases) EXPECT_EQ(EventName(c.type, c.number), c.name) << c.type << "," << c.number;
}

TEST_F(ScriptErrors, ReportErrorPath) {
    // Display and log off: only the trace and the error variables.
    SetErrorOptions({false, false, false});
    ReportError("quiet", false);
    EXPECT_TRUE(window.shown.empty());
    EXPECT_EQ(trace, std::vector<std::string>{"quiet"});
    EXPECT_EQ(Run("return string_last()"), "1:8: Unknown function or script: string_last");
    EXPECT_EQ(Run("return error_last"), "\"quiet\"");
    EXPECT_EQ(Run("return error_occurred"), "1");
    EXPECT_EQ(Run("error_occurred = 0; error_last = 'x'; return error_occurred"), "0");
    EXPECT_EQ(ErrorLast(), "x");
    EXPECT_EQ(aborts, 0);
    EXPECT_EQ(inputClears, 1);

    // Displayed: Ignore goes on, Abort (or closing the window) ends the game.
    SetErrorOptions({true, false, false});
    ReportError("shown", false);
    ASSERT_EQ(window.shown.size(), 1u);
    EXPECT_TRUE(window.ignoreOffered[0]);
    EXPECT_EQ(aborts, 0);
    window.answerAbort = true;
    ReportError("aborted", false);
    EXPECT_EQ(aborts, 1);
    EXPECT_TRUE(GameAborting());
    // While aborting, reports reach only the trace.
    ReportError("after", false);
    EXPECT_EQ(window.shown.size(), 2u);
    EXPECT_EQ(trace.back(), "after");
    EXPECT_EQ(ErrorLast(), "aborted");
}

TEST_F(ScriptErrors, FatalAndAbortOnAll) {
    SetErrorOptions({true, false, false});
    ReportError("fatal one", true);
    ASSERT_EQ(window.shown.size(), 1u);
    EXPECT_FALSE(window.ignoreOffered[0]);
    EXPECT_EQ(aborts, 1);

    ResetErrorState();
    SetErrorOptions({true, false, true});
    ReportError("any error", false);
    ASSERT_EQ(window.shown.size(), 2u);
    EXPECT_FALSE(window.ignoreOffered[1]);
    EXPECT_EQ(aborts, 2);
}

TEST_F(ScriptErrors, RunErrorsOfBuiltinsTakeThePath) {
    SetErrorOptions({true, false, false});
    CurrentEvent() = {true, 7, 10, 3, 0};
    ReportRunError("Trying to do something.", false);
    ASSERT_EQ(window.shown.size(), 1u);
    EXPECT_EQ(window.shown[0], "ERROR in\r\naction number 1\r\nof Other Event: User Defined 0\r\nfor object "
                               "obj_a:\r\n\r\nTrying to do something.");
    // A failed reported run shows the line-and-position message under the heading.
    CCode code("a = nothing", false);
    ASSERT_TRUE(code.Compile());
    RValue result;
    EXPECT_FALSE(RunCodeReported(self, self, code, result));
    ASSERT_EQ(window.shown.size(), 2u);
    EXPECT_NE(window.shown[1].find("for object obj_a:\r\n\r\nError in code at line 1:\r   a = nothing\r"),
              std::string::npos);
}

TEST_F(ScriptErrors, LogFile) {
    const auto saved = std::filesystem::current_path();
    const auto dir = std::filesystem::temp_directory_path() / "kestrin_error_log";
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    {
        std::ofstream old("game_errors.log");
        old << "from an earlier run\n";
    }
    SetErrorOptions({false, true, false});
    ReportError("first\rsecond line", false);
    ReportError("next", false);
    std::ifstream in("game_errors.log", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "first\nsecond line\n\n\nnext\n\n\n");
    std::filesystem::current_path(saved);
    std::filesystem::remove_all(dir);
}

TEST_F(ScriptErrors, FaultHandler) {
    SetErrorOptions({true, false, false});
    HandleRunnerFault(RunnerFault("Floating point overflow"));
    ASSERT_GE(trace.size(), 2u);
    EXPECT_EQ(trace[0], "Unhandled Exception - Floating point overflow");
    EXPECT_EQ(trace[1], "Stack Trace");
    ASSERT_EQ(window.shown.size(), 1u);
    EXPECT_EQ(window.shown[0], "Floating point overflow");
    EXPECT_EQ(aborts, 0);
}

} // namespace
