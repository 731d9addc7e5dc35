#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/image_bmp.h"
#include "base/image_png.h"
#include "base/stream.h"
#include "tests/unit/bitmap_samples.h"

#include <zlib.h>

using namespace kestrin;
using kestrin::test::LibpngImage;
using kestrin::test::WriteWithLibpng;

namespace {

uint32_t BE32(const std::vector<uint8_t>& v, size_t at) {
    return uint32_t(v[at]) << 24 | uint32_t(v[at + 1]) << 16 | uint32_t(v[at + 2]) << 8 | v[at + 3];
}

TBitmap32 Gradient(int32_t w, int32_t h) {
    TBitmap32 bm(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            bm.SetPixel(x, y,
                        MakeColor32(uint8_t(x * 7), uint8_t(y * 13), uint8_t(x ^ y), uint8_t(x * 5 + y)));
    return bm;
}

TEST(BitmapPng, EncodeDecodeRoundTrip) {
    TBitmap32 one(1, 1, 0x80FF0000);
    const TBitmap32 cases[] = {one, Gradient(5, 3), Gradient(300, 2), Gradient(1, 40)};
    for (const TBitmap32& bm : cases) {
        SCOPED_TRACE(std::to_string(bm.Width()) + "x" + std::to_string(bm.Height()));
        TBitmap32 back;
        ASSERT_TRUE(DecodePng(EncodePng(bm), back));
        EXPECT_EQ(back, bm);
    }
    EXPECT_TRUE(EncodePng(TBitmap32()).empty());
}

TEST(BitmapPng, WriterLayoutIsOneUnfilteredIdat) {
    const TBitmap32 bm = Gradient(4, 3);
    const std::vector<uint8_t> png = EncodePng(bm);
    const std::vector<uint8_t> signature = {137, 80, 78, 71, 13, 10, 26, 10};
    ASSERT_GT(png.size(), 8u + 25 + 12 + 12);
    EXPECT_TRUE(std::equal(signature.begin(), signature.end(), png.begin()));
    EXPECT_EQ(BE32(png, 8), 13u);
    EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
    EXPECT_EQ(BE32(png, 16), 4u);
    EXPECT_EQ(BE32(png, 20), 3u);
    EXPECT_EQ(std::vector<uint8_t>(png.begin() + 24, png.begin() + 29),
              (std::vector<uint8_t>{8, 6, 0, 0, 0}));
    const size_t idat = 33;
    const uint32_t idatLength = BE32(png, idat);
    EXPECT_EQ(std::string(png.begin() + idat + 4, png.begin() + idat + 8), "IDAT");
    const size_t iend = idat + 12 + idatLength;
    ASSERT_EQ(png.size(), iend + 12);
    EXPECT_EQ(BE32(png, iend), 0u);
    EXPECT_EQ(std::string(png.begin() + iend + 4, png.begin() + iend + 8), "IEND");
    EXPECT_EQ(BE32(png, iend + 8), 0xAE426082u); // CRC-32 of "IEND"

    const std::vector<uint8_t> raw = Inflate(std::span(png).subspan(idat + 8, idatLength));
    ASSERT_EQ(raw.size(), 3u * (1 + 4 * 4));
    for (int32_t y = 0; y < 3; ++y) {
        const uint8_t* row = raw.data() + y * 17;
        EXPECT_EQ(row[0], 0);
        const TColor32 c = bm.GetPixel(1, y);
        EXPECT_EQ(row[1 + 4], uint8_t(c >> 16)); // red first
        EXPECT_EQ(row[1 + 7], uint8_t(c >> 24)); // alpha last
    }
}

TEST(BitmapPng, AllTransparentImageLoadsOpaque) {
    TBitmap32 bm(2, 1, 0x00102030);
    TBitmap32 back;
    ASSERT_TRUE(DecodePng(EncodePng(bm), back));
    EXPECT_EQ(back.s_data, (std::vector<TColor32>{0xFF102030, 0xFF102030}));
}

struct LibpngCase {
    const char* name;
    LibpngImage image;
    std::vector<TColor32> expected;
};

std::vector<LibpngCase> LibpngCases() {
    std::vector<LibpngCase> cases;
    {
        LibpngImage im;
        im.width = 4;
        im.colorType = PNG_COLOR_TYPE_PALETTE;
        im.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
        im.paletteAlpha = {0, 128};
        im.rows = {{0, 1, 2, 3}};
        cases.push_back({"palette with tRNS", im, {0x00FF0000, 0x8000FF00, 0xFF0000FF, 0xFFFFFFFF}});
    }
    {
        LibpngImage im;
        im.width = 5;
        im.colorType = PNG_COLOR_TYPE_PALETTE;
        im.depth = 2;
        im.palette = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
        im.paletteAlpha = {255, 0};
        im.rows = {{0b00011000, 0b01000000}}; // 0 1 2 0 1
        cases.push_back(
            {"2-bit palette with tRNS", im, {0xFF010203, 0x00040506, 0xFF070809, 0xFF010203, 0x00040506}});
    }
    {
        LibpngImage im;
        im.width = 9;
        im.colorType = PNG_COLOR_TYPE_GRAY;
        im.depth = 1;
        im.rows = {{0b10000001, 0b10000000}};
        std::vector<TColor32> px(9, 0xFF000000);
        px[0] = px[7] = px[8] = 0xFFFFFFFF;
        cases.push_back({"1-bit grey", im, px});
    }
    {
        LibpngImage im;
        im.width = 3;
        im.colorType = PNG_COLOR_TYPE_GRAY;
        im.depth = 16;
        im.rows = {{0xAB, 0xAB, 0x01, 0x01, 0xFF, 0xFF}};
        cases.push_back({"16-bit grey", im, {0xFFABABAB, 0xFF010101, 0xFFFFFFFF}});
    }
    {
        LibpngImage im;
        im.width = 2;
        im.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
        im.rows = {{0x10, 0x20, 0x30, 0}};
        cases.push_back({"grey with alpha", im, {0x20101010, 0x00303030}});
    }
    {
        LibpngImage im;
        im.width = 2;
        im.colorType = PNG_COLOR_TYPE_GRAY;
        im.colorKey = true;
        im.key.gray = 0x30;
        im.rows = {{0x10, 0x30}};
        cases.push_back({"grey with colour key", im, {0xFF101010, 0x00303030}});
    }
    {
        LibpngImage im;
        im.width = 2;
        im.colorType = PNG_COLOR_TYPE_RGB;
        im.rows = {{1, 2, 3, 4, 5, 6}};
        cases.push_back({"RGB loads opaque", im, {0xFF010203, 0xFF040506}});
    }
    {
        LibpngImage im;
        im.width = 2;
        im.colorType = PNG_COLOR_TYPE_RGB;
        im.colorKey = true;
        im.key.red = 4, im.key.green = 5, im.key.blue = 6;
        im.rows = {{1, 2, 3, 4, 5, 6}};
        cases.push_back({"RGB with colour key", im, {0xFF010203, 0x00040506}});
    }
    {
        LibpngImage im;
        im.colorType = PNG_COLOR_TYPE_RGB;
        im.depth = 16;
        im.rows = {{0x12, 0x12, 0x34, 0x34, 0x56, 0x56}};
        cases.push_back({"16-bit RGB", im, {0xFF123456}});
    }
    {
        LibpngImage im;
        im.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
        im.depth = 16;
        im.rows = {{0x12, 0x12, 0x34, 0x34, 0x56, 0x56, 0x78, 0x78}};
        cases.push_back({"16-bit RGBA", im, {0x78123456}});
    }
    {
        LibpngImage im;
        im.width = 5;
        im.height = 5;
        im.interlace = true;
        std::vector<TColor32> px;
        for (uint8_t y = 0; y < 5; ++y) {
            std::vector<uint8_t> row;
            for (uint8_t x = 0; x < 5; ++x) {
                const uint8_t r = uint8_t(x * 40), g = uint8_t(y * 50), b = uint8_t(x + y),
                              a = uint8_t(200 + x + y);
                row.insert(row.end(), {r, g, b, a});
                px.push_back(MakeColor32(r, g, b, a));
            }
            im.rows.push_back(row);
        }
        cases.push_back({"interlaced RGBA", im, px});
    }
    return cases;
}

TEST(BitmapPng, DecodesFilesWrittenByLibpng) {
    for (const LibpngCase& c : LibpngCases()) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> file = WriteWithLibpng(c.image);
        ASSERT_FALSE(file.empty());
        TBitmap32 bm;
        ASSERT_TRUE(DecodePng(file, bm));
        EXPECT_EQ(bm.Width(), int32_t(c.image.width));
        EXPECT_EQ(bm.Height(), int32_t(c.image.height));
        EXPECT_EQ(bm.s_data, c.expected);
    }
}

// Replaces the IHDR size fields and fixes the chunk CRC, so that only the size is wrong.
std::vector<uint8_t> WithSize(std::vector<uint8_t> png, uint32_t w, uint32_t h) {
    for (int i = 0; i < 4; ++i) {
        png[16 + size_t(i)] = uint8_t(w >> (24 - 8 * i));
        png[20 + size_t(i)] = uint8_t(h >> (24 - 8 * i));
    }
    const uint32_t crc = static_cast<uint32_t>(crc32(0, png.data() + 12, 17));
    for (int i = 0; i < 4; ++i) png[29 + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
    return png;
}

TEST(BitmapPng, RefusesBadFilesAndLeavesOutputUnchanged) {
    const std::vector<uint8_t> good = EncodePng(Gradient(6, 4));
    std::vector<uint8_t> badSignature = good;
    badSignature[1] = 'Q';
    std::vector<uint8_t> badCrc = good;
    badCrc[40] ^= 0xFF; // inside the IDAT data
    const struct {
        const char* name;
        std::vector<uint8_t> file;
    } cases[] = {
        {"empty", {}},
        {"signature only", std::vector<uint8_t>(good.begin(), good.begin() + 8)},
        {"bad signature", badSignature},
        {"corrupted image data", badCrc},
        {"above the pixel cap", WithSize(good, 16384, 16384)},
        {"more pixels than the data can hold", WithSize(good, 8000, 8000)},
        {"width 0", WithSize(good, 0, 4)},
        {"a BMP file", EncodeBmp(Gradient(2, 2))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TBitmap32 out(1, 1, 0x12345678);
        EXPECT_FALSE(DecodePng(c.file, out));
        EXPECT_EQ(out, TBitmap32(1, 1, 0x12345678));
    }
}

TEST(BitmapPng, TruncatedImageDataFails) {
    const std::vector<uint8_t> good = EncodePng(Gradient(7, 5));
    const size_t imageDataEnd = good.size() - 12; // before IEND
    for (size_t n = 0; n < imageDataEnd; ++n) {
        TBitmap32 out;
        EXPECT_FALSE(DecodePng(std::span(good).first(n), out)) << "prefix " << n;
    }
}

class BitmapImageFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("kestrin_bitmap_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream(Path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::vector<uint8_t> Read(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::filesystem::path dir_;
};

TEST_F(BitmapImageFile, SaveWritesPngWhateverTheExtension) {
    const TBitmap32 bm = Gradient(3, 3);
    ASSERT_TRUE(bm.SaveToImageFile(Path("shot.bmp")));
    EXPECT_EQ(Read("shot.bmp"), EncodePng(bm));
    ASSERT_TRUE(bm.SaveToImageFile(Path("shot.png")));
    TBitmap32 back;
    ASSERT_TRUE(back.LoadFromImageFile(Path("shot.png")));
    EXPECT_EQ(back, bm);

    EXPECT_FALSE(TBitmap32().SaveToImageFile(Path("empty.png")));
    EXPECT_FALSE(std::filesystem::exists(Path("empty.png")));
    EXPECT_FALSE(bm.SaveToImageFile(Path("missing/dir/shot.png")));
}

TEST_F(BitmapImageFile, LoadPicksTheDecoderByExtension) {
    test::BmpSpec s;
    s.width = 2;
    s.rows = {{1, 2, 3, 4, 5, 6}};
    const std::vector<uint8_t> bmp = test::MakeBmp(s);
    const std::vector<uint8_t> png = EncodePng(TBitmap32(2, 1, 0x40302010));
    Write("a.BMP", bmp);
    Write("a.dib", bmp);
    Write("a.rle", bmp);
    Write("a.PnG", png);
    Write("png_as.bmp", png);
    Write("a.tga", bmp);
    Write("noext", bmp);

    const std::vector<TColor32> opaque = {0xFF030201, 0xFF060504};
    for (const char* name : {"a.BMP", "a.dib", "a.rle"}) {
        SCOPED_TRACE(name);
        TBitmap32 bm;
        ASSERT_TRUE(bm.LoadFromImageFile(Path(name)));
        EXPECT_EQ(bm.s_data, opaque);
    }
    TBitmap32 bm;
    ASSERT_TRUE(bm.LoadFromImageFile(Path("a.PnG")));
    EXPECT_EQ(bm, TBitmap32(2, 1, 0x40302010));

    std::filesystem::create_directories(Path("folder.png"));
    for (const char* name : {"png_as.bmp", "a.tga", "noext", "missing.png", "folder.png"}) {
        SCOPED_TRACE(name);
        TBitmap32 keep(1, 1, 7);
        EXPECT_FALSE(keep.LoadFromImageFile(Path(name)));
        EXPECT_EQ(keep, TBitmap32(1, 1, 7));
    }
}

} // namespace
