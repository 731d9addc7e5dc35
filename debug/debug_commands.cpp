#include "debug/debug_commands.h"

#include <charconv>

#include "debug/debug_messages.h"
#include "debug/debug_model.h"
#include "runner/main_loop.h"

namespace kestrin {

namespace {

constexpr int64_t kMaxCount = 1000000000;

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// Splits off the first word of `text`.
std::string_view FirstWord(std::string_view& text) {
    text = Trim(text);
    size_t end = text.find_first_of(" \t");
    std::string_view word = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : Trim(text.substr(end));
    return word;
}

bool ParseCount(std::string_view text, int64_t& out) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size() && out >= 1 && out <= kMaxCount;
}

enum class Shape { Nothing, OptionalCount, Count, Text, RowText, Window, DumpWindow };

struct CommandShape {
    std::string_view name;
    Shape shape;
};

constexpr CommandShape kCommands[] = {
    {"pause", Shape::Nothing},      {"continue", Shape::Nothing}, {"run", Shape::Nothing},
    {"step", Shape::OptionalCount}, {"stop", Shape::Nothing},     {"restart", Shape::Nothing},
    {"close", Shape::Nothing},      {"wait", Shape::Count},       {"watch", Shape::Text},
    {"change", Shape::RowText},     {"unwatch", Shape::Count},    {"clear", Shape::Nothing},
    {"load", Shape::Text},          {"save", Shape::Text},        {"execute", Shape::Text},
    {"speed", Shape::Text},         {"show", Shape::Window},      {"hide", Shape::Window},
    {"local", Shape::Text},         {"dump", Shape::DumpWindow},
};

// "local N" names the N-th local-variables window (from 1).
bool LocalNumber(std::string_view window, size_t& index) {
    std::string_view rest = window;
    if (FirstWord(rest) != "local") return false;
    int64_t n;
    if (!ParseCount(rest, n)) return false;
    index = static_cast<size_t>(n - 1);
    return true;
}

bool KnownWindow(std::string_view window, bool dump) {
    size_t index;
    if (window == "globals" || window == "instances" || window == "messages") return true;
    if (LocalNumber(window, index)) return true;
    return dump && (window == "status" || window == "watches");
}

std::string PlainLines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

std::string Titled(const std::string& caption, std::string_view text) {
    std::string out = "== " + caption + " ==";
    const std::string body = PlainLines(text);
    if (!body.empty()) out += "\n" + body;
    return out;
}

} // namespace

bool ParseDebugCommands(std::string_view text, std::vector<DebugCommand>& out, std::string& error) {
    out.clear();
    int32_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        size_t end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == '#') continue;
        DebugCommand command;
        command.line = lineNumber;
        std::string_view rest = line;
        command.name = std::string(FirstWord(rest));
        const CommandShape* shape = nullptr;
        for (const CommandShape& s : kCommands)
            if (s.name == command.name) shape = &s;
        auto fail = [&](const char* why) {
            error = "line " + std::to_string(lineNumber) + ": " + command.name + ": " + why;
            return false;
        };
        if (!shape) return fail(msg::kDebugCommandUnknown);
        switch (shape->shape) {
        case Shape::Nothing:
            if (!rest.empty()) return fail("takes nothing after the command");
            break;
        case Shape::OptionalCount:
            if (!rest.empty() && !ParseCount(rest, command.count)) return fail(msg::kDebugCommandNeedsCount);
            break;
        case Shape::Count:
            if (!ParseCount(rest, command.count))
                return fail(command.name == "unwatch" ? msg::kDebugCommandNeedsRow
                                                      : msg::kDebugCommandNeedsCount);
            break;
        case Shape::Text:
            if (rest.empty()) return fail(msg::kDebugCommandNeedsText);
            break;
        case Shape::RowText: {
            std::string_view row = FirstWord(rest);
            if (!ParseCount(row, command.count)) return fail(msg::kDebugCommandNeedsRow);
            if (rest.empty()) return fail(msg::kDebugCommandNeedsText);
            break;
        }
        case Shape::Window:
        case Shape::DumpWindow:
            if (!KnownWindow(rest, shape->shape == Shape::DumpWindow))
                return fail(msg::kDebugCommandUnknownWindow);
            break;
        }
        command.argument = std::string(rest);
        out.push_back(std::move(command));
    }
    return true;
}

DebugCommandRunner::DebugCommandRunner(DebugModel& model, std::vector<DebugCommand> commands, Output print,
                                       Output complain)
    : model_(model), commands_(std::move(commands)), print_(std::move(print)),
      complain_(std::move(complain)) {}

void DebugCommandRunner::Advance() {
    while (true) {
        if (waiting_) {
            const MainLoop* loop = model_.Loop();
            if (loop && model_.Running() && !model_.Paused() && loop->StepCount() < wait_until_) return;
            waiting_ = false;
        }
        if (next_ >= commands_.size() || !model_.Running()) return;
        Carry(commands_[next_++]);
    }
}

void DebugCommandRunner::Complain(const DebugCommand& command, const std::string& text) {
    complain_("line " + std::to_string(command.line) + ": " + command.name + ": " + text);
}

std::optional<std::string> DebugCommandRunner::Dump(std::string_view window) {
    model_.Refresh();
    if (window == "status") {
        const MainLoop* loop = model_.Loop();
        std::string state = !model_.Running() ? "ended" : model_.Paused() ? "paused" : "running";
        return "step " + std::to_string(loop ? loop->StepCount() : 0) + " " + state + " | " +
               model_.FpsPanel() + " | " + model_.InstancePanel() + " | " + model_.MousePanel();
    }
    if (window == "watches") {
        std::string out = "== Watches ==";
        for (const DebugWatch& watch : model_.Watches()) out += "\n" + watch.expression + " = " + watch.value;
        return out;
    }
    if (window == "globals") {
        model_.ShowGlobal();
        return Titled(model_.GlobalWindow().caption, model_.GlobalWindow().text);
    }
    if (window == "instances") {
        model_.ShowInstances();
        return Titled(model_.InstancesWindow().caption, model_.InstancesWindow().text);
    }
    if (window == "messages") {
        model_.ShowMessages();
        return Titled(model_.MessagesWindow()->caption, model_.MessagesWindow()->text);
    }
    size_t index;
    if (LocalNumber(window, index) && index < model_.LocalWindows().size()) {
        const DebugTextWindow& local = model_.LocalWindows()[index];
        // A hidden window is not refreshed; it shows what it showed last.
        return Titled(local.caption, local.text);
    }
    return std::nullopt;
}

void DebugCommandRunner::Carry(const DebugCommand& command) {
    const std::string& name = command.name;
    const std::string& argument = command.argument;
    auto action = [&](DebugAction which) {
        if (!model_.Perform(which)) {
            Complain(command, msg::kDebugCommandNotEnabled +
                                  std::string(!model_.Running() ? "the game is not running"
                                              : model_.Paused() ? "the game is paused"
                                                                : "the game is not paused"));
        }
    };
    if (name == "pause") {
        action(DebugAction::Pause);
    } else if (name == "continue" || name == "run") {
        action(DebugAction::Run);
    } else if (name == "step") {
        for (int64_t i = 0; i < command.count; ++i) {
            action(DebugAction::Step);
            if (!model_.Running() || !model_.Paused()) break;
        }
    } else if (name == "stop") {
        action(DebugAction::Stop);
    } else if (name == "restart") {
        action(DebugAction::Restart);
    } else if (name == "close") {
        model_.CloseWindow();
    } else if (name == "wait") {
        if (!model_.Running() || model_.Paused()) {
            Complain(command, msg::kDebugCommandNotEnabled + std::string("the game is paused"));
        } else {
            waiting_ = true;
            wait_until_ = (model_.Loop() ? model_.Loop()->StepCount() : 0) + command.count;
        }
    } else if (name == "watch") {
        (void)model_.AddWatch(argument);
    } else if (name == "change") {
        if (static_cast<size_t>(command.count - 1) > model_.Watches().size())
            Complain(command, msg::kDebugCommandNeedsRow);
        else
            (void)model_.ChangeWatch(static_cast<size_t>(command.count - 1), argument);
    } else if (name == "unwatch") {
        (void)model_.DeleteWatch(static_cast<size_t>(command.count - 1));
    } else if (name == "clear") {
        model_.ClearWatches();
    } else if (name == "load") {
        if (!model_.LoadWatches(argument)) Complain(command, msg::kDebugCommandFileFailed + argument);
    } else if (name == "save") {
        if (!model_.SaveWatches(argument)) Complain(command, msg::kDebugCommandFileFailed + argument);
    } else if (name == "execute") {
        if (model_.Execute(argument) == DebugModel::ExecuteResult::CompileError) print_(msg::kCompileError);
    } else if (name == "speed") {
        (void)model_.SetSpeed(argument);
    } else if (name == "local") {
        if (!model_.ShowLocal(argument)) Complain(command, "100 local-variables windows are open");
    } else if (name == "show" || name == "hide") {
        const bool show = name == "show";
        size_t index;
        if (argument == "globals") {
            if (show)
                model_.ShowGlobal();
            else
                model_.GlobalWindow().visible = false;
        } else if (argument == "instances") {
            if (show)
                model_.ShowInstances();
            else
                model_.InstancesWindow().visible = false;
        } else if (argument == "messages") {
            if (show)
                model_.ShowMessages();
            else if (model_.MessagesWindow())
                model_.MessagesWindow()->visible = false;
        } else if (LocalNumber(argument, index) && index < model_.LocalWindows().size()) {
            model_.LocalWindows()[index].visible = show;
            if (show) model_.Refresh();
        } else {
            Complain(command, msg::kDebugCommandNoLocal);
        }
    } else if (name == "dump") {
        if (std::optional<std::string> text = Dump(argument))
            print_(*text);
        else
            Complain(command, msg::kDebugCommandNoLocal);
    }
}

} // namespace kestrin
