// Text built-ins: the current font and alignments, measuring and the draw_text family.

#include <cmath>
#include <string>

#include "base/code_page.h"
#include "graphics/function_args.h"
#include "graphics/function_text.h"
#include "graphics/graphics_draw.h"
#include "graphics/graphics_text.h"
#include "script/function_string.h"
#include "base/utf.h"

namespace kestrin {

namespace {

using graphics_args::Args;
using graphics_args::D;
using graphics_args::I;

int32_t C(Args a, int i) {
    return LowBits32(RoundToInt64Saturated(a[i].val()));
}

// What the drawing forms draw: the text, or a real as its integer digits when it is whole and
// with two decimals otherwise.
std::string DrawnText(const RValue& v) {
    if (v.IsString()) return std::string(v.str());
    const double d = v.val();
    if (std::isfinite(d) && d == std::floor(d)) return FormatFixed(d, 0);
    return FormatFixed(d, 2);
}

TextColours Current() {
    TextColours c;
    c.c[0] = Draw_GetColour();
    c.alpha = Draw_GetAlpha();
    return c;
}

TextColours Corners(Args a, int first) {
    TextColours c;
    c.gradient = true;
    for (int k = 0; k < 4; ++k) c.c[k] = C(a, first + k);
    c.alpha = D(a, first + 4);
    return c;
}

ROUTINE(draw_set_font) {
    Text_SetFont(I(a, 0));
}
ROUTINE(draw_set_halign) {
    Text_SetHAlign(I(a, 0));
}
ROUTINE(draw_set_valign) {
    Text_SetVAlign(I(a, 0));
}
// The measuring forms do not convert reals: a real measures as the empty text.
ROUTINE(string_width) {
    r.SetReal(Text_Width(a[0].str(), -1, -1));
}
ROUTINE(string_height) {
    r.SetReal(Text_Height(a[0].str(), -1, -1));
}
ROUTINE(string_width_ext) {
    r.SetReal(Text_Width(a[0].str(), I(a, 1), I(a, 2)));
}
ROUTINE(string_height_ext) {
    r.SetReal(Text_Height(a[0].str(), I(a, 1), I(a, 2)));
}
ROUTINE(draw_text) {
    Text_Draw(D(a, 0), D(a, 1), DrawnText(a[2]), -1, -1, Current());
}
ROUTINE(draw_text_ext) {
    Text_Draw(D(a, 0), D(a, 1), DrawnText(a[2]), I(a, 3), I(a, 4), Current());
}
ROUTINE(draw_text_transformed) {
    Text_DrawTransformed(D(a, 0), D(a, 1), DrawnText(a[2]), -1, -1, D(a, 3), D(a, 4), D(a, 5), Current());
}
ROUTINE(draw_text_ext_transformed) {
    Text_DrawTransformed(D(a, 0), D(a, 1), DrawnText(a[2]), I(a, 3), I(a, 4), D(a, 5), D(a, 6), D(a, 7),
                         Current());
}
ROUTINE(draw_text_color) {
    Text_Draw(D(a, 0), D(a, 1), DrawnText(a[2]), -1, -1, Corners(a, 3));
}
ROUTINE(draw_text_transformed_color) {
    Text_DrawTransformed(D(a, 0), D(a, 1), DrawnText(a[2]), -1, -1, D(a, 3), D(a, 4), D(a, 5), Corners(a, 6));
}
ROUTINE(draw_text_ext_color) {
    Text_Draw(D(a, 0), D(a, 1), DrawnText(a[2]), I(a, 3), I(a, 4), Corners(a, 5));
}
ROUTINE(draw_text_ext_transformed_color) {
    Text_DrawTransformed(D(a, 0), D(a, 1), DrawnText(a[2]), I(a, 3), I(a, 4), D(a, 5), D(a, 6), D(a, 7),
                         Corners(a, 8));
}

#undef ROUTINE

constexpr RFunctionSpec kFunctions[] = {
    {"draw_set_font", draw_set_font, 1},
    {"draw_set_halign", draw_set_halign, 1},
    {"draw_set_valign", draw_set_valign, 1},
    {"string_width", string_width, 1},
    {"string_height", string_height, 1},
    {"string_width_ext", string_width_ext, 3},
    {"string_height_ext", string_height_ext, 3},
    {"draw_text", draw_text, 3},
    {"draw_text_ext", draw_text_ext, 5},
    {"draw_text_transformed", draw_text_transformed, 6},
    {"draw_text_ext_transformed", draw_text_ext_transformed, 8},
    {"draw_text_color", draw_text_color, 8},
    {"draw_text_transformed_color", draw_text_transformed_color, 11},
    {"draw_text_ext_color", draw_text_ext_color, 10},
    {"draw_text_ext_transformed_color", draw_text_ext_transformed_color, 13},
};

// chr reads its byte in the code page of the current font.
char32_t FontCharacter(unsigned char byte) {
    const int32_t page = Text_CodePage();
    const char32_t c = CodePageCharacter(byte, page);
    return c != 0 || byte == 0 ? c : char32_t{byte};
}

// ord gives the first character's byte in the same code page (the lead byte for a character of
// a double-byte code page).
int32_t FontCharacterByte(std::string_view text) {
    char32_t c = 0;
    const size_t length = DecodeUtf8(text, 0, c);
    const std::string bytes = ToCodePage(text.substr(0, length), Text_CodePage());
    return bytes.empty() ? 0 : static_cast<unsigned char>(bytes[0]);
}

} // namespace

std::span<const RFunctionSpec> TextFunctions() {
    SetChrDecoder(&FontCharacter);
    SetOrdEncoder(&FontCharacterByte);
    return kFunctions;
}

} // namespace kestrin
