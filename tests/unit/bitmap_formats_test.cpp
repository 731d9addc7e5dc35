// The small image readers: Targa, Paintbrush, portable maps, SGI, layered documents, icons
// and TIFF, each decoded from files built field by field.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "base/image_ico.h"
#include "base/image_pcx.h"
#include "base/image_png.h"
#include "base/image_pnm.h"
#include "base/image_psd.h"
#include "base/image_sgi.h"
#include "base/image_tga.h"
#include "base/image_tiff.h"
#include "tests/unit/bitmap_format_samples.h"

using namespace kestrin;
using namespace kestrin::test;

namespace {

using Decoder = std::function<bool(std::span<const uint8_t>, TBitmap32&)>;

constexpr TColor32 K = 0xFF000000, W = 0xFFFFFFFF, R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF;
constexpr TColor32 Grey(uint8_t v) {
    return MakeColor32(v, v, v, 255);
}

const Decoder kTga = [](std::span<const uint8_t> f, TBitmap32& bm) { return DecodeTga(f, bm); };
const Decoder kPcx = [](std::span<const uint8_t> f, TBitmap32& bm) { return DecodePcx(f, bm); };
const Decoder kPnm = [](std::span<const uint8_t> f, TBitmap32& bm) { return DecodePnm(f, bm); };
const Decoder kSgi = [](std::span<const uint8_t> f, TBitmap32& bm) { return DecodeSgi(f, bm); };
const Decoder kPsd = [](std::span<const uint8_t> f, TBitmap32& bm) { return DecodePsd(f, bm); };
const Decoder kIco = [](std::span<const uint8_t> f, TBitmap32& bm) { return DecodeIco(f, bm); };
const Decoder kTiff = [](std::span<const uint8_t> f, TBitmap32& bm) { return DecodeTiff(f, bm); };

std::vector<uint8_t> Text(const std::string& s, std::vector<uint8_t> tail = {}) {
    std::vector<uint8_t> v(s.begin(), s.end());
    Append(v, tail);
    return v;
}

struct Case {
    const char* name;
    Decoder decode;
    std::vector<uint8_t> file;
    int32_t width, height;
    std::vector<TColor32> pixels; // top row first
    // A prefix may decode to another valid image (a shorter number, a palette left out).
    bool prefixMayDiffer = false;
};

std::vector<uint8_t> Palette768(std::initializer_list<std::pair<int, TColor32>> entries) {
    std::vector<uint8_t> p(768, 0);
    for (auto [i, c] : entries) {
        p[3 * size_t(i)] = uint8_t(c >> 16);
        p[3 * size_t(i) + 1] = uint8_t(c >> 8);
        p[3 * size_t(i) + 2] = uint8_t(c);
    }
    return p;
}

std::vector<Case> TgaCases() {
    std::vector<Case> cases;
    auto add = [&](const char* name, const TgaSpec& s, int32_t w, int32_t h, std::vector<TColor32> px) {
        cases.push_back({name, kTga, MakeTga(s), w, h, std::move(px)});
    };
    TgaSpec s;
    s.width = 2, s.height = 2, s.id = "ident";
    s.data = {0xFF, 0, 0, 0, 0xFF, 0, /* top row: */ 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    add("tga 24 bits, bottom-up, with an id", s, 2, 2, {R, W, B, G});
    s = {};
    s.width = 2, s.bits = 32, s.descriptor = 0x38;
    s.data = {1, 2, 3, 0x80, 4, 5, 6, 0x40};
    add("tga 32 bits, top-down, right to left", s, 2, 1, {0x40060504, 0x80030201});
    s = {};
    s.width = 3, s.bits = 16, s.descriptor = 0x21;
    s.data = {0x00, 0xFC, 0xE0, 0x03, 0x10, 0x82};
    add("tga 16 bits with attribute alpha", s, 3, 1, {0xFFFF0000, 0x0000FF00, 0xFF008484});
    s = {};
    s.width = 2, s.bits = 16, s.descriptor = 0x20;
    s.data = {0x1F, 0x00, 0x00, 0x7C};
    add("tga 16 bits without alpha are opaque", s, 2, 1, {B, R});
    s = {};
    s.type = 1, s.width = 2, s.bits = 8, s.descriptor = 0x20, s.mapFirst = 2, s.mapLength = 2;
    s.map = {0, 0, 0xFF, 0, 0xFF, 0};
    s.data = {3, 2};
    add("tga colour-mapped, map starting at 2", s, 2, 1, {G, R});
    s = {};
    s.type = 1, s.width = 1, s.bits = 16, s.mapLength = 2, s.mapBits = 32;
    s.map = {1, 2, 3, 4, 5, 6, 7, 8};
    s.data = {1, 0};
    add("tga 16-bit indices into a 32-bit map", s, 1, 1, {0x08070605});
    s = {};
    s.type = 11, s.width = 3, s.height = 2, s.bits = 8;
    s.data = {0x83, 0x40, 0x01, 0x10, 0x20};
    add("tga grey run-length, a run crossing rows", s, 3, 2,
        {Grey(0x40), Grey(0x10), Grey(0x20), Grey(0x40), Grey(0x40), Grey(0x40)});
    s = {};
    s.type = 10, s.width = 3, s.bits = 24;
    s.data = {0x81, 1, 2, 3, 0x00, 9, 8, 7};
    add("tga true-colour run-length", s, 3, 1, {0xFF030201, 0xFF030201, 0xFF070809});
    s = {};
    s.type = 3, s.bits = 16;
    s.data = {0x50, 0x80};
    add("tga grey and alpha", s, 1, 1, {0x80505050});
    return cases;
}

std::vector<Case> PcxCases() {
    std::vector<Case> cases;
    auto add = [&](const char* name, const PcxSpec& s, std::vector<TColor32> px, bool mayDiffer = false) {
        cases.push_back({name, kPcx, MakePcx(s), s.width, s.height, std::move(px), mayDiffer});
    };
    PcxSpec s;
    s.width = 3, s.height = 2, s.lineBytes = 4;
    s.data = {0xC3, 5, 0, /* row 2: */ 1, 2, 3, 0};
    s.palette = Palette768({{1, R}, {2, G}, {3, B}, {5, W}});
    add("pcx 8 bits, palette after the data", s, {W, W, W, R, G, B}, true);
    s = {};
    s.width = 2, s.height = 2, s.lineBytes = 2;
    s.data = {0xC4, 0xC7};
    s.palette = Palette768({{0xC7, 0x123456}});
    add("pcx a run crossing rows, a value above 0xBF", s, std::vector<TColor32>(4, 0xFF123456), true);
    s = {};
    s.width = 2, s.lineBytes = 2, s.rle = false;
    s.data = {0x10, 0xE0};
    add("pcx 8 bits without a palette are grey", s, {Grey(0x10), Grey(0xE0)}, true);
    s = {};
    s.width = 2, s.planes = 3, s.lineBytes = 2, s.rle = false;
    s.data = {10, 20, 30, 40, 50, 60};
    add("pcx 24 bits, stored", s, {0xFF0A1E32, 0xFF14283C});
    s = {};
    s.planes = 4, s.lineBytes = 2;
    s.data = {1, 0, 2, 0, 3, 0, 0x80, 0};
    add("pcx 32 bits", s, {0x80010203});
    s = {};
    s.bits = 1, s.width = 10, s.lineBytes = 2;
    s.data = {0xA0, 0x40};
    add("pcx monochrome", s, {W, K, W, K, K, K, K, K, K, W});
    s = {};
    s.bits = 1, s.planes = 4, s.width = 2, s.lineBytes = 2;
    s.headerPalette.resize(48);
    s.headerPalette[15] = 1, s.headerPalette[16] = 2, s.headerPalette[17] = 3;
    s.headerPalette[30] = 4, s.headerPalette[31] = 5, s.headerPalette[32] = 6;
    s.data = {0x80, 0, 0x40, 0, 0x80, 0, 0x40, 0};
    add("pcx 16 colours in 4 planes", s, {0xFF010203, 0xFF040506});
    s = {};
    s.bits = 4, s.width = 2, s.lineBytes = 2;
    s.headerPalette = std::vector<uint8_t>(48, 0);
    s.headerPalette[15] = 9, s.headerPalette[30] = 7;
    s.data = {0x5A, 0};
    add("pcx 4 bits", s, {0xFF090000, 0xFF070000});
    return cases;
}

std::vector<Case> PnmCases() {
    return {
        {"pbm text, bits without spaces",
         kPnm,
         Text("P1\n# comment\n3 2\n010\n1 1 0\n"),
         3,
         2,
         {W, K, W, K, K, W},
         true},
        {"pgm text, maxval 10", kPnm, Text("P2 2 1 10 0 10\n"), 2, 1, {Grey(0), Grey(255)}, true},
        {"ppm text", kPnm, Text("P3\n1 1\n255\n255 128 0\n"), 1, 1, {0xFFFF8000}, true},
        {"pbm binary", kPnm, Text("P4\n10 1\n", {0xA0, 0x40}), 10, 1, {K, W, K, W, W, W, W, W, W, K}},
        {"pgm binary, 16-bit samples",
         kPnm,
         Text("P5 2 1 65535\n", {0xFF, 0xFF, 0x80, 0x00}),
         2,
         1,
         {Grey(255), Grey(128)}},
        {"pgm binary, maxval 3", kPnm, Text("P5 2 1 3\n", {1, 3}), 2, 1, {Grey(85), Grey(255)}},
        {"ppm binary", kPnm, Text("P6 1 1 255\n", {1, 2, 3}), 1, 1, {0xFF010203}},
        {"ppm binary, a comment in the header",
         kPnm,
         Text("P6 1 #x\n1 255 ", {'\n', 2, 3}),
         1,
         1,
         {0xFF0A0203}},
    };
}

std::vector<Case> SgiCases() {
    std::vector<Case> cases;
    auto add = [&](const char* name, const SgiSpec& s, std::vector<TColor32> px) {
        cases.push_back({name, kSgi, MakeSgi(s), s.width, s.height, std::move(px)});
    };
    SgiSpec s;
    s.width = 2, s.height = 2;
    s.rows = {{{1, 2}, {3, 4}}, {{5, 6}, {7, 8}}, {{9, 10}, {11, 12}}};
    add("sgi rgb, verbatim, bottom row first", s, {0xFF03070B, 0xFF04080C, 0xFF010509, 0xFF02060A});
    s.rle = true;
    add("sgi rgb, run-length", s, {0xFF03070B, 0xFF04080C, 0xFF010509, 0xFF02060A});
    s = {};
    s.rle = true, s.width = 4, s.channels = 4;
    s.rows = {{{1, 1, 1, 2}}, {{3, 4, 4, 4}}, {{5, 5, 6, 6}}, {{0x80, 0x80, 0x80, 0x40}}};
    add("sgi rgba, run-length", s, {0x80010305, 0x80010405, 0x80010406, 0x40020406});
    s = {};
    s.dimension = 2, s.width = 2, s.height = 2, s.channels = 1;
    s.rows = {{{10, 20}, {30, 40}}};
    add("sgi grey, two dimensions", s, {Grey(30), Grey(40), Grey(10), Grey(20)});
    s = {};
    s.width = 1, s.channels = 2, s.rle = true;
    s.rows = {{{0x33}}, {{0x90}}};
    add("sgi grey and alpha", s, {0x90333333});
    return cases;
}

std::vector<Case> PsdCases() {
    std::vector<Case> cases;
    auto add = [&](const char* name, const PsdSpec& s, std::vector<TColor32> px) {
        cases.push_back({name, kPsd, MakePsd(s), int32_t(s.width), int32_t(s.height), std::move(px)});
    };
    PsdSpec s;
    s.width = 2;
    s.rows = {{{1, 2}}, {{3, 4}}, {{5, 6}}};
    add("psd rgb, raw", s, {0xFF010305, 0xFF020406});
    s = {};
    s.width = 3, s.height = 2, s.channels = 4, s.rle = true;
    s.rows = {
        {{1, 1, 1}, {2, 3, 4}}, {{5, 5, 6}, {7, 7, 7}}, {{8, 9, 9}, {0, 0, 0}}, {{255, 255, 0}, {1, 1, 1}}};
    add("psd rgb and alpha, PackBits", s,
        {0xFF010508, 0xFF010509, 0x00010609, 0x01020700, 0x01030700, 0x01040700});
    s = {};
    s.mode = 1, s.depth = 16, s.channels = 1, s.width = 2;
    s.rows = {{{0x12, 0x34, 0xAB, 0xCD}}};
    add("psd grey, 16 bits", s, {Grey(0x12), Grey(0xAB)});
    s = {};
    s.mode = 2, s.channels = 1, s.width = 2;
    s.colorData.assign(768, 0);
    s.colorData[1] = 10, s.colorData[256 + 1] = 20, s.colorData[512 + 1] = 30;
    s.rows = {{{1, 0}}};
    add("psd indexed", s, {0xFF0A141E, K});
    s = {};
    s.channels = 5, s.width = 1, s.rle = true;
    s.rows = {{{1}}, {{2}}, {{3}}, {{0x40}}, {{0x99}}};
    add("psd extra channel after alpha ignored", s, {0x40010203});
    return cases;
}

std::vector<Case> IcoCases() {
    std::vector<Case> cases;
    BmpSpec small;
    small.width = 1, small.height = 1, small.bpp = 32;
    small.rows = {{1, 2, 3, 0x80}};
    BmpSpec eight;
    eight.width = 2, eight.height = 2, eight.bpp = 8, eight.colorsUsed = 2;
    eight.palette = {0xFF0000, 0x00FF00};
    eight.rows = {{0, 1}, {1, 0}};
    const auto masked8 = IconBitmap(eight, {{0x40}, {0x00}}); // bottom row, right pixel clear
    // Cut short, the largest image is skipped and a smaller one loads.
    cases.push_back({"ico largest entry: 8 bits with mask",
                     kIco,
                     MakeIco({{1, 1, 32, IconBitmap(small, {{0}})}, {2, 2, 8, masked8}}),
                     2,
                     2,
                     {G, R, R, 0},
                     true});
    BmpSpec alpha;
    alpha.width = 2, alpha.height = 1, alpha.bpp = 32;
    alpha.rows = {{1, 2, 3, 0x80, 4, 5, 6, 0}};
    cases.push_back({"ico 32 bits keep their alpha over the mask",
                     kIco,
                     MakeIco({{2, 1, 32, IconBitmap(alpha, {{0xC0}})}}),
                     2,
                     1,
                     {0x80030201, 0x00060504}});
    alpha.rows = {{1, 2, 3, 0, 4, 5, 6, 0}};
    cases.push_back({"ico 32 bits without alpha use the mask",
                     kIco,
                     MakeIco({{2, 1, 32, IconBitmap(alpha, {{0x40}})}}),
                     2,
                     1,
                     {0xFF030201, 0}});
    cases.push_back({"ico 32 bits without alpha or mask are opaque",
                     kIco,
                     MakeIco({{2, 1, 32, IconBitmap(alpha, {})}}),
                     2,
                     1,
                     {0xFF030201, 0xFF060504}});
    BmpSpec four;
    four.width = 3, four.height = 1, four.bpp = 4, four.colorsUsed = 2;
    four.palette = {0x0000FF, 0xFFFFFF};
    four.rows = {{0x01, 0x00}};
    cases.push_back({"cursor, 4 bits with a short palette",
                     kIco,
                     MakeIco({{3, 1, 4, IconBitmap(four, {{0x20}})}}, 2),
                     3,
                     1,
                     {B, W, 0}});
    TBitmap32 png(2, 1);
    png.SetPixel(0, 0, 0x80102030);
    png.SetPixel(1, 0, 0xFF405060);
    cases.push_back({"ico with a PNG image, 256 as size 0",
                     kIco,
                     MakeIco({{16, 16, 32, IconBitmap(small, {{0}})}, {0, 0, 32, EncodePng(png)}}),
                     2,
                     1,
                     {0x80102030, 0xFF405060},
                     true});
    return cases;
}

std::vector<Case> TiffCases() {
    std::vector<Case> cases;
    TiffSpec s;
    s.width = 2, s.height = 3;
    s.rows = {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}, {13, 14, 15, 16, 17, 18}};
    const std::vector<TColor32> rgb = {0xFF010203, 0xFF040506, 0xFF070809,
                                       0xFF0A0B0C, 0xFF0D0E0F, 0xFF101112};
    cases.push_back({"tiff rgb", kTiff, MakeTiff(s), 2, 3, rgb});
    s.compression = COMPRESSION_LZW;
    cases.push_back({"tiff rgb, LZW", kTiff, MakeTiff(s), 2, 3, rgb});
    s = {};
    s.width = 2, s.samples = 4, s.alpha = true;
    s.rows = {{1, 2, 3, 255, 4, 5, 6, 0, 200, 100, 50, 128}};
    s.width = 3;
    cases.push_back({"tiff rgb and alpha", kTiff, MakeTiff(s), 3, 1, {0xFF010203, 0, 0x80C76432}});
    s = {};
    s.height = 2, s.samples = 1, s.photometric = PHOTOMETRIC_MINISBLACK, s.orientation = ORIENTATION_BOTLEFT;
    s.rows = {{0x20}, {0x90}};
    cases.push_back({"tiff grey, bottom-up", kTiff, MakeTiff(s), 1, 2, {Grey(0x90), Grey(0x20)}});
    s = {};
    s.width = 9, s.samples = 1, s.bits = 1, s.photometric = PHOTOMETRIC_MINISWHITE;
    s.rows = {{0x80, 0x80}};
    cases.push_back({"tiff bilevel", kTiff, MakeTiff(s), 9, 1, {K, W, W, W, W, W, W, W, K}});
    return cases;
}

std::vector<Case> AllCases() {
    std::vector<Case> all;
    for (auto part : {TgaCases(), PcxCases(), PnmCases(), SgiCases(), PsdCases(), IcoCases(), TiffCases()})
        for (Case& c : part) all.push_back(std::move(c));
    return all;
}

TEST(BitmapFormats, DecodesEachLayout) {
    for (const Case& c : AllCases()) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.file.empty());
        TBitmap32 bm;
        ASSERT_TRUE(c.decode(c.file, bm));
        ASSERT_EQ(bm.Width(), c.width);
        ASSERT_EQ(bm.Height(), c.height);
        EXPECT_EQ(bm.s_data, c.pixels);
    }
}

// A cut file fails, or gives the same image where only trailing bytes that carry nothing
// are gone; it never reads past what is there (the sanitizer build checks that).
TEST(BitmapFormats, EveryTruncationFailsOrMatches) {
    for (const Case& c : AllCases()) {
        SCOPED_TRACE(c.name);
        for (size_t n = 0; n < c.file.size(); ++n) {
            std::vector<uint8_t> cut(c.file.begin(), c.file.begin() + static_cast<ptrdiff_t>(n));
            TBitmap32 bm;
            if (c.decode(cut, bm) && !c.prefixMayDiffer) {
                EXPECT_EQ(bm.s_data, c.pixels) << "prefix " << n;
            }
        }
    }
}

// Every byte of each file set to 0 and to 255 in turn: decoding may fail or succeed, but a
// result always has a sane shape.
TEST(BitmapFormats, DamagedBytesNeverBreakTheShape) {
    for (const Case& c : AllCases()) {
        SCOPED_TRACE(c.name);
        for (size_t i = 0; i < c.file.size(); ++i) {
            for (uint8_t v : {uint8_t(0), uint8_t(255)}) {
                std::vector<uint8_t> f = c.file;
                f[i] = v;
                TBitmap32 bm;
                if (c.decode(f, bm)) {
                    ASSERT_GT(bm.s_w, 0);
                    ASSERT_GT(bm.s_h, 0);
                    ASSERT_EQ(bm.s_data.size(), size_t(bm.s_w) * size_t(bm.s_h)) << "byte " << i;
                }
            }
        }
    }
}

struct BadCase {
    const char* name;
    Decoder decode;
    std::vector<uint8_t> file;
};

std::vector<BadCase> BadCases() {
    std::vector<BadCase> bad;
    TgaSpec t;
    t.width = 2, t.height = 1;
    t.data = {1, 2, 3, 4, 5, 6};
    auto tga = [&](auto change) {
        TgaSpec s = t;
        change(s);
        return MakeTga(s);
    };
    bad.push_back({"tga zero width", kTga, tga([](TgaSpec& s) { s.width = 0; })});
    bad.push_back({"tga huge size, few bytes", kTga, tga([](TgaSpec& s) { s.width = s.height = 65535; })});
    bad.push_back({"tga unknown type", kTga, tga([](TgaSpec& s) { s.type = 4; })});
    bad.push_back({"tga 24 bits as grey", kTga, tga([](TgaSpec& s) { s.type = 3; })});
    bad.push_back({"tga run past the image", kTga, tga([](TgaSpec& s) {
                       s.type = 10;
                       s.data = {0x82, 1, 2, 3};
                   })});
    bad.push_back({"tga index before the map", kTga, tga([](TgaSpec& s) {
                       s.type = 1, s.bits = 8, s.mapFirst = 1, s.mapLength = 1, s.map = {1, 2, 3};
                       s.data = {1, 0};
                   })});
    bad.push_back({"tga map cut short", kTga, tga([](TgaSpec& s) {
                       s.type = 1, s.bits = 8, s.mapLength = 200, s.map = {1, 2, 3}, s.data = {};
                   })});

    PcxSpec p;
    p.width = 2, p.lineBytes = 2;
    p.data = {0xC2, 1};
    auto pcx = [&](auto change) {
        PcxSpec s = p;
        change(s);
        return MakePcx(s);
    };
    bad.push_back({"pcx line shorter than the width", kPcx, pcx([](PcxSpec& s) { s.width = 17; })});
    bad.push_back({"pcx huge size, few bytes", kPcx,
                   pcx([](PcxSpec& s) { s.width = 8000, s.height = 8000, s.lineBytes = 8000; })});
    bad.push_back({"pcx 2 planes of 8 bits", kPcx, pcx([](PcxSpec& s) { s.planes = 2; })});
    bad.push_back({"pcx run missing its value", kPcx, pcx([](PcxSpec& s) {
                       s.data = {1, 0xC2};
                       s.height = 2;
                   })});
    std::vector<uint8_t> wrongMaker = pcx([](PcxSpec&) {});
    wrongMaker[0] = 11;
    bad.push_back({"pcx wrong maker byte", kPcx, wrongMaker});

    bad.push_back({"pnm sample above maxval", kPnm, Text("P2 1 1 10 11\n")});
    bad.push_back({"pnm binary sample above maxval", kPnm, Text("P5 1 1 10\n", {11})});
    bad.push_back({"pnm maxval 0", kPnm, Text("P2 1 1 0 0\n")});
    bad.push_back({"pnm maxval above 65535", kPnm, Text("P2 1 1 65536 0\n")});
    bad.push_back({"pnm huge size", kPnm, Text("P5 99999 99999 255\n", {1, 2, 3})});
    bad.push_back({"pnm size overflowing", kPnm, Text("P5 99999999999 1 255\n", {1})});
    bad.push_back({"pnm negative size", kPnm, Text("P2 -1 1 255 0\n")});
    bad.push_back({"pbm text digit 2", kPnm, Text("P1 2 1 12")});
    bad.push_back({"pnm P7", kPnm, Text("P7 1 1 255\n", {1})});

    SgiSpec g;
    g.width = 2, g.rle = true;
    g.rows = {{{1, 2}}, {{3, 4}}, {{5, 6}}};
    const std::vector<uint8_t> sgi = MakeSgi(g);
    auto sgiWith = [&](size_t at, std::vector<uint8_t> bytes) {
        std::vector<uint8_t> f = sgi;
        for (size_t i = 0; i < bytes.size(); ++i) f[at + i] = bytes[i];
        return f;
    };
    bad.push_back({"sgi wrong magic", kSgi, sgiWith(0, {1, 0xDB})});
    bad.push_back({"sgi storage 2", kSgi, sgiWith(2, {2})});
    bad.push_back({"sgi 3 bytes per sample", kSgi, sgiWith(3, {3})});
    bad.push_back({"sgi 5 channels", kSgi, sgiWith(10, {0, 5})});
    bad.push_back({"sgi row offset past the end", kSgi, sgiWith(512, {0, 1, 0, 0})});
    bad.push_back({"sgi row length past the end", kSgi, sgiWith(512 + 12, {0, 1, 0, 0})});
    bad.push_back({"sgi row overrunning the width", kSgi, sgiWith(512 + 24, {0x83})});
    bad.push_back({"sgi huge size, few bytes", kSgi, sgiWith(6, {0xFF, 0xFF, 0xFF, 0xFF})});

    PsdSpec d;
    d.width = 2, d.rle = true;
    d.rows = {{{1, 2}}, {{3, 4}}, {{5, 6}}};
    auto psd = [&](auto change) {
        PsdSpec s = d;
        change(s);
        return MakePsd(s);
    };
    std::vector<uint8_t> big = psd([](PsdSpec&) {});
    big[5] = 2;
    bad.push_back({"psd version 2", kPsd, big});
    bad.push_back({"psd cmyk", kPsd, psd([](PsdSpec& s) {
                       s.mode = 4, s.channels = 4, s.rows.push_back({{0, 0}});
                   })});
    bad.push_back({"psd 32 bits", kPsd, psd([](PsdSpec& s) { s.depth = 32; })});
    bad.push_back({"psd too few channels", kPsd, psd([](PsdSpec& s) { s.channels = 2; })});
    bad.push_back({"psd indexed without palette", kPsd, psd([](PsdSpec& s) { s.mode = 2, s.channels = 1; })});
    bad.push_back({"psd side above 30000", kPsd, psd([](PsdSpec& s) { s.width = 30001; })});
    bad.push_back({"psd packed row too short", kPsd, psd([](PsdSpec& s) { s.width = 3; })});
    bad.push_back({"psd raw rows cut short", kPsd, psd([](PsdSpec& s) { s.rle = false, s.height = 2; })});

    BmpSpec icon;
    icon.width = 2, icon.height = 1, icon.bpp = 8, icon.palette = {0, 0xFFFFFF};
    icon.rows = {{0, 1}};
    bad.push_back({"ico without mask for 8 bits", kIco, MakeIco({{2, 1, 8, IconBitmap(icon, {})}})});
    std::vector<uint8_t> noEntries = MakeIco({{2, 1, 8, IconBitmap(icon, {{0}})}});
    noEntries[4] = 0;
    bad.push_back({"ico without images", kIco, noEntries});
    std::vector<uint8_t> farImage = MakeIco({{2, 1, 8, IconBitmap(icon, {{0}})}});
    farImage[6 + 12] = 0xF0;
    bad.push_back({"ico image offset past the end", kIco, farImage});
    std::vector<uint8_t> wrongType = MakeIco({{2, 1, 8, IconBitmap(icon, {{0}})}}, 3);
    bad.push_back({"ico type 3", kIco, wrongType});
    BmpSpec odd = icon;
    odd.height = 1;
    std::vector<uint8_t> oddHeight = MakeIco({{2, 1, 8, IconBitmap(odd, {{0}})}});
    oddHeight[6 + 16 + 8] = 3;
    bad.push_back({"ico odd height", kIco, oddHeight});
    std::vector<uint8_t> badPng = EncodePng(TBitmap32(1, 1, W));
    badPng.resize(badPng.size() - 20);
    bad.push_back({"ico with a cut PNG", kIco, MakeIco({{1, 1, 32, badPng}})});

    TiffSpec f;
    f.width = 2, f.height = 2, f.rows = {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}};
    std::vector<uint8_t> tiff = MakeTiff(f);
    bad.push_back(
        {"tiff without its last strip", kTiff, std::vector<uint8_t>(tiff.begin(), tiff.begin() + 20)});
    std::vector<uint8_t> wrongOrder = tiff;
    wrongOrder[0] = 'X';
    bad.push_back({"tiff wrong byte order mark", kTiff, wrongOrder});
    return bad;
}

TEST(BitmapFormats, RefusesDamagedFilesAndLeavesOutputUnchanged) {
    const TBitmap32 before(1, 1, 0x12345678);
    for (const BadCase& c : BadCases()) {
        SCOPED_TRACE(c.name);
        TBitmap32 bm = before;
        EXPECT_FALSE(c.decode(c.file, bm));
        EXPECT_EQ(bm, before);
    }
}

class BitmapFormatFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("kestrin_formats_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::filesystem::path p = dir / name;
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return p.string();
    }
    std::filesystem::path dir;
};

// Every extension reaches its reader whatever its case; an icon's masked-out pixels load as
// opaque red 1.
TEST_F(BitmapFormatFiles, ExtensionsChooseTheReader) {
    const std::vector<Case> tga = TgaCases(), pcx = PcxCases(), pnm = PnmCases(), sgi = SgiCases(),
                            psd = PsdCases(), ico = IcoCases(), tiff = TiffCases();
    struct Load {
        std::vector<std::string> extensions;
        const Case& sample;
    };
    const std::vector<Load> loads = {
        {{"tga", "VDA", "icb", "vst", "win"}, tga[0]},
        {{"pcx", "pcc", "SCR"}, pcx[3]},
        {{"ppm", "pgm", "pbm"}, pnm[6]},
        {{"sgi", "rgb", "rgba", "bw"}, sgi[0]},
        {{"psd", "pdd"}, psd[0]},
        {{"tif", "TIFF"}, tiff[0]},
    };
    for (const Load& l : loads) {
        for (const std::string& ext : l.extensions) {
            SCOPED_TRACE(ext);
            TBitmap32 bm;
            ASSERT_TRUE(bm.LoadFromImageFile(Write("image." + ext, l.sample.file)));
            EXPECT_EQ(bm.s_data, l.sample.pixels);
        }
    }
    TBitmap32 icon;
    ASSERT_TRUE(icon.LoadFromImageFile(Write("icon.ico", ico[0].file)));
    EXPECT_EQ(icon.s_data, (std::vector<TColor32>{G, R, R, MakeColor32(1, 0, 0, 255)}));

    // A reader never answers for another format's extension, and refused formats stay refused.
    TBitmap32 bm(1, 1, 7);
    EXPECT_FALSE(bm.LoadFromImageFile(Write("image.pcx", tga[0].file)));
    for (const char* refused : {"wmf", "emf", "eps", "fax", "pcd", "cut", "psp", "cel", "pic", "rla", "rpf"})
        EXPECT_FALSE(bm.LoadFromImageFile(Write(std::string("image.") + refused, pnm[6].file))) << refused;
    EXPECT_EQ(bm, TBitmap32(1, 1, 7));
}

} // namespace
