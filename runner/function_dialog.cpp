#include "runner/function_dialog.h"

#include <filesystem>
#include <system_error>

#include "base/numeric.h"
#include "runner/dialog_messages.h"
#include "runner/dialogs.h"
#include "runner/function_registry.h"
#include "runner/game_variables.h"
#include "runner/input_state.h"
#include "runner/message_window.h"
#include "script/builtin_args.h"
#include "script/errors.h"
#include "script/run_error.h"
#include "script/value.h"

namespace kestrin {

namespace {

using namespace builtin_args;

DialogResourceHooks g_hooks;

bool B(Args a, int i) {
    return a[i].val() >= 0.5;
}
// An argument as text: a string as it is, a real as the message conversion writes it.
std::string T(Args a, int i) {
    return a[i].IsString() ? std::string(a[i].str()) : MessageText(a[i]);
}

// Asks and clears the input state afterwards, so keys of the dialog do not reach the game.
std::string Ask(const DialogRequest& request) {
    std::string answer = AskDialog(request);
    CurrentInput().Clear();
    return answer;
}

// The choosers browse from the current folder and leave it as it was.
class KeepCurrentFolder {
public:
    KeepCurrentFolder() { saved_ = std::filesystem::current_path(ec_); }
    ~KeepCurrentFolder() {
        if (ec_) return;
        std::error_code ec;
        std::filesystem::current_path(saved_, ec);
    }
    KeepCurrentFolder(const KeepCurrentFolder&) = delete;
    KeepCurrentFolder& operator=(const KeepCurrentFolder&) = delete;

private:
    std::error_code ec_;
    std::filesystem::path saved_;
};

int32_t AskButtons(const std::string& text, std::array<std::string, 3> buttons) {
    DialogRequest request;
    request.kind = DialogKind::Message;
    request.text = text;
    request.buttons = std::move(buttons);
    const auto n = ParseIntegerAnswer(Ask(request));
    return n ? *n : 0;
}

std::string AskText(DialogKind kind, const std::string& text, const std::string& value) {
    DialogRequest request;
    request.kind = kind;
    request.text = text;
    request.buttons = {"", "OK", ""};
    request.input = true;
    request.value = value;
    return Ask(request);
}

ROUTINE(show_message) {
    (void)AskButtons(MessageText(a[0]), {"", "OK", ""});
}
ROUTINE(show_question) {
    r.SetReal(AskButtons(MessageText(a[0]), {"Yes", "", "No"}) == 1 ? 1 : 0);
}
ROUTINE(show_message_ext) {
    r.SetReal(AskButtons(MessageText(a[0]), {T(a, 1), T(a, 2), T(a, 3)}));
}
ROUTINE(show_error) {
    ReportError(T(a, 0), B(a, 1));
}
ROUTINE(get_string) {
    r.SetString(AskText(DialogKind::String, MessageText(a[0]), T(a, 1)));
}
ROUTINE(get_integer) {
    const std::string answer = AskText(DialogKind::Integer, MessageText(a[0]), std::to_string(I(a, 1)));
    const auto n = ParseIntegerAnswer(answer);
    if (n)
        r.SetReal(*n);
    else
        r.SetReal(a[1].val());
}

void Menu(Args a, int itemsArg, bool atMouse, int32_t x, int32_t y, RValue& r) {
    DialogRequest request;
    request.kind = DialogKind::Menu;
    for (const MenuItem& item : ParseMenu(a[itemsArg].str())) request.items.push_back(item.text);
    request.at_mouse = atMouse;
    request.x = x;
    request.y = y;
    const auto n = ParseIntegerAnswer(Ask(request));
    if (n && *n >= 0)
        r.SetReal(*n);
    else
        r.SetReal(a[itemsArg + 1].val());
}
ROUTINE(show_menu) {
    Menu(a, 0, true, -1, -1, r);
}
ROUTINE(show_menu_pos) {
    Menu(a, 2, false, I(a, 0), I(a, 1), r);
}
ROUTINE(get_color) {
    DialogRequest request;
    request.kind = DialogKind::Colour;
    request.value = std::to_string(I(a, 0) & 0xFFFFFF);
    const auto n = ParseIntegerAnswer(Ask(request));
    r.SetReal(n ? *n : -1);
}
void ChooseFile(DialogKind kind, Args a, RValue& r) {
    KeepCurrentFolder keep;
    DialogRequest request;
    request.kind = kind;
    request.filter = T(a, 0);
    request.value = T(a, 1);
    r.SetString(Ask(request));
}
ROUTINE(get_open_filename) {
    ChooseFile(DialogKind::OpenFile, a, r);
}
ROUTINE(get_save_filename) {
    ChooseFile(DialogKind::SaveFile, a, r);
}
ROUTINE(get_directory) {
    KeepCurrentFolder keep;
    DialogRequest request;
    request.kind = DialogKind::Folder;
    request.value = T(a, 0);
    std::string answer = Ask(request);
    r.SetString(answer.empty() ? request.value : answer);
}
ROUTINE(get_directory_alt) {
    KeepCurrentFolder keep;
    DialogRequest request;
    request.kind = DialogKind::Folder;
    request.text = T(a, 0);
    request.root = T(a, 1);
    r.SetString(Ask(request));
}

// ---- The message window's settings ----

MessageSettings& S() {
    return CurrentMessageSettings();
}

ROUTINE(message_background) {
    const int32_t back = I(a, 0);
    if (!g_hooks.background_exists || !g_hooks.background_exists(back)) {
        ReportRunError(msg::kNoMessageBackground, false);
        return;
    }
    S().background = back;
}
ROUTINE(message_button) {
    const int32_t sprite = I(a, 0);
    if (!g_hooks.sprite_exists || !g_hooks.sprite_exists(sprite)) {
        ReportRunError(msg::kNoMessageButton, false);
        return;
    }
    S().button_sprite = sprite;
}
ROUTINE(message_text_font) {
    ChangeMessageFont(S().text_font, a[0].str(), I(a, 1), I(a, 2), I(a, 3));
}
ROUTINE(message_button_font) {
    ChangeMessageFont(S().button_font, a[0].str(), I(a, 1), I(a, 2), I(a, 3));
}
ROUTINE(message_input_font) {
    ChangeMessageFont(S().input_font, a[0].str(), I(a, 1), I(a, 2), I(a, 3));
}
ROUTINE(message_text_charset) {
    const int32_t type = I(a, 0);
    MessageFont* font = type == 0   ? &S().text_font
                        : type == 1 ? &S().button_font
                        : type == 2 ? &S().input_font
                                    : nullptr;
    if (font) font->charset = I(a, 1);
}
ROUTINE(message_mouse_color) {
    S().mouse_colour = I(a, 0) & 0xFFFFFF;
}
ROUTINE(message_input_color) {
    S().input_colour = I(a, 0) & 0xFFFFFF;
}
ROUTINE(message_alpha) {
    S().alpha = MessageAlphaByte(a[0].val());
}
ROUTINE(message_position) {
    S().x = I(a, 0);
    S().y = I(a, 1);
}
ROUTINE(message_size) {
    S().width = I(a, 0);
    S().height = I(a, 1);
}
ROUTINE(message_caption) {
    S().show_caption = B(a, 0);
    S().caption = T(a, 1);
}

// ---- The high-score table ----

HighscoreSettings& H() {
    return CurrentHighscoreSettings();
}

void Save(const HighscoreTable& table) {
    (void)SaveHighscores(CurrentRegistryStore(), GameValues().game_id, table);
}

void ShowTable(int32_t score) {
    HighscoreTable table = CurrentHighscores();
    const int32_t rank = table.Insert("", score);
    if (rank > 0) Save(table);
    DialogRequest request;
    request.kind = DialogKind::Highscore;
    request.text = H().caption;
    request.new_rank = rank;
    for (const HighscoreEntry& e : table.ranks) request.table.push_back({HighscoreShownName(e), e.score});
    if (rank > 0) request.table[static_cast<size_t>(rank - 1)].name.clear();
    const std::string name = Ask(request);
    if (rank > 0) {
        table.ranks[static_cast<size_t>(rank - 1)].name = name;
        Save(table);
    }
}

ROUTINE(highscore_show) {
    ShowTable(I(a, 0));
}
ROUTINE(highscore_show_ext) {
    H().background = I(a, 1);
    H().border = B(a, 2);
    H().new_colour = I(a, 3) & 0xFFFFFF;
    H().other_colour = I(a, 4) & 0xFFFFFF;
    H().font = T(a, 5);
    H().font_size = I(a, 6);
    ShowTable(I(a, 0));
}
ROUTINE(highscore_set_background) {
    H().background = I(a, 0);
}
ROUTINE(highscore_set_border) {
    H().border = B(a, 0);
}
ROUTINE(highscore_set_font) {
    H().font = T(a, 0);
    H().font_size = I(a, 1);
    H().font_style = I(a, 2);
}
ROUTINE(highscore_set_colors) {
    H().back_colour = I(a, 0) & 0xFFFFFF;
    H().new_colour = I(a, 1) & 0xFFFFFF;
    H().other_colour = I(a, 2) & 0xFFFFFF;
}
ROUTINE(highscore_set_strings) {
    H().caption = T(a, 0);
    H().nobody = T(a, 1);
    H().escape = T(a, 2);
}
ROUTINE(highscore_clear) {
    HighscoreTable table;
    for (HighscoreEntry& e : table.ranks) e = {H().nobody, 0, true};
    Save(table);
}
ROUTINE(highscore_add) {
    HighscoreTable table = CurrentHighscores();
    if (table.Insert(T(a, 0), I(a, 1)) > 0) Save(table);
}
ROUTINE(highscore_add_current) {
    HighscoreTable table = CurrentHighscores();
    const int32_t score = GameValues().score;
    if (score < table.ranks.back().score) return;
    DialogRequest request;
    request.kind = DialogKind::String;
    request.text = msg::kHighscoreAskName;
    request.buttons = {"", "OK", ""};
    request.input = true;
    request.value = msg::kHighscoreDefaultName;
    const std::string name = Ask(request);
    if (table.Insert(name, score) > 0) Save(table);
}
ROUTINE(highscore_value) {
    const int32_t rank = I(a, 0);
    if (rank < 1 || rank > kHighscoreRanks) return;
    r.SetReal(CurrentHighscores().ranks[static_cast<size_t>(rank - 1)].score);
}
ROUTINE(highscore_name) {
    const int32_t rank = I(a, 0);
    if (rank < 1 || rank > kHighscoreRanks) {
        r.SetString(H().nobody);
        return;
    }
    r.SetString(HighscoreShownName(CurrentHighscores().ranks[static_cast<size_t>(rank - 1)]));
}

constexpr RFunctionSpec kFunctions[] = {
    {"show_message", show_message, 1},
    {"show_question", show_question, 1},
    {"show_message_ext", show_message_ext, 4},
    {"show_error", show_error, 2},
    {"get_string", get_string, 2},
    {"get_integer", get_integer, 2},
    {"show_menu", show_menu, 2},
    {"show_menu_pos", show_menu_pos, 4},
    {"get_color", get_color, 1},
    {"get_open_filename", get_open_filename, 2},
    {"get_save_filename", get_save_filename, 2},
    {"get_directory", get_directory, 1},
    {"get_directory_alt", get_directory_alt, 2},
    {"message_background", message_background, 1},
    {"message_button", message_button, 1},
    {"message_button_font", message_button_font, 4},
    {"message_input_font", message_input_font, 4},
    {"message_text_font", message_text_font, 4},
    {"message_text_charset", message_text_charset, 2},
    {"message_mouse_color", message_mouse_color, 1},
    {"message_input_color", message_input_color, 1},
    {"message_alpha", message_alpha, 1},
    {"message_position", message_position, 2},
    {"message_size", message_size, 2},
    {"message_caption", message_caption, 2},
    {"highscore_show", highscore_show, 1},
    {"highscore_show_ext", highscore_show_ext, 7},
    {"highscore_set_background", highscore_set_background, 1},
    {"highscore_set_border", highscore_set_border, 1},
    {"highscore_set_colors", highscore_set_colors, 3},
    {"highscore_set_font", highscore_set_font, 3},
    {"highscore_set_strings", highscore_set_strings, 3},
    {"highscore_clear", highscore_clear, 0},
    {"highscore_add", highscore_add, 2},
    {"highscore_add_current", highscore_add_current, 0},
    {"highscore_name", highscore_name, 1},
    {"highscore_value", highscore_value, 1},
};

} // namespace

std::span<const RFunctionSpec> DialogFunctions() {
    return kFunctions;
}

void SetDialogResourceHooks(DialogResourceHooks hooks) {
    g_hooks = std::move(hooks);
}

const DialogResourceHooks& CurrentDialogResourceHooks() {
    return g_hooks;
}

HighscoreTable CurrentHighscores() {
    return LoadHighscores(CurrentRegistryStore(), GameValues().game_id);
}

std::string HighscoreShownName(const HighscoreEntry& entry) {
    return entry.stored ? entry.name : CurrentHighscoreSettings().nobody;
}

void ResetDialogState() {
    ResetMessageSettings();
    ResetHighscoreSettings();
    ResetDialogHosts();
}

} // namespace kestrin
