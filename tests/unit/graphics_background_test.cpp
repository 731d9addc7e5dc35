#include "base/stream.h"
#include "graphics_fixture.h"

using namespace kestrin;
using kestrin::testing::GraphicsTest;

namespace {

class GraphicsBackground : public GraphicsTest {};

TEST_F(GraphicsBackground, BackgroundFilesRoundTrip) {
    CBackground b;
    b.i_bitmap.Resize(3, 2, 0xFF102030);
    b.i_bitmap.SetPixel(1, 0, 0x00FFFFFF);
    const std::vector<uint8_t> bytes = b.SaveToBackgroundBytes();
    CBackground c;
    ASSERT_TRUE(c.LoadFromBackgroundBytes(bytes));
    // The transparent pixel takes its left neighbour's colour and keeps alpha 0.
    EXPECT_EQ(c.Bitmap().GetPixel(1, 0), 0x00102030u);
    EXPECT_EQ(c.Bitmap().GetPixel(2, 1), 0xFF102030u);
    EXPECT_GE(c.GetTexture(), 0);
}

TEST_F(GraphicsBackground, BadBackgroundFilesAreRefused) {
    CBackground good;
    good.i_bitmap.Resize(2, 2, 0xFFFFFFFF);
    std::vector<uint8_t> bytes = good.SaveToBackgroundBytes();

    CBackground keep;
    keep.CreateColor(4, 4, 255);
    std::vector<uint8_t> magic = bytes;
    magic[0] ^= 1;
    EXPECT_FALSE(keep.LoadFromBackgroundBytes(magic));
    EXPECT_EQ(keep.GetWidth(), 4); // a wrong magic number leaves the background alone

    for (size_t cut : {size_t(3), size_t(6), bytes.size() - 1}) {
        std::vector<uint8_t> shorter(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(cut));
        CBackground b;
        b.CreateColor(4, 4, 255);
        EXPECT_FALSE(b.LoadFromBackgroundBytes(shorter)) << cut;
    }
    // A wrong record version inside: cleared.
    CStream body;
    body.WriteInteger(711);
    CStream file;
    file.WriteInteger(kBackgroundFileMagic);
    file.WriteStreamC(body);
    CBackground b;
    b.CreateColor(4, 4, 255);
    EXPECT_FALSE(b.LoadFromBackgroundBytes(file.TakeBytes()));
    EXPECT_EQ(b.GetWidth(), 0);
    EXPECT_EQ(b.GetTexture(), -1);
}

TEST_F(GraphicsBackground, ChunkKeepsEmptySlotsAndNames) {
    auto a = std::make_unique<CBackground>();
    a->CreateColor(2, 3, 65280);
    Background_AddNew(std::move(a));
    Background_AddNew(std::make_unique<CBackground>());
    Background_Delete(1);
    CStream chunk;
    Background_SaveChunk(chunk);
    Background_ClearAll();
    chunk.Seek(0);
    ASSERT_TRUE(Background_LoadChunk(chunk));
    EXPECT_EQ(Background_Count(), 2);
    EXPECT_EQ(Background_GetName(0), "__newbackground0");
    EXPECT_EQ(Background_GetName(1), "<undefined>");
    EXPECT_EQ(Background_Find("__newbackground0"), 0);
    EXPECT_EQ(Background_Get(0)->Bitmap().GetPixel(1, 2), 0xFF00FF00u);
    EXPECT_EQ(Background_Get(0)->GetTexture(), -1); // textures come after the device
    Background_InitTextures();
    EXPECT_EQ(Real("background_get_texture", {0}), double(Background_Get(0)->GetTexture()));
    EXPECT_EQ(Real("background_get_texture", {1}), 0.0);
    EXPECT_EQ(errors(), std::vector<std::string>{"Trying to get texture from non-existing background."});

    CStream bad;
    bad.WriteInteger(kBackgroundChunkVersion);
    bad.WriteInteger(1000000); // more entries than bytes
    bad.Seek(0);
    EXPECT_FALSE(Background_LoadChunk(bad));
}

TEST_F(GraphicsBackground, DamagedChunkLeavesTheTableAsItWas) {
    // A chunk of two backgrounds, the second one damaged in each way a reader can fail.
    auto chunkWith = [](int32_t secondVersion, size_t cut) {
        CStream first, second;
        first.WriteBoolean(true);
        first.WriteString("first");
        CBackground b;
        b.CreateColor(2, 2, 255);
        b.SaveToStream(first);
        second.WriteBoolean(true);
        second.WriteString("second");
        second.WriteInteger(secondVersion);
        TBitmap32(3, 1, 0xFF000000u).SaveToStream(second);
        CStream chunk;
        chunk.WriteInteger(kBackgroundChunkVersion);
        chunk.WriteInteger(2);
        chunk.WriteStreamC(first);
        chunk.WriteStreamC(second);
        std::vector<uint8_t> bytes = chunk.TakeBytes();
        bytes.resize(std::min(bytes.size(), cut));
        return CStream(std::move(bytes));
    };
    CStream whole = chunkWith(kBackgroundRecordVersion, SIZE_MAX);
    ASSERT_TRUE(Background_LoadChunk(whole));
    ASSERT_EQ(Background_Count(), 2);
    const size_t size = chunkWith(kBackgroundRecordVersion, SIZE_MAX).Size();

    Background_ClearAll();
    auto kept = std::make_unique<CBackground>();
    kept->CreateColor(5, 5, 0);
    Background_AddNew(std::move(kept));
    struct Case {
        int32_t version;
        size_t cut;
    };
    for (const Case c :
         {Case{kBackgroundRecordVersion + 1, SIZE_MAX}, Case{kBackgroundRecordVersion, size - 1},
          Case{kBackgroundRecordVersion, size / 2}}) {
        CStream damaged = chunkWith(c.version, c.cut);
        EXPECT_FALSE(Background_LoadChunk(damaged)) << c.version << " " << c.cut;
        ASSERT_EQ(Background_Count(), 1) << c.version << " " << c.cut;
        EXPECT_EQ(Background_GetName(0), "__newbackground0");
        EXPECT_EQ(Background_Get(0)->GetWidth(), 5);
    }
}

TEST_F(GraphicsBackground, ColourGradientAndAlphaConstructors) {
    CBackground g;
    g.CreateGradient(4, 2, 0, 255, 0);
    EXPECT_EQ(g.Bitmap().GetPixel(0, 1), 0xFF000000u);
    EXPECT_EQ(g.Bitmap().GetPixel(2, 0), 0xFF800000u);
    g.CreateGradient(2, 4, 0, 255, 1);
    EXPECT_EQ(g.Bitmap().GetPixel(1, 3), 0xFFBF0000u);
    g.CreateGradient(0, -3, 0, 255, 5);
    EXPECT_EQ(g.GetWidth(), 1);
    for (int kind = 2; kind <= 7; ++kind) {
        g.CreateGradient(9, 7, 0, 16777215, kind);
        // Borders start at col1 for the inset and mirrored kinds.
        if (kind <= 5) {
            EXPECT_EQ(g.Bitmap().GetPixel(0, 0), 0xFF000000u) << kind;
        }
    }

    CBackground mask;
    mask.CreateColor(2, 2, 0x303030);
    CBackground target;
    target.CreateColor(3, 3, 255);
    target.SetAlphaFromBackground(mask);
    EXPECT_EQ(target.Bitmap().GetPixel(1, 1), 0x30FF0000u);
    EXPECT_EQ(target.Bitmap().GetPixel(2, 2), 0xFFFF0000u);
}

TEST_F(GraphicsBackground, RemovedBackgroundsAndSmoothEdges) {
    TBitmap32 bm(3, 3, 0xFFFF0000);
    bm.SetPixel(0, 2, 0xFF00FF00);
    bm.SetPixel(2, 0, 0x8000FF00); // same colour, other alpha: also removed
    CBackground b;
    b.CreateFromBitmap(bm, true, false);
    EXPECT_EQ(AlphaOf(b.Bitmap().GetPixel(0, 2)), 0);
    EXPECT_EQ(AlphaOf(b.Bitmap().GetPixel(2, 0)), 0);
    // Filled from the right neighbour (the left one is transparent... or absent).
    EXPECT_EQ(b.Bitmap().GetPixel(0, 2), 0x00FF0000u);
    b.CreateFromBitmap(bm, true, true);
    EXPECT_EQ(AlphaOf(b.Bitmap().GetPixel(1, 1)), 255 - 64);
    EXPECT_EQ(AlphaOf(b.Bitmap().GetPixel(1, 2)), 255 - 32);
    EXPECT_EQ(AlphaOf(b.Bitmap().GetPixel(2, 2)), 255);
}

TEST_F(GraphicsBackground, DrawingBuiltinsUseTheQuads) {
    auto a = std::make_unique<CBackground>();
    a->CreateColor(10, 10, 255);
    Background_AddNew(std::move(a));
    device.draws.clear();
    Real("draw_background", {0, 5, 5});
    Real("draw_background_stretched_ext", {0, 0, 0, 20, 40, 255, 0.5});
    Real("draw_background_tiled", {0, 3, 3});
    Real("draw_background", {4, 0, 0});
    EXPECT_EQ(Points(device.draws.at(0))[0], std::make_pair(4.5f, 4.5f));
    EXPECT_EQ(Points(device.draws.at(1))[2], std::make_pair(19.5f, 39.5f));
    EXPECT_EQ(device.draws.at(1).vertices[0].colour, 0x80FF0000u);
    // 640 × 480 room area by default: 65 × 49 tiles from (-7, -7).
    EXPECT_EQ(device.draws.size(), 2u + 65 * 49);
    EXPECT_EQ(Points(device.draws.at(2))[0], std::make_pair(-7.5f, -7.5f));
    EXPECT_EQ(errors(), std::vector<std::string>{"Trying to draw non-existing background."});
}

} // namespace
