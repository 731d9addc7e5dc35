// The SDL side of the platform: loading-window layout, key codes, and the game window on SDL's
// offscreen video driver (skipped where it cannot make an OpenGL context).

#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>

#include "keep_drivers.h"
#include "platform/sdl/sdl_loading.h"
#include "platform/sdl/sdl_window.h"
#include "runner/settings.h"

using namespace kestrin;

namespace {

TEST(PlatformLoading, BarsSitAboveTheBottomAcrossTheImage) {
    CSettings s;
    s.loading_image = TBitmap32(300, 200, 0xFF000000);
    s.bar_back = TBitmap32(50, 12, 0xFF808080);
    s.bar_front = TBitmap32(50, 12, 0xFF00FF00);
    LoadingLayout l = LayoutLoadingWindow(s, false);
    EXPECT_EQ(l.client_w, 300);
    EXPECT_EQ(l.client_h, 200);
    EXPECT_EQ(l.bar_x, 8);
    EXPECT_EQ(l.bar_y, 168);
    EXPECT_EQ(l.bar_w, 284);
    EXPECT_EQ(l.bar_h, 12);
    EXPECT_TRUE(l.show_bars);
    EXPECT_FALSE(l.show_label);
    EXPECT_TRUE(LayoutLoadingWindow(s, true).show_label);
    s.show_progress = false; // neither bar nor label, even when debugging
    l = LayoutLoadingWindow(s, true);
    EXPECT_FALSE(l.show_bars);
    EXPECT_FALSE(l.show_label);
    EXPECT_EQ(FullBarWidth(0, 284), 0);
    EXPECT_EQ(FullBarWidth(50, 284), 142);
    EXPECT_EQ(FullBarWidth(33, 10), 3);
    EXPECT_EQ(FullBarWidth(100, 284), 284);
}

TEST(PlatformKeys, VirtualKeyCodes) {
    const struct {
        int32_t sdl, vk;
    } cases[] = {{SDLK_a, 65},    {SDLK_z, 90},     {SDLK_0, 48},       {SDLK_F1, 112},    {SDLK_F12, 123},
                 {SDLK_LEFT, 37}, {SDLK_DOWN, 40},  {SDLK_ESCAPE, 27},  {SDLK_SPACE, 32},  {SDLK_RETURN, 13},
                 {SDLK_KP_0, 96}, {SDLK_KP_9, 105}, {SDLK_RSHIFT, 161}, {SDLK_CAPSLOCK, 0}};
    for (const auto& c : cases) EXPECT_EQ(VirtualKeyOf(c.sdl), c.vk) << c.sdl;
}

TEST(PlatformWindow, OffscreenWindowCarriesTheState) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    std::string error;
    auto window = SdlWindow::Create(error);
    if (!window) GTEST_SKIP() << "no SDL OpenGL window: " << error;
    WindowState s;
    s.client_w = 320;
    s.client_h = 200;
    s.caption = "Kestrin";
    window->Apply(s);
    kestrin::testing::KeepDriverLibrariesLoaded();
    auto device = window->MakeDevice(640, 480);
    ASSERT_NE(device, nullptr);
    device->Clear(kClearTarget, 0xFF00FF00, 1.0f);
    EXPECT_TRUE(device->Present({0, 0, 320, 200}, {0, 0, 320, 200}, 0xFF000000));
    TBitmap32 px;
    ASSERT_TRUE(device->ReadPixels({0, 0, 1, 1}, px));
    EXPECT_EQ(px.GetPixel(0, 0), 0xFF00FF00u);
    device.reset();
    window.reset();
    SDL_Quit();
}

} // namespace
