// Pixel goldens: small scenes drawn by the OpenGL device on a headless EGL context (Mesa's
// llvmpipe on machines without a GPU) and compared with PNG files in this folder. Exact where
// the drawing is exact (fills, point-filtered axis-aligned quads), a tolerance elsewhere.
// KESTRIN_UPDATE_GOLDENS=1 writes the files instead of comparing.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <tuple>

#include "graphics/background.h"
#include "graphics/graphics_draw.h"
#include "graphics/graphics_surface.h"
#include "graphics/graphics_texture.h"
#include "graphics/particle.h"
#include "graphics/render_state.h"
#include "keep_drivers.h"
#include "platform/gl/egl_headless.h"
#include "platform/gl/gl_device.h"
#include "script/random.h"
#include "script/registry.h"
#include "script/value.h"

using namespace kestrin;

namespace {

class Golden : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        context_ = HeadlessGL::Create(error).release();
        if (!context_) reason_ = error;
        kestrin::testing::KeepDriverLibrariesLoaded();
    }
    static void TearDownTestSuite() {
        delete context_;
        context_ = nullptr;
    }
    void SetUp() override {
        if (!context_) GTEST_SKIP() << "no headless OpenGL: " << reason_;
        device_ = std::make_unique<GLDevice>(256, 256);
        ASSERT_TRUE(device_->Ok()) << device_->Error();
        Draw_Reset();
        RenderState_SetBlendMode(0);
        RenderState_SetInterpolation(false);
        RenderState_SetTextureRepeat(false);
        ASSERT_TRUE(RenderState_Init(device_.get(), 64, 64, false));
        Call("draw_clear", {0});
    }
    void TearDown() override {
        if (!device_) return;
        Background_ClearAll();
        RenderState_Finish();
        device_.reset();
    }

    static double Call(const char* name, std::initializer_list<double> args) {
        const int32_t index = FindFunction(name);
        EXPECT_GE(index, 0) << name;
        RValue slots[16];
        int32_t n = 0;
        for (double a : args) slots[n++] = RValue(a);
        RValue result;
        FunctionRoutine(index)(nullptr, nullptr, n, slots, result);
        return result.val();
    }

    TBitmap32 Screen() {
        auto bm = RenderState_CaptureAll();
        EXPECT_TRUE(bm.has_value());
        return bm ? *bm : TBitmap32();
    }

    // Compares with the golden file: channels may differ by `tolerance`, and at most
    // `mismatches` pixels may differ by more.
    void Compare(const TBitmap32& image, const std::string& name, int tolerance, int mismatches) {
        const std::string path = std::string(KESTRIN_GOLDEN_DIR) + "/" + name + ".png";
        const char* update = std::getenv("KESTRIN_UPDATE_GOLDENS");
        if (update && std::string(update) == "1") {
            ASSERT_TRUE(image.SaveToImageFile(path));
            return;
        }
        TBitmap32 golden;
        ASSERT_TRUE(golden.LoadFromImageFile(path)) << path;
        ASSERT_EQ(golden.Width(), image.Width());
        ASSERT_EQ(golden.Height(), image.Height());
        int bad = 0;
        for (int32_t y = 0; y < image.Height(); ++y)
            for (int32_t x = 0; x < image.Width(); ++x) {
                const TColor32 a = image.GetPixel(x, y), b = golden.GetPixel(x, y);
                for (int shift = 0; shift < 32; shift += 8) {
                    if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > tolerance) {
                        ++bad;
                        break;
                    }
                }
            }
        EXPECT_LE(bad, mismatches) << name;
    }

    static HeadlessGL* context_;
    static std::string reason_;
    std::unique_ptr<GLDevice> device_;
};

HeadlessGL* Golden::context_ = nullptr;
std::string Golden::reason_;

int CountColour(const TBitmap32& bm, TColor32 c) {
    int n = 0;
    for (TColor32 p : bm.s_data) n += p == c;
    return n;
}

TEST_F(Golden, FilledRectanglesCoverTheirFarEdges) {
    Call("draw_set_color", {255});
    Call("draw_rectangle", {2, 2, 10, 10, 0});
    Call("draw_set_color", {65280});
    Call("draw_rectangle", {20.5, 2, 12, 12.5, 0});
    const TBitmap32 s = Screen();
    // 2..10 inclusive: 9 × 9 pixels; 12..20 by 2..12: 9 × 11.
    EXPECT_EQ(CountColour(s, 0xFFFF0000), 81);
    EXPECT_EQ(s.GetPixel(2, 2), 0xFFFF0000u);
    EXPECT_EQ(s.GetPixel(10, 10), 0xFFFF0000u);
    EXPECT_EQ(s.GetPixel(11, 10), 0xFF000000u);
    EXPECT_EQ(CountColour(s, 0xFF00FF00), 99);
    EXPECT_EQ(s.GetPixel(12, 12), 0xFF00FF00u);
    EXPECT_EQ(s.GetPixel(20, 2), 0xFF00FF00u);
    Compare(s, "rectangles", 0, 0);
}

TEST_F(Golden, PointFilteredQuadsLandOnPixels) {
    TBitmap32 checker(4, 4);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 4; ++x) checker.SetPixel(x, y, (x + y) % 2 ? 0xFFFFFFFF : 0xFF0000FF);
    const int32_t tex = GR_Texture_Create_From_Bitmap(&checker);
    GR_Texture_Draw(tex, 1, 1);
    GR_Texture_DrawTransformed(tex, 0xFFFFFF, 0, 0, 10, 1, 3, 2, 0, 1.0);
    GR_Texture_DrawPart(tex, 0x00FFFF, 1, 1, 2, 2, 30, 30, 4, 4, 0, 1.0);
    const TBitmap32 s = Screen();
    EXPECT_EQ(s.GetPixel(1, 1), 0xFF0000FFu);
    EXPECT_EQ(s.GetPixel(2, 1), 0xFFFFFFFFu);
    EXPECT_EQ(s.GetPixel(4, 4), 0xFF0000FFu);
    EXPECT_EQ(s.GetPixel(5, 5), 0xFF000000u);
    EXPECT_EQ(s.GetPixel(12, 2), 0xFF0000FFu); // first texel, 3 × 2 pixels
    EXPECT_EQ(s.GetPixel(13, 1), 0xFFFFFFFFu);
    EXPECT_EQ(s.GetPixel(30, 30), 0xFF000000u); // texel (1, 1) is blue, times yellow
    EXPECT_EQ(s.GetPixel(37, 37), 0xFF000000u);
    EXPECT_EQ(s.GetPixel(34, 30), 0xFFFFFF00u); // white times yellow, 4 × 4 pixels a texel
    EXPECT_EQ(s.GetPixel(30, 37), 0xFFFFFF00u);
    EXPECT_EQ(s.GetPixel(38, 33), 0xFF000000u);
    Compare(s, "quads", 0, 0);
}

TEST_F(Golden, BlendModes) {
    Call("draw_set_color", {16711680});
    Call("draw_rectangle", {0, 0, 63, 31, 0});
    Call("draw_set_alpha", {0.5});
    Call("draw_set_color", {255});
    Call("draw_rectangle", {8, 8, 24, 48, 0});
    Call("draw_set_blend_mode", {1});
    Call("draw_rectangle", {32, 8, 48, 48, 0});
    Call("draw_set_blend_mode", {3});
    Call("draw_set_alpha", {1});
    Call("draw_set_color", {8421504});
    Call("draw_rectangle", {52, 8, 60, 48, 0});
    const TBitmap32 s = Screen();
    auto near = [](TColor32 a, TColor32 b) {
        for (int shift = 0; shift < 24; shift += 8)
            if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > 2) return false;
        return true;
    };
    EXPECT_TRUE(near(s.GetPixel(10, 10), 0xFF800080)) << std::hex << s.GetPixel(10, 10);
    EXPECT_TRUE(near(s.GetPixel(10, 40), 0xFF800000)) << std::hex << s.GetPixel(10, 40);
    EXPECT_TRUE(near(s.GetPixel(40, 10), 0xFF8000FF)) << std::hex << s.GetPixel(40, 10);
    EXPECT_TRUE(near(s.GetPixel(55, 10), 0xFF00007F)) << std::hex << s.GetPixel(55, 10);
    Compare(s, "blend", 2, 0);
}

TEST_F(Golden, LinesCirclesAndSurfaces) {
    Call("draw_set_color", {16777215});
    Call("draw_line", {2, 2, 60, 20});
    Call("draw_circle", {20, 40, 12, 1});
    Call("draw_set_color", {65535});
    Call("draw_circle", {48, 44, 10, 0});
    Call("draw_triangle", {2, 62, 12, 50, 22, 62, 1});
    const double surf = Call("surface_create", {16, 16});
    ASSERT_GE(surf, 0);
    ASSERT_EQ(Call("surface_set_target", {surf}), 1);
    Call("draw_clear_alpha", {255, 1});
    Call("draw_set_color", {65280});
    Call("draw_rectangle", {4, 4, 11, 11, 0});
    Call("surface_reset_target", {});
    EXPECT_EQ(Call("surface_getpixel", {surf, 4, 4}), 65280);
    EXPECT_EQ(Call("surface_getpixel", {surf, 0, 0}), 255);
    Call("draw_surface", {surf, 44, 2});
    const TBitmap32 s = Screen();
    EXPECT_EQ(s.GetPixel(44, 2), 0xFFFF0000u);
    EXPECT_EQ(s.GetPixel(48, 6), 0xFF00FF00u);
    EXPECT_EQ(Call("draw_getpixel", {55, 13}), 65280);
    Compare(s, "primitives", 2, 8);
}

TEST_F(Golden, ConsecutiveDrawsShareOneCallInOrder) {
    const int64_t before = device_->GpuDrawCalls();
    // Overlapping rectangles in one batch: the later one must still end on top.
    Call("draw_set_color", {255});
    for (int i = 0; i < 50; ++i) Call("draw_rectangle", {double(i), 0, double(i) + 8, 8, 0});
    Call("draw_set_color", {65280});
    Call("draw_rectangle", {4, 4, 12, 12, 0});
    EXPECT_EQ(device_->GpuDrawCalls(), before); // nothing sent before something needs it
    Call("draw_point", {40, 40});               // another primitive kind sends the triangles
    EXPECT_EQ(device_->GpuDrawCalls(), before + 1);
    EXPECT_EQ(Call("draw_getpixel", {6, 6}), 65280);
    EXPECT_EQ(device_->GpuDrawCalls(), before + 2);
    EXPECT_EQ(Call("draw_getpixel", {6, 2}), 255);
    // A state change ends a batch.
    Call("draw_set_blend_mode", {1});
    Call("draw_rectangle", {0, 20, 4, 24, 0});
    Call("draw_set_blend_mode", {0});
    Call("draw_rectangle", {0, 30, 4, 34, 0});
    EXPECT_EQ(Call("draw_getpixel", {1, 31}), 65280);
    EXPECT_EQ(device_->GpuDrawCalls(), before + 4);
}

// Per-vertex lighting: flat quads under a directional light show exactly the reference
// lighting of one vertex; a point light shades a quad across its corners; 2D vertices, which
// have no normal, only take ambient light.
TEST_F(Golden, LitPrimitives) {
    LightingState l;
    l.material.ambient = {1, 1, 1, 1};
    l.ambient = 0xFF303030;
    l.lights[0].type = LightType::Directional;
    l.lights[0].direction = {0, 0, 1};
    l.lights[0].diffuse = ColourFromArgb(0xFFFFC080);
    l.enabled[0] = true;
    l.lights[5].type = LightType::Point;
    l.lights[5].position = {56, 56, -8};
    l.lights[5].range = 30;
    l.lights[5].attenuation0 = 1;
    l.lights[5].attenuation1 = 0.1f;
    l.lights[5].diffuse = ColourFromArgb(0xFF4080FF);
    l.enabled[5] = true;
    device_->SetMaterial(l.material);
    device_->SetAmbient(l.ambient);
    for (int32_t i = 0; i < kMaxLights; ++i) {
        device_->SetLight(i, l.lights[size_t(i)]);
        device_->LightEnable(i, l.enabled[size_t(i)]);
    }
    RenderState_SetLighting(true);
    RenderState_ApplyStates();

    auto quad = [&](float x, float y, float size, std::array<float, 3> n, uint32_t colour) {
        std::array<Vertex3D, 4> v;
        const float xs[4] = {x, x + size, x + size, x}, ys[4] = {y, y, y + size, y + size};
        for (size_t i = 0; i < 4; ++i) v[i] = {xs[i], ys[i], 0, n[0], n[1], n[2], colour, 0, 0};
        device_->DrawPrimitive3D(PrimitiveType::TriangleFan, 2, v.data());
    };
    const std::array<float, 3> facing = {0, 0, -1}, tilted = {0.8f, 0, -0.6f}, away = {0, 0, 1};
    quad(0, 0, 16, facing, 0xFFFFFFFF);
    quad(16, 0, 16, tilted, 0xFF80FF40);
    quad(32, 0, 16, away, 0xFFFFFFFF);
    quad(32, 32, 32, facing, 0xFFFFFFFF);
    const Vertex flat[4] = {{0, 32, 0, 0xFFFFFFFF, 0, 0},
                            {16, 32, 0, 0xFFFFFFFF, 0, 0},
                            {16, 48, 0, 0xFFFFFFFF, 0, 0},
                            {0, 48, 0, 0xFFFFFFFF, 0, 0}};
    device_->DrawPrimitive(PrimitiveType::TriangleFan, 2, flat);
    RenderState_SetLighting(false);

    const TBitmap32 s = Screen();
    auto near = [](TColor32 a, TColor32 b) {
        for (int shift = 0; shift < 24; shift += 8)
            if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > 2) return false;
        return true;
    };
    // Every vertex of the top row is out of the point light's range.
    for (auto [x, y, n, colour] :
         {std::tuple{8, 8, facing, 0xFFFFFFFFu}, std::tuple{24, 8, tilted, 0xFF80FF40u},
          std::tuple{40, 8, away, 0xFFFFFFFFu}}) {
        const TColor32 want = LightVertex(l, {float(x), float(y), 0}, n, colour);
        EXPECT_TRUE(near(s.GetPixel(x, y), want)) << x << ": " << std::hex << s.GetPixel(x, y) << " " << want;
    }
    EXPECT_TRUE(near(s.GetPixel(8, 40), 0xFF303030)) << std::hex << s.GetPixel(8, 40);
    // The lit corner nearest the point light is brighter in blue than the far one.
    EXPECT_GT(s.GetPixel(48, 48) & 0xFF, s.GetPixel(33, 33) & 0xFF);
    Compare(s, "lighting", 2, 0);
}

// Filtered sampling at a texture's right and bottom edges stays inside the picture: the
// padding repeats the edge, so a stretched opaque image keeps opaque, unblended edges.
TEST_F(Golden, FilteredEdgesDoNotBlendInThePadding) {
    const TBitmap32 white(3, 3, 0xFFFFFFFF);
    const int32_t tex = GR_Texture_Create_From_Bitmap(&white);
    RenderState_SetInterpolation(true);
    Call("draw_clear", {255}); // red, so any transparency shows
    GR_Texture_DrawTransformed(tex, 0xFFFFFF, 0, 0, 8, 8, 10, 10, 0, 1.0);
    RenderState_SetInterpolation(false);
    const TBitmap32 s = Screen();
    for (int32_t i = 8; i < 38; ++i) {
        EXPECT_EQ(s.GetPixel(37, i), 0xFFFFFFFFu) << "right edge, row " << i;
        EXPECT_EQ(s.GetPixel(i, 37), 0xFFFFFFFFu) << "bottom edge, column " << i;
    }
}

// A seeded particle scene: a gaussian burst of small disks falling under gravity, additive
// stars turning and fading over life, and a ring of squares coloured over an HSV range.
TEST_F(Golden, SeededParticleScene) {
    Particle_ClearAll();
    SetRandomSeed(2026);
    const double ps = Call("part_system_create", {});
    const double disk = Call("part_type_create", {}), star = Call("part_type_create", {}),
                 square = Call("part_type_create", {});
    Call("part_type_shape", {disk, 1});
    Call("part_type_size", {disk, 0.05, 0.1, 0, 0});
    Call("part_type_speed", {disk, 0.5, 1.5, 0, 0});
    Call("part_type_direction", {disk, 0, 180, 0, 0});
    Call("part_type_gravity", {disk, 0.1, 270});
    Call("part_type_color2", {disk, 255, 65535});
    Call("part_type_shape", {star, 4});
    Call("part_type_size", {star, 0.2, 0.3, 0, 0});
    Call("part_type_orientation", {star, 0, 360, 5, 0, 0});
    Call("part_type_alpha2", {star, 1, 0.2});
    Call("part_type_blend", {star, 1});
    Call("part_type_life", {star, 20, 20});
    Call("part_type_shape", {square, 2});
    Call("part_type_size", {square, 0.06, 0.06, 0, 0});
    Call("part_type_color_hsv", {square, 100, 200, 255, 255, 200, 255});
    const double e = Call("part_emitter_create", {ps});
    Call("part_emitter_region", {ps, e, 16, 48, 8, 24, 1, 1});
    Call("part_emitter_burst", {ps, e, disk, 40});
    Call("part_emitter_region", {ps, e, 8, 56, 40, 56, 3, 0});
    Call("part_emitter_burst", {ps, e, star, 4});
    Call("part_emitter_region", {ps, e, 4, 60, 4, 60, 2, 2});
    Call("part_emitter_burst", {ps, e, square, 30});
    for (int step = 0; step < 8; ++step) Call("part_system_update", {ps});
    Call("part_system_drawit", {ps});
    const TBitmap32 s = Screen();
    Particle_ClearAll();
    Compare(s, "particles", 2, 24);
}

} // namespace
