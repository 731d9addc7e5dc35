#pragma once
// Every conversion between reals and integers that the runner makes, in one place, so that
// no cast is ever undefined: a NaN, an infinity or a value outside the target range takes
// an explicit path. The faulting conversions mirror a processor whose invalid-operation,
// overflow and zero-divide traps are enabled; the saturating ones are for callers that
// must never fault (drawing coordinates, sizes read from hostile data).

#include <cmath>
#include <cstdint>
#include <string_view>

#include "base/fault.h"

namespace kestrin {

enum class FloatingPointFaultKind : uint8_t { Overflow, ZeroDivide, InvalidOperation };

// A floating-point fault abandons the running code; it is not a script error.
class FloatingPointFault : public RunnerFault {
public:
    explicit FloatingPointFault(FloatingPointFaultKind kind);
    FloatingPointFaultKind Kind() const { return kind_; }

private:
    FloatingPointFaultKind kind_;
};

std::string_view FloatingPointFaultMessage(FloatingPointFaultKind kind);

[[noreturn]] void RaiseFloatingPointFault(FloatingPointFaultKind kind);

// Truth of a real: at least 0.5. A NaN is false.
inline bool IsTrue(double value) {
    return value >= 0.5;
}

// Bounds of the 64-bit integer range as doubles: [-2^63, 2^63).
inline constexpr double kInt64Low = -9223372036854775808.0;
inline constexpr double kInt64High = 9223372036854775808.0;

// Whether an integral-valued double converts to int64_t without overflow.
inline bool FitsInt64(double integral) {
    return integral >= kInt64Low && integral < kInt64High;
}

// Conversion 1: nearest integer, ties to even, as a 64-bit integer. Faults with an invalid
// operation on NaN, infinities and values beyond the 64-bit range.
int64_t RoundToInt64Slow(double value);
inline int64_t RoundToInt64(double value) {
    // Below 2^52 adding and removing 2^52 rounds to an integer in the current rounding mode,
    // which the runner never moves from nearest-even: the same result as std::nearbyint without
    // the library call, which saves and restores the floating-point environment. Larger
    // magnitudes are integral already; the slow path checks the range.
    constexpr double kTwo52 = 4503599627370496.0;
    if (value >= 0.0 && value < kTwo52) [[likely]]
        return static_cast<int64_t>((value + kTwo52) - kTwo52);
    if (value < 0.0 && value > -kTwo52) return static_cast<int64_t>((value - kTwo52) + kTwo52);
    return RoundToInt64Slow(value);
}

// The low 32 bits of a 64-bit integer, as a two's-complement 32-bit value.
inline int32_t LowBits32(int64_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

// Conversion 1 for callers that keep 32 bits.
inline int32_t RoundToInt32(double value) {
    return LowBits32(RoundToInt64(value));
}

// Truncation toward zero, floor and ceiling to 64 bits, faulting like RoundToInt64.
int64_t TruncToInt64(double value);
int64_t FloorToInt64(double value);
int64_t CeilToInt64(double value);

// Conversion 2: a quotient truncated toward zero to 32 bits; a quotient beyond the 32-bit range
// keeps its low 32 bits. Faults beyond the 64-bit range.
inline int32_t TruncQuotientToInt32(double quotient) {
    return LowBits32(TruncToInt64(quotient));
}

// Integer results back to reals. Values beyond 2^53 round to the nearest double.
inline double Int64ToReal(int64_t value) {
    return static_cast<double>(value);
}

// Non-faulting conversions: NaN gives `fallback`, everything else is clamped to the range.
int64_t RoundToInt64Saturated(double value, int64_t fallback = 0);
int32_t RoundToInt32Saturated(double value, int32_t fallback = 0);
int32_t TruncToInt32Saturated(double value, int32_t fallback = 0);

// Checks the result of an arithmetic operation on finite or infinite operands the way a
// trapping processor would: an infinite result from finite operands is an overflow, a NaN
// from non-NaN operands an invalid operation. Operations on NaN operands propagate quietly.
inline double CheckArithmetic(double left, double right, double result) {
    if (std::isfinite(result)) [[likely]]
        return result;
    if (std::isnan(result)) {
        if (!std::isnan(left) && !std::isnan(right))
            RaiseFloatingPointFault(FloatingPointFaultKind::InvalidOperation);
    } else if (std::isfinite(left) && std::isfinite(right)) {
        RaiseFloatingPointFault(FloatingPointFaultKind::Overflow);
    }
    return result;
}

// Real division for callers that did not check the divisor: a zero divisor faults as the
// hardware would (0/0 is an invalid operation, anything else a zero divide).
double CheckedDivide(double left, double right);

} // namespace kestrin
