#include "graphics/glyph_source.h"

namespace kestrin {

namespace {
std::shared_ptr<GlyphSource> g_source;
}

std::shared_ptr<GlyphSource> SetGlyphSource(std::shared_ptr<GlyphSource> source) {
    std::swap(source, g_source);
    return source;
}

GlyphSource* CurrentGlyphSource() {
    return g_source.get();
}

} // namespace kestrin
