#include "base/numeric.h"

#include <limits>
#include <string>

namespace kestrin {

std::string_view FloatingPointFaultMessage(FloatingPointFaultKind kind) {
    switch (kind) {
    case FloatingPointFaultKind::Overflow:
        return "Floating point overflow";
    case FloatingPointFaultKind::ZeroDivide:
        return "Floating point division by zero";
    case FloatingPointFaultKind::InvalidOperation:
        break;
    }
    return "Invalid floating point operation";
}

FloatingPointFault::FloatingPointFault(FloatingPointFaultKind kind)
    : RunnerFault(std::string(FloatingPointFaultMessage(kind))), kind_(kind) {}

void RaiseFloatingPointFault(FloatingPointFaultKind kind) {
    throw FloatingPointFault(kind);
}

namespace {

int64_t IntegralToInt64(double integral) {
    if (!FitsInt64(integral)) RaiseFloatingPointFault(FloatingPointFaultKind::InvalidOperation);
    return static_cast<int64_t>(integral);
}

} // namespace

int64_t RoundToInt64Slow(double value) {
    return IntegralToInt64(std::nearbyint(value));
}
int64_t TruncToInt64(double value) {
    return IntegralToInt64(std::trunc(value));
}
int64_t FloorToInt64(double value) {
    return IntegralToInt64(std::floor(value));
}
int64_t CeilToInt64(double value) {
    return IntegralToInt64(std::ceil(value));
}

int64_t RoundToInt64Saturated(double value, int64_t fallback) {
    if (std::isnan(value)) return fallback;
    const double r = std::nearbyint(value);
    if (r < kInt64Low) return std::numeric_limits<int64_t>::min();
    if (r >= kInt64High) return std::numeric_limits<int64_t>::max();
    return static_cast<int64_t>(r);
}

int32_t RoundToInt32Saturated(double value, int32_t fallback) {
    if (std::isnan(value)) return fallback;
    const double r = std::nearbyint(value);
    if (r < -2147483648.0) return std::numeric_limits<int32_t>::min();
    if (r > 2147483647.0) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(r);
}

int32_t TruncToInt32Saturated(double value, int32_t fallback) {
    if (std::isnan(value)) return fallback;
    const double t = std::trunc(value);
    if (t < -2147483648.0) return std::numeric_limits<int32_t>::min();
    if (t > 2147483647.0) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(t);
}

double CheckedDivide(double left, double right) {
    if (right == 0.0) {
        if (std::isnan(left)) return left;
        RaiseFloatingPointFault(left == 0.0 ? FloatingPointFaultKind::InvalidOperation
                                            : FloatingPointFaultKind::ZeroDivide);
    }
    return CheckArithmetic(left, right, left / right);
}

} // namespace kestrin
