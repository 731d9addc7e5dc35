#include "script/math_messages.h"

#include <array>

namespace kestrin {

namespace {

// ORDER MathMessage
constexpr std::array<std::string_view, static_cast<size_t>(MathMessage::Count)> kTexts = {
    "Error in function real().",   "Cannot apply sqrt to negative number.",
    "Error in function exp().",    "Error in function ln().",
    "Error in function log2().",   "Error in function log10().",
    "Error in function logn().",   "Error in function power().",
    "Error in function arcsin().", "Error in function arccos().",
};

static_assert(kTexts.back() == "Error in function arccos().", "ORDER MathMessage");

} // namespace

std::string_view MathMessageText(MathMessage message) {
    const auto i = static_cast<size_t>(message);
    return i < kTexts.size() ? kTexts[i] : std::string_view();
}

} // namespace kestrin
