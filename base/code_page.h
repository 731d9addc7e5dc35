#pragma once
// Script text is UTF-8; a font's glyphs are indexed by the bytes of its character set's code
// page. Conversion goes through the C library's iconv, one cached converter per direction and
// code page.

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrin {

// The code page a character set stands for; the system's ANSI code page, 1252 here, for
// every character set without one of its own (the default 1 included).
int32_t CharsetCodePage(int32_t charset);

// The text in the code page. A character the code page lacks becomes its default character
// "?", one per character, as the conversion service of the original platform does.
std::string ToCodePage(std::string_view utf8, int32_t codePage);

// The character a single byte stands for in the code page; 0 for a byte that is no character
// on its own (a lead byte of a double-byte code page, or unassigned).
char32_t CodePageCharacter(unsigned char byte, int32_t codePage);

} // namespace kestrin
