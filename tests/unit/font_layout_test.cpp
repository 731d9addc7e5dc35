// Text layout, measuring and the vertex recipes of the draw_text family, with a font of fixed
// metrics so every position is known.

#include <cmath>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "font_fixture.h"

namespace kestrin::testing {
namespace {

class TextLayout : public TextTest {
protected:
    // Makes a fixed font current and returns it.
    CFont& Use(std::unique_ptr<CFont> f) {
        CFont& ref = *f;
        const int32_t ind = Font_AddNew(std::move(f));
        Call("draw_set_font", {RValue(double(ind))});
        EXPECT_EQ(Text_GetFont(), ind);
        return ref;
    }
    // The glyphs drawn, named by their atlas column, and where each one went.
    std::string Drawn() const {
        std::string s;
        for (const RecordedDraw& d : device.draws) s.push_back(char(std::lround(d.vertices[0].u * 256)));
        return s;
    }
    // The untransformed glyph position of draw i (its quad starts half a pixel up and left).
    std::pair<double, double> At(size_t i) const {
        return {device.draws[i].vertices[0].x + 0.5, device.draws[i].vertices[0].y + 0.5};
    }
};

TEST_F(TextLayout, LinesFromBreaksAndWrapping) {
    const CFont& f = Use(FixedFont(32, 127, 10, 16));
    struct Case {
        const char* text;
        int32_t w;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"A#B", -1, {"A", "B"}},
        {"A\\#B", -1, {"A#B"}},
        {"A\\B", -1, {"A\\B"}},
        {"A\r\nB", -1, {"A", "B"}},
        {"A\n\nB", -1, {"A", "", "B"}},
        {"A\rB", -1, {"A", "B"}},
        {"", -1, {}},
        {"A#", -1, {"A"}},
        {"#A", -1, {"", "A"}},
        // Words end after a space or a hyphen; widths include trailing spaces.
        {"Hello-world", 80, {"Hello-", "world"}},
        {"Hello-world", 110, {"Hello-world"}},
        {"aa bb cc", 60, {"aa bb ", "cc"}},
        {"aa bb cc", 59, {"aa ", "bb cc"}},
        {"abcdefghij", 30, {"abcdefghij"}},
        {"a b", 0, {"a ", "b"}},
        {"x##y z", 5, {"x", "", "y ", "z"}},
    };
    for (const Case& c : cases) EXPECT_EQ(Text_Layout(f, c.text, c.w), c.lines) << c.text << " / " << c.w;
}

TEST_F(TextLayout, MeasuringUsesLinesSeparationAndWrapWidth) {
    Use(FixedFont(32, 127, 10, 16));
    struct Case {
        const char* name;
        std::vector<RValue> args;
        double expected;
    };
    const Case cases[] = {
        {"string_width", {RValue("")}, 1},
        {"string_height", {RValue("")}, 1},
        {"string_width", {RValue("abc")}, 30},
        {"string_width", {RValue("abc#abcd")}, 40},
        {"string_height", {RValue("A#B")}, 32},
        {"string_height", {RValue(5.0)}, 1}, // reals measure as the empty text
        {"string_width", {RValue(123.0)}, 1},
        {"string_height_ext", {RValue("A#B"), RValue(20.0), RValue(-1.0)}, 36},
        {"string_height_ext", {RValue("A#B"), RValue(-1.0), RValue(-1.0)}, 32},
        {"string_width_ext", {RValue("aa bb cc"), RValue(-1.0), RValue(60.0)}, 60},
        {"string_height_ext", {RValue("aa bb cc"), RValue(-1.0), RValue(60.0)}, 32},
    };
    for (const Case& c : cases) {
        const int32_t index = FindFunction(c.name);
        RValue slots[16];
        for (size_t i = 0; i < c.args.size(); ++i) slots[i] = c.args[i];
        RValue r;
        FunctionRoutine(index)(nullptr, nullptr, int32_t(c.args.size()), slots, r);
        EXPECT_EQ(r.val(), c.expected) << c.name << " " << c.args[0].str();
    }
}

TEST_F(TextLayout, GlyphsOutsideTheFontAdvanceAndDrawNothing) {
    CFont& noSpace = Use(FixedFont(65, 90, 7, 16));
    noSpace.s_shift[65] = 3;
    EXPECT_EQ(Real("string_width", {}), 1);
    EXPECT_EQ(Call("string_width", {RValue("a")}).val(), 3); // the first glyph's advance
    CFont& withSpace = Use(FixedFont(32, 90, 7, 16));
    withSpace.s_shift[32] = 4;
    EXPECT_EQ(Call("string_width", {RValue("aA")}).val(), 4 + 7);
    Call("draw_text", {RValue(10.0), RValue(0.0), RValue("aA")});
    EXPECT_EQ(Drawn(), "A");
    EXPECT_EQ(At(0).first, 14);
}

TEST_F(TextLayout, DrawTextPlacesGlyphsAlongThePen) {
    CFont& f = Use(FixedFont(32, 127, 10, 16));
    f.s_offset['B'] = 2;
    Call("draw_text", {RValue(100.0), RValue(50.0), RValue("AB#C")});
    ASSERT_EQ(Drawn(), "ABC");
    EXPECT_EQ(At(0), std::make_pair(100.0, 50.0));
    EXPECT_EQ(At(1), std::make_pair(112.0, 50.0));
    EXPECT_EQ(At(2), std::make_pair(100.0, 66.0));
    // One quad per glyph: its cell of the atlas, unscaled.
    const RecordedDraw& d = device.draws[0];
    EXPECT_EQ(d.type, PrimitiveType::TriangleFan);
    EXPECT_FLOAT_EQ(d.vertices[2].x - d.vertices[0].x, 1);
    EXPECT_FLOAT_EQ(d.vertices[2].y - d.vertices[0].y, 16);
    device.draws.clear();
    Call("draw_text_ext", {RValue(0.0), RValue(0.0), RValue("A#B"), RValue(20.0), RValue(-1.0)});
    EXPECT_EQ(At(1).second, 20);
}

TEST_F(TextLayout, AlignmentMovesLinesByTheirWidthAndTheBlockByItsHeight) {
    struct Case {
        int32_t advance, halign, valign;
        const char* text;
        double x0, y0;
    };
    const Case cases[] = {
        {11, 1, 0, "A", 95, 0},        // width 11: 5 to the left
        {11, 2, 0, "A", 89, 0},        // right: the whole width
        {-11, 1, 0, "A", 105, 0},      // halving truncates toward zero
        {10, 7, 0, "A", 100, 0},       // any other value is left
        {10, 0, 1, "A#B#C", 100, -22}, // three lines of 15: (45 div 2) up
        {10, 0, 2, "A#B#C", 100, -45},
    };
    for (const Case& c : cases) {
        Font_ClearAll();
        device.draws.clear();
        Use(FixedFont(32, 127, c.advance, 15));
        Call("draw_set_halign", {RValue(double(c.halign))});
        Call("draw_set_valign", {RValue(double(c.valign))});
        Call("draw_text", {RValue(100.0), RValue(0.0), RValue(c.text)});
        ASSERT_FALSE(device.draws.empty()) << c.text;
        EXPECT_EQ(At(0), std::make_pair(c.x0, c.y0)) << c.advance << " " << c.halign << " " << c.valign;
    }
}

TEST_F(TextLayout, RealsAreDrawnAsDigitsWithTwoDecimalsUnlessWhole) {
    Use(FixedFont(32, 127, 10, 16));
    const std::pair<double, const char*> cases[] = {
        {3.14159, "3.14"}, {5, "5"}, {-2.5, "-2.50"}, {0.005, "0.01"}};
    for (const auto& [value, text] : cases) {
        device.draws.clear();
        Call("draw_text", {RValue(0.0), RValue(0.0), RValue(value)});
        EXPECT_EQ(Drawn(), text) << value;
    }
}

TEST_F(TextLayout, ColoursComeFromTheStateOrTheFourCorners) {
    Use(FixedFont(32, 127, 10, 16));
    Call("draw_set_color", {RValue(255.0)});
    Call("draw_set_alpha", {RValue(0.5)});
    Call("draw_text", {RValue(0.0), RValue(0.0), RValue("A")});
    for (const Vertex& v : device.draws[0].vertices) EXPECT_EQ(v.colour, QuadColour(255, 0.5));
    device.draws.clear();

    const int32_t c1 = 0x0000FF, c2 = 0xFF0000, c3 = 0x00FF00, c4 = 0xFFFFFF;
    Call("draw_text_color", {RValue(0.0), RValue(0.0), RValue("AB"), RValue(double(c1)), RValue(double(c2)),
                             RValue(double(c3)), RValue(double(c4)), RValue(0.25)});
    ASSERT_EQ(device.draws.size(), 2u);
    const uint32_t a[4] = {QuadColour(c1, 0.25), QuadColour(MergeColour(c1, c2, 0.5), 0.25),
                           QuadColour(MergeColour(c4, c3, 0.5), 0.25), QuadColour(c4, 0.25)};
    const uint32_t b[4] = {QuadColour(MergeColour(c1, c2, 0.5), 0.25), QuadColour(c2, 0.25),
                           QuadColour(c3, 0.25), QuadColour(MergeColour(c4, c3, 0.5), 0.25)};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(device.draws[0].vertices[size_t(k)].colour, a[k]) << k;
        EXPECT_EQ(device.draws[1].vertices[size_t(k)].colour, b[k]) << k;
    }
}

TEST_F(TextLayout, TransformedTextTurnsThePenAndTheLineStep) {
    Use(FixedFont(32, 127, 10, 16));
    // At 90 degrees the pen goes up the screen by advance x xscale; lines step to the right.
    Call("draw_text_transformed",
         {RValue(100.0), RValue(100.0), RValue("AB#C"), RValue(2.0), RValue(1.0), RValue(90.0)});
    ASSERT_EQ(Drawn(), "ABC");
    // A quad turned by 90 degrees starts half a pixel left of and below its position.
    auto pos = [&](size_t i) {
        return std::make_pair(device.draws[i].vertices[0].x + 0.5, device.draws[i].vertices[0].y - 0.5);
    };
    EXPECT_NEAR(pos(0).first, 100, 1e-4);
    EXPECT_NEAR(pos(0).second, 100, 1e-4);
    EXPECT_NEAR(pos(1).first, 100, 1e-4);
    EXPECT_NEAR(pos(1).second, 80, 1e-4);
    EXPECT_NEAR(pos(2).first, 116, 1e-4);
    EXPECT_NEAR(pos(2).second, 100, 1e-4);
    // Scaled quads.
    EXPECT_NEAR(device.draws[0].vertices[1].y - device.draws[0].vertices[0].y, -2, 1e-4);

    device.draws.clear();
    Call("draw_set_halign", {RValue(1.0)});
    Call("draw_set_valign", {RValue(2.0)});
    Call("draw_text_ext_transformed", {RValue(100.0), RValue(100.0), RValue("AB"), RValue(20.0), RValue(-1.0),
                                       RValue(3.0), RValue(2.0), RValue(0.0)});
    // Centre: -round(3 x 20 / 2) = -30; bottom: one line of 20 x yscale 2.
    ASSERT_EQ(Drawn(), "AB");
    EXPECT_NEAR(At(0).first, 70, 1e-4);
    EXPECT_NEAR(At(0).second, 60, 1e-4);
    EXPECT_NEAR(At(1).first, 100, 1e-4);
}

TEST_F(TextLayout, InvalidFontSelectsTheDefault) {
    Use(FixedFont(32, 127, 10, 16));
    Call("draw_set_font", {RValue(7.0)});
    EXPECT_EQ(Text_GetFont(), -1);
    Call("draw_set_font", {RValue(0.0)});
    Font_Delete(0);
    Call("draw_set_font", {RValue(0.0)});
    EXPECT_EQ(Text_GetFont(), -1);
}

// Kept layouts against layouts made afresh, while fonts come, go, are replaced, change their
// glyphs or their code page and the current font switches: every kept block, measure and
// draw equals the fresh one, text by text, for every separation and wrap width.
TEST_F(TextLayout, KeptLayoutsMatchFreshOnesAcrossFontChanges) {
    std::mt19937 rng(77);
    auto below = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    const char* const texts[] = {"",
                                 "A",
                                 "Score: 12",
                                 "aa bb cc",
                                 "Hello-world#x",
                                 "a\\#b c",
                                 "\xC3\xA9t\xC3\xA9",
                                 "\xD0\x96 \xD0\x96",
                                 "x\r\ny z-w",
                                 "###"};
    const int32_t seps[] = {-1, 0, 5, 20};
    const int32_t widths[] = {-1, 0, 15, 35, 100};
    const int32_t charsets[] = {1, 204, 161, 0};
    auto fixed = [&] {
        auto f = FixedFont(32, 255, 3 + static_cast<int32_t>(below(9)), 8 + static_cast<int32_t>(below(9)));
        f->s_charset = charsets[below(std::size(charsets))];
        return f;
    };
    const std::function<void()> changes[] = {
        [&] { Font_AddNew(fixed()); },
        [&] { Font_AddFont("Arial", 8 + static_cast<int32_t>(below(10)), false, false, 32, 127); },
        [&] { (void)Font_Replace(static_cast<int32_t>(below(4)), fixed()); },
        [&] { (void)Font_Delete(static_cast<int32_t>(below(4))); },
        [&] { Text_SetFont(static_cast<int32_t>(below(5)) - 1); },
        [&] { Text_SetFont(static_cast<int32_t>(below(5)) - 1); },
        [&] {
            // Glyph tables written directly, as the fixtures do, then announced.
            if (CFont* f = Font_Get(Text_GetFont())) {
                f->s_shift[size_t('a' + below(3))] = static_cast<int32_t>(below(20));
                f->s_FontHeight = 5 + static_cast<int32_t>(below(20));
                Font_GlyphsChanged();
            }
        },
        // The code page is part of the key on its own.
        [&] {
            if (CFont* f = Font_Get(Text_GetFont())) f->s_charset = charsets[below(std::size(charsets))];
        },
        [&] { Text_SetHAlign(static_cast<int32_t>(below(3))); },
    };
    for (int round = 0; round < 300; ++round) {
        // Every text is kept under the font of the moment, so the change that follows meets
        // kept layouts it must not be answered from.
        const int32_t warmSep = seps[below(std::size(seps))], warmW = widths[below(std::size(widths))];
        for (const char* text : texts) (void)Text_KeptBlock(Text_DrawingFont(), text, warmSep, warmW);
        changes[below(std::size(changes))]();
        for (int k = 0; k < 12; ++k) {
            const std::string text = texts[below(std::size(texts))];
            const bool warm = k % 2 == 0;
            const int32_t sep = warm ? warmSep : seps[below(std::size(seps))];
            const int32_t w = warm ? warmW : widths[below(std::size(widths))];
            const CFont& font = Text_DrawingFont();
            SCOPED_TRACE("round " + std::to_string(round) + " text '" + text + "' sep " +
                         std::to_string(sep) + " w " + std::to_string(w));
            const TextBlock fresh = Text_LayoutBlock(font, text, sep, w);
            ASSERT_EQ(Text_KeptBlock(font, text, sep, w), fresh);
            device.draws.clear();
            const TextColours colours;
            Text_Draw(3, 4, text, sep, w, colours);
            Text_DrawTransformed(3, 4, text, sep, w, 2, 1, 30, colours);
            const int32_t width = Text_Width(text, sep, w), height = Text_Height(text, sep, w);
            const std::vector<RecordedDraw> kept = device.draws;
            SetTextLayoutKept(false);
            device.draws.clear();
            Text_Draw(3, 4, text, sep, w, colours);
            Text_DrawTransformed(3, 4, text, sep, w, 2, 1, 30, colours);
            EXPECT_EQ(Text_Width(text, sep, w), width);
            EXPECT_EQ(Text_Height(text, sep, w), height);
            SetTextLayoutKept(true);
            ASSERT_EQ(device.draws.size(), kept.size());
            for (size_t i = 0; i < kept.size(); ++i)
                for (size_t v = 0; v < kept[i].vertices.size(); ++v) {
                    EXPECT_EQ(device.draws[i].vertices[v].x, kept[i].vertices[v].x);
                    EXPECT_EQ(device.draws[i].vertices[v].y, kept[i].vertices[v].y);
                    EXPECT_EQ(device.draws[i].vertices[v].u, kept[i].vertices[v].u);
                }
        }
    }
}

TEST_F(TextLayout, KeptLayoutsStayBoundedAndStayRight) {
    const CFont& f = Use(FixedFont(32, 127, 10, 16));
    for (int i = 0; i < 3000; ++i) (void)Text_KeptBlock(f, "text " + std::to_string(i), -1, -1);
    EXPECT_EQ(Text_KeptLayoutCount(), 256u);
    for (int i = 0; i < 3000; i += 7) {
        const std::string text = "text " + std::to_string(i);
        EXPECT_EQ(Text_KeptBlock(f, text, -1, -1), Text_LayoutBlock(f, text, -1, -1)) << text;
    }
    // Long texts: fewer of them fit the byte budget, and one too long is laid out but not kept.
    for (int i = 0; i < 200; ++i)
        (void)Text_KeptBlock(f, std::string(10000, char('a' + i % 26)) + "#" + std::to_string(i), -1, 50);
    EXPECT_LE(Text_KeptLayoutCount(), 60u);
    EXPECT_GE(Text_KeptLayoutCount(), 40u);
    const size_t kept = Text_KeptLayoutCount();
    const std::string huge(20000, 'x');
    EXPECT_EQ(Text_KeptBlock(f, huge, -1, -1), Text_LayoutBlock(f, huge, -1, -1));
    EXPECT_EQ(Text_KeptLayoutCount(), kept);
    Text_Reset();
    EXPECT_EQ(Text_KeptLayoutCount(), 0u);
}

} // namespace
} // namespace kestrin::testing
