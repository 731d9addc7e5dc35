#include "script/function_string.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <locale.h>
#include <system_error>
#include <wctype.h>

#include "script/math_messages.h"
#include "base/numeric.h"
#include "script/run_error.h"
#include "script/scripts.h"
#include "base/utf.h"
#include "script/value.h"

namespace kestrin {

namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";
constexpr int64_t kTextEnd = std::numeric_limits<int64_t>::max();

// A position in UTF-8 text: the byte offset and the number of UTF-16 code units before it.
struct TextCursor {
    std::string_view text;
    size_t byte = 0;
    int64_t unit = 0;

    bool AtEnd() const { return byte >= text.size(); }
    // One character forward; its UTF-16 width (2 for a surrogate pair).
    int Step() {
        char32_t cp;
        byte += DecodeUtf8(text, byte, cp);
        const int width = cp >= 0x10000 ? 2 : 1;
        unit += width;
        return width;
    }
    // Forward by characters until at or past the byte offset.
    void StepTo(size_t target) {
        while (byte < target && !AtEnd()) Step();
    }
};

// The text between UTF-16 positions [from, to) (0-based), as the platform's UTF-16 form
// would give it back: malformed bytes and halves of a split surrogate pair become U+FFFD.
std::string Utf16Slice(std::string_view text, int64_t from, int64_t to) {
    std::string out;
    if (from < 0) from = 0;
    if (from >= to) return out;
    // Where the text is ASCII up to the end of the slice, code units are bytes.
    const size_t end = to < static_cast<int64_t>(text.size()) ? static_cast<size_t>(to) : text.size();
    size_t ascii = 0;
    while (ascii < end && static_cast<unsigned char>(text[ascii]) < 0x80) ++ascii;
    if (ascii == end) {
        if (static_cast<size_t>(from) < end)
            out.assign(text.substr(static_cast<size_t>(from), end - static_cast<size_t>(from)));
        return out;
    }
    int64_t unit = 0;
    for (size_t i = 0; i < text.size() && unit < to;) {
        char32_t cp;
        const size_t length = DecodeUtf8(text, i, cp);
        const int64_t width = cp >= 0x10000 ? 2 : 1;
        if (unit >= from && unit + width <= to) {
            if (cp == kReplacementCharacter && length == 1)
                out += kReplacementUtf8;
            else
                out.append(text.substr(i, length));
        } else if (unit + width > from) {
            out += kReplacementUtf8;
        }
        unit += width;
        i += length;
    }
    return out;
}

// The next occurrence of `pattern` (not empty) at or after the cursor that starts and ends on
// character boundaries of the text. On success the cursor stands at the end of the match.
bool FindNext(TextCursor& cursor, std::string_view pattern, size_t& startByte, int64_t& startUnit) {
    size_t from = cursor.byte;
    for (;;) {
        const size_t at = cursor.text.find(pattern, from);
        if (at == std::string_view::npos) return false;
        cursor.StepTo(at);
        if (cursor.byte != at) { // inside a character
            from = cursor.byte;
            continue;
        }
        TextCursor end = cursor;
        end.StepTo(at + pattern.size());
        if (end.byte == at + pattern.size()) {
            startByte = at;
            startUnit = cursor.unit;
            cursor = end;
            return true;
        }
        from = at + 1;
    }
}

// Appends to text that may not outgrow what a value can hold.
void AppendBounded(std::string& out, std::string_view piece) {
    if (piece.size() > kMaxTextBytes - std::min(out.size(), kMaxTextBytes)) throw TextLimitFault();
    out.append(piece);
}

// A position or count argument: rounded, low 32 bits.
int64_t IntegerArgument(const RValue& value) {
    return RoundToInt32(value.val());
}

// ---- Conversions ----

void real(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (args[0].IsReal()) return result.SetReal(args[0].val());
    double value;
    if (!ParseReal(args[0].str(), value))
        return ReportRunError(MathMessageText(MathMessage::RealConversion), false);
    result.SetReal(value);
}

void string(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (args[0].IsString()) {
        result = args[0];
        return;
    }
    result.SetString(RealText(args[0].val()));
}

void string_format(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (args[0].IsString()) {
        result = args[0];
        return;
    }
    if (!std::isfinite(args[0].val())) return result.SetString("ERROR");
    const int64_t total = RoundToInt64(args[1].val());
    const int64_t decimals = std::clamp<int64_t>(RoundToInt64(args[2].val()), 0, 18);
    std::string text = FormatFixed(args[0].val(), static_cast<int>(decimals));
    if (total > static_cast<int64_t>(text.size())) {
        if (total > static_cast<int64_t>(kMaxTextBytes)) throw TextLimitFault();
        text.insert(0, static_cast<size_t>(total) - text.size(), ' ');
    }
    result.SetString(text);
}

// ---- Characters and bytes ----

CharsetDecoder g_chrDecoder = &DefaultCodePageCharacter;

void chr(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const auto byte = static_cast<unsigned char>(RoundToInt64(args[0].val()) & 0xFF);
    std::string text;
    AppendUtf8(text, g_chrDecoder(byte));
    result.SetString(text);
}

void ansi_char(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const char byte = static_cast<char>(RoundToInt64(args[0].val()) & 0xFF);
    result.SetString(std::string_view(&byte, 1));
}

CharsetEncoder g_ordEncoder = &DefaultCodePageByte;

void ord(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const std::string_view s = args[0].str();
    result.SetReal(s.empty() ? 0.0 : g_ordEncoder(s));
}

// In UTF-16 code units like every position, so that a loop over string_length reaches every
// character with string_char_at.
void string_length(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(static_cast<double>(Utf16Length(args[0].str())));
}

void string_byte_length(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(static_cast<double>(args[0].str().size()));
}

void string_byte_at(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const std::string_view s = args[0].str();
    const int64_t n = RoundToInt64(args[1].val());
    if (n >= 1 && n <= static_cast<int64_t>(s.size()))
        result.SetReal(static_cast<unsigned char>(s[static_cast<size_t>(n - 1)]));
}

// ---- Positions ----

void string_pos(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const std::string_view pattern = args[0].str();
    if (pattern.empty()) return;
    TextCursor cursor{args[1].str()};
    size_t byte;
    int64_t unit;
    if (FindNext(cursor, pattern, byte, unit)) result.SetReal(static_cast<double>(unit + 1));
}

void string_copy(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const int64_t from = std::max<int64_t>(IntegerArgument(args[1]), 1) - 1;
    const int64_t count = IntegerArgument(args[2]);
    if (count <= 0) return result.SetString({});
    result.SetString(Utf16Slice(args[0].str(), from, from + count));
}

void string_char_at(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const int64_t index = IntegerArgument(args[1]);
    if (!args[0].IsString() || index < 1) return result.SetString({});
    result.SetString(Utf16Slice(args[0].str(), index - 1, index));
}

void string_delete(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const std::string_view s = args[0].str();
    const int64_t from = IntegerArgument(args[1]) - 1;
    const int64_t count = IntegerArgument(args[2]);
    // Only the part of the range inside the text is deleted.
    const int64_t begin = std::max<int64_t>(from, 0);
    const int64_t end = from + count;
    if (count <= 0 || end <= begin) return result.SetString(Utf16Slice(s, 0, kTextEnd));
    result.SetString(Utf16Slice(s, 0, begin) + Utf16Slice(s, end, kTextEnd));
}

// Inserts before a character position, never inside a UTF-8 sequence; a position inside a
// surrogate pair inserts before the pair.
void string_insert(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const std::string_view sub = args[0].str(), s = args[1].str();
    const int64_t target = std::max<int64_t>(IntegerArgument(args[2]), 1) - 1;
    TextCursor cursor{s};
    while (!cursor.AtEnd()) {
        TextCursor next = cursor;
        next.Step();
        if (next.unit > target) break;
        cursor = next;
    }
    std::string out;
    AppendBounded(out, s.substr(0, cursor.byte));
    AppendBounded(out, sub);
    AppendBounded(out, s.substr(cursor.byte));
    result.SetString(out);
}

// ---- Case ----

// Unicode case mapping from the C.UTF-8 character classes, which do not depend on the
// process locale; ASCII only where that locale is missing.
locale_t CaseLocale() {
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return locale;
}

enum class LetterCase { Lower, Upper };

std::string MapCase(std::string_view text, LetterCase to) {
    std::string out;
    out.reserve(text.size());
    const locale_t locale = CaseLocale();
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            char mapped = static_cast<char>(c);
            if (to == LetterCase::Lower && c >= 'A' && c <= 'Z') mapped = static_cast<char>(c + 32);
            if (to == LetterCase::Upper && c >= 'a' && c <= 'z') mapped = static_cast<char>(c - 32);
            out.push_back(mapped);
            ++i;
            continue;
        }
        char32_t cp;
        i += DecodeUtf8(text, i, cp);
        if (locale != static_cast<locale_t>(nullptr)) {
            const auto wide = static_cast<wint_t>(cp);
            cp = static_cast<char32_t>(to == LetterCase::Lower ? towlower_l(wide, locale)
                                                               : towupper_l(wide, locale));
        }
        AppendUtf8(out, cp);
    }
    return out;
}

void string_lower(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetString(MapCase(args[0].str(), LetterCase::Lower));
}

void string_upper(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetString(MapCase(args[0].str(), LetterCase::Upper));
}

// ---- Building text ----

void string_repeat(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const std::string_view s = args[0].str();
    const int64_t n = RoundToInt64(args[1].val());
    if (n <= 0 || s.empty()) return result.SetString({});
    if (static_cast<uint64_t>(n) > kMaxTextBytes / s.size()) throw TextLimitFault();
    std::string out;
    out.reserve(s.size() * static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i) out.append(s);
    result.SetString(out);
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

template <typename Keep> void KeepCharacters(std::string_view s, Keep keep, RValue& result) {
    std::string out;
    for (const char c : s)
        if (keep(c)) out.push_back(c);
    result.SetString(out);
}

void string_letters(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    KeepCharacters(args[0].str(), IsLetter, result);
}

void string_digits(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    KeepCharacters(args[0].str(), IsDigit, result);
}

void string_lettersdigits(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    KeepCharacters(
        args[0].str(), [](char c) { return IsLetter(c) || IsDigit(c); }, result);
}

enum class Occurrences { First, All };

void Replace(const RValue* args, Occurrences which, RValue& result) {
    const std::string_view s = args[0].str(), pattern = args[1].str(), replacement = args[2].str();
    if (pattern.empty()) {
        result = args[0].IsString() ? args[0] : RValue(std::string_view());
        return;
    }
    std::string out;
    TextCursor cursor{s};
    size_t copied = 0, at;
    int64_t unit;
    while (FindNext(cursor, pattern, at, unit)) {
        AppendBounded(out, s.substr(copied, at - copied));
        AppendBounded(out, replacement);
        copied = at + pattern.size();
        if (which == Occurrences::First) break;
    }
    AppendBounded(out, s.substr(copied));
    result.SetString(out);
}

void string_replace(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    Replace(args, Occurrences::First, result);
}

void string_replace_all(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    Replace(args, Occurrences::All, result);
}

void string_count(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const std::string_view pattern = args[0].str();
    if (pattern.empty()) return;
    TextCursor cursor{args[1].str()};
    size_t at;
    int64_t unit;
    double count = 0;
    while (FindNext(cursor, pattern, at, unit)) ++count;
    result.SetReal(count);
}

constexpr RFunctionSpec kStringFunctions[] = {
    {"real", real, 1},
    {"string", string, 1},
    {"string_format", string_format, 3},
    {"chr", chr, 1},
    {"ansi_char", ansi_char, 1},
    {"ord", ord, 1},
    {"string_length", string_length, 1},
    {"string_byte_length", string_byte_length, 1},
    {"string_byte_at", string_byte_at, 2},
    {"string_pos", string_pos, 2},
    {"string_copy", string_copy, 3},
    {"string_char_at", string_char_at, 2},
    {"string_delete", string_delete, 3},
    {"string_insert", string_insert, 3},
    {"string_lower", string_lower, 1},
    {"string_upper", string_upper, 1},
    {"string_repeat", string_repeat, 2},
    {"string_letters", string_letters, 1},
    {"string_digits", string_digits, 1},
    {"string_lettersdigits", string_lettersdigits, 1},
    {"string_replace", string_replace, 3},
    {"string_replace_all", string_replace_all, 3},
    {"string_count", string_count, 2},
};

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

// Number of decimal digits at the front of the text.
size_t DigitRun(std::string_view text, size_t at) {
    size_t n = 0;
    while (at + n < text.size() && IsDigit(text[at + n])) ++n;
    return n;
}

} // namespace

std::span<const RFunctionSpec> StringFunctions() {
    return kStringFunctions;
}

char32_t DefaultCodePageCharacter(unsigned char byte) {
    // Windows-1252 differs from Latin-1 only in 0x80..0x9F; its five unassigned bytes map to
    // the control characters of the same number.
    static constexpr std::array<char16_t, 32> kHigh = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80u] : char32_t{byte};
}

int32_t DefaultCodePageByte(std::string_view text) {
    char32_t c = 0;
    DecodeUtf8(text, 0, c);
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int32_t>(c);
    for (unsigned char byte = 0x80; byte < 0xA0; ++byte)
        if (DefaultCodePageCharacter(byte) == c) return byte;
    return '?';
}

void SetOrdEncoder(CharsetEncoder encoder) {
    g_ordEncoder = encoder ? encoder : &DefaultCodePageByte;
}

void SetChrDecoder(CharsetDecoder decoder) {
    g_chrDecoder = decoder ? decoder : &DefaultCodePageCharacter;
}

bool ParseReal(std::string_view text, double& value) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    value = 0.0;
    if (begin == end) return true;
    text = text.substr(begin, end - begin);

    // [sign] digits [. digits] [e [sign] digits], with a digit somewhere in the mantissa.
    size_t at = 0;
    bool negative = false;
    if (text[at] == '+' || text[at] == '-') negative = text[at++] == '-';
    const size_t numberStart = at;
    const size_t integerDigits = DigitRun(text, at);
    at += integerDigits;
    size_t fractionDigits = 0;
    if (at < text.size() && text[at] == '.') {
        fractionDigits = DigitRun(text, ++at);
        at += fractionDigits;
    }
    if (integerDigits + fractionDigits == 0) return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
        const size_t exponentDigits = DigitRun(text, at);
        if (exponentDigits == 0) return false;
        at += exponentDigits;
    }
    if (at != text.size()) return false;

    const char* first = text.data() + numberStart;
    const char* last = text.data() + text.size();
    double magnitude = 0.0;
    const auto [ptr, error] = std::from_chars(first, last, magnitude);
    if (ptr != last) return false;
    if (error == std::errc::result_out_of_range) {
        // Too small reads as 0; too large is not a number a real can hold.
        const std::string_view digits(first, static_cast<size_t>(last - first));
        const size_t e = digits.find_first_of("eE");
        int64_t exponent = 0;
        if (e != std::string_view::npos) {
            const std::string_view exp = digits.substr(e + 1);
            const bool negativeExponent = !exp.empty() && exp[0] == '-';
            int64_t magnitudeOfExponent = 0;
            for (const char c : exp)
                if (IsDigit(c))
                    magnitudeOfExponent = std::min<int64_t>(magnitudeOfExponent * 10 + (c - '0'), 1000000);
            exponent = negativeExponent ? -magnitudeOfExponent : magnitudeOfExponent;
        }
        // The position of the first significant digit relative to the decimal point.
        const size_t point = std::min(digits.find('.'), std::min(e, digits.size()));
        const size_t significant = digits.find_first_of("123456789");
        const int64_t lead = significant < point ? static_cast<int64_t>(point - significant)
                                                 : -static_cast<int64_t>(significant - point) + 1;
        if (lead + exponent > 0) return false;
        magnitude = 0.0;
    } else if (error != std::errc()) {
        return false;
    }
    value = negative ? -magnitude : magnitude;
    return true;
}

std::string FormatFixed(double value, int decimals) {
    if (!std::isfinite(value)) return "ERROR";
    decimals = std::clamp(decimals, 0, 18);
    // 18 significant digits: d.ddddddddddddddddde±x.
    std::array<char, 18> digits{};
    int pointAt = 1; // digits before the decimal point
    if (value != 0.0) {
        char buffer[40];
        const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                                std::chars_format::scientific, 17);
        if (error != std::errc()) return "ERROR";
        digits[0] = buffer[0];
        for (size_t i = 1; i < digits.size(); ++i) digits[i] = buffer[i + 1];
        int exponent = 0;
        std::from_chars(buffer + 21, end, exponent);
        pointAt = (buffer[20] == '-' ? -exponent : exponent) + 1;
    } else {
        digits.fill('0');
    }
    // Digits to keep: all those before the point and `decimals` after it.
    std::string kept; // significant digits after rounding, starting at `pointAt` from the left
    const int keep = pointAt + decimals;
    if (keep >= 0) {
        kept.assign(digits.data(), static_cast<size_t>(std::min(keep, 18)));
        if (keep < 18 && digits[static_cast<size_t>(keep)] >= '5') {
            // Half away from zero on the decimal digits, carrying leftwards.
            int i = static_cast<int>(kept.size()) - 1;
            while (i >= 0 && kept[static_cast<size_t>(i)] == '9') kept[static_cast<size_t>(i--)] = '0';
            if (i >= 0)
                ++kept[static_cast<size_t>(i)];
            else {
                kept.insert(kept.begin(), '1');
                ++pointAt;
            }
        }
    }
    // Digit at position p (0 = first significant digit), zero outside what was kept.
    const auto digitAt = [&](int p) {
        return p >= 0 && p < static_cast<int>(kept.size()) ? kept[static_cast<size_t>(p)] : '0';
    };
    std::string text;
    if (pointAt <= 0)
        text.push_back('0');
    else
        for (int p = 0; p < pointAt; ++p) text.push_back(digitAt(p));
    if (decimals > 0) {
        text.push_back('.');
        for (int p = pointAt; p < pointAt + decimals; ++p) text.push_back(digitAt(p));
    }
    const bool nonzero = text.find_first_of("123456789") != std::string::npos;
    if (value < 0.0 && nonzero) text.insert(text.begin(), '-');
    return text;
}

} // namespace kestrin
