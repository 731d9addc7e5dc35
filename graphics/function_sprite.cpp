#include "graphics/function_sprite.h"

#include <optional>
#include <string>

#include "base/numeric.h"
#include "graphics/function_draw.h"
#include "graphics/function_texture.h"
#include "graphics/function_window.h"
#include "graphics/graphics_surface.h"
#include "graphics/render_state.h"
#include "graphics/resource_messages.h"
#include "graphics/sprite.h"
#include "script/builtin_args.h"
#include "script/run_error.h"
#include "script/value.h"

namespace kestrin {

namespace {

using namespace builtin_args;


// Flags of the screen and surface captures count only above one half.
bool Above(Args a, int i) {
    return a[i].val() > 0.5;
}

// The sprite an argument names, or none.
CSprite* Arg(Args a, int i) {
    return Sprite_Get(I(a, i));
}

template <typename Get> void Number(Args a, RValue& r, Get get) {
    const CSprite* spr = Arg(a, 0);
    r.SetReal(spr ? double(get(*spr)) : -1.0);
}

ROUTINE(sprite_exists) {
    r.SetReal(Sprite_Exists(I(a, 0)) ? 1 : 0);
}
ROUTINE(sprite_get_name) {
    r.SetString(Sprite_GetName(I(a, 0)));
}
ROUTINE(sprite_get_number) {
    Number(a, r, [](const CSprite& s) { return s.i_numb; });
}
ROUTINE(sprite_get_width) {
    Number(a, r, [](const CSprite& s) { return s.GetWidth(); });
}
ROUTINE(sprite_get_height) {
    Number(a, r, [](const CSprite& s) { return s.GetHeight(); });
}
ROUTINE(sprite_get_xoffset) {
    Number(a, r, [](const CSprite& s) { return s.i_xorig; });
}
ROUTINE(sprite_get_yoffset) {
    Number(a, r, [](const CSprite& s) { return s.i_yorig; });
}
ROUTINE(sprite_get_bbox_left) {
    Number(a, r, [](const CSprite& s) { return s.i_bbox.Left; });
}
ROUTINE(sprite_get_bbox_right) {
    Number(a, r, [](const CSprite& s) { return s.i_bbox.Right; });
}
ROUTINE(sprite_get_bbox_top) {
    Number(a, r, [](const CSprite& s) { return s.i_bbox.Top; });
}
ROUTINE(sprite_get_bbox_bottom) {
    Number(a, r, [](const CSprite& s) { return s.i_bbox.Bottom; });
}

ROUTINE(sprite_set_offset) {
    if (CSprite* spr = Arg(a, 0)) {
        spr->i_xorig = I(a, 1);
        spr->i_yorig = I(a, 2);
    }
}
ROUTINE(sprite_set_alpha_from_sprite) {
    CSprite* spr = Arg(a, 0);
    const CSprite* src = Arg(a, 1);
    if (spr && src) spr->SetAlphaFromSprite(*src);
}

// A new sprite made from a captured region; without a capture it stays empty.
void CreateFromCapture(const std::optional<TBitmap32>& capture, Args a, int first, RValue& r) {
    const int32_t ind = Sprite_AddNew();
    if (capture)
        Sprite_Get(ind)->CreateFromBitmap(*capture, TruncToInt32Saturated(a[first].val()),
                                          Above(a, first + 1), I(a, first + 2), I(a, first + 3));
    r.SetReal(ind);
}
void AddFromCapture(CSprite* spr, const std::optional<TBitmap32>& capture, Args a, int first) {
    if (capture) spr->AddFromBitmap(*capture, Above(a, first), Above(a, first + 1));
}

ROUTINE(sprite_create_from_screen) {
    CreateFromCapture(RenderState_Capture(I(a, 0), I(a, 1), I(a, 2), I(a, 3)), a, 4, r);
}
ROUTINE(sprite_add_from_screen) {
    CSprite* spr = Arg(a, 0);
    if (!spr) return ReportRunError(msg::kSpriteAddMissing, false);
    AddFromCapture(spr, RenderState_Capture(I(a, 1), I(a, 2), I(a, 3), I(a, 4)), a, 5);
}
ROUTINE(sprite_create_from_surface) {
    CreateFromCapture(Surface_Capture(I(a, 0), I(a, 1), I(a, 2), I(a, 3), I(a, 4)), a, 5, r);
}
ROUTINE(sprite_add_from_surface) {
    CSprite* spr = Arg(a, 0);
    if (!spr) return ReportRunError(msg::kSpriteAddMissing, false);
    AddFromCapture(spr, Surface_Capture(I(a, 1), I(a, 2), I(a, 3), I(a, 4), I(a, 5)), a, 6);
}

ROUTINE(sprite_add) {
    r.SetReal(Sprite_AddFromFile(std::string(a[0].str()), I(a, 1), B(a, 2), B(a, 3), I(a, 4), I(a, 5)));
}
ROUTINE(sprite_replace) {
    const int32_t ind = I(a, 0);
    if (!Sprite_Exists(ind)) return ReportRunError(msg::kSpriteReplaceMissing, false);
    r.SetReal(
        Sprite_ReplaceFromFile(ind, std::string(a[1].str()), I(a, 2), B(a, 3), B(a, 4), I(a, 5), I(a, 6))
            ? 1
            : 0);
}
ROUTINE(sprite_add_sprite) {
    r.SetReal(Sprite_AddFromSpriteFile(std::string(a[0].str())));
}
ROUTINE(sprite_replace_sprite) {
    const int32_t ind = I(a, 0);
    if (!Sprite_Exists(ind)) return ReportRunError(msg::kSpriteReplaceMissing, false);
    r.SetReal(Sprite_ReplaceFromSpriteFile(ind, std::string(a[1].str())) ? 1 : 0);
}
ROUTINE(sprite_delete) {
    if (!Sprite_Delete(I(a, 0))) return ReportRunError(msg::kSpriteDeleteMissing, false);
    r.SetReal(1);
}
ROUTINE(sprite_duplicate) {
    const int32_t ind = Sprite_Duplicate(I(a, 0));
    if (ind < 0) return ReportRunError(msg::kSpriteDuplicateMissing, false);
    r.SetReal(ind);
}
ROUTINE(sprite_assign) {
    if (!Sprite_Assign(I(a, 0), I(a, 1))) return ReportRunError(msg::kSpriteAssignFailed, false);
    r.SetReal(1);
}
ROUTINE(sprite_merge) {
    CSprite* to = Arg(a, 0);
    if (!to) return ReportRunError(msg::kSpriteMergeToMissing, false);
    const CSprite* from = Arg(a, 1);
    if (!from) return ReportRunError(msg::kSpriteMergeFromMissing, false);
    to->AddFromSprite(*from);
}

// The checks both save routines share; the sprite when saving may go on.
const CSprite* SaveTarget(Args a, const std::string& name) {
    const CSprite* spr = Arg(a, 0);
    if (!spr) {
        ReportRunError(msg::kSpriteSaveMissing, false);
        return nullptr;
    }
    if (name.empty()) {
        ReportRunError(msg::kSpriteSaveEmptyName, false);
        return nullptr;
    }
    return spr;
}

ROUTINE(sprite_save) {
    const std::string name(a[2].str());
    const CSprite* spr = SaveTarget(a, name);
    if (!spr) return;
    if (auto frame = spr->GetBitmap(I(a, 1)); frame && !frame->Empty()) SaveCaptureFile(name, *frame);
}
ROUTINE(sprite_save_strip) {
    const std::string name(a[1].str());
    const CSprite* spr = SaveTarget(a, name);
    if (!spr || spr->i_numb <= 0) return;
    const int32_t w = spr->GetWidth(), h = spr->GetHeight();
    TBitmap32 strip;
    if (int64_t(w) * spr->i_numb > INT32_MAX || !strip.Resize(w * spr->i_numb, h, 0)) return;
    for (int32_t i = 0; i < spr->i_numb; ++i) strip.Draw(i * w, 0, &spr->i_bitmap[size_t(i)]);
    (void)strip.SaveToImageFile(name);
}

ROUTINE(sprite_collision_mask) {
    CSprite* spr = Arg(a, 0);
    if (!spr) return ReportRunError(msg::kSpriteMaskMissing, false);
    spr->ComputeMask(B(a, 1), I(a, 2), TRect{I(a, 3), I(a, 4), I(a, 5), I(a, 6)}, I(a, 7), I(a, 8));
}

ROUTINE(sprite_set_cache_size) {}

#undef ROUTINE

constexpr RFunctionSpec kFunctions[] = {
    {"sprite_name", sprite_get_name, 1},
    {"sprite_exists", sprite_exists, 1},
    {"sprite_get_name", sprite_get_name, 1},
    {"sprite_get_number", sprite_get_number, 1},
    {"sprite_get_width", sprite_get_width, 1},
    {"sprite_get_height", sprite_get_height, 1},
    {"sprite_get_xoffset", sprite_get_xoffset, 1},
    {"sprite_get_yoffset", sprite_get_yoffset, 1},
    {"sprite_get_bbox_left", sprite_get_bbox_left, 1},
    {"sprite_get_bbox_right", sprite_get_bbox_right, 1},
    {"sprite_get_bbox_top", sprite_get_bbox_top, 1},
    {"sprite_get_bbox_bottom", sprite_get_bbox_bottom, 1},
    {"sprite_set_offset", sprite_set_offset, 3},
    {"sprite_set_alpha_from_sprite", sprite_set_alpha_from_sprite, 2},
    {"sprite_create_from_screen", sprite_create_from_screen, 8},
    {"sprite_add_from_screen", sprite_add_from_screen, 7},
    {"sprite_create_from_surface", sprite_create_from_surface, 9},
    {"sprite_add_from_surface", sprite_add_from_surface, 8},
    {"sprite_add", sprite_add, 6},
    {"sprite_replace", sprite_replace, 7},
    {"sprite_add_sprite", sprite_add_sprite, 1},
    {"sprite_replace_sprite", sprite_replace_sprite, 2},
    {"sprite_delete", sprite_delete, 1},
    {"sprite_duplicate", sprite_duplicate, 1},
    {"sprite_assign", sprite_assign, 2},
    {"sprite_merge", sprite_merge, 2},
    {"sprite_save", sprite_save, 3},
    {"sprite_save_strip", sprite_save_strip, 2},
    {"sprite_collision_mask", sprite_collision_mask, 9},
    {"sprite_set_cache_size", sprite_set_cache_size, 2},
    {"sprite_set_cache_size_ext", sprite_set_cache_size, 3},
};

} // namespace

std::span<const RFunctionSpec> SpriteFunctions() {
    return kFunctions;
}

} // namespace kestrin
