#pragma once
// The one path of every error a player sees: the trace, the error window (or standard error
// when headless), "game_errors.log", error_last / error_occurred, and the end of the game for
// fatal errors. Run-time errors get a heading naming the action, the event and the object.

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <string_view>

namespace kestrin {

// The game's settings that steer the path.
struct ErrorOptions {
    bool display_errors = true;
    bool write_errors = false;
    bool abort_errors = false;
};
void SetErrorOptions(const ErrorOptions& options);
const ErrorOptions& CurrentErrorOptions();

// The error window: shows the text and answers whether the player chose to abort. Without
// one (headless), the text goes to standard error and the game goes on.
class ErrorWindow {
public:
    virtual ~ErrorWindow() = default;
    [[nodiscard]] virtual bool Show(std::string_view text, bool allowIgnore) = 0;
};
void SetErrorWindow(ErrorWindow* window);

// What the path needs from the rest of the runner. Unset entries do nothing, and names of
// objects, time lines and triggers read as missing.
struct ErrorHooks {
    std::function<void(std::string_view)> trace;
    std::function<void()> clear_input;
    std::function<void()> abort_game; // sets the room request "abort" and ends the run
    std::function<bool(int32_t, std::string&)> object_name;
    std::function<bool(int32_t, std::string&)> timeline_name;
    std::function<bool(int32_t, std::string&)> trigger_name;
};
void SetErrorHooks(ErrorHooks hooks);

// The event being executed, kept by event dispatch. Outside any event (the `kestrin script`
// tool, constants at load) run-time errors carry no heading.
inline constexpr int32_t kTimeLineEventType = 100000;
struct EventContext {
    bool active = false;
    int32_t type = 0;
    int32_t number = 0;
    int32_t object = -1; // or the time line
    int32_t action = 0;
};
EventContext& CurrentEvent();

// Restores the current event context when it goes out of scope.
class EventScope {
public:
    explicit EventScope(const EventContext& context) : saved_(CurrentEvent()) { CurrentEvent() = context; }
    ~EventScope() { CurrentEvent() = saved_; }
    EventScope(const EventScope&) = delete;
    EventScope& operator=(const EventScope&) = delete;

private:
    EventContext saved_;
};

void ReportError(std::string_view text, bool fatal);
// The heading of the current event followed by the message (what ReportRunError shows).
std::string RunErrorText(std::string_view message, bool fatal);
// Sends the run-time errors of built-ins (run_error.h) through this path.
void InstallErrorPath();

std::string EventName(int32_t type, int32_t number);
std::string KeyName(int32_t key);

bool GameAborting();
const std::string& ErrorLast();
bool ErrorOccurred();
// A new run: no error yet, the log to be replaced by the first error, not aborting.
void ResetErrorState();

void TraceLine(std::string_view text);

// Faults that nothing else caught: traced with the stack trace and shown; the game goes on.
void HandleRunnerFault(const std::exception& fault);
// The text a fault is reported with: "Out of memory" for a failed allocation.
const char* FaultText(const std::exception& fault);

// Installs the routines of error_last and error_occurred.
void BindErrorVariables();

} // namespace kestrin
