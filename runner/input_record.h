#pragma once
// Recorded input: what reached the input state during each step of a run, with the random
// seed and periodic hashes of the game state, so that a replay reaches the same state and
// says where it first differs. The file is text, one line per step that had input:
//
//   kestrin-input 1
//   seed 1234
//   12 key_down 37; key_up 37
//   13 mouse_move 120 80; mouse_down 1; wheel_up
//   14 text "hi \"there\""
//   60 hash 9f3a1c02
//   61 close
//   62 joystick 1 "Pad" 6 10 1 32767 0 32767 32767 32767 32767 5 9000; joystick 2 off
//   75 answer "Bo"
//
// An answer is what a dialog opened in that step was answered with (before step 1: step 1);
// it does not reach the input state, and a replay hands the answers to its dialogs in order.
// Steps count from 1 (the first step of the game). Lines starting with # are comments.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runner/input_state.h"

namespace kestrin {

class InputState;

enum class InputEventKind {
    KeyDown,
    KeyUp,
    MouseDown,
    MouseUp,
    MouseMove,
    WheelUp,
    WheelDown,
    Text,
    Close,
    Joystick, // a joystick's whole state (a = 0 or 1), sent when it changes
    Answer,
};

struct InputEvent {
    InputEvent() = default;
    InputEvent(InputEventKind k, int32_t first, int32_t second = 0, std::string words = {})
        : kind(k), a(first), b(second), text(std::move(words)) {}

    InputEventKind kind = InputEventKind::KeyDown;
    int32_t a = 0; // key, button or x
    int32_t b = 0; // y
    std::string text;
    JoystickState joystick;
    bool operator==(const InputEvent&) const = default;
};

struct InputStep {
    int64_t step = 0;
    std::vector<InputEvent> events;
    std::optional<uint32_t> hash;
};

struct InputRecording {
    std::optional<uint32_t> seed;
    std::vector<InputStep> steps; // ascending step numbers, each at most once

    // The events and hash of one step (null when the step has none). Steps are visited in
    // ascending order by a replay, so a cursor keeps the lookup constant time.
    const InputStep* Find(int64_t step, size_t& cursor) const;
    // Appends an event or sets the hash of a step, keeping the steps in order: a script
    // may take input in the middle of a step, which is recorded for the next step before
    // the hash of the current one.
    void Add(int64_t step, InputEvent event);
    void AddHash(int64_t step, uint32_t hash);

private:
    InputStep& At(int64_t step);
};

// Parses the text form; on failure returns false with "line N: what was expected".
[[nodiscard]] bool ParseInputRecording(std::string_view text, InputRecording& out, std::string& error);
std::string FormatInputRecording(const InputRecording& recording);

// Hands one recorded event to the input state as the window would.
void ApplyInputEvent(const InputEvent& event, InputState& input, bool closeAsEscape);

// Where the window's input enters the game. Events that arrive while the main loop pumps
// messages (between steps, or while it waits out a frame) are held and applied at the start
// of the next step, the same moment a replay feeds that step's events, so a recording of
// them replays to the same state. Events pumped by a script in the middle of a step (waiting
// for a key) act at once and are recorded for the next step.
class InputSink {
public:
    void Deliver(InputEvent event);
    // Applies the held events before `step` and records them for it.
    void BeginStep(int64_t step);
    // Set by the main loop while it pumps messages.
    void Hold(bool hold) { holding_ = hold; }
    // Set while a splash or dialog holds the game: its keys and clicks act at once but are not
    // recorded (the game never sees them: the input is cleared when it closes, and a replay
    // does not show it); pointer moves are, so the pointer replays to where it was left.
    void Private(bool on) { private_ = on; }
    // Where applied events are recorded (null: nowhere); also forgets held events and steps.
    void Reset(InputRecording* recording);

private:
    void Apply(InputEvent event, int64_t step);

    InputRecording* recording_ = nullptr;
    std::vector<InputEvent> held_;
    int64_t step_ = 0; // the last step begun
    bool holding_ = false;
    bool private_ = false;
};

InputSink& CurrentInputSink();

} // namespace kestrin
