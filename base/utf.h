#pragma once
// UTF-8 / UTF-16 helpers for the script language: text lives in UTF-8, while positions,
// comparisons and character routines count UTF-16 code units as the platform does.
// Malformed UTF-8 decodes as U+FFFD, one byte at a time.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrin {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes the code point at `pos` (which must be inside the text); returns its byte length.
size_t DecodeUtf8(std::string_view text, size_t pos, char32_t& codePoint);

void AppendUtf8(std::string& out, char32_t codePoint);

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Number of UTF-16 code units the text takes.
size_t Utf16Length(std::string_view text);

// Text comparison by UTF-16 code units: negative, zero or positive. Only the characters
// from the first difference on are decoded.
int CompareTextUtf16(std::string_view left, std::string_view right);

} // namespace kestrin
