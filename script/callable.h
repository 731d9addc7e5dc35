#pragma once
// Function indices as compiled code and actions hold them: a built-in's registry index, a
// script as kFirstScriptFunction + its index, an extension function as
// kFirstExtensionFunction + its id. The ranges are decided here and nowhere else.

#include <cstdint>
#include <string_view>

#include "script/code.h"
#include "script/value.h"

namespace kestrin {

class CScriptInstance;

enum class CallableKind { Builtin, Script, Extension };

inline CallableKind CallableKindOf(int32_t index) {
    if (index >= kFirstExtensionFunction) return CallableKind::Extension;
    if (index >= kFirstScriptFunction) return CallableKind::Script;
    return CallableKind::Builtin;
}

// A name as a call resolves it: scripts first, then extension functions, then built-ins.
// False when nothing has the name.
bool FindCallable(std::string_view name, int32_t& index);

// The fixed argument count of an index, -1 for any count (scripts), or kNoFunctionArgCount
// when nothing has the index.
int32_t CallableArgCount(int32_t index);

enum class CallOutcome {
    Called,  // the result is set
    Failed,  // a script or extension call failed; LastCodeError() has the error to report
    Missing, // no routine has the index; nothing ran
};

// Calls the function with `argc` arguments. Scripts check their argument count when
// CheckScriptArguments() asks it.
[[nodiscard]] CallOutcome CallCallable(int32_t index, CScriptInstance* self, CScriptInstance* other,
                                       int32_t argc, const RValue* args, RValue& result);

} // namespace kestrin
