#pragma once
// JPEG files, decoded through libjpeg.

#include <cstdint>
#include <span>

#include "base/bitmap32.h"

namespace kestrin {

// Decodes a baseline, progressive or arithmetic-coded JPEG (grey, colour or CMYK) into
// opaque BGRA. False, with `out` unchanged, when the data is damaged or cut short anywhere
// (libjpeg would otherwise fill the missing part with grey) or the image is larger than
// kMaxBitmapPixels.
bool DecodeJpeg(std::span<const uint8_t> file, TBitmap32& out);

} // namespace kestrin
