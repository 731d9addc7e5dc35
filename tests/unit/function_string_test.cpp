#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "function_fixture.h"
#include "script/function_string.h"

using namespace kestrin;
using namespace kestrin::testing;

namespace {

class FunctionString : public FunctionTest {};

TEST_F(FunctionString, Conversions) {
    const TextCase cases[] = {
        {R"(string(3))", R"("3")"},
        {R"(string(1/3))", R"("0.33")"},
        {R"(string(2.5))", R"("2.50")"},
        {R"(string(-0.5))", R"("-0.50")"},
        {R"(string("x"))", R"("x")"},
        {R"(string_format(3.14159, 8, 3))", R"("   3.142")"},
        {R"(string_format(12345, 3, 0))", R"("12345")"},
        {R"(string_format(-2.5, 6, 1))", R"("  -2.5")"},
        {R"(string_format("abc", 10, 2))", R"("abc")"},
        {R"(string_format(5, 0, 25))", R"("5.000000000000000000")"},
        {R"(string_format(5, 0, -3))", R"("5")"},
        {R"(real("  "))", "0"},
        {R"(real(""))", "0"},
        {R"(real("abc"))", "0 ! Error in function real()."},
        {R"(real(" -2.5 "))", "-2.50"},
        {R"(real("+4"))", "4"},
        {R"(real(".5"))", "0.50"},
        {R"(real("5."))", "5"},
        {R"(real(7))", "7"},
        {R"(real("1e"))", "0 ! Error in function real()."},
        {R"(real("1,5"))", "0 ! Error in function real()."},
        {R"(real("0x10"))", "0 ! Error in function real()."},
        {R"(real("inf"))", "0 ! Error in function real()."},
        {R"(real("nan"))", "0 ! Error in function real()."},
        {R"(real("."))", "0 ! Error in function real()."},
        {R"(real("1 2"))", "0 ! Error in function real()."},
        {R"(real("1e400"))", "0 ! Error in function real()."},
        {R"(real("0.0001e-400"))", "0"},
    };
    for (const TextCase& c : cases) EXPECT_EQ(Text(c.code), c.expected) << c.code;

    double value = 0;
    EXPECT_TRUE(ParseReal("1e3", value));
    EXPECT_EQ(value, 1000.0);
    EXPECT_TRUE(ParseReal("-1.5E-2", value));
    EXPECT_EQ(value, -0.015);
    EXPECT_TRUE(ParseReal("\t 0.1\r\n", value));
    EXPECT_EQ(value, 0.1);
    EXPECT_EQ(Show(Call("string", {RValue(1e15)})), R"("1000000000000000")");
    EXPECT_EQ(Show(Call("string_format", {RValue(NAN), RValue(8.0), RValue(2.0)})), R"("ERROR")");
    EXPECT_EQ(Show(Call("string_format", {RValue(-INFINITY), RValue(0.0), RValue(2.0)})), R"("ERROR")");
}

TEST_F(FunctionString, FixedPointAtEighteenDigits) {
    // Expected texts from Python: '%.17e' % value, then decimal rounding half away from zero.
    const struct {
        double value;
        int decimals;
        const char* text;
    } cases[] = {
        {2.5, 0, "3"},
        {0.6, 0, "1"},
        {0.125, 2, "0.13"},
        {1.005, 2, "1.00"}, // 1.00499999999999989...
        {-0.001, 2, "0.00"},
        {99.999, 2, "100.00"},
        {0.1, 18, "0.100000000000000006"},
        {123456789.123456789, 5, "123456789.12346"},
        {1e20, 1, "100000000000000000000.0"},
        {-7e-20, 3, "0.000"},
        {0, 2, "0.00"},
        {-42, 0, "-42"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatFixed(c.value, c.decimals), c.text) << c.value;
}

TEST_F(FunctionString, CharactersAndBytes) {
    const TextCase cases[] = {
        {R"(chr(65))", R"("A")"},
        {R"(chr(321))", R"("A")"}, // the low byte
        {R"(chr(233))", R"("é")"},
        {R"(chr(128))", R"("€")"},
        {R"(chr(159))", R"("Ÿ")"},
        {R"(ord("A"))", "65"},
        {R"(ord(""))", "0"},
        {R"(ord("é"))", "233"}, // its byte in the code page chr reads
        {R"(ord("€"))", "128"},
        {R"(ord(chr(159)))", "159"},
        {R"(ord("Ж"))", "63"}, // not in the code page: "?"
        {R"(string_byte_length(ansi_char(200)))", "1"},
        {R"(string_byte_at(ansi_char(456), 1))", "200"},
        {R"(string_length("héllo"))", "5"},
        {R"(string_length("a😀b"))", "4"},
        {R"(string_length(""))", "0"},
        {R"(string_byte_length("héllo"))", "6"},
        {R"(string_byte_at("abc", 2))", "98"},
        {R"(string_byte_at("abc", 0))", "0"},
        {R"(string_byte_at("abc", 4))", "0"},
        {R"(string_byte_at("", 1))", "0"},
        {R"(string_byte_at("é", 2))", "169"},
    };
    for (const TextCase& c : cases) EXPECT_EQ(Text(c.code), c.expected) << c.code;

    SetChrDecoder([](unsigned char byte) -> char32_t { return 0x400 + byte; });
    EXPECT_EQ(Text("chr(16)"), R"("А")"); // U+0410
    SetChrDecoder(nullptr);
    EXPECT_EQ(Text("chr(16)"), "\"\x10\"");
    EXPECT_EQ(DefaultCodePageCharacter(0x81), 0x81u);
    EXPECT_EQ(DefaultCodePageCharacter(0xA0), 0xA0u);
}

TEST_F(FunctionString, PositionsCountUtf16Units) {
    const TextCase cases[] = {
        {R"(string_pos("lo", "hello"))", "4"},
        {R"(string_pos("x", "hello"))", "0"},
        {R"(string_pos("", "hello"))", "0"},
        {R"(string_pos("b", "é😀b"))", "4"},
        {R"(string_pos(ansi_char(128), "À"))", "0"}, // a byte inside a character never matches
        {R"(string_copy("hello", 0, 2))", R"("he")"},
        {R"(string_copy("hello", 2, 100))", R"("ello")"},
        {R"(string_copy("hello", 3, 0))", R"("")"},
        {R"(string_copy("hello", 3, -1))", R"("")"},
        {R"(string_copy("hello", 6, 1))", R"("")"},
        {R"(string_copy("héllo", 2, 3))", R"("éll")"},
        {R"(string_copy("a😀b", 2, 2))", R"("😀")"},
        {R"(string_copy("a😀b", 3, 2))", R"("�b")"}, // half a surrogate pair
        {R"(string_copy(ansi_char(200) + "a", 1, 2))", R"("�a")"},
        {R"(string_char_at("hello", 1))", R"("h")"},
        {R"(string_char_at("hello", 6))", R"("")"},
        {R"(string_char_at("hello", 0))", R"("")"},
        {R"(string_char_at(123, 1))", R"("")"},
        {R"(string_char_at("héllo", 2))", R"("é")"},
        {R"(string_delete("hello", 2, 2))", R"("hlo")"},
        {R"(string_delete("hello", 0, 2))", R"("ello")"},
        {R"(string_delete("hello", 4, 10))", R"("hel")"},
        {R"(string_delete("hello", 9, 1))", R"("hello")"},
        {R"(string_delete("hello", 2, 0))", R"("hello")"},
        {R"(string_delete("héllo", 2, 1))", R"("hllo")"},
        {R"(string_insert("X", "hello", 3))", R"("heXllo")"},
        {R"(string_insert("X", "hello", 0))", R"("Xhello")"},
        {R"(string_insert("X", "hello", 99))", R"("helloX")"},
        {R"(string_insert("X", "", 1))", R"("X")"},
        {R"(string_insert("X", "héllo", 3))", R"("héXllo")"},
        {R"(string_insert("X", "a😀b", 3))", R"("aX😀b")"},
        {R"(string_insert("X", "a😀b", 4))", R"("a😀Xb")"},
    };
    for (const TextCase& c : cases) EXPECT_EQ(Text(c.code), c.expected) << c.code;

    // Every character of a text is reached by a loop up to string_length.
    EXPECT_EQ(
        Text(
            R"(var s, i, t; s = "a😀é"; t = ""; for (i = 1; i <= string_length(s); i += 1) t += string_char_at(s, i); return string_length(t))"),
        "4");
}

TEST_F(FunctionString, CaseAndFilters) {
    const TextCase cases[] = {
        {R"(string_lower("HÉLLO ΩMEGA Ж"))", R"("héllo ωmega ж")"},
        {R"(string_upper("héllo ωmega ж"))", R"("HÉLLO ΩMEGA Ж")"},
        {R"(string_upper("straße 1"))", R"("STRAßE 1")"},
        {R"(string_lower(""))", R"("")"},
        {R"(string_repeat("ab", 3))", R"("ababab")"},
        {R"(string_repeat("ab", 0))", R"("")"},
        {R"(string_repeat("ab", -2))", R"("")"},
        {R"(string_repeat("ab", 2.5))", R"("abab")"},
        {R"(string_letters("a1B2"))", R"("aB")"},
        {R"(string_digits("a1B2é3"))", R"("123")"},
        {R"(string_lettersdigits("a-1 B_2é"))", R"("a1B2")"},
        {R"(string_replace("abcabc", "b", "XY"))", R"("aXYcabc")"},
        {R"(string_replace("abc", "z", "x"))", R"("abc")"},
        {R"(string_replace_all("abcabc", "b", "XY"))", R"("aXYcaXYc")"},
        {R"(string_replace_all("aaa", "a", "aa"))", R"("aaaaaa")"},
        {R"(string_replace_all("abc", "", "x"))", R"("abc")"},
        {R"(string_replace_all("ééé", ansi_char(169), "x"))", R"("ééé")"},
        {R"(string_count("aa", "aaaa"))", "2"},
        {R"(string_count("a", "banana"))", "3"},
        {R"(string_count("", "abc"))", "0"},
        {R"(string_count("é", "éaé"))", "2"},
    };
    for (const TextCase& c : cases) EXPECT_EQ(Text(c.code), c.expected) << c.code;
}

TEST_F(FunctionString, TextStaysWithinTheValueLimit) {
    EXPECT_THROW(Call("string_repeat", {RValue("ab"), RValue(1e9)}), TextLimitFault);
    EXPECT_THROW(Call("string_format", {RValue(1.0), RValue(1e10), RValue(0.0)}), TextLimitFault);
    EXPECT_EQ(Call("string_repeat", {RValue(""), RValue(1e15)}).str(), "");
}

} // namespace
