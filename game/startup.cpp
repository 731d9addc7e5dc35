#include "game/startup.h"

#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "base/file_io.h"
#include "game/compose.h"
#include "game/game_preparation.h"
#include "game/run_session.h"
#include "graphics/background.h"
#include "graphics/font.h"
#include "graphics/graphics_init.h"
#include "graphics/room_draw.h"
#include "graphics/sprite.h"
#include "net/net_state.h"
#include "runner/container.h"
#include "runner/extension_main.h"
#include "runner/file_access.h"
#include "runner/function_datafile.h"
#include "runner/function_file.h"
#include "runner/function_registry.h"
#include "runner/game_variables.h"
#include "runner/game_world.h"
#include "runner/input_state.h"
#include "runner/messages.h"
#include "runner/object.h"
#include "runner/signals.h"
#include "script/errors.h"
#include "script/scripts.h"
#include "sound/sound.h"
#include "sound/sound_system.h"
#include "world/function_splash.h"
#include "world/path.h"
#include "world/timeline.h"
#include "world/trigger.h"

namespace fs = std::filesystem;

namespace kestrin {

namespace {

void ReportToStderr(const std::string& text) {
    std::fflush(stdout); // what the game printed before comes first when both are piped
    std::fprintf(stderr, "%s\n", text.c_str());
}

// Raising priority needs privileges on this system; a refusal leaves the run as it is.
void SetProcessPriority(int32_t priority) {
    if (priority == 1)
        (void)setpriority(PRIO_PROCESS, 0, -5);
    else if (priority == 2)
        (void)setpriority(PRIO_PROCESS, 0, -10);
}

} // namespace

size_t GameDataSearchStart(const std::vector<uint8_t>& file) {
    return ElfImageEnd(file);
}

Runner::Runner(RunOptions options, LoadingDisplay& display, MessageSink& messages)
    : options_(std::move(options)), display_(display), messages_(messages) {}

Runner::~Runner() {
    SetIncludedFiles(nullptr, {});
}

void Runner::Progress(int percent, const std::string& text) {
    display_.Progress(percent, text);
    trace_.Line(text);
}

void Runner::Fail(const std::string& message) {
    if (!message.empty()) messages_.ShowMessage(message);
}

int Runner::Run(const std::string& gameFile, const std::string& executableDir, bool standalone) {
    executable_dir_ = executableDir;
    if (options_.trace || TraceLog::Wanted(options_.game_parameters)) trace_.Open(executableDir);
    if (!temp_.Create(TempFolderBases(executableDir))) messages_.ShowMessage(msg::kTempDirFailed);
    // Secure mode is decided once, before any game code runs; the working folder the run
    // starts in is the game's folder for the file built-ins.
    secure_mode_ = ReadSecureMode(CurrentRegistryStore());
    GameValues().secure_mode = secure_mode_;
    {
        std::error_code ec;
        SetFileAccess({fs::current_path(ec).string(), temp_.Path(), secure_mode_});
        std::string self = fs::read_symlink("/proc/self/exe", ec).string();
        SetGameParameters(self, options_.game_parameters);
    }

    std::vector<uint8_t> image;
    if (!ReadWholeFile(gameFile, image)) {
        Fail(msg::kCannotReadGameFile);
        return kExitLoadFailed;
    }
    size_t start = GameDataSearchStart(image);
    if (standalone && start == 0) start = image.size();
    return Play(std::move(image), start);
}

int Runner::RunData(std::vector<uint8_t> data, const std::string& executableDir) {
    if (options_.trace || TraceLog::Wanted(options_.game_parameters)) trace_.Open(executableDir);
    if (!temp_.Create(TempFolderBases(executableDir))) messages_.ShowMessage(msg::kTempDirFailed);
    executable_dir_ = executableDir;
    return Play(std::move(data), 0);
}

int Runner::Play(std::vector<uint8_t> image, size_t start) {
    const std::string& executableDir = executable_dir_;
    if (!Load(std::move(image), start)) return kExitLoadFailed;
    try {
        if (!Prepare()) return TerminationRequested() ? TerminationExitStatus() : kExitLoadFailed;
    } catch (const std::exception& fault) {
        // Nothing escapes to the platform: the fault is logged and the run fails.
        trace_.Line(std::string("Unexpected fault: ") + fault.what());
        Fail(msg::kUnexpectedRun);
        return kExitLoadFailed;
    }

    // A run may ask for the debug window of a game that was not built for it.
    if (options_.debug || !options_.debug_commands.empty()) game_.debug_mode = true;
    GameVariables& values = GameValues();
    values.game_id = game_.game_id;
    Net_SetApplication(game_.game_guid);
    values.debug_mode = game_.debug_mode;
    values.temp_directory = temp_.Path();
    values.program_directory = executableDir;
    while (values.program_directory.size() > 1 && values.program_directory.back() == '/')
        values.program_directory.pop_back();
    if (options_.verbose) {
        std::printf("Loaded game %d: %zu room(s), %zu object(s), %zu sprite(s), %zu script(s), "
                    "%zu included file(s)\n",
                    game_.game_id, game_.Resources(ResourceKind::Room).size(),
                    game_.Resources(ResourceKind::Object).size(),
                    game_.Resources(ResourceKind::Sprite).size(),
                    game_.Resources(ResourceKind::Script).size(), game_.included_files.files.size());
        std::fflush(stdout);
    }
    CurrentInput().close_as_escape = game_.settings.close_as_escape;
    SetSplashGameInformation(game_.information);
    // A signal during the load ends the run before the game starts.
    const int status = TerminationRequested() ? kExitEnded
                                              : PlayGame(options_, game_.settings, game_.debug_mode,
                                                         CurrentInputPlatform(), ReportToStderr);
    Shutdown();
    return TerminationRequested() ? TerminationExitStatus() : status;
}

bool Runner::Load(std::vector<uint8_t> image, size_t searchStart) {
    trace_.Line("Loading game data");
    // Sprites are decoded as their items arrive, each record dropped once read: the frames and
    // masks are what the run uses, and keeping every record beside them would double the
    // memory of a game made mostly of pictures. A damaged record fails the load only once the
    // whole file is read, so a file damaged further on still reports itself as corrupted.
    Sprite_ClearAll();
    bool spritesRead = true;
    LoadResult result = LoadGameData(
        std::move(image), searchStart, game_,
        [this](int percent, const char* text) { Progress(percent, text); },
        [this] {
            display_.Setup(game_.settings, game_.debug_mode);
            game_.settings.ReleaseLoadingImages();
            Progress(0, "Loading");
        },
        [&spritesRead](ResourceKind kind, RawResource& item) {
            if (kind == ResourceKind::Sprite && spritesRead) spritesRead = Sprite_AppendRecord(item);
        });
    if (!result.ok || !spritesRead) Sprite_ClearAll();
    if (!result.ok) {
        // Two messages come one after the other, each in its own box.
        std::string text = result.message;
        size_t from = 0;
        while (from <= text.size()) {
            size_t nl = text.find('\n', from);
            Fail(text.substr(from, nl == std::string::npos ? std::string::npos : nl - from));
            if (nl == std::string::npos) break;
            from = nl + 1;
        }
        return false;
    }
    if (!spritesRead) {
        Fail(msg::kResourceData);
        return false;
    }
    // Backgrounds, paths, objects and rooms are kept as records by the loader; a damaged one
    // fails the load here. Rooms read the sizes of the backgrounds they stretch, through the
    // hook the composition root installed.
    if (!Trigger_LoadRecords(game_.triggers) ||
        !Background_LoadRecords(game_.Resources(ResourceKind::Background)) ||
        !Path_LoadRecords(game_.Resources(ResourceKind::Path)) ||
        !TimeLine_LoadRecords(game_.Resources(ResourceKind::TimeLine)) ||
        !Sound_LoadRecords(game_.Resources(ResourceKind::Sound)) ||
        !LoadObjects(game_.Resources(ResourceKind::Object)) || !World().LoadRooms(game_)) {
        Fail(msg::kResourceData);
        return false;
    }
    // The sound table holds the sounds' bytes now; the records would only double them.
    for (RawResource& item : game_.Resources(ResourceKind::Sound)) std::vector<uint8_t>().swap(item.record);
    if (!Font_LoadRecords(game_.Resources(ResourceKind::Font))) {
        Fail(msg::kResourceData);
        return false;
    }
    if (!WriteLibraryFile()) {
        Fail(msg::kLibraryInit);
        return false;
    }
    // The packages' files are in place before anything runs.
    Extensions().Load(std::move(game_.extensions), temp_.Path());
    return true;
}

bool Runner::WriteLibraryFile() {
    // The carried library is not loaded by this runner (our device needs none), but it is
    // placed where games may expect it. Only its bare name is used, so a hostile name
    // cannot place it outside the temporary folder.
    if (game_.library_name.empty() || temp_.Path().empty()) return true;
    std::string name = fs::path(NativePath(game_.library_name)).filename().string();
    if (name.empty() || name == "." || name == "..") return true;
    library_path_ = (fs::path(temp_.Path()) / name).string();
    std::ofstream out(library_path_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(game_.library_data.data()),
              static_cast<std::streamsize>(game_.library_data.size()));
    game_.library_data.clear();
    game_.library_data.shrink_to_fit();
    return static_cast<bool>(out);
}

std::vector<PrepareStep> Runner::PreparationTable() {
    DataFileContext files{temp_.Path(), secure_mode_, ReportToStderr};
    SetIncludedFiles(&game_.included_files, files);
    return {
        {-1, nullptr, nullptr,
         [this] {
             SetProcessPriority(game_.settings.priority);
             return true;
         }},
        {50, "Extracting included files", msg::kPrepareIncludedFiles,
         [this, files] { return game_.included_files.PrepareAll(files); }},
        {55, "Preparing extension packages", msg::kPrepareExtensions,
         [this] {
             Extensions().Prepare([this](const std::string& text) { messages_.ShowMessage(text); });
             return true;
         }},
        {60, "Preparing constants", msg::kPrepareConstants,
         [this] {
             PrepareScriptLanguage(game_.settings);
             ErrorHooks hooks;
             hooks.trace = [this](std::string_view line) { trace_.Line(std::string(line)); };
             hooks.abort_game = [] { World().room_request = kRequestAbort; };
             NameResourcesInErrors(hooks);
             SetErrorHooks(std::move(hooks));
             UseResourceNames(game_);
             std::string message;
             if (DefineGameConstants(game_.constants, message)) return true;
             messages_.ShowMessage(message);
             return false;
         }},
        {61, "Preparing triggers", msg::kPrepareTriggers, [] { return Trigger_PrepareAll(); }},
        // Extension code is compiled once the scripts it may call are in the table.
        {-1, nullptr, msg::kPrepareScripts, [this] { return LoadScripts(game_.Resources(ResourceKind::Script)); }},
        {-1, nullptr, msg::kPrepareExtensions, [] { return Extensions().CompileScripts(); }},
        {62, "Compiling scripts", msg::kPrepareScripts, [] { return CompileScripts(); }},
        {70, "Compiling time line actions", msg::kPrepareTimeLines,
         [this] {
             return TimeLine_CompileAll([this](const std::string& text) { messages_.ShowMessage(text); });
         }},
        {72, "Compiling object actions", msg::kPrepareObjects,
         [this] { return CompileObjects([this](const std::string& text) { messages_.ShowMessage(text); }); }},
        {80, "Preparing sounds", msg::kPrepareSounds,
         [this] {
             Sound_SetTempFolder(temp_.Path());
             SetSoundHooks({[this](const std::string& text) { messages_.ShowMessage(text); }});
             return Sound_PrepareAll();
         }},
        {90, "Preparing graphics", nullptr, [this] { return Init_Graphics(game_.settings); }},
        {-1, nullptr, nullptr, [] { return true; }}, // input handlers and a clear input state
    };
}

bool Runner::Prepare() {
    for (auto& step : PreparationTable()) {
        if (step.percent >= 0) Progress(step.percent, step.text);
        if (!step.work()) {
            if (step.failure) Fail(step.failure);
            return false;
        }
    }
    Progress(100, "Ready");
    display_.Hide();
    return true;
}

void Runner::Shutdown() {
    // The other players hear at once that this copy left (a host's session ends for them).
    Net().End();
    // Textures go while the device is still there, not when the process exits.
    ResetSplashModule();
    Background_ClearAll();
    Sprite_ClearAll();
    Finish_Graphics();
    Sound_ClearAll();
    SND_End();
    SetSoundHooks({});
    SetIncludedFiles(nullptr, {});
    ResetExtensions();
    game_.included_files.RemoveAll(DataFileContext{temp_.Path(), secure_mode_, ReportToStderr});
    if (!library_path_.empty()) {
        std::error_code ec;
        fs::remove(library_path_, ec);
    }
}

} // namespace kestrin
