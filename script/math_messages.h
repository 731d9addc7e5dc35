#pragma once
// Every message the math and text built-ins can show, in one table, so that tests compare
// the exact text.

#include <cstdint>
#include <string_view>

namespace kestrin {

// ORDER MathMessage: keep in step with the text table in math_messages.cpp.
enum class MathMessage : uint8_t {
    RealConversion,
    SqrtNegative,
    Exp,
    Ln,
    Log2,
    Log10,
    Logn,
    Power,
    Arcsin,
    Arccos,
    Count
};

std::string_view MathMessageText(MathMessage message);

} // namespace kestrin
