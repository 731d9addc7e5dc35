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

// The routine that registers every built-in family, in module order; the composition root
// sets it, and the table fills on its first use so it is complete before any lookup.
using BuiltinRegistrar = void (*)();
void SetBuiltinRegistrar(BuiltinRegistrar registrar);

void RegisterFunction(std::string_view name, BuiltinRoutine routine, int32_t argnumb);
void RegisterFunctions(std::span<const RFunctionSpec> table);

// Index of the first function with that name (case-sensitive), or -1.
int32_t FindFunction(std::string_view name);
int32_t FunctionArgCount(int32_t index);
// The entry of an index, or nullptr.
const RFunction* FunctionAt(int32_t index);
int32_t FunctionCount();

// Functions of extension packages, which code finds after scripts and before built-ins;
// their call nodes carry 500000 + id. Installed by the extension packages once prepared.
class ExtensionFunctions {
public:
    virtual ~ExtensionFunctions() = default;
    // The id and argument count (-1 for any) of a function name.
    virtual bool Find(std::string_view name, int32_t& id, int32_t& argnumb) const = 0;
    virtual int32_t ArgCount(int32_t id) const = 0;
    // Calls function `id`; false when the call failed (the error is recorded for the caller
    // to report, as for scripts).
    [[nodiscard]] virtual bool Call(int32_t id, CScriptInstance* self, CScriptInstance* other, int32_t argc,
                                    const RValue* args, RValue& result) = 0;
};
void SetExtensionFunctions(ExtensionFunctions* functions);
ExtensionFunctions* CurrentExtensionFunctions();

// The routine of a registered index; the caller has checked the index (compiled code only
// holds indices the registry gave out).
BuiltinRoutine FunctionRoutine(int32_t index);

} // namespace kestrin
