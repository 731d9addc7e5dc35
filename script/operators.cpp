#include "script/operators.h"

#include <cmath>
#include <cstring>

#include "base/numeric.h"
#include "base/utf.h"

namespace kestrin {

namespace {

bool CompareDifference(int32_t op, double d) {
    switch (op) {
    case kOpLess:
        return d < -kCompareEpsilon;
    case kOpLessEqual:
        return d <= kCompareEpsilon;
    case kOpNotEqual:
        return d < -kCompareEpsilon || d > kCompareEpsilon;
    case kOpGreaterEqual:
        return d >= -kCompareEpsilon;
    case kOpGreater:
        return d > kCompareEpsilon;
    default: // kOpEqual, kOpAssignEqual
        return d > -kCompareEpsilon && d < kCompareEpsilon;
    }
}

bool IsComparison(int32_t op) {
    return op == kOpAssignEqual || (op >= kOpLess && op <= kOpGreater);
}

// Left operand shifted by the rounded right operand. The count is the low byte of the
// rounded right operand as a signed byte: 64 and up clears, 32 to 63 shifts the full 64-bit
// value, anything below 32 (negative counts too) shifts by its low 5 bits.
double Shift(int32_t op, double left, double right) {
    const auto value = static_cast<uint64_t>(RoundToInt64(left));
    const auto count = static_cast<int8_t>(static_cast<uint8_t>(static_cast<uint64_t>(RoundToInt64(right))));
    unsigned shift;
    if (count >= 64) return 0.0;
    if (count >= 32)
        shift = static_cast<unsigned>(count);
    else
        shift = static_cast<unsigned>(count) & 31u;
    const uint64_t result = op == kOpShiftLeft ? value << shift : value >> shift;
    return Int64ToReal(static_cast<int64_t>(result));
}

void Concatenate(RValue& left, const RValue& right) {
    const std::string_view a = left.str(), b = right.str();
    if (b.empty()) return;
    if (a.empty()) {
        left = right;
        return;
    }
    if (b.size() > kMaxTextBytes - a.size()) throw TextLimitFault();
    RText* text = RText::Allocate(a.size() + b.size());
    std::memcpy(text->Data(), a.data(), a.size());
    std::memcpy(text->Data() + a.size(), b.data(), b.size());
    left = RValue::Adopt(text);
}

void Repeat(RValue& left, const RValue& right) {
    const int64_t n = RoundToInt64(left.val());
    const std::string_view piece = right.str();
    if (n <= 0 || piece.empty()) {
        left.SetString({});
        return;
    }
    if (static_cast<uint64_t>(n) > kMaxTextBytes / piece.size()) throw TextLimitFault();
    const size_t total = static_cast<size_t>(n) * piece.size();
    RText* text = RText::Allocate(total);
    char* out = text->Data();
    std::memcpy(out, piece.data(), piece.size());
    for (size_t done = piece.size(); done < total;) {
        const size_t chunk = done < total - done ? done : total - done;
        std::memcpy(out + done, out, chunk);
        done += chunk;
    }
    left = RValue::Adopt(text);
}

ScriptMessage WrongTypeMessage(int32_t op) {
    switch (op) {
    case kOpPlus:
        return ScriptMessage::WrongTypePlus;
    case kOpMinus:
        return ScriptMessage::WrongTypeMinus;
    case kOpMultiply:
        return ScriptMessage::WrongTypeMultiply;
    case kOpDivide:
        return ScriptMessage::WrongTypeDivide;
    case kOpDiv:
        return ScriptMessage::WrongTypeDiv;
    case kOpMod:
        return ScriptMessage::WrongTypeMod;
    case kOpAnd:
        return ScriptMessage::WrongTypeAnd;
    case kOpOr:
        return ScriptMessage::WrongTypeOr;
    case kOpXor:
        return ScriptMessage::WrongTypeXor;
    case kOpBitOr:
        return ScriptMessage::WrongTypeBitOr;
    case kOpBitAnd:
        return ScriptMessage::WrongTypeBitAnd;
    case kOpBitXor:
        return ScriptMessage::WrongTypeBitXor;
    case kOpShiftLeft:
        return ScriptMessage::WrongTypeShiftLeft;
    case kOpShiftRight:
        return ScriptMessage::WrongTypeShiftRight;
    default:
        return IsComparison(op) ? ScriptMessage::CannotCompare : ScriptMessage::UnknownBinaryOperator;
    }
}

} // namespace

ScriptMessage ComputeUnary(int32_t op, RValue& value) {
    if (!value.IsReal()) return ScriptMessage::WrongTypeUnary;
    const double v = value.val();
    switch (op) {
    case kOpNot:
        value.SetReal(IsTrue(v) ? 0.0 : 1.0);
        return ScriptMessage::None;
    case kOpPlus:
        return ScriptMessage::None;
    case kOpMinus:
        value.SetReal(-v);
        return ScriptMessage::None;
    case kOpBitNot:
        value.SetReal(Int64ToReal(~RoundToInt64(v)));
        return ScriptMessage::None;
    default:
        return ScriptMessage::UnknownUnaryOperator;
    }
}

bool CompareValues(int32_t op, const RValue& left, const RValue& right) {
    double d;
    if (left.IsReal()) {
        const double a = left.val(), b = right.val();
        // Equal reals (infinities included) differ by exactly 0.
        d = a == b ? 0.0 : a - b;
    } else {
        d = CompareTextUtf16(left.str(), right.str());
    }
    return CompareDifference(op, d);
}

ScriptMessage ComputeBinary(int32_t op, RValue& left, const RValue& right) {
    if (left.IsReal() && right.IsReal()) [[likely]] {
        const double a = left.val(), b = right.val();
        double r;
        switch (op) {
        case kOpPlus:
            r = CheckArithmetic(a, b, a + b);
            break;
        case kOpMinus:
            r = CheckArithmetic(a, b, a - b);
            break;
        case kOpMultiply:
            r = CheckArithmetic(a, b, a * b);
            break;
        case kOpDivide:
            if (b == 0.0) return ScriptMessage::DivisionByZero;
            r = CheckArithmetic(a, b, a / b);
            break;
        case kOpDiv:
            if (b == 0.0) return ScriptMessage::DivisionByZero;
            r = TruncQuotientToInt32(CheckArithmetic(a, b, a / b));
            break;
        case kOpMod: {
            if (b == 0.0) return ScriptMessage::ModuloByZero;
            const double t = TruncQuotientToInt32(CheckArithmetic(a, b, a / b));
            // a - t*b with a single rounding, as close as the wider intermediate would be.
            r = CheckArithmetic(a, b, std::fma(-t, b, a));
            break;
        }
        case kOpAnd:
            r = IsTrue(a) && IsTrue(b) ? 1.0 : 0.0;
            break;
        case kOpOr:
            r = IsTrue(a) || IsTrue(b) ? 1.0 : 0.0;
            break;
        case kOpXor:
            r = IsTrue(a) != IsTrue(b) ? 1.0 : 0.0;
            break;
        case kOpBitOr:
            r = Int64ToReal(RoundToInt64(a) | RoundToInt64(b));
            break;
        case kOpBitAnd:
            r = Int64ToReal(RoundToInt64(a) & RoundToInt64(b));
            break;
        case kOpBitXor:
            r = Int64ToReal(RoundToInt64(a) ^ RoundToInt64(b));
            break;
        case kOpShiftLeft:
        case kOpShiftRight:
            r = Shift(op, a, b);
            break;
        default:
            if (!IsComparison(op)) return ScriptMessage::UnknownBinaryOperator;
            r = CompareValues(op, left, right) ? 1.0 : 0.0;
            break;
        }
        left.SetReal(r);
        return ScriptMessage::None;
    }
    if (left.IsString() && right.IsString()) {
        if (op == kOpPlus) {
            Concatenate(left, right);
            return ScriptMessage::None;
        }
        if (IsComparison(op)) {
            left.SetReal(CompareValues(op, left, right) ? 1.0 : 0.0);
            return ScriptMessage::None;
        }
    } else if (op == kOpMultiply && left.IsReal()) {
        Repeat(left, right);
        return ScriptMessage::None;
    }
    return WrongTypeMessage(op);
}

} // namespace kestrin
