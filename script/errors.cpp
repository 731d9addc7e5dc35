#include "script/errors.h"

#include <cstdio>
#include <fstream>
#include <new>
#include <stdexcept>

#include "script/code_messages.h"
#include "script/run_error.h"
#include "script/value.h"
#include "script/variable_names.h"

namespace kestrin {

namespace {

struct ErrorState {
    ErrorOptions options;
    ErrorWindow* window = nullptr;
    ErrorHooks hooks;
    EventContext event;
    bool aborting = false;
    bool firstLog = true;
    bool occurred = false;
    std::string last;
};

ErrorState& State() {
    static ErrorState state;
    return state;
}

// Text for a terminal or a log file: the carriage returns that separate lines in messages
// become line feeds.
std::string PlainLines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

void ShowHeadless(std::string_view text) {
    const std::string plain = PlainLines(text);
    std::fflush(stdout); // what the game printed before comes first when both are piped
    std::fprintf(stderr, "%s\n", plain.c_str());
}

void AppendToLog(std::string_view text) {
    ErrorState& s = State();
    std::ofstream out("game_errors.log", s.firstLog ? std::ios::trunc : std::ios::app);
    if (out) out << PlainLines(text) << "\n\n\n";
    s.firstLog = false;
}

std::string NameOr(const std::function<bool(int32_t, std::string&)>& lookup, int32_t index,
                   std::string_view missing) {
    std::string name;
    if (lookup && lookup(index, name)) return name;
    return std::string(missing);
}

void RunErrorToPath(std::string_view message, bool fatal) {
    ReportError(RunErrorText(message, fatal), fatal);
}

bool ReadErrorLast(CScriptInstance*, int32_t, RValue& value) {
    value.SetString(State().last);
    return true;
}
bool WriteErrorLast(CScriptInstance*, int32_t, const RValue& value) {
    State().last = std::string(value.str());
    return true;
}
bool ReadErrorOccurred(CScriptInstance*, int32_t, RValue& value) {
    value.SetReal(State().occurred ? 1.0 : 0.0);
    return true;
}
bool WriteErrorOccurred(CScriptInstance*, int32_t, const RValue& value) {
    State().occurred = value.val() >= 0.5;
    return true;
}

} // namespace

void SetErrorOptions(const ErrorOptions& options) {
    State().options = options;
}
const ErrorOptions& CurrentErrorOptions() {
    return State().options;
}
void SetErrorWindow(ErrorWindow* window) {
    State().window = window;
}
void SetErrorHooks(ErrorHooks hooks) {
    State().hooks = std::move(hooks);
}
EventContext& CurrentEvent() {
    return State().event;
}
bool GameAborting() {
    return State().aborting;
}
const std::string& ErrorLast() {
    return State().last;
}
bool ErrorOccurred() {
    return State().occurred;
}

void ResetErrorState() {
    ErrorState& s = State();
    s.aborting = false;
    s.firstLog = true;
    s.occurred = false;
    s.last.clear();
}

void TraceLine(std::string_view text) {
    if (State().hooks.trace) State().hooks.trace(text);
}

void ReportError(std::string_view text, bool fatal) {
    ErrorState& s = State();
    TraceLine(text);
    if (s.aborting) return;
    if (s.options.abort_errors) fatal = true;
    if (s.options.display_errors) {
        if (s.window) {
            if (s.window->Show(text, !fatal)) fatal = true;
        } else {
            ShowHeadless(text);
        }
    }
    if (s.hooks.clear_input) s.hooks.clear_input();
    if (s.options.write_errors) AppendToLog(text);
    s.last = std::string(text);
    s.occurred = true;
    if (fatal) {
        s.aborting = true;
        if (s.hooks.abort_game) s.hooks.abort_game();
    }
}

std::string RunErrorText(std::string_view message, bool fatal) {
    const ErrorState& s = State();
    std::string text;
    if (fatal) text += CodeText(CodeMessage::Fatal);
    if (!s.event.active) {
        text += message;
        return text;
    }
    const EventContext& e = s.event;
    text += CodeText(CodeMessage::ErrorIn);
    text += "\r\n";
    text += CodeText(CodeMessage::ActionNumber);
    text += std::to_string(static_cast<int64_t>(e.action) + 1);
    text += "\r\n";
    if (e.type == kTimeLineEventType) {
        text += CodeText(CodeMessage::AtTimeStep);
        text += std::to_string(e.number);
        text += "\r\n";
        text += CodeText(CodeMessage::OfTimeLine);
        text += NameOr(s.hooks.timeline_name, e.object, "<undefined>");
    } else {
        text += CodeText(CodeMessage::Of);
        text += EventName(e.type, e.number);
        text += "\r\n";
        text += CodeText(CodeMessage::ForObject);
        text += NameOr(s.hooks.object_name, e.object, "<undefined>");
    }
    text += ":\r\n\r\n";
    text += message;
    return text;
}

void InstallErrorPath() {
    (void)SetRunErrorSink(&RunErrorToPath);
}

std::string KeyName(int32_t key) {
    switch (key) {
    case 0:
        return "<no key>";
    case 1:
        return "<any key>";
    case 8:
        return "<Backspace>";
    case 9:
        return "<Tab>";
    case 13:
        return "<Enter>";
    case 16:
        return "<Shift>";
    case 17:
        return "<Ctrl>";
    case 18:
        return "<Alt>";
    case 27:
        return "<Escape>";
    case 32:
        return "<Space>";
    case 33:
        return "<Page Up>";
    case 34:
        return "<Page Down>";
    case 35:
        return "<End>";
    case 36:
        return "<Home>";
    case 37:
        return "<Left>";
    case 38:
        return "<Up>";
    case 39:
        return "<Right>";
    case 40:
        return "<Down>";
    case 45:
        return "<Insert>";
    case 46:
        return "<Delete>";
    case 106:
        return "Keypad *";
    case 107:
        return "Keypad +";
    case 109:
        return "Keypad -";
    case 110:
        return "Keypad .";
    case 111:
        return "Keypad /";
    default:
        break;
    }
    if ((key >= 48 && key <= 57) || (key >= 65 && key <= 90))
        return std::string(1, static_cast<char>(key)) + "-key";
    if (key >= 96 && key <= 105) return "Keypad " + std::to_string(key - 96);
    if (key >= 112 && key <= 123) return "F" + std::to_string(key - 111);
    return "<unknown>";
}

namespace {

std::string MouseEventName(int32_t n) {
    static constexpr std::string_view kFirst[] = {
        "Left Button",    "Right Button",    "Middle Button",  "No Button",
        "Left Pressed",   "Right Pressed",   "Middle Pressed", "Left Released",
        "Right Released", "Middle Released", "Mouse Enter",    "Mouse Leave",
    };
    static constexpr std::string_view kGlobal[] = {
        "Glob Left Button",   "Glob Right Button",   "Glob Middle Button",
        "Glob Left Pressed",  "Glob Right Pressed",  "Glob Middle Pressed",
        "Glob Left Released", "Glob Right Released", "Glob Middle Released",
    };
    static constexpr std::string_view kDirections[] = {"Left", "Right", "Up", "Down"};
    if (n >= 0 && n <= 11) return std::string(kFirst[n]);
    for (int32_t stick = 1; stick <= 2; ++stick) {
        const int32_t base = stick == 1 ? 16 : 31;
        const std::string prefix = "Joystick " + std::to_string(stick) + " ";
        if (n >= base && n < base + 4) return prefix + std::string(kDirections[n - base]);
        if (n >= base + 5 && n <= base + 12) return prefix + "Button " + std::to_string(n - base - 4);
    }
    if (n >= 50 && n <= 58) return std::string(kGlobal[n - 50]);
    if (n == 60) return "Mouse Wheel Up";
    if (n == 61) return "Mouse Wheel Down";
    return "<unknown>";
}

std::string OtherEventName(int32_t n) {
    static constexpr std::string_view kNames[] = {
        "Outside Room", "Intersect Boundary", "Game Start",    "Game End",    "Room Start",
        "Room End",     "No More Lives",      "Animation End", "End Of Path", "No More Health",
    };
    if (n >= 0 && n <= 9) return std::string(kNames[n]);
    if (n >= 10 && n <= 25) return "User Defined " + std::to_string(n - 10);
    if (n == 30) return "Close Button";
    if (n >= 40 && n <= 47) return "Outside View " + std::to_string(n - 40);
    if (n >= 50 && n <= 57) return "Boundary View " + std::to_string(n - 50);
    return "<unknown>";
}

} // namespace

std::string EventName(int32_t type, int32_t number) {
    const ErrorHooks& hooks = State().hooks;
    switch (type) {
    case 0:
        return "Create Event";
    case 1:
        return "Destroy Event";
    case 2:
        return "Alarm Event for alarm " + std::to_string(number);
    case 3: {
        const char* kind = number == 0 ? "" : number == 1 ? "Begin" : number == 2 ? "End" : "<unknown>";
        return std::string(kind) + " Step Event";
    }
    case 4:
        return "Collision Event with object " + NameOr(hooks.object_name, number, "<undefined>");
    case 5:
        return "Keyboard Event for " + KeyName(number) + " Key";
    case 6:
        return "Mouse Event for " + MouseEventName(number);
    case 7:
        return "Other Event: " + OtherEventName(number);
    case 8:
        return "Draw Event";
    case 9:
        return "Key Press Event for " + KeyName(number) + " Key";
    case 10:
        return "Key Release Event for " + KeyName(number) + " Key";
    case 11:
        return "Trigger Event: " + NameOr(hooks.trigger_name, number, "<Deleted>");
    default:
        return "<Unknown Event>";
    }
}

const char* FaultText(const std::exception& fault) {
    // A failed allocation (or a size no container can hold) reads as the runner's own limits
    // do, never as a library's type name.
    if (dynamic_cast<const std::bad_alloc*>(&fault) || dynamic_cast<const std::length_error*>(&fault))
        return kOutOfMemoryText;
    return fault.what();
}

void HandleRunnerFault(const std::exception& fault) {
    const char* text = FaultText(fault);
    TraceLine(std::string(CodeText(CodeMessage::UnhandledException)) + text);
    TraceLine(CodeText(CodeMessage::StackTrace));
    // FIXME: frames of the stack trace; the platform's fault box once dialogs exist.
    ErrorState& s = State();
    if (s.window)
        (void)s.window->Show(text, true);
    else
        ShowHeadless(text);
}

void BindErrorVariables() {
    (void)BindBuiltinVariable("error_last", ReadErrorLast, WriteErrorLast);
    (void)BindBuiltinVariable("error_occurred", ReadErrorOccurred, WriteErrorOccurred);
}

} // namespace kestrin
