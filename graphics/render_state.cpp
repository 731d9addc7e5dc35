#include "graphics/render_state.h"

#include <algorithm>
#include <cmath>

#include "graphics/graphics_3d.h"
#include "graphics/graphics_surface.h"
#include "graphics/graphics_texture.h"
#include "graphics/graphics_window.h"

namespace kestrin {

namespace {
Device* g_device = nullptr;
RenderStateCache g_cache;
RenderStates g_states;
bool g_vsync = false;
bool g_3d = false;
int32_t g_region_w = 640, g_region_h = 480;
Matrix g_world = Matrix::Identity();

void Send() {
    if (g_device) g_device->SetStates(g_states);
}

uint32_t DeviceArgb(int32_t colour) {
    const uint32_t c = static_cast<uint32_t>(colour);
    return 0xFF000000u | (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

// Fills the device states from the cache, keeping the addressing the quads last chose.
void CacheToStates() {
    const bool hidden = g_cache.hidden && g_3d;
    g_states.z_enable = hidden;
    g_states.alpha_test = hidden;
    g_states.alpha_ref = 0;
    g_states.lighting = g_cache.lighting;
    g_states.shade = g_cache.smooth ? ShadeMode::Gouraud : ShadeMode::Flat;
    g_states.fog = g_cache.fog;
    g_states.fog_colour = DeviceArgb(g_cache.fog_colour);
    g_states.fog_start = static_cast<float>(g_cache.fog_start);
    g_states.fog_end = static_cast<float>(g_cache.fog_end);
    g_states.src_blend = static_cast<BlendFactor>(g_cache.src_blend);
    g_states.dest_blend = static_cast<BlendFactor>(g_cache.dest_blend);
    g_states.cull = g_cache.culling ? CullMode::CounterClockwise : CullMode::None;
    g_states.filter = g_cache.interpolation ? TextureFilter::Linear : TextureFilter::Point;
    g_states.colour_op = g_cache.texture_blending ? TextureOp::Modulate : TextureOp::SelectTexture;
    g_states.alpha_blend = true;
}

void Update() {
    CacheToStates();
    Send();
}
} // namespace

bool RenderState_Init(Device* device, int32_t width, int32_t height, bool vsync) {
    g_device = device;
    if (!device) return false;
    g_vsync = vsync;
    device->SetSwapInterval(vsync ? 1 : 0);
    g_region_w = std::min(width, device->BackBufferWidth());
    g_region_h = std::min(height, device->BackBufferHeight());
    device->SetRenderTarget(0);
    device->SetViewport({0, 0, device->BackBufferWidth(), device->BackBufferHeight(), 0.0f, 1.0f});
    device->Clear(kClearTarget | kClearZBuffer, 0xFF000000, 1.0f);
    RenderState_SetViewport(0, 0, g_region_w, g_region_h);
    RenderState_SetProjection(0, 0, g_region_w, g_region_h, 0);
    g_world = Matrix::Identity();
    device->SetTransform(TransformKind::World, g_world);
    GR_Texture_Init();
    RenderState_ApplyStates();
    return true;
}

void RenderState_Finish() {
    Surface_FreeAll();
    GR_Texture_Init();
    g_device = nullptr;
}

Device* RenderState_Device() {
    return g_device;
}

bool RenderState_Start_Frame() {
    return g_device && g_device->BeginScene();
}

bool RenderState_End_Frame() {
    if (!g_device) return false;
    g_device->EndScene();
    return RenderState_Refresh();
}

bool RenderState_Refresh() {
    if (!g_device) return false;
    const WindowState& w = GameWindow();
    const IntRect dest = RegionRectangle(w.client_w, w.client_h, g_region_w, g_region_h, w.scale);
    return g_device->Present({0, 0, g_region_w, g_region_h}, dest, DeviceArgb(w.colour));
}

void RenderState_SetVsync(bool vsync) {
    g_vsync = vsync;
    if (g_device) g_device->SetSwapInterval(vsync ? 1 : 0);
}
bool RenderState_GetVsync() {
    return g_vsync;
}

void RenderState_SetRegion(int32_t width, int32_t height) {
    if (g_device) {
        width = std::min(width, g_device->BackBufferWidth());
        height = std::min(height, g_device->BackBufferHeight());
    }
    if (width == g_region_w && height == g_region_h) return;
    g_region_w = width;
    g_region_h = height;
    RenderState_SetViewport(0, 0, width, height);
    RenderState_SetProjection(0, 0, width, height, 0);
}
int32_t RenderState_RegionWidth() {
    return g_region_w;
}
int32_t RenderState_RegionHeight() {
    return g_region_h;
}

void RenderState_SetViewport(int32_t x, int32_t y, int32_t w, int32_t h) {
    if (g_device) g_device->SetViewport({x, y, w, h, 0.0f, 1.0f});
}

void RenderState_SetProjection(double x, double y, double w, double h, double angle) {
    RenderState_SetProjectionMode(x, y, w, h, angle, g_3d && g_cache.perspective);
}

void RenderState_SetProjectionMode(double x, double y, double w, double h, double angle, bool perspective) {
    if (!g_device) return;
    const double t = -angle * M_PI / 180.0;
    const std::array<float, 3> up{float(std::sin(t)), float(std::cos(t)), 0.0f};
    const float cx = float(x + w / 2), cy = float(y + h / 2);
    Matrix view, projection;
    if (!perspective) {
        view = LookAtLH({cx, cy, -16000.0f}, {cx, cy, 0.0f}, up);
        projection = OrthoLH(float(w), float(-h), 1.0f, 32000.0f);
    } else {
        // Seen from z = -w the plane z = 0 fills the area exactly; the view's y is turned over
        // so that room y runs downwards on the screen as in the orthographic projection.
        view = Multiply(LookAtLH({cx, cy, float(-w)}, {cx, cy, 0.0f}, up), Scaling(1.0f, -1.0f, 1.0f));
        projection = PerspectiveLH(1.0f, float(h / w), 1.0f, 32000.0f);
    }
    g_device->SetTransform(TransformKind::View, view);
    g_device->SetTransform(TransformKind::Projection, projection);
}

std::optional<TBitmap32> RenderState_Capture(int32_t x, int32_t y, int32_t w, int32_t h) {
    if (!g_device) return std::nullopt;
    x = std::max(x, 0);
    y = std::max(y, 0);
    w = std::min(w, g_region_w - x);
    h = std::min(h, g_region_h - y);
    if (w <= 0 || h <= 0) return std::nullopt;
    // Always the back buffer, also while a surface is the target.
    const int32_t surface = Surface_CurrentTarget();
    const RTexture* target = surface >= 0 ? GR_Texture_Get(Surface_GetTexture(surface)) : nullptr;
    if (target) g_device->SetRenderTarget(0);
    TBitmap32 out;
    const bool ok = g_device->ReadPixels({x, y, w, h}, out);
    if (target) g_device->SetRenderTarget(target->tex);
    if (!ok) return std::nullopt;
    // The back buffer has no alpha channel of its own: what blending left there means nothing.
    for (TColor32& p : out.s_data) p |= 0xFF000000u;
    return out;
}

std::optional<TBitmap32> RenderState_CaptureAll() {
    return RenderState_Capture(0, 0, g_region_w, g_region_h);
}

int32_t RenderState_GetPixel(int32_t x, int32_t y) {
    auto bm = RenderState_Capture(x, y, 1, 1);
    if (!bm) return 0;
    const TColor32 c = bm->GetPixel(0, 0);
    return static_cast<int32_t>((c >> 16 & 0xFF) | (c & 0xFF00) | (c & 0xFF) << 16);
}

const RenderStateCache& RenderState_Cache() {
    return g_cache;
}
void RenderState_SetHidden(bool on) {
    g_cache.hidden = on, Update();
}
void RenderState_SetLighting(bool on) {
    g_cache.lighting = on, Update();
}
void RenderState_SetShading(bool smooth) {
    g_cache.smooth = smooth, Update();
}
void RenderState_SetFog(bool enable, int32_t colour, double start, double end) {
    g_cache.fog = enable;
    g_cache.fog_colour = colour;
    g_cache.fog_start = start;
    g_cache.fog_end = end;
    Update();
}

void BlendFactorsOf(int32_t mode, int32_t& src, int32_t& dest) {
    switch (mode) {
    case 1:
        src = 5, dest = 2;
        break;
    case 2:
        src = 5, dest = 4;
        break;
    case 3:
        src = 1, dest = 4;
        break;
    default:
        src = 5, dest = 6;
        break;
    }
}

void RenderState_SetBlendMode(int32_t mode) {
    BlendFactorsOf(mode, g_cache.src_blend, g_cache.dest_blend);
    Update();
}
void RenderState_SetBlendModeExt(int32_t src, int32_t dest) {
    g_cache.src_blend = src;
    g_cache.dest_blend = dest;
    Update();
}
void RenderState_SetCulling(bool on) {
    g_cache.culling = on, Update();
}
void RenderState_SetInterpolation(bool on) {
    g_cache.interpolation = on, Update();
}
void RenderState_SetTextureBlending(bool on) {
    g_cache.texture_blending = on, Update();
}
void RenderState_SetTextureRepeat(bool on) {
    g_cache.texture_repeat = on;
    RenderState_SetAddress(on ? TextureAddress::Wrap : TextureAddress::Clamp);
}
bool RenderState_GetTextureRepeat() {
    return g_cache.texture_repeat;
}
bool RenderState_GetInterpolation() {
    return g_cache.interpolation;
}
void RenderState_SetPerspective(bool on) {
    g_cache.perspective = on;
}
void RenderState_Set3DMode(bool on) {
    g_3d = on;
    Update();
}
bool RenderState_Get3DMode() {
    return g_3d;
}

void RenderState_ApplyStates() {
    g_states.address_u = g_states.address_v =
        g_cache.texture_repeat ? TextureAddress::Wrap : TextureAddress::Clamp;
    Update();
}

void RenderState_SetZWrite(bool on) {
    if (g_states.z_write == on) return;
    g_states.z_write = on;
    Send();
}

void RenderState_SetAddress(TextureAddress address) {
    if (g_states.address_u == address && g_states.address_v == address) return;
    g_states.address_u = g_states.address_v = address;
    Send();
}

void RenderState_SetWorld(const Matrix& world) {
    g_world = world;
    if (g_device) g_device->SetTransform(TransformKind::World, world);
}
const Matrix& RenderState_GetWorld() {
    return g_world;
}

namespace {
bool g_reset_requested = false;
int32_t g_multisample = 0;
} // namespace

void RenderState_RequestReset(int32_t multisample) {
    g_reset_requested = true;
    g_multisample = multisample;
}
bool RenderState_ResetRequested() {
    return g_reset_requested;
}

void RenderState_ServeResetRequest() {
    if (!g_reset_requested) return;
    g_reset_requested = false;
    Surface_FreeAll();
    if (!g_device) return;
    g_device->SetRenderTarget(0);
    g_device->SetViewport({0, 0, g_device->BackBufferWidth(), g_device->BackBufferHeight(), 0.0f, 1.0f});
    g_device->Clear(kClearTarget | kClearZBuffer, 0xFF000000, 1.0f);
    RenderState_SetViewport(0, 0, g_region_w, g_region_h);
    RenderState_SetProjection(0, 0, g_region_w, g_region_h, 0);
    RenderState_ApplyStates();
    D3D_RestoreLights();
}

} // namespace kestrin
