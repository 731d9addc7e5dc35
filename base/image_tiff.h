#pragma once
// TIFF files (tif, tiff), decoded through libtiff.

#include <cstdint>
#include <span>

#include "base/bitmap32.h"

namespace kestrin {

// Decodes the first image of the file in any layout libtiff can turn into RGBA (strips or
// tiles, the usual compressions, photometric interpretations and orientations). Alpha from
// an extra sample (colours under partial alpha may be off by one, since libtiff hands them
// over multiplied by alpha); an image whose alpha is 0 everywhere loads opaque. False, with `out`
// unchanged, for damaged or cut-short data; libtiff's messages are kept quiet.
bool DecodeTiff(std::span<const uint8_t> file, TBitmap32& out);

} // namespace kestrin
