#pragma once
// One run's debug window: the model attached to the main loop, the view when there is a
// display, the command file when one is given, and show_debug_message's way into the
// messages window. Lives while the game plays.

#include <memory>
#include <string>

#include "debug/debug_commands.h"
#include "debug/debug_model.h"
#include "debug/debug_view.h"
#include "script/function_script.h"

namespace kestrin {

class MainLoop;

class DebugSession {
public:
    // `windowed`: open the view (when a backend can). `commandFile`: drive the model from it.
    DebugSession(MainLoop& loop, bool windowed, const std::string& commandFile);
    ~DebugSession();
    DebugSession(const DebugSession&) = delete;
    DebugSession& operator=(const DebugSession&) = delete;

    // False, with the message in Error(), when the command file cannot be read or parsed.
    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }

    DebugModel& Model() { return model_; }
    bool HasView() const { return view_ != nullptr; }

private:
    void Idle();

    MainLoop& loop_;
    DebugModel model_;
    std::unique_ptr<DebugView> view_;
    std::unique_ptr<DebugCommandRunner> commands_;
    std::string error_;
    DebugMessageSink previous_sink_ = nullptr;
    DebugModel* previous_model_ = nullptr;
};

} // namespace kestrin
