#pragma once
// The debug window as a model: run, pause, step, stop and restart over the main loop; the
// watch list re-evaluated every step; executing code; the room speed; and the read-only text
// windows (global variables, local variables of one instance, all instances, messages). A
// view (platform/ui) draws it and a command file (debug_commands.h) can drive it; both only
// call what is here.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrin {

class MainLoop;
class CInstance;
class RValue;

// A real as the window shows it: its integer digits within 1e-12 of an integer, otherwise the
// fewest of 2, 4, 6 or 8 decimals that are exact to 1e-12, otherwise 10; a string as itself.
std::string DebugValueText(const RValue& value);
std::string DebugRealText(double value);
// "name:" padded with spaces to 20 characters, the value text, CR LF.
std::string DebugVariableLine(std::string_view name, const RValue& value);
// 32 underscores and CR LF.
std::string DebugSeparatorLine();

// The texts of the windows, from the game as it is now.
std::string GlobalVariablesText();
std::string AllInstancesText();
// The first unmarked instance of the current room with that id, or of exactly the object of
// that name when `id` is -1; nullptr when there is none.
CInstance* FindShownInstance(int32_t id, std::string_view objectName);
std::string LocalVariablesText(int32_t id, std::string_view objectName);
// The id of the last unmarked instance whose mask holds the point (room coordinates), or -1.
int32_t InstanceAtPoint(double x, double y);

// One read-only text window.
struct DebugTextWindow {
    std::string caption;
    std::string text;
    bool visible = false;
    // Local-variables windows follow an instance id or an object name (id -1).
    int32_t id = -1;
    std::string object_name;
};

struct DebugWatch {
    std::string expression;
    std::string value;
};

enum class DebugAction {
    Run,
    Pause,
    Step,
    Stop,
    Restart,
};

class DebugModel {
public:
    static constexpr size_t kMaxLocalWindows = 100;
    // The messages window keeps its last lines within this many bytes: a game that writes a
    // message every step must not grow the window without end.
    static constexpr size_t kMaxMessageBytes = 4u << 20;

    // Without a loop the run actions are never enabled; the rest works.
    explicit DebugModel(MainLoop* loop = nullptr);

    void SetLoop(MainLoop* loop) { loop_ = loop; }
    MainLoop* Loop() const { return loop_; }

    // ---- run control ----
    bool Running() const;
    bool Paused() const;
    bool Enabled(DebugAction action) const;
    // Each does nothing when its action is not enabled and then answers false.
    bool Run();
    bool Pause();
    bool Step();
    bool Stop();
    bool Restart();
    bool Perform(DebugAction action);
    // The window's close button: while paused it ends the game as Stop does.
    void CloseWindow();
    bool WindowShown() const { return shown_; }
    void ShowWindow() { shown_ = true; }

    // ---- watches (rows 0 .. count-1; the view adds its empty last row itself) ----
    const std::vector<DebugWatch>& Watches() const { return watches_; }
    // An empty answer adds nothing.
    bool AddWatch(std::string_view expression);
    // Deleting the empty last row (index == count) or beyond does nothing.
    bool DeleteWatch(size_t row);
    // On the empty last row this adds; an empty answer changes nothing.
    bool ChangeWatch(size_t row, std::string_view expression);
    void ClearWatches();
    bool LoadWatches(const std::string& path);
    bool SaveWatches(const std::string& path) const;
    // The value text of one expression for a temporary instance.
    static std::string EvaluateWatch(std::string_view expression);

    // ---- execute code and room speed ----
    enum class ExecuteResult { Empty, CompileError, Ran };
    // An empty answer does nothing; a compile failure answers CompileError (the view shows
    // the message box "COMPILE ERROR"); run errors go through the error path.
    ExecuteResult Execute(std::string_view code);
    const std::string& LastExecuted() const { return last_code_; }
    // The current room's speed, for the prompt's default answer; 0 without a room.
    int32_t RoomSpeed() const;
    // An answer that is not an integer keeps the speed.
    bool SetSpeed(std::string_view answer);

    // ---- text windows ----
    DebugTextWindow& GlobalWindow() { return global_; }
    DebugTextWindow& InstancesWindow() { return instances_; }
    // Created by the first message (or by showing it), hidden until shown.
    std::optional<DebugTextWindow>& MessagesWindow() { return messages_; }
    std::vector<DebugTextWindow>& LocalWindows() { return locals_; }
    void ShowGlobal();
    void ShowInstances();
    void ShowMessages();
    // Opens a local-variables window for the answer (a cancelled prompt opens nothing): the
    // first hidden one is reused, otherwise a new one unless there are 100. Answers its index.
    std::optional<size_t> ShowLocal(std::string_view answer);
    // Appends a line to the messages window.
    void AddMessage(std::string_view text);
    // Raised by every message; the view scrolls to the end when it sees it and clears it.
    bool TakeMessageAdded();

    // ---- status bar ----
    const std::string& FpsPanel() const { return fps_panel_; }
    const std::string& InstancePanel() const { return inst_panel_; }
    const std::string& MousePanel() const { return mouse_panel_; }
    void UpdateMouseId();

    // Every step in debug mode and after every action: the status bar, every watch and every
    // visible text window.
    void Refresh();

private:
    void RefreshLocal(DebugTextWindow& window);

    MainLoop* loop_ = nullptr;
    bool shown_ = true;
    std::vector<DebugWatch> watches_;
    std::string last_code_;
    DebugTextWindow global_;
    DebugTextWindow instances_;
    std::optional<DebugTextWindow> messages_;
    bool message_added_ = false;
    std::vector<DebugTextWindow> locals_;
    std::string fps_panel_;
    std::string inst_panel_;
    std::string mouse_panel_;
};

// The model of the running game's debug window, while there is one: show_debug_message
// reaches its messages window through here.
DebugModel* CurrentDebugModel();
void SetCurrentDebugModel(DebugModel* model);

} // namespace kestrin
