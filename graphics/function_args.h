#pragma once
// Argument readers and the routine signature shared by the graphics built-in tables. Included
// only by their .cpp files: ROUTINE is a macro.

#include <cstdint>

#include "script/builtin_routine.h"
#include "base/numeric.h"
#include "script/value.h"

namespace kestrin::graphics_args {

using Args = const RValue*;

inline double D(Args a, int i) {
    return a[i].val();
}
inline int32_t I(Args a, int i) {
    return RoundToInt32Saturated(a[i].val());
}
inline bool B(Args a, int i) {
    return IsTrue(a[i].val());
}

} // namespace kestrin::graphics_args

#define ROUTINE(name)                                                                                        \
    void name(CScriptInstance*, CScriptInstance*, [[maybe_unused]] int32_t argc, [[maybe_unused]] Args a,    \
              [[maybe_unused]] RValue& r)
