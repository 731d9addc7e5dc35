#pragma once
// Small frames drawn as text for the sprite tests: '.' is transparent, '#' opaque, a digit d
// has alpha 25·d. Masks are shown the same way ('#' set, '.' clear).

#include <cstdint>
#include <string>
#include <vector>

#include "base/bitmap32.h"
#include "graphics/mask.h"

namespace kestrin::testing {

inline TBitmap32 Art(const std::vector<std::string>& rows, TColor32 colour = 0x00FF0000u) {
    const int32_t h = static_cast<int32_t>(rows.size());
    const int32_t w = h ? static_cast<int32_t>(rows[0].size()) : 0;
    TBitmap32 bm(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const char c = rows[size_t(y)][size_t(x)];
            const uint32_t a = c == '#' ? 255 : c >= '1' && c <= '9' ? uint32_t(c - '0') * 25 : 0;
            bm.SetPixel(x, y, (colour & 0xFFFFFF) | a << 24);
        }
    return bm;
}

inline std::vector<std::string> MaskArt(const TMask& m) {
    std::vector<std::string> rows;
    for (int32_t y = 0; y < m.i_h; ++y) {
        std::string row;
        for (int32_t x = 0; x < m.i_w; ++x) row += m.Get(x, y) ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

// A mask whose set pixels are the '#' of the rows, with the full frame as its box.
inline TMask MaskOf(const std::vector<std::string>& rows) {
    const TBitmap32 bm = Art(rows);
    return TMask(&bm, kBoxFull, TRect{}, kMaskPrecise, 0);
}

} // namespace kestrin::testing
