#include "base/image_pcx.h"

#include <algorithm>
#include <array>
#include <vector>

#include "base/image_bytes.h"

namespace kestrin {

namespace {

using image::LE16;

constexpr size_t kHeaderSize = 128;
constexpr size_t kPaletteSize = 769; // marker 12 and 256 RGB triples

// Continues a run-length stream across rows, as writers are allowed to do.
class RowReader {
public:
    RowReader(std::span<const uint8_t> data, bool rle) : d(data), encoded(rle) {}

    bool Read(std::vector<uint8_t>& row) {
        size_t i = 0;
        while (i < row.size()) {
            if (pending > 0) {
                const size_t n = std::min<size_t>(pending, row.size() - i);
                std::fill_n(row.begin() + static_cast<ptrdiff_t>(i), n, value);
                pending -= n;
                i += n;
                continue;
            }
            if (p >= d.size()) return false;
            const uint8_t b = d[p++];
            if (encoded && b >= 0xC0) {
                if (p >= d.size()) return false;
                pending = b & 0x3F;
                value = d[p++];
            } else {
                row[i++] = b;
            }
        }
        return true;
    }

private:
    std::span<const uint8_t> d;
    bool encoded;
    size_t p = 0;
    size_t pending = 0;
    uint8_t value = 0;
};

} // namespace

bool DecodePcx(std::span<const uint8_t> f, TBitmap32& out) {
    if (f.size() < kHeaderSize || f[0] != 10 || f[2] > 1) return false;
    const bool rle = f[2] == 1;
    const int bits = f[3];
    const int64_t width = int64_t(LE16(&f[8])) - LE16(&f[4]) + 1;
    const int64_t height = int64_t(LE16(&f[10])) - LE16(&f[6]) + 1;
    const int planes = f[65];
    const size_t lineBytes = LE16(&f[66]);
    if (!image::AreaAllowed(width, height)) return false;
    const bool mono = bits == 1 && planes == 1, planar16 = bits == 1 && planes == 4,
               nibble = bits == 4 && planes == 1, indexed = bits == 8 && planes == 1,
               rgb = bits == 8 && (planes == 3 || planes == 4);
    if (!mono && !planar16 && !nibble && !indexed && !rgb) return false;
    if (lineBytes * 8 < uint64_t(width) * uint64_t(bits)) return false;

    std::array<TColor32, 256> palette{};
    if (mono) {
        palette[0] = MakeColor32(0, 0, 0, 255);
        palette[1] = MakeColor32(255, 255, 255, 255);
    } else if (planar16 || nibble) {
        for (size_t i = 0; i < 16; ++i)
            palette[i] = MakeColor32(f[16 + 3 * i], f[17 + 3 * i], f[18 + 3 * i], 255);
    } else if (indexed) {
        const bool present = f.size() >= kHeaderSize + kPaletteSize && f[f.size() - kPaletteSize] == 12;
        for (size_t i = 0; i < 256; ++i) {
            const uint8_t* e = present ? &f[f.size() - kPaletteSize + 1 + 3 * i] : nullptr;
            palette[i] =
                e ? MakeColor32(e[0], e[1], e[2], 255) : MakeColor32(uint8_t(i), uint8_t(i), uint8_t(i), 255);
        }
    }

    // Each stored byte costs at least 2/63 of a file byte when encoded, 1 when stored.
    const std::span<const uint8_t> data = f.subspan(kHeaderSize);
    const uint64_t total = uint64_t(lineBytes) * uint64_t(planes) * uint64_t(height);
    if ((rle ? (total + 62) / 63 * 2 : total) > data.size()) return false;

    TBitmap32 bm;
    if (!bm.Resize(static_cast<int32_t>(width), static_cast<int32_t>(height))) return false;
    RowReader reader(data, rle);
    std::vector<uint8_t> line(lineBytes * size_t(planes));
    for (int32_t y = 0; y < bm.s_h; ++y) {
        if (!reader.Read(line)) return false;
        TColor32* dst = bm.Row(y);
        for (int32_t x = 0; x < bm.s_w; ++x) {
            const auto ux = static_cast<size_t>(x);
            if (mono) {
                dst[x] = palette[(line[ux >> 3] >> (7 - (ux & 7))) & 1];
            } else if (planar16) {
                uint32_t index = 0;
                for (size_t pl = 0; pl < 4; ++pl)
                    index |= uint32_t((line[pl * lineBytes + (ux >> 3)] >> (7 - (ux & 7))) & 1) << pl;
                dst[x] = palette[index];
            } else if (nibble) {
                dst[x] = palette[(line[ux >> 1] >> ((ux & 1) ? 0 : 4)) & 15];
            } else if (indexed) {
                dst[x] = palette[line[ux]];
            } else {
                const uint8_t a = planes == 4 ? line[3 * lineBytes + ux] : 0;
                dst[x] = MakeColor32(line[ux], line[lineBytes + ux], line[2 * lineBytes + ux], a);
            }
        }
    }
    if (rgb && planes == 3)
        for (TColor32& c : bm.s_data) c |= 0xFF000000u;
    else
        bm.ApplyAlphaTest();
    out = std::move(bm);
    return true;
}

} // namespace kestrin
