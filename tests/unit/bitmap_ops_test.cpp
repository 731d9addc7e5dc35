#include <gtest/gtest.h>

#include <climits>

#include "base/bitmap32.h"
#include "base/stream.h"

using namespace kestrin;

namespace {

TBitmap32 FromRows(int32_t w, int32_t h, std::vector<TColor32> px) {
    TBitmap32 bm(w, h);
    bm.s_data = std::move(px);
    return bm;
}

TBitmap32 Numbered(int32_t w, int32_t h) {
    TBitmap32 bm(w, h);
    for (size_t i = 0; i < bm.s_data.size(); ++i) bm.s_data[i] = 0xFF000000u | uint32_t(i + 1);
    return bm;
}

TEST(BitmapOps, ResizeAndAssign) {
    TBitmap32 bm(2, 2, 5);
    EXPECT_FALSE(bm.Resize(0, 3));
    EXPECT_FALSE(bm.Resize(3, -1));
    EXPECT_EQ(bm, TBitmap32(2, 2, 5));
    EXPECT_TRUE(bm.Resize(2, 2)); // same size: contents stay
    EXPECT_EQ(bm, TBitmap32(2, 2, 5));
    EXPECT_TRUE(bm.Resize(2, 2, 9)); // with a colour: filled even at the same size
    EXPECT_EQ(bm, TBitmap32(2, 2, 9));
    EXPECT_FALSE(bm.Resize(1 << 14, 1 << 14)); // above the pixel cap
    EXPECT_FALSE(bm.Resize(INT_MAX, INT_MAX));
    EXPECT_EQ(bm, TBitmap32(2, 2, 9));
    EXPECT_TRUE(TBitmap32(1 << 14, 1 << 14).Empty());

    TBitmap32 copy(1, 1, 3);
    copy.Assign(nullptr);
    EXPECT_EQ(copy, TBitmap32(1, 1, 3));
    copy.Assign(bm);
    EXPECT_EQ(copy, bm);
    copy.Assign(TBitmap32());
    EXPECT_TRUE(copy.Empty());
    EXPECT_TRUE(copy.s_data.empty());

    bm.Fill(0x11223344);
    EXPECT_EQ(bm, TBitmap32(2, 2, 0x11223344));
    EXPECT_EQ(bm.GetPixel(-1, 0), 0u);
    EXPECT_EQ(bm.GetPixel(0, 2), 0u);
}

TEST(BitmapOps, Stretch) {
    constexpr TColor32 a = 0xFF000001, b = 0xFF000002, c = 0xFF000003, d = 0xFF000004;
    const struct {
        const char* name;
        TBitmap32 source;
        int32_t w, h, quality;
        TBitmap32 expected;
    } cases[] = {
        {"2x2 to 4x4 repeats blocks", FromRows(2, 2, {a, b, c, d}), 4, 4, 1,
         FromRows(4, 4, {a, a, b, b, a, a, b, b, c, c, d, d, c, c, d, d})},
        {"4x1 to 2x1 takes every other pixel", FromRows(4, 1, {a, b, c, d}), 2, 1, 1, FromRows(2, 1, {a, c})},
        {"3x1 to 2x1", FromRows(3, 1, {a, b, c}), 2, 1, 1, FromRows(2, 1, {a, b})},
        {"2x1 to 3x1", FromRows(2, 1, {a, b}), 3, 1, 1, FromRows(3, 1, {a, a, b})},
        {"transparent source pixel gives 0", FromRows(1, 1, {0x00FFFFFF}), 2, 1, 1, FromRows(2, 1, {0, 0})},
        {"quality 0 counts as 1", FromRows(2, 1, {a, b}), 4, 1, 0, FromRows(4, 1, {a, a, b, b})},
        // Two samples of each pixel: halves round to even, the transparent one thins alpha.
        {"quality 2 averages", FromRows(2, 1, {0xFF010100, 0x00FFFFFF}), 1, 1, 2,
         FromRows(1, 1, {0x80000000})},
        {"quality 2 rounds halves to even", FromRows(2, 1, {0xFF010201, 0xFF020302}), 1, 1, 2,
         FromRows(1, 1, {0xFF020202})},
        {"same size does nothing", FromRows(2, 1, {a, 0x00FFFFFF}), 2, 1, 1, FromRows(2, 1, {a, 0x00FFFFFF})},
        {"size 0 does nothing", FromRows(2, 1, {a, b}), 0, 5, 1, FromRows(2, 1, {a, b})},
    };
    for (const auto& cs : cases) {
        SCOPED_TRACE(cs.name);
        TBitmap32 bm = cs.source;
        bm.Stretch(cs.w, cs.h, cs.quality);
        EXPECT_EQ(bm, cs.expected);
    }
}

TEST(BitmapOps, DrawPartClipsBothSides) {
    const TBitmap32 src = Numbered(3, 3); // pixels 1..9 with alpha 255
    constexpr TColor32 o = 0;
    auto p = [](uint32_t n) { return 0xFF000000u | n; };
    const struct {
        const char* name;
        int32_t x, y, xo, yo, wo, ho;
        std::vector<TColor32> expected; // 4x3 destination
    } cases[] = {
        {"whole source", 0, 0, 0, 0, 3, 3, {p(1), p(2), p(3), o, p(4), p(5), p(6), o, p(7), p(8), p(9), o}},
        {"part at an offset", 2, 1, 1, 1, 2, 2, {o, o, o, o, o, o, p(5), p(6), o, o, p(8), p(9)}},
        {"negative source start moves the destination",
         0,
         0,
         -1,
         -1,
         3,
         3,
         {o, o, o, o, o, p(1), p(2), o, o, p(4), p(5), o}},
        {"negative destination moves the source",
         -2,
         -1,
         0,
         0,
         3,
         3,
         {p(6), o, o, o, p(9), o, o, o, o, o, o, o}},
        {"area larger than the source", 3, 0, 1, 0, 10, 10, {o, o, o, p(2), o, o, o, p(5), o, o, o, p(8)}},
        {"entirely outside", 4, 0, 0, 0, 3, 3, std::vector<TColor32>(12, o)},
        {"empty area", 0, 0, 1, 1, 0, 3, std::vector<TColor32>(12, o)},
        {"extreme arguments", INT_MIN, INT_MAX, INT_MAX, INT_MIN, INT_MAX, INT_MAX,
         std::vector<TColor32>(12, o)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TBitmap32 dst(4, 3);
        dst.DrawPart(c.x, c.y, &src, c.xo, c.yo, c.wo, c.ho);
        EXPECT_EQ(dst.s_data, c.expected);
    }

    TBitmap32 dst(4, 3);
    dst.DrawPart(0, 0, nullptr, 0, 0, 3, 3);
    EXPECT_EQ(dst, TBitmap32(4, 3));
    dst.Draw(1, 0, &src);
    EXPECT_EQ(dst.GetPixel(1, 0), p(1));
    EXPECT_EQ(dst.GetPixel(3, 2), p(9));

    TBitmap32 self = Numbered(3, 1); // overlapping copy onto itself
    self.DrawPart(1, 0, &self, 0, 0, 2, 1);
    EXPECT_EQ(self.s_data, (std::vector<TColor32>{p(1), p(1), p(2)}));
}

TEST(BitmapOps, BoundingBox) {
    TBitmap32 marked(4, 3);
    marked.SetPixel(1, 2, 0x0A000000);
    marked.SetPixel(3, 1, 0x05000000);
    const struct {
        const char* name;
        TBitmap32 bm;
        int32_t tolerance;
        TRect expected;
    } cases[] = {
        {"1x1 without alpha", TBitmap32(1, 1), 0, {0, 0, 0, 0}},
        {"3x3 without alpha stays inverted", TBitmap32(3, 3), 0, {2, 2, 0, 0}},
        {"empty bitmap", TBitmap32(), 0, {-1, -1, 0, 0}},
        {"both pixels above the tolerance", marked, 4, {1, 1, 3, 2}},
        {"only the stronger one", marked, 5, {1, 2, 1, 2}},
        {"alpha equal to the tolerance does not count", marked, 10, {3, 2, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.bm.BoundingBox(c.tolerance), c.expected);
    }
}

TEST(BitmapRecord, RoundTripAndEmptyRecordHasNoPixelStream) {
    const TBitmap32 cases[] = {Numbered(3, 2), TBitmap32(1, 1, 0x00ABCDEF), TBitmap32()};
    for (const TBitmap32& bm : cases) {
        CStream s;
        bm.SaveToStream(s);
        s.WriteInteger(1234); // the next field of an enclosing record
        if (bm.Empty()) {
            EXPECT_EQ(s.Size(), 16u);
        }
        s.Seek(0);
        TBitmap32 back(2, 2, 7);
        ASSERT_TRUE(back.LoadFromStream(s));
        EXPECT_EQ(back, bm);
        EXPECT_EQ(s.ReadInteger(), 1234);
    }
}

CStream Record(std::vector<int32_t> ints, size_t extraBytes = 0) {
    CStream s;
    for (int32_t v : ints) s.WriteInteger(v);
    for (size_t i = 0; i < extraBytes; ++i) s.WriteRaw(reinterpret_cast<const uint8_t*>("\x11"), 1);
    s.Seek(0);
    return s;
}

TEST(BitmapRecord, RefusesBadRecords) {
    {
        CStream s = Record({799, 1, 1, 4, 0});
        TBitmap32 bm(1, 1, 7);
        EXPECT_FALSE(bm.LoadFromStream(s));
        EXPECT_EQ(bm, TBitmap32(1, 1, 7)) << "a wrong version leaves the bitmap unchanged";
    }
    const struct {
        const char* name;
        CStream stream;
    } cases[] = {
        {"negative sizes", Record({800, -2, -2, 16, 0, 0, 0, 0})},
        {"negative width", Record({800, -2, 2})},
        {"pixel stream shorter than the pixels", Record({800, 2, 1, 4, 0, 0})},
        {"pixel stream announced but cut", Record({800, 2, 1, 8, 0})},
        {"negative stream size", Record({800, 1, 1, -4, 0})},
        {"huge size in a tiny stream", Record({800, 8192, 8192, 268435456, 0})},
        {"above the pixel cap", Record({800, 1 << 14, 1 << 14, 0})},
        {"product overflowing 32 bits", Record({800, 65536, 65536, 0})},
        {"height missing", Record({800, 1})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CStream s = c.stream;
        TBitmap32 bm(1, 1, 7);
        EXPECT_FALSE(bm.LoadFromStream(s));
        EXPECT_TRUE(bm.Empty()) << "cleared once the version matched";
    }

    // Every cut of a good record fails without throwing.
    CStream full;
    Numbered(2, 2).SaveToStream(full);
    for (size_t n = 0; n < full.Size(); ++n) {
        CStream cut(full.Bytes().data(), n);
        TBitmap32 bm;
        EXPECT_FALSE(bm.LoadFromStream(cut)) << "prefix " << n;
    }
}

TEST(BitmapRecord, LongerPixelStreamIsSkipped) {
    CStream s = Record({800, 1, 1, 8, int32_t(0xFF010203), 99, 1234});
    TBitmap32 bm;
    ASSERT_TRUE(bm.LoadFromStream(s));
    EXPECT_EQ(bm, TBitmap32(1, 1, 0xFF010203));
    EXPECT_EQ(s.ReadInteger(), 1234);
}

} // namespace
