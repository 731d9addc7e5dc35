#pragma once
// PNG files: decoded through libpng, written by our own single-pass writer (screenshots,
// saved surfaces, sprites and backgrounds).

#include <cstdint>
#include <span>
#include <vector>

#include "base/bitmap32.h"

namespace kestrin {

// Decodes a PNG of any colour type, bit depth and interlacing into BGRA; palette and
// colour-key transparency become alpha, and an image whose alpha is 0 everywhere loads
// opaque. False, with `out` unchanged, when the data does not decode completely or the
// image is larger than kMaxBitmapPixels.
bool DecodePng(std::span<const uint8_t> file, TBitmap32& out);

// Truecolour-with-alpha PNG: one IDAT chunk of unfiltered rows compressed as one zlib
// stream at the default level. Empty for an empty bitmap.
std::vector<uint8_t> EncodePng(const TBitmap32& bitmap);

} // namespace kestrin
