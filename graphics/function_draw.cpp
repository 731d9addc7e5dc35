// Drawing state, colour and primitive built-ins.

#include <cstdint>

#include "base/numeric.h"
#include "graphics/function_args.h"
#include "graphics/function_draw.h"
#include "graphics/function_texture.h"
#include "graphics/function_window.h"
#include "graphics/graphics_draw.h"
#include "graphics/render_state.h"
#include "script/value.h"

namespace kestrin {

namespace {

using graphics_args::Args;
using graphics_args::B;
using graphics_args::D;

// 64 bits here, unlike the other graphics tables: colours are reduced from the whole integer.
int64_t I(Args a, int i) {
    return RoundToInt64Saturated(a[i].val());
}
int32_t C(Args a, int i) {
    return LowBits32(I(a, i));
}
uint32_t Col(Args a, int i) {
    return ToDeviceColour(I(a, i), Draw_GetAlpha());
}
uint32_t Cur() {
    return Draw_GetDeviceColour();
}

ROUTINE(draw_set_color) {
    Draw_SetColour(I(a, 0));
}
ROUTINE(draw_set_alpha) {
    Draw_SetAlpha(D(a, 0));
}
ROUTINE(draw_get_color) {
    r.SetReal(Draw_GetColour());
}
ROUTINE(draw_get_alpha) {
    r.SetReal(Draw_GetAlpha());
}
ROUTINE(make_color_rgb) {
    r.SetReal(double(MakeColourRgb(D(a, 0), D(a, 1), D(a, 2))));
}
ROUTINE(make_color_hsv) {
    r.SetReal(MakeColourHsv(D(a, 0), D(a, 1), D(a, 2)));
}
// Truncating division and remainder, so negative colours give negative channels as they always have.
ROUTINE(color_get_red) {
    r.SetReal(double(I(a, 0) % 256));
}
ROUTINE(color_get_green) {
    r.SetReal(double(I(a, 0) / 256 % 256));
}
ROUTINE(color_get_blue) {
    r.SetReal(double(I(a, 0) / 65536 % 256));
}
ROUTINE(color_get_hue) {
    r.SetReal(ColourHue(C(a, 0)));
}
ROUTINE(color_get_saturation) {
    r.SetReal(ColourSaturation(C(a, 0)));
}
ROUTINE(color_get_value) {
    r.SetReal(ColourValue(C(a, 0)));
}
ROUTINE(merge_color) {
    r.SetReal(MergeColour(C(a, 0), C(a, 1), D(a, 2)));
}
ROUTINE(draw_set_blend_mode) {
    RenderState_SetBlendMode(C(a, 0));
}
ROUTINE(draw_set_blend_mode_ext) {
    RenderState_SetBlendModeExt(C(a, 0), C(a, 1));
}

void Clear(uint32_t argb) {
    if (Device* d = RenderState_Device()) d->Clear(kClearTarget | kClearZBuffer, argb, 1.0f);
}
ROUTINE(draw_clear) {
    Clear(ToDeviceColour(I(a, 0), 1.0));
}
ROUTINE(draw_clear_alpha) {
    Clear(ToDeviceColour(I(a, 0), D(a, 1)));
}
ROUTINE(draw_set_circle_precision) {
    Draw_SetCirclePrecision(I(a, 0));
}
ROUTINE(draw_getpixel) {
    r.SetReal(Draw_GetPixel(D(a, 0), D(a, 1)));
}

ROUTINE(draw_point) {
    Draw_Point(D(a, 0), D(a, 1), Cur(), false);
}
ROUTINE(draw_point_color) {
    Draw_Point(D(a, 0), D(a, 1), Col(a, 2), true);
}
ROUTINE(draw_line) {
    Draw_Line(D(a, 0), D(a, 1), D(a, 2), D(a, 3), Cur(), Cur());
}
ROUTINE(draw_line_color) {
    Draw_Line(D(a, 0), D(a, 1), D(a, 2), D(a, 3), Col(a, 4), Col(a, 5));
}
ROUTINE(draw_line_width) {
    Draw_LineWidth(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), Cur(), Cur());
}
ROUTINE(draw_line_width_color) {
    Draw_LineWidth(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), Col(a, 5), Col(a, 6));
}
ROUTINE(draw_rectangle) {
    const uint32_t c = Cur();
    Draw_Rectangle(D(a, 0), D(a, 1), D(a, 2), D(a, 3), {c, c, c, c}, B(a, 4));
}
ROUTINE(draw_rectangle_color) {
    Draw_Rectangle(D(a, 0), D(a, 1), D(a, 2), D(a, 3), {Col(a, 4), Col(a, 5), Col(a, 6), Col(a, 7)}, B(a, 8));
}
ROUTINE(draw_roundrect) {
    Draw_RoundRect(D(a, 0), D(a, 1), D(a, 2), D(a, 3), Cur(), Cur(), B(a, 4));
}
ROUTINE(draw_roundrect_color) {
    Draw_RoundRect(D(a, 0), D(a, 1), D(a, 2), D(a, 3), Col(a, 4), Col(a, 5), B(a, 6));
}
ROUTINE(draw_triangle) {
    Draw_Triangle(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), Cur(), Cur(), Cur(), B(a, 6));
}
ROUTINE(draw_triangle_color) {
    Draw_Triangle(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), Col(a, 6), Col(a, 7), Col(a, 8),
                  B(a, 9));
}
ROUTINE(draw_circle) {
    const double x = D(a, 0), y = D(a, 1), rad = D(a, 2);
    Draw_Ellipse(x - rad, y - rad, x + rad, y + rad, Cur(), Cur(), B(a, 3));
}
ROUTINE(draw_circle_color) {
    const double x = D(a, 0), y = D(a, 1), rad = D(a, 2);
    Draw_Ellipse(x - rad, y - rad, x + rad, y + rad, Col(a, 3), Col(a, 4), B(a, 5));
}
ROUTINE(draw_ellipse) {
    Draw_Ellipse(D(a, 0), D(a, 1), D(a, 2), D(a, 3), Cur(), Cur(), B(a, 4));
}
ROUTINE(draw_ellipse_color) {
    Draw_Ellipse(D(a, 0), D(a, 1), D(a, 2), D(a, 3), Col(a, 4), Col(a, 5), B(a, 6));
}
ROUTINE(draw_arrow) {
    Draw_Arrow(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4));
}
ROUTINE(draw_button) {
    Draw_Button(D(a, 0), D(a, 1), D(a, 2), D(a, 3), B(a, 4));
}
ROUTINE(draw_healthbar) {
    Draw_Healthbar(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), C(a, 5), C(a, 6), C(a, 7), C(a, 8), B(a, 9),
                   B(a, 10));
}

ROUTINE(draw_primitive_begin) {
    Draw_PrimitiveBegin(C(a, 0), -1);
}
ROUTINE(draw_primitive_begin_texture) {
    Draw_PrimitiveBegin(C(a, 0), C(a, 1));
}
ROUTINE(draw_vertex) {
    Draw_Vertex(D(a, 0), D(a, 1), Cur(), 0, 0);
}
ROUTINE(draw_vertex_color) {
    Draw_Vertex(D(a, 0), D(a, 1), ToDeviceColour(I(a, 2), D(a, 3)), 0, 0);
}
ROUTINE(draw_vertex_texture) {
    Draw_Vertex(D(a, 0), D(a, 1), Cur(), D(a, 2), D(a, 3));
}
ROUTINE(draw_vertex_texture_color) {
    Draw_Vertex(D(a, 0), D(a, 1), ToDeviceColour(I(a, 4), D(a, 5)), D(a, 2), D(a, 3));
}
ROUTINE(draw_primitive_end) {
    Draw_PrimitiveEnd();
}

#undef ROUTINE

constexpr RFunctionSpec kFunctions[] = {
    {"draw_set_color", draw_set_color, 1},
    {"draw_set_alpha", draw_set_alpha, 1},
    {"draw_get_color", draw_get_color, 0},
    {"draw_get_alpha", draw_get_alpha, 0},
    {"make_color", make_color_rgb, 3},
    {"make_color_rgb", make_color_rgb, 3},
    {"make_color_hsv", make_color_hsv, 3},
    {"color_get_red", color_get_red, 1},
    {"color_get_green", color_get_green, 1},
    {"color_get_blue", color_get_blue, 1},
    {"color_get_hue", color_get_hue, 1},
    {"color_get_saturation", color_get_saturation, 1},
    {"color_get_value", color_get_value, 1},
    {"merge_color", merge_color, 3},
    {"draw_set_blend_mode", draw_set_blend_mode, 1},
    {"draw_set_blend_mode_ext", draw_set_blend_mode_ext, 2},
    {"draw_clear", draw_clear, 1},
    {"draw_clear_alpha", draw_clear_alpha, 2},
    {"draw_set_circle_precision", draw_set_circle_precision, 1},
    {"draw_getpixel", draw_getpixel, 2},
    {"draw_point", draw_point, 2},
    {"draw_point_color", draw_point_color, 3},
    {"draw_line", draw_line, 4},
    {"draw_line_color", draw_line_color, 6},
    {"draw_line_width", draw_line_width, 5},
    {"draw_line_width_color", draw_line_width_color, 7},
    {"draw_rectangle", draw_rectangle, 5},
    {"draw_rectangle_color", draw_rectangle_color, 9},
    {"draw_roundrect", draw_roundrect, 5},
    {"draw_roundrect_color", draw_roundrect_color, 7},
    {"draw_triangle", draw_triangle, 7},
    {"draw_triangle_color", draw_triangle_color, 10},
    {"draw_circle", draw_circle, 4},
    {"draw_circle_color", draw_circle_color, 6},
    {"draw_ellipse", draw_ellipse, 5},
    {"draw_ellipse_color", draw_ellipse_color, 7},
    {"draw_arrow", draw_arrow, 5},
    {"draw_button", draw_button, 5},
    {"draw_healthbar", draw_healthbar, 11},
    {"draw_primitive_begin", draw_primitive_begin, 1},
    {"draw_primitive_begin_texture", draw_primitive_begin_texture, 2},
    {"draw_vertex", draw_vertex, 2},
    {"draw_vertex_color", draw_vertex_color, 4},
    {"draw_vertex_texture", draw_vertex_texture, 4},
    {"draw_vertex_texture_color", draw_vertex_texture_color, 6},
    {"draw_primitive_end", draw_primitive_end, 0},
};

} // namespace

std::span<const RFunctionSpec> DrawFunctions() {
    return kFunctions;
}

} // namespace kestrin
