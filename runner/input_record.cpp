#include "runner/input_record.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "runner/input_state.h"

namespace kestrin {

namespace {

struct EventName {
    InputEventKind kind;
    const char* name;
    int numbers; // how many integers follow the name
    bool text;
};

constexpr EventName kEventNames[] = {
    {InputEventKind::KeyDown, "key_down", 1, false},     {InputEventKind::KeyUp, "key_up", 1, false},
    {InputEventKind::MouseDown, "mouse_down", 1, false}, {InputEventKind::MouseUp, "mouse_up", 1, false},
    {InputEventKind::MouseMove, "mouse_move", 2, false}, {InputEventKind::WheelUp, "wheel_up", 0, false},
    {InputEventKind::WheelDown, "wheel_down", 0, false}, {InputEventKind::Text, "text", 0, true},
    {InputEventKind::Close, "close", 0, false},     {InputEventKind::Joystick, "joystick", 1, false},
    {InputEventKind::Answer, "answer", 0, true},
};

// After "joystick ID": "off", or the name and the state. Every number is range-checked, so a
// replay cannot hand the built-ins a state no device could report.
template <class Cursor> bool ParseJoystick(Cursor& c, JoystickState& j) {
    if (c.Peek('o')) return c.Word() == "off";
    j.available = true;
    if (!c.Quoted(j.name)) return false;
    uint32_t pov = 0;
    if (!c.Number(j.axes) || j.axes < 0 || j.axes > 6 || !c.Number(j.buttons) || j.buttons < 0 ||
        j.buttons > 32 || !c.Number(pov) || pov > 1)
        return false;
    j.has_pov = pov == 1;
    for (uint32_t& a : j.axis)
        if (!c.Number(a) || a > 65535) return false;
    return c.Number(j.button_bits) && c.Number(j.pov) && j.pov <= 65535;
}

std::string FormatJoystick(const JoystickState& j);

const EventName& NameOf(InputEventKind kind) {
    for (const auto& n : kEventNames)
        if (n.kind == kind) return n;
    return kEventNames[0];
}

// Reading one line, word by word.
class Cursor {
public:
    explicit Cursor(std::string_view s) : s_(s) {}
    void SkipSpaces() {
        while (p_ < s_.size() && (s_[p_] == ' ' || s_[p_] == '\t' || s_[p_] == '\r')) ++p_;
    }
    bool AtEnd() {
        SkipSpaces();
        return p_ >= s_.size();
    }
    bool Peek(char c) {
        SkipSpaces();
        return p_ < s_.size() && s_[p_] == c;
    }
    bool Take(char c) {
        if (!Peek(c)) return false;
        ++p_;
        return true;
    }
    std::string_view Word() {
        SkipSpaces();
        size_t start = p_;
        while (p_ < s_.size() && s_[p_] != ' ' && s_[p_] != '\t' && s_[p_] != ';' && s_[p_] != '\r') ++p_;
        return s_.substr(start, p_ - start);
    }
    template <typename T> bool Number(T& out, int base = 10) {
        std::string_view w = Word();
        auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), out, base);
        return !w.empty() && ec == std::errc() && end == w.data() + w.size();
    }
    bool Quoted(std::string& out) {
        SkipSpaces();
        if (p_ >= s_.size() || s_[p_] != '"') return false;
        ++p_;
        out.clear();
        while (p_ < s_.size()) {
            char c = s_[p_++];
            if (c == '"') return true;
            if (c == '\\') {
                if (p_ >= s_.size()) return false;
                char e = s_[p_++];
                if (e == 'n')
                    out.push_back('\n');
                else if (e == 't')
                    out.push_back('\t');
                else if (e == '\\' || e == '"')
                    out.push_back(e);
                else if (e == 'x' && p_ + 2 <= s_.size()) {
                    unsigned v = 0;
                    auto [end, ec] = std::from_chars(s_.data() + p_, s_.data() + p_ + 2, v, 16);
                    if (ec != std::errc() || end != s_.data() + p_ + 2) return false;
                    out.push_back(static_cast<char>(v));
                    p_ += 2;
                } else {
                    return false;
                }
            } else {
                out.push_back(c);
            }
        }
        return false;
    }

private:
    std::string_view s_;
    size_t p_ = 0;
};

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 32 || u == 127) {
            char buf[5];
            std::snprintf(buf, sizeof buf, "\\x%02x", u);
            out += buf;
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
    return out;
}

std::string FormatJoystick(const JoystickState& j) {
    if (!j.available) return "off";
    std::string out = Quote(j.name) + " " + std::to_string(j.axes) + " " + std::to_string(j.buttons) + " " +
                      (j.has_pov ? "1" : "0");
    for (uint32_t a : j.axis) out += " " + std::to_string(a);
    return out + " " + std::to_string(j.button_bits) + " " + std::to_string(j.pov);
}

} // namespace

const InputStep* InputRecording::Find(int64_t step, size_t& cursor) const {
    while (cursor < steps.size() && steps[cursor].step < step) ++cursor;
    return cursor < steps.size() && steps[cursor].step == step ? &steps[cursor] : nullptr;
}

InputStep& InputRecording::At(int64_t step) {
    if (steps.empty() || steps.back().step < step)
        return steps.emplace_back(InputStep{step, {}, std::nullopt});
    auto it = std::lower_bound(steps.begin(), steps.end(), step,
                               [](const InputStep& s, int64_t wanted) { return s.step < wanted; });
    if (it == steps.end() || it->step != step) it = steps.insert(it, InputStep{step, {}, std::nullopt});
    return *it;
}

void InputRecording::Add(int64_t step, InputEvent event) {
    At(step).events.push_back(std::move(event));
}

void InputRecording::AddHash(int64_t step, uint32_t hash) {
    At(step).hash = hash;
}

bool ParseInputRecording(std::string_view text, InputRecording& out, std::string& error) {
    InputRecording result;
    size_t lineStart = 0;
    int64_t lineNumber = 0;
    bool sawHeader = false;
    auto fail = [&](const std::string& what) {
        error = "line " + std::to_string(lineNumber) + ": " + what;
        return false;
    };
    while (lineStart <= text.size()) {
        size_t nl = text.find('\n', lineStart);
        std::string_view line =
            text.substr(lineStart, nl == std::string_view::npos ? std::string_view::npos : nl - lineStart);
        lineStart = nl == std::string_view::npos ? text.size() + 1 : nl + 1;
        ++lineNumber;
        Cursor c(line);
        if (c.AtEnd() || c.Peek('#')) continue;
        if (!sawHeader) {
            int version = 0;
            if (c.Word() != "kestrin-input" || !c.Number(version) || version != 1 || !c.AtEnd())
                return fail("expected the header \"kestrin-input 1\"");
            sawHeader = true;
            continue;
        }
        if (c.Peek('s')) {
            uint32_t seed = 0;
            if (c.Word() != "seed" || !c.Number(seed) || !c.AtEnd()) return fail("expected \"seed N\"");
            result.seed = seed;
            continue;
        }
        int64_t step = 0;
        if (!c.Number(step) || step < 1) return fail("expected a step number from 1 up");
        if (!result.steps.empty() && step <= result.steps.back().step)
            return fail("step " + std::to_string(step) + " is not after step " +
                        std::to_string(result.steps.back().step));
        InputStep entry{step, {}, std::nullopt};
        for (;;) {
            std::string_view word = c.Word();
            if (word == "hash") {
                uint32_t hash = 0;
                if (!c.Number(hash, 16)) return fail("expected a hexadecimal hash");
                entry.hash = hash;
            } else {
                const EventName* name = nullptr;
                for (const auto& n : kEventNames)
                    if (word == n.name) name = &n;
                if (!name) return fail("unknown event \"" + std::string(word) + "\"");
                InputEvent event;
                event.kind = name->kind;
                if (name->numbers >= 1 && !c.Number(event.a))
                    return fail(std::string(name->name) + ": expected a number");
                if (name->numbers >= 2 && !c.Number(event.b))
                    return fail(std::string(name->name) + ": expected two numbers");
                if (event.kind == InputEventKind::Joystick) {
                    if (event.a != 1 && event.a != 2) return fail("joystick: expected joystick 1 or 2");
                    event.a -= 1;
                    if (!ParseJoystick(c, event.joystick))
                        return fail("joystick: expected \"off\" or a quoted name, axes, buttons, pov 0 or 1, "
                                    "six axis positions 0 to 65535, the button bits and the pov angle");
                }
                if (name->text && !c.Quoted(event.text)) return fail(std::string(name->name) + ": expected a quoted string");
                entry.events.push_back(std::move(event));
            }
            if (c.AtEnd()) break;
            if (!c.Take(';')) return fail("expected \";\" between events");
        }
        result.steps.push_back(std::move(entry));
    }
    if (!sawHeader) {
        lineNumber = 1;
        return fail("expected the header \"kestrin-input 1\"");
    }
    out = std::move(result);
    return true;
}

std::string FormatInputRecording(const InputRecording& recording) {
    std::string out = "kestrin-input 1\n";
    if (recording.seed) out += "seed " + std::to_string(*recording.seed) + "\n";
    for (const auto& step : recording.steps) {
        out += std::to_string(step.step);
        const char* separator = " ";
        for (const auto& e : step.events) {
            const EventName& name = NameOf(e.kind);
            out += separator;
            out += name.name;
            if (e.kind == InputEventKind::Joystick) {
                out += " " + std::to_string(e.a + 1) + " " + FormatJoystick(e.joystick);
                separator = "; ";
                continue;
            }
            if (name.numbers >= 1) out += " " + std::to_string(e.a);
            if (name.numbers >= 2) out += " " + std::to_string(e.b);
            if (name.text) out += " " + Quote(e.text);
            separator = "; ";
        }
        if (step.hash) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "%08x", *step.hash);
            out += separator;
            out += "hash ";
            out += buf;
        }
        out += "\n";
    }
    return out;
}

void ApplyInputEvent(const InputEvent& e, InputState& input, bool closeAsEscape) {
    switch (e.kind) {
    case InputEventKind::KeyDown:
        input.KeyDown(e.a);
        break;
    case InputEventKind::KeyUp:
        input.KeyUp(e.a);
        break;
    case InputEventKind::MouseDown:
        input.MouseDown(e.a);
        break;
    case InputEventKind::MouseUp:
        input.MouseUp(e.a);
        break;
    case InputEventKind::MouseMove:
        input.window_mouse_x = e.a;
        input.window_mouse_y = e.b;
        break;
    case InputEventKind::WheelUp:
        input.WheelUp();
        break;
    case InputEventKind::WheelDown:
        input.WheelDown();
        break;
    case InputEventKind::Text:
        input.TextTyped(e.text);
        break;
    case InputEventKind::Close:
        input.CloseRequest(closeAsEscape);
        break;
    case InputEventKind::Joystick:
        input.SetJoystick(e.a, e.joystick);
        break;
    case InputEventKind::Answer:
        break;
    }
}

namespace {
// A loop that stops stepping while the window still pumps must not gather events without end.
constexpr size_t kHeldEventLimit = 4096;
} // namespace

void InputSink::Deliver(InputEvent event) {
    if (event.kind == InputEventKind::MouseMove) {
        // The window reports the position at every pump; only a change is an event.
        const InputState& input = CurrentInput();
        int32_t x = input.window_mouse_x, y = input.window_mouse_y;
        if (holding_) {
            for (const InputEvent& e : held_) {
                if (e.kind == InputEventKind::MouseMove) {
                    x = e.a;
                    y = e.b;
                }
            }
        }
        if (event.a == x && event.b == y) return;
    }
    if (!holding_) {
        Apply(std::move(event), step_ + 1);
        return;
    }
    if (event.kind == InputEventKind::Joystick) {
        // Only where the stick stands when the step begins counts.
        for (InputEvent& e : held_)
            if (e.kind == InputEventKind::Joystick && e.a == event.a) {
                e = std::move(event);
                return;
            }
    }
    // Dropped events are neither applied nor recorded, so a replay still matches.
    if (held_.size() < kHeldEventLimit) held_.push_back(std::move(event));
}

void InputSink::BeginStep(int64_t step) {
    step_ = step;
    std::vector<InputEvent> events;
    events.swap(held_);
    for (InputEvent& event : events) Apply(std::move(event), step);
}

void InputSink::Reset(InputRecording* recording) {
    recording_ = recording;
    held_.clear();
    step_ = 0;
    holding_ = false;
    private_ = false;
}

void InputSink::Apply(InputEvent event, int64_t step) {
    InputState& input = CurrentInput();
    ApplyInputEvent(event, input, input.close_as_escape);
    if (recording_ && (!private_ || event.kind == InputEventKind::MouseMove))
        recording_->Add(step, std::move(event));
}

InputSink& CurrentInputSink() {
    static InputSink sink;
    return sink;
}

} // namespace kestrin
