#include "base/image_psd.h"

#include <vector>

#include "base/image_bytes.h"

namespace kestrin {

namespace {

using image::BE16;
using image::BE32;

constexpr size_t kHeaderSize = 26;
constexpr uint32_t kMaxSide = 30000;

enum Mode : uint16_t {
    kGrey = 1,
    kIndexed = 2,
    kRgb = 3,
};

// One PackBits row; false unless it fills `row` exactly.
bool UnpackRow(std::span<const uint8_t> src, std::vector<uint8_t>& row) {
    size_t p = 0, x = 0;
    while (x < row.size()) {
        if (p >= src.size()) return false;
        const auto n = static_cast<int8_t>(src[p++]);
        if (n >= 0) {
            const size_t count = size_t(n) + 1;
            if (count > row.size() - x || count > src.size() - p) return false;
            for (size_t i = 0; i < count; ++i) row[x++] = src[p++];
        } else if (n != -128) {
            const size_t count = size_t(1 - n);
            if (count > row.size() - x || p >= src.size()) return false;
            for (size_t i = 0; i < count; ++i) row[x++] = src[p];
            ++p;
        }
    }
    return true;
}

// Skips a section that starts with its 32-bit length.
bool SkipSection(std::span<const uint8_t> f, size_t& pos, std::span<const uint8_t>* contents = nullptr) {
    if (f.size() - pos < 4) return false;
    const uint32_t length = BE32(&f[pos]);
    pos += 4;
    if (length > f.size() - pos) return false;
    if (contents) *contents = f.subspan(pos, length);
    pos += length;
    return true;
}

} // namespace

bool DecodePsd(std::span<const uint8_t> f, TBitmap32& out) {
    if (f.size() < kHeaderSize || f[0] != '8' || f[1] != 'B' || f[2] != 'P' || f[3] != 'S') return false;
    if (BE16(&f[4]) != 1) return false;
    const uint32_t channels = BE16(&f[12]);
    const uint32_t height = BE32(&f[14]), width = BE32(&f[18]);
    const uint32_t depth = BE16(&f[22]), mode = BE16(&f[24]);
    if (depth != 8 && depth != 16) return false;
    if (mode != kGrey && mode != kIndexed && mode != kRgb) return false;
    if (mode == kIndexed && depth != 8) return false;
    const uint32_t colorChannels = mode == kRgb ? 3 : 1;
    if (channels < colorChannels || channels > 56) return false;
    if (width > kMaxSide || height > kMaxSide || !image::AreaAllowed(width, height)) return false;
    const uint32_t used = channels > colorChannels ? colorChannels + 1 : colorChannels;

    size_t pos = kHeaderSize;
    std::span<const uint8_t> colorData;
    if (!SkipSection(f, pos, &colorData)) return false; // colour mode data: the palette of indexed images
    if (mode == kIndexed && colorData.size() < 768) return false;
    if (!SkipSection(f, pos) || !SkipSection(f, pos)) return false; // resources, layers
    if (f.size() - pos < 2) return false;
    const uint16_t compression = BE16(&f[pos]);
    pos += 2;
    if (compression > 1) return false;

    const size_t sampleBytes = depth / 8;
    const uint64_t rowBytes = uint64_t(width) * sampleBytes;
    const uint64_t rows = uint64_t(height) * channels;
    std::vector<size_t> rowStart; // for compressed data: where each used row begins
    if (compression == 0) {
        if ((f.size() - pos) / rowBytes < uint64_t(height) * used) return false;
    } else {
        if ((f.size() - pos) / 2 < rows) return false;
        size_t at = pos + 2 * rows;
        const uint64_t usedRows = uint64_t(height) * used;
        rowStart.resize(usedRows + 1);
        for (uint64_t r = 0; r < usedRows; ++r) {
            rowStart[r] = at;
            at += BE16(&f[pos + 2 * r]);
            if (at > f.size()) return false;
        }
        rowStart[usedRows] = at;
    }

    TBitmap32 bm;
    if (!bm.Resize(static_cast<int32_t>(width), static_cast<int32_t>(height))) return false;
    std::vector<uint8_t> packed(rowBytes);
    for (uint32_t c = 0; c < used; ++c) {
        for (uint32_t y = 0; y < height; ++y) {
            const uint64_t r = uint64_t(c) * height + y;
            const uint8_t* src;
            if (compression == 0) {
                src = &f[pos + r * rowBytes];
            } else {
                if (!UnpackRow(f.subspan(rowStart[r], rowStart[r + 1] - rowStart[r]), packed)) return false;
                src = packed.data();
            }
            TColor32* dst = bm.Row(static_cast<int32_t>(y));
            for (uint32_t x = 0; x < width; ++x) {
                const uint32_t v = src[size_t(x) * sampleBytes];
                if (c == colorChannels) {
                    dst[x] |= v << 24;
                } else if (mode == kIndexed) {
                    dst[x] = MakeColor32(colorData[v], colorData[256 + v], colorData[512 + v], 0);
                } else if (mode == kGrey) {
                    dst[x] = v << 16 | v << 8 | v;
                } else {
                    dst[x] |= v << (16 - 8 * c);
                }
            }
        }
    }
    if (used == colorChannels)
        for (TColor32& px : bm.s_data) px |= 0xFF000000u;
    else
        bm.ApplyAlphaTest();
    out = std::move(bm);
    return true;
}

} // namespace kestrin
