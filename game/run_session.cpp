#include "game/run_session.h"

#include "game/compose.h"

#include "base/bitmap32.h"
#include "graphics/function_draw.h"
#include "graphics/function_texture.h"
#include "graphics/function_window.h"
#include "graphics/graphics_window.h"
#include "graphics/render_state.h"
#include "graphics/room_draw.h"
#include "graphics/transition.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <deque>
#include <fstream>
#include <memory>
#include <sstream>

#include "base/file_io.h"
#include "debug/debug_session.h"
#include "game/audio_output.h"
#include "game/startup.h"
#include "graphics/sprite.h"
#include "runner/dialogs.h"
#include "runner/event_dispatch.h"
#include "runner/game_variables.h"
#include "runner/game_world.h"
#include "runner/input_record.h"
#include "runner/input_state.h"
#include "runner/loop_messages.h"
#include "runner/main_loop.h"
#include "runner/room.h"
#include "runner/saved_game.h"
#include "runner/settings.h"
#include "runner/splash.h"
#include "script/errors.h"
#include "script/random.h"
#include "script/variables.h"
#include "world/collision.h"
#include "world/function_splash.h"

namespace kestrin {

namespace {

// FNV-1a over the bytes of the values fed in.
class StateHasher {
public:
    void Bytes(const void* data, size_t size) {
        const auto* p = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < size; ++i) hash_ = (hash_ ^ p[i]) * 16777619u;
    }
    void Int(int64_t value) { Bytes(&value, sizeof value); }
    void Real(double value) {
        // -0 and 0 are the same state; every NaN too.
        if (value == 0) value = 0;
        if (value != value) value = 0;
        Int(std::bit_cast<int64_t>(value));
    }
    void Value(const RValue& value) {
        Int(value.kind());
        if (value.IsString()) {
            const std::string_view text = value.str();
            Int(static_cast<int64_t>(text.size()));
            Bytes(text.data(), text.size());
        } else {
            Real(value.val());
        }
    }
    void Variables(const CVariableList& list) {
        Int(list.v_numb());
        for (const RVariable& v : list.Variables()) {
            Int(v.ind);
            Value(v.simplevalue);
            Int(static_cast<int64_t>(v.value.size()));
            for (const auto& row : v.value) {
                Int(static_cast<int64_t>(row.size()));
                for (const RValue& element : row) Value(element);
            }
        }
    }
    uint32_t Result() const { return hash_; }

private:
    uint32_t hash_ = 2166136261u;
};

// Everything a replay feeds, and records, around the steps of one run. The window's own
// input reaches the recording through the input sink.
class Session {
public:
    Session(const RunOptions& options, const CSettings& settings, void (*messages)(const std::string&))
        : options_(options), settings_(settings), messages_(messages) {}

    bool Prepare() {
        if (!options_.input_file.empty()) {
            std::vector<uint8_t> bytes;
            std::string error;
            if (!ReadWholeFile(options_.input_file, bytes)) {
                messages_(msg::kReplayUnreadable + options_.input_file);
                return false;
            }
            const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            if (!ParseInputRecording(text, replay_, error)) {
                messages_(msg::kReplayUnreadable + options_.input_file + ": " + error);
                return false;
            }
            replaying_ = true;
            std::deque<std::string> answers;
            for (const InputStep& step : replay_.steps)
                for (const InputEvent& event : step.events)
                    if (event.kind == InputEventKind::Answer) answers.push_back(event.text);
            SetDialogReplay(std::move(answers));
        }
        if (!options_.answers_file.empty()) {
            std::vector<uint8_t> bytes;
            if (!ReadWholeFile(options_.answers_file, bytes)) {
                messages_(msg::kAnswersUnreadable + options_.answers_file);
                return false;
            }
            HeadlessDialogHost().SetAnswers(
                SplitAnswerLines(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
        }
        if (options_.seed)
            seed_ = *options_.seed;
        else if (replay_.seed)
            seed_ = *replay_.seed;
        else {
            RandomizeSeed();
            seed_ = RandomSeed();
        }
        record_.seed = seed_;
        CurrentInputSink().Reset(options_.record_file.empty() ? nullptr : &record_);
        return true;
    }

    uint32_t Seed() const { return seed_; }

    void BeforeStep(int64_t step) {
        if (!replaying_) return;
        if (const InputStep* s = replay_.Find(step, cursor_)) {
            for (const InputEvent& event : s->events) {
                // Answers are handed to the dialogs (and recorded) as they are asked.
                if (event.kind == InputEventKind::Answer) continue;
                ApplyInputEvent(event, CurrentInput(), settings_.close_as_escape);
                if (!options_.record_file.empty()) record_.Add(step, event);
            }
            pending_hash_ = s->hash;
        } else {
            pending_hash_.reset();
        }
    }

    bool AfterStep(int64_t step) {
        last_step_ = step;
        TakeScreenshots(step);
        if (pending_hash_ || (!options_.record_file.empty() && step % kHashInterval == 0)) {
            const uint32_t hash = GameStateHash();
            if (pending_hash_ && *pending_hash_ != hash && !diverged_) {
                diverged_ = true;
                messages_(msg::kReplayDiffers + std::to_string(step));
                return false;
            }
            if (!options_.record_file.empty() && step % kHashInterval == 0) record_.AddHash(step, hash);
        }
        return options_.frames < 0 || step < options_.frames;
    }

    bool Diverged() const { return diverged_; }

    // A dialog's answer, under the step it was given in (those before the first step under it).
    void RecordAnswer(int64_t step, const std::string& answer) {
        if (options_.record_file.empty()) return;
        record_.Add(step < 1 ? 1 : step, {InputEventKind::Answer, 0, 0, answer});
    }

    // The frame of a step as PNG files; needs a drawing device (a headless run asking for
    // screenshots gets one on the offscreen GPU context).
    void TakeScreenshots(int64_t step) {
        for (const auto& shot : options_.screenshots) {
            if (shot.step != step) continue;
            std::optional<TBitmap32> frame = RenderState_CaptureAll();
            if (!frame || !frame->SaveToImageFile(shot.path)) {
                messages_(msg::kScreenshotFailed + shot.path);
            }
        }
    }

    // A screenshot asked for a step the run never reached is easy to miss; say so.
    void WarnUnreachedScreenshots() const {
        for (const auto& shot : options_.screenshots)
            if (shot.step > last_step_)
                messages_("Warning: the run ended after step " + std::to_string(last_step_) +
                          ", so the screenshot of step " + std::to_string(shot.step) + " (" + shot.path +
                          ") was not taken.");
    }

    bool WriteRecording() const {
        if (options_.record_file.empty()) return true;
        std::ofstream out(options_.record_file, std::ios::binary | std::ios::trunc);
        out << FormatInputRecording(record_);
        if (out) return true;
        messages_(msg::kRecordUnwritable + options_.record_file);
        return false;
    }

private:
    const RunOptions& options_;
    const CSettings& settings_;
    void (*messages_)(const std::string&);
    InputRecording replay_;
    InputRecording record_;
    bool replaying_ = false;
    size_t cursor_ = 0;
    std::optional<uint32_t> pending_hash_;
    bool diverged_ = false;
    uint32_t seed_ = 0;
    int64_t last_step_ = 0;
};

Session*& CurrentSession() {
    static Session* session = nullptr;
    return session;
}

bool g_seeded = false;

void ResetForGameStart() {
    ResetGameVariables();
    // The first start takes the run's seed; a restart goes on with the sequence, which keeps
    // a replay exact without drawing a fresh seed from the clock.
    if (!g_seeded && CurrentSession()) SetRandomSeed(CurrentSession()->Seed());
    g_seeded = true;
}

} // namespace

uint32_t GameStateHash() {
    StateHasher h;
    const CGameWorld& world = World();
    h.Int(world.CurrentIndex());
    if (const CRoom* room = world.Current()) {
        h.Int(room->r_numb());
        for (const auto& instance : room->r_instance) {
            const CInstance& i = *instance;
            h.Int(i.i_id);
            h.Int(i.i_objectindex);
            h.Int(i.i_marked);
            for (double value : {i.i_x, i.i_y, i.i_hspeed, i.i_vspeed, i.i_imageindex, i.i_depth})
                h.Real(value);
            for (int32_t alarm : i.i_timer) h.Int(alarm);
            h.Variables(i.i_vars);
        }
    }
    h.Variables(Globals().List());
    h.Int(GameValues().score);
    h.Int(GameValues().lives);
    h.Real(GameValues().health);
    h.Int(RandomSeed());
    return h.Result();
}

int PlayGame(const RunOptions& options, const CSettings& settings, bool debugMode, InputPlatform& platform,
             void (*messages)(const std::string& text)) {
    Session session(options, settings, messages);
    if (!session.Prepare()) {
        ResetDialogHosts();
        return kExitLoadFailed;
    }
    // The mix follows the steps; a sound started before the first step begins at frame 0.
    StepAudio audio;
    if (!audio.Open(options.audio_out)) {
        messages(msg::kAudioOutUnwritable + options.audio_out);
        ResetDialogHosts();
        return kExitLoadFailed;
    }
    CurrentSession() = &session;
    g_seeded = false;

    SteadyStepClock steady;
    SimulatedStepClock simulated;
    StepClock& clock = options.fast ? static_cast<StepClock&>(simulated) : steady;
    SetInputPlatform(&platform);
    MainLoop loop(clock, CurrentInput(), platform);
    loop.speed_factor = options.speed > 0 ? options.speed : 1.0;
    loop.state.escape_ends_game = settings.key_escape_ends;
    loop.state.debug_mode = debugMode;
    ComposeMainLoop(loop);
    if (settings.key_f5_f6_save_load) loop.hooks.function_keys = [] { SavedGameKeys(CurrentInput()); };
    // F1 shows the game information before the other function keys are looked at.
    SetSplashHeadless(options.headless);
    if (settings.key_f1_info) {
        loop.hooks.function_keys = [others = std::move(loop.hooks.function_keys)] {
            SplashFunctionKeys(CurrentInput());
            if (others) others();
        };
    }
    loop.before_step = [&session, &loop, &audio](int64_t step) {
        loop.state.automatic_draw = AutomaticDraw();
        const CRoom* room = World().Current();
        audio.Step(room ? room->r_speed : 30);
        session.BeforeStep(step);
    };
    loop.after_step = [&session](int64_t step) { return session.AfterStep(step); };
    // Debug mode: the debug window beside the game (a view only when there is a display).
    std::unique_ptr<DebugSession> debug;
    if (debugMode) {
        debug = std::make_unique<DebugSession>(loop, !options.headless, options.debug_commands);
        if (!debug->Ok()) {
            messages(debug->Error());
            (void)audio.Close();
            CurrentSession() = nullptr;
            CurrentInputSink().Reset(nullptr);
            SetInputPlatform(nullptr);
            return kExitLoadFailed;
        }
    }

    // Every transition frame shown, as DIR/room<from>-<to>-<frame>.png.
    bool framesFailed = false;
    if (!options.transition_frames.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(options.transition_frames, ec);
        SetTransitionFrameSink([&options, &framesFailed, messages](int32_t from, int32_t to, int32_t frame) {
            const std::string path = options.transition_frames + "/room" + std::to_string(from) + "-" +
                                     std::to_string(to) + "-" + std::to_string(frame) + ".png";
            std::optional<TBitmap32> image = RenderState_CaptureAll();
            if ((!image || !image->SaveToImageFile(path)) && !framesFailed) {
                framesFailed = true;
                messages(msg::kScreenshotFailed + path);
            }
        });
    }
    SetDialogRecorder([&session, &loop](const std::string& answer) { session.RecordAnswer(loop.StepCount(), answer); });

    CGameWorld& world = World();
    // The seed of this run's first start belongs to the session.
    world.hooks.reset_game_variables = ResetForGameStart;

    int status = kExitEnded;
    try {
        world.StartGame();
        bool failed = false;
        if (world.room_request != kRequestAbort) {
            if (options.instead_of_loop)
                failed = !options.instead_of_loop();
            else if (options.frames != 0)
                loop.Loop();
        }
        // Game end and room end run unless a fatal error stopped the game.
        if (world.room_request != kRequestAbort && !GameAborting()) {
            world.room_request = kRequestNone;
            world.EndGame();
        }
        if (world.room_request == kRequestAbort || GameAborting()) status = kExitFatal;
        else if (failed) status = kExitLoadFailed;
    } catch (const std::exception& fault) {
        HandleRunnerFault(fault);
        status = kExitFatal;
    }
    session.WarnUnreachedScreenshots();
    if (session.Diverged()) status = kExitFatal;
    if (!session.WriteRecording() && status == kExitEnded) status = kExitFatal;
    if (!audio.Close()) {
        messages(msg::kAudioOutUnwritable + options.audio_out);
        if (status == kExitEnded) status = kExitFatal;
    }
    SetTransitionFrameSink(nullptr);
    CurrentSession() = nullptr;
    ResetDialogHosts();
    CurrentInputSink().Reset(nullptr);
    SetInputPlatform(nullptr);
    return status;
}

} // namespace kestrin
