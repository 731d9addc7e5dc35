// Text with real glyphs: code pages and chr/ord, the default font and run-time fonts rendered
// from the font file kept in the repository, a text golden, substitutes of common families,
// sprite fonts and the font resource built-ins.

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "font_fixture.h"
#include "base/code_page.h"
#include "graphics/sprite.h"

namespace kestrin::testing {
namespace {

TEST(FontCodePage, CharsetsMapToCodePagesAndTextConverts) {
    const std::pair<int32_t, int32_t> pages[] = {{0, 1252},   {1, 1252},  {128, 932},  {130, 1361},
                                                 {204, 1251}, {222, 874}, {238, 1250}, {77, 1252}};
    for (const auto& [set, page] : pages) EXPECT_EQ(CharsetCodePage(set), page) << set;

    struct Case {
        const char* utf8;
        int32_t page;
        const char* bytes;
    };
    const Case cases[] = {
        {"caf\xC3\xA9 \xE2\x82\xAC", 1252, "caf\xE9 \x80"},
        {"\xE6\x97\xA5x", 1252, "?x"}, // missing: the default character, once
        {"\xD0\x96"
         "a",
         1251,
         "\xC6"
         "a"},
        {"\xE6\x97\xA5\xE6\x9C\xAC", 932, "\x93\xFA\x96\x7B"},
        {"a\xFF"
         "b",
         1252, "a?b"}, // malformed UTF-8
    };
    for (const Case& c : cases) EXPECT_EQ(ToCodePage(c.utf8, c.page), c.bytes) << c.utf8;
    EXPECT_EQ(CodePageCharacter(0xC6, 1251), U'\u0416');
    EXPECT_EQ(CodePageCharacter(0x80, 1252), U'\u20AC');
    EXPECT_EQ(CodePageCharacter(0x81, 932), 0u); // a lead byte alone
}

class FontText : public TextTest {};

TEST_F(FontText, ChrUsesTheCurrentFontsCodePage) {
    EXPECT_EQ(Call("chr", {RValue(233.0)}).str(), "\xC3\xA9");
    auto f = FixedFont(32, 255, 10, 16);
    f->s_charset = 204;
    Call("draw_set_font", {RValue(double(Font_AddNew(std::move(f))))});
    EXPECT_EQ(Call("chr", {RValue(double(0xC6))}).str(), "\xD0\x96");
    EXPECT_EQ(Call("ord", {RValue("\xD0\x96")}).val(), 0xC6);
    Call("draw_text", {RValue(0.0), RValue(0.0), RValue("\xD0\x96")});
    ASSERT_EQ(device.draws.size(), 1u);
    EXPECT_NEAR(device.draws[0].vertices[0].u * 256, 0xC6, 1e-3);
}

TEST_F(FontText, DefaultFontIsMadeOnFirstUse) {
    const double w = Call("string_width", {RValue("Hello")}).val();
    const double h = Call("string_height", {RValue("Hello")}).val();
    // 12 points at 96 per inch: 16 pixels, with a line of about 18 or 19.
    EXPECT_GT(w, 25);
    EXPECT_LT(w, 45);
    EXPECT_GE(h, 16);
    EXPECT_LE(h, 20);
    const CFont& f = Text_DrawingFont();
    EXPECT_EQ(f.s_name, "Arial");
    EXPECT_EQ(f.s_first, 32);
    EXPECT_EQ(f.s_last, 127);
    EXPECT_GE(f.s_tex, 0);
    EXPECT_LE(f.s_bw, 256);
}

// Puts the recorded glyph quads onto a black image, white text by coverage; unscaled and
// unturned quads only.
TBitmap32 Compose(RecordingDevice& device, int32_t w, int32_t h) {
    TBitmap32 out;
    EXPECT_TRUE(out.Resize(w, h, MakeColor32(0, 0, 0, 255)));
    for (const RecordedDraw& d : device.draws) {
        TBitmap32* tex = device.Image(d.texture);
        if (!tex) continue;
        const Vertex& a = d.vertices[0];
        const Vertex& b = d.vertices[2];
        const int32_t sx = int32_t(std::lround(a.u * float(tex->Width())));
        const int32_t sy = int32_t(std::lround(a.v * float(tex->Height())));
        const int32_t dx = int32_t(std::lround(a.x + 0.5f)), dy = int32_t(std::lround(a.y + 0.5f));
        const int32_t cw = int32_t(std::lround(b.x - a.x)), ch = int32_t(std::lround(b.y - a.y));
        for (int32_t y = 0; y < ch; ++y)
            for (int32_t x = 0; x < cw; ++x) {
                if (dx + x < 0 || dy + y < 0 || dx + x >= w || dy + y >= h) continue;
                const uint8_t cov = uint8_t(tex->GetPixel(sx + x, sy + y) >> 24);
                const uint8_t old = uint8_t(out.GetPixel(dx + x, dy + y) & 0xFF);
                const uint8_t v = std::max(cov, old);
                out.SetPixel(dx + x, dy + y, MakeColor32(v, v, v, 255));
            }
    }
    return out;
}

TEST_F(FontText, TextGoldenFromTheRepositoryFont) {
    Call("draw_text", {RValue(4.0), RValue(2.0), RValue("Kestrin: 0123456789#The quick brown fox, jumps!")});
    Call("draw_set_halign", {RValue(2.0)});
    Call("draw_text_ext",
         {RValue(236.0), RValue(40.0), RValue("wrapped right-aligned text"), RValue(-1.0), RValue(120.0)});
    const TBitmap32 image = Compose(device, 240, 80);
    const std::string path = std::string(KESTRIN_SOURCE_DIR) + "/tests/data/fonts/text_golden.png";
    const char* update = std::getenv("KESTRIN_UPDATE_GOLDENS");
    if (update && std::string(update) == "1") {
        ASSERT_TRUE(image.SaveToImageFile(path));
        return;
    }
    TBitmap32 golden;
    ASSERT_TRUE(golden.LoadFromImageFile(path)) << path;
    ASSERT_EQ(golden.Width(), image.Width());
    ASSERT_EQ(golden.Height(), image.Height());
    int differ = 0;
    for (int32_t y = 0; y < image.Height(); ++y)
        for (int32_t x = 0; x < image.Width(); ++x)
            differ += (golden.GetPixel(x, y) & 0xFFFFFF) != (image.GetPixel(x, y) & 0xFFFFFF);
    EXPECT_EQ(differ, 0);
}

TEST_F(FontText, TextImagesForWindowsWithoutADevice) {
    const CFont& f = Text_DrawingFont();
    const TBitmap32 image = RenderTextImage(f, "Loading sprites");
    EXPECT_EQ(image.Width(), f.TextWidth("Loading sprites"));
    EXPECT_EQ(image.Height(), f.s_FontHeight);
    int solid = 0;
    for (TColor32 p : image.s_data) {
        EXPECT_EQ(p & 0xFFFFFF, 0xFFFFFFu);
        solid += AlphaOf(p) == 255;
    }
    EXPECT_GT(solid, 20);
    EXPECT_EQ(RenderTextImage(f, "").Width(), 1);
    CFont sprite;
    sprite.s_spr = 0;
    EXPECT_TRUE(RenderTextImage(sprite, "x").Empty());
}

TEST_F(FontText, TextImageOfADamagedCellStopsAtTheAtlas) {
    // A record may claim a cell billions of pixels wide; only the atlas part is copied.
    std::unique_ptr<CFont> f = FixedFont('A', 'A', 4, 16);
    f->s_w['A'] = INT32_MAX;
    const TBitmap32 image = RenderTextImage(*f, "A");
    ASSERT_EQ(image.Width(), 4);
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(AlphaOf(image.GetPixel(x, 15)), 255) << x;
}

TEST_F(FontText, FontAddFindsMetricCompatibleSubstitutes) {
    // The system's fonts this time: families of the original platform map to their substitutes.
    SetGlyphSource(MakeFreeTypeGlyphSource());
    auto add = [&](const char* family, double bold) {
        return Call("font_add",
                    {RValue(family), RValue(12.0), RValue(bold), RValue(0.0), RValue(32.0), RValue(127.0)})
            .val();
    };
    auto width = [&](double font, const char* text) {
        Call("draw_set_font", {RValue(font)});
        return Call("string_width", {RValue(text)}).val();
    };
    const double sans = add("Arial", 0), serif = add("Times New Roman", 0), mono = add("Courier New", 0);
    const double bold = add("Arial", 1), unknown = add("No Such Family 42", 0);
    EXPECT_EQ(Call("font_get_fontname", {RValue(sans)}).str(), "Arial");
    EXPECT_EQ(Call("font_get_name", {RValue(sans)}).str(), "__newfont" + std::to_string(int(sans)));
    EXPECT_EQ(width(mono, "iiii"), width(mono, "WWWW"));
    EXPECT_NE(width(sans, "iiii"), width(sans, "WWWW"));
    EXPECT_NE(width(serif, "The quick brown fox"), width(sans, "The quick brown fox"));
    EXPECT_GT(width(bold, "The quick brown fox"), width(sans, "The quick brown fox"));
    // Unknown families fall back to the same face every time.
    EXPECT_EQ(width(unknown, "The quick brown fox"), width(sans, "The quick brown fox"));
    // The substitute of Arial is the face the repository keeps.
    SetGlyphSource(MakeFreeTypeGlyphSource({RepositoryFontFile()}));
    const double kept = add("Arial", 0);
    EXPECT_EQ(width(kept, "The quick brown fox"), width(sans, "The quick brown fox"));
}

TEST_F(FontText, FontBuiltinsReadAndChangeTheList) {
    const double f = Call("font_add", {RValue("Arial"), RValue(20.0), RValue(1.0), RValue(0.0), RValue(48.0),
                                       RValue(57.0)})
                         .val();
    EXPECT_EQ(Real("font_exists", {f}), 1);
    EXPECT_EQ(Real("font_get_size", {f}), 20);
    EXPECT_EQ(Real("font_get_bold", {f}), 1);
    EXPECT_EQ(Real("font_get_italic", {f}), 0);
    EXPECT_EQ(Real("font_get_first", {f}), 48);
    EXPECT_EQ(Real("font_get_last", {f}), 57);
    EXPECT_EQ(Call("font_name", {RValue(f)}).str(), Call("font_get_name", {RValue(f)}).str());
    EXPECT_EQ(Call("font_replace", {RValue(f), RValue("Arial"), RValue(9.0), RValue(0.0), RValue(1.0),
                                    RValue(32.0), RValue(127.0)})
                  .val(),
              1);
    EXPECT_EQ(Real("font_get_size", {f}), 9);
    EXPECT_EQ(Real("font_get_italic", {f}), 1);
    EXPECT_TRUE(errors().empty());

    // Deleting the current font leaves text drawing on the default font.
    Call("draw_set_font", {RValue(f)});
    EXPECT_EQ(Real("font_delete", {f}), 1);
    EXPECT_GT(Call("string_width", {RValue("ab")}).val(), 0);
    Call("draw_text", {RValue(0.0), RValue(0.0), RValue("ab")});
    EXPECT_EQ(Real("font_exists", {f}), 0);
    EXPECT_EQ(Real("font_get_size", {f}), -1);
    EXPECT_EQ(Call("font_get_fontname", {RValue(f)}).str(), "");
    EXPECT_EQ(Call("font_get_name", {RValue(f)}).str(), "<undefined>");
    EXPECT_EQ(Real("font_delete", {f}), 0);
    EXPECT_EQ(Real("font_replace", {f + 5, 0, 12, 0, 0, 32, 127}), 0);
    EXPECT_EQ(Real("font_add_sprite", {99, 32, 0, 1}), -1);
    EXPECT_EQ(Real("font_replace_sprite", {f, 99, 32, 0, 1}), 0);
    const std::vector<std::string> expected = {"Trying to delete non-existing font.",
                                               "Trying to replace non-existing font.",
                                               "Trying to create font from non-existing sprite.",
                                               "Trying to replace font from non-existing sprite."};
    EXPECT_EQ(errors(), expected);
}

TEST_F(FontText, SpriteFontsDrawFramesAsGlyphs) {
    auto spr = std::make_unique<CSprite>();
    TBitmap32 frame;
    ASSERT_TRUE(frame.Resize(8, 10, MakeColor32(255, 255, 255, 255)));
    spr->CreateFromBitmap(frame, 0, false, 0, 0);
    spr->AddFromBitmap(frame, false, false);
    const int32_t s = Sprite_AddNew(std::move(spr));
    const double f = Real("font_add_sprite", {double(s), 65, 0, 1});
    ASSERT_GE(f, 0);
    const CFont* font = Font_Get(int32_t(f));
    ASSERT_NE(font, nullptr);
    EXPECT_TRUE(font->IsSpriteFont());
    EXPECT_EQ(font->s_first, 65);
    EXPECT_EQ(font->s_last, 66);
    EXPECT_EQ(font->s_AntiAlias, 0);
    Call("draw_set_font", {RValue(f)});
    EXPECT_EQ(Call("string_width", {RValue("ABA")}).val(), 27);
    EXPECT_EQ(Call("string_height", {RValue("A")}).val(), 10);
    Call("draw_text", {RValue(10.0), RValue(5.0), RValue("BCA")});
    ASSERT_EQ(device.draws.size(), 2u);
    EXPECT_EQ(device.draws[0].vertices[0].x, 9.5f);
    EXPECT_EQ(device.draws[1].vertices[0].x, 9.5f + 18);
    Sprite_ClearAll();
    device.draws.clear();
    Call("draw_text", {RValue(10.0), RValue(5.0), RValue("A")});
    EXPECT_TRUE(device.draws.empty());
}

} // namespace
} // namespace kestrin::testing
