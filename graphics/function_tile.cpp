#include "graphics/function_tile.h"

// The tile built-ins: fields of one tile by id, adding and deleting, finding by point, and the
// operations on a whole depth layer.

#include "graphics/background.h"
#include "graphics/function_args.h"
#include "graphics/messages.h"
#include "graphics/room_draw.h"
#include "runner/game_world.h"
#include "runner/room.h"
#include "script/run_error.h"

namespace kestrin {

namespace {

using namespace graphics_args;

CRoom* Room() {
    return World().Current();
}

// The tile with the id of argument 0, or nullptr after reporting it missing.
RTile* TileArg(Args a) {
    CRoom* room = Room();
    const int32_t ind = room ? room->FindTile(I(a, 0)) : -1;
    if (ind < 0) {
        ReportRunError(graphics_msg::kNoTile, false);
        return nullptr;
    }
    return &room->r_tile[size_t(ind)];
}

bool BackgroundArg(Args a, int i) {
    if (Background_Exists(I(a, i))) return true;
    ReportRunError(graphics_msg::kNoBackground, false);
    return false;
}

double IdOrNone(const CRoom* room, int32_t ind) {
    return room && ind >= 0 && ind < room->r_tnumb() ? room->r_tile[size_t(ind)].id : -1;
}

template <auto Member> void GetField(CScriptInstance*, CScriptInstance*, int32_t, Args a, RValue& r) {
    if (const RTile* t = TileArg(a)) r.SetReal(static_cast<double>(t->*Member));
}

ROUTINE(tile_get_visible) {
    if (const RTile* t = TileArg(a)) r.SetReal(t->visible ? 1 : 0);
}
ROUTINE(tile_get_background) {
    const RTile* t = TileArg(a);
    r.SetReal(t ? t->index : -1);
}
ROUTINE(tile_set_visible) {
    if (RTile* t = TileArg(a)) t->visible = B(a, 1);
}
ROUTINE(tile_set_depth) {
    if (RTile* t = TileArg(a)) t->depth = D(a, 1);
}
ROUTINE(tile_set_blend) {
    if (RTile* t = TileArg(a)) t->blend = I(a, 1);
}
ROUTINE(tile_set_alpha) {
    if (RTile* t = TileArg(a)) t->alpha = D(a, 1);
}
ROUTINE(tile_set_position) {
    if (RTile* t = TileArg(a)) {
        t->x = D(a, 1);
        t->y = D(a, 2);
    }
}
ROUTINE(tile_set_scale) {
    if (RTile* t = TileArg(a)) {
        t->xscale = D(a, 1);
        t->yscale = D(a, 2);
    }
}
ROUTINE(tile_set_region) {
    if (RTile* t = TileArg(a)) {
        t->xo = I(a, 1);
        t->yo = I(a, 2);
        t->w = I(a, 3);
        t->h = I(a, 4);
    }
}
ROUTINE(tile_set_background) {
    if (RTile* t = TileArg(a))
        if (BackgroundArg(a, 1)) t->index = I(a, 1);
}
ROUTINE(tile_add) {
    r.SetReal(-1);
    CRoom* room = Room();
    if (!BackgroundArg(a, 0) || !room) return;
    RTile tile;
    tile.index = I(a, 0);
    tile.xo = I(a, 1);
    tile.yo = I(a, 2);
    tile.w = I(a, 3);
    tile.h = I(a, 4);
    tile.x = D(a, 5);
    tile.y = D(a, 6);
    tile.depth = D(a, 7);
    r.SetReal(IdOrNone(room, room->AddTile(tile)));
}
ROUTINE(tile_delete) {
    CRoom* room = Room();
    const int32_t ind = room ? room->FindTile(I(a, 0)) : -1;
    if (ind < 0)
        ReportRunError(graphics_msg::kNoTile, false);
    else
        room->DeleteTile(ind);
}
ROUTINE(tile_exists) {
    CRoom* room = Room();
    r.SetReal(room && room->FindTile(I(a, 0)) >= 0 ? 1 : 0);
}
ROUTINE(tile_find) {
    const CRoom* room = Room();
    r.SetReal(IdOrNone(room, room ? room->FindTileAt(D(a, 0), D(a, 1), B(a, 2)) : -1));
}
ROUTINE(tile_delete_at) {
    if (CRoom* room = Room()) room->DeleteTilesAt(D(a, 0), D(a, 1), B(a, 2));
}
ROUTINE(tile_layer_hide) {
    if (CRoom* room = Room()) room->HideTilesDepth(D(a, 0));
}
ROUTINE(tile_layer_show) {
    if (CRoom* room = Room()) room->ShowTilesDepth(D(a, 0));
}
ROUTINE(tile_layer_delete) {
    if (CRoom* room = Room()) room->DeleteTilesDepth(D(a, 0));
}
ROUTINE(tile_layer_shift) {
    if (CRoom* room = Room()) room->ShiftTilesDepth(D(a, 0), D(a, 1), D(a, 2));
}
ROUTINE(tile_layer_find) {
    const CRoom* room = Room();
    r.SetReal(IdOrNone(room, room ? room->FindTileAtDepth(D(a, 0), D(a, 1), D(a, 2)) : -1));
}
ROUTINE(tile_layer_delete_at) {
    if (CRoom* room = Room()) room->DeleteTilesAtDepth(D(a, 0), D(a, 1), D(a, 2));
}
ROUTINE(tile_layer_depth) {
    if (CRoom* room = Room()) room->ChangeTilesDepth(D(a, 0), D(a, 1));
}

#undef ROUTINE

constexpr RFunctionSpec kFunctions[] = {
    {"tile_add", tile_add, 8},
    {"tile_delete", tile_delete, 1},
    {"tile_exists", tile_exists, 1},
    {"tile_get_x", GetField<&RTile::x>, 1},
    {"tile_get_y", GetField<&RTile::y>, 1},
    {"tile_get_left", GetField<&RTile::xo>, 1},
    {"tile_get_top", GetField<&RTile::yo>, 1},
    {"tile_get_width", GetField<&RTile::w>, 1},
    {"tile_get_height", GetField<&RTile::h>, 1},
    {"tile_get_depth", GetField<&RTile::depth>, 1},
    {"tile_get_visible", tile_get_visible, 1},
    {"tile_get_xscale", GetField<&RTile::xscale>, 1},
    {"tile_get_yscale", GetField<&RTile::yscale>, 1},
    {"tile_get_background", tile_get_background, 1},
    {"tile_get_blend", GetField<&RTile::blend>, 1},
    {"tile_get_alpha", GetField<&RTile::alpha>, 1},
    {"tile_set_visible", tile_set_visible, 2},
    {"tile_set_background", tile_set_background, 2},
    {"tile_set_region", tile_set_region, 5},
    {"tile_set_position", tile_set_position, 3},
    {"tile_set_depth", tile_set_depth, 2},
    {"tile_set_scale", tile_set_scale, 3},
    {"tile_set_blend", tile_set_blend, 2},
    {"tile_set_alpha", tile_set_alpha, 2},
    {"tile_layer_hide", tile_layer_hide, 1},
    {"tile_layer_show", tile_layer_show, 1},
    {"tile_layer_delete", tile_layer_delete, 1},
    {"tile_layer_shift", tile_layer_shift, 3},
    {"tile_layer_find", tile_layer_find, 3},
    {"tile_layer_delete_at", tile_layer_delete_at, 3},
    {"tile_layer_depth", tile_layer_depth, 2},
    {"tile_find", tile_find, 3},
    {"tile_delete_at", tile_delete_at, 3},
};

} // namespace

std::span<const RFunctionSpec> TileFunctions() {
    return kFunctions;
}

} // namespace kestrin
