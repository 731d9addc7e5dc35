// The dialog built-ins answered by the text host: results, defaults, the input state cleared
// afterwards, the message settings' errors and the high-score built-ins in the registry.

#include <sstream>

#include "files_fixture.h"
#include "runner/dialog_messages.h"
#include "runner/dialogs.h"
#include "runner/function_dialog.h"
#include "runner/game_variables.h"
#include "runner/highscore.h"
#include "runner/input_state.h"
#include "runner/message_window.h"
#include "script/errors.h"

namespace kestrin::testing {
namespace {

class DialogFunctions : public FilesTest {
protected:
    void SetUp() override {
        FilesTest::SetUp();
        ResetDialogState();
        HeadlessDialogHost().SetOutput(&out_);
        GameValues().game_id = 77;
    }
    void TearDown() override {
        ResetDialogState();
        GameValues().game_id = 0;
        GameValues().score = 0;
        FilesTest::TearDown();
    }
    // Runs `code` with these answer lines.
    std::string With(std::vector<std::string> answers, std::string_view code) {
        HeadlessDialogHost().SetAnswers(std::move(answers));
        return Text(code);
    }
    std::ostringstream out_;
};

TEST_F(DialogFunctions, MessagesAndInput) {
    const struct {
        std::vector<std::string> answers;
        const char* code;
        const char* result;
    } cases[] = {
        {{}, "show_message(3.14159)", "0"},
        {{}, "show_question(\"Go?\")", "1"},
        {{"3"}, "show_question(\"Go?\")", "0"},
        {{"2"}, "show_message_ext(\"x\", \"a\", \"b\", \"\")", "2"},
        {{"3"}, "show_message_ext(\"x\", \"a\", \"b\", \"\")", "1"}, // a hidden button: the default
        {{"0"}, "show_message_ext(\"x\", \"a\", \"b\", \"c\")", "0"},
        {{}, "get_string(\"Name\", \"Ann\")", "\"Ann\""},
        {{"Bo"}, "get_string(\"Name\", \"Ann\")", "\"Bo\""},
        {{"12x"}, "get_integer(\"N\", 7)", "7"},
        {{"-5"}, "get_integer(\"N\", 7)", "-5"},
        {{" 5"}, "get_integer(\"N\", 7)", "5"},
        {{"5.0"}, "get_integer(\"N\", 7)", "7"},
        {{}, "get_integer(\"N\", 7.6)", "8"}, // the default's integer text is the answer
        {{"B"}, "show_menu(\"A|-|B\", -1)", "1"},
        {{}, "show_menu(\"A|-|B\", 5)", "5"},
        {{"1"}, "show_menu_pos(10, 20, \"A|-|B\", 5)", "1"},
        {{}, "get_color(255)", "255"},
        {{"-1"}, "get_color(255)", "-1"},
        {{"saves/x.dat"}, "get_open_filename(\"Saves|*.dat\", \"x.dat\")", "\"saves/x.dat\""},
        {{}, "get_save_filename(\"Saves|*.dat\", \"x.dat\")", "\"\""},
        {{}, "get_directory(\"/tmp\")", "\"/tmp\""},
        {{""}, "get_directory(\"/tmp\")", "\"/tmp\""},
        {{}, "get_directory_alt(\"Pick\", \"/\")", "\"\""},
    };
    for (const auto& c : cases) EXPECT_EQ(With(c.answers, c.code), c.result) << c.code;
    EXPECT_NE(out_.str().find("3.14\n  2: OK\n"), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("  0: A\n  ----\n  1: B\n"), std::string::npos) << out_.str();
}

TEST_F(DialogFunctions, DialogsClearTheInputAndKeepTheFolder) {
    const auto folder = std::filesystem::current_path();
    for (const char* code : {"show_message(1)", "get_string(\"\", \"\")", "show_menu(\"a\", 0)",
                             "get_open_filename(\"\", \"\")", "get_directory(\"\")", "highscore_show(5)"}) {
        CurrentInput().KeyDown(65);
        CurrentInput().MouseDown(1);
        (void)With({}, code);
        EXPECT_FALSE(CurrentInput().KeyHeld(65)) << code;
        EXPECT_FALSE(CurrentInput().ButtonHeld(1)) << code;
        EXPECT_EQ(std::filesystem::current_path(), folder) << code;
    }
}

TEST_F(DialogFunctions, MessageSettings) {
    EXPECT_EQ(Text("message_background(3)"), "0 ! " + std::string(msg::kNoMessageBackground));
    EXPECT_EQ(Text("message_button(-1)"), "0 ! " + std::string(msg::kNoMessageButton));
    (void)Text("message_alpha(0.5)");
    (void)Text("message_position(-1, 40)");
    (void)Text("message_size(300, 0)");
    (void)Text("message_caption(false, \"Hi\")");
    (void)Text("message_text_font(\"Serif\", -1, 255, 2)");
    (void)Text("message_text_charset(1, 238)");
    (void)Text("message_mouse_color(65280)");
    const MessageSettings& s = CurrentMessageSettings();
    EXPECT_EQ(s.alpha, 128);
    EXPECT_EQ(s.x, -1);
    EXPECT_EQ(s.y, 40);
    EXPECT_EQ(s.width, 300);
    EXPECT_FALSE(s.show_caption);
    EXPECT_EQ(s.caption, "Hi");
    EXPECT_EQ(s.text_font.name, "Serif");
    EXPECT_EQ(s.text_font.size, MessageFont().size);
    EXPECT_EQ(s.text_font.colour, 255);
    EXPECT_EQ(s.text_font.style, 2);
    EXPECT_EQ(s.button_font.charset, 238);
    EXPECT_EQ(s.mouse_colour, 65280);
}

TEST_F(DialogFunctions, HighscoresInTheRegistry) {
    EXPECT_EQ(Text("highscore_name(1)"), "\"<nobody>\"");
    EXPECT_EQ(Text("highscore_value(11)"), "0");
    (void)Text("highscore_add(\"Ann\", 100)");
    (void)Text("highscore_add(\"Bo\", 100)");
    (void)Text("highscore_add(\"Cy\", 150)");
    EXPECT_EQ(Text("highscore_name(1) + highscore_name(2) + highscore_name(3)"), "\"CyAnnBo\"");
    EXPECT_EQ(Text("highscore_value(3)"), "100");
    EXPECT_TRUE(
        CurrentRegistryStore().Exists(RegistryRoot::CurrentUser, "\\Software\\Kestrin\\Scores\\77", "Rank1"));
    (void)Text("highscore_set_strings(\"Best\", \"-\", \"bye\")");
    EXPECT_EQ(Text("highscore_name(9)"), "\"-\"");

    // highscore_show stores the typed name at the new rank.
    (void)With({"Di"}, "highscore_show(120)");
    EXPECT_EQ(Text("highscore_name(2) + string(highscore_value(2))"), "\"Di120\"");
    EXPECT_NE(out_.str().find("Best\n  1. Cy 150\n* 2.  120\n"), std::string::npos) << out_.str();
    // A score below the table only shows it; nothing is typed.
    out_.str("");
    (void)With({"Ed"}, "highscore_show(-1)");
    EXPECT_EQ(Text("highscore_name(6)"), "\"-\"");

    // highscore_add_current asks when the score reaches rank 10 but a tie stores nothing.
    GameValues().score = 0;
    out_.str("");
    (void)With({"Fay"}, "highscore_add_current()");
    EXPECT_NE(
        out_.str().find("You reached a place in the highscore table.\nPlease provide your name. [player]"),
        std::string::npos)
        << out_.str();
    EXPECT_EQ(Text("highscore_name(6)"), "\"-\"");
    GameValues().score = 1;
    (void)With({}, "highscore_add_current()");
    EXPECT_EQ(Text("highscore_name(5) + string(highscore_value(5))"), "\"player1\"");
    GameValues().score = -1;
    out_.str("");
    (void)With({}, "highscore_add_current()");
    EXPECT_EQ(out_.str(), "");

    (void)Text("highscore_clear()");
    EXPECT_EQ(Text("highscore_name(1) + string(highscore_value(1))"), "\"-0\"");
}

TEST_F(DialogFunctions, ShowErrorGoesThroughTheErrorPath) {
    (void)Text("show_error(\"bad\", false)");
    EXPECT_EQ(ErrorLast(), "bad");
    EXPECT_FALSE(GameAborting());
    (void)Text("show_error(\"worse\", 0.5)");
    EXPECT_EQ(ErrorLast(), "worse");
    EXPECT_TRUE(GameAborting());
    ResetErrorState();
}

} // namespace
} // namespace kestrin::testing
