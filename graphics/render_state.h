#pragma once
// The one drawing device of the process and the render-state cache scripts change. Every
// entry point does nothing (false, 0) while no device is attached, which is how a headless
// run without screenshots draws.

#include <cstdint>
#include <optional>

#include "base/bitmap32.h"
#include "graphics/device.h"

namespace kestrin {

struct D3DStateCache {
    bool hidden = true;
    bool lighting = false;
    bool smooth = true;
    bool fog = false;
    int32_t fog_colour = 0; // runner convention
    double fog_start = 0.0, fog_end = 1.0;
    int32_t src_blend = 5, dest_blend = 6;
    bool culling = false;
    bool interpolation = true;
    bool texture_blending = true;
    bool texture_repeat = false;
    bool perspective = true;
};

// Creates the state around a device: region (clamped to the back buffer), viewport, default
// projection, an empty texture table and the cache applied. False for no device.
bool GR_D3D_Init(Device* device, int32_t width, int32_t height, bool vsync);
void GR_D3D_Finish();
Device* GR_D3D_Device();

bool GR_D3D_Start_Frame();
bool GR_D3D_End_Frame();
bool GR_D3D_Refresh();
void GR_D3D_SetVsync(bool vsync);
bool GR_D3D_GetVsync();

void GR_D3D_SetRegion(int32_t width, int32_t height);
int32_t GR_D3D_RegionWidth();
int32_t GR_D3D_RegionHeight();
void GR_D3D_SetViewport(int32_t x, int32_t y, int32_t w, int32_t h);
// The default view and projection for a w × h area of the room at (x, y), turned by angle degrees.
void GR_D3D_SetProjection(double x, double y, double w, double h, double angle);

// Back-buffer (or current target) pixels of the region; none when the area is empty.
std::optional<TBitmap32> GR_D3D_Capture(int32_t x, int32_t y, int32_t w, int32_t h);
std::optional<TBitmap32> GR_D3D_CaptureAll();
// Colour in the runner's convention (red low byte), 0 when nothing was captured.
int32_t GR_D3D_GetPixel(int32_t x, int32_t y);

const D3DStateCache& GR_D3D_Cache();
void GR_D3D_SetHidden(bool on);
void GR_D3D_SetLighting(bool on);
void GR_D3D_SetShading(bool smooth);
void GR_D3D_SetFog(bool enable, int32_t colour, double start, double end);
void GR_D3D_SetBlendMode(int32_t mode);
void GR_D3D_SetBlendModeExt(int32_t src, int32_t dest);
void GR_D3D_SetCulling(bool on);
void GR_D3D_SetInterpolation(bool on);
void GR_D3D_SetTextureBlending(bool on);
void GR_D3D_SetTextureRepeat(bool on);
bool GR_D3D_GetTextureRepeat();
bool GR_D3D_GetInterpolation();
void GR_D3D_SetPerspective(bool on);
// 3D mode decides whether hidden-surface removal reaches the device.
void GR_D3D_Set3DMode(bool on);
bool GR_D3D_Get3DMode();
void GR_D3D_ApplyStates();

// The device states as last sent; the textured quads change the addressing through this.
void GR_D3D_SetAddress(TextureAddress address);
void GR_D3D_SetWorld(const Matrix& world);
const Matrix& GR_D3D_GetWorld();

// display_reset: the reset waits for the end of the frame. Serving it drops every surface.
void GR_D3D_RequestReset(int32_t multisample);
bool GR_D3D_ResetRequested();
void GR_D3D_ServeResetRequest();

// The two factors of a blend mode (bm_normal .. bm_subtract).
void BlendFactorsOf(int32_t mode, int32_t& src, int32_t& dest);

} // namespace kestrin
