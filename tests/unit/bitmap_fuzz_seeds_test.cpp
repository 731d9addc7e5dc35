// Writes the seed files of the fuzz_image target. Disabled in normal runs; regenerate with
//   kestrin_tests --gtest_also_run_disabled_tests --gtest_filter='BitmapFuzzSeeds.*'

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/image_bmp.h"
#include "base/image_png.h"
#include "base/stream.h"
#include "tests/unit/bitmap_format_samples.h"
#include "tests/unit/bitmap_samples.h"

using namespace kestrin;

namespace {

TBitmap32 Pattern(int32_t w, int32_t h) {
    TBitmap32 bm(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            bm.SetPixel(x, y,
                        MakeColor32(uint8_t(x * 31), uint8_t(y * 17), uint8_t(x + y), uint8_t(64 + x * y)));
    return bm;
}

TEST(BitmapFuzzSeeds, DISABLED_WriteFuzzSeeds) {
    const std::filesystem::path dir = std::filesystem::path(KESTRIN_SOURCE_DIR) / "fuzz/corpus/fuzz_image";
    std::filesystem::create_directories(dir);
    auto save = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        ASSERT_FALSE(bytes.empty()) << name;
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    };
    using test::BmpSpec;
    auto bmp = [](uint32_t header, int32_t w, int32_t h, uint16_t bpp, uint32_t compression) {
        BmpSpec s;
        s.headerSize = header, s.width = w, s.height = h, s.bpp = bpp, s.compression = compression;
        return s;
    };

    BmpSpec s = bmp(40, 5, 3, 1, 0);
    s.palette = {0x000000, 0xFFFFFF};
    s.rows = {{0xA8}, {0x50}, {0xF8}};
    save("bmp_1bit", test::MakeBmp(s));
    s = bmp(12, 3, 2, 4, 0);
    s.palette = {0x102030, 0x405060, 0x708090};
    s.rows = {{0x01, 0x20}, {0x21, 0x00}};
    save("bmp_core_4bit", test::MakeBmp(s));
    s = bmp(40, 4, -2, 8, 0);
    s.palette = {0xFF0000, 0x00FF00, 0x0000FF};
    s.rows = {{0, 1, 2, 1}, {2, 1, 0, 1}};
    save("bmp_8bit_topdown", test::MakeBmp(s));
    s = bmp(40, 4, 3, 8, 1);
    s.palette = {0, 0xFF0000, 0x00FF00, 0x0000FF};
    s.raw = {4, 1, 0, 0, 0, 3, 2, 3, 1, 0, 1, 2, 0, 0, 0, 2, 1, 0, 2, 3, 0, 1};
    save("bmp_rle8", test::MakeBmp(s));
    s = bmp(40, 5, 2, 4, 2);
    s.palette = {0, 0xFF0000, 0x00FF00, 0x0000FF};
    s.raw = {5, 0x12, 0, 0, 0, 5, 0x12, 0x33, 0x10, 0x00, 0, 1};
    save("bmp_rle4", test::MakeBmp(s));
    s = bmp(40, 3, 1, 16, 3);
    s.masks = {0xF800, 0x07E0, 0x001F};
    s.rows = {{0x00, 0xF8, 0xE0, 0x07, 0x00, 0x04}};
    save("bmp_565", test::MakeBmp(s));
    s = bmp(108, 2, 1, 16, 3);
    s.masks = {0x0F00, 0x00F0, 0x000F, 0xF000};
    s.rows = {{0x0F, 0xF0, 0x21, 0x84}};
    save("bmp_v4_4444", test::MakeBmp(s));
    s = bmp(124, 2, 2, 32, 3);
    s.masks = {0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF};
    s.rows = {{0x40, 0x30, 0x20, 0x10, 1, 2, 3, 4}, {5, 6, 7, 8, 9, 10, 11, 12}};
    save("bmp_v5_rgba", test::MakeBmp(s));
    save("bmp_32bit", EncodeBmp(Pattern(3, 3)));
    s = bmp(40, 3, 2, 24, 0);
    s.rows = {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {9, 8, 7, 6, 5, 4, 3, 2, 1}};
    save("bmp_24bit", test::MakeBmp(s));

    save("png_rgba", EncodePng(Pattern(6, 4)));
    test::LibpngImage palette;
    palette.width = 5;
    palette.colorType = PNG_COLOR_TYPE_PALETTE;
    palette.depth = 2;
    palette.palette = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    palette.paletteAlpha = {255, 0};
    palette.rows = {{0b00011000, 0b01000000}};
    save("png_palette_trns", test::WriteWithLibpng(palette));
    test::LibpngImage grey;
    grey.width = 3;
    grey.height = 3;
    grey.colorType = PNG_COLOR_TYPE_GRAY;
    grey.depth = 16;
    grey.interlace = true;
    grey.rows = {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}, {13, 14, 15, 16, 17, 18}};
    save("png_grey16_interlaced", test::WriteWithLibpng(grey));
    test::LibpngImage key;
    key.width = 2;
    key.colorType = PNG_COLOR_TYPE_RGB;
    key.colorKey = true;
    key.key.red = 4, key.key.green = 5, key.key.blue = 6;
    key.rows = {{1, 2, 3, 4, 5, 6}};
    save("png_rgb_key", test::WriteWithLibpng(key));

    save("jpeg_progressive",
         test::MakeJpeg({16, 8, 3, true, [](int x, int y) {
                             return std::vector<uint8_t>{uint8_t(x * 15), uint8_t(y * 30), 90};
                         }}));
    save("gif_two_frames", test::MakeGif(3, 2,
                                         {
                                             {0, 0, 3, 2, {1, 2, 3, 3, 2, 1}, 3, 0, true},
                                             {1, 1, 3, 2, {0, 2, 0, 1, 1, 1}, 2, 0},
                                         }));

    test::TgaSpec tga;
    tga.type = 10, tga.width = 3, tga.height = 2, tga.bits = 32, tga.descriptor = 0x28;
    tga.data = {0x83, 1, 2, 3, 4, 0x01, 5, 6, 7, 8, 9, 10, 11, 12};
    save("tga_rle32", test::MakeTga(tga));
    tga = {};
    tga.type = 1, tga.width = 2, tga.bits = 8, tga.mapLength = 2, tga.mapBits = 16;
    tga.map = {0x1F, 0x80, 0xE0, 0x03};
    tga.data = {1, 0};
    save("tga_mapped", test::MakeTga(tga));
    test::PcxSpec pcx;
    pcx.width = 3, pcx.height = 2, pcx.lineBytes = 4;
    pcx.data = {0xC3, 5, 0, 1, 2, 3, 0};
    pcx.palette.assign(768, 0x40);
    save("pcx_8bit", test::MakePcx(pcx));
    pcx = {};
    pcx.width = 2, pcx.planes = 3, pcx.lineBytes = 2;
    pcx.data = {10, 20, 0xC4, 30};
    save("pcx_24bit", test::MakePcx(pcx));
    auto text = [](const std::string& t, std::vector<uint8_t> tail = {}) {
        std::vector<uint8_t> v(t.begin(), t.end());
        v.insert(v.end(), tail.begin(), tail.end());
        return v;
    };
    save("pnm_p1", text("P1\n# c\n3 2\n010\n1 1 0\n"));
    save("pnm_p3", text("P3 2 1 1000 1000 0 500 0 1000 7\n"));
    save("pnm_p5_16bit", text("P5 2 1 65535\n", {0xFF, 0xFF, 0x80, 0x00}));
    save("pnm_p6", text("P6 2 1 255\n", {1, 2, 3, 4, 5, 6}));
    test::SgiSpec sgi;
    sgi.rle = true, sgi.width = 4, sgi.channels = 4;
    sgi.rows = {{{1, 1, 1, 2}}, {{3, 4, 4, 4}}, {{5, 5, 6, 6}}, {{0x80, 0x80, 0x80, 0x40}}};
    save("sgi_rgba_rle", test::MakeSgi(sgi));
    sgi.rle = false;
    save("sgi_rgba", test::MakeSgi(sgi));
    test::PsdSpec psd;
    psd.width = 3, psd.height = 2, psd.channels = 4, psd.rle = true;
    psd.rows = {
        {{1, 1, 1}, {2, 3, 4}}, {{5, 5, 6}, {7, 7, 7}}, {{8, 9, 9}, {0, 0, 0}}, {{255, 255, 0}, {1, 1, 1}}};
    save("psd_rgba_rle", test::MakePsd(psd));
    psd = {};
    psd.mode = 1, psd.depth = 16, psd.channels = 1, psd.width = 2;
    psd.rows = {{{0x12, 0x34, 0xAB, 0xCD}}};
    save("psd_grey16", test::MakePsd(psd));
    BmpSpec icon = bmp(40, 2, 2, 8, 0);
    icon.colorsUsed = 2;
    icon.palette = {0xFF0000, 0x00FF00};
    icon.rows = {{0, 1}, {1, 0}};
    BmpSpec icon32 = bmp(40, 1, 1, 32, 0);
    icon32.rows = {{1, 2, 3, 0x80}};
    save("ico_two_images", test::MakeIco({{1, 1, 32, test::IconBitmap(icon32, {{0}})},
                                          {2, 2, 8, test::IconBitmap(icon, {{0x40}, {0}})}}));
    save("ico_png", test::MakeIco({{0, 0, 32, EncodePng(Pattern(2, 2))}}));
    test::TiffSpec tiff;
    tiff.width = 2, tiff.height = 2, tiff.samples = 4, tiff.alpha = true, tiff.compression = COMPRESSION_LZW;
    tiff.rows = {{1, 2, 3, 4, 5, 6, 7, 8}, {9, 10, 11, 12, 13, 14, 15, 16}};
    save("tiff_rgba_lzw", test::MakeTiff(tiff));
    tiff = {};
    tiff.width = 9, tiff.samples = 1, tiff.bits = 1, tiff.photometric = PHOTOMETRIC_MINISWHITE;
    tiff.rows = {{0x80, 0x80}};
    save("tiff_bilevel", test::MakeTiff(tiff));

    CStream record;
    Pattern(3, 2).SaveToStream(record);
    save("record", record.Bytes());
    CStream empty;
    TBitmap32().SaveToStream(empty);
    save("record_empty", empty.Bytes());
}

} // namespace
