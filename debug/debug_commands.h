#pragma once
// The debug window driven by a command file instead of a person: each line is one command,
// carried out between steps, and `dump` prints what a window would show. This makes the
// window usable without a display (tests, CI) and its behaviour checkable line by line.
//
//   pause | continue | run | step [N] | stop | restart | close
//   wait N                     let N steps of the running game pass before the next command
//   watch EXPR | change ROW EXPR | unwatch ROW | clear | load FILE | save FILE
//   execute CODE | speed N
//   show globals|instances|messages | local ID_OR_OBJECT | hide WINDOW
//   dump status|watches|globals|instances|messages|local N
//
// Blank lines and lines starting with # are skipped; rows and local windows count from 1.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrin {

class DebugModel;

struct DebugCommand {
    int32_t line = 0;
    std::string name;
    std::string argument; // the rest of the line, blanks around it removed
    int64_t count = 1;    // step, wait, unwatch, change (the row)
};

// Parses a command file; false with "line N: ..." in `error` at the first bad line.
[[nodiscard]] bool ParseDebugCommands(std::string_view text, std::vector<DebugCommand>& out,
                                      std::string& error);

class DebugCommandRunner {
public:
    using Output = std::function<void(const std::string& line)>;
    // `print` gets what the windows show, `complain` the commands that could not be carried out.
    DebugCommandRunner(DebugModel& model, std::vector<DebugCommand> commands, Output print, Output complain);

    // Carries out commands until one has to wait for steps or none are left.
    void Advance();
    bool Finished() const { return next_ >= commands_.size() && !waiting_; }

    // The text `dump WINDOW` prints (without its trailing newline), or nullopt for an unknown
    // window.
    std::optional<std::string> Dump(std::string_view window);

private:
    void Carry(const DebugCommand& command);
    void Complain(const DebugCommand& command, const std::string& text);

    DebugModel& model_;
    std::vector<DebugCommand> commands_;
    size_t next_ = 0;
    bool waiting_ = false;
    int64_t wait_until_ = 0;
    Output print_;
    Output complain_;
};

} // namespace kestrin
