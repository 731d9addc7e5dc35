#pragma once
// CCode: one compiled piece of script code (a script, a code action, an action argument, a
// constant's value, a string given to execute_string), compiled once and run many times.
// The tree has the shape the language is defined on; a last compile step fills in each
// node's run routine, so the interpreter dispatches straight to specialised code with every
// name already resolved to a slot, an index or a fixed selector.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/value.h"

namespace kestrin {

enum CodeKind : int32_t { kCodeProgram = 1, kCodeExpression = 2, kCodeConstant = 3 };

// ORDER NodeKind: the numbers are part of the tree's definition.
enum NodeKind : int32_t {
    kNodeEmptyProgram = -2,
    kNodeEmpty = -1,
    kNodeConstant = 5,
    kNodeCall = 6,
    kNodeVariable = 7,
    kNodeFixedVariable = 8,
    kNodeIf = 13,
    kNodeWhile = 16,
    kNodeDo = 17,
    kNodeFor = 18,
    kNodeRepeat = 20,
    kNodeExit = 21,
    kNodeBreak = 22,
    kNodeContinue = 23,
    kNodeWith = 24,
    kNodeReturn = 25,
    kNodeSwitch = 26,
    kNodeCase = 27,
    kNodeDefault = 28,
    kNodeVar = 29,
    kNodeGlobalvar = 30,
    kNodeAssign = 101,
    kNodeBlock = 1000,
    kNodeUnary = 1010,
    kNodeBinary = 1011,
};

// Function indices of call nodes: below 100000 a built-in, then scripts, then extensions.
inline constexpr int32_t kFirstScriptFunction = 100000;
inline constexpr int32_t kFirstExtensionFunction = 500000;

// Status of a statement; expressions answer kStatusNormal or kStatusError.
enum RunStatus : int32_t {
    kStatusNormal = 0,
    kStatusError = -1,
    kStatusExit = -2,
    kStatusBreak = -3,
    kStatusContinue = -4,
};

struct RunState;
struct RToken;
// Runs a node: evaluates an expression into `target`, or executes a statement with `target`
// as the result slot. Answers a RunStatus.
using NodeRoutine = int32_t (*)(const RToken& node, RunState& state, RValue& target);

struct RToken {
    int32_t kind = kNodeEmpty;
    int32_t ind = 0;
    int32_t ind2 = 0;
    RValue value;
    std::vector<RToken> items;
    int32_t position = 0;
    // Filled by the last compile step: a variable node whose selector is fixed in ind2. Kept
    // apart from `slot`, which numbers locals and arguments and so can hold any small number.
    bool fixedSelector = false;

    // Filled by the last compile step.
    NodeRoutine run = nullptr;
    int32_t slot = -1; // local slot, or argument number
    // Where the variable was last found in an instance's list: only a guess, checked against
    // the variable index before use, because the same site sees a different list whenever
    // self changes.
    mutable uint32_t hint = 0;

    int32_t itemnumb() const { return static_cast<int32_t>(items.size()); }
};

class CCode {
public:
    CCode() = default;
    CCode(std::string_view text, bool isexp) { Create(text, isexp); }
    CCode(const CCode&) = delete;
    CCode& operator=(const CCode&) = delete;

    void Create(std::string_view text, bool isexp);
    // Runs the compiler phases; on failure LastCodeError() holds the formatted message.
    [[nodiscard]] bool Compile();
    std::string_view GetText() const { return i_str; }
    void Destroy();

    int32_t i_kind = kCodeProgram;
    bool i_compiled = false;
    std::string i_str;
    RToken i_token;
    RValue i_value;
    int32_t i_Args = 0;
    bool i_ArgArray = false;
    // Variable index of each local slot, in slot order.
    std::vector<int32_t> i_locals;
};

// ---- The error recorder ----
// Only the first error of a compilation phase or of a run is kept.

void ReportCodeError(const CCode& code, int32_t position, std::string_view message);
bool CodeErrorFlag();
void ClearCodeError();
// The runner-wide last error message, formatted with line and position.
const std::string& LastCodeError();
// Replaces the last message and sets the flag (scripts prefix their name to it).
void SetLastCodeError(std::string text);
// The position (UTF-16 code units from 1) and bare message of the last ReportCodeError.
int32_t LastCodeErrorPosition();
const std::string& LastCodeErrorMessage();

// The message with its line, caret and position, as the error recorder formats it.
std::string FormatCodeError(const CCode& code, int32_t position, std::string_view message);

} // namespace kestrin
