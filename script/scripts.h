#pragma once
// Scripts: the game's named pieces of code, called like functions. This module holds the
// script table, compiles the scripts at load, and passes arguments through the runner-wide
// argument state (argument0 .. argument15, argument[], argument_count), which every call
// saves and restores, also when a fault unwinds through it.

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "script/builtin_routine.h"
#include "script/code.h"
#include "script/value.h"

namespace kestrin {

class CStream;
class CScriptInstance;

inline constexpr int32_t kScriptVersion = 800;

class CScript {
public:
    std::string s_text;
    std::unique_ptr<CCode> s_code; // absent until compiled

    void Clear();
    // The record: Integer 800 and the text. False on another version; StreamError when the
    // record is cut short.
    [[nodiscard]] bool LoadFromStream(CStream& stream);
    void SaveToStream(CStream& stream) const;
    [[nodiscard]] bool Compile();
};

// ---- The script table ----

void ClearScripts();
// Appends a slot holding a script, or an empty slot; answers the index.
int32_t AddScript(std::string_view name, std::string_view text);
int32_t AddEmptyScriptSlot();
int32_t ScriptCount();
// The script of an index, or nullptr for an empty or out-of-range slot.
CScript* ScriptAt(int32_t index);
// The first present script with that name (case-sensitive), or -1.
int32_t FindScript(std::string_view name);
// The name, or "<undefined>".
std::string_view ScriptName(int32_t index);

// Compiles the present scripts in index order; the first failure is reported as a fatal
// "COMPILATION ERROR in Script: " error and answers false.
[[nodiscard]] bool CompileScripts();

// The game option that checks the argument count of script calls.
bool CheckScriptArguments();
void SetCheckScriptArguments(bool on);

// ---- Arguments ----

// Sixteen argument slots. Frames not in use hold the real 0 in every slot; `used` bounds
// the slots that may hold anything else, so giving a frame back clears only those.
struct ArgumentFrame {
    RValue slots[kMaxArguments];
    int32_t used = 0;
};

namespace detail {
// The runner-wide argument state, here so the interpreter's accesses stay inline.
struct ArgumentState {
    ArgumentFrame outside;
    ArgumentFrame* frame = &outside;
    int32_t count = 0;
    std::string_view name = "<unknown>";
    double relative = 0.0;
    // Frames of the calls in progress, innermost last; each stays where it is as more come.
    std::vector<std::unique_ptr<ArgumentFrame>> frames;
    size_t top = 0;
};
extern ArgumentState g_arguments;
} // namespace detail

// The argument slots code currently sees (for reading), and the call's count and script
// name. Writes go through ArgumentSlotForWrite.
inline const RValue* ArgumentSlots() {
    return detail::g_arguments.frame->slots;
}
inline RValue& ArgumentSlotForWrite(int32_t n) {
    ArgumentFrame* frame = detail::g_arguments.frame;
    if (n >= frame->used) frame->used = n + 1;
    return frame->slots[n];
}
int32_t ArgumentCount();
std::string_view CurrentScriptName();
double ArgumentRelative();
void SetArgumentRelative(double relative);

// Frames for the arguments of calls, taken and given back in nested order; handed to a
// script as its argument slots without copying.
class CallFrame {
public:
    CallFrame() {
        detail::ArgumentState& a = detail::g_arguments;
        if (a.top == a.frames.size()) [[unlikely]]
            a.frames.push_back(std::make_unique<ArgumentFrame>());
        frame_ = a.frames[a.top++].get();
    }
    ~CallFrame() {
        // Frames go back holding the real 0 everywhere, as a new call expects.
        for (int32_t i = 0; i < frame_->used; ++i) frame_->slots[i].Clear();
        frame_->used = 0;
        --detail::g_arguments.top;
    }
    CallFrame(const CallFrame&) = delete;
    CallFrame& operator=(const CallFrame&) = delete;
    // The first `count` slots are about to be filled.
    RValue* Fill(int32_t count) {
        frame_->used = count;
        return frame_->slots;
    }
    ArgumentFrame* frame() { return frame_; }

private:
    ArgumentFrame* frame_;
};

// Puts `frame` in place as the argument slots until destroyed, then restores the slots, the
// count and the script name seen before. `name` null keeps the count and name as they are.
class ArgumentScope {
public:
    ArgumentScope(ArgumentFrame* frame, int32_t count, const std::string* name);
    ~ArgumentScope();
    ArgumentScope(const ArgumentScope&) = delete;
    ArgumentScope& operator=(const ArgumentScope&) = delete;

private:
    ArgumentFrame* frame_;
    int32_t count_;
    std::string_view name_;
};

// Calls script `index` with `argc` arguments (copied from `args`). The result is the
// script's value, or the string ERROR when the call fails; LastCodeError() then names every
// script on the way ("In script X:").
[[nodiscard]] bool CallScript(int32_t index, CScriptInstance* self, CScriptInstance* other, RValue& result,
                              bool check, const RValue* args, int32_t argc);
// The same with arguments already in a call frame, which becomes the script's slots.
[[nodiscard]] bool CallScriptFrame(int32_t index, CScriptInstance* self, CScriptInstance* other,
                                   RValue& result, bool check, ArgumentFrame* frame, int32_t argc);

// The text of a value as the language's string() gives it.
std::string ValueText(const RValue& value);
// A real as string() writes it: an integer without decimals, otherwise two decimals after
// rounding to 10 significant digits; "ERROR" for what cannot be converted.
std::string RealText(double value);

// Installs the routines of argument0 .. argument15, argument, argument_count and
// argument_relative.
void BindArgumentVariables();

} // namespace kestrin
