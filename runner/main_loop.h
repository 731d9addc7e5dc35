#pragma once
// The main loop: one step runs the phases of the game in a fixed order, and between steps the
// loop waits out the frame, shows it, counts the frame rate, pumps the window's messages and
// carries out what scripts asked for in `room_request` (another room, end, restart, load).

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "runner/frame_pacing.h"
#include "script/builtin_routine.h"

namespace kestrin {

class InputState;
class InputPlatform;

// Step phases that belong to subsystems above the runner; unset entries do nothing. The
// composition root (game/compose.cpp, ComposeMainLoop) sets draw_room and show_frame; the
// others wait for their subsystems: gate (dialogs, splash screens), function_keys (game
// information, saved games, screenshots), timelines, particles, debug_refresh,
// age_depth_buffers (3D) and load_game (saved games).
struct LoopHooks {
    std::function<bool()> gate;          // true: the step does nothing (information, splash, frozen)
    std::function<void()> network;       // the multiplayer transport, serviced even when gated
    std::function<void()> function_keys; // F1, F4, F5, F6, F9 (Escape is the loop's own)
    std::function<bool()> window_active; // unset: active
    std::function<void()> timelines;     // advance every instance's time line
    std::function<void()> particles;     // systems that update automatically
    std::function<void()> draw_room;     // the room through its views, draw events included
    std::function<void()> debug_refresh; // the debug window, in debug mode
    // In debug mode, before every pass of the loop: the debug window answers its commands and
    // draws. While the game is paused no step runs and the loop keeps calling this.
    std::function<void()> debug_idle;
    std::function<void()> age_depth_buffers;
    std::function<void()> show_frame;                  // show the back buffer and begin the next frame
    std::function<void(const std::string&)> load_game; // game_load's file
};

// The loop's state that scripts see (fps, automatic_draw, ...) and that saved games keep.
struct LoopState {
    bool automatic_draw = true;
    int32_t cursor_frame = 0;
    std::string load_file;
    bool running = false;
    bool escape_ends_game = true;
    bool debug_mode = false;
    bool paused = false; // the debug window's pause: the loop runs no steps
};

class MainLoop {
public:
    MainLoop(StepClock& clock, InputState& input, InputPlatform& platform);
    ~MainLoop();
    MainLoop(const MainLoop&) = delete;
    MainLoop& operator=(const MainLoop&) = delete;

    LoopHooks hooks;
    LoopState state;
    double speed_factor = 1.0;
    // Around every step (the step number counts from 1): replays feed input before, and
    // recordings and frame limits look after. `after_step` answering false ends the game.
    std::function<void(int64_t step)> before_step;
    std::function<bool(int64_t step)> after_step;

    // One step: the 24 phases, cut short at the first stop point where a request is pending.
    void Step();
    // Carries out room_request; false when the game is over (ended or aborted).
    bool HandleRequest();
    // Runs steps until the game ends; the game-end events are left to the caller.
    void Loop();
    // A single step for the debug window.
    void StepOnce();

    FramePacer& Pacer() { return pacer_; }
    int64_t StepCount() const { return step_count_; }
    int32_t Fps() const { return pacer_.Fps(); }

private:
    void PumpMessages();
    // The debug window's turn between steps; false when the game is over.
    bool DebugPass();
    void Animate();
    void Motion();

    StepClock& clock_;
    InputState& input_;
    InputPlatform& platform_;
    FramePacer pacer_;
    int64_t step_count_ = 0;
    MainLoop* previous_ = nullptr;
};

// The loop being run (nullptr between runs); built-ins reach it through here.
MainLoop* CurrentLoop();

} // namespace kestrin
