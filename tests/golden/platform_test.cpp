// The SDL side of the platform: loading-window layout, key codes, and the game window on SDL's
// offscreen video driver (skipped where it cannot make an OpenGL context).

#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_shape.h>

#include <cstdlib>
#include <string>

#include "keep_drivers.h"
#include "platform/sdl/sdl_gamepads.h"
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

// Needs a display with window shapes (an X server, Xvfb in tests); skipped elsewhere.
TEST(PlatformLoading, TransparentImageShapesTheWindowByItsBottomLeftColour) {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    const std::string saved = driver ? driver : "";
    unsetenv("SDL_VIDEODRIVER");
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    CSettings s;
    s.loading_image = TBitmap32(40, 20, 0xFF123456);
    s.loading_image->SetPixel(0, 19, 0xFFFF00FF);
    s.loading_image->SetPixel(5, 5, 0xFFFF00FF);
    s.loading_transparent = true;
    SdlLoadingDisplay shown;
    shown.Setup(s, false);
    if (!shown.Window()) GTEST_SKIP() << "no SDL window: " << SDL_GetError();
    ASSERT_TRUE(SDL_IsShapedWindow(shown.Window()));
    SDL_WindowShapeMode mode;
    ASSERT_EQ(SDL_GetShapedWindowMode(shown.Window(), &mode), 0);
    EXPECT_EQ(mode.mode, ShapeModeColorKey);
    EXPECT_EQ(mode.parameters.colorKey.r, 255);
    EXPECT_EQ(mode.parameters.colorKey.g, 0);
    EXPECT_EQ(mode.parameters.colorKey.b, 255);
    int w = 0, h = 0;
    SDL_GetWindowSize(shown.Window(), &w, &h);
    EXPECT_EQ(w, 40);
    EXPECT_EQ(h, 20);
    shown.Progress(50, "Loading");
    shown.Hide();

    s.loading_transparent = false; // an opaque image keeps a plain window
    SdlLoadingDisplay plain;
    plain.Setup(s, false);
    ASSERT_NE(plain.Window(), nullptr);
    EXPECT_FALSE(SDL_IsShapedWindow(plain.Window()));
    plain.Hide();
    if (!saved.empty()) setenv("SDL_VIDEODRIVER", saved.c_str(), 1);
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

namespace {

// Virtual SDL devices stand in for pads plugged into the machine.
class PlatformGamepads : public ::testing::Test {
protected:
    void SetUp() override {
        if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) GTEST_SKIP() << SDL_GetError();
        CurrentInput() = InputState();
    }
    void TearDown() override {
        CurrentInput() = InputState();
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    }
};

TEST_F(PlatformGamepads, PlainJoysticksReadAxesButtonsAndTheHat) {
    const int device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 3, 4, 1);
    ASSERT_GE(device, 0) << SDL_GetError();
    SDL_Joystick* stick = SDL_JoystickOpen(device);
    ASSERT_NE(stick, nullptr) << SDL_GetError();
    SDL_JoystickSetVirtualAxis(stick, 0, -32768);
    SDL_JoystickSetVirtualAxis(stick, 1, 32767);
    SDL_JoystickSetVirtualButton(stick, 2, 1);
    SDL_JoystickSetVirtualHat(stick, 0, SDL_HAT_RIGHTUP);
    SDL_JoystickUpdate();
    const JoystickState s = RawJoystickState(stick);
    EXPECT_TRUE(s.available);
    EXPECT_EQ(s.axes, 3);
    EXPECT_EQ(s.buttons, 4);
    EXPECT_TRUE(s.has_pov);
    EXPECT_EQ(s.axis[0], 0u);
    EXPECT_EQ(s.axis[1], 65535u);
    EXPECT_EQ(s.axis[3], 32767u); // axes the device lacks stay centred
    EXPECT_EQ(s.button_bits, 0b100u);
    EXPECT_EQ(s.pov, 4500u);
    SDL_JoystickClose(stick);
    SDL_JoystickDetachVirtual(device);
}

TEST_F(PlatformGamepads, PluggingAndUnpluggingReachTheGame) {
    SdlGamepads pads;
    pads.Poll();
    EXPECT_FALSE(CurrentInput().Joystick(0).available);
    const int device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 15, 1);
    ASSERT_GE(device, 0) << SDL_GetError();
    pads.Poll();
    ASSERT_TRUE(CurrentInput().Joystick(0).available);
    EXPECT_FALSE(CurrentInput().Joystick(1).available);
    if (SDL_IsGameController(device)) {
        // A game controller has the pad layout whatever its raw axes are.
        EXPECT_EQ(CurrentInput().Joystick(0).buttons, 10);
        EXPECT_EQ(CurrentInput().Joystick(0).axis[2], 32767u) << "no trigger pulled";
    }
    SDL_JoystickDetachVirtual(device);
    pads.Poll();
    EXPECT_FALSE(CurrentInput().Joystick(0).available);
}

} // namespace
