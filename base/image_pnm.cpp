#include "base/image_pnm.h"

#include "base/image_bytes.h"

namespace kestrin {

namespace {

class Scanner {
public:
    explicit Scanner(std::span<const uint8_t> data) : d(data) {}

    // Skips white space and comments (from '#' to the end of the line).
    void SkipSpace() {
        while (p < d.size()) {
            if (d[p] == '#') {
                while (p < d.size() && d[p] != '\n' && d[p] != '\r') ++p;
            } else if (d[p] == ' ' || d[p] == '\t' || d[p] == '\n' || d[p] == '\r' || d[p] == '\v' ||
                       d[p] == '\f') {
                ++p;
            } else {
                return;
            }
        }
    }
    // A decimal number after optional space; false when none or above limit.
    bool Number(uint32_t& v, uint32_t limit) {
        SkipSpace();
        if (p >= d.size() || d[p] < '0' || d[p] > '9') return false;
        uint64_t n = 0;
        while (p < d.size() && d[p] >= '0' && d[p] <= '9') {
            n = n * 10 + uint32_t(d[p++] - '0');
            if (n > limit) return false;
        }
        v = static_cast<uint32_t>(n);
        return true;
    }
    // A bit of a text bit map: one digit, with or without space around it.
    bool Bit(uint32_t& v) {
        SkipSpace();
        if (p >= d.size() || (d[p] != '0' && d[p] != '1')) return false;
        v = uint32_t(d[p++] - '0');
        return true;
    }
    size_t pos() const { return p; }
    void Advance() { ++p; }
    size_t Remaining() const { return d.size() - p; }

private:
    std::span<const uint8_t> d;
    size_t p = 0;
};

} // namespace

bool DecodePnm(std::span<const uint8_t> f, TBitmap32& out) {
    if (f.size() < 3 || f[0] != 'P' || f[1] < '1' || f[1] > '6') return false;
    const int kind = f[1] - '0';
    const bool binary = kind >= 4, bitmap = kind == 1 || kind == 4;
    const uint32_t channels = (kind == 3 || kind == 6) ? 3 : 1;
    Scanner s(f.subspan(2));
    uint32_t width = 0, height = 0, maxval = 1;
    if (!s.Number(width, INT32_MAX) || !s.Number(height, INT32_MAX)) return false;
    if (!bitmap && (!s.Number(maxval, 65535) || maxval == 0)) return false;
    if (!image::AreaAllowed(width, height)) return false;
    if (binary) {
        // Exactly one white-space byte separates the header from the samples.
        if (s.Remaining() == 0) return false;
        s.Advance();
    }

    const uint64_t samples = uint64_t(width) * height * channels;
    const uint64_t sampleBytes = maxval > 255 ? 2 : 1;
    const uint64_t rowBytes = bitmap ? (uint64_t(width) + 7) / 8 : uint64_t(width) * channels * sampleBytes;
    // Text samples need a digit each, and all but bit maps a separator too.
    const uint64_t need = binary ? rowBytes * height : (kind == 1 ? samples : samples * 2 - 1);
    if (s.Remaining() < need) return false;

    TBitmap32 bm;
    if (!bm.Resize(static_cast<int32_t>(width), static_cast<int32_t>(height))) return false;
    const uint8_t* data = f.data() + 2 + s.pos();
    auto sample = [&](uint64_t row, uint64_t i, uint32_t& v) {
        if (!binary) return kind == 1 ? s.Bit(v) : s.Number(v, maxval);
        const uint8_t* p = data + row * rowBytes + i * sampleBytes;
        v = sampleBytes == 2 ? image::BE16(p) : p[0];
        return v <= maxval;
    };
    for (uint32_t y = 0; y < height; ++y) {
        TColor32* dst = bm.Row(static_cast<int32_t>(y));
        for (uint32_t x = 0; x < width; ++x) {
            if (bitmap) {
                uint32_t v;
                if (binary)
                    v = (data[y * rowBytes + x / 8] >> (7 - x % 8)) & 1;
                else if (!s.Bit(v))
                    return false;
                dst[x] = v ? MakeColor32(0, 0, 0, 255) : MakeColor32(255, 255, 255, 255);
                continue;
            }
            uint8_t c[3];
            for (uint32_t ch = 0; ch < channels; ++ch) {
                uint32_t v;
                if (!sample(y, uint64_t(x) * channels + ch, v)) return false;
                c[ch] = image::Scale8(v, maxval);
            }
            dst[x] = channels == 3 ? MakeColor32(c[0], c[1], c[2], 255) : MakeColor32(c[0], c[0], c[0], 255);
        }
    }
    out = std::move(bm);
    return true;
}

} // namespace kestrin
