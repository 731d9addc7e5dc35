#include "script/code_messages.h"

#include <array>

namespace kestrin {

namespace {

// ORDER CodeMessage
constexpr std::array<std::string_view, static_cast<size_t>(CodeMessage::Count)> kTexts = {
    "Unknown function or script: ",
    "Symbol ( expected.",
    "Symbol , or ) expected.",
    "Symbol ) expected.",
    "Wrong number of arguments to function or script.",
    "Variable name expected.",
    "Symbol , or ] expected.",
    "Symbol ] expected.",
    "Only 1- and 2-dimensional arrays are supported.",
    "Unexpected symbol in expression.",
    "Assignment operator expected.",
    "Cannot redeclare a builtin variable.",
    "Symbol : expected.",
    "Symbol { expected.",
    "Symbol } expected.",
    "Keyword until expected.",
    "Unexpected end of code reached.",
    "Program ends before end of the code.",
    "Left hand side must be a real value.",
    "Internal Error: Recompiling compiled code.",
    "Code is nested too deeply.",
    "Code is too long.",
    "Internal Error: Executing non-compiled code.",
    "Internal Error: Executing code for nil instance.",
    "This is not a program.",
    "(Sub-)expression expected.",
    "Statement expected.",
    "Expression expected",
    "Boolean expression expected",
    "Repeat count must be a number",
    "Object id expected",
    "Cannot use local in with statement.",
    "Cannot use global in with statement.",
    "Case statement only allowed inside switch statement.",
    "Default statement only allowed inside switch statement.",
    "COMPILATION ERROR in Script: ",
    "In script ",
    "Illegal argument count calling script \"",
    "Script requires at least ",
    "Script requires ",
    " arguments, ",
    "COMPILATION ERROR in string to be executed",
    "COMPILATION ERROR in file to be executed",
    "Trying to execute non-existing file.",
    "Trying to execute non-existing script.",
    "Illegal array index in script \"",
    "trying to access argument[",
    " arguments have been supplied.",
    "Script calls are nested too deeply.",
    "Constant name ",
    "Value for constant ",
    "  is not valid.",
    "ERROR in",
    "action number ",
    "at time step ",
    "of time line ",
    "of ",
    "for object ",
    "FATAL ",
    "Unhandled Exception - ",
    "Stack Trace",
};

static_assert(kTexts.back() == "Stack Trace", "ORDER CodeMessage");

} // namespace

std::string_view CodeText(CodeMessage message) {
    const auto i = static_cast<size_t>(message);
    return i < kTexts.size() ? kTexts[i] : std::string_view();
}

} // namespace kestrin
