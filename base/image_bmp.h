#pragma once
// Windows bitmap files: the form the game data stores loading-window images in, and one of
// the image files the resource built-ins read.

#include <cstdint>
#include <span>
#include <vector>

#include "base/bitmap32.h"

namespace kestrin {

enum class BmpAlpha {
    Keep,      // alpha as decoded (0 for formats without alpha)
    TestAlpha, // when no pixel has alpha, every pixel becomes opaque
};

// Decodes a whole BMP file (file header included): core, info, V4 and V5 headers; 1, 4
// and 8 bits with palettes, 16 and 32 bits plain or with bit fields, 24 bits, RLE8 and
// RLE4, top-down and bottom-up. Only 32-bit files and bit fields with an alpha mask carry
// alpha. False, with `out` unchanged, when the data is not a bitmap this reader
// understands, is inconsistent, or is cut short.
bool DecodeBmp(std::span<const uint8_t> file, TBitmap32& out, BmpAlpha alpha);
// A 32-bit bottom-up BMP that keeps alpha in the fourth byte; empty for an empty bitmap.
std::vector<uint8_t> EncodeBmp(const TBitmap32& bitmap);

} // namespace kestrin
