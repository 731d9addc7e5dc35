// JPEG and GIF decoding: files made here with the libraries' own encoders.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/bitmap32.h"
#include "base/image_gif.h"
#include "base/image_jpeg.h"
#include "tests/unit/bitmap_samples.h"

using namespace kestrin;

namespace {

using test::GifImage;
using test::JpegSpec;
using test::MakeGif;
using test::MakeJpeg;

// ---- JPEG ---------------------------------------------------------------------------------

// Left half red, right half blue, in blocks wide enough that compression keeps them clean.
std::vector<uint8_t> RedBlue(int x, int) {
    return x < 8 ? std::vector<uint8_t>{220, 20, 30} : std::vector<uint8_t>{10, 40, 200};
}
std::vector<uint8_t> GreyRamp(int x, int) {
    return {x < 8 ? uint8_t(40) : uint8_t(180)};
}
// Ink amounts: magenta and yellow make red; no ink is white; full black over cyan is black.
std::vector<uint8_t> CmykInk(int x, int) {
    return x < 8 ? std::vector<uint8_t>{0, 255, 255, 0} : std::vector<uint8_t>{0, 0, 0, 0};
}
std::vector<uint8_t> CmykAdobe(int x, int y) {
    std::vector<uint8_t> ink = CmykInk(x, y);
    for (uint8_t& v : ink) v = uint8_t(255 - v);
    return ink;
}

void ExpectNear(TColor32 got, uint8_t r, uint8_t g, uint8_t b, int x, int y) {
    SCOPED_TRACE(::testing::Message() << "pixel " << x << "," << y << " = " << std::hex << got);
    EXPECT_EQ(AlphaOf(got), 255);
    EXPECT_NEAR(int(got >> 16 & 0xFF), r, 12);
    EXPECT_NEAR(int(got >> 8 & 0xFF), g, 12);
    EXPECT_NEAR(int(got & 0xFF), b, 12);
}

TEST(BitmapJpeg, DecodesColourGreyAndCmykOpaque) {
    struct Case {
        const char* name;
        JpegSpec spec;
        uint8_t left[3];
        uint8_t right[3];
    };
    const Case cases[] = {
        {"rgb", {16, 16, 3, false, RedBlue}, {220, 20, 30}, {10, 40, 200}},
        {"rgb progressive, odd size", {16, 9, 3, true, RedBlue}, {220, 20, 30}, {10, 40, 200}},
        {"grey", {16, 8, 1, false, GreyRamp}, {40, 40, 40}, {180, 180, 180}},
        {"cmyk adobe", {16, 8, 4, false, CmykAdobe, true}, {255, 0, 0}, {255, 255, 255}},
        {"cmyk plain", {16, 8, 4, false, CmykInk, false}, {255, 0, 0}, {255, 255, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TBitmap32 bm;
        ASSERT_TRUE(DecodeJpeg(MakeJpeg(c.spec), bm));
        ASSERT_EQ(bm.Width(), c.spec.width);
        ASSERT_EQ(bm.Height(), c.spec.height);
        ASSERT_EQ(bm.s_data.size(), size_t(c.spec.width * c.spec.height));
        for (int y = 0; y < c.spec.height; ++y)
            for (int x : {0, 3, 12, 15}) {
                const uint8_t* want = x < 8 ? c.left : c.right;
                ExpectNear(bm.GetPixel(x, y), want[0], want[1], want[2], x, y);
            }
    }
}

TEST(BitmapJpeg, DamagedFilesFailAndLeaveOutputUnchanged) {
    const std::vector<uint8_t> good = MakeJpeg({16, 16, 3, false, RedBlue});
    const std::vector<uint8_t> progressive = MakeJpeg({16, 16, 3, true, RedBlue});
    std::vector<std::pair<const char*, std::vector<uint8_t>>> bad = {
        {"empty", {}},
        {"signature only", {0xFF, 0xD8, 0xFF}},
        {"not a jpeg", {'G', 'I', 'F', '8', '9', 'a'}},
        {"header only", std::vector<uint8_t>(good.begin(), good.begin() + 200)},
        {"cut in the scan", std::vector<uint8_t>(good.begin(), good.end() - 40)},
        {"progressive cut", std::vector<uint8_t>(progressive.begin(), progressive.end() - 40)},
        {"no end marker", std::vector<uint8_t>(good.begin(), good.end() - 2)},
    };
    // Zero width in the frame header (SOF0: FF C0, length, precision, height, width).
    std::vector<uint8_t> zeroWidth = good;
    for (size_t i = 0; i + 8 < zeroWidth.size(); ++i)
        if (zeroWidth[i] == 0xFF && zeroWidth[i + 1] == 0xC0) {
            zeroWidth[i + 7] = 0, zeroWidth[i + 8] = 0;
            break;
        }
    bad.emplace_back("zero width", zeroWidth);
    // 65535 × 65535 exceeds the pixel limit; refused before any allocation.
    std::vector<uint8_t> huge = good;
    for (size_t i = 0; i + 8 < huge.size(); ++i)
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            for (size_t k = 5; k <= 8; ++k) huge[i + k] = 0xFF;
            break;
        }
    bad.emplace_back("huge", huge);

    for (const auto& [name, bytes] : bad) {
        SCOPED_TRACE(name);
        TBitmap32 keep(1, 1, 7);
        EXPECT_FALSE(DecodeJpeg(bytes, keep));
        EXPECT_EQ(keep, TBitmap32(1, 1, 7));
    }
}

// ---- GIF ----------------------------------------------------------------------------------

// Colour table of every test GIF: 0 black, 1 red, 2 green, 3 blue.
constexpr TColor32 kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

TEST(BitmapGif, DisposalMethodsComposeFramesOnTheScreen) {
    // A blue screen is kept, red covers its right half with the disposal under test, then a
    // green image with a transparent column lands across both.
    constexpr TColor32 T = 0, B = kBlue, R = kRed, G = kGreen;
    struct Case {
        int disposal;
        std::vector<TColor32> third;
    };
    const Case cases[] = {
        {0, {B, G, R, R, B, G, R, R}},
        {1, {B, G, R, R, B, G, R, R}},
        {2, {B, G, T, T, B, G, T, T}},
        {3, {B, G, B, B, B, G, B, B}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.disposal);
        const std::vector<uint8_t> gif = MakeGif(4, 2,
                                                 {
                                                     {0, 0, 4, 2, {3, 3, 3, 3, 3, 3, 3, 3}, 1},
                                                     {2, 0, 2, 2, {1, 1, 1, 1}, c.disposal},
                                                     {1, 0, 2, 2, {2, 0, 2, 0}, 0, 0},
                                                 });
        std::vector<TBitmap32> frames;
        ASSERT_TRUE(DecodeGif(gif, frames));
        ASSERT_EQ(frames.size(), 3u);
        for (const TBitmap32& f : frames) {
            ASSERT_EQ(f.Width(), 4);
            ASSERT_EQ(f.Height(), 2);
        }
        EXPECT_EQ(frames[0].s_data, std::vector<TColor32>(8, B));
        EXPECT_EQ(frames[1].s_data, (std::vector<TColor32>{B, B, R, R, B, B, R, R}));
        EXPECT_EQ(frames[2].s_data, c.third);
    }
}

TEST(BitmapGif, ImagesAreClippedToTheScreenAndDeinterlaced) {
    // 3 × 10 interlaced image at (2, -) on a 4 × 8 screen: its right column and last two rows
    // fall outside. Row r of the image holds colour 1 + r % 3, transparent index 0 in column 1.
    GifImage im{2, 0, 3, 10, {}, 0, 0, true};
    for (int r = 0; r < 10; ++r) im.indices.insert(im.indices.end(), {uint8_t(1 + r % 3), 0, 2});
    const std::vector<uint8_t> gif = MakeGif(4, 8, {im});
    std::vector<TBitmap32> frames;
    ASSERT_TRUE(DecodeGif(gif, frames));
    ASSERT_EQ(frames.size(), 1u);
    const TBitmap32& f = frames[0];
    ASSERT_EQ(f.Width(), 4);
    ASSERT_EQ(f.Height(), 8);
    const TColor32 byRow[3] = {kRed, kGreen, kBlue};
    for (int y = 0; y < 8; ++y) {
        SCOPED_TRACE(y);
        EXPECT_EQ(f.GetPixel(0, y), 0u);
        EXPECT_EQ(f.GetPixel(1, y), 0u);
        EXPECT_EQ(f.GetPixel(2, y), byRow[y % 3]);
        EXPECT_EQ(f.GetPixel(3, y), 0u);
    }

    // The first frame as an image file: transparent parts are opaque red 1.
    TBitmap32 first;
    ASSERT_TRUE(DecodeGifFirstFrame(gif, first));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(first.GetPixel(x, y), x == 2 ? byRow[y % 3] : MakeColor32(1, 0, 0, 255))
                << x << "," << y;
}

TEST(BitmapGif, DamagedFilesFailAndLeaveOutputUnchanged) {
    const std::vector<uint8_t> good =
        MakeGif(2, 2, {{0, 0, 2, 2, {1, 2, 3, 0}, 1}, {0, 0, 2, 2, {3, 3, 3, 3}}});
    std::vector<TBitmap32> check;
    ASSERT_TRUE(DecodeGif(good, check));

    auto patched = [](std::vector<uint8_t> bytes, size_t at, std::initializer_list<uint8_t> with) {
        std::copy(with.begin(), with.end(), bytes.begin() + at);
        return bytes;
    };
    // Header 6, screen descriptor 7, colour table 12; the first block is the control block.
    const size_t firstImage = 6 + 7 + 12 + 8;
    ASSERT_EQ(good[firstImage], 0x2C);
    std::vector<uint8_t> noImages(good.begin(), good.begin() + 6 + 7 + 12);
    noImages.push_back(0x3B);
    std::vector<uint8_t> noColourTable = MakeGif(2, 2, {{0, 0, 1, 1, {1}}});
    noColourTable[10] &= 0x7F; // no global table, and the image has none of its own
    noColourTable.erase(noColourTable.begin() + 13, noColourTable.begin() + 13 + 12);
    GifImage tiny{0, 0, 1, 1, {1}};

    const std::vector<std::pair<const char*, std::vector<uint8_t>>> bad = {
        {"empty", {}},
        {"not a gif", {'G', 'I', 'X', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0}},
        {"header only", std::vector<uint8_t>(good.begin(), good.begin() + 13)},
        {"cut in the first image", std::vector<uint8_t>(good.begin(), good.begin() + firstImage + 12)},
        {"cut in the second image", std::vector<uint8_t>(good.begin(), good.end() - 5)},
        {"no trailer", std::vector<uint8_t>(good.begin(), good.end() - 1)},
        {"no images", noImages},
        {"zero-width image", patched(good, firstImage + 5, {0, 0})},
        {"unknown record", patched(good, firstImage, {0x11})},
        {"no colour table", noColourTable},
        {"screen over the pixel limit", MakeGif(65535, 65535, {tiny})},
        {"too many frames", MakeGif(1, 1, std::vector<GifImage>(kMaxGifFrames + 1, tiny))},
    };
    for (const auto& [name, bytes] : bad) {
        SCOPED_TRACE(name);
        if (std::string(name) != "empty") {
            ASSERT_GT(bytes.size(), 6u);
        }
        std::vector<TBitmap32> frames(1, TBitmap32(1, 1, 7));
        EXPECT_FALSE(DecodeGif(bytes, frames));
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0], TBitmap32(1, 1, 7));
    }
}

// ---- Loading by file name -----------------------------------------------------------------

class BitmapJpegGifFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("kestrin_jpeggif_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    std::filesystem::path dir_;
};

TEST_F(BitmapJpegGifFile, JpegExtensions) {
    const std::vector<uint8_t> jpeg = MakeJpeg({16, 16, 3, false, RedBlue});
    TBitmap32 direct;
    ASSERT_TRUE(DecodeJpeg(jpeg, direct));
    for (const char* name : {"a.jpg", "a.JPEG", "a.Jpe", "a.jfif"}) {
        SCOPED_TRACE(name);
        TBitmap32 bm;
        ASSERT_TRUE(bm.LoadFromImageFile(Write(name, jpeg)));
        EXPECT_EQ(bm, direct);
    }
    TBitmap32 keep(1, 1, 7);
    EXPECT_FALSE(keep.LoadFromImageFile(Write("jpeg_as.png", jpeg)));
    EXPECT_FALSE(
        keep.LoadFromImageFile(Write("cut.jpg", std::vector<uint8_t>(jpeg.begin(), jpeg.end() - 40))));
    EXPECT_EQ(keep, TBitmap32(1, 1, 7));
}

TEST_F(BitmapJpegGifFile, GifLoadsItsFirstFrameOpaque) {
    const std::vector<uint8_t> gif = MakeGif(2, 1, {{0, 0, 2, 1, {1, 0}, 0, 0}, {0, 0, 2, 1, {2, 2}}});
    for (const char* name : {"a.gif", "a.GIF"}) {
        SCOPED_TRACE(name);
        TBitmap32 bm;
        ASSERT_TRUE(bm.LoadFromImageFile(Write(name, gif)));
        EXPECT_EQ(bm.s_data, (std::vector<TColor32>{kRed, MakeColor32(1, 0, 0, 255)}));
    }
    TBitmap32 keep(1, 1, 7);
    EXPECT_FALSE(
        keep.LoadFromImageFile(Write("cut.gif", std::vector<uint8_t>(gif.begin(), gif.begin() + 30))));
    EXPECT_EQ(keep, TBitmap32(1, 1, 7));
}

} // namespace
