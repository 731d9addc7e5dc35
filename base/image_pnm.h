#pragma once
// Portable bit, grey and pixel maps (pbm, pgm, ppm).

#include <cstdint>
#include <span>

#include "base/bitmap32.h"

namespace kestrin {

// Decodes P1 to P6, in text or binary form, with any maximum value from 1 to 65535 (samples
// scaled to 8 bits; two big-endian bytes per binary sample above 255). Bit maps draw 1 black
// and 0 white. Every image is opaque. False, with `out` unchanged, for damaged or
// cut-short data or a sample above the maximum.
bool DecodePnm(std::span<const uint8_t> file, TBitmap32& out);

} // namespace kestrin
