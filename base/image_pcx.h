#pragma once
// Paintbrush files (pcx, pcc, scr).

#include <cstdint>
#include <span>

#include "base/bitmap32.h"

namespace kestrin {

// Decodes 1-bit monochrome, 1-bit × 4 planes and 4-bit 16-colour images (header palette),
// 8-bit paletted images (palette after the pixel data; grey when it is missing), and 8-bit
// × 3 or 4 planes (RGB, RGBA), run-length encoded or stored. Alpha only from 4 planes; an
// image whose alpha is 0 everywhere loads opaque. False, with `out` unchanged, for damaged
// or cut-short data.
bool DecodePcx(std::span<const uint8_t> file, TBitmap32& out);

} // namespace kestrin
