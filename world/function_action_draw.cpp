// The drawing actions. Every position is relative to the caller when the relative flag is
// set; the drawing itself is the drawing built-ins'.

#include <cmath>
#include <cstdio>
#include <string>

#include "runner/game_variables.h"
#include "runner/game_world.h"
#include "runner/instance.h"
#include "runner/room.h"
#include "script/run_error.h"
#include "world/action_messages.h"
#include "world/action_support.h"
#include "world/function_action.h"

namespace kestrin {

namespace {

using namespace action;

RValue X(CScriptInstance* self, Args a, int i) {
    const CInstance* me = AsInstance(self);
    return R(Rel(D(a, i), me ? me->i_x : 0));
}
RValue Y(CScriptInstance* self, Args a, int i) {
    const CInstance* me = AsInstance(self);
    return R(Rel(D(a, i), me ? me->i_y : 0));
}

constexpr double kWhite = 0xFFFFFF;

ROUTINE(action_draw_sprite) {
    if (CallReal("sprite_exists", self, other, {a[0]}) < 0.5)
        return ReportRunError(msg::kActionDrawSpriteMissing, false);
    double subimage = D(a, 3);
    if (subimage < 0) {
        const CInstance* me = AsInstance(self);
        subimage = me ? me->i_imageindex : 0;
    }
    Call("draw_sprite_ext", self, other,
         {a[0], R(std::floor(subimage)), X(self, a, 1), Y(self, a, 2), R(1), R(1), R(0), R(kWhite), R(1)});
}
ROUTINE(action_draw_background) {
    if (CallReal("background_exists", self, other, {a[0]}) < 0.5)
        return ReportRunError(msg::kActionDrawBackgroundMissing, false);
    if (!B(a, 3)) {
        Call("draw_background_ext", self, other,
             {a[0], X(self, a, 1), Y(self, a, 2), R(1), R(1), R(0), R(kWhite), R(1)});
        return;
    }
    // Tiled over the whole room, whatever part of it the view shows.
    const CRoom* room = World().Current();
    const double width = CallReal("background_get_width", self, other, {a[0]});
    const double height = CallReal("background_get_height", self, other, {a[0]});
    if (!room || width <= 0 || height <= 0) return;
    // A tiny tile over a huge room is not worth millions of draws.
    if (double(room->r_width) / width * (double(room->r_height) / height) > 1e6) return;
    const double x = X(self, a, 1).val(), y = Y(self, a, 2).val();
    const double x0 = x - std::ceil(x / width) * width, y0 = y - std::ceil(y / height) * height;
    for (double ty = y0; ty < room->r_height; ty += height)
        for (double tx = x0; tx < room->r_width; tx += width)
            Call("draw_background_ext", self, other, {a[0], R(tx), R(ty), R(1), R(1), R(0), R(kWhite), R(1)});
}
ROUTINE(action_draw_text) {
    Call("draw_text", self, other, {X(self, a, 1), Y(self, a, 2), a[0]});
}
ROUTINE(action_draw_text_transformed) {
    Call("draw_text_transformed", self, other, {X(self, a, 1), Y(self, a, 2), a[0], a[3], a[4], a[5]});
}
// Whole numbers without decimals, other reals with two.
ROUTINE(action_draw_variable) {
    RValue text = a[0];
    if (!a[0].IsString()) {
        const double v = a[0].val();
        char buffer[64];
        if (std::isfinite(v) && v == std::trunc(v) && std::fabs(v) < 1e15)
            std::snprintf(buffer, sizeof buffer, "%.0f", v);
        else
            std::snprintf(buffer, sizeof buffer, "%.2f", v);
        text = RValue(std::string_view(buffer));
    }
    Call("draw_text", self, other, {X(self, a, 1), Y(self, a, 2), text});
}
ROUTINE(action_draw_rectangle) {
    Call("draw_rectangle", self, other,
         {X(self, a, 0), Y(self, a, 1), X(self, a, 2), Y(self, a, 3), R(B(a, 4) ? 0 : 1)});
}
ROUTINE(action_draw_ellipse) {
    Call("draw_ellipse", self, other,
         {X(self, a, 0), Y(self, a, 1), X(self, a, 2), Y(self, a, 3), R(B(a, 4) ? 0 : 1)});
}
ROUTINE(action_draw_gradient_hor) {
    Call("draw_rectangle_color", self, other,
         {X(self, a, 0), Y(self, a, 1), X(self, a, 2), Y(self, a, 3), a[4], a[5], a[5], a[4], R(0)});
}
ROUTINE(action_draw_gradient_vert) {
    Call("draw_rectangle_color", self, other,
         {X(self, a, 0), Y(self, a, 1), X(self, a, 2), Y(self, a, 3), a[4], a[4], a[5], a[5], R(0)});
}
ROUTINE(action_draw_ellipse_gradient) {
    Call("draw_ellipse_color", self, other,
         {X(self, a, 0), Y(self, a, 1), X(self, a, 2), Y(self, a, 3), a[4], a[5], R(0)});
}
ROUTINE(action_draw_line) {
    Call("draw_line", self, other, {X(self, a, 0), Y(self, a, 1), X(self, a, 2), Y(self, a, 3)});
}
ROUTINE(action_draw_arrow) {
    Call("draw_arrow", self, other, {X(self, a, 0), Y(self, a, 1), X(self, a, 2), Y(self, a, 3), a[4]});
}
ROUTINE(action_color) {
    Call("draw_set_color", self, other, {a[0]});
}
ROUTINE(action_font) {
    Call("draw_set_font", self, other, {a[0]});
    Call("draw_set_halign", self, other, {a[1]});
}
ROUTINE(action_effect) {
    Call(D(a, 5) < 0.5 ? "effect_create_below" : "effect_create_above", self, other,
         {a[0], X(self, a, 1), Y(self, a, 2), a[3], a[4]});
}

#undef ROUTINE

constexpr RFunctionSpec kFunctions[] = {
    {"action_draw_sprite", action_draw_sprite, 4},
    {"action_draw_background", action_draw_background, 4},
    {"action_draw_text", action_draw_text, 3},
    {"action_draw_text_transformed", action_draw_text_transformed, 6},
    {"action_draw_variable", action_draw_variable, 3},
    {"action_draw_ellipse", action_draw_ellipse, 5},
    {"action_draw_rectangle", action_draw_rectangle, 5},
    {"action_draw_gradient_hor", action_draw_gradient_hor, 6},
    {"action_draw_gradient_vert", action_draw_gradient_vert, 6},
    {"action_draw_ellipse_gradient", action_draw_ellipse_gradient, 6},
    {"action_draw_arrow", action_draw_arrow, 5},
    {"action_draw_line", action_draw_line, 4},
    {"action_color", action_color, 1},
    {"action_font", action_font, 2},
    {"action_effect", action_effect, 6},
};

} // namespace

std::span<const RFunctionSpec> ActionDrawFunctions() {
    return kFunctions;
}

} // namespace kestrin
