#pragma once
// Targa files (tga and its other extensions).

#include <cstdint>
#include <span>

#include "base/bitmap32.h"

namespace kestrin {

// Decodes colour-mapped (8 or 16-bit indices into 15, 16, 24 or 32-bit maps), true-colour
// (15, 16, 24, 32 bits) and greyscale (8 bits, or 16 with alpha) images, uncompressed or
// run-length encoded, in any of the four origin corners. Alpha comes from 32-bit pixels, from
// grey-and-alpha pixels and from the attribute bit of 16-bit pixels when the descriptor
// declares it; an image whose alpha is 0 everywhere loads opaque. False, with `out`
// unchanged, for damaged or cut-short data.
bool DecodeTga(std::span<const uint8_t> file, TBitmap32& out);

} // namespace kestrin
