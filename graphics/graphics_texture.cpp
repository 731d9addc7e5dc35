#include "graphics/graphics_texture.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/numeric.h"
#include "graphics/graphics_draw.h"
#include "graphics/render_state.h"
#include "script/errors.h"

namespace kestrin {

namespace {
std::vector<RTexture> g_textures;
uint64_t g_generation = 0;

int32_t FreeSlot() {
    for (size_t i = 0; i < g_textures.size(); ++i)
        if (!g_textures[i].used) return static_cast<int32_t>(i);
    g_textures.emplace_back();
    return static_cast<int32_t>(g_textures.size() - 1);
}

void Trace(const std::string& line) {
    TraceLine(line);
}

bool SizeAllowed(int32_t w, int32_t h) {
    return w > 0 && h > 0 && int64_t(w) * h <= kMaxBitmapPixels;
}

const RTexture* Valid(int32_t id) {
    if (id < 0 || id >= static_cast<int32_t>(g_textures.size()) || !g_textures[size_t(id)].used)
        return nullptr;
    return &g_textures[size_t(id)];
}
} // namespace

void GR_Texture_Init() {
    if (Device* d = RenderState_Device())
        for (RTexture& t : g_textures)
            if (t.used) d->FreeTexture(t.tex);
    g_textures.clear();
    ++g_generation;
}

uint64_t GR_Texture_Generation() {
    return g_generation;
}

int32_t GR_Texture_Create_And_Fill(int32_t w, int32_t h, const TColor32* pixels) {
    Device* d = RenderState_Device();
    Trace("GR_Texture_Create_And_Fill :: Find an empty index");
    if (!d || !SizeAllowed(w, h) || !pixels) return -1;
    const int32_t id = FreeSlot();
    Trace("GR_Texture_Create_And_Fill :: Found an empty index id=" + std::to_string(id));
    Trace("GR_Texture_Create_And_Fill :: Check Texture Requirements w=" + std::to_string(w) +
          " h=" + std::to_string(h));
    RTexture t;
    d->TextureSize(w, h, t.wt, t.ht);
    // A device caps its texture sizes; an image larger than that cap cannot be held.
    if (t.wt < w || t.ht < h) return -1;
    Trace("GR_Texture_Create_And_Fill :: D3DXCreateTextureFromFileInMemoryEx w=" + std::to_string(t.wt) +
          " h=" + std::to_string(t.ht));
    t.tex = d->CreateTexture(t.wt, t.ht, false);
    // Filtered sampling at the right and bottom edges reaches one texel into the padding;
    // a copy of the edge there keeps transparent black from bleeding in.
    const int32_t uw = std::min(w + 1, t.wt), uh = std::min(h + 1, t.ht);
    std::vector<TColor32> padded;
    if (uw != w || uh != h) {
        padded.resize(size_t(uw) * size_t(uh));
        for (int32_t y = 0; y < uh; ++y) {
            const TColor32* src = pixels + size_t(std::min(y, h - 1)) * size_t(w);
            TColor32* dst = padded.data() + size_t(y) * size_t(uw);
            std::copy(src, src + w, dst);
            if (uw > w) dst[w] = src[w - 1];
        }
        pixels = padded.data();
    }
    if (t.tex == 0 || !d->UploadTexture(t.tex, uw, uh, pixels)) {
        if (t.tex) d->FreeTexture(t.tex);
        Trace("GR_Texture_Create_Empty :: D3DXError = texture creation failed");
        return -1;
    }
    t.w = w;
    t.h = h;
    t.used = true;
    g_textures[size_t(id)] = t;
    Trace("GR_Texture_Create_Empty :: Finished");
    return id;
}

int32_t GR_Texture_Create_From_Bitmap(const TBitmap32* bitmap) {
    if (!bitmap || bitmap->Empty()) return -1;
    return GR_Texture_Create_And_Fill(bitmap->Width(), bitmap->Height(), bitmap->s_data.data());
}

int32_t GR_Texture_Create_From_Alpha(int32_t w, int32_t h, const uint8_t* alphas) {
    if (!SizeAllowed(w, h) || !alphas) return -1;
    std::vector<TColor32> pixels(size_t(w) * size_t(h));
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint32_t(alphas[i]) << 24 | 0xFFFFFF;
    return GR_Texture_Create_And_Fill(w, h, pixels.data());
}

int32_t GR_Texture_Create_Empty(int32_t w, int32_t h, bool renderTarget) {
    Device* d = RenderState_Device();
    Trace("GR_Texture_Create_Empty :: Find an empty index");
    if (!d || !SizeAllowed(w, h)) return -1;
    Trace(renderTarget ? "GR_Texture_Create_Empty :: Render Target" : "GR_Texture_Create_Empty :: Texture");
    const int32_t id = FreeSlot();
    Trace("GR_Texture_Create_Empty :: Found an empty index id=" + std::to_string(id));
    Trace("GR_Texture_Create_Empty :: Check Texture Requirements w=" + std::to_string(w) +
          " h=" + std::to_string(h));
    RTexture t;
    d->TextureSize(w, h, t.wt, t.ht);
    // A surface beyond the device's cap would be drawn to and read back past its texture.
    if (t.wt < w || t.ht < h) return -1;
    Trace("GR_Texture_Create_Empty :: D3DXCreateTexture w=" + std::to_string(t.wt) +
          " h=" + std::to_string(t.ht));
    t.tex = d->CreateTexture(t.wt, t.ht, renderTarget);
    if (t.tex == 0) return -1;
    t.w = w;
    t.h = h;
    t.used = true;
    t.render_target = renderTarget;
    g_textures[size_t(id)] = t;
    Trace("GR_Texture_Create_Empty :: Finished");
    return id;
}

void GR_Texture_Free(int32_t id) {
    Trace("GR_Texture_Free :: " + std::to_string(id));
    if (!Valid(id)) return;
    if (Device* d = RenderState_Device()) d->FreeTexture(g_textures[size_t(id)].tex);
    g_textures[size_t(id)] = RTexture{};
    Trace("GR_Texture_Free :: Finished");
}

bool GR_Texture_Exists(int32_t id) {
    return Valid(id) != nullptr;
}
const RTexture* GR_Texture_Get(int32_t id) {
    return Valid(id);
}
int32_t GR_Texture_Count() {
    return static_cast<int32_t>(g_textures.size());
}

double GR_Texture_GetWidth(int32_t id) {
    const RTexture* t = Valid(id);
    return t ? double(t->w) / t->wt : 1.0;
}
double GR_Texture_GetHeight(int32_t id) {
    const RTexture* t = Valid(id);
    return t ? double(t->h) / t->ht : 1.0;
}

// Textures live in the device's memory from creation on; there is nothing to preload or rank.
void GR_Texture_Preload(int32_t) {}
void GR_Texture_SetPriority(int32_t, int32_t) {}

void GR_Texture_Set(int32_t id) {
    Device* d = RenderState_Device();
    if (!d) return;
    const RTexture* t = Valid(id);
    d->SetTexture(t ? t->tex : 0);
}

uint32_t QuadColour(int32_t colour, double alpha) {
    const double a = std::clamp(alpha * 255.0, 0.0, 255.0);
    const uint32_t c = static_cast<uint32_t>(colour);
    return uint32_t(RoundToInt32Saturated(a)) << 24 | (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

namespace {
struct Corner {
    double x, y;
};

// Draws the fan top-left, top-right, bottom-right, bottom-left.
void DrawQuad(const RTexture& t, const Corner (&p)[4], const uint32_t (&colour)[4], double ua, double va,
              double ub, double vb) {
    Device* d = RenderState_Device();
    if (!d) return;
    RenderState_SetAddress(TextureAddress::Clamp);
    d->SetTexture(t.tex);
    const float z = static_cast<float>(Draw_GetDepth());
    const double u[4] = {ua, ub, ub, ua}, v[4] = {va, va, vb, vb};
    Vertex vx[4];
    for (int i = 0; i < 4; ++i)
        vx[i] = {float(p[i].x), float(p[i].y), z, colour[i], float(u[i]), float(v[i])};
    d->DrawPrimitive(PrimitiveType::TriangleFan, 2, vx);
}

// Offsets (l, t)-(r, b) from (x, y), turned by angle radians about (x, y) when it matters.
void Corners(double x, double y, double l, double t, double r, double b, double angle, Corner (&p)[4]) {
    if (std::fabs(angle) < 0.001) {
        p[0] = {x + l, y + t};
        p[1] = {x + r, y + t};
        p[2] = {x + r, y + b};
        p[3] = {x + l, y + b};
        return;
    }
    const double c = std::cos(angle), s = std::sin(angle);
    const double dx[4] = {l, r, r, l}, dy[4] = {t, t, b, b};
    for (int i = 0; i < 4; ++i) p[i] = {x + dx[i] * c + dy[i] * s, y - dx[i] * s + dy[i] * c};
}
} // namespace

void GR_Texture_Draw(int32_t id, double x, double y) {
    const RTexture* t = Valid(id);
    if (!t) return;
    Corner p[4];
    Corners(x, y, -0.5, -0.5, t->w - 0.5, t->h - 0.5, 0, p);
    const uint32_t c = 0xFFFFFFFF;
    DrawQuad(*t, p, {c, c, c, c}, 0, 0, double(t->w) / t->wt, double(t->h) / t->ht);
}

void GR_Texture_DrawTransformed(int32_t id, int32_t colour, double xo, double yo, double x, double y,
                                double xscale, double yscale, double angle, double alpha) {
    const RTexture* t = Valid(id);
    if (!t) return;
    const double l = -xscale * xo - 0.5, tp = -yscale * yo - 0.5;
    Corner p[4];
    Corners(x, y, l, tp, l + t->w * xscale, tp + t->h * yscale, angle, p);
    const uint32_t c = QuadColour(colour, alpha);
    DrawQuad(*t, p, {c, c, c, c}, 0, 0, double(t->w) / t->wt, double(t->h) / t->ht);
}

void GR_Texture_DrawGeneral(int32_t id, int32_t c1, int32_t c2, int32_t c3, int32_t c4, double left,
                            double top, double width, double height, double x, double y, double xscale,
                            double yscale, double angle, double alpha) {
    const RTexture* t = Valid(id);
    if (!t) return;
    Corner p[4];
    Corners(x, y, -0.5, -0.5, width * xscale - 0.5, height * yscale - 0.5, angle, p);
    DrawQuad(*t, p,
             {QuadColour(c1, alpha), QuadColour(c2, alpha), QuadColour(c3, alpha), QuadColour(c4, alpha)},
             left / t->wt, top / t->ht, (left + width) / t->wt, (top + height) / t->ht);
}

void GR_Texture_DrawPart(int32_t id, int32_t colour, double left, double top, double width, double height,
                         double x, double y, double xscale, double yscale, double angle, double alpha) {
    GR_Texture_DrawGeneral(id, colour, colour, colour, colour, left, top, width, height, x, y, xscale, yscale,
                           angle, alpha);
}

void GR_Texture_DrawPos(int32_t id, double alpha, double x1, double y1, double x2, double y2, double x3,
                        double y3, double x4, double y4) {
    const RTexture* t = Valid(id);
    if (!t) return;
    const Corner p[4] = {
        {x1 - 0.5, y1 - 0.5}, {x2 - 0.5, y2 - 0.5}, {x3 - 0.5, y3 - 0.5}, {x4 - 0.5, y4 - 0.5}};
    const uint32_t c = QuadColour(0xFFFFFF, alpha);
    DrawQuad(*t, p, {c, c, c, c}, 0, 0, double(t->w) / t->wt, double(t->h) / t->ht);
}

namespace {
// The first tile origin along one axis: at `pos`, or when tiled the last origin at or left of
// the area start (plus steps) whose tile still reaches into the area.
int64_t FirstTile(double pos, int64_t step, bool tiled, double areaStart) {
    int64_t c = RoundToInt64Saturated(pos);
    if (!tiled) return c;
    c = c % step;
    if (c >= 1) c -= step;
    if (double(c + step) < areaStart) {
        const double k = std::ceil((areaStart - double(c)) / double(step)) - 1.0;
        if (k > 0) c += RoundToInt64Saturated(k) * step;
        while (double(c + step) < areaStart) c += step;
    }
    return c;
}
} // namespace

void GR_Texture_DrawTiled(int32_t id, bool htiled, bool vtiled, double xo, double yo, double x, double y,
                          double xscale, double yscale, double xr, double yr, double wr, double hr,
                          int32_t colour, double alpha) {
    const RTexture* t = Valid(id);
    if (!t) return;
    const int64_t stepx = RoundToInt64Saturated(t->w * xscale), stepy = RoundToInt64Saturated(t->h * yscale);
    if (stepx < 1 || stepy < 1) return;
    const double l = -xscale * xo - 0.5, tp = -yscale * yo - 0.5;
    const double r = l + t->w * xscale, b = tp + t->h * yscale;
    const uint32_t c = QuadColour(colour, alpha);
    const int64_t firstx = FirstTile(x, stepx, htiled, xr), firsty = FirstTile(y, stepy, vtiled, yr);
    // A hostile scale must not make the loops run for ever.
    constexpr int64_t kMaxTiles = 1 << 20;
    int64_t drawn = 0;
    for (int64_t cx = firstx; double(cx) < xr + wr; cx += stepx) {
        for (int64_t cy = firsty; double(cy) < yr + hr; cy += stepy) {
            Corner p[4];
            Corners(double(cx), double(cy), l, tp, r, b, 0, p);
            DrawQuad(*t, p, {c, c, c, c}, 0, 0, double(t->w) / t->wt, double(t->h) / t->ht);
            if (++drawn >= kMaxTiles || !vtiled) break;
        }
        if (drawn >= kMaxTiles || !htiled) break;
    }
}

} // namespace kestrin
