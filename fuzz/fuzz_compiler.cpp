// The script compiler over arbitrary text: every input must compile or fail with a message,
// never crash, hang or exhaust the stack. The first byte picks a program or an expression;
// compiled code is not run (a loop in it may run forever by design).

#include <cstddef>
#include <cstdint>
#include <string>

#include "script/code.h"
#include "script/variables.h"

using namespace kestrin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > (size_t{1} << 16)) return 0;
    const bool expression = (data[0] & 1) != 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    CCode code(text, expression);
    if (code.Compile()) {
        // A compiled piece of code cannot be compiled again.
        if (code.Compile()) __builtin_trap();
    } else if (LastCodeError().empty()) {
        __builtin_trap();
    }
    return 0;
}
