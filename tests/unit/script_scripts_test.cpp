#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "base/stream.h"
#include <sys/stat.h>
#include <unistd.h>

#include "script/function_script.h"
#include "script/code_messages.h"
#include "script/compiler.h"
#include "script/registry.h"
#include "script_fixture.h"

using namespace kestrin;
using kestrin::testing::Brief;

namespace {

class ScriptScripts : public kestrin::testing::ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        SetErrorOptions({true, false, false});
        SetErrorWindow(&window);
        window.shown.clear();
    }
    void TearDown() override {
        SetErrorWindow(nullptr);
        ScriptTest::TearDown();
    }

    // Adds the scripts and compiles them all.
    void Scripts(std::initializer_list<std::pair<const char*, const char*>> scripts) {
        for (const auto& [name, text] : scripts) AddScript(name, text);
        ASSERT_TRUE(CompileScripts()) << LastCodeError();
    }

    struct Window : ErrorWindow {
        bool Show(std::string_view text, bool) override {
            shown.emplace_back(text);
            return false;
        }
        std::vector<std::string> shown;
    } window;
};

TEST_F(ScriptScripts, ArgumentsAndResults) {
    Scripts({
        {"double", "a = argument0 * 2;"},
        {"info", "return argument_count * 100 + argument2"},
        {"nothing", "exit"},
        {"last_call", "b = 1; double(4)"},
        {"writes", "argument0 = 'changed'; argument5 = 9; return argument0"},
        {"array", "return argument[0] + argument[1]"},
    });
    EXPECT_EQ(Run("return double(3)"), "6");
    EXPECT_EQ(Run("return info(1, 2)"), "200");
    EXPECT_EQ(Run("return nothing()"), "0");
    EXPECT_EQ(Run("return last_call()"), "8");
    // The caller sees its own arguments again after a call.
    EXPECT_EQ(Run("return writes('x') + ':' + writes('y')"), "\"changed:changed\"");
    EXPECT_EQ(Run("return array(4, 5)"), "9");
    // The left operand is read before the right one runs, even when it writes the argument.
    Scripts({{"left_first", "return argument0 + variable_local_set('argument0', 5) + argument0"}});
    EXPECT_EQ(Run("return left_first(1)"), "6");
    EXPECT_EQ(ArgumentCount(), 0);
    EXPECT_EQ(CurrentScriptName(), "<unknown>");
    EXPECT_EQ(ArgumentSlots()[0].val(), 0.0);
}

TEST_F(ScriptScripts, ArgumentCountAndNamesInsideCalls) {
    RegisterFunction(
        "test_state",
        [](CScriptInstance*, CScriptInstance*, int32_t, const RValue*, RValue& result) {
            result.SetString(std::string(CurrentScriptName()) + "/" + std::to_string(ArgumentCount()) + "/" +
                             std::string(ArgumentSlots()[1].IsString() ? "s" : "r"));
        },
        0);
    Scripts({{"outer", "return inner(1, 'two', 3) + ' ' + test_state()"}, {"inner", "return test_state()"}});
    EXPECT_EQ(Run("return outer(1)"), "\"inner/3/s outer/1/r\"");
    EXPECT_EQ(Run("return test_state()"), "\"<unknown>/0/r\"");
}

TEST_F(ScriptScripts, ArgumentCountCheck) {
    Scripts({{"two", "return argument1"}, {"some", "return argument[0] + argument2"}, {"none", "return 1"}});
    SetCheckScriptArguments(false);
    EXPECT_EQ(Run("return two(5)"), "0");

    SetCheckScriptArguments(true);
    CCode code("return two(5)", false);
    ASSERT_TRUE(code.Compile());
    RValue result;
    EXPECT_FALSE(RunCode(self, self, code, result));
    EXPECT_EQ(
        LastCodeError(),
        "Illegal argument count calling script \"two\".\rScript requires 2 arguments, 1 have been supplied.");
    EXPECT_EQ(Run("return two(5, 6)"), "6");
    EXPECT_EQ(Run("return none()"), "1");
    CCode extra("return none(1)", false);
    ASSERT_TRUE(extra.Compile());
    EXPECT_FALSE(RunCode(self, self, extra, result));

    CCode few("return some(1, 2)", false);
    ASSERT_TRUE(few.Compile());
    EXPECT_FALSE(RunCode(self, self, few, result));
    EXPECT_EQ(LastCodeError(), "Illegal argument count calling script \"some\".\rScript requires at least 3 "
                               "arguments, 2 have been supplied.");
    EXPECT_EQ(Run("return some(1, 2, 3, 4)"), "4");

    // argument[i] beyond the count is refused with its own message.
    Scripts({{"peek", "return argument[3] + argument0"}});
    EXPECT_EQ(Run("return peek(1, 2, 3, 4)"), "5");
    window.shown.clear();
    CCode beyond("return peek(1)", false);
    ASSERT_TRUE(beyond.Compile());
    EXPECT_FALSE(RunCode(self, self, beyond, result));
    ASSERT_EQ(window.shown.size(), 1u);
    EXPECT_EQ(window.shown[0],
              "Illegal array index in script \"peek\".\rtrying to access argument[3], but only 1 "
              "arguments have been supplied.");
    EXPECT_NE(LastCodeError().find("Unknown variable argument or array index out of bounds"),
              std::string::npos);
    SetCheckScriptArguments(false);
}

TEST_F(ScriptScripts, ErrorChains) {
    Scripts({{"outer", "a = 1;\r\nreturn inner() + 1"}, {"inner", "return 1 + nothing"}});
    CCode code("b = outer()", false);
    ASSERT_TRUE(code.Compile());
    RValue result;
    EXPECT_FALSE(RunCode(self, self, code, result));
    EXPECT_EQ(LastCodeError(), "In script outer:\rIn script inner:\rError in code at line 1:\r   return 1 + "
                               "nothing\r             ^\rat position 12: Unknown variable nothing");
    RValue value;
    EXPECT_FALSE(CallScript(FindScript("outer"), self, self, value, true, nullptr, 0));
    EXPECT_EQ(value.str(), "ERROR");
    EXPECT_FALSE(CallScript(99, self, self, value, true, nullptr, 0));
}

TEST_F(ScriptScripts, CompileScripts) {
    AddScript("good", "a = 1");
    AddEmptyScriptSlot();
    AddScript("bad", "a = ");
    AddScript("worse", "b = ");
    EXPECT_FALSE(CompileScripts());
    ASSERT_EQ(window.shown.size(), 1u);
    EXPECT_EQ(window.shown[0], "COMPILATION ERROR in Script: bad\rError in code at line 1:\r   a = \r"
                               "     ^\rat position 4: Unexpected symbol in expression.");
    EXPECT_TRUE(GameAborting());
    EXPECT_EQ(FindScript("bad"), 2);
    EXPECT_EQ(FindScript(""), -1);
    EXPECT_EQ(ScriptName(1), "<undefined>");
    EXPECT_EQ(ScriptName(-5), "<undefined>");
    EXPECT_EQ(ScriptName(0), "good");
}

TEST_F(ScriptScripts, ScriptRecord) {
    CScript script;
    script.s_text = "return 1";
    CStream out;
    script.SaveToStream(out);
    CStream in(out.Bytes());
    CScript loaded;
    ASSERT_TRUE(loaded.LoadFromStream(in));
    EXPECT_EQ(loaded.s_text, "return 1");

    CStream wrong;
    wrong.WriteInteger(799);
    wrong.WriteString("x");
    CStream wrongIn(wrong.Bytes());
    EXPECT_FALSE(loaded.LoadFromStream(wrongIn));

    CStream cut(std::vector<uint8_t>{0x20, 0x03, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F});
    EXPECT_THROW((void)loaded.LoadFromStream(cut), RunnerFault);
}

TEST_F(ScriptScripts, ExecuteString) {
    EXPECT_EQ(Run("return execute_string('return argument0 + 1', 41)"), "42");
    EXPECT_EQ(Run("return execute_string('a = 5')"), "5");
    EXPECT_EQ(Run("return execute_string()"), "0");
    Scripts({{"count", "return execute_string('return argument_count') + argument0"}});
    EXPECT_EQ(Run("return count(10, 20)"), "12");

    // A compile error is reported and the code goes on.
    EXPECT_EQ(Run("a = execute_string('x = '); return a + 1"), "1");
    ASSERT_EQ(window.shown.size(), 1u);
    EXPECT_EQ(window.shown[0],
              "COMPILATION ERROR in string to be executed\rError in code at line 1:\r   x = \r"
              "     ^\rat position 4: Unexpected symbol in expression.");
    // A run error too.
    EXPECT_EQ(Run("execute_string('y = nothing'); return 3"), "3");
    ASSERT_EQ(window.shown.size(), 2u);
    EXPECT_NE(window.shown[1].find("Unknown variable nothing"), std::string::npos);
    // The arguments of the code around are back afterwards.
    Scripts({{"keep", "execute_string('argument0 = 7', 1); return argument0"}});
    EXPECT_EQ(Run("return keep(3)"), "3");
}

TEST_F(ScriptScripts, ExecuteFile) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "kestrin_execute_file";
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "code.txt").string();
    {
        std::ofstream out(file, std::ios::binary);
        out << "a = argument0;\r\nb = 2;\nreturn a + b";
    }
    EXPECT_EQ(Run("return execute_file('" + file + "', 40)"), "42");
    EXPECT_EQ(Run("return execute_file('" + (dir / "missing.txt").string() + "')"), "0");
    ASSERT_EQ(window.shown.size(), 1u);
    EXPECT_EQ(window.shown[0], "Trying to execute non-existing file.");
    {
        std::ofstream out(file, std::ios::binary);
        out << "a = 1;\nb = ;";
    }
    EXPECT_EQ(Run("execute_file('" + file + "'); return 1"), "1");
    ASSERT_EQ(window.shown.size(), 2u);
    EXPECT_EQ(window.shown[1],
              "COMPILATION ERROR in file to be executed\rError in code at line 2:\r   b = ;\r"
              "      ^\rat position 5: Unexpected symbol in expression.");
    std::filesystem::remove_all(dir);
}

TEST_F(ScriptScripts, ExecuteOnlyReadsRegularFilesAndBoundsTheCode) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kestrin_execute_hostile_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    // A FIFO without a writer would block the game forever, /dev/zero never end.
    const std::string fifo = (dir / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = (dir / "huge.txt").string();
    std::ofstream(huge) << "x = 1;";
    std::filesystem::resize_file(huge, kMaxCodeBytes + 1); // sparse: nothing is written
    const std::string tooLong = std::string(CodeText(CodeMessage::CodeTooLong));
    struct Case {
        std::string code;
        std::string heading; // the start of the one reported message
    };
    const Case cases[] = {
        {"execute_file('" + fifo + "')", "Trying to execute non-existing file."},
        {"execute_file('/dev/zero')", "Trying to execute non-existing file."},
        {"execute_file('" + dir.string() + "')", "Trying to execute non-existing file."},
        {"execute_file('" + huge + "')",
         "COMPILATION ERROR in file to be executed\rError in code at line 1:"},
        {"execute_string(string_repeat(' ', " + std::to_string(kMaxCodeBytes + 1) + "))",
         "COMPILATION ERROR in string to be executed\rError in code at line 1:"},
    };
    for (const Case& c : cases) {
        window.shown.clear();
        EXPECT_EQ(Run(c.code + "; return 1"), "1") << c.code;
        ASSERT_EQ(window.shown.size(), 1u) << c.code;
        EXPECT_EQ(window.shown[0].substr(0, c.heading.size()), c.heading) << c.code;
        if (c.heading[0] == 'C') {
            EXPECT_TRUE(window.shown[0].ends_with(tooLong)) << window.shown[0].substr(0, 200);
        }
        EXPECT_LT(window.shown[0].size(), 400u) << "the message quotes only the start of the code";
    }
    // At the limit the code still compiles.
    EXPECT_EQ(Run("return execute_string('return 5;' + string_repeat(' ', " +
                  std::to_string(kMaxCodeBytes - 9) + "))"),
              "5");
    std::filesystem::remove_all(dir);
}

TEST_F(ScriptScripts, ScriptExecute) {
    Scripts({{"add", "return argument0 + argument1"}, {"fails", "return nothing"}});
    EXPECT_EQ(Run("return script_execute(add, 2, 3)"), "5");
    EXPECT_EQ(Run("return script_execute(7, 2, 3)"), "0");
    ASSERT_EQ(window.shown.size(), 1u);
    EXPECT_EQ(window.shown[0], "Trying to execute non-existing script.");
    EXPECT_EQ(Run("a = script_execute(fails); return a + '!'"), "\"ERROR!\"");
    ASSERT_EQ(window.shown.size(), 2u);
    EXPECT_EQ(Brief(window.shown[1].substr(window.shown[1].find('\r') + 1)), "1:8: Unknown variable nothing");
    EXPECT_EQ(window.shown[1].substr(0, 16), "In script fails:");
    // Fifteen arguments after the index at most reach the script.
    EXPECT_EQ(Run("return script_execute(add, 1,2,3,4,5,6,7,8,9,10,11,12,13,14,15)"), "3");

    EXPECT_EQ(Run("return script_exists(add) + script_exists(5) + script_exists(-1)"), "1");
    EXPECT_EQ(Run("return script_get_name(fails) + script_name(9)"), "\"fails<undefined>\"");
    EXPECT_EQ(Run("return script_get_text(add)"), "\"return argument0 + argument1\"");
}

TEST_F(ScriptScripts, DeepRecursionFailsInsteadOfOverflowing) {
    Scripts({{"fib", "if (argument0 < 2) return argument0; return fib(argument0 - 1) + fib(argument0 - 2)"},
             {"forever", "return forever(argument0 + 1)"}});
    EXPECT_EQ(Run("return fib(15)"), "610");
    CCode code("return forever(0)", false);
    ASSERT_TRUE(code.Compile());
    RValue result;
    EXPECT_FALSE(RunCode(self, self, code, result));
    EXPECT_NE(LastCodeError().find("Script calls are nested too deeply."), std::string::npos);
    EXPECT_EQ(LastCodeError().substr(0, 18), "In script forever:");
    EXPECT_EQ(Run("return fib(10)"), "55");
}

TEST_F(ScriptScripts, ArgumentStateSurvivesFaults) {
    Scripts(
        {{"boom", "a = 99999999999999999999 * 99999999999999999999; b = a * a * a * a * a * a * a * a * a "
                  "* a * a * a * a * a * a * a * a * a * a * a; return 1"},
         {"outer", "return boom(argument0, 2)"}});
    CCode code("return outer(5)", false);
    ASSERT_TRUE(code.Compile());
    RValue result;
    EXPECT_THROW((void)RunCode(self, self, code, result), RunnerFault);
    EXPECT_EQ(ArgumentCount(), 0);
    EXPECT_EQ(CurrentScriptName(), "<unknown>");
    for (int i = 0; i < kMaxArguments; ++i) EXPECT_EQ(ArgumentSlots()[i].val(), 0.0);
    EXPECT_EQ(Run("return execute_string('return argument0', 6)"), "6");
}

TEST_F(ScriptScripts, SmallBuiltins) {
    EXPECT_EQ(Run("show_debug_message('hello'); show_debug_message(1/3); show_debug_message(7); return 0"),
              "0");
    EXPECT_EQ(debugLines(), (std::vector<std::string>{"hello", "0.33", "7"}));
    EXPECT_EQ(Run("return clipboard_has_text() + clipboard_get_text()"),
              "1:31: Wrong type of arguments to +.");

    struct MemoryClipboard : Clipboard {
        bool HasText() override { return !text.empty(); }
        std::string GetText() override { return text; }
        void SetText(std::string_view t) override { text = t; }
        std::string text;
    } clipboard;
    SetClipboard(&clipboard);
    EXPECT_EQ(Run("clipboard_set_text('copy'); return string_of_real(clipboard_has_text())"),
              "1:36: Unknown function or script: string_of_real");
    EXPECT_EQ(Run("clipboard_set_text('copy'); return clipboard_get_text()"), "\"copy\"");
    EXPECT_EQ(Run("return clipboard_has_text()"), "1");
    SetClipboard(nullptr);
    EXPECT_EQ(Run("return window_handle()"), "0");
}

TEST_F(ScriptScripts, RealText) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {3, "3"},        {-12, "-12"},        {1.0 / 3, "0.33"},
        {2.5, "2.50"},   {-0.5, "-0.50"},     {1e15, "1000000000000000"},
        {0.125, "0.13"}, {2.675, "2.68"},     {12345678901.5, "1.234567890E+10"},
        {NAN, "ERROR"},  {INFINITY, "ERROR"}, {1e30, "ERROR"},
    };
    for (const auto& c : cases) EXPECT_EQ(RealText(c.value), c.text) << c.value;
}

} // namespace
