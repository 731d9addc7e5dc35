#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/stream.h"
#include "base/numeric.h"
#include "script/value.h"

using namespace kestrin;

TEST(ScriptNumeric, RoundingTiesToEven) {
    const struct {
        double in;
        int64_t out;
    } cases[] = {
        {2.5, 2},
        {3.5, 4},
        {-2.5, -2},
        {-3.5, -4},
        {0.5, 0},
        {1.5, 2},
        {0.49999999999999994, 0},
        {-0.3, 0},
        {2.4999, 2},
        {4503599627370497.0, 4503599627370497},
        {-4503599627370497.0, -4503599627370497},
        {9007199254740993.0, 9007199254740992},
        {-9223372036854775808.0, std::numeric_limits<int64_t>::min()},
    };
    for (const auto& c : cases) EXPECT_EQ(RoundToInt64(c.in), c.out) << c.in;
    EXPECT_EQ(RoundToInt32(4294967301.0), 5); // low 32 bits
    EXPECT_EQ(RoundToInt32(2147483648.0), std::numeric_limits<int32_t>::min());
}

TEST(ScriptNumeric, InvalidConversionsFault) {
    const double bad[] = {std::nan(""),           INFINITY, -INFINITY, 9223372036854775808.0,
                          -9223372036854777856.0, 1e300};
    for (const double v : bad) {
        EXPECT_THROW((void)RoundToInt64(v), FloatingPointFault) << v;
        EXPECT_THROW((void)TruncToInt64(v), FloatingPointFault) << v;
        EXPECT_THROW((void)FloorToInt64(v), FloatingPointFault) << v;
        EXPECT_THROW((void)CeilToInt64(v), FloatingPointFault) << v;
    }
    try {
        (void)RoundToInt64(std::nan(""));
    } catch (const FloatingPointFault& fault) {
        EXPECT_EQ(fault.Kind(), FloatingPointFaultKind::InvalidOperation);
        EXPECT_STREQ(fault.what(), "Invalid floating point operation");
    }
}

TEST(ScriptNumeric, TruncatedQuotientKeepsLowBits) {
    EXPECT_EQ(TruncQuotientToInt32(3.9), 3);
    EXPECT_EQ(TruncQuotientToInt32(-3.9), -3);
    EXPECT_EQ(TruncQuotientToInt32(4294967296.0 + 7.5), 7);
    EXPECT_EQ(TruncQuotientToInt32(2147483648.0), std::numeric_limits<int32_t>::min());
}

TEST(ScriptNumeric, SaturatedConversionsNeverFault) {
    EXPECT_EQ(RoundToInt32Saturated(std::nan(""), -1), -1);
    EXPECT_EQ(RoundToInt32Saturated(1e100), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(RoundToInt32Saturated(-INFINITY), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(RoundToInt32Saturated(2.5), 2);
    EXPECT_EQ(TruncToInt32Saturated(-2.9), -2);
    EXPECT_EQ(RoundToInt64Saturated(1e300), std::numeric_limits<int64_t>::max());
}

TEST(ScriptNumeric, ArithmeticFaults) {
    EXPECT_THROW(CheckArithmetic(1e308, 1e308, 1e308 * 10), FloatingPointFault);
    EXPECT_THROW(CheckArithmetic(INFINITY, INFINITY, INFINITY - INFINITY), FloatingPointFault);
    // Infinite and NaN operands propagate without a fault.
    EXPECT_EQ(CheckArithmetic(INFINITY, 1, INFINITY), INFINITY);
    EXPECT_TRUE(std::isnan(CheckArithmetic(std::nan(""), 1, std::nan(""))));
    EXPECT_THROW(CheckedDivide(1, 0), FloatingPointFault);
    EXPECT_THROW(CheckedDivide(0, 0), FloatingPointFault);
    EXPECT_EQ(CheckedDivide(1, 4), 0.25);
}

TEST(ScriptValue, DefaultIsRealZeroAndOtherFieldsRead) {
    RValue v;
    EXPECT_TRUE(v.IsReal());
    EXPECT_EQ(v.val(), 0.0);
    EXPECT_EQ(v.str(), "");
    const RValue s("abc");
    EXPECT_EQ(s.kind(), kKindString);
    EXPECT_EQ(s.val(), 0.0); // a string read as a number is 0
    EXPECT_EQ(RValue(2.5).str(), "");
    EXPECT_TRUE(RValue(std::string_view()).IsString()); // the empty string is still a string
}

TEST(ScriptValue, CopiesShareTextAndBehaveAsIndependentValues) {
    RValue a("hello");
    RValue b = a;
    EXPECT_EQ(a.Text(), b.Text());
    EXPECT_EQ(a.Text()->refs, 2u);
    b.SetString("world");
    EXPECT_EQ(a.str(), "hello");
    EXPECT_EQ(a.Text()->refs, 1u);
    b = a;
    RValue& alias = b;
    b = alias; // self-assignment keeps the text alive
    EXPECT_EQ(b.str(), "hello");
    RValue c = std::move(b);
    EXPECT_EQ(c.str(), "hello");
    EXPECT_TRUE(b.IsReal());
    c = RValue(1.0);
    EXPECT_EQ(a.Text()->refs, 1u);
    EXPECT_TRUE(a.SameAs(RValue("hello")));
    EXPECT_FALSE(a.SameAs(RValue(0.0)));
}

TEST(ScriptValue, TextLimitIsAFault) {
    EXPECT_THROW(RText::Allocate(kMaxTextBytes + 1), TextLimitFault);
}

TEST(ScriptValue, StoredFormRoundTrip) {
    CStream out;
    RValue(-1.25).SaveToStream(out);
    RValue("h\xC3\xA9llo").SaveToStream(out);
    out.Seek(0);
    RValue a("x"), b;
    a.LoadFromStream(out);
    b.LoadFromStream(out);
    EXPECT_TRUE(a.SameAs(RValue(-1.25)));
    EXPECT_TRUE(b.SameAs(RValue("h\xC3\xA9llo")));
    EXPECT_EQ(out.Remaining(), 0u);
}

TEST(ScriptValue, StoredFormRejectsUnknownKind) {
    CStream out;
    out.WriteInteger(7);
    out.WriteReal(0);
    out.WriteString("");
    out.Seek(0);
    RValue v;
    EXPECT_THROW(v.LoadFromStream(out), StreamError);
}

TEST(ScriptText, ComparesByUtf16CodeUnits) {
    const struct {
        const char* a;
        const char* b;
        int sign;
    } cases[] = {
        {"a", "b", -1},
        {"B", "a", -1},
        {"ab", "a", 1},
        {"", "a", -1},
        {"abc", "abc", 0},
        {"abc", "abd", -1},
        {"\xC3\xA9", "\xC3\xA8", 1},             // é > è
        {"\xEF\xBC\xA1", "\xF0\x9F\x98\x80", 1}, // U+FF21 sorts after a surrogate pair in UTF-16
        {"x\xF0\x9F\x98\x80", "x\xF0\x9F\x98\x81", -1},
        {"\xC3", "\xC3\xA9", 1}, // malformed byte reads as U+FFFD
    };
    for (const auto& c : cases) {
        const int r = CompareTextUtf16(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
    }
}

TEST(ScriptText, Utf16Conversions) {
    const std::string text = "a\xC3\xA9\xF0\x9F\x98\x80";
    const std::u16string units = Utf8ToUtf16(text);
    EXPECT_EQ(units.size(), 4u);
    EXPECT_EQ(Utf16Length(text), 4u);
    EXPECT_EQ(Utf16ToUtf8(units), text);
    EXPECT_EQ(Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx"); // lone surrogate
}
