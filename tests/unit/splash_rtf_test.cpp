// Rich text: documents read into paragraphs of styled runs (a table of small documents shown
// in a compact form), hostile input kept bounded, and the layout of runs into wrapped,
// aligned lines with a fixed-width measure.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "graphics/rtf.h"

namespace kestrin {
namespace {

// "|" separates paragraphs; a paragraph starts with its alignment (L, C, R, J); each run is
// "[flags size colour]text", flags b, i, u, size in half points, colour in hex when not 0.
std::string Describe(const RtfDocument& doc) {
    std::string out;
    for (size_t p = 0; p < doc.paragraphs.size(); ++p) {
        const RtfParagraph& para = doc.paragraphs[p];
        if (p > 0) out += "|";
        out += "LCRJ"[static_cast<int>(para.align)];
        for (const RtfRun& run : para.runs) {
            out += "[";
            if (run.style.bold) out += "b";
            if (run.style.italic) out += "i";
            if (run.style.underline) out += "u";
            out += std::to_string(run.style.half_points);
            if (run.style.colour != 0) {
                char hex[16];
                std::snprintf(hex, sizeof hex, " %06X", static_cast<unsigned>(run.style.colour));
                out += hex;
            }
            out += "]" + run.text;
        }
    }
    return out;
}

TEST(SplashRtf, DocumentsToStyledRuns) {
    struct Case {
        const char* name;
        const char* rtf;
        const char* expected;
    };
    const Case cases[] = {
        {"plain paragraphs", R"({\rtf1\ansi Hello\par World\par})", "L[24]Hello|L[24]World"},
        {"text after the last mark is a paragraph", R"({\rtf1 one\par two})", "L[24]one|L[24]two"},
        {"empty paragraphs stay", R"({\rtf1 a\par\par b\par})", "L[24]a|L|L[24]b"},
        {"bold, italic and underline toggles", R"({\rtf1 \b bold\b0  \i it\i0  \ul u\ulnone  n\par})",
         "L[b24]bold[24] [i24]it[24] [u24]u[24] n"},
        {"groups restore the style", R"({\rtf1 a{\b b{\i c}d}e\par})", "L[24]a[b24]b[bi24]c[b24]d[24]e"},
        {"font sizes", R"({\rtf1\fs40 big\fs16 small\par})", "L[40]big[16]small"},
        {"colour table, auto entry first",
         R"({\rtf1{\colortbl ;\red255\green0\blue0;\red0\green0\blue255;})"
         R"(\cf1 red\cf2 blue\cf0 auto\cf9 out\par})",
         "L[24 0000FF]red[24 FF0000]blue[24]autoout"},
        {"alignment is the paragraph's at its mark",
         R"({\rtf1\qc centred\par\pard right?\qr\par\pard\qj just\par left\par})",
         "C[24]centred|R[24]right?|J[24]just|J[24]left"},
        {"pard resets alignment", R"({\rtf1\qr a\par\pard b\par})", "R[24]a|L[24]b"},
        {"plain resets character style", R"({\rtf1\b\i\fs30 x\plain y\par})", "L[bi30]x[24]y"},
        {"line breaks and tabs stay in the paragraph", R"({\rtf1 a\line b\tab c\par})", "L[24]a\nb\tc"},
        {"escaped characters and code page bytes", R"({\rtf1\ansi\ansicpg1252 \{x\} \\ caf\'e9 \'80\par})",
         "L[24]{x} \\ caf\xC3\xA9 \xE2\x82\xAC"},
        {"unicode with fallback skipped", R"({\rtf1\uc1\u8364?\u-3913?\u55357\u56832? ok\par})",
         "L[24]\xE2\x82\xAC\xEF\x82\xB7\xF0\x9F\x98\x80 ok"},
        {"skipped destinations",
         R"({\rtf1{\*\generator x;}{\info{\title T}}{\stylesheet{\s0 Normal;}}shown\par})", "L[24]shown"},
        {"field instructions hidden, result shown",
         R"({\rtf1{\field{\*\fldinst HYPERLINK "x"}{\fldrslt link}}\par})", "L[24]link"},
        {"line ends of the file are not text", "{\\rtf1 a\r\nb\n\\par}", "L[24]ab"},
        {"symbol words", R"({\rtf1\bullet\emdash\lquote q\rquote\par})",
         "L[24]\xE2\x80\xA2\xE2\x80\x94\xE2\x80\x98q\xE2\x80\x99"},
        {"unbalanced closing braces", R"({\rtf1 a}}} b\par)", "L[24]a b"},
        {"not rtf: one paragraph per line", "first line\r\nsecond\n\nfourth",
         "L[24]first line|L[24]second|L|L[24]fourth"},
        {"not rtf, not utf-8: ANSI", "caf\xE9", "L[24]caf\xC3\xA9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Describe(ParseRtf(c.rtf)), c.expected);
    }
}

TEST(SplashRtf, FontTableNamesTheRunsFont) {
    const RtfDocument doc = ParseRtf(
        R"({\rtf1\deff0{\fonttbl{\f0\fnil\fcharset0 Arial;}{\f1\froman Times New Roman;}}a\f1 b\f7 c\par})");
    ASSERT_EQ(doc.paragraphs.size(), 1u);
    ASSERT_EQ(doc.paragraphs[0].runs.size(), 2u);
    EXPECT_EQ(doc.FontName(doc.paragraphs[0].runs[0].style), "Arial");
    EXPECT_EQ(doc.FontName(doc.paragraphs[0].runs[1].style), "Times New Roman");
    EXPECT_EQ(doc.paragraphs[0].runs[1].text, "bc"); // an unknown font keeps the current one
    EXPECT_EQ(doc.PlainText(), "abc");
}

TEST(SplashRtf, HostileInputStaysBounded) {
    // Deep nesting beyond the bound, a long control word and a huge parameter.
    std::string deep = "{\\rtf1 ";
    for (int i = 0; i < 100000; ++i) deep += "{\\b ";
    deep += "x";
    for (int i = 0; i < 100000; ++i) deep += "}";
    deep += " y\\par}";
    EXPECT_EQ(ParseRtf(deep).PlainText(), "x y");
    const std::string odd =
        "{\\rtf1 " + std::string(5000, 'a') + "x\\fs99999999999999 \\cf-5 \\u-99999999 z y\\'\\";
    const RtfDocument doc = ParseRtf("{\\rtf1 \\" + odd);
    EXPECT_EQ(doc.paragraphs.size(), 1u);
    EXPECT_EQ(doc.paragraphs[0].runs.back().style.half_points, 3200);
    EXPECT_TRUE(ParseRtf("").paragraphs.empty());
    EXPECT_TRUE(ParseRtf("{\\rtf").paragraphs.empty());
}

TEST(SplashRtf, LayoutWrapsAndAligns) {
    // Every character is 10 pixels wide; a line is as tall as its size in half points.
    const RtfMeasure measure{[](const RtfStyle&, std::string_view t) { return 10.0 * double(t.size()); },
                             [](const RtfStyle& s) { return double(s.half_points); }};
    const RtfDocument doc =
        ParseRtf(R"({\rtf1 aaa bbb ccc\par\qc cc\par\qr\fs40 rr\par\pard\par x\line y\par})");
    const RtfLayout layout = LayoutRtf(doc, 75, measure);
    ASSERT_EQ(layout.lines.size(), 7u);
    // "aaa bbb" fits in 75 (70 wide); "ccc" wraps and loses the blank before it.
    ASSERT_EQ(layout.lines[0].pieces.size(), 1u);
    EXPECT_EQ(layout.lines[0].pieces[0].text, "aaa bbb");
    EXPECT_EQ(layout.lines[1].pieces[0].text, "ccc");
    EXPECT_EQ(layout.lines[1].pieces[0].x, 0);
    EXPECT_DOUBLE_EQ(layout.lines[2].pieces[0].x, 27.5); // centred: (75 - 20) / 2
    EXPECT_DOUBLE_EQ(layout.lines[3].pieces[0].x, 55);   // right: 75 - 20
    EXPECT_DOUBLE_EQ(layout.lines[3].height, 40);
    EXPECT_TRUE(layout.lines[4].pieces.empty()); // the empty paragraph keeps its height
    EXPECT_DOUBLE_EQ(layout.lines[4].height, 40);
    EXPECT_EQ(layout.lines[5].pieces[0].text, "x");
    EXPECT_EQ(layout.lines[6].pieces[0].text, "y");
    EXPECT_DOUBLE_EQ(layout.lines[1].y, 24);
    EXPECT_DOUBLE_EQ(layout.height, 24 * 3 + 40 * 4);
    // A word longer than the width stands alone rather than vanishing.
    const RtfLayout narrow = LayoutRtf(ParseRtf("{\\rtf1 a verylongword b\\par}"), 30, measure);
    ASSERT_EQ(narrow.lines.size(), 3u);
    EXPECT_EQ(narrow.lines[1].pieces[0].text, "verylongword");
}

} // namespace
} // namespace kestrin
