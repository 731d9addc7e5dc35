#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "base/image_bmp.h"
#include "tests/unit/bitmap_samples.h"

using namespace kestrin;
using kestrin::test::BmpSpec;
using kestrin::test::MakeBmp;

namespace {

constexpr TColor32 K = 0x000000, R = 0xFF0000, G = 0x00FF00, B = 0x0000FF, W = 0xFFFFFF;

struct GoodCase {
    const char* name;
    std::vector<uint8_t> file;
    int32_t width, height;
    std::vector<TColor32> pixels; // top row first, decoded with BmpAlpha::Keep
};

std::vector<uint8_t> Rle(std::vector<uint8_t> bytes) {
    return bytes;
}

BmpSpec Spec(uint32_t headerSize, int32_t w, int32_t h, uint16_t bpp, uint32_t compression = 0) {
    BmpSpec s;
    s.headerSize = headerSize;
    s.width = w;
    s.height = h;
    s.bpp = bpp;
    s.compression = compression;
    return s;
}

std::vector<GoodCase> GoodCases() {
    std::vector<GoodCase> cases;
    auto add = [&](const char* name, BmpSpec s, std::vector<TColor32> px) {
        cases.push_back({name, MakeBmp(s), s.width, s.height < 0 ? -s.height : s.height, std::move(px)});
    };
    {
        BmpSpec s = Spec(40, 3, 2, 1);
        s.palette = {K, W};
        s.rows = {{0b10100000}, {0b01000000}}; // bottom row first
        add("1 bit, bottom-up", s, {K, W, K, W, K, W});
    }
    {
        BmpSpec s = Spec(40, 3, 1, 4);
        s.colorsUsed = 3;
        s.palette = {R, G, B};
        s.rows = {{0x21, 0x00}};
        add("4 bits, short palette", s, {B, G, R});
    }
    {
        BmpSpec s = Spec(40, 2, -2, 8);
        s.palette = {R, G, B, W};
        s.rows = {{0, 1}, {2, 3}};
        add("8 bits, top-down", s, {R, G, B, W});
    }
    {
        BmpSpec s = Spec(40, 2, 1, 8);
        s.colorsUsed = 2;
        s.palette = {R, G};
        s.rows = {{1, 5}};
        add("8 bits, index beyond the palette", s, {G, 0});
    }
    {
        BmpSpec s = Spec(12, 2, 1, 8);
        s.palette = {R, G};
        s.rows = {{1, 0}};
        add("core header, 8 bits", s, {G, R});
    }
    {
        BmpSpec s = Spec(12, 1, 1, 24);
        s.rows = {{0x30, 0x20, 0x10}};
        add("core header, 24 bits", s, {0x102030});
    }
    {
        BmpSpec s = Spec(40, 3, 1, 16);
        s.rows = {{0x00, 0x7C, 0xFF, 0x7F, 0x10, 0x02}};
        add("16 bits, 555", s, {R, W, 0x008484});
    }
    {
        BmpSpec s = Spec(40, 3, 1, 16, 3);
        s.masks = {0xF800, 0x07E0, 0x001F};
        s.rows = {{0x00, 0xF8, 0xE0, 0x07, 0x00, 0x04}};
        add("16 bits, 565 bit fields", s, {R, G, 0x008200});
    }
    {
        BmpSpec s = Spec(108, 2, 1, 16, 3);
        s.masks = {0x0F00, 0x00F0, 0x000F, 0xF000};
        s.rows = {{0x0F, 0xF0, 0x21, 0x84}};
        add("16 bits, V4 header, 4444 with alpha", s, {0xFF0000FF, 0x88442211});
    }
    {
        BmpSpec s = Spec(40, 2, 2, 24);
        s.rows = {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}};
        add("24 bits, padded rows", s, {0x090807, 0x0C0B0A, 0x030201, 0x060504});
    }
    {
        BmpSpec s = Spec(40, 2, 1, 32);
        s.rows = {{1, 2, 3, 0x80, 4, 5, 6, 0}};
        add("32 bits keep the fourth byte as alpha", s, {0x80030201, 0x00060504});
    }
    {
        BmpSpec s = Spec(124, 1, 1, 32, 3);
        s.masks = {0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF};
        s.rows = {{0x40, 0x30, 0x20, 0x10}};
        add("32 bits, V5 header, RGBA masks", s, {0x40102030});
    }
    {
        BmpSpec s = Spec(40, 1, 1, 32, 3);
        s.masks = {0x00FF0000, 0x0000FF00, 0x000000FF};
        s.rows = {{1, 2, 3, 0x99}};
        add("32 bits, bit fields without alpha mask", s, {0x030201});
    }
    {
        BmpSpec s = Spec(40, 1, 1, 32, 6);
        s.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
        s.rows = {{1, 2, 3, 0x99}};
        add("32 bits, alpha bit fields", s, {0x99030201});
    }
    {
        BmpSpec s = Spec(56, 1, 1, 32, 3);
        s.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
        s.rows = {{1, 2, 3, 0x99}};
        add("32 bits, 56-byte header with alpha mask", s, {0x99030201});
    }
    {
        BmpSpec s = Spec(40, 4, 3, 8, 1);
        s.palette = {K, R, G, B};
        s.raw = Rle({4, 1, 0, 0,                   // bottom row: run of 4
                     0, 3, 2, 3, 1, 0, 1, 2, 0, 0, // absolute run of 3 (padded), run of 1
                     0, 2, 1, 0, 2, 3, 0, 1});     // delta right 1, run of 2, end
        add("RLE8 runs, absolute, delta, end", s, {0, B, B, 0, G, B, R, G, R, R, R, R});
    }
    {
        BmpSpec s = Spec(40, 5, 2, 4, 2);
        s.palette = {K, R, G, B};
        s.raw = Rle({5, 0x12, 0, 0, 0, 5, 0x12, 0x33, 0x10, 0x00, 0, 1});
        add("RLE4 alternating runs, odd absolute run", s, {R, G, B, B, R, R, G, R, G, R});
    }
    {
        BmpSpec s = Spec(40, 1, 1, 8, 1);
        s.palette = {K, R};
        s.raw = Rle({1, 1, 0, 0});
        add("RLE8 without end marker after the last row", s, {R});
    }
    {
        BmpSpec s = Spec(40, 2, -2, 8, 1);
        s.palette = {K, R, G};
        s.raw = Rle({2, 1, 0, 0, 2, 2, 0, 1});
        add("RLE8 top-down", s, {R, R, G, G});
    }
    return cases;
}

TEST(BitmapBmp, DecodesEachLayout) {
    for (const GoodCase& c : GoodCases()) {
        SCOPED_TRACE(c.name);
        TBitmap32 bm;
        ASSERT_TRUE(DecodeBmp(c.file, bm, BmpAlpha::Keep));
        ASSERT_EQ(bm.Width(), c.width);
        ASSERT_EQ(bm.Height(), c.height);
        EXPECT_EQ(bm.s_data, c.pixels);
    }
}

// A cut file either fails or, when only row padding or the end marker is missing, gives the
// same image; it never reads past what is there (the sanitizer build checks that).
TEST(BitmapBmp, EveryTruncationFailsOrMatches) {
    for (const GoodCase& c : GoodCases()) {
        SCOPED_TRACE(c.name);
        TBitmap32 full;
        ASSERT_TRUE(DecodeBmp(c.file, full, BmpAlpha::Keep));
        for (size_t n = 0; n < c.file.size(); ++n) {
            std::vector<uint8_t> cut(c.file.begin(), c.file.begin() + static_cast<ptrdiff_t>(n));
            TBitmap32 bm;
            if (DecodeBmp(cut, bm, BmpAlpha::Keep)) {
                EXPECT_EQ(bm, full) << "prefix " << n;
            }
        }
    }
}

std::vector<uint8_t> Patched(std::vector<uint8_t> f, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) f[at + size_t(i)] = static_cast<uint8_t>(value >> (8 * i));
    return f;
}

TEST(BitmapBmp, RefusesBadFilesAndLeavesOutputUnchanged) {
    BmpSpec rgb = Spec(40, 2, 2, 24);
    rgb.rows = {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}};
    const std::vector<uint8_t> good = MakeBmp(rgb);
    auto with = [&](auto change) {
        BmpSpec s = rgb;
        change(s);
        return MakeBmp(s);
    };
    auto rle8 = [](int32_t w, int32_t h, std::vector<uint8_t> data) {
        BmpSpec s = Spec(40, w, h, 8, 1);
        s.palette = {K, R};
        s.raw = std::move(data);
        return MakeBmp(s);
    };
    std::vector<uint8_t> notBm = good;
    notBm[0] = 'X';
    std::vector<uint8_t> shortRows = good;
    shortRows.resize(shortRows.size() - 3);

    const struct {
        const char* name;
        std::vector<uint8_t> file;
    } cases[] = {
        {"empty", {}},
        {"no BM signature", notBm},
        {"file header only", std::vector<uint8_t>(good.begin(), good.begin() + 14)},
        {"info header cut", std::vector<uint8_t>(good.begin(), good.begin() + 30)},
        {"header size 64", with([](BmpSpec& s) { s.headerSize = 64; })},
        {"header size 16", with([](BmpSpec& s) { s.headerSize = 16; })},
        {"width 0", with([](BmpSpec& s) { s.width = 0; })},
        {"negative width", with([](BmpSpec& s) { s.width = -2; })},
        {"height 0", with([](BmpSpec& s) { s.height = 0; })},
        {"smallest height", with([](BmpSpec& s) { s.height = INT_MIN, s.width = 1; })},
        {"above the pixel cap", with([](BmpSpec& s) { s.width = s.height = 16384; })},
        {"2 bits", with([](BmpSpec& s) { s.bpp = 2; })},
        {"0 bits", with([](BmpSpec& s) { s.bpp = 0; })},
        {"48 bits", with([](BmpSpec& s) { s.bpp = 48; })},
        {"JPEG compression", with([](BmpSpec& s) { s.compression = 4; })},
        {"PNG compression", with([](BmpSpec& s) { s.compression = 5; })},
        {"RLE8 at 24 bits", with([](BmpSpec& s) { s.compression = 1; })},
        {"RLE4 at 8 bits", with([](BmpSpec& s) { s.compression = 2, s.bpp = 8, s.palette = {K}; })},
        {"bit fields at 24 bits", with([](BmpSpec& s) {
             s.compression = 3, s.masks = {0xFF0000, 0xFF00, 0xFF};
         })},
        {"core header at 32 bits", with([](BmpSpec& s) { s.headerSize = 12, s.bpp = 32; })},
        {"scattered mask", with([](BmpSpec& s) {
             s.bpp = 16, s.compression = 3, s.masks = {0xF00F, 0x0FF0, 0};
         })},
        {"16-bit mask above 16 bits", with([](BmpSpec& s) {
             s.bpp = 16, s.compression = 3, s.masks = {0x1F0000, 0x7E0, 0x1F};
         })},
        {"masks cut off", with([](BmpSpec& s) { s.bpp = 16, s.compression = 3, s.rows.clear(); })},
        {"offset past the end", Patched(good, 10, static_cast<uint32_t>(good.size() + 1))},
        {"offset inside the header", Patched(good, 10, 20)},
        {"rows cut short", shortRows},
        {"palette missing", with([](BmpSpec& s) {
             s.bpp = 8, s.rows = {{0, 0}, {0, 0}};
         })},
        {"RLE run past the row", rle8(2, 1, {3, 1, 0, 1})},
        {"RLE absolute run past the row", rle8(2, 1, {0, 3, 1, 1, 1, 0, 0, 1})},
        {"RLE delta off the image, then a pixel", rle8(2, 2, {0, 2, 0, 2, 1, 1, 0, 1})},
        {"RLE absolute run cut short", rle8(4, 1, {0, 4, 1, 1})},
        {"RLE data stops before the last row", rle8(2, 2, {2, 1, 0, 0})},
        {"RLE pixels after the last row", rle8(1, 1, {1, 1, 0, 0, 1, 1})},
        {"RLE odd trailing byte", rle8(1, 1, {1, 1, 0})},
        {"RLE delta cut short", rle8(2, 1, {0, 2, 1})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TBitmap32 out(1, 1, 0x12345678);
        EXPECT_FALSE(DecodeBmp(c.file, out, BmpAlpha::Keep));
        EXPECT_EQ(out, TBitmap32(1, 1, 0x12345678));
    }
}

TEST(BitmapBmp, TestAlphaMakesAlphaFreeImagesOpaque) {
    const struct {
        const char* name;
        uint16_t bpp;
        std::vector<uint8_t> row;
        std::vector<TColor32> expected;
    } cases[] = {
        {"24 bits", 24, {1, 2, 3, 4, 5, 6}, {0xFF030201, 0xFF060504}},
        {"32 bits, alpha all 0", 32, {1, 2, 3, 0, 4, 5, 6, 0}, {0xFF030201, 0xFF060504}},
        {"32 bits, some alpha kept as is", 32, {1, 2, 3, 0, 4, 5, 6, 7}, {0x00030201, 0x07060504}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BmpSpec s = Spec(40, 2, 1, c.bpp);
        s.rows = {c.row};
        TBitmap32 bm;
        ASSERT_TRUE(DecodeBmp(MakeBmp(s), bm, BmpAlpha::TestAlpha));
        EXPECT_EQ(bm.s_data, c.expected);
    }
}

TEST(BitmapBmp, EncodeDecodeRoundTripKeepsAlpha) {
    TBitmap32 bm(3, 2);
    for (int32_t i = 0; i < 6; ++i) bm.s_data[size_t(i)] = 0x11223344u * uint32_t(i + 1);
    bm.s_data[0] = 0;
    TBitmap32 back;
    ASSERT_TRUE(DecodeBmp(EncodeBmp(bm), back, BmpAlpha::Keep));
    EXPECT_EQ(back, bm);
    EXPECT_TRUE(EncodeBmp(TBitmap32()).empty());
}

} // namespace
