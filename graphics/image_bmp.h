#pragma once
// Windows bitmap files: the form the game data stores loading-window images in.

#include <cstdint>
#include <span>
#include <vector>

#include "graphics/bitmap32.h"

namespace kestrin {

enum class BmpAlpha {
    Keep,      // alpha as decoded (0 for formats without alpha)
    TestAlpha, // when no pixel has alpha, every pixel becomes opaque
};

// Decodes a whole BMP file (file header included). False, with `out` unchanged, when the
// data is not a bitmap this reader understands or is cut short.
bool DecodeBmp(std::span<const uint8_t> file, TBitmap32& out, BmpAlpha alpha);
// A 32-bit top-down-free (bottom-up) BMP that keeps alpha in the fourth byte.
std::vector<uint8_t> EncodeBmp(const TBitmap32& bitmap);

} // namespace kestrin
