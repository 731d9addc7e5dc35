#include "base/image_tga.h"

#include <vector>

#include "base/image_bytes.h"

namespace kestrin {

namespace {

using image::LE16;

constexpr size_t kHeaderSize = 18;

enum ImageType : uint8_t {
    kColorMapped = 1,
    kTrueColor = 2,
    kGrey = 3,
    kRleFlag = 8,
};

// One stored pixel or map entry of 15, 16, 24 or 32 bits.
TColor32 ColorOf(const uint8_t* p, int bits, bool attributeAlpha) {
    switch (bits) {
    case 15:
    case 16: {
        const uint32_t v = LE16(p);
        const auto r = image::Scale8((v >> 10) & 31, 31), g = image::Scale8((v >> 5) & 31, 31),
                   b = image::Scale8(v & 31, 31);
        const uint8_t a = attributeAlpha && bits == 16 ? ((v & 0x8000) ? 255 : 0) : 255;
        return MakeColor32(r, g, b, a);
    }
    case 24:
        return MakeColor32(p[2], p[1], p[0], 255);
    default:
        return MakeColor32(p[2], p[1], p[0], p[3]);
    }
}

} // namespace

bool DecodeTga(std::span<const uint8_t> f, TBitmap32& out) {
    if (f.size() < kHeaderSize) return false;
    const uint8_t idLength = f[0], mapType = f[1], type = f[2];
    const uint32_t mapFirst = LE16(&f[3]), mapLength = LE16(&f[5]);
    const int mapBits = f[7];
    const int32_t width = LE16(&f[12]), height = LE16(&f[14]);
    const int bits = f[16];
    const uint8_t descriptor = f[17];
    const bool rle = (type & kRleFlag) != 0;
    const uint8_t kind = type & ~kRleFlag;
    if (type > 11 || (kind != kColorMapped && kind != kTrueColor && kind != kGrey)) return false;
    if (mapType > 1 || (kind == kColorMapped) != (mapType == 1)) return false;
    if (!image::AreaAllowed(width, height)) return false;
    const bool attributeAlpha = (descriptor & 15) != 0;
    switch (kind) {
    case kColorMapped:
        if (bits != 8 && bits != 16) return false;
        if (mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32) return false;
        if (mapLength == 0) return false;
        break;
    case kTrueColor:
        if (bits != 15 && bits != 16 && bits != 24 && bits != 32) return false;
        break;
    default:
        if (bits != 8 && bits != 16) return false;
        break;
    }

    size_t pos = kHeaderSize + idLength;
    std::vector<TColor32> map;
    if (mapType == 1) {
        const size_t entry = (size_t(mapBits) + 7) / 8;
        if (pos > f.size() || (f.size() - pos) / entry < mapLength) return false;
        map.resize(size_t(mapFirst) + mapLength);
        for (size_t i = 0; i < mapLength; ++i)
            map[mapFirst + i] = ColorOf(&f[pos + i * entry], mapBits, attributeAlpha);
        pos += entry * mapLength;
    }
    if (pos > f.size()) return false;

    const size_t bytes = (size_t(bits) + 7) / 8;
    const uint64_t count = uint64_t(width) * uint64_t(height);
    const uint64_t avail = f.size() - pos;
    // Every pixel needs its bytes, or at least one packet header per 128 pixels.
    if (!rle && avail / bytes < count) return false;
    if (rle && avail / (bytes + 1) < (count + 127) / 128) return false;

    auto pixel = [&](const uint8_t* p, TColor32& c) {
        switch (kind) {
        case kColorMapped: {
            const uint32_t index = bits == 8 ? p[0] : LE16(p);
            if (index < mapFirst || index >= map.size()) return false;
            c = map[index];
            return true;
        }
        case kTrueColor:
            c = ColorOf(p, bits, attributeAlpha);
            return true;
        default:
            c = MakeColor32(p[0], p[0], p[0], bits == 16 ? p[1] : 255);
            return true;
        }
    };

    TBitmap32 bm;
    if (!bm.Resize(width, height)) return false;
    const bool rightToLeft = (descriptor & 0x10) != 0, topDown = (descriptor & 0x20) != 0;
    uint64_t done = 0;
    auto put = [&](TColor32 c) {
        const auto row = static_cast<int32_t>(done / uint64_t(width));
        const auto col = static_cast<int32_t>(done % uint64_t(width));
        bm.Row(topDown ? row : height - 1 - row)[rightToLeft ? width - 1 - col : col] = c;
        ++done;
    };
    const uint8_t* data = f.data();
    if (!rle) {
        for (; done < count; pos += bytes) {
            TColor32 c;
            if (!pixel(data + pos, c)) return false;
            put(c);
        }
    } else {
        // Packets may run on from one row into the next; none may run past the image.
        while (done < count) {
            if (pos >= f.size()) return false;
            const uint8_t header = data[pos++];
            const uint64_t n = (header & 0x7F) + 1u;
            if (n > count - done) return false;
            const bool run = (header & 0x80) != 0;
            const uint64_t need = run ? bytes : bytes * n;
            if (f.size() - pos < need) return false;
            TColor32 c = 0;
            for (uint64_t i = 0; i < n; ++i) {
                if ((!run || i == 0) && !pixel(data + pos + (run ? 0 : i * bytes), c)) return false;
                put(c);
            }
            pos += need;
        }
    }
    bm.ApplyAlphaTest();
    out = std::move(bm);
    return true;
}

} // namespace kestrin
