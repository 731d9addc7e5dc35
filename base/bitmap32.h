#pragma once
// TBitmap32: the in-memory image of sprite frames, backgrounds and screenshots.
// Pixels are 32-bit words 0xAARRGGBB (bytes b, g, r, a in memory), rows top to bottom.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrin {

class CStream;

using TColor32 = uint32_t;

// Largest image any loader or resize accepts, in pixels; keeps hostile headers and
// arguments from asking for gigabytes before a single pixel is checked.
constexpr int64_t kMaxBitmapPixels = int64_t(1) << 26;

// Version of the bitmap record in game data and saved sprite/background files.
constexpr int32_t kBitmapRecordVersion = 800;

enum class BlendMode {
    Copy = 0, // the only mode the runner uses
};

// Inclusive pixel box; Left > Right or Top > Bottom means no pixel qualified.
struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    bool operator==(const TRect&) const = default;
};

constexpr uint8_t AlphaOf(TColor32 c) {
    return static_cast<uint8_t>(c >> 24);
}
constexpr TColor32 MakeColor32(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | b;
}

class TBitmap32 {
public:
    TBitmap32() = default;
    // w × h pixels of col; a size <= 0 or above kMaxBitmapPixels gives an empty bitmap.
    TBitmap32(int32_t w, int32_t h, TColor32 col = 0) { Resize(w, h, col); }

    int32_t Width() const { return s_w; }
    int32_t Height() const { return s_h; }
    bool Empty() const { return s_w <= 0 || s_h <= 0; }

    void Clear() {
        s_w = s_h = 0;
        s_data.clear();
        s_data.shrink_to_fit();
    }
    // Copy of source; none does nothing, an empty source clears.
    void Assign(const TBitmap32* source);
    void Assign(const TBitmap32& source) { Assign(&source); }

    // New storage of the new size; its contents are unspecified (zero here) and every caller
    // writes all pixels. Nothing happens when a size is <= 0, when both sizes equal the
    // current ones, or when the area exceeds kMaxBitmapPixels; true when the bitmap has
    // the requested size afterwards.
    bool Resize(int32_t w, int32_t h);
    // As above, then every pixel := col (also when the size did not change).
    bool Resize(int32_t w, int32_t h, TColor32 col);
    // Rescales to w × h taking quality² samples per destination pixel.
    void Stretch(int32_t w, int32_t h, int32_t quality);

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

    void Fill(TColor32 col, BlendMode mode = BlendMode::Copy);
    // Copies the wo × ho area of bm at (xo, yo) to (x, y), clipped to both bitmaps.
    void DrawPart(int32_t x, int32_t y, const TBitmap32* bm, int32_t xo, int32_t yo, int32_t wo, int32_t ho,
                  BlendMode mode = BlendMode::Copy);
    void Draw(int32_t x, int32_t y, const TBitmap32* bm, BlendMode mode = BlendMode::Copy);
    // Box of the pixels whose alpha exceeds tolerance; inverted (see TRect) when none does.
    TRect BoundingBox(int32_t tolerance) const;

    // Images without alpha information become opaque: when no pixel has a non-zero alpha,
    // every alpha becomes 255.
    void ApplyAlphaTest();

    // The bitmap record. A version other than kBitmapRecordVersion fails and leaves the
    // bitmap unchanged; otherwise the bitmap is cleared first, and false means the record
    // was malformed or cut short. Never throws for bad data.
    [[nodiscard]] bool LoadFromStream(CStream& stream);
    void SaveToStream(CStream& stream) const;

    // Decodes an image file chosen by its extension. False, with the bitmap unchanged, when
    // the file is missing, has no decoder or does not decode.
    [[nodiscard]] bool LoadFromImageFile(const std::string& fname);
    // Writes PNG data whatever the extension; false when the bitmap is empty or the file
    // cannot be written.
    [[nodiscard]] bool SaveToImageFile(const std::string& fname) const;

    bool operator==(const TBitmap32& o) const { return s_w == o.s_w && s_h == o.s_h && s_data == o.s_data; }

    int32_t s_w = 0;
    int32_t s_h = 0;
    std::vector<TColor32> s_data;
};

} // namespace kestrin
