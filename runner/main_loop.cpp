#include "runner/main_loop.h"

#include <algorithm>
#include <cmath>

#include "base/numeric.h"
#include "runner/event_dispatch.h"
#include "runner/game_world.h"
#include "runner/input_record.h"
#include "runner/input_state.h"
#include "runner/instance.h"
#include "runner/room.h"
#include "runner/signals.h"
#include "script/errors.h"

namespace kestrin {

namespace {

MainLoop*& Current() {
    static MainLoop* loop = nullptr;
    return loop;
}

bool Requested() {
    return World().room_request != kRequestNone;
}

} // namespace

MainLoop* CurrentLoop() {
    return Current();
}

MainLoop::MainLoop(StepClock& clock, InputState& input, InputPlatform& platform)
    : clock_(clock), input_(input), platform_(platform), pacer_(clock, [this] { PumpMessages(); }) {
    previous_ = Current();
    Current() = this;
}

MainLoop::~MainLoop() {
    Current() = previous_;
}

void MainLoop::PumpMessages() {
    struct Holding {
        Holding() { CurrentInputSink().Hold(true); }
        ~Holding() { CurrentInputSink().Hold(false); }
    } holding;
    platform_.PumpMessages();
}

void MainLoop::Motion() {
    CRoom* room = World().Current();
    if (!room) return;
    const DispatchHooks& dispatch = CurrentDispatchHooks();
    // Destroyed instances move too; instances created by end-of-path events wait a step.
    const size_t count = room->r_instance.size();
    for (size_t i = 0; i < count && i < room->r_instance.size(); ++i) {
        CInstance& instance = *room->r_instance[i];
        instance.Adapt_Speed();
        if (dispatch.advance_path && dispatch.advance_path(instance))
            PerformEvent(&instance, &instance, ev_other, ev_end_of_path);
        if (instance.i_hspeed != 0 || instance.i_vspeed != 0)
            instance.SetPosition(instance.i_x + instance.i_hspeed, instance.i_y + instance.i_vspeed);
    }
}

void MainLoop::Animate() {
    CRoom* room = World().Current();
    if (!room) return;
    const size_t count = room->r_instance.size();
    for (size_t i = 0; i < count && i < room->r_instance.size(); ++i) {
        CInstance& instance = *room->r_instance[i];
        instance.i_imageindex += instance.i_imagespeed;
        const auto imageCount = CurrentInstanceSpriteHooks().image_count;
        const int32_t images = imageCount ? std::max(0, imageCount(instance.i_spriteindex)) : 0;
        if (std::floor(instance.i_imageindex) >= images) {
            instance.i_imageindex -= images;
            PerformEvent(&instance, &instance, ev_other, ev_animation_end);
        }
    }
}

void MainLoop::Step() {
    // Peers time out when nothing answers them, so the network is looked after on every
    // step, even one that does nothing else.
    if (hooks.network) hooks.network();
    if (hooks.gate && hooks.gate()) return;
    if (hooks.function_keys) hooks.function_keys();
    if (state.escape_ends_game && input_.KeyPressed(kVkEscape)) World().room_request = kRequestEndGame;
    if (hooks.window_active && !hooks.window_active()) input_.Clear();

    if (CRoom* room = World().Current()) {
        for (auto& instance : room->r_instance) {
            instance->i_xprevious = instance->i_x;
            instance->i_yprevious = instance->i_y;
            instance->i_pathpositionprevious = std::clamp(instance->i_pathposition, 0.0, 1.0);
        }
    }
    DispatchStep(ev_step_begin);
    if (Requested()) return;
    if (hooks.timelines) hooks.timelines();
    if (Requested()) return;
    DispatchAlarms();
    if (Requested()) return;
    DispatchKeyboard(input_);
    if (Requested()) return;
    DispatchJoysticks(input_);
    if (Requested()) return;
    DispatchMouse(input_);
    if (Requested()) return;
    DispatchStep(ev_step_normal);
    if (Requested()) return;
    Motion();
    DispatchBoundary();
    if (Requested()) return;
    DispatchCollisions();
    if (Requested()) return;
    DispatchStep(ev_step_end);
    if (Requested()) return;
    if (hooks.particles) hooks.particles();
    if (CRoom* room = World().Current()) room->RemoveMarked();
    if (state.automatic_draw && hooks.draw_room) hooks.draw_room();
    if (CRoom* room = World().Current()) room->ScrollBackground();
    Animate();
    ++state.cursor_frame;
    if (state.debug_mode && hooks.debug_refresh) hooks.debug_refresh();
    input_.ClearStepFlags();
    if (hooks.age_depth_buffers) hooks.age_depth_buffers();
}

bool MainLoop::HandleRequest() {
    CGameWorld& world = World();
    const int32_t request = world.room_request;
    switch (request) {
    case kRequestNone:
        return true;
    case kRequestEndGame:
    case kRequestAbort:
        state.running = false;
        return false;
    case kRequestLoad:
        world.room_request = kRequestNone;
        input_.Clear();
        if (hooks.load_game) hooks.load_game(state.load_file);
        return true;
    case kRequestRestart:
        world.RestartGame();
        break;
    default:
        if (request < 0) {
            // No other code is ever set; a stray one ends the game as a fatal error would.
            world.room_request = kRequestAbort;
            state.running = false;
            return false;
        }
        world.GotoRoom(request);
        break;
    }
    // A request made while entering the room waits for the next pass, as any other would,
    // except an end, which ends the game at once.
    if (world.room_request == kRequestEndGame || world.room_request == kRequestAbort) {
        state.running = false;
        return false;
    }
    return true;
}

void MainLoop::StepOnce() {
    PumpMessages();
    ++step_count_;
    CurrentInputSink().BeginStep(step_count_);
    if (before_step) before_step(step_count_);
    Step();
    if (World().room_request == kRequestNone && state.automatic_draw && hooks.show_frame) hooks.show_frame();
    bool go_on = HandleRequest();
    if (after_step && !after_step(step_count_)) go_on = false;
    if (!go_on) state.running = false;
    PumpMessages();
}

bool MainLoop::DebugPass() {
    hooks.debug_idle();
    if (!state.running) return false;
    // A restart asked for from the window is carried out before the next step.
    if (World().room_request != kRequestNone && !HandleRequest()) return false;
    if (!state.paused) return true;
    PumpMessages();
    // No event runs while paused: closing the game window then ends the game.
    if (input_.TakeCloseEvent()) {
        state.running = false;
        return false;
    }
    return true;
}

void MainLoop::Loop() {
    state.running = HandleRequest();
    pacer_.Start();
    PumpMessages();
    // A signal ends the game as the frame limit does: at a step boundary, with the end events.
    while (state.running && !TerminationRequested()) {
        if (state.debug_mode && hooks.debug_idle) {
            if (!DebugPass()) break;
            if (state.paused) continue;
        }
        ++step_count_;
        CurrentInputSink().BeginStep(step_count_);
        if (before_step) before_step(step_count_);
        try {
            Step();
            CRoom* room = World().Current();
            int32_t speed = room ? room->r_speed : 30;
            pacer_.EndFrame(speed, speed_factor);
            if (room) room->r_speed = speed;
            if (World().room_request == kRequestNone && state.automatic_draw && hooks.show_frame)
                hooks.show_frame();
            if (!HandleRequest()) break;
        } catch (const std::exception& fault) {
            // One bad pass does not end the game; the next step starts normally.
            HandleRunnerFault(fault);
            if (World().room_request == kRequestAbort || GameAborting()) break;
        }
        if (after_step && !after_step(step_count_)) break;
        PumpMessages();
        if (input_.TakeCloseEvent()) {
            PerformAll(ev_other, ev_close_button);
            if (!HandleRequest()) break;
        }
    }
    state.running = false;
}

} // namespace kestrin
