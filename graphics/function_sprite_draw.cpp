#include "graphics/function_sprite_draw.h"

// The sprite drawing built-ins and sprite_get_texture.

#include <cmath>

#include "base/numeric.h"
#include "graphics/function_args.h"
#include "graphics/function_draw.h"
#include "graphics/function_texture.h"
#include "graphics/function_window.h"
#include "graphics/messages.h"
#include "graphics/room_draw.h"
#include "graphics/sprite.h"
#include "runner/game_variables.h"
#include "script/run_error.h"

namespace kestrin {

namespace {

using namespace graphics_args;

#undef ROUTINE
#define ROUTINE(name)                                                                                        \
    void name([[maybe_unused]] CScriptInstance* self, CScriptInstance*, [[maybe_unused]] int32_t argc,       \
              [[maybe_unused]] Args a, [[maybe_unused]] RValue& r)

constexpr int32_t kWhite = 0xFFFFFF;

// The frame argument; a negative one means the calling instance's current image.
int32_t Frame(CScriptInstance* self, Args a, int i) {
    const double subimg = D(a, i);
    if (!(subimg < 0)) return RoundToInt32Saturated(subimg);
    const CInstance* instance = AsInstance(self);
    return instance ? RoundToInt32Saturated(std::floor(instance->i_imageindex)) : 0;
}

const CSprite* SpriteArg(Args a) {
    const CSprite* s = Sprite_Get(I(a, 0));
    if (!s) ReportRunError(graphics_msg::kDrawNoSprite, false);
    return s;
}

void Tiled(const CSprite& s, int32_t frame, double x, double y, double xscale, double yscale, int32_t colour,
           double alpha) {
    int32_t w = 640, h = 480;
    if (CurrentGraphicsHooks().room_size) CurrentGraphicsHooks().room_size(w, h);
    s.DrawTiled(frame, x, y, xscale, yscale, true, true, 0, 0, w, h, colour, alpha);
}

ROUTINE(sprite_get_texture) {
    const CSprite* s = Sprite_Get(I(a, 0));
    if (!s) {
        ReportRunError(graphics_msg::kNoSpriteTexture, false);
        return;
    }
    r.SetReal(s->GetTexture(Frame(self, a, 1)));
}
ROUTINE(draw_self) {
    const CInstance* i = AsInstance(self);
    if (!i) return;
    const CSprite* s = Sprite_Get(i->i_spriteindex);
    if (!s) {
        ReportRunError(graphics_msg::kDrawNoSprite, false);
        return;
    }
    s->Draw(RoundToInt32Saturated(std::floor(i->i_imageindex)), i->i_x, i->i_y, i->i_imagescalex,
            i->i_imagescaley, i->i_imageangle, static_cast<int32_t>(i->i_imageblend & 0xFFFFFF),
            i->i_imagealpha);
}
ROUTINE(draw_sprite) {
    if (const CSprite* s = SpriteArg(a)) s->DrawSimple(Frame(self, a, 1), D(a, 2), D(a, 3));
}
ROUTINE(draw_sprite_ext) {
    if (const CSprite* s = SpriteArg(a))
        s->Draw(Frame(self, a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), D(a, 6), I(a, 7), D(a, 8));
}
ROUTINE(draw_sprite_stretched) {
    if (const CSprite* s = SpriteArg(a))
        s->DrawStretched(Frame(self, a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), kWhite, 1.0);
}
ROUTINE(draw_sprite_stretched_ext) {
    if (const CSprite* s = SpriteArg(a))
        s->DrawStretched(Frame(self, a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), I(a, 6), D(a, 7));
}
ROUTINE(draw_sprite_part) {
    if (const CSprite* s = SpriteArg(a))
        s->DrawPart(Frame(self, a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), D(a, 6), D(a, 7), 1, 1, kWhite,
                    1.0);
}
ROUTINE(draw_sprite_part_ext) {
    if (const CSprite* s = SpriteArg(a))
        s->DrawPart(Frame(self, a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), D(a, 6), D(a, 7), D(a, 8), D(a, 9),
                    I(a, 10), D(a, 11));
}
ROUTINE(draw_sprite_general) {
    if (const CSprite* s = SpriteArg(a))
        s->DrawGeneral(Frame(self, a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), D(a, 6), D(a, 7), D(a, 8),
                       D(a, 9), D(a, 10), I(a, 11), I(a, 12), I(a, 13), I(a, 14), D(a, 15));
}
ROUTINE(draw_sprite_pos) {
    if (const CSprite* s = SpriteArg(a))
        s->DrawSpritePos(Frame(self, a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), D(a, 6), D(a, 7), D(a, 8),
                         D(a, 9), D(a, 10));
}
ROUTINE(draw_sprite_tiled) {
    if (const CSprite* s = SpriteArg(a)) Tiled(*s, Frame(self, a, 1), D(a, 2), D(a, 3), 1, 1, kWhite, 1.0);
}
ROUTINE(draw_sprite_tiled_ext) {
    if (const CSprite* s = SpriteArg(a))
        Tiled(*s, Frame(self, a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), I(a, 6), D(a, 7));
}

#undef ROUTINE

constexpr RFunctionSpec kFunctions[] = {
    {"sprite_get_texture", sprite_get_texture, 2},
    {"draw_self", draw_self, 0},
    {"draw_sprite", draw_sprite, 4},
    {"draw_sprite_ext", draw_sprite_ext, 9},
    {"draw_sprite_general", draw_sprite_general, 16},
    {"draw_sprite_part", draw_sprite_part, 8},
    {"draw_sprite_part_ext", draw_sprite_part_ext, 12},
    {"draw_sprite_pos", draw_sprite_pos, 11},
    {"draw_sprite_stretched", draw_sprite_stretched, 6},
    {"draw_sprite_stretched_ext", draw_sprite_stretched_ext, 8},
    {"draw_sprite_tiled", draw_sprite_tiled, 4},
    {"draw_sprite_tiled_ext", draw_sprite_tiled_ext, 8},
};

} // namespace

std::span<const RFunctionSpec> SpriteDrawFunctions() {
    return kFunctions;
}

} // namespace kestrin
