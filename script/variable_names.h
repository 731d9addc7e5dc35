#pragma once
// Variable indices: every variable name in code becomes an index when the code is compiled.
// 0..499 are built-in variables (their position in the built-in table, which is fixed here so
// that indices never move), 100000 + n is the n-th user variable name, interned for the life of
// the runner. Built-in variables have no storage of their own: each index dispatches to a
// read and a write routine that the subsystems owning the state install.

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrin {

class CScriptInstance;
class RValue;

inline constexpr int32_t kMaxBuiltinVariables = 500;
inline constexpr int32_t kFirstUserVariable = 100000;

// Read and write routines of a built-in variable. `arrayIndex` is the element number
// (0 when no index was written); routines of non-array variables ignore it. Answering false
// makes the access fail (unknown variable on read, "Cannot assign to the variable" on write).
using BuiltinVariableRead = bool (*)(CScriptInstance* instance, int32_t arrayIndex, RValue& value);
using BuiltinVariableWrite = bool (*)(CScriptInstance* instance, int32_t arrayIndex, const RValue& value);

struct RBuiltinVariable {
    std::string_view name;
    BuiltinVariableRead read = nullptr;
    BuiltinVariableWrite write = nullptr; // absent for read-only variables
    bool writable = false;
};

inline bool IsBuiltinVariable(int32_t index) {
    return index >= 0 && index < kMaxBuiltinVariables;
}

// Number of built-in variables in the table, and entry `index` (nullptr outside the table).
int32_t BuiltinVariableCount();
const RBuiltinVariable* BuiltinVariable(int32_t index);

// Installs the routines of the built-in variable `name`; `write` null makes it read-only.
// Returns false when the table has no such name.
bool BindBuiltinVariable(std::string_view name, BuiltinVariableRead read, BuiltinVariableWrite write);

// Indices of the built-ins the compiler tracks.
int32_t ArgumentVariableIndex(int32_t n); // argument0 .. argument15
int32_t ArgumentArrayVariableIndex();     // argument

// The index of a name: the built-in index when the table has it, otherwise the user index,
// interning the name. Names are case-sensitive. Touches no compile state.
int32_t VariableIndex(std::string_view name);

// The compiler's record of the argument variables a piece of code names.
struct ArgumentUsage {
    int32_t highest = -1;       // highest n of argument0 .. argument15 named, -1 for none
    bool argumentArray = false; // `argument` named
    void Note(int32_t variableIndex);
};

// VariableIndex for the compiler: also notes argument0..argument15 and argument in `usage`.
int32_t VariableIndex(std::string_view name, ArgumentUsage& usage);

// The name of an index, for messages: "<unknown built-in variable>" or "<unknown variable>"
// when the index names nothing.
std::string_view VariableName(int32_t index);

// Number of interned user names.
int32_t UserVariableCount();

} // namespace kestrin
