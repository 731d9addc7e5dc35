// The font record: round trip, the packed first-glyph word, and damaged records.

#include <memory>

#include "font_fixture.h"
#include "runner/game_data.h"
#include "base/stream.h"

namespace kestrin::testing {
namespace {

std::vector<uint8_t> RecordOf(const CFont& f) {
    CStream s;
    f.SaveToStream(s);
    return s.TakeBytes();
}

class FontRecord : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        previous_ = SetGlyphSource(std::make_shared<BlockGlyphs>());
        font_.CreateFont("Blocks", 14, true, false, 40, 122);
        font_.s_charset = 204;
        font_.s_AntiAlias = 2;
    }
    void TearDown() override {
        Font_ClearAll();
        SetGlyphSource(previous_);
        GraphicsTest::TearDown();
    }
    CFont font_;
    std::shared_ptr<GlyphSource> previous_;
};

TEST_F(FontRecord, SavedRecordLoadsBackToTheSameFontAndBytes) {
    const std::vector<uint8_t> bytes = RecordOf(font_);
    CFont back;
    CStream in(bytes);
    ASSERT_TRUE(back.LoadFromStream(in));
    EXPECT_EQ(back.s_name, "Blocks");
    EXPECT_EQ(back.s_size, 14);
    EXPECT_TRUE(back.s_bold);
    EXPECT_FALSE(back.s_italic);
    EXPECT_EQ(back.s_first, 40);
    EXPECT_EQ(back.s_last, 122);
    EXPECT_EQ(back.s_charset, 204);
    EXPECT_EQ(back.s_AntiAlias, 2);
    EXPECT_EQ(back.s_x, font_.s_x);
    EXPECT_EQ(back.s_shift, font_.s_shift);
    EXPECT_EQ(back.s_offset, font_.s_offset);
    EXPECT_EQ(back.s_bytes, font_.s_bytes);
    EXPECT_EQ(back.s_FontHeight, font_.s_FontHeight);
    EXPECT_EQ(RecordOf(back), bytes);
}

TEST_F(FontRecord, PackedWordCarriesFirstGlyphCharsetAndAntiAliasing) {
    struct Case {
        uint32_t packed;
        int32_t first, charset, antialias;
    };
    const Case cases[] = {
        {32, 32, 1, 3},            // nothing above the low 16 bits: the defaults
        {0x00BA0020, 32, 186, 3},  // a character set
        {0x01000041, 65, 1, 0},    // top byte 1: level 0
        {0x05CC0000, 0, 204, 4},   // all three
        {0x0000FFFF, 65535, 1, 3}, // a first glyph beyond the table is kept, used safely
    };
    const std::vector<uint8_t> bytes = RecordOf(font_);
    const size_t at = 4 + 4 + 6 + 4 + 4 + 4; // version, name length and text, size, bold, italic
    for (const Case& c : cases) {
        std::vector<uint8_t> b = bytes;
        for (int k = 0; k < 4; ++k) b[at + size_t(k)] = uint8_t(c.packed >> (8 * k));
        CFont f;
        CStream in(b);
        ASSERT_TRUE(f.LoadFromStream(in)) << std::hex << c.packed;
        EXPECT_EQ(f.s_first, c.first) << std::hex << c.packed;
        EXPECT_EQ(f.s_charset, c.charset) << std::hex << c.packed;
        EXPECT_EQ(f.s_AntiAlias, c.antialias) << std::hex << c.packed;
        // Out-of-range glyphs fall back without reading outside the tables.
        (void)f.TextWidth("xyz");
    }
}

TEST_F(FontRecord, DamagedRecordsFailAndLeaveAnEmptyFont) {
    const std::vector<uint8_t> good = RecordOf(font_);
    auto loads = [](std::vector<uint8_t> b) {
        CFont f;
        CStream in(std::move(b));
        const bool ok = f.LoadFromStream(in);
        if (!ok) {
            EXPECT_TRUE(f.s_bytes.empty() && f.s_name.empty() && f.s_tex == -1);
        }
        return ok;
    };
    for (size_t cut : {size_t(0), size_t(3), size_t(30), good.size() / 2, good.size() - 1})
        EXPECT_FALSE(loads(std::vector<uint8_t>(good.begin(), good.begin() + long(cut)))) << cut;
    std::vector<uint8_t> v = good;
    v[0] = 0x21; // version 801
    EXPECT_FALSE(loads(v));

    // Atlas sizes the coverage does not match, negative, or beyond any atlas.
    const size_t sizes = 26 + 4 + 4 + 256 * 24; // where the width is: after the glyph table
    auto withSize = [&](int32_t w, int32_t h) {
        CStream head(std::vector<uint8_t>(good.begin(), good.begin() + long(sizes)));
        head.Seek(sizes);
        head.WriteInteger(w);
        head.WriteInteger(h);
        CStream atlas;
        atlas.WriteBytes(font_.s_bytes);
        head.WriteStreamC(atlas);
        return head.TakeBytes();
    };
    ASSERT_TRUE(loads(withSize(font_.s_bw, font_.s_bh)));
    EXPECT_FALSE(loads(withSize(font_.s_bw, font_.s_bh + 1)));
    EXPECT_FALSE(loads(withSize(-1, font_.s_bh)));
    EXPECT_FALSE(loads(withSize(100000, 100000)));
}

TEST_F(FontRecord, GameDataSlotsFillTheFontList) {
    std::vector<RawResource> slots(3);
    slots[0] = {true, "fnt_score", RecordOf(font_)};
    slots[2] = {true, "fnt_title", RecordOf(font_)};
    ASSERT_TRUE(Font_LoadRecords(slots));
    EXPECT_EQ(Font_Count(), 3);
    EXPECT_TRUE(Font_Exists(0));
    EXPECT_FALSE(Font_Exists(1));
    EXPECT_EQ(Font_GetName(1), "<undefined>");
    EXPECT_EQ(Font_Find("fnt_title"), 2);
    EXPECT_EQ(Font_Find("fnt_none"), -1);
    EXPECT_EQ(Font_AddFont("Blocks", 10, false, false, 32, 127), 3);
    EXPECT_EQ(Font_GetName(3), "__newfont3");

    slots[2].record.resize(slots[2].record.size() / 2);
    EXPECT_FALSE(Font_LoadRecords(slots));
    EXPECT_EQ(Font_Count(), 0);
}

} // namespace
} // namespace kestrin::testing
