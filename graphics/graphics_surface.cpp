#include "graphics/graphics_surface.h"

#include <algorithm>
#include <vector>

#include "graphics/render_state.h"
#include "graphics/graphics_texture.h"

namespace kestrin {

// The depth buffer of a surface belongs to its render-target texture, so it lives exactly as
// long as the texture; no delayed release is needed.
namespace {
std::vector<RSurface> g_surfaces;
int32_t g_target = -1;

const RSurface* Valid(int32_t id) {
    if (id < 0 || id >= static_cast<int32_t>(g_surfaces.size()) || !g_surfaces[size_t(id)].used)
        return nullptr;
    return &g_surfaces[size_t(id)];
}
} // namespace

int32_t Surface_Create(int32_t w, int32_t h) {
    if (!RenderState_Device()) return -1;
    size_t slot = 0;
    while (slot < g_surfaces.size() && g_surfaces[slot].used) ++slot;
    const int32_t tex = GR_Texture_Create_Empty(w, h, true);
    if (tex < 0) return -1;
    if (slot == g_surfaces.size()) g_surfaces.emplace_back();
    g_surfaces[slot] = {tex, w, h, true};
    // A new surface starts transparent black whatever the device left in that memory.
    Device* d = RenderState_Device();
    const RTexture* t = GR_Texture_Get(tex);
    if (d->SetRenderTarget(t->tex)) {
        d->SetViewport({0, 0, t->wt, t->ht, 0.0f, 1.0f});
        d->Clear(kClearTarget | kClearZBuffer, 0, 1.0f);
        const int32_t current = g_target;
        g_target = -1;
        if (current >= 0)
            Surface_SetTarget(current);
        else {
            d->SetRenderTarget(0);
            RenderState_SetViewport(0, 0, RenderState_RegionWidth(), RenderState_RegionHeight());
        }
    }
    return static_cast<int32_t>(slot);
}

bool Surface_Exists(int32_t id) {
    return Valid(id) != nullptr;
}

void Surface_Free(int32_t id) {
    if (!Valid(id)) return;
    if (g_target == id) Surface_ResetTarget();
    GR_Texture_Free(g_surfaces[size_t(id)].tex);
    g_surfaces[size_t(id)] = RSurface{};
}

void Surface_FreeAll() {
    for (size_t i = 0; i < g_surfaces.size(); ++i) Surface_Free(static_cast<int32_t>(i));
    g_surfaces.clear();
    g_target = -1;
}

int32_t Surface_GetWidth(int32_t id) {
    return Valid(id) ? Valid(id)->w : -1;
}
int32_t Surface_GetHeight(int32_t id) {
    return Valid(id) ? Valid(id)->h : -1;
}
int32_t Surface_GetTexture(int32_t id) {
    return Valid(id) ? Valid(id)->tex : -1;
}
int32_t Surface_CurrentTarget() {
    return g_target;
}

bool Surface_SetTarget(int32_t id) {
    Device* d = RenderState_Device();
    const RSurface* s = Valid(id);
    if (!d || !s) return false;
    if (g_target == id) return true;
    const RTexture* t = GR_Texture_Get(s->tex);
    if (!t) return false;
    if (g_target >= 0) Surface_ResetTarget();
    if (!d->SetRenderTarget(t->tex)) return false;
    RenderState_SetViewport(0, 0, s->w, s->h);
    RenderState_SetProjection(0, 0, s->w, s->h, 0);
    g_target = id;
    return true;
}

bool Surface_ResetTarget() {
    Device* d = RenderState_Device();
    if (!d || g_target < 0) return false;
    if (!d->SetRenderTarget(0)) return false;
    RenderState_SetViewport(0, 0, RenderState_RegionWidth(), RenderState_RegionHeight());
    RenderState_SetProjection(0, 0, RenderState_RegionWidth(), RenderState_RegionHeight(), 0);
    g_target = -1;
    return true;
}

std::optional<TBitmap32> Surface_Capture(int32_t id, int32_t x, int32_t y, int32_t w, int32_t h) {
    Device* d = RenderState_Device();
    const RSurface* s = Valid(id);
    if (!d || !s) return std::nullopt;
    x = std::max(x, 0);
    y = std::max(y, 0);
    w = std::min(w, s->w - x);
    h = std::min(h, s->h - y);
    if (w <= 0 || h <= 0) return std::nullopt;
    const RTexture* t = GR_Texture_Get(s->tex);
    const int32_t previous = g_target;
    if (!t || !d->SetRenderTarget(t->tex)) return std::nullopt;
    TBitmap32 out;
    const bool ok = d->ReadPixels({x, y, w, h}, out);
    const RTexture* back = previous >= 0 ? GR_Texture_Get(g_surfaces[size_t(previous)].tex) : nullptr;
    d->SetRenderTarget(back ? back->tex : 0);
    if (!ok) return std::nullopt;
    return out;
}

int32_t Surface_GetPixel(int32_t id, int32_t x, int32_t y) {
    auto bm = Surface_Capture(id, x, y, 1, 1);
    if (!bm) return 0;
    const TColor32 c = bm->GetPixel(0, 0);
    return static_cast<int32_t>((c >> 16 & 0xFF) | (c & 0xFF00) | (c & 0xFF) << 16);
}

void Surface_CopyPart(int32_t dest, int32_t x, int32_t y, int32_t src, int32_t xs, int32_t ys, int32_t ws,
                      int32_t hs) {
    Device* d = RenderState_Device();
    const RSurface* ds = Valid(dest);
    const RSurface* ss = Valid(src);
    if (!d || !ds || !ss) return;
    // 64-bit arithmetic: script arguments may sit near the ends of the 32-bit range.
    int64_t X = x, Y = y, XS = xs, YS = ys, WS = ws, HS = hs;
    if (XS < 0) X -= XS, WS += XS, XS = 0;
    if (YS < 0) Y -= YS, HS += YS, YS = 0;
    WS = std::min<int64_t>(WS, ss->w - XS);
    HS = std::min<int64_t>(HS, ss->h - YS);
    if (X < 0) XS -= X, WS += X, X = 0;
    if (Y < 0) YS -= Y, HS += Y, Y = 0;
    WS = std::min<int64_t>(WS, ds->w - X);
    HS = std::min<int64_t>(HS, ds->h - Y);
    if (WS <= 0 || HS <= 0) return;
    const RTexture* st = GR_Texture_Get(ss->tex);
    const RTexture* dt = GR_Texture_Get(ds->tex);
    if (!st || !dt) return;
    d->CopyRect(st->tex, {int32_t(XS), int32_t(YS), int32_t(WS), int32_t(HS)}, dt->tex, int32_t(X),
                int32_t(Y));
}

} // namespace kestrin
