#pragma once
// Function_Math, text: real/string conversions and the string_* functions. Positions and
// lengths count UTF-16 code units, computed by walking the UTF-8 text in place.

#include <span>
#include <string>
#include <string_view>

#include "script/builtin_routine.h"

namespace kestrin {

// The family's table, in registration order.
std::span<const RFunctionSpec> StringFunctions();

// string_format's text of a real: fixed-point with `decimals` decimals (0 to 18) after
// rounding to 18 significant digits; "ERROR" for a NaN or an infinity.
std::string FormatFixed(double value, int decimals);

// real()'s reading of a text: false when it is not a decimal number.
bool ParseReal(std::string_view text, double& value);

// The character chr() gives for a byte, in the code page of the current font's character
// set. Until fonts exist every byte is read in the default ANSI code page (Windows-1252);
// the font module installs its own. Null restores the default.
using CharsetDecoder = char32_t (*)(unsigned char byte);
void SetChrDecoder(CharsetDecoder decoder);
char32_t DefaultCodePageCharacter(unsigned char byte);

// The byte ord() gives for a text: its first character in the same code page as chr(), so
// that ord(chr(n)) is n; a character the code page lacks gives "?". Null restores the default.
using CharsetEncoder = int32_t (*)(std::string_view text);
void SetOrdEncoder(CharsetEncoder encoder);
int32_t DefaultCodePageByte(std::string_view text);

} // namespace kestrin
