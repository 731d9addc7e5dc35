#pragma once
// TBitmap32: the in-memory image of sprite frames, backgrounds and screenshots.
// Pixels are 32-bit words 0xAARRGGBB (bytes b, g, r, a in memory), rows top to bottom.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrin {

using TColor32 = uint32_t;

class TBitmap32 {
public:
    TBitmap32() = default;
    TBitmap32(int32_t w, int32_t h, TColor32 col = 0) { Resize(w, h, col); }

    int32_t Width() const { return s_w; }
    int32_t Height() const { return s_h; }
    bool Empty() const { return s_w <= 0 || s_h <= 0; }
    void Clear() {
        s_w = s_h = 0;
        s_data.clear();
        s_data.shrink_to_fit();
    }
    // New storage of the new size filled with col; sizes <= 0 leave the bitmap unchanged.
    void Resize(int32_t w, int32_t h, TColor32 col = 0);
    TColor32 GetPixel(int32_t x, int32_t y) const {
        if (x < 0 || y < 0 || x >= s_w || y >= s_h) return 0;
        return s_data[static_cast<size_t>(y) * static_cast<size_t>(s_w) + static_cast<size_t>(x)];
    }
    void SetPixel(int32_t x, int32_t y, TColor32 c) {
        if (x < 0 || y < 0 || x >= s_w || y >= s_h) return;
        s_data[static_cast<size_t>(y) * static_cast<size_t>(s_w) + static_cast<size_t>(x)] = c;
    }
    TColor32* Row(int32_t y) { return s_data.data() + static_cast<size_t>(y) * static_cast<size_t>(s_w); }
    const TColor32* Row(int32_t y) const {
        return s_data.data() + static_cast<size_t>(y) * static_cast<size_t>(s_w);
    }
    bool operator==(const TBitmap32& o) const { return s_w == o.s_w && s_h == o.s_h && s_data == o.s_data; }

    int32_t s_w = 0;
    int32_t s_h = 0;
    std::vector<TColor32> s_data;
};

// Largest image any loader accepts, in pixels; keeps hostile headers from asking for
// gigabytes before a single pixel is checked.
constexpr int64_t kMaxBitmapPixels = int64_t(1) << 26;

} // namespace kestrin
