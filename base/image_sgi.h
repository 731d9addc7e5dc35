#pragma once
// SGI image files (sgi, rgb, rgba, bw).

#include <cstdint>
#include <span>

#include "base/bitmap32.h"

namespace kestrin {

// Decodes 1 to 4 channels (grey, grey and alpha, RGB, RGBA) of 1 or 2 bytes per sample,
// verbatim or run-length encoded; two-byte samples keep their high byte. Alpha from the
// second or fourth channel; an image whose alpha is 0 everywhere loads opaque. False, with
// `out` unchanged, for damaged or cut-short data.
bool DecodeSgi(std::span<const uint8_t> file, TBitmap32& out);

} // namespace kestrin
