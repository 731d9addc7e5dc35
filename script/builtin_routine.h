#pragma once
// The calling convention of built-in functions: the instances of the running code, the
// number of arguments given, 16 argument slots (those beyond the count hold the real 0) and
// a result that starts as the real 0. Routines report their own failures through
// ReportRunError and return nothing.

#include <cstdint>
#include <string_view>

namespace kestrin {

class CScriptInstance;
class RValue;

inline constexpr int32_t kMaxArguments = 16;

using BuiltinRoutine = void (*)(CScriptInstance* self, CScriptInstance* other, int32_t argc,
                                const RValue* args, RValue& result);

// One row of a family's function table, for the registry: `argnumb` is the exact number of
// arguments, or -1 for any number up to 16.
struct RFunctionSpec {
    std::string_view name;
    BuiltinRoutine routine;
    int32_t argnumb;
};

} // namespace kestrin
