#pragma once
// What the families of built-in functions share: the shape of a routine and how its
// arguments read. A family's .cpp says `using namespace builtin_args;` in its own unnamed
// namespace and writes `ROUTINE(name) { ... }` with `self` and `other` the instances, `a` the
// arguments and `r` the result.

#include <cstdint>
#include <string>

#include "base/numeric.h"
#include "script/value.h"

namespace kestrin {

class CScriptInstance;

namespace builtin_args {

using Args = const RValue*;

// An integer argument: rounded, saturated at the ends of the range (NaN reads as 0).
inline int32_t I(Args a, int i) {
    return RoundToInt32Saturated(a[i].val());
}
inline double D(Args a, int i) {
    return a[i].val();
}
// A flag argument: true above one half.
inline bool B(Args a, int i) {
    return IsTrue(a[i].val());
}
inline std::string S(Args a, int i) {
    return std::string(a[i].str());
}

} // namespace builtin_args

} // namespace kestrin

#define ROUTINE(name)                                                                                        \
    void name([[maybe_unused]] CScriptInstance* self, [[maybe_unused]] CScriptInstance* other,               \
              [[maybe_unused]] int32_t argc, [[maybe_unused]] ::kestrin::builtin_args::Args a,               \
              [[maybe_unused]] RValue& r)
