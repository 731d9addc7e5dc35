#include "debug/debug_session.h"

#include <cstdio>

#include "base/file_io.h"
#include "debug/debug_messages.h"
#include "runner/main_loop.h"

namespace kestrin {

namespace {

constexpr uint64_t kMaxCommandFileBytes = 1u << 20;

DebugMessageSink g_chained = nullptr;

// show_debug_message goes where it went before (standard output) and into the messages window.
void DebugMessageToWindow(std::string_view text) {
    if (g_chained) g_chained(text);
    if (DebugModel* model = CurrentDebugModel()) model->AddMessage(text);
}

void PrintLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void ComplainLine(const std::string& line) {
    std::fprintf(stderr, "debug commands: %s\n", line.c_str());
}

DebugViewFactory g_viewFactory = nullptr;

} // namespace

void SetDebugViewFactory(DebugViewFactory factory) {
    g_viewFactory = factory;
}

std::unique_ptr<DebugView> OpenDebugView(DebugModel& model, std::string& error) {
    if (!g_viewFactory) {
        error = "no debug window backend";
        return nullptr;
    }
    return g_viewFactory(model, error);
}

DebugSession::DebugSession(MainLoop& loop, bool windowed, const std::string& commandFile)
    : loop_(loop), model_(&loop) {
    if (!commandFile.empty()) {
        std::vector<uint8_t> bytes;
        const FileReadStatus status = ReadRegularFile(commandFile, bytes, kMaxCommandFileBytes);
        std::vector<DebugCommand> commands;
        std::string error;
        if (status == FileReadStatus::TooLarge) {
            error_ = msg::kDebugCommandsTooLarge + commandFile;
            return;
        }
        if (status != FileReadStatus::Ok) {
            error_ = msg::kDebugCommandsUnreadable + commandFile;
            return;
        }
        const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        if (!ParseDebugCommands(text, commands, error)) {
            error_ = commandFile + ": " + error;
            return;
        }
        commands_ =
            std::make_unique<DebugCommandRunner>(model_, std::move(commands), PrintLine, ComplainLine);
    }
    if (windowed) {
        std::string error;
        view_ = OpenDebugView(model_, error);
        if (!view_) std::fprintf(stderr, "No debug window (%s): the game runs without it.\n", error.c_str());
    }
    previous_model_ = CurrentDebugModel();
    SetCurrentDebugModel(&model_);
    g_chained = SetDebugMessageSink(DebugMessageToWindow);
    previous_sink_ = g_chained;
    loop_.hooks.debug_refresh = [this] { model_.Refresh(); };
    loop_.hooks.debug_idle = [this] { Idle(); };
}

DebugSession::~DebugSession() {
    if (!Ok()) return;
    loop_.hooks.debug_refresh = nullptr;
    loop_.hooks.debug_idle = nullptr;
    SetDebugMessageSink(previous_sink_);
    g_chained = nullptr;
    SetCurrentDebugModel(previous_model_);
    view_.reset();
}

void DebugSession::Idle() {
    if (commands_) {
        commands_->Advance();
        // Nobody is left to continue a paused game without a window: it ends as on closing.
        if (commands_->Finished() && !view_ && model_.Paused()) (void)model_.Stop();
    }
    if (view_) view_->Frame();
}

} // namespace kestrin
