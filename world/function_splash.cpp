#include "world/function_splash.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/bitmap32.h"
#include "base/file_io.h"
#include "base/numeric.h"
#include "graphics/graphics_window.h"
#include "graphics/render_state.h"
#include "graphics/rtf.h"
#include "graphics/splash_view.h"
#include "graphics/video.h"
#include "runner/file_access.h"
#include "runner/game_data.h"
#include "runner/input_record.h"
#include "runner/input_state.h"
#include "runner/signals.h"
#include "runner/splash.h"
#include "script/builtin_args.h"
#include "script/run_error.h"
#include "script/value.h"
#include "sound/mixer.h"
#include "sound/sound_system.h"

extern char** environ;

namespace kestrin {

namespace {

using namespace builtin_args;

constexpr const char* kImageNotFound = "Image file not found.";
constexpr const char* kVideoNotFound = "Video file not found (or name too long).";
constexpr const char* kTextNotFound = "Text file not found.";
constexpr const char* kWebNotFound = "Web page not found.";
constexpr const char* kWebFailed = "Failed to display the webpage";
constexpr const char* kSecureWeb = "In secure mode you cannot open webpages.";
constexpr size_t kMaxVideoName = 127;
constexpr uint64_t kMaxTextBytes = uint64_t(64) << 20;
constexpr int32_t kKeyF1 = 112;

using Clock = std::chrono::steady_clock;

int64_t MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Settings take a Boolean as true when the rounded argument is at least 1.
bool Flag(Args a, int i) {
    return RoundToInt32Saturated(a[i].val()) >= 1;
}
int32_t Int(Args a, int i) {
    return RoundToInt32Saturated(a[i].val());
}

// One splash being shown.
struct ActiveSplash {
    std::unique_ptr<SplashContent> content;
    SplashSettings settings;
    SplashRect panel;
    SplashCloser closer;
    Clock::time_point start = Clock::now();
    bool loop = false;
    int32_t sound = -1; // the video's sound track in the mixer
    bool information = false;

    ActiveSplash(std::unique_ptr<SplashContent> c, const SplashSettings& s, SplashRect p, int64_t delayMs)
        : content(std::move(c)), settings(s), panel(p), closer(s, p, delayMs) {}
    ~ActiveSplash() {
        if (sound >= 0) {
            SND_Stop(sound);
            SND_Free(sound);
        }
    }
    ActiveSplash(const ActiveSplash&) = delete;
    ActiveSplash& operator=(const ActiveSplash&) = delete;

    // Timers and the item's own end; true once closed.
    bool Tick() {
        const int64_t elapsed = MillisecondsSince(start);
        if (closer.Time(elapsed)) return true;
        if (!content->Advance(double(elapsed) / 1000)) {
            if (loop && content->Restart()) {
                start = Clock::now();
                if (sound >= 0) {
                    SND_Stop(sound);
                    SND_Play(sound, false);
                }
                (void)content->Advance(0);
            } else {
                closer.VideoEnded(false);
            }
        }
        return closer.Closed();
    }

    void ClickAt(int32_t windowX, int32_t windowY) {
        const PointD p = WindowToRegion(GameWindow(), windowX, windowY);
        (void)closer.Click(p.x, p.y);
    }
};

struct SplashModule {
    GameInformation information;
    std::unique_ptr<ActiveSplash> free; // shown beside the running game
    int depth = 0;                      // splashes holding the game (one inside another's loop)
};

SplashModule& Module() {
    static SplashModule module;
    return module;
}

void PrintLine(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

// One line of a document's text for headless runs: line breaks as " / ", at most 200 bytes.
std::string OneLine(const RtfDocument& doc) {
    std::string text;
    for (char c : doc.PlainText()) {
        if (text.size() >= 200) {
            text += "...";
            break;
        }
        if (c == '\n')
            text += " / ";
        else if (c == '\t')
            text += ' ';
        else
            text += c;
    }
    return text;
}

// Headless, a splash is its line; one that would hold the game still leaves the input
// cleared, as it does in a window, so both runs go on from the same state.
void ShownHeadless(const SplashSettings& settings, const std::string& line) {
    PrintLine(line);
    if (SplashHoldsGame(SplashModeOf(settings))) CurrentInput().Clear();
}

std::string Closes(int64_t delayMs) {
    return delayMs > 0 ? " (closes after " + std::to_string(delayMs) + " ms)" : " (until closed)";
}

// The file of a game's name when it can be read (secure mode refuses names outside the
// game's folders); empty otherwise.
std::string ReadableFile(const std::string& name) {
    if (name.empty()) return {};
    const ResolvedFile file = ResolveFile(name);
    struct stat st {};
    if (!file.allowed || ::stat(file.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    return file.path;
}

bool ReadText(const std::string& path, RtfDocument& doc) {
    std::vector<uint8_t> bytes;
    if (ReadRegularFile(path, bytes, kMaxTextBytes) != FileReadStatus::Ok) return false;
    doc = ParseRtf(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    return true;
}

// Runs a splash that holds the game until it closes: pumps the window, hears its keys and
// clicks, draws it over the last frame, and steps nothing.
void RunHeld(ActiveSplash& splash) {
    SplashModule& module = Module();
    InputState& input = CurrentInput();
    InputPlatform& platform = CurrentInputPlatform();
    WindowState& window = GameWindow();
    const int32_t windowColour = window.colour, windowCursor = window.cursor;
    if (splash.settings.main) window.colour = splash.settings.colour;
    if (!splash.settings.cursor) {
        window.cursor = -1; // none
        ApplyWindowState();
    }
    ++module.depth;
    SetSplashHolding(true);
    CurrentInputSink().Private(true);
    input.Clear();
    bool escapeHeld = false;
    (void)splash.content->Advance(0);
    while (!TerminationRequested()) {
        platform.PumpMessages();
        if (input.TakeCloseEvent()) splash.closer.Key(0);
        if (input.KeyPressed(kVkEscape)) {
            splash.closer.Key(kVkEscape);
        } else if (input.KeyHeld(kVkEscape) && !escapeHeld) {
            // The close button as Escape: held without being pressed.
            splash.closer.Key(0);
        }
        escapeHeld = input.KeyHeld(kVkEscape);
        if (splash.information && input.KeyPressed(kKeyF1)) splash.closer.Key(0);
        for (int32_t button = 1; button <= 3; ++button)
            if (input.ButtonPressed(button)) splash.ClickAt(input.window_mouse_x, input.window_mouse_y);
        input.ClearStepFlags();
        if (splash.Tick()) break;
        if (!RenderState_Device()) break; // nothing would ever be seen
        DrawSplashPanel(*splash.content, splash.settings, splash.panel);
        (void)RenderState_End_Frame();
        (void)RenderState_Start_Frame();
        platform.Sleep(10);
    }
    window.colour = windowColour;
    if (window.cursor != windowCursor) {
        window.cursor = windowCursor;
        ApplyWindowState();
    }
    if (--module.depth == 0) {
        SetSplashHolding(false);
        CurrentInputSink().Private(false);
    }
    input.Clear();
}

void Show(std::unique_ptr<SplashContent> content, const SplashSettings& settings, int64_t delayMs, bool loop,
          std::vector<float> sound = {}, bool information = false) {
    SplashModule& module = Module();
    // A new splash takes the place of one shown beside the game.
    module.free.reset();
    const int32_t rw = RenderState_Device() ? RenderState_RegionWidth() : GameWindow().region_w;
    const int32_t rh = RenderState_Device() ? RenderState_RegionHeight() : GameWindow().region_h;
    const SplashRect panel = PlaceSplashPanel(settings, rw, rh, content->Width(), content->Height());
    auto splash = std::make_unique<ActiveSplash>(std::move(content), settings, panel, delayMs);
    splash->loop = loop;
    splash->information = information;
    if (!sound.empty()) {
        splash->sound = SND_LoadPcm(std::move(sound));
        if (splash->sound >= 0) SND_Play(splash->sound, false);
    }
    if (!SplashHoldsGame(SplashModeOf(settings))) {
        module.free = std::move(splash);
        return;
    }
    RunHeld(*splash);
}

// ---- The shows ----

void ShowImage(const std::string& name, int64_t delay) {
    const std::string path = ReadableFile(name);
    TBitmap32 image;
    if (path.empty() || !image.LoadFromImageFile(path)) return ReportRunError(kImageNotFound, false);
    if (SplashHeadless()) {
        return ShownHeadless(CurrentSplashSettings(),
                             "splash image: " + name + " (" + std::to_string(image.Width()) + "x" +
                                 std::to_string(image.Height()) + ")" + Closes(delay));
    }
    image.ApplyAlphaTest();
    Show(std::make_unique<SplashImage>(image), CurrentSplashSettings(), delay, false);
}

void ShowVideo(const std::string& name, bool loop) {
    const std::string path = name.size() >= kMaxVideoName ? std::string() : ReadableFile(name);
    if (path.empty()) return ReportRunError(kVideoNotFound, false);
    std::string error;
    std::unique_ptr<VideoSource> video = OpenVideo(path, error);
    if (!video) return ReportRunError(kVideoNotFound, false);
    if (SplashHeadless()) {
        return ShownHeadless(CurrentSplashSettings(),
                             "splash video: " + name + " (" + std::to_string(video->Width()) + "x" +
                                 std::to_string(video->Height()) + (loop ? ", loops)" : ")"));
    }
    std::vector<float> sound = video->DecodeAudio(kMixRate);
    Show(std::make_unique<SplashVideo>(std::move(video)), CurrentSplashSettings(), 0, loop, std::move(sound));
}

void ShowText(const std::string& name, int64_t delay) {
    const std::string path = ReadableFile(name);
    RtfDocument doc;
    if (path.empty() || !ReadText(path, doc)) return ReportRunError(kTextNotFound, false);
    if (SplashHeadless())
        return ShownHeadless(CurrentSplashSettings(),
                             "splash text: " + name + Closes(delay) + ": " + OneLine(doc));
    Show(std::make_unique<SplashRichText>(std::move(doc)), CurrentSplashSettings(), delay, false);
}

// Hands the address to the desktop's opener as its one argument, never through a shell.
bool OpenAddress(const std::string& url) {
    const char* opener = "xdg-open";
    std::string program(opener), address(url);
    char* argv[] = {program.data(), address.data(), nullptr};
    pid_t pid = -1;
    if (::posix_spawnp(&pid, opener, nullptr, nullptr, argv, environ) != 0) return false;
    // The opener hands the page to the browser and returns; waiting for it keeps no zombie.
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// An address the opener takes as a page: something to open, no control characters, and not
// starting with "-", which the opener would read as an option.
bool PlausibleAddress(const std::string& url) {
    if (url.empty() || url.front() == '-') return false;
    for (unsigned char c : url)
        if (c < 0x20 || c == 0x7F) return false;
    return true;
}

void ShowWeb(const std::string& url, int64_t delay) {
    if (SecureMode()) return ReportRunError(kSecureWeb, false);
    if (!PlausibleAddress(url)) return ReportRunError(kWebNotFound, false);
    if (SplashHeadless()) return PrintLine("splash web: would open " + url + Closes(delay));
    // The page shows in the desktop's browser, beside the game, so nothing waits for it.
    if (OpenAddress(url) || OpenAddress(url)) return;
    PrintLine(kWebFailed);
    ReportRunError(kWebNotFound, false);
}

SplashSettings InformationSettings(const GameInformation& info) {
    SplashSettings s;
    s.caption = info.caption;
    s.main = info.show_in_window;
    s.interrupt = info.modal;
    s.full_screen = false;
    s.border = info.border;
    s.x = info.left;
    s.y = info.top;
    s.width = info.width;
    s.height = info.height;
    s.adapt = false;
    s.colour = info.background_colour;
    s.stop_key = true;
    s.stop_mouse = false; // a click on the text is not a request to close it
    s.close_button = true;
    return s;
}

// ---- Built-ins ----

ROUTINE(splash_set_caption) {
    CurrentSplashSettings().caption = a[0].str();
}
ROUTINE(splash_set_fullscreen) {
    CurrentSplashSettings().full_screen = Flag(a, 0);
}
ROUTINE(splash_set_border) {
    CurrentSplashSettings().border = Flag(a, 0);
}
ROUTINE(splash_set_size) {
    CurrentSplashSettings().width = Int(a, 0);
    CurrentSplashSettings().height = Int(a, 1);
}
ROUTINE(splash_set_position) {
    CurrentSplashSettings().x = Int(a, 0);
    CurrentSplashSettings().y = Int(a, 1);
}
ROUTINE(splash_set_adapt) {
    CurrentSplashSettings().adapt = Flag(a, 0);
}
ROUTINE(splash_set_top) {
    CurrentSplashSettings().top = Flag(a, 0);
}
ROUTINE(splash_set_color) {
    CurrentSplashSettings().colour = Int(a, 0);
}
ROUTINE(splash_set_main) {
    CurrentSplashSettings().main = Flag(a, 0);
}
ROUTINE(splash_set_scale) {
    const double s = a[0].val();
    CurrentSplashSettings().scale = std::isfinite(s) ? s : -1;
}
ROUTINE(splash_set_cursor) {
    CurrentSplashSettings().cursor = Flag(a, 0);
}
ROUTINE(splash_set_interrupt) {
    CurrentSplashSettings().interrupt = Flag(a, 0);
}
ROUTINE(splash_set_stop_key) {
    CurrentSplashSettings().stop_key = Flag(a, 0);
}
ROUTINE(splash_set_close_button) {
    CurrentSplashSettings().close_button = Flag(a, 0);
}
ROUTINE(splash_set_stop_mouse) {
    CurrentSplashSettings().stop_mouse = Flag(a, 0);
}

int64_t Delay(Args a, int i) {
    const double d = a[i].val();
    return std::isfinite(d) && d > 0 ? int64_t(std::min(d, 1e12)) : 0;
}

ROUTINE(splash_show_image) {
    ShowImage(std::string(a[0].str()), Delay(a, 1));
}
ROUTINE(splash_show_video) {
    ShowVideo(std::string(a[0].str()), IsTrue(a[1].val()));
}
ROUTINE(splash_show_text) {
    ShowText(std::string(a[0].str()), Delay(a, 1));
}
ROUTINE(splash_show_web) {
    ShowWeb(std::string(a[0].str()), Delay(a, 1));
}

// show_image, show_video and show_text: full screen, or inside the game window.
void ShowWhere(bool full) {
    CurrentSplashSettings().full_screen = full;
    CurrentSplashSettings().main = !full;
}
ROUTINE(show_image) {
    ShowWhere(IsTrue(a[1].val()));
    ShowImage(std::string(a[0].str()), Delay(a, 2));
}
ROUTINE(show_video) {
    ShowWhere(IsTrue(a[1].val()));
    ShowVideo(std::string(a[0].str()), IsTrue(a[2].val()));
}
ROUTINE(show_text) {
    ShowWhere(IsTrue(a[1].val()));
    CurrentSplashSettings().colour = Int(a, 2);
    ShowText(std::string(a[0].str()), Delay(a, 3));
}
ROUTINE(show_info) {
    ShowGameInformation();
}
ROUTINE(load_info) {
    const std::string path = ReadableFile(std::string(a[0].str()));
    std::vector<uint8_t> bytes;
    if (path.empty() || ReadRegularFile(path, bytes, kMaxTextBytes) != FileReadStatus::Ok)
        return r.SetReal(0);
    Module().information.rtf = std::move(bytes);
    r.SetReal(1);
}

constexpr RFunctionSpec kFunctions[] = {
    {"splash_set_caption", splash_set_caption, 1},
    {"splash_set_fullscreen", splash_set_fullscreen, 1},
    {"splash_set_border", splash_set_border, 1},
    {"splash_set_size", splash_set_size, 2},
    {"splash_set_position", splash_set_position, 2},
    {"splash_set_adapt", splash_set_adapt, 1},
    {"splash_set_top", splash_set_top, 1},
    {"splash_set_color", splash_set_color, 1},
    {"splash_set_main", splash_set_main, 1},
    {"splash_set_scale", splash_set_scale, 1},
    {"splash_set_cursor", splash_set_cursor, 1},
    {"splash_set_interrupt", splash_set_interrupt, 1},
    {"splash_set_stop_key", splash_set_stop_key, 1},
    {"splash_set_close_button", splash_set_close_button, 1},
    {"splash_set_stop_mouse", splash_set_stop_mouse, 1},
    {"splash_show_image", splash_show_image, 2},
    {"splash_show_video", splash_show_video, 2},
    {"splash_show_text", splash_show_text, 2},
    {"splash_show_web", splash_show_web, 2},
    {"show_image", show_image, 3},
    {"show_video", show_video, 3},
    {"show_text", show_text, 4},
    {"show_info", show_info, 0},
    {"load_info", load_info, 1},
};

} // namespace

std::span<const RFunctionSpec> SplashFunctions() {
    return kFunctions;
}

void SetSplashGameInformation(const GameInformation& information) {
    Module().information = information;
}

void ShowGameInformation() {
    SplashModule& module = Module();
    if (module.free && module.free->information) {
        module.free.reset();
        return;
    }
    const GameInformation& info = module.information;
    const std::string_view bytes(reinterpret_cast<const char*>(info.rtf.data()), info.rtf.size());
    RtfDocument doc = ParseRtf(bytes);
    if (SplashHeadless())
        return ShownHeadless(InformationSettings(info),
                             "game information: " + info.caption + ": " + OneLine(doc));
    Show(std::make_unique<SplashRichText>(std::move(doc)), InformationSettings(info), 0, false, {}, true);
}

void SplashFunctionKeys(InputState& input) {
    if (!input.KeyPressed(kKeyF1)) return;
    ShowGameInformation();
    input.Clear();
}

bool Splash_Gate() {
    SplashModule& module = Module();
    if (module.free) {
        // The game's own input this step: a click on the free splash's panel may close it.
        const InputState& input = CurrentInput();
        for (int32_t button = 1; button <= 3; ++button)
            if (input.ButtonPressed(button)) module.free->ClickAt(input.window_mouse_x, input.window_mouse_y);
        if (module.free->Tick()) module.free.reset();
    }
    return SplashHolding();
}

void Splash_DrawFrame() {
    SplashModule& module = Module();
    if (!module.free || !RenderState_Device()) return;
    DrawSplashPanel(*module.free->content, module.free->settings, module.free->panel);
}

bool SplashShownBesideGame() {
    return Module().free != nullptr;
}

void ResetSplashModule() {
    SplashModule& module = Module();
    // The sound slots go with the mixer's own reset; touching them here could start it again.
    if (module.free) module.free->sound = -1;
    module.free.reset();
    module.information = GameInformation();
    ResetSplashState();
}

} // namespace kestrin
