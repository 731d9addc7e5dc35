// Every built-in transition kind at fractions 0, 0.5 and 1 on the OpenGL device, against
// frames composed on the CPU from the two room pictures. The region is 63 × 45 so that
// w·f and h·f fall on halves, which round to even.

#include <cmath>
#include <functional>

#include "golden_gl.h"
#include "graphics/graphics_surface.h"
#include "graphics/graphics_texture.h"
#include "graphics/transition.h"

using namespace kestrin;

namespace {

constexpr int32_t kW = 63, kH = 45, kSteps = 5;

TColor32 PixelA(int32_t x, int32_t y) {
    return 0xFF000000u | uint32_t(x * 4) << 16 | uint32_t(y * 5) << 8 | 0x20u;
}
TColor32 PixelB(int32_t x, int32_t y) {
    return 0xFF000000u | uint32_t(0xF0 - x * 2) << 16 | 0x1000u | (uint32_t(y * 5) | 0x80u);
}

int32_t Round(double v) {
    return int32_t(std::nearbyint(v)); // ties to even in the default rounding mode
}

// The CPU picture of a frame.
class Frame {
public:
    Frame() : image_(kW, kH) {}
    void Fill(TColor32 c) {
        for (auto& p : image_.s_data) p = c;
    }
    // The whole picture (A or B) with its top-left corner at (dx, dy), blended with alpha.
    void Put(bool b, int32_t dx, int32_t dy, double alpha = 1.0) { Rect(b, 0, 0, kW, kH, dx, dy, alpha); }
    // Part (l, t, w, h) of B at the same place.
    void Part(int32_t l, int32_t t, int32_t w, int32_t h) { Rect(true, l, t, w, h, l, t, 1.0); }
    const TBitmap32& Image() const { return image_; }
    TBitmap32& Image() { return image_; }

private:
    void Rect(bool b, int32_t l, int32_t t, int32_t w, int32_t h, int32_t dx, int32_t dy, double alpha) {
        const int32_t a8 = Round(alpha * 255);
        for (int32_t y = t; y < t + h; ++y)
            for (int32_t x = l; x < l + w; ++x) {
                const int32_t sx = x - l + dx, sy = y - t + dy;
                if (x < 0 || y < 0 || x >= kW || y >= kH || sx < 0 || sy < 0 || sx >= kW || sy >= kH)
                    continue;
                const TColor32 src = b ? PixelB(x, y) : PixelA(x, y);
                const TColor32 dst = image_.GetPixel(sx, sy);
                TColor32 out = 0xFF000000u;
                for (int shift = 0; shift < 24; shift += 8) {
                    const int v =
                        (int(src >> shift & 0xFF) * a8 + int(dst >> shift & 0xFF) * (255 - a8) + 127) / 255;
                    out |= uint32_t(v) << shift;
                }
                image_.SetPixel(sx, sy, out);
            }
    }
    TBitmap32 image_;
};

void Uncovered(Frame& fr, int32_t side, double f) {
    fr.Put(false, 0, 0);
    const int32_t rw = Round(kW * f), rh = Round(kH * f);
    if (side == 1) fr.Part(0, 0, rw, kH);
    if (side == 2) fr.Part(kW - rw, 0, rw, kH);
    if (side == 3) fr.Part(0, 0, kW, rh);
    if (side == 4) fr.Part(0, kH - rh, kW, rh);
}

Frame Reference(int32_t kind, double f) {
    Frame fr;
    fr.Fill(0xFF000000u);
    const int32_t rw = Round(kW * f), rh = Round(kH * f);
    switch (kind) {
    case 1:
    case 2:
    case 3:
    case 4:
        Uncovered(fr, kind, f);
        break;
    case 5:
        fr.Put(false, 0, 0);
        fr.Part(Round((kW - kW * f) / 2), Round((kH - kH * f) / 2), rw, rh);
        break;
    case 6:
        fr.Put(false, 0, 0), fr.Put(true, rw - kW, 0);
        break;
    case 7:
        fr.Put(false, 0, 0), fr.Put(true, kW - rw, 0);
        break;
    case 8:
        fr.Put(false, 0, 0), fr.Put(true, 0, rh - kH);
        break;
    case 9:
        fr.Put(false, 0, 0), fr.Put(true, 0, kH - rh);
        break;
    case 10:
    case 11:
    case 12:
    case 13: {
        const int32_t k = Round(kSteps * f), g = kSteps / 2;
        if (k == kSteps) {
            fr.Put(true, 0, 0);
            break;
        }
        if (g < k)
            Uncovered(fr, kind - 9, double(k - g) / g);
        else
            fr.Put(false, 0, 0);
        for (int32_t i = 0; i <= g; ++i) {
            const bool shown = (kind == 10 || kind == 12) ? i <= k : i >= g - k;
            if (!shown) continue;
            if (kind <= 11)
                fr.Part(Round(2.0 * i * kW / kSteps), 0, Round(double(kW) / kSteps), kH);
            else
                fr.Part(0, Round(2.0 * i * kH / kSteps), kW, Round(double(kH) / kSteps));
        }
        break;
    }
    case 14:
        fr.Put(false, rw, 0), fr.Put(true, rw - kW, 0);
        break;
    case 15:
        fr.Put(false, -rw, 0), fr.Put(true, kW - rw, 0);
        break;
    case 16:
        fr.Put(false, 0, rh), fr.Put(true, 0, rh - kH);
        break;
    case 17:
        fr.Put(false, 0, -rh), fr.Put(true, 0, kH - rh);
        break;
    case 18:
    case 19: {
        fr.Put(false, 0, 0);
        if (f <= 0) break;
        const double theta = (kind == 18 ? 360.0 : -360.0) * std::sqrt(f) * M_PI / 180.0;
        const double c = std::cos(theta), s = std::sin(theta);
        const double ox = kW / 2.0 - f * kW / 2.0 * c - f * kH / 2.0 * s;
        const double oy = kH / 2.0 + f * kW / 2.0 * s - f * kH / 2.0 * c;
        // Turned counter-clockwise on the screen (y downwards) about the top-left corner.
        for (int32_t y = 0; y < kH; ++y)
            for (int32_t x = 0; x < kW; ++x) {
                const double dx = x - ox, dy = y - oy;
                const double lx = (dx * c - dy * s) / f + 0.5, ly = (dx * s + dy * c) / f + 0.5;
                if (lx < 0 || ly < 0 || lx >= kW || ly >= kH) continue;
                fr.Image().SetPixel(x, y, PixelB(int32_t(lx), int32_t(ly)));
            }
        break;
    }
    case 20:
        fr.Put(false, 0, 0), fr.Put(true, 0, 0, f);
        break;
    case 21:
        if (f > 0.5)
            fr.Put(true, 0, 0, 2 * f - 1);
        else
            fr.Put(false, 0, 0, 1 - 2 * f);
        break;
    }
    return fr;
}

class TransitionPixels : public kestrin::testing::GLPixelTest {
protected:
    void SetUp() override { StartDevice(kW, kH); }

    int32_t Picture(bool b) {
        TBitmap32 bm(kW, kH);
        for (int32_t y = 0; y < kH; ++y)
            for (int32_t x = 0; x < kW; ++x) bm.SetPixel(x, y, b ? PixelB(x, y) : PixelA(x, y));
        const int32_t tex = GR_Texture_Create_From_Bitmap(&bm);
        const int32_t surface = Surface_Create(kW, kH);
        EXPECT_TRUE(Surface_SetTarget(surface));
        GR_Texture_Draw(tex, 0, 0);
        Surface_ResetTarget();
        GR_Texture_Free(tex);
        return surface;
    }
};

TEST_F(TransitionPixels, EveryBuiltinKindAtThreeFractions) {
    const int32_t a = Picture(false), b = Picture(true);
    for (int32_t kind = 1; kind <= kBuiltinTransitions; ++kind)
        for (double f : {0.0, 0.5, 1.0}) {
            Call("draw_clear", {0});
            Transition_DrawBuiltin(kind, a, b, kW, kH, f, kSteps);
            auto shown = RenderState_CaptureAll();
            ASSERT_TRUE(shown.has_value());
            const Frame want = Reference(kind, f);
            int bad = 0;
            for (int32_t y = 0; y < kH; ++y)
                for (int32_t x = 0; x < kW; ++x) {
                    const TColor32 got = shown->GetPixel(x, y), exp = want.Image().GetPixel(x, y);
                    if (Distance(got, exp) <= 2) continue;
                    // A turned picture samples its neighbour texel or misses along its edges.
                    if (kind >= 18 && kind <= 19 && f == 0.5) {
                        ++bad;
                        continue;
                    }
                    if (bad++ < 3)
                        ADD_FAILURE() << "kind " << kind << " f " << f << " at (" << x << ", " << y
                                      << "): " << std::hex << got << " instead of " << exp;
                }
            const int allowed = (kind >= 18 && kind <= 19 && f == 0.5) ? kW * kH / 6 : 0;
            EXPECT_LE(bad, allowed) << "kind " << kind << " f " << f;
        }
}

TEST_F(TransitionPixels, FramesOfARoomChangeAreWrittenInOrder) {
    // The run option's sink sees every frame after it is drawn and before it is shown.
    std::vector<TColor32> centre;
    SetTransitionFrameSink([&centre](int32_t, int32_t, int32_t) {
        auto shot = RenderState_CaptureAll();
        centre.push_back(shot ? shot->GetPixel(kW / 2, kH / 2) : 0);
    });
    Transition_Start(20);
    ASSERT_TRUE(Transition_Pending());
    // An opaque black old room and a white first frame of the new one.
    ASSERT_TRUE(Surface_SetTarget(Transition_OldSurface()));
    Call("draw_clear", {0});
    ASSERT_TRUE(Surface_SetTarget(Transition_NewSurface()));
    Call("draw_clear", {0xFFFFFF});
    Transition_Run();
    SetTransitionFrameSink(nullptr);
    ASSERT_EQ(centre.size(), 81u); // transition_steps starts at 80
    EXPECT_EQ(centre.front(), 0xFF000000u);
    EXPECT_EQ(centre.back(), 0xFFFFFFFFu);
    EXPECT_LE(Distance(centre[40], 0xFF808080u), 2);
}

} // namespace
