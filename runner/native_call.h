#pragma once
// Calling an entry point of a loaded shared library with a signature of reals and texts.
// Loading libraries and finding entry points is plain POSIX (support_dll.cpp); building the
// call itself needs the platform's calling-convention library, which only the executable and
// the tests install (platform/native/). Until one is installed every signature is refused, so
// definitions fail and calls do nothing.

#include <cstdint>
#include <memory>

namespace kestrin {

inline constexpr int32_t kMaxNativeArguments = 16;

struct NativeSignature {
    int32_t argc = 0;                          // 0 .. kMaxNativeArguments
    bool text_argument[kMaxNativeArguments]{}; // a null-terminated UTF-8 pointer, else a double
    bool text_result = false;
};

union NativeArgument {
    double real;
    const char* text;
};

union NativeResult {
    double real;
    const char* text;
};

// One prepared signature; calls with it are cheap.
class NativeCall {
public:
    virtual ~NativeCall() = default;
    virtual void Invoke(void* entry, const NativeArgument* args, NativeResult& result) const = 0;
};

class NativeCaller {
public:
    virtual ~NativeCaller() = default;
    // Null when this caller cannot make calls of that signature.
    virtual std::unique_ptr<NativeCall> Prepare(const NativeSignature& signature) = 0;
};

// Null puts the refusing caller back.
void SetNativeCaller(std::shared_ptr<NativeCaller> caller);
NativeCaller& CurrentNativeCaller();

} // namespace kestrin
