#include "script/function_math.h"

#include <algorithm>
#include <cmath>

#include "script/math_messages.h"
#include "base/numeric.h"
#include "script/random.h"
#include "script/run_error.h"
#include "base/utf.h"
#include "script/value.h"

namespace kestrin {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDegreesToRadians = kPi / 180.0;
constexpr double kRadiansToDegrees = 180.0 / kPi;

// A failure of the routine: the message, and the result stays the real 0.
void Fail(MathMessage message) {
    ReportRunError(MathMessageText(message), false);
}

// The result of a one-operand function, faulting as the processor would on an overflow or an
// invalid operation (sin of an infinity).
double Checked(double operand, double result) {
    return CheckArithmetic(operand, operand, result);
}

// ---- Types and numbers ----

void is_real(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(args[0].IsReal() ? 1.0 : 0.0);
}

void is_string(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(args[0].IsString() ? 1.0 : 0.0);
}

void abs(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(std::fabs(args[0].val()));
}

void round(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(Int64ToReal(RoundToInt64(args[0].val())));
}

void floor(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(LowBits32(FloorToInt64(args[0].val())));
}

void ceil(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(LowBits32(CeilToInt64(args[0].val())));
}

void frac(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double x = args[0].val();
    result.SetReal(Checked(x, x - std::trunc(x)));
}

void sign(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double x = args[0].val();
    result.SetReal(x <= -1e-13 ? -1.0 : (x < 1e-13 ? 0.0 : 1.0));
}

void sqr(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double x = args[0].val();
    result.SetReal(Checked(x, x * x));
}

void sqrt(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double x = args[0].val();
    if (x < 0.0) return Fail(MathMessage::SqrtNegative);
    result.SetReal(std::sqrt(x));
}

void exp(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double r = std::exp(args[0].val());
    if (r == HUGE_VAL) return Fail(MathMessage::Exp);
    result.SetReal(r);
}

// ln, log2 and log10: defined for x > 0 only.
void Logarithm(double x, double (*function)(double), MathMessage message, RValue& result) {
    if (x <= 0.0) return Fail(message);
    result.SetReal(function(x));
}

void ln(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    Logarithm(
        args[0].val(), [](double x) { return std::log(x); }, MathMessage::Ln, result);
}

void log2(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    Logarithm(
        args[0].val(), [](double x) { return std::log2(x); }, MathMessage::Log2, result);
}

void log10(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    Logarithm(
        args[0].val(), [](double x) { return std::log10(x); }, MathMessage::Log10, result);
}

void logn(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double n = args[0].val(), x = args[1].val();
    if (n <= 0.0 || n == 1.0 || x <= 0.0) return Fail(MathMessage::Logn);
    result.SetReal(std::log(x) / std::log(n));
}

void power(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double x = args[0].val(), n = args[1].val();
    if (n == 0.0) return result.SetReal(1.0);
    const bool whole = n == std::trunc(n);
    if ((x < 0.0 && !whole) || (x == 0.0 && n < 0.0)) return Fail(MathMessage::Power);
    // The library's power is correctly rounded, which is what a product of whole powers
    // carried in extended precision gives, and it never loops over a huge exponent.
    result.SetReal(CheckArithmetic(x, n, std::pow(x, n)));
}

void sin(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double x = args[0].val();
    result.SetReal(Checked(x, std::sin(x)));
}

void cos(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double x = args[0].val();
    result.SetReal(Checked(x, std::cos(x)));
}

void tan(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double x = args[0].val();
    result.SetReal(Checked(x, std::tan(x)));
}

void arcsin(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double x = args[0].val();
    if (x < -1.0 || x > 1.0) return Fail(MathMessage::Arcsin);
    result.SetReal(std::asin(x));
}

void arccos(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double x = args[0].val();
    if (x < -1.0 || x > 1.0) return Fail(MathMessage::Arccos);
    result.SetReal(std::acos(x));
}

void arctan(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(std::atan(args[0].val()));
}

void arctan2(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(std::atan2(args[0].val(), args[1].val()));
}

void degtorad(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(args[0].val() * kDegreesToRadians);
}

void radtodeg(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double x = args[0].val();
    result.SetReal(Checked(x, x * kRadiansToDegrees));
}

enum class Extreme { Smallest, Largest };

// min and max: each argument is compared by the kind of the result so far; with arguments
// of one kind the first of equal ones wins.
void PickExtreme(Extreme which, int32_t argc, const RValue* args, RValue& result) {
    if (argc <= 0) return;
    const RValue* best = &args[0];
    for (int32_t i = 1; i < argc; ++i) {
        const RValue& a = args[i];
        bool replace;
        if (best->IsReal()) {
            replace = which == Extreme::Smallest ? !(a.val() >= best->val()) : a.val() > best->val();
        } else {
            const int order = CompareTextUtf16(a.str(), best->str());
            replace = which == Extreme::Smallest ? order < 0 : order > 0;
        }
        if (replace) best = &a;
    }
    result = *best;
}

void min(CScriptInstance*, CScriptInstance*, int32_t argc, const RValue* args, RValue& result) {
    PickExtreme(Extreme::Smallest, argc, args, result);
}

void max(CScriptInstance*, CScriptInstance*, int32_t argc, const RValue* args, RValue& result) {
    PickExtreme(Extreme::Largest, argc, args, result);
}

void min3(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    PickExtreme(Extreme::Smallest, 3, args, result);
}

void max3(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    PickExtreme(Extreme::Largest, 3, args, result);
}

void mean(CScriptInstance*, CScriptInstance*, int32_t argc, const RValue* args, RValue& result) {
    if (argc <= 0) return;
    // Summed in extended precision, as the quotient of 16 large values still fits a double.
    long double sum = 0.0L;
    for (int32_t i = 0; i < argc; ++i) sum += args[i].val();
    result.SetReal(static_cast<double>(sum / argc));
}

void median(CScriptInstance*, CScriptInstance*, int32_t argc, const RValue* args, RValue& result) {
    // At most 16 arguments: counting for each candidate is simpler than sorting and keeps
    // "the first in argument order" exact.
    for (int32_t i = 0; i < argc; ++i) {
        const double q = args[i].val();
        int32_t below = 0, atMost = 0;
        for (int32_t k = 0; k < argc; ++k) {
            const double v = args[k].val();
            if (v < q) ++below;
            if (v <= q) ++atMost;
        }
        if (2 * below < argc && 2 * atMost >= argc) return result.SetReal(q);
    }
}

// ---- Random numbers ----

void choose(CScriptInstance*, CScriptInstance*, int32_t argc, const RValue* args, RValue& result) {
    if (argc <= 0) return;
    result = args[RandomBelow(static_cast<uint32_t>(argc))];
}

void random(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(RandomReal() * args[0].val());
}

void random_range(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double lo = std::min(args[0].val(), args[1].val());
    const double hi = std::max(args[0].val(), args[1].val());
    result.SetReal(lo + RandomReal() * (hi - lo));
}

// An integer from lo to hi inclusive. Ranges of up to 2^32 values take the integer draw;
// wider ones (only from arguments beyond the 32-bit range) scale a real draw.
double DrawBetween(int64_t lo, int64_t hi) {
    const uint64_t width = static_cast<uint64_t>(hi) - static_cast<uint64_t>(lo) + 1u;
    if (width != 0 && width < (uint64_t{1} << 32))
        return Int64ToReal(lo) + RandomBelow(static_cast<uint32_t>(width));
    const double span = width == 0 ? 18446744073709551616.0 : static_cast<double>(width);
    return std::min(Int64ToReal(lo) + std::floor(RandomReal() * span), Int64ToReal(hi));
}

// irandom(x) draws from 0 to floor(x); a negative x draws from floor(x) to 0.
void irandom(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const int64_t n = FloorToInt64(args[0].val());
    result.SetReal(DrawBetween(std::min<int64_t>(0, n), std::max<int64_t>(0, n)));
}

void irandom_range(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const int64_t a = FloorToInt64(args[0].val()), b = FloorToInt64(args[1].val());
    result.SetReal(DrawBetween(std::min(a, b), std::max(a, b)));
}

void random_set_seed(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    SetRandomSeed(static_cast<uint32_t>(RoundToInt32(args[0].val())));
}

void random_get_seed(CScriptInstance*, CScriptInstance*, int32_t, const RValue*, RValue& result) {
    result.SetReal(static_cast<int32_t>(RandomSeed()));
}

void randomize(CScriptInstance*, CScriptInstance*, int32_t, const RValue*, RValue&) {
    RandomizeSeed();
}

// ---- Geometry ----

void point_distance(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(std::hypot(args[2].val() - args[0].val(), args[3].val() - args[1].val()));
}

void point_distance_3d(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(std::hypot(args[3].val() - args[0].val(), args[4].val() - args[1].val(),
                              args[5].val() - args[2].val()));
}

void point_direction(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double dx = args[2].val() - args[0].val();
    const double dy = args[3].val() - args[1].val();
    if (dx == 0.0) return result.SetReal(dy > 0.0 ? 270.0 : (dy < 0.0 ? 90.0 : 0.0));
    const double a = std::atan2(dy, dx) * kRadiansToDegrees;
    result.SetReal(a > 0.0 ? 360.0 - a : 0.0 - a);
}

// Results within 0.0001 of an integer become that integer, so that axis directions give
// exact steps.
double SnapToInteger(double value) {
    const double nearest = std::nearbyint(value);
    return std::fabs(value - nearest) < 0.0001 ? nearest : value;
}

void lengthdir_x(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double length = args[0].val(), direction = args[1].val();
    result.SetReal(
        SnapToInteger(CheckArithmetic(length, direction, length * std::cos(direction * kDegreesToRadians))));
}

void lengthdir_y(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double length = args[0].val(), direction = args[1].val();
    result.SetReal(
        SnapToInteger(CheckArithmetic(length, direction, -length * std::sin(direction * kDegreesToRadians))));
}

// The cosine of the angle between two vectors. A zero vector has no direction: 0 rather than
// a division by zero.
double Cosine(double dot, double lengths) {
    return lengths == 0.0 ? 0.0 : dot / lengths;
}

void dot_product(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double x1 = args[0].val(), y1 = args[1].val(), x2 = args[2].val(), y2 = args[3].val();
    result.SetReal(Cosine(x1 * x2 + y1 * y2, std::hypot(x1, y1) * std::hypot(x2, y2)));
}

void dot_product_3d(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double x1 = args[0].val(), y1 = args[1].val(), z1 = args[2].val();
    const double x2 = args[3].val(), y2 = args[4].val(), z2 = args[5].val();
    result.SetReal(Cosine(x1 * x2 + y1 * y2 + z1 * z2, std::hypot(x1, y1, z1) * std::hypot(x2, y2, z2)));
}

constexpr RFunctionSpec kMathFunctions[] = {
    {"is_real", is_real, 1},
    {"is_string", is_string, 1},
    {"abs", abs, 1},
    {"round", round, 1},
    {"floor", floor, 1},
    {"ceil", ceil, 1},
    {"frac", frac, 1},
    {"sign", sign, 1},
    {"sqr", sqr, 1},
    {"sqrt", sqrt, 1},
    {"exp", exp, 1},
    {"ln", ln, 1},
    {"log2", log2, 1},
    {"log10", log10, 1},
    {"logn", logn, 2},
    {"power", power, 2},
    {"sin", sin, 1},
    {"cos", cos, 1},
    {"tan", tan, 1},
    {"arcsin", arcsin, 1},
    {"arccos", arccos, 1},
    {"arctan", arctan, 1},
    {"arctan2", arctan2, 2},
    {"degtorad", degtorad, 1},
    {"radtodeg", radtodeg, 1},
    {"min", min, -1},
    {"max", max, -1},
    {"min3", min3, 3},
    {"max3", max3, 3},
    {"mean", mean, -1},
    {"median", median, -1},
    {"choose", choose, -1},
    {"random", random, 1},
    {"random_range", random_range, 2},
    {"irandom", irandom, 1},
    {"irandom_range", irandom_range, 2},
    {"random_set_seed", random_set_seed, 1},
    {"random_get_seed", random_get_seed, 0},
    {"randomize", randomize, 0},
    {"point_distance", point_distance, 4},
    {"point_distance_3d", point_distance_3d, 6},
    {"point_direction", point_direction, 4},
    {"lengthdir_x", lengthdir_x, 2},
    {"lengthdir_y", lengthdir_y, 2},
    {"dot_product", dot_product, 4},
    {"dot_product_3d", dot_product_3d, 6},
};

} // namespace

std::span<const RFunctionSpec> MathFunctions() {
    return kMathFunctions;
}

} // namespace kestrin
