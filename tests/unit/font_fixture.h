#pragma once
// Text tests: the recording device of the graphics tests, the glyph renderer reading only the
// font file kept in the repository (so results do not depend on the machine's fonts), and the
// text state and font list reset around each test.

#include <memory>
#include <string>

#include "graphics/font.h"
#include "graphics/glyph_source.h"
#include "graphics/graphics_text.h"
#include "graphics_fixture.h"
#include "platform/font/freetype_glyphs.h"

namespace kestrin::testing {

inline std::string RepositoryFontFile() {
    return std::string(KESTRIN_SOURCE_DIR) + "/tests/data/fonts/LiberationSans-Regular.ttf";
}

class TextTest : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        previous_source_ = SetGlyphSource(MakeFreeTypeGlyphSource({RepositoryFontFile()}));
        Text_Reset();
        Font_ClearAll();
    }
    void TearDown() override {
        Text_Reset();
        Font_ClearAll();
        SetGlyphSource(previous_source_);
        GraphicsTest::TearDown();
    }

    std::shared_ptr<GlyphSource> previous_source_;
};

// A font with fixed metrics for layout tables: every glyph of first..last advances `advance`
// and is `height` tall; glyph g's cell starts at column g of a 256 x 16 atlas, so a quad's left
// texture coordinate times 256 names the glyph it shows.
inline std::unique_ptr<CFont> FixedFont(int32_t first, int32_t last, int32_t advance, int32_t height) {
    auto f = std::make_unique<CFont>();
    f->s_name = "Fixed";
    f->s_first = first;
    f->s_last = last;
    for (int32_t g = first; g <= last; ++g) {
        f->s_x[size_t(g)] = g;
        f->s_w[size_t(g)] = 1;
        f->s_h[size_t(g)] = height;
        f->s_shift[size_t(g)] = advance;
    }
    f->s_FontHeight = height;
    f->s_bw = 256;
    f->s_bh = 16;
    f->s_bytes.assign(256 * 16, 255);
    f->InitTexture();
    return f;
}

} // namespace kestrin::testing

namespace kestrin::testing {

// A glyph renderer with made-up metrics, so the cell and atlas rules can be checked exactly:
// character c (a printable ASCII letter or digit) has a black box of (c % 7 + 2) x (c % 5 + 3),
// origin (c % 3 - 1, c % 4 + 6), advance c % 7 + 4, and coverage c % 64 (64 for "Z"). Other
// characters, the space among them, have no data; the space advances `space_advance`.
class BlockGlyphs : public GlyphSource {
public:
    int32_t ascent = 10, height = 13, average = 6, max = 9, space_advance = 5;
    int32_t scale = 1; // multiplies every box, to make faces too big for an atlas
    int opened = 0;

    std::unique_ptr<GlyphFace> Open(const GlyphFontRequest&) override {
        ++opened;
        return std::make_unique<Face>(*this);
    }

private:
    class Face : public GlyphFace {
    public:
        explicit Face(const BlockGlyphs& s) : s_(s) {}
        GlyphFaceMetrics Metrics() const override { return {s_.ascent, s_.height, s_.average, s_.max}; }
        bool Render(char32_t ch, GlyphImage& out) override {
            out = GlyphImage();
            if (ch == ' ') {
                out.advance = s_.space_advance;
                return false;
            }
            const bool alnum =
                (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
            if (!alnum) return false;
            const int32_t c = int32_t(ch);
            out.black_w = (c % 7 + 2) * s_.scale;
            out.black_h = (c % 5 + 3) * s_.scale;
            out.origin_x = c % 3 - 1;
            out.origin_y = c % 4 + 6;
            out.advance = c % 7 + 4;
            out.pitch = (out.black_w + 3) / 4 * 4;
            out.coverage.assign(size_t(out.pitch) * size_t(out.black_h), uint8_t(c == 'Z' ? 64 : c % 64));
            return true;
        }

    private:
        const BlockGlyphs& s_;
    };
};

} // namespace kestrin::testing
