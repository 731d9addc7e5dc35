#include "graphics/graphics_text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <iterator>
#include <list>
#include <memory>
#include <unordered_map>

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

// Layouts of recent texts. Games draw the same few texts every frame, and laying one out
// converts every word to the code page (a call into iconv) to measure it.
class LayoutCache {
public:
    const TextBlock& Get(const CFont& font, std::string_view text, int32_t sep, int32_t w) {
        Key key{&font, Font_Generation(), font.GetCodePage(), sep, w};
        const uint64_t hash = Hash(key, text);
        if (const auto found = index_.find(hash); found != index_.end()) {
            Entry& e = *found->second;
            if (e.key == key && e.text == text) {
                entries_.splice(entries_.begin(), entries_, found->second);
                return e.block;
            }
            // Another text with the same hash: it makes way.
            Drop(found->second);
        }
        if (text.size() > kLongestText) {
            uncached_ = Text_LayoutBlock(font, text, sep, w);
            return uncached_;
        }
        entries_.push_front(Entry{key, std::string(text), Text_LayoutBlock(font, text, sep, w), hash, 0});
        Entry& e = entries_.front();
        e.bytes = sizeof(Entry) + e.text.size();
        for (const std::string& line : e.block.glyphs)
            e.bytes += sizeof(std::string) + sizeof(int32_t) + line.size();
        bytes_ += e.bytes;
        index_[hash] = entries_.begin();
        // The newest entry is never dropped: it fits by the bound on its text.
        while (entries_.size() > 1 && (entries_.size() > kMostEntries || bytes_ > kMostBytes))
            Drop(std::prev(entries_.end()));
        return e.block;
    }

    size_t Count() const { return entries_.size(); }

    void Clear() {
        entries_.clear();
        index_.clear();
        bytes_ = 0;
        uncached_ = TextBlock();
    }

private:
    static constexpr size_t kMostEntries = 256;
    static constexpr size_t kMostBytes = size_t(1) << 20;
    static constexpr size_t kLongestText = 16384;

    struct Key {
        const CFont* font;
        uint64_t generation;
        int32_t code_page, sep, w;
        bool operator==(const Key&) const = default;
    };
    struct Entry {
        Key key;
        std::string text;
        TextBlock block;
        uint64_t hash;
        size_t bytes;
    };

    static uint64_t Hash(const Key& k, std::string_view text) {
        uint64_t h = std::hash<std::string_view>{}(text);
        for (const uint64_t v :
             {uint64_t(reinterpret_cast<uintptr_t>(k.font)), k.generation, uint64_t(uint32_t(k.code_page)),
              uint64_t(uint32_t(k.sep)), uint64_t(uint32_t(k.w))})
            h = (h ^ v) * 0x9E3779B97F4A7C15ull + (h >> 29);
        return h;
    }

    void Drop(std::list<Entry>::iterator it) {
        bytes_ -= it->bytes;
        index_.erase(it->hash);
        entries_.erase(it);
    }

    std::list<Entry> entries_; // the most recently used first
    std::unordered_map<uint64_t, std::list<Entry>::iterator> index_;
    size_t bytes_ = 0;
    TextBlock uncached_;
};

LayoutCache g_layouts;
bool g_kept = true;

// The block to draw or measure: kept, or laid out into `fresh` when keeping is off.
const TextBlock& Block(const CFont& font, std::string_view text, int32_t sep, int32_t w, TextBlock& fresh) {
    if (g_kept) return g_layouts.Get(font, text, sep, w);
    fresh = Text_LayoutBlock(font, text, sep, w);
    return fresh;
}

} // namespace

void Text_Reset() {
    g_font = -1;
    g_halign = HAlign::Left;
    g_valign = VAlign::Top;
    g_default.reset();
    g_layouts.Clear();
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

TextBlock Text_LayoutBlock(const CFont& font, std::string_view text, int32_t sep, int32_t w) {
    TextBlock block;
    block.step = Separation(font, sep);
    for (const std::string& line : Text_Layout(font, text, w)) {
        block.glyphs.push_back(font.Glyphs(line));
        block.widths.push_back(font.TextWidth(line));
    }
    return block;
}

const TextBlock& Text_KeptBlock(const CFont& font, std::string_view text, int32_t sep, int32_t w) {
    return g_layouts.Get(font, text, sep, w);
}

void SetTextLayoutKept(bool kept) {
    g_kept = kept;
}

size_t Text_KeptLayoutCount() {
    return g_layouts.Count();
}

int32_t Text_Width(std::string_view text, int32_t sep, int32_t w) {
    const CFont& font = Text_DrawingFont();
    TextBlock fresh;
    const TextBlock& block = Block(font, text, sep, w, fresh);
    int32_t best = 1;
    for (const int32_t width : block.widths) best = std::max(best, width);
    return best;
}

int32_t Text_Height(std::string_view text, int32_t sep, int32_t w) {
    const CFont& font = Text_DrawingFont();
    TextBlock fresh;
    const TextBlock& block = Block(font, text, sep, w, fresh);
    const size_t lines = block.glyphs.size();
    if (lines == 0) return 1;
    const int64_t h = int64_t(font.TextHeight("")) + int64_t(block.step) * int64_t(lines - 1);
    return static_cast<int32_t>(std::clamp<int64_t>(h, INT32_MIN, INT32_MAX));
}

void Text_Draw(double x, double y, std::string_view text, int32_t sep, int32_t w,
               const TextColours& colours) {
    const CFont& font = Text_DrawingFont();
    TextBlock fresh;
    const TextBlock& block = Block(font, text, sep, w, fresh);
    const int64_t step = block.step;
    const int64_t height = step * int64_t(block.glyphs.size());
    if (g_valign == VAlign::Middle) y -= double(height / 2);
    if (g_valign == VAlign::Bottom) y -= double(height);
    int32_t c[4] = {colours.c[0], colours.c[1], colours.c[2], colours.c[3]};
    if (!colours.gradient) c[1] = c[2] = c[3] = c[0];
    for (size_t i = 0; i < block.glyphs.size(); ++i) {
        const double lx = x - double(AlignShift(block.widths[i]));
        const double ly = y + double(int64_t(i) * step);
        font.DrawGlyphs(lx, ly, block.glyphs[i], 1, 1, 0, c, colours.gradient, colours.alpha);
    }
}

void Text_DrawTransformed(double x, double y, std::string_view text, int32_t sep, int32_t w, double xscale,
                          double yscale, double angle, const TextColours& colours) {
    const CFont& font = Text_DrawingFont();
    TextBlock fresh;
    const TextBlock& block = Block(font, text, sep, w, fresh);
    const double theta = angle * M_PI / 180.0, cs = std::cos(theta), sn = std::sin(theta);
    const double sepd = block.step;
    const double n = double(block.glyphs.size());
    if (g_valign == VAlign::Middle) {
        x -= double(RoundToInt64Saturated(n * sn * yscale * sepd / 2));
        y -= double(RoundToInt64Saturated(n * cs * yscale * sepd / 2));
    } else if (g_valign == VAlign::Bottom) {
        x -= double(RoundToInt64Saturated(n * sn * yscale * sepd));
        y -= double(RoundToInt64Saturated(n * cs * yscale * sepd));
    }
    int32_t c[4] = {colours.c[0], colours.c[1], colours.c[2], colours.c[3]};
    if (!colours.gradient) c[1] = c[2] = c[3] = c[0];
    for (size_t i = 0; i < block.glyphs.size(); ++i) {
        const double width = block.widths[i];
        double h = 0;
        if (g_halign == HAlign::Center) h = -double(RoundToInt64Saturated(xscale * width / 2));
        if (g_halign == HAlign::Right) h = -double(RoundToInt64Saturated(xscale * width));
        const double lx = x + double(i) * sn * yscale * sepd + cs * h;
        const double ly = y + double(i) * cs * yscale * sepd - sn * h;
        font.DrawGlyphs(lx, ly, block.glyphs[i], xscale, yscale, angle, c, colours.gradient, colours.alpha);
    }
}

} // namespace kestrin
