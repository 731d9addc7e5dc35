#pragma once
// Every message of the script language that a player can see, in one table, so that the
// routines return a code and tests compare the exact text.

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrin {

// ORDER ScriptMessage: keep in step with the text table in messages.cpp.
enum class ScriptMessage : uint8_t {
    None,
    // Operators.
    WrongTypeUnary,
    UnknownUnaryOperator,
    WrongTypePlus,
    WrongTypeMinus,
    WrongTypeMultiply,
    WrongTypeDivide,
    WrongTypeDiv,
    WrongTypeMod,
    WrongTypeAnd,
    WrongTypeOr,
    WrongTypeXor,
    WrongTypeBitOr,
    WrongTypeBitAnd,
    WrongTypeBitXor,
    WrongTypeShiftLeft,
    WrongTypeShiftRight,
    CannotCompare,
    UnknownBinaryOperator,
    DivisionByZero,
    ModuloByZero,
    // Lexer.
    UnexpectedSymbol,
    // Variables.
    WrongTypeVariableIndex,
    WrongTypeArrayIndex,
    NegativeArrayIndex,
    ArrayIndexTooLarge,
    UnknownVariable,       // followed by the variable's name
    UnknownVariableSuffix, // appended when an array element was addressed
    CannotAssign,
    Count
};

std::string_view MessageText(ScriptMessage message);

// The text of a variable read that failed: the name, and the array suffix when an element
// other than 0 was addressed.
std::string UnknownVariableText(std::string_view name, bool hasArrayIndex);

} // namespace kestrin
