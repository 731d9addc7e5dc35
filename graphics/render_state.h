#pragma once
// The one drawing device of the process and the render-state cache scripts change. Every
// entry point does nothing (false, 0) while no device is attached, which is how a headless
// run without screenshots draws.

#include <cstdint>
#include <optional>

#include "base/bitmap32.h"
#include "graphics/device.h"

namespace kestrin {

struct RenderStateCache {
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
bool RenderState_Init(Device* device, int32_t width, int32_t height, bool vsync);
void RenderState_Finish();
Device* RenderState_Device();

bool RenderState_Start_Frame();
bool RenderState_End_Frame();
bool RenderState_Refresh();
void RenderState_SetVsync(bool vsync);
bool RenderState_GetVsync();

void RenderState_SetRegion(int32_t width, int32_t height);
int32_t RenderState_RegionWidth();
int32_t RenderState_RegionHeight();
void RenderState_SetViewport(int32_t x, int32_t y, int32_t w, int32_t h);
// The default view and projection for a w × h area of the room at (x, y), turned by angle degrees.
void RenderState_SetProjection(double x, double y, double w, double h, double angle);
// The same with the kind chosen: orthographic, or the perspective whose plane z = 0 shows the area.
void RenderState_SetProjectionMode(double x, double y, double w, double h, double angle, bool perspective);

// Back-buffer (or current target) pixels of the region; none when the area is empty.
std::optional<TBitmap32> RenderState_Capture(int32_t x, int32_t y, int32_t w, int32_t h);
std::optional<TBitmap32> RenderState_CaptureAll();
// Colour in the runner's convention (red low byte), 0 when nothing was captured.
int32_t RenderState_GetPixel(int32_t x, int32_t y);

const RenderStateCache& RenderState_Cache();
void RenderState_SetHidden(bool on);
void RenderState_SetLighting(bool on);
void RenderState_SetShading(bool smooth);
void RenderState_SetFog(bool enable, int32_t colour, double start, double end);
void RenderState_SetBlendMode(int32_t mode);
void RenderState_SetBlendModeExt(int32_t src, int32_t dest);
void RenderState_SetCulling(bool on);
void RenderState_SetInterpolation(bool on);
void RenderState_SetTextureBlending(bool on);
void RenderState_SetTextureRepeat(bool on);
bool RenderState_GetTextureRepeat();
bool RenderState_GetInterpolation();
void RenderState_SetPerspective(bool on);
// 3D mode decides whether hidden-surface removal reaches the device.
void RenderState_Set3DMode(bool on);
bool RenderState_Get3DMode();
void RenderState_ApplyStates();

// The device states as last sent; the textured quads change the addressing through this.
void RenderState_SetAddress(TextureAddress address);
// Depth-buffer writes (not part of the cache: 3D drawing switches them directly).
void RenderState_SetZWrite(bool on);
void RenderState_SetWorld(const Matrix& world);
const Matrix& RenderState_GetWorld();

// display_reset: the reset waits for the end of the frame. Serving it drops every surface.
void RenderState_RequestReset(int32_t multisample);
bool RenderState_ResetRequested();
void RenderState_ServeResetRequest();

// The two factors of a blend mode (bm_normal .. bm_subtract).
void BlendFactorsOf(int32_t mode, int32_t& src, int32_t& dest);

} // namespace kestrin
