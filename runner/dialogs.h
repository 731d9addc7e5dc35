#pragma once
// Dialogs as the core sees them: a request (a message, a question for a text, a number, a
// menu item, a colour, a file or a folder, the high-score table) goes to a DialogHost, which
// answers with a line of text in the same form a headless run reads from its answers file.
// The window's host lives under platform/; without one the text host prints the dialog to
// standard error and takes the next answer line, or the dialog's default answer.
//
// Answers are recorded with the input of a run and a replay hands them back in order, so a
// replayed dialog takes the answer the player gave.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrin {

class RValue;

enum class DialogKind {
    Message,   // buttons; answer: the button number, 0 when closed
    String,    // answer: the text
    Integer,   // answer: the text typed (read as an integer by the caller)
    Menu,      // answer: the chosen item's index among the non-separators, -1 for none
    Colour,    // answer: the colour as a decimal number, -1 when cancelled
    OpenFile,  // answer: the file name, empty when cancelled
    SaveFile,  // the same
    Folder,    // answer: the folder, empty when cancelled
    Highscore, // the table; answer: the name typed for the new entry
};

struct HighscoreRow {
    std::string name;
    int32_t score = 0;
};

struct DialogRequest {
    DialogKind kind = DialogKind::Message;
    std::string text;                   // the message, the question or the caption
    std::array<std::string, 3> buttons; // Message: texts with "&" shortcuts; empty hides one
    bool input = false;                 // Message: shows an input box (String, Integer)
    std::string value;                  // the default text, number, colour, file or folder
    std::vector<std::string> items;     // Menu: the items, "-" a separator
    bool at_mouse = true;               // Menu: at the mouse, else at (x, y) on the screen
    int32_t x = 0, y = 0;
    std::string filter;              // files: "desc|*.a;*.b|..." as games give it
    std::string root;                // Folder: where browsing starts and stays under
    std::vector<HighscoreRow> table; // Highscore: the ten ranks
    int32_t new_rank = 0;            // Highscore: the rank whose name is typed (0: none)

    // The answer a dialog gives when nothing is chosen in it: what Enter would choose.
    std::string DefaultAnswer() const;
};

class DialogHost {
public:
    virtual ~DialogHost() = default;
    virtual std::string Ask(const DialogRequest& request) = 0;
};

// The headless host: the dialog's text to `out`, the answer from the next line, or the
// default once the lines run out. Answers in other forms (a menu item's text) are brought
// to the form of the kind.
class TextDialogHost : public DialogHost {
public:
    std::string Ask(const DialogRequest& request) override;
    void SetAnswers(std::vector<std::string> lines);
    void SetOutput(std::ostream* out) { out_ = out; }

private:
    std::deque<std::string> lines_;
    std::ostream* out_ = nullptr; // null: standard error
};

// An answer line of the answers file in the form of `request`'s kind.
std::string NormalizeAnswer(const DialogRequest& request, std::string_view line);
// The lines of an answers file ("\r\n" or "\n").
std::vector<std::string> SplitAnswerLines(std::string_view text);

// The host of the window (null: none, headless).
void SetWindowDialogHost(DialogHost* host);
TextDialogHost& HeadlessDialogHost();
// Answers a replay hands back before any host is asked, and where answers are recorded.
void SetDialogReplay(std::deque<std::string> answers);
void SetDialogRecorder(std::function<void(const std::string&)> recorder);
// Replay, then the window's host, then the text host; the answer is recorded.
std::string AskDialog(const DialogRequest& request);
// Back to no host, no replay, no recorder, no answers.
void ResetDialogHosts();

// ---- Text of messages ----

// A string unchanged; a real as an integer when it is whole and with two decimals otherwise;
// then "#" becomes a line break and "\#" a "#".
std::string MessageText(const RValue& value);
std::string MessageLineBreaks(std::string_view text);

// ---- Menus ----

struct MenuItem {
    std::string text;
    bool separator = false;
};
// Items are separated by "|"; an item "-" is a separator.
std::vector<MenuItem> ParseMenu(std::string_view items);
// The index among the non-separators of the item with `text`, -1 when there is none.
int32_t MenuIndexOf(const std::vector<MenuItem>& items, std::string_view text);

// ---- get_integer ----

// An answer that is an integer (leading blanks and a sign allowed, nothing after the
// digits, within 32 bits), or nothing.
std::optional<int32_t> ParseIntegerAnswer(std::string_view text);

// ---- File filters ----

struct FileFilter {
    std::string description;
    std::vector<std::string> patterns; // "*.png", "*.*", ...
};
// "desc|*.a;*.b|desc2|*.c" into its pairs; a filter without "|" is one pattern list.
std::vector<FileFilter> ParseFileFilter(std::string_view filter);
// Whether `name` matches one of the patterns ("*" and "?", case ignored; "*.*" matches all).
bool FileFilterMatches(const FileFilter& filter, std::string_view name);

} // namespace kestrin
