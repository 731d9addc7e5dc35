#pragma once
// Byte-order readers and size checks shared by the small image readers.

#include <cstddef>
#include <cstdint>

#include "base/bitmap32.h"

namespace kestrin::image {

inline uint16_t LE16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t LE32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t BE16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}
inline uint32_t BE32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// Sizes a header may ask for before a single pixel is allocated.
inline bool AreaAllowed(int64_t w, int64_t h) {
    return w > 0 && h > 0 && w <= INT32_MAX && h <= INT32_MAX && w * h <= kMaxBitmapPixels;
}

// A sample in 0..max (max at most 65535) scaled to 0..255, rounded.
inline uint8_t Scale8(uint32_t v, uint32_t max) {
    return static_cast<uint8_t>((v * 255 + max / 2) / max);
}

} // namespace kestrin::image
