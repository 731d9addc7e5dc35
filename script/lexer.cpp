#include "script/lexer.h"

#include <array>
#include <cmath>

#include "script/operators.h"
#include "base/utf.h"

namespace kestrin {

namespace {

struct Keyword {
    std::u16string_view text;
    int32_t symbol;
};

constexpr std::array<Keyword, 26> kKeywords = {{
    {u"begin", kSymBegin},
    {u"end", kSymEndBlock},
    {u"if", kSymIf},
    {u"then", kSymThen},
    {u"else", kSymElse},
    {u"while", kSymWhile},
    {u"do", kSymDo},
    {u"for", kSymFor},
    {u"until", kSymUntil},
    {u"repeat", kSymRepeat},
    {u"exit", kSymExit},
    {u"break", kSymBreak},
    {u"continue", kSymContinue},
    {u"with", kSymWith},
    {u"return", kSymReturn},
    {u"switch", kSymSwitch},
    {u"case", kSymCase},
    {u"default", kSymDefault},
    {u"var", kSymVar},
    {u"globalvar", kSymGlobalvar},
    {u"and", kOpAnd},
    {u"or", kOpOr},
    {u"not", kOpNot},
    {u"div", kOpDiv},
    {u"mod", kOpMod},
    {u"xor", kOpXor},
}};

struct Pair {
    char16_t first, second;
    int32_t symbol;
};

constexpr std::array<Pair, 18> kPairs = {{
    {u':', u'=', kSymAssign},
    {u'+', u'=', kSymPlusAssign},
    {u'-', u'=', kSymMinusAssign},
    {u'*', u'=', kSymMultiplyAssign},
    {u'/', u'=', kSymDivideAssign},
    {u'&', u'&', kOpAnd},
    {u'|', u'|', kOpOr},
    {u'<', u'=', kOpLessEqual},
    {u'=', u'=', kOpEqual},
    {u'!', u'=', kOpNotEqual},
    {u'<', u'>', kOpNotEqual},
    {u'>', u'=', kOpGreaterEqual},
    {u'|', u'=', kSymOrAssign},
    {u'&', u'=', kSymAndAssign},
    {u'^', u'=', kSymXorAssign},
    {u'<', u'<', kOpShiftLeft},
    {u'>', u'>', kOpShiftRight},
    {u'^', u'^', kOpXor},
}};

int32_t SingleSymbol(char16_t c) {
    switch (c) {
    case u'!':
        return kOpNot;
    case u'&':
        return kOpBitAnd;
    case u'(':
        return kSymOpenParen;
    case u')':
        return kSymCloseParen;
    case u'*':
        return kOpMultiply;
    case u'+':
        return kOpPlus;
    case u',':
        return kSymComma;
    case u'-':
        return kOpMinus;
    case u'.':
        return kSymDot;
    case u'/':
        return kOpDivide;
    case u':':
        return kSymColon;
    case u';':
        return kSymSemicolon;
    case u'<':
        return kOpLess;
    case u'=':
        return kSymAssign;
    case u'>':
        return kOpGreater;
    case u'[':
        return kSymOpenBracket;
    case u']':
        return kSymCloseBracket;
    case u'^':
        return kOpBitXor;
    case u'{':
        return kSymBegin;
    case u'|':
        return kOpBitOr;
    case u'}':
        return kSymEndBlock;
    case u'~':
        return kOpBitNot;
    default:
        return kSymError;
    }
}

bool IsLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
}
bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}
bool IsHexDigit(char16_t c) {
    return IsDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Reads the tokens of a text that has three spaces appended; indices are 0-based here and
// positions 1-based in the tokens.
class Lexer {
public:
    explicit Lexer(std::u16string text) : t_(std::move(text)) {}

    RToken1 Next() {
        for (;;) {
            while (p_ < t_.size() && t_[p_] <= 32) ++p_;
            if (p_ >= t_.size()) return Make(kSymEnd, p_, p_);
            const size_t last = t_.size() - 1;
            if (p_ < last && t_[p_] == u'/' && t_[p_ + 1] == u'/') {
                while (p_ < t_.size() && t_[p_] != u'\r' && t_[p_] != u'\n') ++p_;
                ++p_;
                continue;
            }
            if (p_ < last && t_[p_] == u'/' && t_[p_ + 1] == u'*') {
                // The first test is one character after the opener, so "/*/" closes itself.
                ++p_;
                while (p_ < last && !(t_[p_] == u'*' && t_[p_ + 1] == u'/')) ++p_;
                p_ += 2;
                continue;
            }
            break;
        }
        const size_t start = p_;
        const char16_t c = t_[p_];
        if (IsLetter(c)) {
            while (p_ < t_.size() && (IsLetter(t_[p_]) || IsDigit(t_[p_]))) ++p_;
            const std::u16string_view word(t_.data() + start, p_ - start);
            int32_t symbol = kSymIdentifier;
            for (const Keyword& k : kKeywords)
                if (k.text == word) symbol = k.symbol;
            return Make(symbol, start, p_);
        }
        if (IsDigit(c) || c == u'$' || (c == u'.' && p_ + 1 < t_.size() && IsDigit(t_[p_ + 1]))) {
            if (c == u'$') {
                ++p_;
                while (p_ < t_.size() && IsHexDigit(t_[p_])) ++p_;
            } else {
                while (p_ < t_.size() && (IsDigit(t_[p_]) || t_[p_] == u'.')) ++p_;
            }
            return Make(kSymNumber, start, p_);
        }
        if (c == u'\'' || c == u'"') {
            ++p_;
            const size_t from = p_;
            while (p_ < t_.size() && t_[p_] != c) ++p_;
            RToken1 token = Make(kSymString, start, start);
            token.str = Utf16ToUtf8(std::u16string_view(t_.data() + from, p_ - from));
            if (p_ < t_.size()) ++p_;
            return token;
        }
        if (p_ + 1 < t_.size()) {
            for (const Pair& pair : kPairs) {
                if (pair.first == c && pair.second == t_[p_ + 1]) {
                    p_ += 2;
                    return Make(pair.symbol, start, p_);
                }
            }
        }
        const int32_t symbol = SingleSymbol(c);
        if (symbol != kSymError) ++p_;
        return Make(symbol, start, p_);
    }

private:
    RToken1 Make(int32_t symbol, size_t start, size_t end) const {
        RToken1 token;
        token.symbol = symbol;
        if (end > start) token.str = Utf16ToUtf8(std::u16string_view(t_.data() + start, end - start));
        token.position = static_cast<int32_t>(start + 1);
        return token;
    }

    std::u16string t_;
    size_t p_ = 0;
};

} // namespace

ScriptMessage Tokenize(std::string_view code, RTokenList1& list, int32_t& errorPosition) {
    list.items.clear();
    std::u16string text = Utf8ToUtf16(code);
    text.append(u"   ");
    Lexer lexer(std::move(text));
    for (;;) {
        RToken1 token = lexer.Next();
        if (token.symbol == kSymError) {
            errorPosition = token.position;
            list.items.clear();
            return ScriptMessage::UnexpectedSymbol;
        }
        const bool end = token.symbol == kSymEnd;
        list.items.push_back(std::move(token));
        if (end) return ScriptMessage::None;
    }
}

double NumberLiteralValue(std::string_view text) {
    double v = 0.0, f = 1.0;
    bool hex = false, fraction = false;
    for (const char c : text) {
        if (c == '$') {
            hex = true;
            continue;
        }
        if (c == '.') {
            fraction = true;
            continue;
        }
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            continue;
        // Each step is formed exactly and rounded once, as a wide intermediate would give.
        if (hex) {
            v = std::fma(v, 16.0, digit);
        } else if (fraction) {
            f /= 10.0;
            v = std::fma(digit, f, v);
        } else {
            v = std::fma(v, 10.0, digit);
        }
    }
    return v;
}

} // namespace kestrin
