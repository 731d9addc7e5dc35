#include "graphics/graphics_init.h"

#include "graphics/background.h"
#include "graphics/font.h"
#include "graphics/render_state.h"
#include "graphics/graphics_draw.h"
#include "graphics/graphics_text.h"
#include "graphics/graphics_window.h"
#include "runner/settings.h"
#include "script/errors.h"
#include "graphics/sprite.h"

namespace kestrin {

namespace {
DeviceFactory g_factory;
std::unique_ptr<Device> g_device;
} // namespace

void SetDeviceFactory(DeviceFactory factory) {
    g_factory = std::move(factory);
}

bool Init_Graphics(const CSettings& settings) {
    // Linux offers no display-mode changes to a game: the desktop mode stays whatever was asked.
    WindowState& w = GameWindow();
    w.client_w = w.client_h = 8;
    Window_SetRegionSize(8, 8, true);
    Window_SetRegionScale(settings.scale / 100.0, true);
    w.sizeable = settings.sizeable;
    w.stay_on_top = settings.stay_on_top;
    w.colour = settings.outside_colour;
    w.show_border = !settings.no_border;
    w.show_icons = !settings.no_buttons;
    w.full_screen = settings.fullscreen;
    ApplyWindowState();
    Draw_Reset();

    TraceLine("Init_Graphics :: RenderState_Init");
    if (g_factory) {
        g_device = g_factory(w.screen_w, w.screen_h);
        if (!g_device) return false;
    }
    RenderState_Init(g_device.get(), 640, 480, settings.vsync);
    RenderState_SetInterpolation(settings.interpolate);
    TraceLine("Init_Graphics :: Background_InitTextures");
    Background_InitTextures();
    TraceLine("Init_Graphics :: Sprite_InitTextures");
    Sprite_InitTextures();
    TraceLine("Init_Graphics :: Background_FontTextures");
    Font_InitTextures();
    TraceLine("Init_Graphics :: RenderState_Start_Frame");
    RenderState_Start_Frame();
    TraceLine("Init_Graphics :: Finished");
    return true;
}

void Finish_Graphics() {
    // The default font's texture goes with the device; it is made again on next use.
    Text_Reset();
    RenderState_Finish();
    g_device.reset();
}

} // namespace kestrin
