#include "script/messages.h"

#include <array>

namespace kestrin {

namespace {

// ORDER ScriptMessage
constexpr std::array<std::string_view, static_cast<size_t>(ScriptMessage::Count)> kTexts = {
    "",
    "Wrong type of arguments to unary operator.",
    "Internal error: unknown unary operator.",
    "Wrong type of arguments to +.",
    "Wrong type of arguments to -.",
    "Wrong type of arguments to *.",
    "Wrong type of arguments to /.",
    "Wrong type of arguments to div.",
    "Wrong type of arguments to mod.",
    "Wrong type of arguments for &&.",
    "Wrong type of arguments for ||.",
    "Wrong type of arguments for ^^.",
    "Wrong type of arguments for |.",
    "Wrong type of arguments for &.",
    "Wrong type of arguments for ^.",
    "Wrong type of arguments for <<.",
    "Wrong type of arguments for >>.",
    "Cannot compare arguments.",
    "Internal error: unknown binary operator.",
    "Division by 0.",
    "Modulo by 0.",
    "Unexpected symbol.",
    "Wrong type of variable index",
    "Wrong type of array index",
    "Negative array index",
    "Array index >= 32000",
    "Unknown variable ",
    " or array index out of bounds",
    "Cannot assign to the variable",
};

static_assert(kTexts.back() == "Cannot assign to the variable", "ORDER ScriptMessage");

} // namespace

std::string_view MessageText(ScriptMessage message) {
    const auto i = static_cast<size_t>(message);
    return i < kTexts.size() ? kTexts[i] : std::string_view();
}

std::string UnknownVariableText(std::string_view name, bool hasArrayIndex) {
    std::string text(MessageText(ScriptMessage::UnknownVariable));
    text += name;
    if (hasArrayIndex) text += MessageText(ScriptMessage::UnknownVariableSuffix);
    return text;
}

} // namespace kestrin
