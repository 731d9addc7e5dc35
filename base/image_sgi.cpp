#include "base/image_sgi.h"

#include <vector>

#include "base/image_bytes.h"

namespace kestrin {

namespace {

using image::BE16;
using image::BE32;

constexpr size_t kHeaderSize = 512;
constexpr uint16_t kMagic = 474;

// One run-length row: packets of a count (7 bits) with the top bit for a literal copy,
// ending at a zero count or when the row is full. False when the packets overrun the row
// or the stored bytes.
bool DecodeRow(std::span<const uint8_t> src, size_t bpc, std::vector<uint8_t>& row) {
    const size_t width = row.size();
    size_t p = 0, x = 0;
    auto value = [&](size_t at) { return src[at]; }; // the high byte of two-byte samples
    for (;;) {
        if (src.size() - p < bpc) return x == width;
        const uint32_t header = bpc == 2 ? BE16(&src[p]) : src[p];
        p += bpc;
        const size_t count = header & 0x7F;
        if (count == 0) return x == width;
        if (count > width - x) return false;
        if (header & 0x80) {
            if ((src.size() - p) / bpc < count) return false;
            for (size_t i = 0; i < count; ++i) row[x++] = value(p + i * bpc);
            p += count * bpc;
        } else {
            if (src.size() - p < bpc) return false;
            const uint8_t v = value(p);
            for (size_t i = 0; i < count; ++i) row[x++] = v;
            p += bpc;
        }
    }
}

} // namespace

bool DecodeSgi(std::span<const uint8_t> f, TBitmap32& out) {
    if (f.size() < kHeaderSize || BE16(&f[0]) != kMagic) return false;
    const uint8_t storage = f[2], bpc = f[3];
    const uint16_t dimension = BE16(&f[4]);
    const uint32_t colormap = BE32(&f[104]);
    if (storage > 1 || (bpc != 1 && bpc != 2) || dimension < 1 || dimension > 3 || colormap != 0)
        return false;
    const uint32_t width = BE16(&f[6]);
    const uint32_t height = dimension >= 2 ? BE16(&f[8]) : 1;
    const uint32_t channels = dimension == 3 ? BE16(&f[10]) : 1;
    if (channels < 1 || channels > 4 || !image::AreaAllowed(width, height)) return false;

    const uint64_t rows = uint64_t(height) * channels;
    const uint64_t avail = f.size() - kHeaderSize;
    if (storage == 0 && avail / (uint64_t(width) * bpc) < rows) return false;
    // Run-length images start with a table of row offsets and one of row lengths.
    if (storage == 1 && avail / 8 < rows) return false;

    TBitmap32 bm;
    if (!bm.Resize(static_cast<int32_t>(width), static_cast<int32_t>(height))) return false;
    std::vector<uint8_t> row(width);
    for (uint32_t c = 0; c < channels; ++c) {
        for (uint32_t y = 0; y < height; ++y) {
            const uint64_t index = uint64_t(c) * height + y;
            if (storage == 0) {
                const uint8_t* src = &f[kHeaderSize + index * width * bpc];
                for (uint32_t x = 0; x < width; ++x) row[x] = src[x * bpc];
            } else {
                const uint64_t start = BE32(&f[kHeaderSize + 4 * index]);
                const uint64_t length = BE32(&f[kHeaderSize + 4 * rows + 4 * index]);
                if (start > f.size() || length > f.size() - start) return false;
                if (!DecodeRow(f.subspan(start, length), bpc, row)) return false;
            }
            // Rows are stored bottom first.
            TColor32* dst = bm.Row(static_cast<int32_t>(height - 1 - y));
            for (uint32_t x = 0; x < width; ++x) {
                const uint32_t v = row[x];
                if (c == 0) {
                    dst[x] = channels <= 2 ? v << 16 | v << 8 | v : v << 16;
                } else if (channels == 2 || c == 3) {
                    dst[x] |= v << 24;
                } else {
                    dst[x] |= v << (c == 1 ? 8 : 0);
                }
            }
        }
    }
    if (channels == 1 || channels == 3)
        for (TColor32& px : bm.s_data) px |= 0xFF000000u;
    else
        bm.ApplyAlphaTest();
    out = std::move(bm);
    return true;
}

} // namespace kestrin
