#pragma once
// Text state (the current font and the alignments), the default font, and the layout of text
// into lines that the draw_text and string_width families share.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrin {

class CFont;

enum class HAlign : int32_t { Left = 0, Center = 1, Right = 2 };
enum class VAlign : int32_t { Top = 0, Middle = 1, Bottom = 2 };

// A new run: the default font selected, left and top alignment, the default font dropped
// (its texture belongs to a device that may be gone).
void Text_Reset();
// An existing font becomes current; anything else selects the default font (-1).
void Text_SetFont(int32_t ind);
int32_t Text_GetFont();
void Text_SetHAlign(int32_t align);
void Text_SetVAlign(int32_t align);
HAlign Text_GetHAlign();
VAlign Text_GetVAlign();
// The font text is drawn with: the current font, or the default font ("Arial" 12, glyphs 32
// to 127), made on first use.
const CFont& Text_DrawingFont();
// The code page chr and ord read bytes in: the current font's, without making the default.
int32_t Text_CodePage();

// The lines of a text: "#" breaks a line ("\#" is a plain "#"), so do CR, LF and CR LF; with
// w >= 0 paragraphs wrap after spaces and hyphens. The empty text has no lines.
std::vector<std::string> Text_Layout(const CFont& font, std::string_view text, int32_t w);

// A text laid out in a font for drawing and measuring: its lines (as Text_Layout breaks them)
// as glyph indices of the font's code page, each line's width, and the distance from one
// line's top to the next (sep, or the font's text height when sep < 0).
struct TextBlock {
    std::vector<std::string> glyphs;
    std::vector<int32_t> widths;
    int32_t step = 0;
    bool operator==(const TextBlock&) const = default;
};
// Laid out afresh.
TextBlock Text_LayoutBlock(const CFont& font, std::string_view text, int32_t sep, int32_t w);
// The same, kept for recently laid out texts (a bounded number, the least recently used
// dropped first) under everything the layout depends on: the font and Font_Generation, its
// code page, the text, sep and w. Valid until the next call.
const TextBlock& Text_KeptBlock(const CFont& font, std::string_view text, int32_t sep, int32_t w);
// Off, drawing and measuring lay every text out afresh: the reference the kept layouts are
// tested against.
void SetTextLayoutKept(bool kept);
// How many layouts are kept (at most 256, and at most 1 MiB of text and glyphs in all).
size_t Text_KeptLayoutCount();

// Measuring; sep < 0 means the font's text height, w < 0 no wrapping.
int32_t Text_Width(std::string_view text, int32_t sep, int32_t w);
int32_t Text_Height(std::string_view text, int32_t sep, int32_t w);

struct TextColours {
    bool gradient = false; // false: c[0] for the whole text
    int32_t c[4] = {0, 0, 0, 0};
    double alpha = 1;
};
void Text_Draw(double x, double y, std::string_view text, int32_t sep, int32_t w, const TextColours& colours);
// Angle in degrees.
void Text_DrawTransformed(double x, double y, std::string_view text, int32_t sep, int32_t w, double xscale,
                          double yscale, double angle, const TextColours& colours);

} // namespace kestrin
