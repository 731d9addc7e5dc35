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
//
// Steps count from 1 (the first step of the game). Lines starting with # are comments.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
};

struct InputEvent {
    InputEventKind kind = InputEventKind::KeyDown;
    int32_t a = 0;  // key, button or x
    int32_t b = 0;  // y
    std::string text;
    bool operator==(const InputEvent&) const = default;
};

struct InputStep {
    int64_t step = 0;
    std::vector<InputEvent> events;
    std::optional<uint32_t> hash;
};

struct InputRecording {
    std::optional<uint32_t> seed;
    std::vector<InputStep> steps;  // ascending step numbers, each at most once

    // The events and hash of one step (null when the step has none). Steps are visited in
    // ascending order by a replay, so a cursor keeps the lookup constant time.
    const InputStep* Find(int64_t step, size_t& cursor) const;
    // Appends an event to the given step (the last one or a new one after it).
    void Add(int64_t step, InputEvent event);
    void AddHash(int64_t step, uint32_t hash);
};

// Parses the text form; on failure returns false with "line N: what was expected".
[[nodiscard]] bool ParseInputRecording(std::string_view text, InputRecording& out, std::string& error);
std::string FormatInputRecording(const InputRecording& recording);

// Hands one recorded event to the input state as the window would.
void ApplyInputEvent(const InputEvent& event, InputState& input, bool closeAsEscape);

} // namespace kestrin
