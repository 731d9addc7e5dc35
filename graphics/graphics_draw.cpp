#include "graphics/graphics_draw.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "graphics/render_state.h"
#include "graphics/graphics_texture.h"
#include "graphics/graphics_window.h"
#include "base/numeric.h"

namespace kestrin {

namespace {
struct DrawState {
    double depth = 0;
    double alpha = 1.0;
    uint32_t colour = 0xFF000000;
    int32_t precision = 24;
    double rim_cos[65] = {};
    double rim_sin[65] = {};
    int32_t kind = 0;
    int32_t texture = -1;
    std::vector<Vertex> vertices;
    int32_t view = 0;
};
DrawState g_draw;

void BuildRim() {
    for (int32_t i = 0; i <= g_draw.precision; ++i) {
        const double a = 2.0 * M_PI * i / g_draw.precision;
        g_draw.rim_cos[i] = std::cos(a);
        g_draw.rim_sin[i] = std::sin(a);
    }
}

struct RimInit {
    RimInit() { BuildRim(); }
} g_rim_init;

// Draws with no texture bound.
void Emit(PrimitiveType type, int32_t count, const Vertex* v) {
    Device* d = RenderState_Device();
    if (!d || count <= 0) return;
    d->SetTexture(0);
    d->DrawPrimitive(type, count, v);
}

Vertex V(double x, double y, uint32_t c) {
    return {float(x), float(y), float(Draw_GetDepth()), c, 0.0f, 0.0f};
}

uint8_t Channel(int64_t colour, int shift) {
    return static_cast<uint8_t>(colour >> shift & 0xFF);
}

int32_t Clamp255(double v) {
    return static_cast<int32_t>(std::clamp(v, 0.0, 255.0));
}

// Sorts the corners and moves whole-numbered far edges by 0.01 so the far pixel centres are covered.
void SortAndAdjust(double& x1, double& y1, double& x2, double& y2) {
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    if (x2 == std::floor(x2)) x2 += 0.01;
    if (y2 == std::floor(y2)) y2 += 0.01;
}
} // namespace

uint32_t ToDeviceColour(int64_t colour, double alpha) {
    const double a = std::isnan(alpha) ? 0.0 : std::clamp(alpha * 255.0, 0.0, 255.0);
    return uint32_t(RoundToInt32Saturated(a)) << 24 | uint32_t(Channel(colour, 0)) << 16 |
           uint32_t(Channel(colour, 8)) << 8 | Channel(colour, 16);
}

int32_t FromDeviceColour(uint32_t argb) {
    return static_cast<int32_t>((argb >> 16 & 0xFF) | (argb & 0xFF00) | (argb & 0xFF) << 16);
}

int64_t MakeColourRgb(double r, double g, double b) {
    // Saturated parts keep the sum inside 64 bits whatever the arguments.
    static constexpr int64_t kPart = int64_t(1) << 40;
    auto part = [](double v) { return std::clamp<int64_t>(RoundToInt64Saturated(v), -kPart, kPart); };
    return part(r) + part(g) * 256 + part(b) * 65536;
}

namespace {
void ToHsv(int32_t colour, double& h, double& s, double& v) {
    const double r = Channel(colour, 0) / 255.0, g = Channel(colour, 8) / 255.0,
                 b = Channel(colour, 16) / 255.0;
    const double mx = std::max({r, g, b}), mn = std::min({r, g, b}), delta = mx - mn;
    v = std::trunc(mx * 255.0);
    s = mx == 0 ? 0.0 : std::trunc(delta / mx * 255.0);
    if (s == 0) {
        h = 0;
        return;
    }
    double hue;
    if (r == mx)
        hue = (g - b) * 60.0 / delta;
    else if (g == mx)
        hue = (b - r) * 60.0 / delta + 120.0;
    else
        hue = (r - g) * 60.0 / delta + 240.0;
    if (hue < 0) hue += 360.0;
    h = std::trunc(hue * 255.0 / 360.0);
}
} // namespace

int32_t ColourHue(int32_t colour) {
    double h, s, v;
    ToHsv(colour, h, s, v);
    return int32_t(h);
}
int32_t ColourSaturation(int32_t colour) {
    double h, s, v;
    ToHsv(colour, h, s, v);
    return int32_t(s);
}
int32_t ColourValue(int32_t colour) {
    double h, s, v;
    ToHsv(colour, h, s, v);
    return int32_t(v);
}

int32_t MakeColourHsv(double h, double s, double v) {
    if (!std::isfinite(h) || !std::isfinite(s) || !std::isfinite(v)) return 0;
    double hue = h * 360.0 / 255.0;
    if (hue == 360.0) hue = 0.0;
    const double sv = s / 255.0, vv = v / 255.0;
    double r, g, b;
    if (sv == 0) {
        r = g = b = vv;
    } else {
        const double sector = std::trunc(hue / 60.0);
        const double f = hue / 60.0 - sector;
        const double p = vv * (1 - sv), q = vv * (1 - sv * f), t = vv * (1 - sv * (1 - f));
        switch (static_cast<int>(std::fmod(sector, 6.0))) {
        case 0:
            r = vv, g = t, b = p;
            break;
        case 1:
            r = q, g = vv, b = p;
            break;
        case 2:
            r = p, g = vv, b = t;
            break;
        case 3:
            r = p, g = q, b = vv;
            break;
        case 4:
            r = t, g = p, b = vv;
            break;
        default:
            r = vv, g = p, b = q;
            break;
        }
    }
    // Out-of-range arguments must not reach the bytes of other channels.
    return Clamp255(std::trunc(r * 255)) | Clamp255(std::trunc(g * 255)) << 8 |
           Clamp255(std::trunc(b * 255)) << 16;
}

int32_t MergeColour(int32_t c1, int32_t c2, double amount) {
    int32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double a = Channel(c1, shift), b = Channel(c2, shift);
        out |= Clamp255(double(RoundToInt64Saturated((1 - amount) * a + amount * b))) << shift;
    }
    return out;
}

void Draw_Reset() {
    g_draw = DrawState{};
    BuildRim();
}

void Draw_SetColour(int64_t colour) {
    g_draw.colour = ToDeviceColour(colour, g_draw.alpha);
}
void Draw_SetAlpha(double alpha) {
    g_draw.alpha = std::isnan(alpha) ? 0.0 : std::clamp(alpha, 0.0, 1.0);
    g_draw.colour = ToDeviceColour(FromDeviceColour(g_draw.colour), g_draw.alpha);
}
uint32_t Draw_GetDeviceColour() {
    return g_draw.colour;
}
int32_t Draw_GetColour() {
    return FromDeviceColour(g_draw.colour);
}
double Draw_GetAlpha() {
    return g_draw.alpha;
}

void Draw_SetCirclePrecision(int64_t precision) {
    g_draw.precision = static_cast<int32_t>(std::clamp<int64_t>(precision, 4, 64) / 4 * 4);
    BuildRim();
}
int32_t Draw_GetCirclePrecision() {
    return g_draw.precision;
}

void Draw_SetDepth(double depth) {
    g_draw.depth = std::isnan(depth) ? 0.0 : std::clamp(depth, -16000.0, 16000.0);
}
double Draw_GetDepth() {
    return RenderState_Get3DMode() ? g_draw.depth : 0.0;
}
void Draw_SetCurrentView(int32_t view) {
    g_draw.view = view;
}
int32_t Draw_GetCurrentView() {
    return g_draw.view;
}

void Draw_Point(double x, double y, uint32_t colour, bool offset) {
    const double o = offset ? 0.01 : 0.0;
    const Vertex v = V(x + o, y + o, colour);
    Emit(PrimitiveType::PointList, 1, &v);
}

void Draw_Line(double x1, double y1, double x2, double y2, uint32_t c1, uint32_t c2) {
    const Vertex v[2] = {V(x1 + 0.01, y1 + 0.01, c1), V(x2 + 0.01, y2 + 0.01, c2)};
    Emit(PrimitiveType::LineList, 1, v);
}

void Draw_LineWidth(double x1, double y1, double x2, double y2, double w, uint32_t c1, uint32_t c2) {
    const double len = std::hypot(x2 - x1, y2 - y1);
    if (len == 0 || !std::isfinite(len)) return;
    const double dx = (x2 - x1) * w / (2 * len), dy = (y2 - y1) * w / (2 * len);
    const Vertex v[4] = {V(x1 - dy, y1 + dx, c1), V(x2 - dy, y2 + dx, c2), V(x2 + dy, y2 - dx, c2),
                         V(x1 + dy, y1 - dx, c1)};
    Emit(PrimitiveType::TriangleFan, 2, v);
}

void Draw_Rectangle(double x1, double y1, double x2, double y2, const uint32_t (&c)[4], bool outline) {
    SortAndAdjust(x1, y1, x2, y2);
    const Vertex v[5] = {V(x1, y1, c[0]), V(x2, y1, c[1]), V(x2, y2, c[2]), V(x1, y2, c[3]), V(x1, y1, c[0])};
    if (outline)
        Emit(PrimitiveType::LineStrip, 4, v);
    else
        Emit(PrimitiveType::TriangleFan, 2, v);
}

void Draw_Triangle(double x1, double y1, double x2, double y2, double x3, double y3, uint32_t c1, uint32_t c2,
                   uint32_t c3, bool outline) {
    const Vertex v[4] = {V(x1, y1, c1), V(x2, y2, c2), V(x3, y3, c3), V(x1, y1, c1)};
    if (outline)
        Emit(PrimitiveType::LineStrip, 3, v);
    else
        Emit(PrimitiveType::TriangleList, 1, v);
}

void Draw_Ellipse(double x1, double y1, double x2, double y2, uint32_t c1, uint32_t c2, bool outline) {
    const int32_t p = g_draw.precision;
    const double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2, rx = std::fabs(x2 - x1) / 2,
                 ry = std::fabs(y2 - y1) / 2;
    Vertex v[66];
    v[0] = V(cx, cy, c1);
    for (int32_t i = 0; i <= p; ++i)
        v[i + 1] = V(cx + rx * g_draw.rim_cos[i], cy + ry * g_draw.rim_sin[i], c2);
    if (outline) {
        // The last distinct rim point: the strip then runs once round the rim and closes
        // without a zero-length segment.
        v[0] = v[p];
        Emit(PrimitiveType::LineStrip, p, v);
    } else {
        Emit(PrimitiveType::TriangleFan, p, v);
    }
}

void Draw_RoundRect(double x1, double y1, double x2, double y2, uint32_t c1, uint32_t c2, bool outline) {
    SortAndAdjust(x1, y1, x2, y2);
    const int32_t p = g_draw.precision, quarter = p / 4;
    const double width = x2 - x1, height = y2 - y1;
    const double cw = std::min(10.0, width), ch = std::min(10.0, height);
    const double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
    const double ox = (width - cw) / 2, oy = (height - ch) / 2;
    const double centres[4][2] = {
        {cx + ox, cy + oy}, {cx - ox, cy + oy}, {cx - ox, cy - oy}, {cx + ox, cy - oy}};
    std::vector<Vertex> v;
    v.reserve(size_t(p) + 6);
    v.push_back(V(cx, cy, c1));
    for (int q = 0; q < 4; ++q)
        for (int32_t i = q * quarter; i <= (q + 1) * quarter; ++i)
            v.push_back(V(centres[q][0] + cw / 2 * g_draw.rim_cos[i],
                          centres[q][1] + ch / 2 * g_draw.rim_sin[i], c2));
    v.push_back(v[1]);
    if (outline)
        Emit(PrimitiveType::LineStrip, static_cast<int32_t>(v.size()) - 2, v.data() + 1);
    else
        Emit(PrimitiveType::TriangleFan, p + 4, v.data());
}

void Draw_Arrow(double x1, double y1, double x2, double y2, double size) {
    const double len = std::hypot(x2 - x1, y2 - y1);
    if (len == 0 || !std::isfinite(len)) return;
    const uint32_t c = g_draw.colour;
    Draw_Line(x1, y1, x2, y2, c, c);
    const double s = std::min(len, size);
    const double ux = (x2 - x1) / len * s, uy = (y2 - y1) / len * s;
    Draw_Triangle(x2, y2, x2 - ux - uy / 3, y2 - uy + ux / 3, x2 - ux + uy / 3, y2 - uy - ux / 3, c, c, c,
                  false);
}

void Draw_Button(double x1, double y1, double x2, double y2, bool up) {
    const uint32_t white = ToDeviceColour(0xFFFFFF, g_draw.alpha),
                   grey = ToDeviceColour(8421504, g_draw.alpha);
    const uint32_t light = up ? white : grey, dark = up ? grey : white;
    Draw_Triangle(x1, y1, x2, y1, x1, y2, light, light, light, false);
    Draw_Triangle(x1, y2, x2, y1, x2, y2, dark, dark, dark, false);
    const uint32_t c = g_draw.colour;
    Draw_Rectangle(x1 + 2, y1 + 2, x2 - 2, y2 - 2, {c, c, c, c}, false);
}

void Draw_Healthbar(double x1, double y1, double x2, double y2, double amount, int32_t backcol,
                    int32_t mincol, int32_t maxcol, int32_t direction, bool showback, bool showborder) {
    const uint32_t black = ToDeviceColour(0, g_draw.alpha);
    if (showback) {
        const uint32_t b = ToDeviceColour(backcol, g_draw.alpha);
        Draw_Rectangle(x1, y1, x2, y2, {b, b, b, b}, false);
        if (showborder) Draw_Rectangle(x1, y1, x2, y2, {black, black, black, black}, true);
    }
    amount = std::isnan(amount) ? 0.0 : std::clamp(amount, 0.0, 100.0);
    double bx1 = x1, by1 = y1, bx2 = x2, by2 = y2;
    switch (direction) {
    case 1:
        bx1 = x2 - (x2 - x1) * amount / 100;
        break;
    case 2:
        by2 = y1 + (y2 - y1) * amount / 100;
        break;
    case 3:
        by1 = y2 - (y2 - y1) * amount / 100;
        break;
    default:
        bx2 = x1 + (x2 - x1) * amount / 100;
        break;
    }
    const int32_t mid = MergeColour(mincol, maxcol, 0.5);
    const int32_t col =
        amount > 50 ? MergeColour(mid, maxcol, (amount - 50) / 50) : MergeColour(mincol, mid, amount / 50);
    const uint32_t c = ToDeviceColour(col, g_draw.alpha);
    Draw_Rectangle(bx1, by1, bx2, by2, {c, c, c, c}, false);
    if (showborder) Draw_Rectangle(bx1, by1, bx2, by2, {black, black, black, black}, true);
}

void Draw_PrimitiveBegin(int32_t kind, int32_t texture) {
    g_draw.kind = kind;
    g_draw.texture = texture;
    g_draw.vertices.clear();
}

void Draw_Vertex(double x, double y, uint32_t colour, double u, double v) {
    if (static_cast<int32_t>(g_draw.vertices.size()) >= kMaxFreeVertices) return;
    g_draw.vertices.push_back({float(x), float(y), float(Draw_GetDepth()), colour, float(u), float(v)});
}

void Draw_PrimitiveEnd() {
    Device* d = RenderState_Device();
    const int32_t n = static_cast<int32_t>(g_draw.vertices.size());
    int32_t count;
    switch (g_draw.kind) {
    case 1:
        count = n;
        break;
    case 2:
        count = n / 2;
        break;
    case 3:
        count = n - 1;
        break;
    case 4:
        count = n / 3;
        break;
    case 5:
    case 6:
        count = n - 2;
        break;
    default:
        return;
    }
    if (!d || count <= 0) return;
    GR_Texture_Set(g_draw.texture);
    d->DrawPrimitive(static_cast<PrimitiveType>(g_draw.kind), count, g_draw.vertices.data());
    d->SetTexture(0);
}

int32_t Draw_GetPixel(double x, double y) {
    const auto& views = ViewMappings();
    PointD p{x, y};
    if (g_draw.view >= 0 && g_draw.view < kViewMappings) p = RoomToRegion(views[size_t(g_draw.view)], x, y);
    return RenderState_GetPixel(RoundToInt32Saturated(p.x), RoundToInt32Saturated(p.y));
}

} // namespace kestrin
