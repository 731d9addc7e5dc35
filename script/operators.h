#pragma once
// The unary and binary operators of the script language with their type rules. Used by the
// interpreter, by constant folding and by the compound assignments. A failure leaves the
// result operand unchanged and returns the message for the caller to report at its position;
// floating-point faults are raised as FloatingPointFault.

#include <cstdint>

#include "script/messages.h"
#include "script/value.h"

namespace kestrin {

// Operator codes, shared with the lexer's token codes and the tree.
enum OperatorCode : int32_t {
    kOpAssignEqual = 101, // `=` or `:=` inside an expression: equality
    kOpAnd = 201,
    kOpOr = 202,
    kOpNot = 203,
    kOpLess = 204,
    kOpLessEqual = 205,
    kOpEqual = 206,
    kOpNotEqual = 207,
    kOpGreaterEqual = 208,
    kOpGreater = 209,
    kOpPlus = 210,
    kOpMinus = 211,
    kOpMultiply = 212,
    kOpDivide = 213,
    kOpDiv = 214,
    kOpMod = 215,
    kOpXor = 216,
    kOpBitOr = 217,
    kOpBitAnd = 218,
    kOpBitXor = 219,
    kOpBitNot = 220,
    kOpShiftLeft = 221,
    kOpShiftRight = 222,
};

// Reals closer than this compare equal.
inline constexpr double kCompareEpsilon = 1e-13;

// `value` holds the operand and receives the result.
[[nodiscard]] ScriptMessage ComputeUnary(int32_t op, RValue& value);

// `left` holds the left operand and receives the result; `right` is not changed.
[[nodiscard]] ScriptMessage ComputeBinary(int32_t op, RValue& left, const RValue& right);

// The comparison of two reals or two strings by the rule of the comparison operators (op is
// 101 or 204..209). The kinds must match.
bool CompareValues(int32_t op, const RValue& left, const RValue& right);

} // namespace kestrin
