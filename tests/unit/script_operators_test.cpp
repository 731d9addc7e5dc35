#include <gtest/gtest.h>

#include <cmath>
#include <variant>

#include "base/numeric.h"
#include "script/operators.h"

using namespace kestrin;

namespace {

using Operand = std::variant<double, const char*>;

RValue Make(const Operand& o) {
    if (std::holds_alternative<double>(o)) return RValue(std::get<double>(o));
    return RValue(std::get<const char*>(o));
}

struct BinaryCase {
    int32_t op;
    Operand left, right;
    Operand expected; // the result, or the exact message when `fails`
    bool fails = false;
};

std::string Describe(const Operand& o) {
    if (std::holds_alternative<double>(o)) return std::to_string(std::get<double>(o));
    return std::string("\"") + std::get<const char*>(o) + "\"";
}

} // namespace

TEST(ScriptOperators, BinaryTable) {
    const BinaryCase cases[] = {
        // Arithmetic and concatenation.
        {kOpPlus, 1.5, 2.0, 3.5},
        {kOpPlus, "ab", "cd", "abcd"},
        {kOpPlus, "", "cd", "cd"},
        {kOpPlus, "1", 1.0, "Wrong type of arguments to +.", true},
        {kOpMinus, 5.0, 7.0, -2.0},
        {kOpMinus, "a", "b", "Wrong type of arguments to -.", true},
        {kOpMultiply, 3.0, "ab", "ababab"},
        {kOpMultiply, 0.0, "ab", ""},
        {kOpMultiply, -2.0, "ab", ""},
        {kOpMultiply, 2.5, "x", "xx"},
        {kOpMultiply, 3.5, "x", "xxxx"},
        {kOpMultiply, 1e15, "", ""},
        {kOpMultiply, "ab", 3.0, "Wrong type of arguments to *.", true},
        {kOpMultiply, "ab", "c", "Wrong type of arguments to *.", true},
        {kOpMultiply, 4.0, 2.5, 10.0},
        {kOpDivide, 1.0, 4.0, 0.25},
        {kOpDivide, 5.0, 0.0, "Division by 0.", true},
        {kOpDivide, 5.0, -0.0, "Division by 0.", true},
        {kOpDivide, "a", 1.0, "Wrong type of arguments to /.", true},
        {kOpDiv, 7.0, 2.0, 3.0},
        {kOpDiv, -7.0, 2.0, -3.0},
        {kOpDiv, 5.0, 0.0, "Division by 0.", true},
        {kOpDiv, 1.0, "a", "Wrong type of arguments to div.", true},
        {kOpMod, 7.0, -2.0, 1.0},
        {kOpMod, -7.0, 2.0, -1.0},
        {kOpMod, 7.5, 2.0, 1.5},
        {kOpMod, 5.0, 0.0, "Modulo by 0.", true},
        {kOpMod, "a", 2.0, "Wrong type of arguments to mod.", true},
        // Quotients beyond 32 bits keep their low 32 bits.
        {kOpDiv, 4294967296.0 * 3 + 10, 1.0, 10.0},
        // Logic: truth at 0.5, no strings.
        {kOpAnd, 0.5, 0.5, 1.0},
        {kOpAnd, 0.5, 0.49, 0.0},
        {kOpOr, 0.0, 0.7, 1.0},
        {kOpOr, -1.0, 0.2, 0.0},
        {kOpXor, 1.0, 1.0, 0.0},
        {kOpXor, 1.0, 0.0, 1.0},
        {kOpAnd, "a", 1.0, "Wrong type of arguments for &&.", true},
        {kOpOr, 1.0, "a", "Wrong type of arguments for ||.", true},
        {kOpXor, "a", "a", "Wrong type of arguments for ^^.", true},
        // Bitwise through rounding.
        {kOpBitOr, 2.5, 0.0, 2.0},
        {kOpBitOr, 3.5, 0.0, 4.0},
        {kOpBitAnd, 12.0, 10.0, 8.0},
        {kOpBitXor, 12.0, 10.0, 6.0},
        {kOpBitOr, "a", 0.0, "Wrong type of arguments for |.", true},
        {kOpBitAnd, "a", 0.0, "Wrong type of arguments for &.", true},
        {kOpBitXor, "a", 0.0, "Wrong type of arguments for ^.", true},
        // Shifts: counts by the low byte as a signed byte.
        {kOpShiftLeft, 1.0, 64.0, 0.0},
        {kOpShiftLeft, 1.0, 127.0, 0.0},
        {kOpShiftLeft, 1.0, 32.0, 4294967296.0},
        {kOpShiftLeft, 1.0, 63.0, -9223372036854775808.0},
        {kOpShiftLeft, 1.0, 3.0, 8.0},
        {kOpShiftLeft, 1.0, -1.0, 2147483648.0}, // low 5 bits of -1 are 31
        {kOpShiftLeft, 1.0, 128.0, 1.0},         // low byte 0
        {kOpShiftLeft, 1.0, 256.0 + 2, 4.0},
        {kOpShiftRight, -1.0, 1.0, 9223372036854775807.0},
        {kOpShiftRight, 256.0, 4.0, 16.0},
        {kOpShiftRight, -8.0, 0.0, -8.0},
        {kOpShiftLeft, "a", 1.0, "Wrong type of arguments for <<.", true},
        {kOpShiftRight, "a", 1.0, "Wrong type of arguments for >>.", true},
        // Comparisons within 1e-13.
        {kOpEqual, 0.1 + 0.2, 0.3, 1.0},
        {kOpAssignEqual, 0.1 + 0.2, 0.3, 1.0},
        {kOpEqual, 1.0, 1.0 + 1e-12, 0.0},
        {kOpNotEqual, 1.0, 1.0 + 1e-14, 0.0},
        {kOpNotEqual, 1.0, 2.0, 1.0},
        {kOpLess, 1.0, 1.0 + 1e-14, 0.0},
        {kOpLess, 1.0, 1.1, 1.0},
        {kOpLessEqual, 1.0 + 1e-14, 1.0, 1.0},
        {kOpGreaterEqual, 1.0 - 1e-14, 1.0, 1.0},
        {kOpGreater, 2.0, 1.0, 1.0},
        {kOpGreater, 1.0 + 1e-14, 1.0, 0.0},
        {kOpEqual, INFINITY, INFINITY, 1.0},
        {kOpLess, "abc", "abd", 1.0},
        {kOpLess, "", "a", 1.0},
        {kOpLess, "B", "a", 1.0},
        {kOpGreater, "ab", "a", 1.0},
        {kOpEqual, "ab", "ab", 1.0},
        {kOpLessEqual, "ab", "ab", 1.0},
        {kOpGreaterEqual, "ab", "ab", 1.0},
        {kOpNotEqual, "ab", "aB", 1.0},
        {kOpEqual, "a", 1.0, "Cannot compare arguments.", true},
        {kOpLess, 1.0, "a", "Cannot compare arguments.", true},
        // Unknown operators.
        {kOpNot, 1.0, 1.0, "Internal error: unknown binary operator.", true},
        {999, "a", 1.0, "Internal error: unknown binary operator.", true},
    };
    for (const BinaryCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.op) + " " + Describe(c.left) + " " + Describe(c.right));
        RValue left = Make(c.left);
        const RValue before = left;
        const RValue right = Make(c.right);
        const ScriptMessage message = ComputeBinary(c.op, left, right);
        if (c.fails) {
            EXPECT_EQ(MessageText(message), std::get<const char*>(c.expected));
            EXPECT_TRUE(left.SameAs(before)) << "the left operand must stay unchanged";
        } else {
            ASSERT_EQ(message, ScriptMessage::None) << MessageText(message);
            EXPECT_TRUE(left.SameAs(Make(c.expected)))
                << "got " << left.val() << " / \"" << left.str() << "\"";
        }
    }
}

TEST(ScriptOperators, UnaryTable) {
    const struct {
        int32_t op;
        Operand operand, expected;
        bool fails = false;
    } cases[] = {
        {kOpNot, 0.5, 0.0},
        {kOpNot, 0.49, 1.0},
        {kOpNot, std::nan(""), 1.0},
        {kOpPlus, 2.5, 2.5},
        {kOpMinus, 2.5, -2.5},
        {kOpBitNot, 5.0, -6.0},
        {kOpBitNot, 0.0, -1.0},
        {kOpBitNot, 2.5, -3.0},
        {kOpMinus, "a", "Wrong type of arguments to unary operator.", true},
        {kOpNot, "", "Wrong type of arguments to unary operator.", true},
        {999, "a", "Wrong type of arguments to unary operator.", true},
        {kOpMultiply, 1.0, "Internal error: unknown unary operator.", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.op) + " " + Describe(c.operand));
        RValue v = Make(c.operand);
        const RValue before = v;
        const ScriptMessage message = ComputeUnary(c.op, v);
        if (c.fails) {
            EXPECT_EQ(MessageText(message), std::get<const char*>(c.expected));
            EXPECT_TRUE(v.SameAs(before) || (std::isnan(v.val()) && std::isnan(before.val())));
        } else {
            ASSERT_EQ(message, ScriptMessage::None);
            EXPECT_TRUE(v.SameAs(Make(c.expected))) << v.val();
        }
    }
}

TEST(ScriptOperators, FloatingPointFaultsAreNotScriptErrors) {
    const struct {
        int32_t op;
        double left, right;
    } cases[] = {
        {kOpMultiply, 1e300, 1e300},                            // overflow
        {kOpPlus, 1.7e308, 1.7e308},                            // overflow
        {kOpDivide, 1e300, 1e-300},                             // overflow
        {kOpMinus, INFINITY, INFINITY},                         // invalid
        {kOpBitOr, std::nan(""), 0},                            // rounding a NaN
        {kOpBitAnd, 1e19, 0},                                   // beyond 64 bits
        {kOpShiftLeft, 1, INFINITY},    {kOpDiv, 1e300, 1e-10}, // quotient overflows
        {kOpMod, INFINITY, 2},                                  // quotient cannot be truncated
    };
    for (const auto& c : cases) {
        RValue left(c.left);
        const RValue right(c.right);
        EXPECT_THROW((void)ComputeBinary(c.op, left, right), FloatingPointFault) << c.op << " " << c.left;
    }
    RValue v(INFINITY);
    EXPECT_THROW((void)ComputeUnary(kOpBitNot, v), FloatingPointFault);
    // Arithmetic on an infinity or a NaN that exists already propagates without a fault.
    RValue inf(INFINITY);
    EXPECT_EQ(ComputeBinary(kOpPlus, inf, RValue(1.0)), ScriptMessage::None);
    EXPECT_EQ(inf.val(), INFINITY);
}

TEST(ScriptOperators, RepetitionBeyondTheTextLimitIsAFault) {
    RValue count(1e15);
    EXPECT_THROW((void)ComputeBinary(kOpMultiply, count, RValue("ab")), TextLimitFault);
    EXPECT_EQ(count.val(), 1e15);
}

TEST(ScriptOperators, ResultsDoNotAliasOperands) {
    RValue left("ab");
    const RValue right("cd");
    RValue copy = left;
    ASSERT_EQ(ComputeBinary(kOpPlus, left, right), ScriptMessage::None);
    EXPECT_EQ(left.str(), "abcd");
    EXPECT_EQ(copy.str(), "ab");
    EXPECT_EQ(right.str(), "cd");
}
