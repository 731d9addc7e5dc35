#pragma once
// Run-time font rendering with FreeType, faces found through fontconfig. Families of the
// original platform map to their metric-compatible substitutes ("Arial" to Liberation Sans,
// "Times New Roman" to Liberation Serif, "Courier New" to Liberation Mono), and a family that
// matches nothing falls back to Liberation Sans, so the same request gives the same face on
// every machine with those fonts.

#include <memory>
#include <string>
#include <vector>

#include "graphics/glyph_source.h"

namespace kestrin {

// Faces from the system's fonts.
std::shared_ptr<GlyphSource> MakeFreeTypeGlyphSource();
// Faces from these font files only (tests and reproducible builds).
std::shared_ptr<GlyphSource> MakeFreeTypeGlyphSource(std::vector<std::string> fontFiles);

} // namespace kestrin
