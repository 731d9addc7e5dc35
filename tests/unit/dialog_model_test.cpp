// The dialog model without a window: message texts, the message window's layout and keys,
// menus, integer answers, file filters and the text host's answers and defaults.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "runner/dialogs.h"
#include "runner/input_record.h"
#include "runner/input_state.h"
#include "runner/message_window.h"
#include "script/value.h"

namespace kestrin {
namespace {

TEST(DialogText, ConvertsValuesAndLineBreaks) {
    const struct {
        RValue value;
        const char* text;
    } cases[] = {
        {RValue(3.14159), "3.14"},
        {RValue(2.0), "2"},
        {RValue(-0.0), "0"},
        {RValue(-0.5), "-0.50"},
        {RValue(1e15), "1000000000000000"},
        {RValue("one#two"), "one\ntwo"},
        {RValue("a\\#b#"), "a#b\n"},
        {RValue("ends\\"), "ends\\"},
        {RValue("3.14159"), "3.14159"}, // a string is not rounded
    };
    for (const auto& c : cases) EXPECT_EQ(MessageText(c.value), c.text) << c.text;
}

MessageMeasures Measures() {
    MessageMeasures m;
    m.text_w = 200;
    m.text_h = 40;
    m.button_w = {60, 80, 70};
    m.button_h = 24;
    m.input_h = 20;
    m.screen_w = 800;
    m.screen_h = 600;
    return m;
}

TEST(MessageWindowLayout, PlacesTextInputAndButtons) {
    const MessageWindow window({"A", "B", "C"}, false);
    MessageSettings s;
    MessageMeasures m = Measures();
    // Without a background or a fixed size the window takes its default width.
    MessageLayout l = window.Layout(s, m);
    const int32_t w = MessageWindow::kDefaultWidth;
    EXPECT_EQ(l.window, (Rect{(800 - w) / 2, (600 - 112) / 2, w, 40 + 24 + 48}));
    EXPECT_EQ(l.text, (Rect{24, 16, w - 48, 40}));
    EXPECT_EQ(l.buttons[0], (Rect{24, 112 - 16 - 24, 60, 24}));
    EXPECT_EQ(l.buttons[1], (Rect{(w - 80) / 2, 72, 80, 24}));
    EXPECT_EQ(l.buttons[2], (Rect{w - 24 - 70, 72, 70, 24}));
    EXPECT_EQ(l.input, Rect{});

    // The background's width; an input box adds its height and 16.
    m.background_w = 500;
    const MessageWindow input({"", "OK", ""}, true);
    l = input.Layout(s, m);
    EXPECT_EQ(l.window.w, 500);
    EXPECT_EQ(l.window.h, 40 + 24 + 48 + 20 + 16);
    EXPECT_EQ(l.input, (Rect{24, 16 + 40 + 16, 500 - 48, 20}));
    EXPECT_EQ(input.TextWidth(s, m), 452);
    EXPECT_EQ(l.visible, (std::array<bool, 3>{false, true, false}));

    // A fixed size and position win; -1 centres only that axis.
    s.width = 300;
    s.height = 150;
    s.x = 10;
    s.y = -1;
    l = input.Layout(s, m);
    EXPECT_EQ(l.window, (Rect{10, (600 - 150) / 2, 300, 150}));
    EXPECT_EQ(l.buttons[1].y, 150 - 16 - 24);
    EXPECT_EQ(input.TextWidth(s, m), 252);
    // A size below 1 is automatic again.
    s.width = 0;
    s.height = -3;
    EXPECT_EQ(input.Layout(s, m).window.h, 40 + 24 + 48 + 20 + 16);
    // A small screen narrows the default width, down to 200.
    m.background_w = 0;
    m.screen_w = 320;
    EXPECT_EQ(input.Layout(s, m).window.w, 288);
    m.screen_w = 100;
    s.x = -1;
    EXPECT_EQ(input.Layout(s, m).window, (Rect{-50, (600 - 148) / 2, 200, 148}));
}

TEST(MessageWindowKeys, ChoosesButtons) {
    const struct {
        std::array<std::string, 3> buttons;
        bool input;
        int32_t key;
        bool alt;
        int32_t result; // -1: the key chooses nothing
    } cases[] = {
        {{"Yes", "", "No"}, false, 27, false, 0},
        {{"Yes", "", "No"}, false, 13, false, 1},
        {{"", "", "No"}, false, 13, false, 3},
        {{"", "", "No"}, false, 32, false, 3},
        {{"", "OK", ""}, true, 32, false, -1}, // Space types into the box
        {{"", "OK", ""}, true, 13, false, 2},
        {{"", "OK", ""}, true, 27, false, 0},
        {{"", "", ""}, false, 13, false, -1},
        {{"&Save", "&Quit", "Cancel"}, false, 'Q', false, 2},
        {{"&Save", "&Quit", "Cancel"}, false, 'S', true, 1},
        {{"&Save", "&Quit", "Cancel"}, false, 'C', false, -1},
        {{"s&ave", "&Also", ""}, false, 'A', false, 1}, // upper case, buttons in order
        {{"Go&", "&1st", ""}, false, '1', false, 2},    // "&" at the end is no shortcut
        {{"&Save", "", ""}, true, 'S', false, -1},      // typing goes to the input box
        {{"&Save", "", ""}, true, 'S', true, 1},        // but Alt reaches the button
        {{"", "&Hidden", ""}, false, 'H', false, 2},
        {{"&x", "", ""}, false, 'Y', true, -1},
    };
    for (const auto& c : cases) {
        const MessageWindow window(c.buttons, c.input);
        const auto got = window.Key(c.key, c.alt);
        EXPECT_EQ(got ? *got : -1, c.result) << c.buttons[0] << "|" << c.buttons[1] << "|" << c.buttons[2]
                                             << " key " << c.key << (c.alt ? " alt" : "");
    }
    const MessageWindow window({"&Save", "Sa&ve as", "Plain"}, false);
    EXPECT_EQ(window.Label(0), "Save");
    EXPECT_EQ(window.Label(1), "Save as");
    EXPECT_EQ(window.Shortcut(1), U'V');
    EXPECT_EQ(window.Shortcut(2), 0u);
}

TEST(MessageSettingsChange, FontsAndAlpha) {
    MessageFont font;
    ChangeMessageFont(font, "Serif", 14, 255, 3);
    ChangeMessageFont(font, "", -1, -1, 1); // keeps name, size and colour
    EXPECT_EQ(font.name, "Serif");
    EXPECT_EQ(font.size, 14);
    EXPECT_EQ(font.colour, 255);
    EXPECT_EQ(font.style, 1);
    for (auto [alpha, byte] : std::initializer_list<std::pair<double, int32_t>>{
             {0.5, 128}, {-1, 0}, {2, 255}, {1, 255}, {0, 0}, {std::nan(""), 0}})
        EXPECT_EQ(MessageAlphaByte(alpha), byte) << alpha;
}

TEST(DialogMenu, ParsesItemsAndIndexes) {
    const std::vector<MenuItem> items = ParseMenu("A|-|B||C");
    ASSERT_EQ(items.size(), 5u);
    EXPECT_TRUE(items[1].separator);
    EXPECT_EQ(MenuIndexOf(items, "B"), 1);
    EXPECT_EQ(MenuIndexOf(items, ""), 2);
    EXPECT_EQ(MenuIndexOf(items, "C"), 3);
    EXPECT_EQ(MenuIndexOf(items, "-"), -1);
    EXPECT_EQ(ParseMenu("").size(), 1u);

    DialogRequest menu;
    menu.kind = DialogKind::Menu;
    menu.items = {"A", "-", "B", "7"};
    for (auto [line, answer] : std::initializer_list<std::pair<const char*, const char*>>{{"B", "1"},
                                                                                          {"0", "0"},
                                                                                          {"7", "2"},
                                                                                          {"2", "2"},
                                                                                          {"3", "-1"},
                                                                                          {"", "-1"},
                                                                                          {"-", "-1"},
                                                                                          {"x", "-1"}})
        EXPECT_EQ(NormalizeAnswer(menu, line), answer) << line;
}

TEST(DialogIntegers, ReadsOnlyWholeIntegers) {
    const struct {
        const char* text;
        std::optional<int32_t> value;
    } cases[] = {
        {"12", 12},
        {"12x", std::nullopt},
        {"-5", -5},
        {" 5", 5},
        {"5.0", std::nullopt},
        {"5 ", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"+7", 7},
        {"2147483647", 2147483647},
        {"2147483648", std::nullopt},
        {"-2147483648", INT32_MIN},
        {"99999999999999999999", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseIntegerAnswer(c.text), c.value) << '"' << c.text << '"';
}

TEST(DialogFileFilters, ConvertsPairsAndMatches) {
    const std::vector<FileFilter> f = ParseFileFilter("Images|*.png;*.BMP|All files|*.*|dangling");
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0].description, "Images");
    EXPECT_EQ(f[0].patterns, (std::vector<std::string>{"*.png", "*.BMP"}));
    EXPECT_TRUE(FileFilterMatches(f[0], "a.PNG"));
    EXPECT_TRUE(FileFilterMatches(f[0], "b.bmp"));
    EXPECT_FALSE(FileFilterMatches(f[0], "c.png.txt"));
    EXPECT_TRUE(FileFilterMatches(f[1], "no_extension"));
    const std::vector<FileFilter> plain = ParseFileFilter("*.txt");
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_TRUE(FileFilterMatches(plain[0], "x.txt"));
    EXPECT_TRUE(FileFilterMatches({"", {"l?vel*.dat"}}, "level12.dat"));
    EXPECT_FALSE(FileFilterMatches({"", {"l?vel*.dat"}}, "lvel12.dat"));
    EXPECT_TRUE(ParseFileFilter("").empty());
    EXPECT_TRUE(ParseFileFilter("Nothing|").empty());
}

TEST(DialogTextHost, PrintsAndAnswersPerKind) {
    TextDialogHost host;
    std::ostringstream out;
    host.SetOutput(&out);
    DialogRequest question;
    question.text = "Really?\rSure?";
    question.buttons = {"&Yes", "", "No"};
    DialogRequest text;
    text.kind = DialogKind::String;
    text.text = "Name";
    text.value = "player";
    DialogRequest colour;
    colour.kind = DialogKind::Colour;
    colour.value = "255";

    // Defaults without answers: the first visible button, the default text and colour.
    EXPECT_EQ(host.Ask(question), "1");
    EXPECT_EQ(host.Ask(text), "player");
    EXPECT_EQ(host.Ask(colour), "255");
    EXPECT_EQ(out.str(), "Really?\nSure?\n  1: Yes\n  3: No\nName [player]\nColour [255]\n");

    host.SetAnswers(SplitAnswerLines("3\r\n2\nAnn\n\n-1\n16777216\n"));
    EXPECT_EQ(host.Ask(question), "3");
    EXPECT_EQ(host.Ask(question), "1"); // button 2 is hidden: the default
    EXPECT_EQ(host.Ask(text), "Ann");
    EXPECT_EQ(host.Ask(text), ""); // an empty line is an empty answer
    EXPECT_EQ(host.Ask(colour), "-1");
    EXPECT_EQ(host.Ask(colour), "255"); // out of range: the default
    EXPECT_EQ(host.Ask(text), "player");

    DialogRequest file;
    file.kind = DialogKind::OpenFile;
    file.value = "save.dat";
    EXPECT_EQ(host.Ask(file), ""); // a chooser is cancelled by default
}

TEST(DialogAsk, ReplayFirstThenHostAndRecords) {
    std::vector<std::string> recorded;
    SetDialogRecorder([&](const std::string& a) { recorded.push_back(a); });
    std::ostringstream out;
    HeadlessDialogHost().SetOutput(&out);
    HeadlessDialogHost().SetAnswers({"2"});
    SetDialogReplay({"3"});
    DialogRequest r;
    r.buttons = {"a", "b", "c"};
    EXPECT_EQ(AskDialog(r), "3");
    EXPECT_EQ(out.str(), ""); // a replayed dialog is not shown
    EXPECT_EQ(AskDialog(r), "2");
    EXPECT_EQ(AskDialog(r), "1");
    EXPECT_EQ(recorded, (std::vector<std::string>{"3", "2", "1"}));
    ResetDialogHosts();
}

TEST(DialogRecording, AnswersRoundTripWithoutReachingTheInput) {
    InputRecording recording;
    std::string error;
    const std::string text = "kestrin-input 1\n1 answer \"2\"; answer \"a \\\"b\\\"\\n\"; key_down 65\n";
    ASSERT_TRUE(ParseInputRecording(text, recording, error)) << error;
    ASSERT_EQ(recording.steps.size(), 1u);
    EXPECT_EQ(recording.steps[0].events[1], (InputEvent{InputEventKind::Answer, 0, 0, "a \"b\"\n"}));
    EXPECT_EQ(FormatInputRecording(recording), text);
    InputState input;
    ApplyInputEvent(recording.steps[0].events[0], input, false);
    EXPECT_FALSE(input.KeyHeld(65));
    EXPECT_FALSE(ParseInputRecording("kestrin-input 1\n1 answer 2\n", recording, error));
    EXPECT_EQ(error, "line 2: answer: expected a quoted string");
}

} // namespace
} // namespace kestrin
