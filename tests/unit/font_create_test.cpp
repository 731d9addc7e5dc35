// Run-time fonts from a glyph renderer with made-up metrics: cells, the space's fallbacks, the
// atlas contents and its bounds.

#include <memory>

#include "font_fixture.h"
#include "graphics/font_atlas.h"

namespace kestrin::testing {
namespace {

class FontCreate : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        previous_ = SetGlyphSource(glyphs_);
    }
    void TearDown() override {
        SetGlyphSource(previous_);
        GraphicsTest::TearDown();
    }
    std::shared_ptr<BlockGlyphs> glyphs_ = std::make_shared<BlockGlyphs>();
    std::shared_ptr<GlyphSource> previous_;
};

TEST_F(FontCreate, CellsFollowTheGlyphMetrics) {
    CFont f;
    f.CreateFont("Blocks", 12, false, false, 32, 127);
    struct Case {
        char g;
        int32_t w, h, shift, offset;
    };
    // 'A' = 65: box 4 x 3, origin (1, 7), advance 6. 'B' = 66: box 5 x 4, origin (-1, 8),
    // advance 7 plus the overhang on the left. '!' has no data.
    const Case cases[] = {{'A', 4, 10 - 7 + 3, 6, 1}, {'B', 5, 10 - 8 + 4, 8, -1}, {'!', 0, 0, 0, 0}};
    for (const Case& c : cases) {
        const auto g = size_t(static_cast<unsigned char>(c.g));
        EXPECT_EQ(f.s_w[g], c.w) << c.g;
        EXPECT_EQ(f.s_h[g], c.h) << c.g;
        EXPECT_EQ(f.s_shift[g], c.shift) << c.g;
        EXPECT_EQ(f.s_offset[g], c.offset) << c.g;
    }
    // The space has no data: the text height, and its advance as width and shift.
    EXPECT_EQ(f.s_h[32], 13);
    EXPECT_EQ(f.s_w[32], 5);
    EXPECT_EQ(f.s_shift[32], 5);
    EXPECT_EQ(f.s_FontHeight, 13);
    EXPECT_EQ(f.TextWidth("AB A"), 6 + 8 + 5 + 6);
    EXPECT_GE(f.s_tex, 0);
    EXPECT_EQ(f.s_charset, 1);
    EXPECT_EQ(f.s_AntiAlias, 3);
}

TEST_F(FontCreate, SpaceWithoutAdvanceTakesTheNarrowerAverageOrMaximum) {
    glyphs_->space_advance = 0;
    CFont f;
    f.CreateFont("Blocks", 12, false, false, 32, 127);
    EXPECT_EQ(f.s_shift[32], 6);
    glyphs_->average = 11;
    f.CreateFont("Blocks", 12, false, false, 32, 127);
    EXPECT_EQ(f.s_shift[32], 9);
}

TEST_F(FontCreate, RangeIsClampedToTheGlyphTable) {
    CFont f;
    f.CreateFont("Blocks", 12, true, true, -5, 300);
    EXPECT_EQ(f.s_first, 0);
    EXPECT_EQ(f.s_last, 255);
    EXPECT_TRUE(f.s_bold);
    EXPECT_TRUE(f.s_italic);
}

TEST_F(FontCreate, AtlasHoldsEveryCellOnceWithCoverageScaled) {
    CFont f;
    f.CreateFont("Blocks", 12, false, false, 32, 127);
    ASSERT_EQ(f.s_bytes.size(), size_t(f.s_bw) * size_t(f.s_bh));
    // Placed cells lie inside the atlas and do not overlap.
    std::vector<int> owner(f.s_bytes.size(), -1);
    for (int g = 32; g <= 127; ++g) {
        const size_t i = size_t(g);
        if (int64_t(f.s_w[i]) * f.s_h[i] == 1) continue;
        ASSERT_LE(f.s_x[i] + f.s_w[i], f.s_bw) << g;
        ASSERT_LE(f.s_y[i] + f.s_h[i], f.s_bh) << g;
        for (int32_t y = f.s_y[i]; y < f.s_y[i] + f.s_h[i]; ++y)
            for (int32_t x = f.s_x[i]; x < f.s_x[i] + f.s_w[i]; ++x) {
                int& o = owner[size_t(y) * size_t(f.s_bw) + size_t(x)];
                EXPECT_EQ(o, -1) << g << " overlaps " << o;
                o = g;
            }
    }
    // The largest cell comes first.
    int64_t largest = 0;
    for (int g = 32; g <= 127; ++g) largest = std::max(largest, int64_t(f.s_w[size_t(g)]) * f.s_h[size_t(g)]);
    bool cornerIsLargest = false;
    for (int g = 32; g <= 127; ++g)
        if (f.s_x[size_t(g)] == 0 && f.s_y[size_t(g)] == 0 &&
            int64_t(f.s_w[size_t(g)]) * f.s_h[size_t(g)] == largest)
            cornerIsLargest = true;
    EXPECT_TRUE(cornerIsLargest);
    // 'Z' (coverage 64 -> 255) and 'z' (58 -> 232) sit below the ascent line of their cells:
    // box rows start at ascent - origin y.
    auto at = [&](char c, int32_t dx, int32_t dy) {
        const auto g = size_t(static_cast<unsigned char>(c));
        return f.s_bytes[size_t(f.s_y[g] + dy) * size_t(f.s_bw) + size_t(f.s_x[g] + dx)];
    };
    EXPECT_EQ(at('Z', 0, 10 - ('Z' % 4 + 6)), 255);
    EXPECT_EQ(at('Z', 0, 10 - ('Z' % 4 + 6) - 1), 0);
    EXPECT_EQ(at('z', 1, 10 - ('z' % 4 + 6)), 232);
    // The space's cell is placed but left empty.
    for (int32_t dy = 0; dy < f.s_h[32]; ++dy)
        for (int32_t dx = 0; dx < f.s_w[32]; ++dx) ASSERT_EQ(at(' ', dx, dy), 0);
}

TEST_F(FontCreate, GlyphsTooBigForTheAtlasAreCutAtItsEdges) {
    glyphs_->scale = 120; // boxes of up to 960 x 840 pixels
    CFont f;
    f.CreateFont("Blocks", 12, false, false, 48, 122);
    EXPECT_EQ(f.s_bw, kMaxAtlasSize);
    EXPECT_EQ(f.s_bh, kMaxAtlasSize);
    EXPECT_EQ(f.s_bytes.size(), size_t(kMaxAtlasSize) * kMaxAtlasSize);
}

TEST_F(FontCreate, WithoutARendererTheFontIsEmpty) {
    SetGlyphSource(std::make_shared<NullGlyphSource>());
    CFont f;
    f.CreateFont("Arial", 12, false, false, 32, 127);
    EXPECT_EQ(f.s_name, "Arial");
    EXPECT_EQ(f.TextWidth("Hello"), 0);
    EXPECT_EQ(f.s_tex, -1);
    f.Draw_String(0, 0, "Hello", 0, 1);
    EXPECT_TRUE(device.draws.empty());
}

} // namespace
} // namespace kestrin::testing
