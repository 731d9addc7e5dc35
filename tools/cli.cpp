#include "tools/cli.h"

#include "game/compose.h"
#include "game/platform_services.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "base/file_io.h"
#include "game/startup.h"
#include "runner/container.h"
#include "runner/input_state.h"
#include "runner/messages.h"
#include "script/function_manifest.h"
#include "tools/describe.h"
#include "tools/project.h"
#include "tools/project_check.h"
#include "tools/script_command.h"
#include "tools/terminal_display.h"
#include "tools/version.h"

namespace fs = std::filesystem;

namespace kestrin {

namespace {

const char* const kMainHelp = R"(kestrin - plays games made with Kestrin, and builds them from text projects

Usage:
  kestrin run [options] GAME|PROJECT_DIR [-- game parameters]
  kestrin build PROJECT_DIR -o OUT [--data-only] [--debug]
  kestrin unpack GAME -o PROJECT_DIR [--force]
  kestrin info GAME | PROJECT_DIR | --builtins
  kestrin script FILE | -e CODE
  kestrin --help | --version
  kestrin COMMAND --help

Commands:
  run      play a game file (a standalone game, a raw game data file, or any file with
           game data appended) or a text project folder, built in memory
  build    build a game from a text project folder (see docs/project-format.md),
           compiling all of its code first
  unpack   turn a game back into a text project that builds to the same game
  info     show what a game holds: settings, resources, included files, sizes
  script   run a file (or -e CODE) of script code on an instance in an empty game

A standalone game (made by `kestrin build` without --data-only) plays its own data and
reads the run options from KESTRIN_* environment variables; see `kestrin run --help`.

Exit status: 0 when the game ended (or the command succeeded), 1 when the game could not
be loaded or prepared (or the command failed), 3 when a fatal error aborted the game.
)";

const char* const kRunHelp = R"(Usage: kestrin run [options] GAME [-- game parameters]
       kestrin run [options] PROJECT_DIR [-- game parameters]

Plays GAME, or the text project in PROJECT_DIR built in memory as `kestrin build
--data-only` builds it (its code errors are reported the same way). Anything after "--" is
passed to the game as its own parameters.

Options (environment variable for standalone games in brackets):
  --headless          no window and no audio device; messages and dialogs go to the
                      terminal and take their default answer        [KESTRIN_HEADLESS=1]
                      (splash screens and the game information print one line and
                      return at once)
  --frames N          stop after N steps, as if the game had ended   [KESTRIN_FRAMES=N]
  --fast              no frame waits; the step clock is simulated    [KESTRIN_FAST=1]
  --seed N            start seed of the random generator             [KESTRIN_SEED=N]
  --input FILE        replay recorded input                          [KESTRIN_INPUT=FILE]
  --record FILE       record input                                   [KESTRIN_RECORD=FILE]
  --answers FILE      answers for dialogs when headless, one a line  [KESTRIN_ANSWERS=FILE]
                      (a button number, a text, a number, a colour, a file or folder
                      name, a menu item's text or index; see docs/cli.md)
  --speed F           play at F times the room speed                 [KESTRIN_SPEED=F]
  --gamepad-map MAP   SDL game controller mappings: a file of them, or mapping lines
                                                         [KESTRIN_GAMEPAD_MAP=MAP]
  --audio-out FILE    write the mix as a 16-bit stereo 44,100 Hz WAV file, advanced by
                      44100/room_speed frames a step             [KESTRIN_AUDIO_OUT=FILE]
  --screenshot STEP:PATH  write the frame shown after STEP as PNG (repeatable)
                                                  [KESTRIN_SCREENSHOT=STEP:PATH;STEP:PATH]
  --transition-frames DIR  write every frame of a room transition as
                      DIR/room<from>-<to>-<frame>.png    [KESTRIN_TRANSITION_FRAMES=DIR]
  --trace             append start-up steps and faults to "Trace.log" [KESTRIN_TRACE=1]
                      (the game parameter --VTTrace and VTLOG_TRACE=1 do the same)
  --verbose           print a summary of what was loaded             [KESTRIN_VERBOSE=1]
  --debug             play in debug mode: the debug window opens beside the game (as for
                      a game built with `kestrin build --debug`)     [KESTRIN_DEBUG=1]
  --debug-commands FILE  drive the debug window from FILE, one command a line, carried
                      out between steps; `dump` prints what a window shows (implies
                      --debug; see docs/cli.md)           [KESTRIN_DEBUG_COMMANDS=FILE]

Without a display (neither DISPLAY nor WAYLAND_DISPLAY set) a windowed run says so in one
line and plays headless. A screenshot for a step the run never reaches is a warning.
A recording (--record) keeps the answers given to dialogs; its replay gives them again.

Multiplayer (the mplay_* functions) reads these environment variables:
  KESTRIN_NET_PORT=N          the session port (default 6510)
  KESTRIN_NET_BROADCAST=ADDR  where searches without a host are broadcast (default: the
                              broadcast address of the first network interface)
  KESTRIN_NET_FIND_TIMEOUT=MS how long a session search waits for answers (default 1000)
  KESTRIN_NET_JOIN_TIMEOUT=MS how long joining waits for the host (default 5000)
  KESTRIN_NET_SERIAL_DEVICE=PATH  the serial cable's device (default /dev/ttyS<port-1>)
)";

const char* const kBuildHelp = R"(Usage: kestrin build PROJECT_DIR -o OUT [--data-only] [--debug]

Builds the text project in PROJECT_DIR (see docs/project-format.md) into OUT:
a standalone executable game (a copy of kestrin with the game data appended), or with
--data-only a game data file that `kestrin run` plays.

All of the project's code (constants, scripts, object and time-line actions, room and
instance creation code) is compiled first; every error is printed as FILE:LINE:COLUMN:
message (FILE: FIELD:LINE:COLUMN: message for code written inside a JSON file) and
nothing is written.

  -o, --output OUT   the file to write
  --data-only        write only the game data
  --debug            mark the game as built for debugging
  --seed N           seed of the builder's free choices (filler, scrambling); the same
                     project and seed give the same bytes (default: a fixed seed)
)";

const char* const kUnpackHelp = R"(Usage: kestrin unpack GAME -o PROJECT_DIR [--force]

Writes the game held in GAME as a text project that `kestrin build` turns back into an
equivalent game. The folder must be new or empty unless --force is given.
)";

const char* const kInfoHelp = R"(Usage: kestrin info GAME
       kestrin info PROJECT_DIR
       kestrin info --builtins

Prints what GAME (or the text project in PROJECT_DIR) holds: settings, resource counts and names, included files, constants,
extension packages, the room order and sizes.

With --builtins, prints how many of the built-in functions and variables this runner
implements and lists the missing ones by module.
)";

const char* const kScriptHelp = R"(Usage: kestrin script FILE
       kestrin script -e CODE

Compiles FILE (or CODE given on the command line) as a program of the script language and
runs it inside an empty game: default settings, one room holding one instance (id 100001)
of an object without events, which is self and other. Built-in variables such as x and
image_index and built-in functions such as instance_create work as in any game. Lines of
show_debug_message and then the result, written as string() writes it, go to standard
output; compile and run errors, with their line and position, go to standard error.

Exit status: 0, or 1 after a compile or run error.
)";

bool ParseInt64(const std::string& text, int64_t& out) {
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && p == text.data() + text.size();
}

bool ParseDouble(const std::string& text, double& out) {
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && out > 0 && out < 1e6;
}

bool AddScreenshot(const std::string& spec, RunOptions& options) {
    size_t colon = spec.find(':');
    int64_t step;
    if (colon == std::string::npos || !ParseInt64(spec.substr(0, colon), step) || step < 0 ||
        colon + 1 >= spec.size())
        return false;
    options.screenshots.push_back({step, spec.substr(colon + 1)});
    return true;
}

int UsageError(const std::string& text) {
    std::fprintf(stderr, "kestrin: %s\n", text.c_str());
    std::fprintf(stderr, "Try 'kestrin --help'.\n");
    return kExitLoadFailed;
}

std::string ExecutablePath() {
    std::error_code ec;
    fs::path p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& out) {
    return ReadWholeFile(path, out);
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, bool executable) {
    std::string temp = path + ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) return false;
    }
    if (executable) ::chmod(temp.c_str(), 0755);
    std::error_code ec;
    fs::rename(temp, path, ec);
    if (ec) fs::remove(temp, ec);
    return !ec;
}

// SDL reads controller mappings from these variables when its controller support starts;
// mappings given to the run come after the user's own.
void UseGamepadMappings(const std::string& map) {
    if (map.empty()) return;
    std::error_code ec;
    if (fs::is_regular_file(map, ec)) {
        setenv("SDL_GAMECONTROLLERCONFIG_FILE", map.c_str(), 1);
        return;
    }
    const char* before = std::getenv("SDL_GAMECONTROLLERCONFIG");
    const std::string all = before && *before ? std::string(before) + "\n" + map : map;
    setenv("SDL_GAMECONTROLLERCONFIG", all.c_str(), 1);
}

// Plays the game in `gameFile`, or the game data in `data` when given.
int PlayGame(RunOptions options, const std::string& gameFile, bool standalone,
             std::vector<uint8_t>* data = nullptr) {
    StderrMessages messages;
    TerminalProgress terminal(stderr);
    LoadingDisplay quiet;
    std::unique_ptr<GamePlatform> platform;
    if (!options.headless) {
        UseGamepadMappings(options.gamepad_map);
        std::string error;
        platform = OpenGamePlatform(error);
        if (!platform) {
            std::fprintf(stderr, "kestrin: %s; playing headless.\n", error.c_str());
            options.headless = true;
        }
    }
    std::unique_ptr<OffscreenGraphics> offscreen;
    if (options.headless && (!options.screenshots.empty() || !options.transition_frames.empty())) {
        std::string error;
        offscreen = OpenOffscreenGraphics(error);
        if (!offscreen)
            std::fprintf(stderr, "No offscreen drawing device (%s): screenshots cannot be taken.\n",
                         error.c_str());
    }
    LoadingDisplay* display = &quiet;
    if (platform)
        display = &platform->Loading();
    else if (!options.headless && isatty(STDERR_FILENO))
        display = &terminal;
    if (platform) SetInputPlatform(&platform->Input());
    std::string exeDir = fs::path(ExecutablePath()).parent_path().string();
    int status;
    {
        Runner runner(std::move(options), *display, messages);
        status = data ? runner.RunData(std::move(*data), exeDir) : runner.Run(gameFile, exeDir, standalone);
    }
    SetInputPlatform(nullptr);
    return status;
}

constexpr uint64_t kDefaultBuildSeed = 0x4B52756E47646174ull;

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

// Reads a project and checks all of its code; prints every error under `command`.
bool LoadCheckedProject(const std::string& command, const std::string& dir, GameData& game) {
    std::error_code ec;
    if (!fs::exists(fs::path(dir) / "game.json", ec)) {
        std::fprintf(stderr,
                     "kestrin %s: %s: not a project folder (expected a game.json file in it; "
                     "see docs/project-format.md)\n",
                     command.c_str(), dir.c_str());
        return false;
    }
    std::string error;
    if (!LoadProject(dir, game, error)) {
        std::fprintf(stderr, "kestrin %s: %s\n", command.c_str(), error.c_str());
        return false;
    }
    std::vector<std::string> errors = CheckProjectCode(dir, game);
    for (const std::string& line : errors) std::fprintf(stderr, "%s\n", line.c_str());
    if (!errors.empty()) {
        std::fprintf(stderr, "kestrin %s: %zu error%s in the project's code\n", command.c_str(),
                     errors.size(), errors.size() == 1 ? "" : "s");
        return false;
    }
    return true;
}

int CommandRun(const std::vector<std::string>& args) {
    RunOptions options;
    std::string game;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            std::fputs(kRunHelp, stdout);
            return 0;
        } else if (a == "--") {
            options.game_parameters.assign(args.begin() + static_cast<ptrdiff_t>(i) + 1, args.end());
            break;
        } else if (a == "--headless") {
            options.headless = true;
        } else if (a == "--fast") {
            options.fast = true;
        } else if (a == "--trace") {
            options.trace = true;
        } else if (a == "--verbose") {
            options.verbose = true;
        } else if (a == "--debug") {
            options.debug = true;
        } else if (a == "--debug-commands") {
            if (!value(options.debug_commands) || options.debug_commands.empty())
                return UsageError("--debug-commands needs a file");
        } else if (a == "--frames") {
            if (!value(v) || !ParseInt64(v, options.frames) || options.frames < 0)
                return UsageError("--frames needs a number of steps");
        } else if (a == "--seed") {
            int64_t seed;
            if (!value(v) || !ParseInt64(v, seed) || seed < 0 || seed > 0xFFFFFFFFll)
                return UsageError("--seed needs a number from 0 to 4294967295");
            options.seed = static_cast<uint32_t>(seed);
        } else if (a == "--input") {
            if (!value(options.input_file)) return UsageError("--input needs a file");
        } else if (a == "--record") {
            if (!value(options.record_file)) return UsageError("--record needs a file");
        } else if (a == "--answers") {
            if (!value(options.answers_file)) return UsageError("--answers needs a file");
        } else if (a == "--audio-out") {
            if (!value(options.audio_out) || options.audio_out.empty())
                return UsageError("--audio-out needs a file");
        } else if (a == "--gamepad-map") {
            if (!value(options.gamepad_map) || options.gamepad_map.empty())
                return UsageError("--gamepad-map needs a mapping file or mapping text");
        } else if (a == "--speed") {
            if (!value(v) || !ParseDouble(v, options.speed))
                return UsageError("--speed needs a positive number");
        } else if (a == "--transition-frames") {
            if (!value(options.transition_frames) || options.transition_frames.empty())
                return UsageError("--transition-frames needs a folder");
        } else if (a == "--screenshot") {
            if (!value(v) || !AddScreenshot(v, options)) return UsageError("--screenshot needs STEP:PATH");
        } else if (!a.empty() && a[0] == '-') {
            return UsageError("unknown option " + a + " for run");
        } else if (game.empty()) {
            game = a;
        } else {
            return UsageError("run takes one game file; put game parameters after --");
        }
    }
    if (game.empty()) return UsageError("run needs a game file or a project folder");
    if (IsFolder(game)) {
        // A project plays as the game `kestrin build --data-only` would make of it.
        GameData project;
        if (!LoadCheckedProject("run", game, project)) return kExitLoadFailed;
        StreamRandom random(kDefaultBuildSeed);
        std::vector<uint8_t> data = SaveGameData(project, random);
        project = GameData();
        return PlayGame(std::move(options), game, false, &data);
    }
    // The runner's own message does not name the file; say which one and why first.
    if (access(game.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "kestrin run: %s: %s\n%s\n", game.c_str(), std::strerror(errno),
                     msg::kCannotReadGameFile);
        return kExitLoadFailed;
    }
    return PlayGame(std::move(options), game, false);
}

int CommandBuild(const std::vector<std::string>& args) {
    std::string project, output;
    bool dataOnly = false, debug = false;
    uint64_t seed = kDefaultBuildSeed;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kBuildHelp, stdout);
            return 0;
        } else if (a == "-o" || a == "--output") {
            if (i + 1 >= args.size()) return UsageError("-o needs a file");
            output = args[++i];
        } else if (a == "--data-only") {
            dataOnly = true;
        } else if (a == "--debug") {
            debug = true;
        } else if (a == "--seed") {
            int64_t s;
            if (i + 1 >= args.size() || !ParseInt64(args[++i], s) || s < 0)
                return UsageError("--seed needs a number");
            seed = static_cast<uint64_t>(s);
        } else if (!a.empty() && a[0] == '-') {
            return UsageError("unknown option " + a + " for build");
        } else if (project.empty()) {
            project = a;
        } else {
            return UsageError("build takes one project folder");
        }
    }
    if (project.empty() || output.empty()) return UsageError("build needs PROJECT_DIR and -o OUT");

    GameData game;
    if (!LoadCheckedProject("build", project, game)) return kExitLoadFailed;
    if (debug) game.debug_mode = true;
    StreamRandom random(seed);
    std::vector<uint8_t> data = SaveGameData(game, random);

    std::vector<uint8_t> out;
    if (!dataOnly) {
        std::vector<uint8_t> self;
        if (!ReadFile(ExecutablePath(), self)) {
            std::fprintf(stderr, "kestrin build: cannot read the kestrin executable\n");
            return kExitLoadFailed;
        }
        // A standalone game copies only the program, never data a copy of it may carry.
        size_t end = ElfImageEnd(self);
        if (end == 0) end = self.size();
        out.assign(self.begin(), self.begin() + static_cast<ptrdiff_t>(end));
    }
    out.insert(out.end(), data.begin(), data.end());
    if (!WriteFile(output, out, !dataOnly)) {
        std::fprintf(stderr, "kestrin build: cannot write %s\n", output.c_str());
        return kExitLoadFailed;
    }
    return 0;
}

// Loads a game file for the tools; prints the loader's message on failure.
bool LoadForTool(const std::string& command, const std::string& path, GameData& game) {
    std::vector<uint8_t> image;
    if (!ReadFile(path, image)) {
        std::fprintf(stderr, "kestrin %s: %s: cannot read the file\n", command.c_str(), path.c_str());
        return false;
    }
    size_t start = GameDataSearchStart(image);
    LoadResult result = LoadGameData(std::move(image), start, game);
    if (!result.ok) {
        std::fprintf(stderr, "kestrin %s: %s: %s\n", command.c_str(), path.c_str(), result.message.c_str());
        return false;
    }
    return true;
}

int CommandUnpack(const std::vector<std::string>& args) {
    std::string game, output;
    bool force = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUnpackHelp, stdout);
            return 0;
        } else if (a == "-o" || a == "--output") {
            if (i + 1 >= args.size()) return UsageError("-o needs a folder");
            output = args[++i];
        } else if (a == "--force") {
            force = true;
        } else if (!a.empty() && a[0] == '-') {
            return UsageError("unknown option " + a + " for unpack");
        } else if (game.empty()) {
            game = a;
        } else {
            return UsageError("unpack takes one game file");
        }
    }
    if (game.empty() || output.empty()) return UsageError("unpack needs GAME and -o PROJECT_DIR");
    GameData data;
    if (!LoadForTool("unpack", game, data)) return kExitLoadFailed;
    std::string error;
    if (!SaveProject(data, output, error, force)) {
        std::fprintf(stderr, "kestrin unpack: %s\n", error.c_str());
        return kExitLoadFailed;
    }
    return 0;
}

int CommandInfo(const std::vector<std::string>& args) {
    std::string game;
    for (const auto& a : args) {
        if (a == "--help" || a == "-h") {
            std::fputs(kInfoHelp, stdout);
            return 0;
        }
        if (a == "--builtins") {
            std::fputs(DescribeBuiltins().c_str(), stdout);
            return 0;
        }
        if (!a.empty() && a[0] == '-') return UsageError("unknown option " + a + " for info");
        if (!game.empty()) return UsageError("info takes one game file");
        game = a;
    }
    if (game.empty()) return UsageError("info needs a game file or a project folder");
    GameData data;
    if (IsFolder(game)) {
        std::string error;
        if (!fs::exists(fs::path(game) / "game.json")) {
            std::fprintf(stderr, "kestrin info: %s: not a project folder (expected a game.json file in it)\n",
                         game.c_str());
            return kExitLoadFailed;
        }
        if (!LoadProject(game, data, error)) {
            std::fprintf(stderr, "kestrin info: %s\n", error.c_str());
            return kExitLoadFailed;
        }
    } else if (!LoadForTool("info", game, data)) {
        return kExitLoadFailed;
    }
    std::fputs(DescribeGame(data).c_str(), stdout);
    return 0;
}

int CommandScript(const std::vector<std::string>& args) {
    std::string file, text;
    bool inline_code = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kScriptHelp, stdout);
            return 0;
        }
        if (a == "-e" || a == "--eval") {
            if (i + 1 >= args.size()) return UsageError("-e needs the code to run");
            if (inline_code || !file.empty()) return UsageError("script takes one file or one -e");
            text = args[++i];
            inline_code = true;
            continue;
        }
        if (!a.empty() && a[0] == '-') return UsageError("unknown option " + a + " for script");
        if (!file.empty() || inline_code) return UsageError("script takes one file or one -e");
        file = a;
    }
    if (file.empty() && !inline_code) return UsageError("script needs a file or -e CODE");
    if (!inline_code && !ReadScriptFile(file, text)) return 1;
    RunOptions options;
    options.headless = true;
    options.fast = true;
    options.instead_of_loop = ScriptRunner(std::move(text));
    std::vector<uint8_t> data = ScriptGameData();
    return PlayGame(std::move(options), "script", false, &data) == kExitEnded ? 0 : 1;
}

bool EnvFlag(const char* name) {
    const char* v = std::getenv(name);
    return v && *v && std::strcmp(v, "0") != 0;
}

// Run options of a standalone game come from the environment, leaving its command line to
// the game itself.
RunOptions OptionsFromEnvironment(int argc, char** argv, bool& ok) {
    RunOptions options;
    ok = true;
    options.headless = EnvFlag("KESTRIN_HEADLESS");
    options.fast = EnvFlag("KESTRIN_FAST");
    options.trace = EnvFlag("KESTRIN_TRACE");
    options.verbose = EnvFlag("KESTRIN_VERBOSE");
    options.debug = EnvFlag("KESTRIN_DEBUG");
    auto text = [](const char* name) {
        const char* v = std::getenv(name);
        return v ? std::string(v) : std::string();
    };
    std::string v;
    if (!(v = text("KESTRIN_FRAMES")).empty() && (!ParseInt64(v, options.frames) || options.frames < 0))
        ok = false;
    if (!(v = text("KESTRIN_SEED")).empty()) {
        int64_t seed;
        if (!ParseInt64(v, seed) || seed < 0 || seed > 0xFFFFFFFFll)
            ok = false;
        else
            options.seed = static_cast<uint32_t>(seed);
    }
    if (!(v = text("KESTRIN_SPEED")).empty() && !ParseDouble(v, options.speed)) ok = false;
    options.input_file = text("KESTRIN_INPUT");
    options.record_file = text("KESTRIN_RECORD");
    options.answers_file = text("KESTRIN_ANSWERS");
    options.audio_out = text("KESTRIN_AUDIO_OUT");
    options.gamepad_map = text("KESTRIN_GAMEPAD_MAP");
    options.debug_commands = text("KESTRIN_DEBUG_COMMANDS");
    options.transition_frames = text("KESTRIN_TRANSITION_FRAMES");
    v = text("KESTRIN_SCREENSHOT");
    for (size_t from = 0; from < v.size();) {
        size_t semi = v.find(';', from);
        if (semi == std::string::npos) semi = v.size();
        if (!AddScreenshot(v.substr(from, semi - from), options)) ok = false;
        from = semi + 1;
    }
    for (int i = 1; i < argc; ++i) options.game_parameters.push_back(argv[i]);
    return options;
}

} // namespace

int KestrinMain(int argc, char** argv) {
    ComposeGame();
    // A copy of kestrin with game data appended plays that game and nothing else.
    std::string self = ExecutablePath();
    int64_t selfSize = self.empty() ? -1 : RegularFileSize(self);
    if (selfSize > 0) {
        // Only the headers are read: the program itself can be large.
        size_t end =
            ElfImageEnd(static_cast<uint64_t>(selfSize), [&](uint64_t offset, uint8_t* out, size_t count) {
                return ReadFileRange(self, offset, out, count);
            });
        if (end > 0 && static_cast<int64_t>(end) + 20 <= selfSize) {
            bool ok;
            RunOptions options = OptionsFromEnvironment(argc, argv, ok);
            if (!ok) {
                std::fprintf(stderr, "Invalid KESTRIN_* run option in the environment.\n");
                return kExitLoadFailed;
            }
            return PlayGame(std::move(options), self, true);
        }
    }

    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(kMainHelp, args.empty() ? stderr : stdout);
        return args.empty() ? kExitLoadFailed : 0;
    }
    if (args[0] == "--version") {
        std::printf("kestrin %s\n", kKestrinVersion);
        return 0;
    }
    std::string command = args[0];
    args.erase(args.begin());
    if (command == "run") return CommandRun(args);
    if (command == "build") return CommandBuild(args);
    if (command == "unpack") return CommandUnpack(args);
    if (command == "info") return CommandInfo(args);
    if (command == "script") return CommandScript(args);
    return UsageError("unknown command '" + command + "'");
}

} // namespace kestrin
