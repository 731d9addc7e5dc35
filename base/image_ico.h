#pragma once
// Icon and cursor files (ico).

#include <cstdint>
#include <span>

#include "base/bitmap32.h"

namespace kestrin {

// Decodes the largest image of an icon or cursor directory (most pixels, then most bits per
// pixel): a device-independent bitmap of any depth the BMP reader knows, made transparent
// where its AND mask is set, or a PNG. 32-bit images use their own alpha unless it is 0
// everywhere, in which case the mask applies. Pixels the mask clears become `transparent`
// (image files load them in an opaque colour); images with their own alpha keep it. False,
// with `out` unchanged, for damaged or cut-short data.
bool DecodeIco(std::span<const uint8_t> file, TBitmap32& out, TColor32 transparent = 0);

} // namespace kestrin
