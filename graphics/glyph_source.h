#pragma once
// The glyph renderer run-time fonts are made with: for a family, size, style and character set
// it gives each character's black box, origin, advance and an 8-bit coverage bitmap, and the
// face's line metrics. The core never rasterises outlines itself; the executable installs a
// renderer at start-up, and without one every face fails to open (fonts come out empty).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrin {

struct GlyphFontRequest {
    std::string family;
    int32_t size = 12; // points, at 96 pixels per inch
    bool bold = false;
    bool italic = false;
    int32_t charset = 1;
};

// Coverage values run from 0 to 64; each row takes `pitch` bytes, a multiple of 4.
struct GlyphImage {
    int32_t black_w = 0, black_h = 0;
    int32_t origin_x = 0; // left edge of the black box, from the pen
    int32_t origin_y = 0; // top edge of the black box, above the baseline
    int32_t advance = 0;  // the pen's move
    int32_t pitch = 0;
    std::vector<uint8_t> coverage;
};

struct GlyphFaceMetrics {
    int32_t ascent = 0;
    int32_t height = 0; // ascent plus descent
    int32_t average_width = 0;
    int32_t max_width = 0;
};

class GlyphFace {
public:
    virtual ~GlyphFace() = default;
    virtual GlyphFaceMetrics Metrics() const = 0;
    // False when the face has nothing to draw for the character (missing or blank); `out`
    // still holds what is known of it, such as the advance of a blank.
    virtual bool Render(char32_t character, GlyphImage& out) = 0;
};

class GlyphSource {
public:
    virtual ~GlyphSource() = default;
    // Null when no face can be made for the request.
    virtual std::unique_ptr<GlyphFace> Open(const GlyphFontRequest& request) = 0;
};

// The renderer of a headless build: no face opens.
class NullGlyphSource : public GlyphSource {
public:
    std::unique_ptr<GlyphFace> Open(const GlyphFontRequest&) override { return nullptr; }
};

// Installs the renderer (null: none). Returns the previous one, so tests can put it back.
std::shared_ptr<GlyphSource> SetGlyphSource(std::shared_ptr<GlyphSource> source);
GlyphSource* CurrentGlyphSource();

} // namespace kestrin
