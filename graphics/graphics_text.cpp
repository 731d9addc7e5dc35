#include "graphics/graphics_text.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "base/code_page.h"
#include "graphics/font.h"
#include "graphics/render_state.h"
#include "base/numeric.h"

namespace kestrin {

namespace {

int32_t g_font = -1;
HAlign g_halign = HAlign::Left;
VAlign g_valign = VAlign::Top;
std::unique_ptr<CFont> g_default;

// Paragraphs of a text after the line-break rules; a break at the very end adds no line.
std::vector<std::string> Paragraphs(std::string_view text) {
    std::vector<std::string> out;
    std::string current;
    bool open = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size() && text[i + 1] == '#') {
            current.push_back('#');
            open = true;
            ++i;
        } else if (c == '#' || c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out.push_back(std::move(current));
            current.clear();
            open = false;
        } else {
            current.push_back(c);
            open = true;
        }
    }
    if (open) out.push_back(std::move(current));
    return out;
}

// Words run up to and including the next space or hyphen.
std::vector<std::string_view> Words(std::string_view paragraph) {
    std::vector<std::string_view> out;
    size_t start = 0;
    for (size_t i = 0; i < paragraph.size(); ++i)
        if (paragraph[i] == ' ' || paragraph[i] == '-') {
            out.push_back(paragraph.substr(start, i + 1 - start));
            start = i + 1;
        }
    if (start < paragraph.size()) out.push_back(paragraph.substr(start));
    return out;
}

int32_t Separation(const CFont& font, int32_t sep) {
    return sep < 0 ? font.TextHeight("") : sep;
}

int64_t AlignShift(int64_t width) {
    switch (g_halign) {
    case HAlign::Center:
        return width / 2;
    case HAlign::Right:
        return width;
    default:
        return 0;
    }
}

} // namespace

void Text_Reset() {
    g_font = -1;
    g_halign = HAlign::Left;
    g_valign = VAlign::Top;
    g_default.reset();
}

void Text_SetFont(int32_t ind) {
    g_font = Font_Exists(ind) ? ind : -1;
}

int32_t Text_GetFont() {
    return g_font;
}

void Text_SetHAlign(int32_t align) {
    g_halign = align == 1 ? HAlign::Center : align == 2 ? HAlign::Right : HAlign::Left;
}

void Text_SetVAlign(int32_t align) {
    g_valign = align == 1 ? VAlign::Middle : align == 2 ? VAlign::Bottom : VAlign::Top;
}

HAlign Text_GetHAlign() {
    return g_halign;
}

VAlign Text_GetVAlign() {
    return g_valign;
}

const CFont& Text_DrawingFont() {
    if (const CFont* f = Font_Get(g_font)) return *f;
    if (!g_default) {
        g_default = std::make_unique<CFont>();
        g_default->CreateFont("Arial", 12, false, false, 32, 127);
    } else if (g_default->s_tex < 0 && RenderState_Device()) {
        // Made before the device existed: the texture comes now.
        g_default->InitTexture();
    }
    return *g_default;
}

int32_t Text_CodePage() {
    if (const CFont* f = Font_Get(g_font)) return f->GetCodePage();
    return CharsetCodePage(1);
}

std::vector<std::string> Text_Layout(const CFont& font, std::string_view text, int32_t w) {
    std::vector<std::string> lines;
    for (std::string& paragraph : Paragraphs(text)) {
        if (w < 0 || paragraph.empty()) {
            lines.push_back(std::move(paragraph));
            continue;
        }
        const std::vector<std::string_view> words = Words(paragraph);
        size_t next = 0;
        while (next < words.size()) {
            std::string line(words[next++]);
            int64_t width = font.TextWidth(line);
            // Widths add up glyph by glyph, and words end at single-byte characters.
            while (width < w && next < words.size()) {
                const int64_t more = font.TextWidth(words[next]);
                if (width + more > w) break;
                line += words[next++];
                width += more;
            }
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

int32_t Text_Width(std::string_view text, int32_t, int32_t w) {
    const CFont& font = Text_DrawingFont();
    int32_t best = 1;
    for (const std::string& line : Text_Layout(font, text, w)) best = std::max(best, font.TextWidth(line));
    return best;
}

int32_t Text_Height(std::string_view text, int32_t sep, int32_t w) {
    const CFont& font = Text_DrawingFont();
    const size_t lines = Text_Layout(font, text, w).size();
    if (lines == 0) return 1;
    const int64_t h = int64_t(font.TextHeight("")) + int64_t(Separation(font, sep)) * int64_t(lines - 1);
    return static_cast<int32_t>(std::clamp<int64_t>(h, INT32_MIN, INT32_MAX));
}

void Text_Draw(double x, double y, std::string_view text, int32_t sep, int32_t w,
               const TextColours& colours) {
    const CFont& font = Text_DrawingFont();
    const std::vector<std::string> lines = Text_Layout(font, text, w);
    const int64_t step = Separation(font, sep);
    const int64_t block = step * int64_t(lines.size());
    if (g_valign == VAlign::Middle) y -= double(block / 2);
    if (g_valign == VAlign::Bottom) y -= double(block);
    for (size_t i = 0; i < lines.size(); ++i) {
        const double lx = x - double(AlignShift(font.TextWidth(lines[i])));
        const double ly = y + double(int64_t(i) * step);
        const int32_t* c = colours.c;
        if (colours.gradient)
            font.Draw_String_Color(lx, ly, lines[i], c[0], c[1], c[2], c[3], colours.alpha);
        else
            font.Draw_String(lx, ly, lines[i], c[0], colours.alpha);
    }
}

void Text_DrawTransformed(double x, double y, std::string_view text, int32_t sep, int32_t w, double xscale,
                          double yscale, double angle, const TextColours& colours) {
    const CFont& font = Text_DrawingFont();
    const std::vector<std::string> lines = Text_Layout(font, text, w);
    const double theta = angle * M_PI / 180.0, cs = std::cos(theta), sn = std::sin(theta);
    const double sepd = Separation(font, sep);
    const double n = double(lines.size());
    if (g_valign == VAlign::Middle) {
        x -= double(RoundToInt64Saturated(n * sn * yscale * sepd / 2));
        y -= double(RoundToInt64Saturated(n * cs * yscale * sepd / 2));
    } else if (g_valign == VAlign::Bottom) {
        x -= double(RoundToInt64Saturated(n * sn * yscale * sepd));
        y -= double(RoundToInt64Saturated(n * cs * yscale * sepd));
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        const double width = font.TextWidth(lines[i]);
        double h = 0;
        if (g_halign == HAlign::Center) h = -double(RoundToInt64Saturated(xscale * width / 2));
        if (g_halign == HAlign::Right) h = -double(RoundToInt64Saturated(xscale * width));
        const double lx = x + double(i) * sn * yscale * sepd + cs * h;
        const double ly = y + double(i) * cs * yscale * sepd - sn * h;
        const int32_t* c = colours.c;
        if (colours.gradient)
            font.Draw_String_Transformed_Color(lx, ly, lines[i], xscale, yscale, angle, c[0], c[1], c[2],
                                               c[3], colours.alpha);
        else
            font.Draw_String_Transformed(lx, ly, lines[i], xscale, yscale, angle, c[0], colours.alpha);
    }
}

} // namespace kestrin
