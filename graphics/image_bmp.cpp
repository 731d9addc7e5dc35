#include "graphics/image_bmp.h"

#include <cstring>

namespace kestrin {

namespace {
uint32_t U32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
void Put16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}
} // namespace

// FIXME: only uncompressed 24- and 32-bit bitmaps so far.
bool DecodeBmp(std::span<const uint8_t> f, TBitmap32& out, BmpAlpha alpha) {
    if (f.size() < 54 || f[0] != 'B' || f[1] != 'M') return false;
    uint32_t offset = U32(&f[10]);
    uint32_t header = U32(&f[14]);
    if (header < 40 || 14 + uint64_t(header) > f.size()) return false;
    int32_t w = static_cast<int32_t>(U32(&f[18]));
    int32_t h = static_cast<int32_t>(U32(&f[22]));
    uint16_t bpp = U16(&f[28]);
    uint32_t compression = U32(&f[30]);
    bool topDown = h < 0;
    if (h < 0) h = -h;
    if (w <= 0 || h <= 0 || int64_t(w) * h > kMaxBitmapPixels) return false;
    if (compression != 0 || (bpp != 24 && bpp != 32)) return false;
    uint64_t stride = (uint64_t(w) * bpp / 8 + 3) & ~uint64_t(3);
    if (offset > f.size() || stride * uint64_t(h) > f.size() - offset) return false;
    TBitmap32 bm(w, h);
    bool anyAlpha = false;
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* src = f.data() + offset + stride * uint64_t(topDown ? y : h - 1 - y);
        TColor32* dst = bm.Row(y);
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t* p = src + uint64_t(x) * (bpp / 8);
            uint32_t a = bpp == 32 ? p[3] : 0;
            anyAlpha |= a != 0;
            dst[x] = a << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        }
    }
    if (alpha == BmpAlpha::TestAlpha && !anyAlpha)
        for (auto& px : bm.s_data) px |= 0xFF000000u;
    out = std::move(bm);
    return true;
}

std::vector<uint8_t> EncodeBmp(const TBitmap32& bm) {
    std::vector<uint8_t> v;
    uint32_t size = static_cast<uint32_t>(bm.s_data.size() * 4);
    v.push_back('B');
    v.push_back('M');
    Put32(v, 54 + size);
    Put32(v, 0);
    Put32(v, 54);
    Put32(v, 40);
    Put32(v, static_cast<uint32_t>(bm.s_w));
    Put32(v, static_cast<uint32_t>(bm.s_h));
    Put16(v, 1);
    Put16(v, 32);
    Put32(v, 0);
    Put32(v, size);
    Put32(v, 2835);
    Put32(v, 2835);
    Put32(v, 0);
    Put32(v, 0);
    for (int32_t y = bm.s_h - 1; y >= 0; --y)
        for (int32_t x = 0; x < bm.s_w; ++x) Put32(v, bm.GetPixel(x, y));
    return v;
}

} // namespace kestrin
