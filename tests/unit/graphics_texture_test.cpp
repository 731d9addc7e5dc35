#include <cmath>
#include <filesystem>

#include "graphics_fixture.h"

using namespace kestrin;
using kestrin::testing::GraphicsTest;

namespace {

using Pts = std::vector<std::pair<float, float>>;

class GraphicsTextures : public GraphicsTest {
protected:
    int32_t Make(int32_t w, int32_t h, TColor32 c = 0xFFFFFFFF) {
        const TBitmap32 bm(w, h, c);
        return GR_Texture_Create_From_Bitmap(&bm);
    }
};

TEST_F(GraphicsTextures, IdsReuseTheLowestFreeSlot) {
    EXPECT_EQ(Make(4, 4), 0);
    EXPECT_EQ(Make(4, 4), 1);
    EXPECT_EQ(Make(4, 4), 2);
    GR_Texture_Free(1);
    EXPECT_FALSE(GR_Texture_Exists(1));
    EXPECT_EQ(Real("texture_exists", {1}), 0.0);
    EXPECT_EQ(Make(4, 4), 1);
    EXPECT_EQ(GR_Texture_Count(), 3);
    EXPECT_EQ(device.LiveTextures(), 3);
    device.fail_next_texture = true;
    EXPECT_EQ(Make(4, 4), -1);
    EXPECT_EQ(Make(0, 4), -1);
    EXPECT_EQ(Make(4, 4), 3);
}

TEST_F(GraphicsTextures, ImagesBeyondTheDeviceTextureCapAreRefused) {
    // The edge padding once copied whole rows of such an image into rows cut to the cap.
    struct CappedDevice : RecordingDevice {
        CappedDevice() : RecordingDevice(640, 480) {}
        void TextureSize(int32_t w, int32_t h, int32_t& wt, int32_t& ht) const override {
            RecordingDevice::TextureSize(w, h, wt, ht);
            wt = std::min(wt, 64);
            ht = std::min(ht, 64);
        }
    } capped;
    ASSERT_TRUE(RenderState_Init(&capped, 640, 480, false));
    EXPECT_EQ(Make(100, 4), -1);
    EXPECT_EQ(Make(4, 100), -1);
    // Surfaces are refused alike instead of getting a texture smaller than they claim.
    EXPECT_EQ(Real("surface_create", {100, 4}), -1.0);
    EXPECT_EQ(Real("surface_create", {4, 100}), -1.0);
    EXPECT_EQ(GR_Texture_Create_Empty(100, 4, false), -1);
    EXPECT_EQ(capped.LiveTextures(), 0);
    const double fits = Real("surface_create", {64, 64});
    EXPECT_GE(fits, 0.0);
    Real("surface_free", {fits});
    ASSERT_TRUE(RenderState_Init(&device, 640, 480, false));
}

TEST_F(GraphicsTextures, PaddingShowsThroughTextureSize) {
    const int32_t id = Make(100, 50);
    const RTexture* t = GR_Texture_Get(id);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->wt, 128);
    EXPECT_EQ(t->ht, 64);
    EXPECT_EQ(Real("texture_get_width", {double(id)}), 0.78125);
    EXPECT_EQ(Real("texture_get_height", {double(id)}), 0.78125);
    EXPECT_EQ(Real("texture_get_width", {-1}), 1.0);
    // The image sits in the top-left corner of the padded texture.
    const TBitmap32* image = device.Image(t->tex);
    EXPECT_EQ(image->GetPixel(99, 49), 0xFFFFFFFFu);
    EXPECT_EQ(image->GetPixel(101, 49), 0u);
    EXPECT_EQ(image->GetPixel(99, 51), 0u);
}

// One texel past the right and bottom edges repeats the edge, so filtered sampling there
// does not blend in the transparent padding; the reported size stays the image's.
TEST_F(GraphicsTextures, PaddingRepeatsTheEdgeTexel) {
    TBitmap32 bm(3, 2);
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 3; ++x)
            bm.SetPixel(x, y, MakeColor32(uint8_t(10 * x), uint8_t(10 * y), 1, 255));
    const int32_t id = GR_Texture_Create_From_Bitmap(&bm);
    const RTexture* t = GR_Texture_Get(id);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->wt, 4);
    ASSERT_EQ(t->ht, 2);
    EXPECT_EQ(t->w, 3);
    EXPECT_EQ(Real("texture_get_width", {double(id)}), 0.75);
    EXPECT_EQ(Real("texture_get_height", {double(id)}), 1.0);
    const TBitmap32* image = device.Image(t->tex);
    for (int32_t y = 0; y < 2; ++y) {
        for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(image->GetPixel(x, y), bm.GetPixel(x, y));
        EXPECT_EQ(image->GetPixel(3, y), bm.GetPixel(2, y)) << "row " << y;
    }

    // Both directions padded: the row below repeats the last row, corner included.
    TBitmap32 tall(2, 3);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 2; ++x) tall.SetPixel(x, y, MakeColor32(uint8_t(x), uint8_t(y), 7, 200));
    const RTexture* u = GR_Texture_Get(GR_Texture_Create_From_Bitmap(&tall));
    ASSERT_NE(u, nullptr);
    ASSERT_EQ(u->ht, 4);
    const TBitmap32* padded = device.Image(u->tex);
    EXPECT_EQ(padded->GetPixel(0, 3), tall.GetPixel(0, 2));
    EXPECT_EQ(padded->GetPixel(1, 3), tall.GetPixel(1, 2));
}

TEST_F(GraphicsTextures, QuadsShiftByHalfAPixel) {
    const int32_t id = Make(16, 16);
    GR_Texture_Draw(id, 10, 20);
    const RecordedDraw& d = device.draws.at(0);
    EXPECT_EQ(d.type, PrimitiveType::TriangleFan);
    EXPECT_EQ(d.count, 2);
    EXPECT_EQ(Points(d), (Pts{{9.5f, 19.5f}, {25.5f, 19.5f}, {25.5f, 35.5f}, {9.5f, 35.5f}}));
    EXPECT_EQ(d.vertices[2].u, 1.0f);
    EXPECT_EQ(d.vertices[2].v, 1.0f);
    EXPECT_EQ(d.vertices[0].colour, 0xFFFFFFFFu);
    EXPECT_EQ(d.texture, GR_Texture_Get(id)->tex);
    EXPECT_EQ(d.states.address_u, TextureAddress::Clamp);
    GR_Texture_Draw(-1, 0, 0);
    GR_Texture_Draw(7, 0, 0);
    EXPECT_EQ(device.draws.size(), 1u);
}

TEST_F(GraphicsTextures, TransformedAndPartQuads) {
    const int32_t id = Make(10, 20); // 16 × 32 texture
    device.draws.clear();
    GR_Texture_DrawTransformed(id, 255, 5, 10, 100, 100, 2, 0.5, 0, 0.5);
    const RecordedDraw& d = device.draws.at(0);
    EXPECT_EQ(Points(d), (Pts{{89.5f, 94.5f}, {109.5f, 94.5f}, {109.5f, 104.5f}, {89.5f, 104.5f}}));
    EXPECT_EQ(d.vertices[0].colour, 0x80FF0000u);
    EXPECT_EQ(d.vertices[2].u, 10.0f / 16);
    EXPECT_EQ(d.vertices[2].v, 20.0f / 32);

    // A quarter turn counter-clockwise: the right edge goes up the screen.
    GR_Texture_DrawTransformed(id, 0xFFFFFF, 0, 0, 0, 0, 1, 1, M_PI / 2, 1);
    const RecordedDraw& r = device.draws.at(1);
    EXPECT_NEAR(r.vertices[1].x, -0.5f, 1e-4);
    EXPECT_NEAR(r.vertices[1].y, -9.5f, 1e-4);

    GR_Texture_DrawGeneral(id, 1, 2, 3, 4, 2, 4, 6, 8, 50, 60, 1, 1, 0, 1);
    const RecordedDraw& g = device.draws.at(2);
    EXPECT_EQ(Points(g), (Pts{{49.5f, 59.5f}, {55.5f, 59.5f}, {55.5f, 67.5f}, {49.5f, 67.5f}}));
    EXPECT_EQ(g.vertices[0].u, 2.0f / 16);
    EXPECT_EQ(g.vertices[0].v, 4.0f / 32);
    EXPECT_EQ(g.vertices[2].u, 8.0f / 16);
    EXPECT_EQ(g.vertices[2].v, 12.0f / 32);
    EXPECT_EQ(g.vertices[0].colour, 0xFF010000u);
    EXPECT_EQ(g.vertices[3].colour, 0xFF040000u);

    GR_Texture_DrawPos(id, 1, 0, 0, 10, 0, 10, 10, 0, 10);
    EXPECT_EQ(Points(device.draws.at(3))[2], std::make_pair(9.5f, 9.5f));
}

TEST_F(GraphicsTextures, TilingCoversTheAreaFromTheLeftEdge) {
    const int32_t id = Make(16, 16);
    const struct {
        double x, y;
        bool htiled, vtiled;
        double xscale;
        std::vector<float> columns; // left edges of the first row
        size_t tiles;
    } cases[] = {
        {5, 0, true, false, 1, {-11.5f, 4.5f, 20.5f, 36.5f}, 4},
        {-40, 0, true, false, 1, {-8.5f, 7.5f, 23.5f}, 3},
        {100, 0, true, false, 1, {-12.5f, 3.5f, 19.5f, 35.5f}, 4},
        {5, 5, false, false, 1, {4.5f}, 1},
        {50, 0, false, false, 1, {}, 0},        // starts beyond the area
        {-50, 0, false, false, 1, {-50.5f}, 1}, // never tested against the left edge
        {0, 0, true, true, 0.5, {-0.5f, 7.5f, 15.5f, 23.5f, 31.5f}, 5 * 3},
        {0, 0, true, true, 0.01, {}, 0}, // step rounds below one pixel
    };
    for (const auto& c : cases) {
        device.draws.clear();
        GR_Texture_DrawTiled(id, c.htiled, c.vtiled, 0, 0, c.x, c.y, c.xscale, 1, 0, 0, 40, 40, 0xFFFFFF, 1);
        EXPECT_EQ(device.draws.size(), c.tiles) << c.x << "," << c.xscale;
        std::vector<float> columns;
        for (const RecordedDraw& d : device.draws)
            if (d.vertices[0].y == device.draws[0].vertices[0].y) columns.push_back(d.vertices[0].x);
        EXPECT_EQ(columns, c.columns) << c.x;
    }
}

TEST_F(GraphicsTextures, BlendModesMapToFactorPairs) {
    const struct {
        double mode;
        BlendFactor src, dest;
    } cases[] = {
        {0, BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha},
        {1, BlendFactor::SrcAlpha, BlendFactor::One},
        {2, BlendFactor::SrcAlpha, BlendFactor::InvSrcColor},
        {3, BlendFactor::Zero, BlendFactor::InvSrcColor},
        {7, BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha},
    };
    for (const auto& c : cases) {
        Real("draw_set_blend_mode", {c.mode});
        EXPECT_EQ(device.States().src_blend, c.src) << c.mode;
        EXPECT_EQ(device.States().dest_blend, c.dest) << c.mode;
    }
    Real("draw_set_blend_mode_ext", {9, 11});
    EXPECT_EQ(device.States().src_blend, BlendFactor::DestColor);
    EXPECT_EQ(device.States().dest_blend, BlendFactor::SrcAlphaSat);
    // Every quad sets clamping; repeat reaches only what follows texture_set_repeat.
    Real("texture_set_repeat", {1});
    EXPECT_EQ(device.States().address_u, TextureAddress::Wrap);
    GR_Texture_Draw(Make(2, 2), 0, 0);
    EXPECT_EQ(device.States().address_u, TextureAddress::Clamp);
    EXPECT_EQ(Real("texture_set_interpolation", {0}), 0.0);
    EXPECT_EQ(device.States().filter, TextureFilter::Point);
    Real("texture_set_blending", {0});
    EXPECT_EQ(device.States().colour_op, TextureOp::SelectTexture);
}

TEST_F(GraphicsTextures, ColourArithmetic) {
    const struct {
        const char* name;
        std::vector<double> args;
        double result;
    } cases[] = {
        {"make_color_rgb", {300, 0, 0}, 300},
        {"make_color", {1, 2, 3}, 1 + 2 * 256 + 3 * 65536},
        {"color_get_red", {300}, 44},
        {"color_get_green", {300}, 1},
        {"color_get_blue", {16711680}, 255},
        {"color_get_red", {-1}, -1},
        {"color_get_hue", {16777215}, 0},
        {"color_get_saturation", {16777215}, 0},
        {"color_get_value", {16777215}, 255},
        {"color_get_hue", {65280}, 85},
        {"color_get_hue", {16711680}, 170},
        {"color_get_saturation", {128}, 255},
        {"color_get_value", {128}, 128},
        {"make_color_hsv", {0, 255, 255}, 255},
        {"make_color_hsv", {85, 255, 255}, 65280},
        {"make_color_hsv", {255, 255, 255}, 255},
        {"make_color_hsv", {0, 0, 128}, 128 * 65793},
        {"make_color_hsv", {0, 1000, 1000}, 255}, // out-of-range channels stay in their byte
        {"merge_color", {0, 16777215, 0.5}, 128 * 65793},
        {"merge_color", {255, 65280, 0.25}, 191 + 64 * 256},
    };
    for (const auto& c : cases) {
        const int32_t index = FindFunction(c.name);
        RValue slots[16];
        for (size_t i = 0; i < c.args.size(); ++i) slots[i] = RValue(c.args[i]);
        RValue r;
        FunctionRoutine(index)(nullptr, nullptr, int32_t(c.args.size()), slots, r);
        EXPECT_EQ(r.val(), c.result) << c.name << "(" << c.args[0] << ")";
    }
    Real("draw_set_color", {0x123456});
    Real("draw_set_alpha", {2});
    EXPECT_EQ(Real("draw_get_alpha"), 1.0);
    EXPECT_EQ(Real("draw_get_color"), double(0x123456));
    Real("draw_set_alpha", {0.25});
    EXPECT_EQ(Draw_GetDeviceColour(), 0x40563412u);
}

TEST_F(GraphicsTextures, ClearsAndPixelReads) {
    Real("draw_clear_alpha", {255, 0.5});
    ASSERT_EQ(device.clears.size(), 1u);
    EXPECT_EQ(device.clears[0].argb, 0x80FF0000u);
    EXPECT_EQ(device.clears[0].flags, uint32_t(kClearTarget | kClearZBuffer));
    Real("draw_clear", {65280});
    EXPECT_EQ(Real("draw_getpixel", {3, 3}), 65280.0);
    // Outside the region there is nothing to read.
    EXPECT_EQ(Real("draw_getpixel", {700, 3}), 0.0);
    // Through a view: room (110, 120) is region (10, 20) of a view at (100, 100).
    ViewMappings()[0] = {true, 100, 100, 200, 200, 0, 0, 200, 200, 0};
    device.Image(0)->SetPixel(10, 20, 0xFF0000FF);
    EXPECT_EQ(Real("draw_getpixel", {110, 120}), 16711680.0);
}

TEST_F(GraphicsTextures, SurfacesAreRenderTargets) {
    const double s = Real("surface_create", {100, 50});
    EXPECT_EQ(s, 0.0);
    EXPECT_EQ(Real("surface_create_ext", {10, 10}), -1.0);
    EXPECT_EQ(Real("surface_get_width", {s}), 100.0);
    EXPECT_EQ(Real("surface_get_texture", {s}), 0.0);
    EXPECT_EQ(Real("texture_get_width", {0}), 100.0 / 128);
    EXPECT_EQ(Real("surface_set_target", {s}), 1.0);
    const size_t clears = device.clears.size();
    EXPECT_EQ(Real("surface_set_target", {s}), 1.0); // already the target: the device is not touched
    EXPECT_EQ(device.CurrentViewport(), (Viewport{0, 0, 100, 50, 0, 1}));
    Real("draw_clear", {255});
    EXPECT_EQ(device.clears.size(), clears + 1);
    EXPECT_EQ(Real("surface_reset_target"), 1.0);
    EXPECT_EQ(Real("surface_reset_target"), 0.0);
    EXPECT_EQ(device.CurrentViewport(), (Viewport{0, 0, 640, 480, 0, 1}));
    EXPECT_EQ(Real("surface_getpixel", {s, 99, 49}), 255.0);
    EXPECT_EQ(Real("surface_getpixel", {s, 100, 0}), 0.0);

    // surface_copy_part with a negative source x copies to x + 4, four columns fewer.
    const double t = Real("surface_create", {20, 20});
    Real("surface_copy_part", {t, 0, 0, s, -4, 0, 10, 10});
    const TBitmap32* img = device.Image(GR_Texture_Get(int32_t(Real("surface_get_texture", {t})))->tex);
    EXPECT_EQ(img->GetPixel(3, 0), 0u);
    EXPECT_EQ(img->GetPixel(4, 0), 0xFFFF0000u);
    EXPECT_EQ(img->GetPixel(9, 9), 0xFFFF0000u);
    EXPECT_EQ(img->GetPixel(10, 0), 0u);
    EXPECT_EQ(img->GetPixel(4, 10), 0u);

    Real("surface_set_target", {t});
    Real("surface_free", {t});
    EXPECT_EQ(device.Target(), 0u);
    EXPECT_EQ(Real("surface_exists", {t}), 0.0);
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(Real("surface_get_width", {t}), -1.0);
    Real("draw_surface", {t, 0, 0});
    Real("surface_copy", {s, 0, 0, t});
    EXPECT_EQ(errors(), (std::vector<std::string>(3, "Trying to use non-existing surface.")));

    device.draws.clear();
    Real("draw_surface_stretched", {s, 0, 0, 0, 10});
    EXPECT_TRUE(device.draws.empty());
    Real("draw_surface_stretched", {s, 0, 0, 200, 25});
    EXPECT_EQ(Points(device.draws.at(0))[2], std::make_pair(199.5f, 24.5f));

    // A device reset drops every surface.
    Real("display_reset", {3});
    RenderState_ServeResetRequest();
    EXPECT_EQ(Real("surface_exists", {s}), 0.0);
}

TEST_F(GraphicsTextures, SavedScreensAndSurfaces) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "kestrin_graphics_save";
    std::filesystem::create_directories(dir);
    device.Image(0)->SetPixel(0, 0, 0x10203040);
    Call("screen_save_part",
         {RValue((dir / "a.PNG").string()), RValue(0.0), RValue(0.0), RValue(2.0), RValue(2.0)});
    TBitmap32 bm;
    ASSERT_TRUE(bm.LoadFromImageFile((dir / "a.PNG").string()));
    EXPECT_EQ(bm.GetPixel(0, 0), 0xFF203040u);
    Call("screen_save", {RValue((dir / "b.jpg").string())});
    std::vector<uint8_t> head(2);
    {
        FILE* f = std::fopen((dir / "b.jpg").string().c_str(), "rb");
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(std::fread(head.data(), 1, 2, f), 2u);
        std::fclose(f);
    }
    EXPECT_EQ(head, (std::vector<uint8_t>{'B', 'M'}));
    Call("screen_save", {RValue("")});
    EXPECT_EQ(errors(), std::vector<std::string>{"Trying to save screen to empty image file name."});

    // Surfaces keep their alpha in PNG files.
    const double s = Real("surface_create", {4, 4});
    Real("surface_set_target", {s});
    Real("draw_clear_alpha", {255, 0.5});
    Real("surface_reset_target");
    Call("surface_save", {RValue(s), RValue((dir / "s.png").string())});
    ASSERT_TRUE(bm.LoadFromImageFile((dir / "s.png").string()));
    EXPECT_EQ(bm.GetPixel(3, 3), 0x80FF0000u);
    std::filesystem::remove_all(dir);
}

} // namespace
