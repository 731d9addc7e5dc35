#pragma once
// The life of one run: load the game data, prepare what was read, play, shut down.
// Platform services (the loading window, message boxes) come in through small interfaces
// so the sequence runs the same headless and in a window.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runner/game_data.h"
#include "runner/process.h"
#include "runner/signals.h"

namespace kestrin {

// Exit statuses of the process, relied on by scripts and tests.
enum ExitStatus : int {
    kExitEnded = 0,
    kExitLoadFailed = 1,
    kExitFatal = 3,
};

// Run options: the headless contract shared by `kestrin run` and standalone games.
struct RunOptions {
    bool headless = false;
    int64_t frames = -1; // stop after this many steps; -1 runs to the end
    bool fast = false;
    std::optional<uint32_t> seed;
    std::string input_file;
    std::string record_file;
    std::string answers_file;
    std::string audio_out; // the mix as a WAV file
    double speed = 1.0;
    struct Screenshot {
        int64_t step;
        std::string path;
    };
    std::vector<Screenshot> screenshots;
    std::string transition_frames; // folder for the frames of room transitions
    bool trace = false;
    bool verbose = false; // print a summary of what was loaded
    bool debug = false;   // play in debug mode (with the debug window) whatever the game says
    std::string debug_commands; // drive the debug window from this command file (implies debug)
    std::vector<std::string> game_parameters;
    // SDL game controller mappings: a file of them, or mapping lines.
    std::string gamepad_map;
    // Runs in place of the main loop once the first room has started (`kestrin script`);
    // false makes the exit status 1.
    std::function<bool()> instead_of_loop;
};

// The loading window, or whatever stands in for it.
class LoadingDisplay {
public:
    virtual ~LoadingDisplay() = default;
    virtual void Setup(const CSettings& settings, bool debugMode) { (void)settings, (void)debugMode; }
    virtual void Progress(int percent, const std::string& text) { (void)percent, (void)text; }
    virtual void Hide() {}
};

// Plain message boxes; until dialogs exist, the text goes to the error stream.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void ShowMessage(const std::string& text) = 0;
};

// One step of the preparation table. Later subsystems fill in the work.
struct PrepareStep {
    int percent; // -1: no progress call
    const char* text;
    const char* failure; // nullptr: fails without a message
    std::function<bool()> work;
};

class Runner {
public:
    Runner(RunOptions options, LoadingDisplay& display, MessageSink& messages);
    ~Runner();

    // Everything from reading the file to shutdown; returns the exit status.
    int Run(const std::string& gameFile, const std::string& executableDir, bool standalone);
    // The same for game data already in memory (a project built without a file).
    int RunData(std::vector<uint8_t> data, const std::string& executableDir);

    const GameData& Game() const { return game_; }
    const std::string& TempPath() const { return temp_.Path(); }
    TraceLog& Trace() { return trace_; }

    // Load and Prepare on their own, for tests.
    bool Load(std::vector<uint8_t> image, size_t searchStart);
    bool Prepare();
    void Shutdown();

private:
    void Progress(int percent, const std::string& text);
    void Fail(const std::string& message);
    std::vector<PrepareStep> PreparationTable();
    bool WriteLibraryFile();
    // From loading the image to shutdown.
    int Play(std::vector<uint8_t> image, size_t start);

    RunOptions options_;
    LoadingDisplay& display_;
    MessageSink& messages_;
    // Before the temporary folder, so that the handlers stay until the folder is gone: a
    // signal in between ends the game cleanly.
    TerminationSignals signals_;
    TempFolder temp_;
    TraceLog trace_;
    GameData game_;
    std::string library_path_;
    bool secure_mode_ = false;
    std::string executable_dir_;
};

// Where the game data of a file begins to be searched for: after the ELF image of an
// executable, at the start of anything else.
size_t GameDataSearchStart(const std::vector<uint8_t>& file);

} // namespace kestrin
