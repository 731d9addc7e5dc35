#pragma once
// Rich text for the game information and text splashes: a small reader of the RTF subset such
// files use (paragraphs, bold, italic, underline, font sizes, colours, alignment, fonts),
// turning a document into paragraphs of styled runs, and a layout of those runs into lines.
// The reader takes any bytes: unknown words and destinations are skipped, nesting is bounded,
// and a file that is not RTF at all reads as plain text, one paragraph per line.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrin {

enum class RtfAlign : uint8_t { Left, Centre, Right, Justify };

struct RtfStyle {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int32_t half_points = 24; // the font size in half points (12 pt)
    int32_t colour = 0;       // the runner's colour (red in the low byte)
    int32_t font = 0;         // index into the document's font names

    bool operator==(const RtfStyle&) const = default;
};

struct RtfRun {
    std::string text; // UTF-8; "\n" is a line break inside the paragraph, "\t" a tab
    RtfStyle style;
};

struct RtfParagraph {
    RtfAlign align = RtfAlign::Left;
    std::vector<RtfRun> runs;
    RtfStyle mark; // the style at the paragraph's mark: an empty paragraph's height
};

struct RtfDocument {
    std::vector<RtfParagraph> paragraphs;
    std::vector<std::string> fonts{"Arial"}; // the names runs refer to; 0 is the default
    const std::string& FontName(const RtfStyle& style) const {
        return style.font >= 0 && size_t(style.font) < fonts.size() ? fonts[size_t(style.font)] : fonts[0];
    }
    // Everything's text, paragraphs separated by "\n" (what headless runs print).
    std::string PlainText() const;
};

// Limits that keep hostile files bounded.
inline constexpr size_t kRtfMaxDepth = 256;
inline constexpr size_t kRtfMaxTableEntries = 4096;

RtfDocument ParseRtf(std::string_view data);

// Layout: pieces of runs placed on lines within `width` pixels, words wrapped at blanks.
struct RtfPiece {
    double x = 0;
    std::string text;
    RtfStyle style;
};
struct RtfLine {
    double y = 0;      // top of the line
    double height = 0; // tallest piece (or the paragraph's size when empty)
    double ascent = 0; // the baseline's distance from the top
    std::vector<RtfPiece> pieces;
};
struct RtfMeasure {
    std::function<double(const RtfStyle&, std::string_view)> width;
    std::function<double(const RtfStyle&)> height;
};
struct RtfLayout {
    std::vector<RtfLine> lines;
    double height = 0;
};

RtfLayout LayoutRtf(const RtfDocument& document, double width, const RtfMeasure& measure);

} // namespace kestrin
