#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "bitmap_samples.h"
#include "sprite_fixture.h"
#include "graphics/sprite.h"

namespace kestrin {
namespace {

using testing::Art;
using testing::MaskArt;

constexpr TColor32 kFill = 0xFF408000u; // red 64, green 128, blue 0, opaque
constexpr TColor32 kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu;

std::vector<TColor32> Row(const TBitmap32& bm, int32_t y = 0) {
    return std::vector<TColor32>(bm.Row(y), bm.Row(y) + bm.Width());
}

TEST(SpriteLoad, StripsAreCutIntoEqualFrames) {
    // Each pixel's blue channel is its column.
    TBitmap32 strip(100, 2);
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 100; ++x) strip.SetPixel(x, y, 0xFF000000u | uint32_t(x));
    CSprite spr;
    spr.LoadStripFromBitmap(strip, 3, false, false);
    ASSERT_EQ(spr.i_numb, 3);
    for (const TBitmap32& f : spr.i_bitmap) {
        EXPECT_EQ(f.Width(), 33);
        EXPECT_EQ(f.Height(), 2);
    }
    EXPECT_EQ(spr.i_bitmap[2].GetPixel(0, 1) & 0xFF, 66u);
    // Column 99 is dropped.
    EXPECT_EQ(spr.i_bitmap[2].GetPixel(32, 1) & 0xFF, 98u);

    spr.LoadStripFromBitmap(strip, 0, false, false);
    ASSERT_EQ(spr.i_numb, 1);
    EXPECT_EQ(spr.i_bitmap[0].Width(), 100);
    // More frames than columns: empty frames, never a division by zero or a crash.
    spr.LoadStripFromBitmap(strip, 150, false, false);
    EXPECT_EQ(spr.i_numb, 150);
    EXPECT_TRUE(spr.i_bitmap[0].Empty());
    spr.ComputeMask(false, kBoxAutomatic, TRect{}, kMaskPrecise, 0);
    EXPECT_EQ(spr.i_mask[0].i_w, 0);
}

TEST(SpriteLoad, GifFramesComposeOnTheFillColour) {
    using test::GifImage;
    // 4 × 1 screen. Image 1 (no control block) is wiped after its frame; image 2 does not
    // dispose, so image 3 draws over it, leaving its transparent pixel as it was.
    const std::vector<uint8_t> gif = test::MakeGif(4, 1,
                                                   {
                                                       GifImage{0, 0, 2, 1, {1, 1}},
                                                       GifImage{3, 0, 1, 1, {2}, 1},
                                                       GifImage{0, 0, 2, 1, {3, 0}, 0, 0},
                                                   });
    ASSERT_FALSE(gif.empty());
    CSprite spr;
    ASSERT_TRUE(spr.LoadGifFromBytes(gif, false, false));
    ASSERT_EQ(spr.i_numb, 3);
    EXPECT_EQ(Row(spr.i_bitmap[0]), (std::vector<TColor32>{kRed, kRed, kFill, kFill}));
    EXPECT_EQ(Row(spr.i_bitmap[1]), (std::vector<TColor32>{kFill, kFill, kFill, kGreen}));
    EXPECT_EQ(Row(spr.i_bitmap[2]), (std::vector<TColor32>{kBlue, kFill, kFill, kGreen}));

    // Removing the background keys out the fill, which is the bottom-left pixel of frame 1.
    ASSERT_TRUE(spr.LoadGifFromBytes(gif, true, false));
    EXPECT_EQ(spr.i_bitmap[1].GetPixel(0, 0) >> 24, 0u);
    EXPECT_EQ(spr.i_bitmap[1].GetPixel(3, 0), kGreen);

    // A damaged GIF leaves the sprite as it was.
    std::vector<uint8_t> cut(gif.begin(), gif.begin() + 20);
    EXPECT_FALSE(spr.LoadGifFromBytes(cut, false, false));
    EXPECT_EQ(spr.i_numb, 3);
}

TEST(SpriteLoad, FrameCleanUps) {
    // Key colour (bottom-left) blue; one red pixel between two keyed pixels.
    TBitmap32 bm(3, 1);
    bm.SetPixel(0, 0, kBlue);
    bm.SetPixel(1, 0, kRed);
    bm.SetPixel(2, 0, kBlue);
    TBitmap32 removed = bm;
    CleanFrame(removed, true, false);
    EXPECT_EQ(Row(removed), (std::vector<TColor32>{0x00FF0000u, kRed, 0x00FF0000u}));
    // Smoothing runs between removing and bleeding: each transparent neighbour takes 32.
    TBitmap32 smoothed = bm;
    CleanFrame(smoothed, true, true);
    EXPECT_EQ(Row(smoothed), (std::vector<TColor32>{0x00FF0000u, 0xBFFF0000u, 0x00FF0000u}));
    TBitmap32 smoothOnly = Art({"#.#"});
    CleanFrame(smoothOnly, false, true);
    EXPECT_EQ(smoothOnly.GetPixel(0, 0) >> 24, 223u);

    TBitmap32 alpha = Art({"##"});
    TBitmap32 grey(2, 1);
    grey.SetPixel(0, 0, 0xFF303030u);
    grey.SetPixel(1, 0, 0xFF0000FFu);
    AlphaFromIntensity(alpha, grey);
    EXPECT_EQ(alpha.GetPixel(0, 0) >> 24, 0x30u);
    EXPECT_EQ(alpha.GetPixel(1, 0) >> 24, 85u);
}

TEST(SpriteLoad, SpritesFromBitmapsAndSprites) {
    const TBitmap32 clear = Art({"..", ".."});
    struct Case {
        int32_t removeback;
        uint32_t alpha;
    } cases[] = {{0, 255}, {2, 0}, {-1, 255}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.removeback);
        CSprite spr;
        spr.CreateFromBitmap(clear, c.removeback, false, 1, 1);
        ASSERT_EQ(spr.i_numb, 1);
        EXPECT_EQ(spr.i_bitmap[0].GetPixel(1, 1) >> 24, c.alpha);
        EXPECT_EQ(spr.i_xorig, 1);
        // The mask is rebuilt precise with an automatic box.
        EXPECT_EQ(spr.i_bbox, (c.alpha ? TRect{0, 0, 1, 1} : TRect{1, 1, 0, 0}));
    }

    CSprite spr;
    spr.CreateFromBitmap(Art({"#.", ".."}), 0, false, 0, 0);
    spr.ComputeMask(true, kBoxFull, TRect{}, kMaskRectangle, 0);
    spr.AddFromBitmap(Art({"....", "....", "..##", "..##"}), false, false);
    ASSERT_EQ(spr.i_numb, 2);
    EXPECT_EQ(spr.i_bitmap[1].Width(), 2);
    // Separate masks stay separate but become precise again.
    ASSERT_EQ(spr.i_mask.size(), 2u);
    EXPECT_EQ(MaskArt(spr.i_mask[1]), (std::vector<std::string>{"..", ".#"}));
    EXPECT_EQ(MaskArt(spr.i_mask[0]), (std::vector<std::string>{"#.", ".."}));

    spr.AddFromSprite(spr);
    EXPECT_EQ(spr.i_numb, 4);
    EXPECT_EQ(spr.i_bitmap[3], spr.i_bitmap[1]);

    CSprite empty;
    empty.AddFromBitmap(Art({"###"}), false, false);
    EXPECT_EQ(empty.GetWidth(), 3);

    CSprite source;
    TBitmap32 dark(2, 2, 0xFF000000u);
    source.CreateFromBitmap(dark, 0, false, 0, 0);
    spr.SetAlphaFromSprite(source);
    for (const TBitmap32& f : spr.i_bitmap) EXPECT_EQ(f.GetPixel(0, 0) >> 24, 0u);
    // The masks are not rebuilt.
    EXPECT_TRUE(spr.i_mask[0].Get(0, 0));
    EXPECT_EQ(spr.GetBoundingBoxImg(0), (TRect{1, 1, 0, 0}));
    EXPECT_EQ(spr.GetBoundingBoxImg(4), TRect{});
    EXPECT_EQ(spr.GetBitmap(4), nullptr);
    EXPECT_EQ(*spr.GetBitmap(1), spr.i_bitmap[1]);
}

TEST(SpriteLoad, ImageFiles) {
    const auto dir = std::filesystem::temp_directory_path() / "kestrin_sprite_images";
    std::filesystem::create_directories(dir);
    TBitmap32 strip = Art({"#.##"});
    const std::string png = (dir / "strip.png").string();
    ASSERT_TRUE(strip.SaveToImageFile(png));
    const std::string gif = (dir / "anim.GIF").string();
    {
        const auto bytes =
            test::MakeGif(2, 1, {test::GifImage{0, 0, 1, 1, {1}}, test::GifImage{1, 0, 1, 1, {2}}});
        std::ofstream(gif, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    CSprite spr;
    ASSERT_TRUE(spr.LoadFromFile(png, 2, false, false, 3, 4));
    EXPECT_EQ(spr.i_numb, 2);
    EXPECT_EQ(spr.i_xorig, 3);
    EXPECT_EQ(spr.i_yorig, 4);
    EXPECT_FALSE(spr.i_sepmasks);
    ASSERT_EQ(spr.i_mask.size(), 1u);
    EXPECT_EQ(MaskArt(spr.i_mask[0]), (std::vector<std::string>{"##"}));
    EXPECT_EQ(spr.i_tex.size(), 2u);

    // The extension, in any case, picks the GIF reader.
    ASSERT_TRUE(spr.LoadFromFile(gif, 5, false, false, 0, 0));
    EXPECT_EQ(spr.i_numb, 2);
    EXPECT_EQ(spr.i_bitmap[1].GetPixel(1, 0), kGreen);

    EXPECT_FALSE(spr.LoadFromFile((dir / "none.png").string(), 1, false, false, 0, 0));
    EXPECT_EQ(spr.i_numb, 2);
    EXPECT_EQ(Sprite_AddFromFile((dir / "none.png").string(), 1, false, false, 0, 0), -1);
    EXPECT_EQ(Sprite_Count(), 0);
    EXPECT_EQ(Sprite_AddFromFile(png, 1, false, false, 0, 0), 0);
    EXPECT_EQ(Sprite_GetName(0), "__newsprite0");
    Sprite_ClearAll();
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace kestrin
