#include "base/image_ico.h"

#include <algorithm>
#include <vector>

#include "base/image_bmp.h"
#include "base/image_bytes.h"
#include "base/image_png.h"

namespace kestrin {

namespace {

using image::LE16;
using image::LE32;

constexpr size_t kDirectorySize = 6;
constexpr size_t kEntrySize = 16;
constexpr uint8_t kPngSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

// A device-independent bitmap as icons store it: no file header, the height counting the
// colour rows and the mask rows together, the 1-bit mask after the colours.
bool DecodeIconBitmap(std::span<const uint8_t> dib, TBitmap32& out, TColor32 transparent) {
    if (dib.size() < 40) return false;
    const uint32_t headerSize = LE32(&dib[0]);
    if (headerSize < 40 || headerSize > dib.size()) return false;
    const auto width = static_cast<int32_t>(LE32(&dib[4]));
    const auto fullHeight = static_cast<int32_t>(LE32(&dib[8]));
    const uint32_t bpp = LE16(&dib[14]), compression = LE32(&dib[16]), colorsUsed = LE32(&dib[32]);
    // Top-down and odd heights do not occur in icons.
    if (width <= 0 || fullHeight <= 0 || fullHeight % 2 != 0) return false;
    const int32_t height = fullHeight / 2;
    if (!image::AreaAllowed(width, height)) return false;
    if (compression != 0 && compression != 3) return false;

    uint64_t paletteBytes = 0;
    if (bpp <= 8) {
        const uint64_t entries = uint64_t(1) << bpp;
        paletteBytes = 4 * (colorsUsed == 0 ? entries : std::min<uint64_t>(colorsUsed, entries));
    }
    const uint64_t masks = compression == 3 && headerSize == 40 ? 12 : 0;
    const uint64_t colorOffset = headerSize + masks + paletteBytes;
    const uint64_t colorStride = (uint64_t(width) * bpp + 31) / 32 * 4;
    const uint64_t maskOffset = colorOffset + colorStride * uint64_t(height);
    const uint64_t maskStride = (uint64_t(width) + 31) / 32 * 4;
    if (colorOffset > dib.size() || maskOffset > dib.size()) return false;
    // 32-bit images may leave the mask out; every other image needs it whole.
    const bool hasMask = dib.size() - maskOffset >= maskStride * uint64_t(height);
    if (!hasMask && bpp != 32) return false;

    // The BMP reader does the colours, given a file header and the height of the colour rows.
    std::vector<uint8_t> file(14 + dib.size());
    file[0] = 'B', file[1] = 'M';
    const auto offset = static_cast<uint32_t>(14 + colorOffset);
    for (int i = 0; i < 4; ++i) file[10 + i] = static_cast<uint8_t>(offset >> (8 * i));
    std::copy(dib.begin(), dib.end(), file.begin() + 14);
    for (int i = 0; i < 4; ++i) file[14 + 8 + i] = static_cast<uint8_t>(uint32_t(height) >> (8 * i));
    TBitmap32 bm;
    if (!DecodeBmp(file, bm, BmpAlpha::Keep) || bm.s_w != width || bm.s_h != height) return false;

    bool ownAlpha = false;
    if (bpp == 32)
        ownAlpha =
            std::any_of(bm.s_data.begin(), bm.s_data.end(), [](TColor32 c) { return AlphaOf(c) != 0; });
    if (!ownAlpha && !hasMask) {
        for (TColor32& c : bm.s_data) c |= 0xFF000000u;
    } else if (!ownAlpha) {
        for (int32_t y = 0; y < height; ++y) {
            const uint8_t* mask = &dib[maskOffset + maskStride * uint64_t(height - 1 - y)];
            TColor32* row = bm.Row(y);
            for (int32_t x = 0; x < width; ++x) {
                const bool clear = (mask[x >> 3] >> (7 - (x & 7))) & 1;
                row[x] = clear ? transparent : row[x] | 0xFF000000u;
            }
        }
    }
    out = std::move(bm);
    return true;
}

} // namespace

bool DecodeIco(std::span<const uint8_t> f, TBitmap32& out, TColor32 transparent) {
    if (f.size() < kDirectorySize || LE16(&f[0]) != 0) return false;
    const uint16_t type = LE16(&f[2]), count = LE16(&f[4]);
    if ((type != 1 && type != 2) || count == 0) return false;
    if ((f.size() - kDirectorySize) / kEntrySize < count) return false;

    // Directory sizes are hints (0 stands for 256); the largest entry by them is decoded.
    size_t best = count;
    uint64_t bestArea = 0;
    uint32_t bestBits = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = &f[kDirectorySize + i * kEntrySize];
        const uint64_t w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256;
        const uint32_t bits = type == 1 ? LE16(e + 6) : 0;
        const uint32_t size = LE32(e + 8), offset = LE32(e + 12);
        if (offset > f.size() || size > f.size() - offset || size == 0) continue;
        if (best == count || w * h > bestArea || (w * h == bestArea && bits > bestBits)) {
            best = i;
            bestArea = w * h;
            bestBits = bits;
        }
    }
    if (best == count) return false;
    const uint8_t* e = &f[kDirectorySize + best * kEntrySize];
    const std::span<const uint8_t> image = f.subspan(LE32(e + 12), LE32(e + 8));

    TBitmap32 bm;
    if (image.size() >= 8 && std::equal(kPngSignature, kPngSignature + 8, image.begin())) {
        if (!DecodePng(image, bm)) return false;
    } else if (!DecodeIconBitmap(image, bm, transparent)) {
        return false;
    }
    out = std::move(bm);
    return true;
}

} // namespace kestrin
