// 3D drawing on the OpenGL device against pictures computed here: a lit, textured block face
// and a floor fading into fog, each within 2 per channel.

#include <cmath>

#include "golden_gl.h"
#include "graphics/graphics_3d.h"
#include "graphics/graphics_texture.h"

using namespace kestrin;

namespace {

class D3DPixels : public kestrin::testing::GLPixelTest {
protected:
    void SetUp() override {
        StartDevice(64, 48);
        D3D_Reset();
    }
    void TearDown() override {
        if (device_) {
            D3D_Reset();
            RenderState_SetLighting(false);
            RenderState_SetFog(false, 0, 0, 1);
            RenderState_SetHidden(true);
            RenderState_SetPerspective(true);
        }
        GLPixelTest::TearDown();
    }
};

TColor32 Modulate(TColor32 a, TColor32 b) {
    TColor32 out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const int v = int(std::lround((a >> shift & 0xFF) * (b >> shift & 0xFF) / 255.0));
        out |= uint32_t(v) << shift;
    }
    return out;
}

TEST_F(D3DPixels, LitTexturedBlock) {
    const TColor32 texels[2] = {0xFFFF0000u, 0xFF80FF40u};
    TBitmap32 checker(2, 2);
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 2; ++x) checker.SetPixel(x, y, texels[(x + y) % 2]);
    const int32_t tex = GR_Texture_Create_From_Bitmap(&checker);
    Call("d3d_start", {});
    Call("d3d_set_projection_ortho", {0, 0, 64, 48, 0});
    Call("d3d_set_lighting", {1});
    Call("d3d_light_define_ambient", {0x404040});
    Call("d3d_light_define_direction", {0, 0, 0, 1, 0x808080});
    Call("d3d_light_enable", {0, 1});
    Call("draw_set_color", {0xFFFFFF}); // lit vertices take the drawing colour as their diffuse colour
    Call("draw_clear", {0});
    // The face z = 0 looks at the camera; the others are behind it or edge-on. The texture
    // repeats twice across and once down; the corners lie on pixel borders.
    Call("d3d_draw_block", {8.5, 8.5, 0, 56.5, 40.5, 10, double(tex), 2, 1});
    auto shown = RenderState_CaptureAll();
    ASSERT_TRUE(shown.has_value());
    const TColor32 lit = LightVertex(RenderState_Device() ? D3D_Lighting() : LightingState{}, {0, 0, 0},
                                     {0, 0, -1}, 0xFFFFFFFFu);
    EXPECT_LE(Distance(lit, 0xFFC0C0C0u), 1) << std::hex << lit;
    int bad = 0;
    for (int32_t y = 0; y < 48; ++y)
        for (int32_t x = 0; x < 64; ++x) {
            TColor32 want = 0xFF000000u;
            if (x >= 9 && x <= 56 && y >= 9 && y <= 40) {
                // Point sampling: texel column from u = 2·(x - 8.5)/48 over a 2-texel texture.
                const int32_t tx = int32_t(std::floor((x - 8.5) / 48.0 * 2 * 2)) % 2;
                const int32_t ty = int32_t(std::floor((y - 8.5) / 32.0 * 2)) % 2;
                want = Modulate(texels[(tx + ty) % 2], lit);
            }
            const TColor32 got = shown->GetPixel(x, y);
            if (Distance(got, want) > 2 && bad++ < 3)
                ADD_FAILURE() << "(" << x << ", " << y << "): " << std::hex << got << " instead of " << want;
        }
    EXPECT_EQ(bad, 0);
}

TEST_F(D3DPixels, FoggedFloor) {
    Call("d3d_start", {});
    Call("d3d_set_projection_ortho", {0, 0, 64, 48, 0});
    // Seen from z = -16000: fog from the floor's near edge (z = 0) to its far edge (z = 100).
    Call("d3d_set_fog", {1, 0x00FF00, 16000, 16100});
    Call("draw_set_color", {0x0000FF});
    Call("draw_clear", {0});
    Call("d3d_draw_floor", {8.5, 8.5, 0, 56.5, 40.5, 100, -1, 1, 1});
    auto shown = RenderState_CaptureAll();
    ASSERT_TRUE(shown.has_value());
    int bad = 0;
    for (int32_t y = 0; y < 48; ++y)
        for (int32_t x = 0; x < 64; ++x) {
            TColor32 want = 0xFF000000u;
            if (x >= 9 && x <= 56 && y >= 9 && y <= 40) {
                const double z = (x - 8.5) / 48.0 * 100;
                const double keep = std::clamp((16100 - (16000 + z)) / 100.0, 0.0, 1.0);
                want = 0xFF000000u | uint32_t(std::lround(255 * keep)) << 16 |
                       uint32_t(std::lround(255 * (1 - keep))) << 8;
            }
            const TColor32 got = shown->GetPixel(x, y);
            if (Distance(got, want) > 2 && bad++ < 3)
                ADD_FAILURE() << "(" << x << ", " << y << "): " << std::hex << got << " instead of " << want;
        }
    EXPECT_EQ(bad, 0);
}

TEST_F(D3DPixels, DefaultPerspectiveShowsTheRoomUpright) {
    // In 3D mode the default projection shows the plane z = 0 as the 2D one does: a rectangle
    // at the top-left of the room appears at the top-left of the screen.
    Call("d3d_start", {});
    RenderState_SetProjection(0, 0, 64, 48, 0);
    Call("draw_clear", {0});
    Call("draw_set_color", {0xFFFFFF});
    Call("draw_rectangle", {4, 4, 15, 11, 0});
    auto shown = RenderState_CaptureAll();
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ(shown->GetPixel(6, 6), 0xFFFFFFFFu);
    EXPECT_EQ(shown->GetPixel(6, 40), 0xFF000000u);
    EXPECT_EQ(shown->GetPixel(58, 6), 0xFF000000u);
    // Nearer things (smaller z) grow about the centre.
    Call("draw_clear", {0});
    Call("d3d_set_depth", {-32});
    Call("draw_rectangle", {28, 20, 35, 27, 0});
    auto near = RenderState_CaptureAll();
    int lit = 0;
    for (TColor32 p : near->s_data) lit += p == 0xFFFFFFFFu;
    EXPECT_GT(lit, 8 * 8 + 8);
    EXPECT_EQ(near->GetPixel(31, 23), 0xFFFFFFFFu);
}

} // namespace
