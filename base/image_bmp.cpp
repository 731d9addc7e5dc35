#include "base/image_bmp.h"

#include <algorithm>
#include <array>
#include <bit>

namespace kestrin {

namespace {

uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
void Put16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kCoreHeaderSize = 12;
constexpr size_t kInfoHeaderSize = 40;

enum Compression : uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitFields = 3,
    kAlphaBitFields = 6,
};

// One colour channel of a bit-field pixel: a contiguous mask, scaled to 8 bits.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0; // mask >> shift

    bool Set(uint32_t m) {
        mask = m;
        if (m == 0) return true;
        shift = std::countr_zero(m);
        max = m >> shift;
        return (max & (max + 1)) == 0; // contiguous
    }
    uint32_t Extract(uint32_t v) const {
        if (mask == 0) return 0;
        uint32_t x = (v & mask) >> shift;
        if (max >= 255) return x >> (std::bit_width(max) - 8);
        return (x * 255 + max / 2) / max;
    }
};

struct BmpLayout {
    int32_t width = 0;
    int32_t height = 0;
    bool topDown = false;
    int bpp = 0;
    uint32_t compression = kRgb;
    Channel r, g, b, a;
    std::array<TColor32, 256> palette{}; // unused entries stay transparent black
    size_t dataOffset = 0;
};

// Reads and checks everything before the pixel data.
bool ReadLayout(std::span<const uint8_t> f, BmpLayout& lay) {
    if (f.size() < kFileHeaderSize + 4 || f[0] != 'B' || f[1] != 'M') return false;
    const uint32_t offBits = U32(&f[10]);
    const uint32_t headerSize = U32(&f[14]);
    switch (headerSize) {
    case 12:  // core
    case 40:  // info
    case 52:  // info with colour masks
    case 56:  // info with colour and alpha masks
    case 108: // V4
    case 124: // V5
        break;
    default:
        return false;
    }
    if (kFileHeaderSize + headerSize > f.size()) return false;
    const uint8_t* h = &f[kFileHeaderSize];

    int64_t width, height;
    uint32_t colorsUsed = 0;
    size_t entrySize;
    if (headerSize == kCoreHeaderSize) {
        width = U16(h + 4);
        height = U16(h + 6);
        lay.bpp = U16(h + 10);
        lay.compression = kRgb;
        entrySize = 3;
    } else {
        width = static_cast<int32_t>(U32(h + 4));
        height = static_cast<int32_t>(U32(h + 8));
        lay.bpp = U16(h + 14);
        lay.compression = U32(h + 16);
        colorsUsed = U32(h + 32);
        entrySize = 4;
    }
    lay.topDown = height < 0;
    height = height < 0 ? -height : height;
    if (width <= 0 || height <= 0 || width * height > kMaxBitmapPixels) return false;
    lay.width = static_cast<int32_t>(width);
    lay.height = static_cast<int32_t>(height);

    const int bpp = lay.bpp;
    switch (lay.compression) {
    case kRgb:
        if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
        if (headerSize == kCoreHeaderSize && (bpp == 16 || bpp == 32)) return false;
        break;
    case kRle8:
        if (bpp != 8) return false;
        break;
    case kRle4:
        if (bpp != 4) return false;
        break;
    case kBitFields:
    case kAlphaBitFields:
        if (bpp != 16 && bpp != 32) return false;
        break;
    default:
        return false;
    }

    // Bit-field masks: inside the larger headers, or right after a plain info header.
    size_t headerEnd = kFileHeaderSize + headerSize;
    const bool bitFields = lay.compression == kBitFields || lay.compression == kAlphaBitFields;
    if (bitFields) {
        const uint8_t* masks = h + kInfoHeaderSize;
        uint32_t alphaMask = 0;
        if (headerSize == kInfoHeaderSize) {
            const size_t count = lay.compression == kAlphaBitFields ? 4 : 3;
            if (headerEnd + 4 * count > f.size()) return false;
            masks = &f[headerEnd];
            headerEnd += 4 * count;
            if (count == 4) alphaMask = U32(masks + 12);
        } else if (headerSize >= 56) {
            alphaMask = U32(masks + 12);
        }
        const uint32_t redMask = U32(masks), greenMask = U32(masks + 4), blueMask = U32(masks + 8);
        if (bpp == 16 && ((redMask | greenMask | blueMask | alphaMask) >> 16) != 0) return false;
        if (!lay.r.Set(redMask) || !lay.g.Set(greenMask) || !lay.b.Set(blueMask) || !lay.a.Set(alphaMask))
            return false;
    } else if (bpp == 16) {
        lay.r.Set(0x7C00);
        lay.g.Set(0x03E0);
        lay.b.Set(0x001F);
    }

    if (offBits < headerEnd || offBits > f.size()) return false;
    lay.dataOffset = offBits;

    if (bpp <= 8) {
        const size_t maxEntries = size_t(1) << bpp;
        size_t count = colorsUsed == 0 ? maxEntries : std::min<size_t>(colorsUsed, maxEntries);
        // Some writers leave out unused entries; the pixel data offset is the real limit.
        count = std::min(count, (offBits - headerEnd) / entrySize);
        if (count == 0) return false;
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* e = &f[headerEnd + i * entrySize];
            lay.palette[i] = MakeColor32(e[2], e[1], e[0], 0);
        }
    }
    return true;
}

void DecodeRows(std::span<const uint8_t> f, const BmpLayout& lay, TBitmap32& bm) {
    const uint64_t stride = (uint64_t(lay.width) * lay.bpp + 31) / 32 * 4;
    const bool bitFields = lay.compression == kBitFields || lay.compression == kAlphaBitFields;
    for (int32_t r = 0; r < lay.height; ++r) {
        const uint8_t* src = f.data() + lay.dataOffset + stride * uint64_t(r);
        TColor32* dst = bm.Row(lay.topDown ? r : lay.height - 1 - r);
        for (int32_t x = 0; x < lay.width; ++x) {
            switch (lay.bpp) {
            case 1:
                dst[x] = lay.palette[(src[x >> 3] >> (7 - (x & 7))) & 1];
                break;
            case 4:
                dst[x] = lay.palette[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
                break;
            case 8:
                dst[x] = lay.palette[src[x]];
                break;
            case 24: {
                const uint8_t* p = src + 3 * size_t(x);
                dst[x] = MakeColor32(p[2], p[1], p[0], 0);
                break;
            }
            default: { // 16 and 32
                const uint32_t v = lay.bpp == 16 ? U16(src + 2 * size_t(x)) : U32(src + 4 * size_t(x));
                if (lay.bpp == 32 && !bitFields) {
                    dst[x] = v;
                } else {
                    dst[x] = lay.a.Extract(v) << 24 | lay.r.Extract(v) << 16 | lay.g.Extract(v) << 8 |
                             lay.b.Extract(v);
                }
                break;
            }
            }
        }
    }
}

// Run-length data (RLE8, RLE4). Positions may move past the image, but a pixel that would
// land outside it makes the file invalid, as does data that stops in the middle of a command
// or before the last row is done.
bool DecodeRle(std::span<const uint8_t> data, const BmpLayout& lay, TBitmap32& bm) {
    const bool four = lay.bpp == 4;
    int64_t x = 0, row = 0; // row counts stored rows, the first one being the bottom unless top-down
    auto put = [&](uint32_t index) {
        if (x >= lay.width || row >= lay.height) return false;
        const auto y = static_cast<int32_t>(lay.topDown ? row : lay.height - 1 - row);
        bm.Row(y)[x++] = lay.palette[index];
        return true;
    };
    size_t p = 0;
    for (;;) {
        if (p == data.size()) return row >= lay.height; // end-of-bitmap marker left out after the last row
        if (data.size() - p < 2) return false;
        const uint32_t count = data[p], value = data[p + 1];
        p += 2;
        if (count > 0) {
            for (uint32_t i = 0; i < count; ++i)
                if (!put(four ? ((i & 1) ? value & 15 : value >> 4) : value)) return false;
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++row;
        } else if (value == 1) { // end of bitmap
            return true;
        } else if (value == 2) { // delta
            if (data.size() - p < 2) return false;
            x += data[p];
            row += data[p + 1];
            p += 2;
        } else { // absolute run of `value` pixels, padded to an even byte count
            const size_t bytes = four ? (value + 1) / 2 : value;
            const size_t padded = (bytes + 1) & ~size_t(1);
            if (data.size() - p < padded) return false;
            for (uint32_t i = 0; i < value; ++i) {
                const uint32_t index = four ? (data[p + i / 2] >> ((i & 1) ? 0 : 4)) & 15 : data[p + i];
                if (!put(index)) return false;
            }
            p += padded;
        }
    }
}

} // namespace

bool DecodeBmp(std::span<const uint8_t> f, TBitmap32& out, BmpAlpha alpha) {
    BmpLayout lay;
    if (!ReadLayout(f, lay)) return false;

    const bool rle = lay.compression == kRle8 || lay.compression == kRle4;
    if (!rle) {
        // Every row must be present before anything is allocated; the last row may lack its padding.
        const uint64_t stride = (uint64_t(lay.width) * lay.bpp + 31) / 32 * 4;
        const uint64_t need = stride * uint64_t(lay.height - 1) + (uint64_t(lay.width) * lay.bpp + 7) / 8;
        if (need > f.size() - lay.dataOffset) return false;
    }

    TBitmap32 bm;
    if (!bm.Resize(lay.width, lay.height)) return false;
    if (rle) {
        if (!DecodeRle(f.subspan(lay.dataOffset), lay, bm)) return false;
    } else {
        DecodeRows(f, lay, bm);
    }
    if (alpha == BmpAlpha::TestAlpha) bm.ApplyAlphaTest();
    out = std::move(bm);
    return true;
}

std::vector<uint8_t> EncodeBmp(const TBitmap32& bm) {
    if (bm.Empty()) return {};
    std::vector<uint8_t> v;
    const auto size = static_cast<uint32_t>(bm.s_data.size() * 4);
    v.reserve(54 + size_t(size));
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
