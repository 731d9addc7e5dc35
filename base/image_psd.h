#pragma once
// Layered image documents (psd, pdd): only the merged picture stored after the layers.

#include <cstdint>
#include <span>

#include "base/bitmap32.h"

namespace kestrin {

// Decodes the composite image of greyscale, indexed and RGB documents of 8 or 16 bits per
// channel (16-bit samples keep their high byte), raw or PackBits-compressed. The channel
// after the colour channels, when present, is alpha; an image whose alpha is 0 everywhere
// loads opaque. False, with `out` unchanged, for other modes and depths and for damaged or
// cut-short data.
bool DecodePsd(std::span<const uint8_t> file, TBitmap32& out);

} // namespace kestrin
