#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <set>
#include <string>

#include "function_fixture.h"
#include "script/function_date.h"
#include "script/function_math.h"
#include "script/function_string.h"
#include "base/numeric.h"
#include "script/random.h"

using namespace kestrin;
using namespace kestrin::testing;

namespace {

class FunctionMath : public FunctionTest {};

// The generator as defined, written independently of the runner's: 64-bit arithmetic and an
// explicit modulus.
struct ReferenceGenerator {
    uint64_t seed;
    uint64_t Next() {
        seed = (seed * 134775813u + 1u) % 4294967296u;
        return seed;
    }
    double Real() { return static_cast<double>(Next()) / 4294967296.0; }
    uint64_t Below(uint64_t n) { return (n * Next()) >> 32; }
};

TEST_F(FunctionMath, EveryFunctionOfTheFamiliesIsRegisteredOnce) {
    std::set<std::string> names;
    size_t total = 0;
    for (const auto table : {MathFunctions(), StringFunctions(), DateFunctions()}) {
        for (const RFunctionSpec& f : table) {
            EXPECT_NE(f.routine, nullptr) << f.name;
            EXPECT_TRUE(names.insert(std::string(f.name)).second) << f.name;
            const int32_t index = FindFunction(f.name);
            ASSERT_GE(index, 0) << f.name;
            EXPECT_EQ(FunctionRoutine(index), f.routine) << f.name;
            EXPECT_EQ(FunctionArgCount(index), f.argnumb) << f.name;
            ++total;
        }
    }
    EXPECT_EQ(total, 116u);
    EXPECT_EQ(DateFunctions().size(), 47u);
    for (const char* any : {"min", "max", "mean", "median", "choose"})
        EXPECT_EQ(FunctionArgCount(FindFunction(any)), -1);
}

TEST_F(FunctionMath, NumbersAndErrors) {
    const TextCase cases[] = {
        {"is_real(1) + is_real(\"a\") * 10", "1"},
        {"is_string(\"\") + is_string(0) * 10", "1"},
        {"abs(-2.5)", "2.50"},
        {"round(2.5)", "2"},
        {"round(3.5)", "4"},
        {"round(-2.5)", "-2"},
        {"round(-0.5)", "0"},
        {"floor(-0.5)", "-1"},
        {"floor(2.9999)", "2"},
        {"ceil(2.000001)", "3"},
        {"ceil(-1.5)", "-1"},
        {"floor(4294967296 + 5.5)", "5"}, // only the low 32 bits survive
        {"ceil(2147483648)", "-2147483648"},
        {"frac(-3.25)", "-0.25"},
        {"frac(7)", "0"},
        {"sign(0.00000000000001)", "0"},
        {"sign(-0.00000000000001)", "0"},
        {"sign(-0.0000000000001)", "-1"},
        {"sign(0.0000000000001)", "1"},
        {"sign(-7)", "-1"},
        {"sqr(-3)", "9"},
        {"sqrt(16)", "4"},
        {"sqrt(-1)", "0 ! Cannot apply sqrt to negative number."},
        {"exp(0)", "1"},
        {"exp(1000)", "0 ! Error in function exp()."},
        {"ln(0)", "0 ! Error in function ln()."},
        {"log2(-1)", "0 ! Error in function log2()."},
        {"log2(1024)", "10"},
        {"log10(0)", "0 ! Error in function log10()."},
        {"log10(1000)", "3"},
        {"logn(2, 8)", "3"},
        {"logn(1, 8)", "0 ! Error in function logn()."},
        {"logn(0, 8)", "0 ! Error in function logn()."},
        {"logn(10, -1)", "0 ! Error in function logn()."},
        {"power(2, 10)", "1024"},
        {"power(2, -2)", "0.25"},
        {"power(-2, 3)", "-8"},
        {"power(0, 0)", "1"},
        {"power(0, 3)", "0"},
        {"power(0, -1)", "0 ! Error in function power()."},
        {"power(-8, 1/3)", "0 ! Error in function power()."},
        {"power(4, 0.5)", "2"},
        {"power(-1, 4294967297)", "-1"}, // a whole exponent beyond 32 bits keeps its sign rule
        {"power(1, 2147483647)", "1"},   // no multiplication loop
        {"arcsin(2)", "0 ! Error in function arcsin()."},
        {"arccos(-1.5)", "0 ! Error in function arccos()."},
        {"arcsin(1) * 2 == pi", "1"},
        {"arccos(-1) == pi", "1"},
        {"arctan2(1, 0) * 2 == pi", "1"},
        {"arctan2(0, -1) == pi", "1"},
        {"degtorad(180) == pi", "1"},
        {"radtodeg(pi)", "180"},
        {"min(3, 1, 2)", "1"},
        {"max(3, 1, 2)", "3"},
        {"max(\"a\", \"b\")", "\"b\""},
        {"min(\"b\", \"B\", \"a\")", "\"B\""},
        {"min()", "0"},
        {"max(5)", "5"},
        // Compared by the kind of the result so far: the real's empty text is below "b".
        {"min(\"b\", 1)", "1"},
        {"max(1, \"b\")", "1"},
        {"min3(4, -2, 9)", "-2"},
        {"max3(4, -2, 9)", "9"},
        {"mean()", "0"},
        {"mean(1, 2, 3, 4)", "2.50"},
        {"mean(\"x\", 4)", "2"},
        {"median()", "0"},
        {"median(1, 2, 3, 4)", "2"},
        {"median(5, 3, 1)", "3"},
        {"median(4, 1, 4, 2)", "2"},
        {"median(7)", "7"},
        {"choose()", "0"},
    };
    for (const TextCase& c : cases) EXPECT_EQ(Text(c.code), c.expected) << c.code;
}

TEST_F(FunctionMath, ResultsMatchTheCLibrary) {
    const double inputs[] = {-1e6, -123.456, -3.5, -1, -0.75, -1e-9, 0,    1e-12,
                             0.3,  0.5,      1,    2,  2.5,   10,    77.7, 1e6};
    const struct {
        const char* name;
        double (*reference)(double);
    } unary[] = {
        {"sin", [](double x) { return std::sin(x); }},
        {"cos", [](double x) { return std::cos(x); }},
        {"tan", [](double x) { return std::tan(x); }},
        {"arctan", [](double x) { return std::atan(x); }},
        {"abs", [](double x) { return std::fabs(x); }},
        {"sqr", [](double x) { return x * x; }},
        {"exp", [](double x) { return std::exp(x); }},
        {"frac", [](double x) { return x - std::trunc(x); }},
        {"round", [](double x) { return std::nearbyint(x); }},
    };
    for (const auto& f : unary) {
        for (const double x : inputs) {
            if (std::string(f.name) != "exp" || x < 700) {
                EXPECT_EQ(CallReal(f.name, {x}), f.reference(x)) << f.name << " " << x;
            }
        }
    }
    for (const double x : inputs) {
        if (x > 0) {
            EXPECT_EQ(CallReal("sqrt", {x}), std::sqrt(x)) << x;
            EXPECT_EQ(CallReal("ln", {x}), std::log(x)) << x;
            EXPECT_EQ(CallReal("log2", {x}), std::log2(x)) << x;
            EXPECT_EQ(CallReal("log10", {x}), std::log10(x)) << x;
        }
        if (x >= -1 && x <= 1) {
            EXPECT_EQ(CallReal("arcsin", {x}), std::asin(x)) << x;
            EXPECT_EQ(CallReal("arccos", {x}), std::acos(x)) << x;
        }
        for (const double y : {-2.0, 0.0, 0.5, 3.0}) {
            EXPECT_EQ(CallReal("arctan2", {y, x}), std::atan2(y, x)) << y << "," << x;
            if (x > 0) {
                EXPECT_EQ(CallReal("power", {x, y}), std::pow(x, y)) << x << "^" << y;
            }
        }
        EXPECT_EQ(CallReal("point_distance", {0, 0, x, 3}), std::hypot(x, 3.0)) << x;
    }
    EXPECT_EQ(CallReal("power", {1.0000001, 2147483647}), std::pow(1.0000001, 2147483647.0));
    EXPECT_EQ(CallReal("power", {-1.5, -3}), std::pow(-1.5, -3.0));
    EXPECT_NEAR(CallReal("point_distance_3d", {1, 2, 3, 4, 6, 15}), 13.0, 1e-12);
    EXPECT_TRUE(errors().empty());
}

TEST_F(FunctionMath, FloatingPointFaultsAreRaisedNotReported) {
    const struct {
        const char* name;
        double argument;
        FloatingPointFaultKind kind;
    } cases[] = {
        {"round", 1e300, FloatingPointFaultKind::InvalidOperation},
        {"round", NAN, FloatingPointFaultKind::InvalidOperation},
        {"floor", INFINITY, FloatingPointFaultKind::InvalidOperation},
        {"irandom", NAN, FloatingPointFaultKind::InvalidOperation},
        {"sqr", 1e200, FloatingPointFaultKind::Overflow},
        {"sin", INFINITY, FloatingPointFaultKind::InvalidOperation},
        {"frac", -INFINITY, FloatingPointFaultKind::InvalidOperation},
    };
    for (const auto& c : cases) {
        try {
            CallReal(c.name, {c.argument});
            ADD_FAILURE() << c.name << " did not fault";
        } catch (const FloatingPointFault& fault) {
            EXPECT_EQ(fault.Kind(), c.kind) << c.name;
        }
    }
    EXPECT_THROW(CallReal("power", {10, 400}), FloatingPointFault);
    EXPECT_TRUE(errors().empty());
    // NaN operands propagate quietly where no conversion to an integer is made.
    EXPECT_TRUE(std::isnan(CallReal("sqrt", {NAN})));
    EXPECT_TRUE(std::isnan(CallReal("abs", {NAN})));
}

TEST_F(FunctionMath, RandomDrawsFollowTheGeneratorBitForBit) {
    // Seed 1: the first draws are 134775814, 3698175007, 870078620, 1172187917, ...
    SetRandomSeed(1);
    EXPECT_EQ(Text("irandom(9)"), "0");
    EXPECT_EQ(Text("irandom(9)"), "8");
    EXPECT_EQ(Text("random_get_seed()"), "-596792289");            // 3698175007 as a signed number
    EXPECT_EQ(Text("random_set_seed(1); return irandom(9)"), "0"); // the same on every run
    EXPECT_EQ(Text("random_set_seed(-1); return random_get_seed()"), "-1");
    EXPECT_EQ(Text("random_set_seed(4294967298.4); return random_get_seed()"), "2");

    for (const uint32_t start : {0u, 1u, 12345u, 0xFFFFFFFFu}) {
        ReferenceGenerator ref{start};
        SetRandomSeed(start);
        for (int i = 0; i < 50; ++i) {
            EXPECT_EQ(CallReal("random", {7.5}), ref.Real() * 7.5);
            EXPECT_EQ(CallReal("random_range", {10, -4}), -4 + ref.Real() * 14);
            EXPECT_EQ(CallReal("irandom", {6.9}), static_cast<double>(ref.Below(7)));
            EXPECT_EQ(CallReal("irandom_range", {3.7, -2.2}), -3 + static_cast<double>(ref.Below(7)));
            EXPECT_EQ(Call("choose", {RValue(1.0), RValue("two"), RValue(3.0)}).val() == 3.0 ? 2u : 0u,
                      ref.Below(3) == 2 ? 2u : 0u);
        }
        EXPECT_EQ(RandomSeed(), static_cast<uint32_t>(ref.seed));
    }
    SetRandomSeed(7);
    ReferenceGenerator ref{7};
    for (int i = 0; i < 20; ++i) {
        const RValue picked = Call("choose", {RValue("a"), RValue(2.0), RValue("c"), RValue(4.0)});
        const uint64_t k = ref.Below(4);
        EXPECT_EQ(Show(picked), std::string(k == 0 ? "\"a\"" : k == 1 ? "2" : k == 2 ? "\"c\"" : "4"));
    }
    EXPECT_EQ(Text("choose()"), "0");
    EXPECT_EQ(RandomSeed(), static_cast<uint32_t>(ref.seed)); // no draw without arguments
}

TEST_F(FunctionMath, RandomRangesBelowOneAreDefined) {
    SetRandomSeed(99);
    std::set<double> seen;
    for (int i = 0; i < 400; ++i) {
        const double v = CallReal("irandom", {-3.5}); // floor -4: from -4 to 0
        EXPECT_GE(v, -4);
        EXPECT_LE(v, 0);
        seen.insert(v);
        const double w = CallReal("irandom_range", {-10, -8});
        EXPECT_GE(w, -10);
        EXPECT_LE(w, -8);
        EXPECT_EQ(CallReal("irandom", {0.5}), 0);
    }
    EXPECT_EQ(seen.size(), 5u);
    // Ranges wider than 32 bits still stay within their bounds.
    for (int i = 0; i < 100; ++i) {
        const double v = CallReal("irandom_range", {-1e12, 1e12});
        EXPECT_GE(v, -1e12);
        EXPECT_LE(v, 1e12);
        EXPECT_EQ(v, std::floor(v));
        const double all = CallReal("irandom_range", {-9.2e18, 9.2e18});
        EXPECT_GE(all, -9.2e18);
        EXPECT_LE(all, 9.2e18);
    }
    // A range of exactly 2^32 values takes the seed itself.
    SetRandomSeed(5);
    ReferenceGenerator ref{5};
    EXPECT_EQ(CallReal("irandom_range", {0, 4294967295.0}), static_cast<double>(ref.Next()));
}

TEST_F(FunctionMath, RandomizeTakesTheSeedSource) {
    SetRandomSeedSource([]() -> uint32_t { return 4242; });
    EXPECT_EQ(Text("randomize(); return random_get_seed()"), "4242");
    SetRandomSeedSource(nullptr);
    RandomizeSeed(); // the clock: anything, but no fault
}

TEST_F(FunctionMath, Geometry) {
    const TextCase cases[] = {
        {"point_direction(0, 0, 0, 10)", "270"},
        {"point_direction(0, 0, 0, -10)", "90"},
        {"point_direction(5, 5, 5, 5)", "0"},
        {"point_direction(0, 0, -1, 0)", "180"},
        {"point_direction(0, 0, 10, 0)", "0"},
        {"point_direction(0, 0, 1, -1)", "45"},
        {"point_direction(0, 0, 1, 1)", "315"},
        {"point_direction(0, 0, -1, 1)", "225"},
        {"point_distance(1, 1, 4, 5)", "5"},
        {"point_distance_3d(0, 0, 0, 2, 3, 6)", "7"},
        {"lengthdir_x(10, 90)", "0"},
        {"lengthdir_y(10, 90)", "-10"},
        {"lengthdir_x(10, 180)", "-10"},
        {"lengthdir_y(10, 270)", "10"},
        {"lengthdir_x(10, 60)", "5"},
        {"lengthdir_x(2, 45)", "1.41"},
        {"dot_product(1, 0, 0, 1)", "0"},
        {"dot_product(2, 0, -3, 0)", "-1"},
        {"dot_product(0, 0, 3, 4)", "0"},
        {"dot_product_3d(0, 0, 0, 1, 2, 3)", "0"},
        {"dot_product_3d(0, 2, 0, 0, 5, 0)", "1"},
    };
    for (const TextCase& c : cases) EXPECT_EQ(Text(c.code), c.expected) << c.code;
    // Snapped to exact integers, not merely close.
    EXPECT_EQ(CallReal("lengthdir_x", {10, 90}), 0.0);
    EXPECT_EQ(CallReal("lengthdir_y", {7, 90}), -7.0);
    EXPECT_EQ(CallReal("lengthdir_x", {2, 45}), 2 * std::cos(45 * 3.141592653589793 / 180));
    EXPECT_DOUBLE_EQ(CallReal("point_direction", {0, 0, 3, -4}),
                     std::atan2(4.0, 3.0) * 180 / 3.141592653589793);
}

} // namespace
