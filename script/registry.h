#pragma once
// The registry of built-in functions: name, routine and argument count per entry, found by
// name when code is compiled and called by index when it runs. Every family registers its
// table once, in a fixed order of modules, before any code is compiled.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "script/builtin_routine.h"

namespace kestrin {

inline constexpr size_t kMaxFunctionName = 64;
// The argument count of an index that names no function: a fixed count that never matches.
inline constexpr int32_t kNoFunctionArgCount = -100;

struct RFunction {
    std::string f_name; // cut to 64 characters
    BuiltinRoutine f_routine = nullptr;
    int32_t f_argnumb = -1;
};

void RegisterFunction(std::string_view name, BuiltinRoutine routine, int32_t argnumb);
void RegisterFunctions(std::span<const RFunctionSpec> table);

// Index of the first function with that name (case-sensitive), or -1.
int32_t FindFunction(std::string_view name);
int32_t FunctionArgCount(int32_t index);
// The entry of an index, or nullptr.
const RFunction* FunctionAt(int32_t index);
int32_t FunctionCount();

// The routine of a registered index; the caller has checked the index (compiled code only
// holds indices the registry gave out).
BuiltinRoutine FunctionRoutine(int32_t index);

} // namespace kestrin
