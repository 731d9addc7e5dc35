// Texture, surface and background-drawing built-ins.

#include <cmath>
#include <fstream>
#include <string>

#include "base/image_bmp.h"
#include "base/numeric.h"
#include "graphics/background.h"
#include "graphics/function_args.h"
#include "graphics/function_draw.h"
#include "graphics/function_texture.h"
#include "graphics/function_window.h"
#include "graphics/graphics_surface.h"
#include "graphics/graphics_texture.h"
#include "graphics/messages.h"
#include "graphics/render_state.h"
#include "script/run_error.h"
#include "script/value.h"

namespace kestrin {

namespace {

using namespace graphics_args;
constexpr double kRadians = M_PI / 180.0;

void RoomArea(int32_t& w, int32_t& h) {
    w = 640, h = 480;
    if (CurrentGraphicsHooks().room_size) CurrentGraphicsHooks().room_size(w, h);
}

ROUTINE(background_get_texture) {
    const CBackground* b = Background_Get(I(a, 0));
    if (!b) {
        ReportRunError(graphics_msg::kNoBackgroundTexture, false);
        return;
    }
    r.SetReal(b->GetTexture());
}
ROUTINE(texture_exists) {
    r.SetReal(GR_Texture_Exists(I(a, 0)) ? 1 : 0);
}
ROUTINE(texture_get_width) {
    r.SetReal(GR_Texture_GetWidth(I(a, 0)));
}
ROUTINE(texture_get_height) {
    r.SetReal(GR_Texture_GetHeight(I(a, 0)));
}
ROUTINE(texture_set_interpolation) {
    RenderState_SetInterpolation(B(a, 0));
}
ROUTINE(texture_set_blending) {
    RenderState_SetTextureBlending(B(a, 0));
}
ROUTINE(texture_set_repeat) {
    RenderState_SetTextureRepeat(B(a, 0));
}
ROUTINE(texture_preload) {
    GR_Texture_Preload(I(a, 0));
}
ROUTINE(texture_set_priority) {
    GR_Texture_SetPriority(I(a, 0), I(a, 1));
}

ROUTINE(surface_create) {
    r.SetReal(Surface_Create(I(a, 0), I(a, 1)));
}
ROUTINE(surface_create_ext) {
    r.SetReal(-1);
}

// The surface of argument i, or -1 after reporting.
int32_t SurfaceArg(Args a, int i) {
    const int32_t id = I(a, i);
    if (Surface_Exists(id)) return id;
    ReportRunError(graphics_msg::kNoSurface, false);
    return -1;
}

ROUTINE(surface_free) {
    const int32_t id = SurfaceArg(a, 0);
    if (id >= 0) Surface_Free(id);
}
ROUTINE(surface_exists) {
    r.SetReal(Surface_Exists(I(a, 0)) ? 1 : 0);
}
ROUTINE(surface_get_width) {
    const int32_t id = SurfaceArg(a, 0);
    r.SetReal(id >= 0 ? Surface_GetWidth(id) : -1);
}
ROUTINE(surface_get_height) {
    const int32_t id = SurfaceArg(a, 0);
    r.SetReal(id >= 0 ? Surface_GetHeight(id) : -1);
}
ROUTINE(surface_get_texture) {
    const int32_t id = SurfaceArg(a, 0);
    r.SetReal(id >= 0 ? Surface_GetTexture(id) : -1);
}
ROUTINE(surface_set_target) {
    const int32_t id = SurfaceArg(a, 0);
    r.SetReal(id >= 0 && Surface_SetTarget(id) ? 1 : 0);
}
ROUTINE(surface_reset_target) {
    r.SetReal(Surface_ResetTarget() ? 1 : 0);
}

// Texture size of a surface as w × h of its image (the quad routines use the texture table).
ROUTINE(draw_surface) {
    const int32_t id = SurfaceArg(a, 0);
    if (id >= 0) GR_Texture_Draw(Surface_GetTexture(id), D(a, 1), D(a, 2));
}
ROUTINE(draw_surface_ext) {
    const int32_t id = SurfaceArg(a, 0);
    if (id < 0) return;
    GR_Texture_DrawTransformed(Surface_GetTexture(id), I(a, 6), 0, 0, D(a, 1), D(a, 2), D(a, 3), D(a, 4),
                               D(a, 5) * kRadians, D(a, 7));
}
void Stretched(int32_t id, double x, double y, double w, double h, int32_t colour, double alpha) {
    if (w <= 0 || h <= 0) return;
    GR_Texture_DrawTransformed(Surface_GetTexture(id), colour, 0, 0, x, y, w / Surface_GetWidth(id),
                               h / Surface_GetHeight(id), 0, alpha);
}
ROUTINE(draw_surface_stretched) {
    const int32_t id = SurfaceArg(a, 0);
    if (id >= 0) Stretched(id, D(a, 1), D(a, 2), D(a, 3), D(a, 4), 0xFFFFFF, 1.0);
}
ROUTINE(draw_surface_stretched_ext) {
    const int32_t id = SurfaceArg(a, 0);
    if (id >= 0) Stretched(id, D(a, 1), D(a, 2), D(a, 3), D(a, 4), I(a, 5), D(a, 6));
}
ROUTINE(draw_surface_part) {
    const int32_t id = SurfaceArg(a, 0);
    if (id < 0) return;
    GR_Texture_DrawPart(Surface_GetTexture(id), 0xFFFFFF, D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5),
                        D(a, 6), 1, 1, 0, 1.0);
}
ROUTINE(draw_surface_part_ext) {
    const int32_t id = SurfaceArg(a, 0);
    if (id < 0) return;
    GR_Texture_DrawPart(Surface_GetTexture(id), I(a, 9), D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), D(a, 6),
                        D(a, 7), D(a, 8), 0, D(a, 10));
}
ROUTINE(draw_surface_general) {
    const int32_t id = SurfaceArg(a, 0);
    if (id < 0) return;
    GR_Texture_DrawGeneral(Surface_GetTexture(id), I(a, 10), I(a, 11), I(a, 12), I(a, 13), D(a, 1), D(a, 2),
                           D(a, 3), D(a, 4), D(a, 5), D(a, 6), D(a, 7), D(a, 8), D(a, 9) * kRadians,
                           D(a, 14));
}
void Tiled(int32_t texture, double x, double y, double xscale, double yscale, int32_t colour, double alpha) {
    int32_t w, h;
    RoomArea(w, h);
    GR_Texture_DrawTiled(texture, true, true, 0, 0, x, y, xscale, yscale, 0, 0, w, h, colour, alpha);
}
ROUTINE(draw_surface_tiled) {
    const int32_t id = SurfaceArg(a, 0);
    if (id >= 0) Tiled(Surface_GetTexture(id), D(a, 1), D(a, 2), 1, 1, 0xFFFFFF, 1.0);
}
ROUTINE(draw_surface_tiled_ext) {
    const int32_t id = SurfaceArg(a, 0);
    if (id >= 0) Tiled(Surface_GetTexture(id), D(a, 1), D(a, 2), D(a, 3), D(a, 4), I(a, 5), D(a, 6));
}

} // namespace

bool HasPngExtension(const std::string& name) {
    if (name.size() < 4) return false;
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".png";
}

// Write errors are not reported: the file is simply not there.
void SaveCaptureFile(const std::string& name, const TBitmap32& bm) {
    if (HasPngExtension(name)) {
        (void)bm.SaveToImageFile(name);
        return;
    }
    const std::vector<uint8_t> bytes = EncodeBmp(bm);
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

namespace {

void SaveSurface(Args a, int32_t x, int32_t y, int32_t w, int32_t h) {
    const int32_t id = SurfaceArg(a, 0);
    if (id < 0) return;
    const std::string name(a[1].str());
    if (name.empty()) {
        ReportRunError(graphics_msg::kSurfaceEmptyName, false);
        return;
    }
    if (auto bm = Surface_Capture(id, x, y, w, h)) SaveCaptureFile(name, *bm);
}
ROUTINE(surface_save) {
    const int32_t id = I(a, 0);
    SaveSurface(a, 0, 0, Surface_GetWidth(id), Surface_GetHeight(id));
}
ROUTINE(surface_save_part) {
    SaveSurface(a, I(a, 2), I(a, 3), I(a, 4), I(a, 5));
}
ROUTINE(surface_getpixel) {
    const int32_t id = SurfaceArg(a, 0);
    if (id >= 0) r.SetReal(Surface_GetPixel(id, I(a, 1), I(a, 2)));
}
ROUTINE(surface_copy) {
    const int32_t dest = SurfaceArg(a, 0);
    const int32_t src = dest >= 0 ? SurfaceArg(a, 3) : -1;
    if (src >= 0)
        Surface_CopyPart(dest, I(a, 1), I(a, 2), src, 0, 0, Surface_GetWidth(src), Surface_GetHeight(src));
}
ROUTINE(surface_copy_part) {
    const int32_t dest = SurfaceArg(a, 0);
    const int32_t src = dest >= 0 ? SurfaceArg(a, 3) : -1;
    if (src >= 0) Surface_CopyPart(dest, I(a, 1), I(a, 2), src, I(a, 4), I(a, 5), I(a, 6), I(a, 7));
}

const CBackground* BackgroundArg(Args a) {
    const CBackground* b = Background_Get(I(a, 0));
    if (!b) ReportRunError(graphics_msg::kDrawNoBackground, false);
    return b;
}
ROUTINE(draw_background) {
    if (const CBackground* b = BackgroundArg(a)) b->DrawSimple(D(a, 1), D(a, 2));
}
ROUTINE(draw_background_ext) {
    if (const CBackground* b = BackgroundArg(a))
        b->Draw(D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), I(a, 6), D(a, 7));
}
ROUTINE(draw_background_stretched) {
    if (const CBackground* b = BackgroundArg(a))
        b->DrawStretched(D(a, 1), D(a, 2), D(a, 3), D(a, 4), 0xFFFFFF, 1.0);
}
ROUTINE(draw_background_stretched_ext) {
    if (const CBackground* b = BackgroundArg(a))
        b->DrawStretched(D(a, 1), D(a, 2), D(a, 3), D(a, 4), I(a, 5), D(a, 6));
}
ROUTINE(draw_background_part) {
    if (const CBackground* b = BackgroundArg(a))
        b->DrawPart(D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), D(a, 6), 1, 1, 0xFFFFFF, 1.0);
}
ROUTINE(draw_background_part_ext) {
    if (const CBackground* b = BackgroundArg(a))
        b->DrawPart(D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), D(a, 6), D(a, 7), D(a, 8), I(a, 9),
                    D(a, 10));
}
ROUTINE(draw_background_general) {
    if (const CBackground* b = BackgroundArg(a))
        b->DrawGeneral(D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), D(a, 6), D(a, 7), D(a, 8), D(a, 9),
                       I(a, 10), I(a, 11), I(a, 12), I(a, 13), D(a, 14));
}
ROUTINE(draw_background_tiled) {
    if (const CBackground* b = BackgroundArg(a))
        Tiled(b->GetTexture(), D(a, 1), D(a, 2), 1, 1, 0xFFFFFF, 1.0);
}
ROUTINE(draw_background_tiled_ext) {
    if (const CBackground* b = BackgroundArg(a))
        Tiled(b->GetTexture(), D(a, 1), D(a, 2), D(a, 3), D(a, 4), I(a, 5), D(a, 6));
}

#undef ROUTINE

constexpr RFunctionSpec kFunctions[] = {
    {"background_get_texture", background_get_texture, 1},
    {"texture_exists", texture_exists, 1},
    {"texture_get_width", texture_get_width, 1},
    {"texture_get_height", texture_get_height, 1},
    {"texture_set_interpolation", texture_set_interpolation, 1},
    {"texture_set_blending", texture_set_blending, 1},
    {"texture_set_repeat", texture_set_repeat, 1},
    {"texture_preload", texture_preload, 1},
    {"texture_set_priority", texture_set_priority, 2},
    {"surface_create", surface_create, 2},
    {"surface_create_ext", surface_create_ext, 2},
    {"surface_free", surface_free, 1},
    {"surface_exists", surface_exists, 1},
    {"surface_get_width", surface_get_width, 1},
    {"surface_get_height", surface_get_height, 1},
    {"surface_get_texture", surface_get_texture, 1},
    {"surface_set_target", surface_set_target, 1},
    {"surface_reset_target", surface_reset_target, 0},
    {"draw_surface", draw_surface, 3},
    {"draw_surface_ext", draw_surface_ext, 8},
    {"draw_surface_stretched", draw_surface_stretched, 5},
    {"draw_surface_stretched_ext", draw_surface_stretched_ext, 7},
    {"draw_surface_part", draw_surface_part, 7},
    {"draw_surface_part_ext", draw_surface_part_ext, 11},
    {"draw_surface_general", draw_surface_general, 15},
    {"draw_surface_tiled", draw_surface_tiled, 3},
    {"draw_surface_tiled_ext", draw_surface_tiled_ext, 7},
    {"surface_save", surface_save, 2},
    {"surface_save_part", surface_save_part, 6},
    {"surface_getpixel", surface_getpixel, 3},
    {"surface_copy", surface_copy, 4},
    {"surface_copy_part", surface_copy_part, 8},
    {"draw_background", draw_background, 3},
    {"draw_background_ext", draw_background_ext, 8},
    {"draw_background_stretched", draw_background_stretched, 5},
    {"draw_background_stretched_ext", draw_background_stretched_ext, 7},
    {"draw_background_part", draw_background_part, 7},
    {"draw_background_part_ext", draw_background_part_ext, 11},
    {"draw_background_general", draw_background_general, 15},
    {"draw_background_tiled", draw_background_tiled, 3},
    {"draw_background_tiled_ext", draw_background_tiled_ext, 7},
};

} // namespace

std::span<const RFunctionSpec> TextureFunctions() {
    return kFunctions;
}

} // namespace kestrin
