#include "base/utf.h"

#include <algorithm>

namespace kestrin {

size_t DecodeUtf8(std::string_view s, size_t i, char32_t& cp) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    size_t len;
    char32_t v;
    if (c >= 0xC2 && c <= 0xDF)
        len = 2, v = c & 0x1Fu;
    else if (c >= 0xE0 && c <= 0xEF)
        len = 3, v = c & 0x0Fu;
    else if (c >= 0xF0 && c <= 0xF4)
        len = 4, v = c & 0x07u;
    else {
        cp = kReplacementCharacter;
        return 1;
    }
    if (i + len > s.size()) {
        cp = kReplacementCharacter;
        return 1;
    }
    for (size_t k = 1; k < len; ++k) {
        const auto d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xC0) != 0x80) {
            cp = kReplacementCharacter;
            return 1;
        }
        v = v << 6 | (d & 0x3Fu);
    }
    if ((len == 3 && v < 0x800) || (len == 4 && (v < 0x10000 || v > 0x10FFFF)) ||
        (v >= 0xD800 && v <= 0xDFFF)) {
        cp = kReplacementCharacter;
        return 1;
    }
    cp = v;
    return len;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacementCharacter;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t cp;
        i += DecodeUtf8(text, i, cp);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
            ++i;
        }
        AppendUtf8(out, u); // a lone surrogate becomes U+FFFD
    }
    return out;
}

size_t Utf16Length(std::string_view text) {
    size_t n = 0;
    for (size_t i = 0; i < text.size();) {
        char32_t cp;
        i += DecodeUtf8(text, i, cp);
        n += cp >= 0x10000 ? 2 : 1;
    }
    return n;
}

namespace {

// Yields the UTF-16 code units of UTF-8 text one at a time.
class Utf16Units {
public:
    Utf16Units(std::string_view text, size_t pos) : text_(text), pos_(pos) {}
    bool Next(char16_t& unit) {
        if (pending_) {
            unit = pending_;
            pending_ = 0;
            return true;
        }
        if (pos_ >= text_.size()) return false;
        char32_t cp;
        pos_ += DecodeUtf8(text_, pos_, cp);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unit = static_cast<char16_t>(0xD800 + (cp >> 10));
            pending_ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            unit = static_cast<char16_t>(cp);
        }
        return true;
    }

private:
    std::string_view text_;
    size_t pos_;
    char16_t pending_ = 0;
};

} // namespace

int CompareTextUtf16(std::string_view left, std::string_view right) {
    const size_t common = std::min(left.size(), right.size());
    size_t i = 0;
    while (i < common && left[i] == right[i]) ++i;
    if (i == left.size() && i == right.size()) return 0;
    // Byte order equals code point order, but UTF-16 puts U+E000..U+FFFF after the surrogate
    // pairs, and malformed bytes decode differently: decode from the start of the character.
    size_t start = i;
    while (start > 0 && i - start < 4) {
        const auto c = static_cast<unsigned char>(left[--start]);
        if ((c & 0xC0) != 0x80) break;
    }
    Utf16Units l(left, start), r(right, start);
    for (;;) {
        char16_t a = 0, b = 0;
        const bool hasA = l.Next(a), hasB = r.Next(b);
        if (!hasA || !hasB) return hasA ? 1 : (hasB ? -1 : 0);
        if (a != b) return a < b ? -1 : 1;
    }
}

} // namespace kestrin
