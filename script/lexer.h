#pragma once
// The lexer, first phase of compiling a piece of code: text to a flat list of tokens with
// their symbol code, text and 1-based position (in UTF-16 code units of the code text).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/messages.h"

namespace kestrin {

// Token codes. The operator codes 201..222 are those of OperatorCode (operators.h).
enum TokenSymbol : int32_t {
    kSymEnd = -2,
    kSymError = -1,
    kSymIdentifier = 0,
    kSymNumber = 1,
    kSymString = 2,
    kSymBegin = 11,    // `begin`, `{`
    kSymEndBlock = 12, // `end`, `}`
    kSymIf = 13,
    kSymThen = 14,
    kSymElse = 15,
    kSymWhile = 16,
    kSymDo = 17,
    kSymFor = 18,
    kSymUntil = 19,
    kSymRepeat = 20,
    kSymExit = 21,
    kSymBreak = 22,
    kSymContinue = 23,
    kSymWith = 24,
    kSymReturn = 25,
    kSymSwitch = 26,
    kSymCase = 27,
    kSymDefault = 28,
    kSymVar = 29,
    kSymGlobalvar = 30,
    kSymAssign = 101, // `=`, `:=`
    kSymPlusAssign = 102,
    kSymMinusAssign = 103,
    kSymMultiplyAssign = 104,
    kSymDivideAssign = 105,
    kSymOpenParen = 106,
    kSymCloseParen = 107,
    kSymSemicolon = 108,
    kSymComma = 109,
    kSymOpenBracket = 110,
    kSymCloseBracket = 111,
    kSymDot = 112,
    kSymColon = 113,
    kSymOrAssign = 114,
    kSymAndAssign = 115,
    kSymXorAssign = 116,
};

struct RToken1 {
    int32_t symbol = kSymEnd;
    // The characters of the token as UTF-8; for a string literal those between the quotes.
    std::string str;
    // 1-based index of the first character (the opening quote of a string), in UTF-16 units.
    int32_t position = 0;
};

struct RTokenList1 {
    std::vector<RToken1> items;
    int32_t n() const { return static_cast<int32_t>(items.size()); }
};

// Fills `list` (ending with exactly one end token). On a character that starts no token,
// returns UnexpectedSymbol with its position in `errorPosition` and leaves `list` empty.
[[nodiscard]] ScriptMessage Tokenize(std::string_view code, RTokenList1& list, int32_t& errorPosition);

// The value of a number literal's text: `$` starts hexadecimal, the first `.` starts the
// fraction, later dots change nothing; every step is rounded to a double as it is made.
// Literals too large for a double give infinity.
double NumberLiteralValue(std::string_view text);

} // namespace kestrin
