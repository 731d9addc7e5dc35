#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "script/lexer.h"
#include "script/operators.h"

using namespace kestrin;

namespace {

struct Tok {
    int32_t symbol;
    std::string str;
    int32_t position;
    bool operator==(const Tok&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Tok& t) {
    return os << "{" << t.symbol << ", \"" << t.str << "\", " << t.position << "}";
}

std::vector<Tok> Lex(std::string_view code) {
    RTokenList1 list;
    int32_t errorPosition = 0;
    EXPECT_EQ(Tokenize(code, list, errorPosition), ScriptMessage::None) << code;
    std::vector<Tok> out;
    for (const RToken1& t : list.items) out.push_back({t.symbol, t.str, t.position});
    return out;
}

std::vector<int32_t> Symbols(std::string_view code) {
    std::vector<int32_t> out;
    for (const Tok& t : Lex(code)) out.push_back(t.symbol);
    return out;
}

} // namespace

TEST(ScriptLexer, TokenStreamsWithPositions) {
    EXPECT_EQ(Lex("a=b"), (std::vector<Tok>{{0, "a", 1}, {101, "=", 2}, {0, "b", 3}, {-2, "", 7}}));
    EXPECT_EQ(Lex(""), (std::vector<Tok>{{-2, "", 4}}));
    EXPECT_EQ(Lex("  x += 10;\n"),
              (std::vector<Tok>{{0, "x", 3}, {102, "+=", 5}, {1, "10", 8}, {108, ";", 10}, {-2, "", 15}}));
    // Positions count UTF-16 code units: the string holds one character of two units.
    EXPECT_EQ(Lex("s=\"\xF0\x9F\x98\x80\"+t"), (std::vector<Tok>{{0, "s", 1},
                                                                 {101, "=", 2},
                                                                 {2, "\xF0\x9F\x98\x80", 3},
                                                                 {210, "+", 7},
                                                                 {0, "t", 8},
                                                                 {-2, "", 12}}));
}

TEST(ScriptLexer, OperatorsAndPunctuation) {
    const struct {
        const char* code;
        std::vector<int32_t> symbols;
    } cases[] = {
        {"a:=b", {0, 101, 0, -2}},
        {"a==b", {0, 206, 0, -2}},
        {"a<>b", {0, 207, 0, -2}},
        {"a!=b", {0, 207, 0, -2}},
        {"x+=1", {0, 102, 1, -2}},
        {"x+ =1", {0, 210, 101, 1, -2}},
        {"-= *= /= |= &= ^=", {103, 104, 105, 114, 115, 116, -2}},
        {"&& || ^^ << >> <= >=", {201, 202, 216, 221, 222, 205, 208, -2}},
        {"! & ( ) * + , - . / : ; < = > [ ] ^ { | } ~",
         {203, 218, 106, 107, 212, 210, 109, 211, 112, 213, 113, 108,
          204, 101, 209, 110, 111, 219, 11,  217, 12,  220, -2}},
        {"a.b[1,2]", {0, 112, 0, 110, 1, 109, 1, 111, -2}},
        {"<<=", {221, 101, -2}},
    };
    for (const auto& c : cases) EXPECT_EQ(Symbols(c.code), c.symbols) << c.code;
}

TEST(ScriptLexer, KeywordsAreCaseSensitive) {
    EXPECT_EQ(Symbols("begin end if then else while do for until repeat exit break continue with return "
                      "switch case default var globalvar"),
              (std::vector<int32_t>{11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                                    22, 23, 24, 25, 26, 27, 28, 29, 30, -2}));
    EXPECT_EQ(Symbols("and or not div mod xor"), (std::vector<int32_t>{201, 202, 203, 214, 215, 216, -2}));
    EXPECT_EQ(Symbols("Begin IF true self global _x1 if2"), (std::vector<int32_t>{0, 0, 0, 0, 0, 0, 0, -2}));
}

TEST(ScriptLexer, Comments) {
    EXPECT_EQ(Lex("/* a */b"), (std::vector<Tok>{{0, "b", 8}, {-2, "", 12}}));
    EXPECT_EQ(Symbols("/*/ b"), (std::vector<int32_t>{0, -2}));
    EXPECT_EQ(Symbols("/* a"), (std::vector<int32_t>{-2}));
    EXPECT_EQ(Symbols("a // x"), (std::vector<int32_t>{0, -2}));
    EXPECT_EQ(Symbols("a // x\r\nb"), (std::vector<int32_t>{0, 0, -2}));
    EXPECT_EQ(Symbols("a/b"), (std::vector<int32_t>{0, 213, 0, -2}));
}

TEST(ScriptLexer, Strings) {
    EXPECT_EQ(Lex("\"it's\""), (std::vector<Tok>{{2, "it's", 1}, {-2, "", 10}}));
    EXPECT_EQ(Lex("'say \"hi\"'")[0], (Tok{2, "say \"hi\"", 1}));
    EXPECT_EQ(Lex("'a\nb'")[0], (Tok{2, "a\nb", 1}));
    // Never closed: runs to the end of the text, the three appended spaces included.
    EXPECT_EQ(Lex("x='abc"), (std::vector<Tok>{{0, "x", 1}, {101, "=", 2}, {2, "abc   ", 3}, {-2, "", 10}}));
    // No escapes.
    EXPECT_EQ(Lex("'a\\'")[0], (Tok{2, "a\\", 1}));
}

TEST(ScriptLexer, NumberLiterals) {
    const struct {
        const char* code;
        std::vector<std::string> texts;
        std::vector<double> values;
    } cases[] = {
        {"$1F", {"$1F"}, {31}},
        {"$ff", {"$ff"}, {255}},
        {"1.5", {"1.5"}, {1.5}},
        {".5", {".5"}, {0.5}},
        {"5.", {"5."}, {5}},
        {"1.2.3", {"1.2.3"}, {1.23}},
        {"$1.5", {"$1", ".5"}, {1, 0.5}},
        {"$", {"$"}, {0}},
        {"0.1", {"0.1"}, {0.1}},
        {"123456789", {"123456789"}, {123456789}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> texts;
        std::vector<double> values;
        for (const Tok& t : Lex(c.code)) {
            if (t.symbol != kSymNumber) continue;
            texts.push_back(t.str);
            values.push_back(NumberLiteralValue(t.str));
        }
        EXPECT_EQ(texts, c.texts) << c.code;
        EXPECT_EQ(values, c.values) << c.code;
    }
    // Every step is rounded, so a long fraction can miss the correctly rounded double.
    EXPECT_NEAR(NumberLiteralValue("0.123456789012345678"), 0.123456789012345678, 1e-16);
    EXPECT_EQ(NumberLiteralValue(std::string(400, '9')), INFINITY);
    EXPECT_EQ(Symbols(". 5"), (std::vector<int32_t>{112, 1, -2}));
}

TEST(ScriptLexer, UnexpectedSymbol) {
    const struct {
        const char* code;
        int32_t position;
    } cases[] = {
        {"\xC3\xA9 = 1", 1}, {"a = #1", 5}, {"a ? b", 3},
        {"5 % 2", 3},        {"a\\b", 2},   {"\"\xF0\x9F\x98\x80\" @", 6},
    };
    for (const auto& c : cases) {
        RTokenList1 list;
        list.items.push_back({});
        int32_t position = 0;
        EXPECT_EQ(MessageText(Tokenize(c.code, list, position)), "Unexpected symbol.") << c.code;
        EXPECT_EQ(position, c.position) << c.code;
        EXPECT_EQ(list.n(), 0);
    }
}

TEST(ScriptLexer, ControlCharactersAreWhitespace) {
    EXPECT_EQ(Symbols(std::string("a\x01\x1F\tb", 5)), (std::vector<int32_t>{0, 0, -2}));
}
