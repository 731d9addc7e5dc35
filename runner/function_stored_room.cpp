#include "runner/function_stored_room.h"

#include <string>

#include "base/numeric.h"
#include "runner/game_world.h"
#include "runner/messages.h"
#include "runner/room.h"
#include "script/builtin_args.h"
#include "script/run_error.h"
#include "script/value.h"

namespace kestrin {

namespace {

using namespace builtin_args;


CRoom* Arg(Args a, int i) {
    return World().StoredRoom(I(a, i));
}

ROUTINE(room_exists) {
    r.SetReal(World().RoomExists(I(a, 0)) ? 1 : 0);
}
ROUTINE(room_get_name) {
    r.SetString(World().RoomName(I(a, 0)));
}
ROUTINE(room_set_width) {
    if (CRoom* room = Arg(a, 0)) room->r_width = I(a, 1);
}
ROUTINE(room_set_height) {
    if (CRoom* room = Arg(a, 0)) room->r_height = I(a, 1);
}
ROUTINE(room_set_caption) {
    if (CRoom* room = Arg(a, 0)) room->r_caption = std::string(a[1].str());
}
ROUTINE(room_set_code) {
    if (CRoom* room = Arg(a, 0)) room->r_code = std::string(a[1].str());
}
ROUTINE(room_set_persistent) {
    if (CRoom* room = Arg(a, 0)) room->r_persistent = B(a, 1);
}
ROUTINE(room_set_background_color) {
    if (CRoom* room = Arg(a, 0)) {
        room->r_color = I(a, 1);
        room->r_showcolor = B(a, 2);
    }
}
ROUTINE(room_set_view_enabled) {
    if (CRoom* room = Arg(a, 0)) room->r_enableviews = B(a, 1);
}

// The blend colour is left as it was.
ROUTINE(room_set_background) {
    CRoom* room = Arg(a, 0);
    const int32_t bind = I(a, 1);
    if (!room || bind < 0 || bind >= kRoomLayerCount) return;
    CBack& layer = room->r_background[static_cast<size_t>(bind)];
    layer.visible = B(a, 2);
    layer.foreground = B(a, 3);
    layer.index = I(a, 4);
    layer.x = I(a, 5);
    layer.y = I(a, 6);
    layer.htiled = B(a, 7);
    layer.vtiled = B(a, 8);
    layer.hspeed = D(a, 9);
    layer.vspeed = D(a, 10);
    layer.alpha = D(a, 11);
    layer.xscale = layer.yscale = 1;
}

// The angle is left as it was.
ROUTINE(room_set_view) {
    CRoom* room = Arg(a, 0);
    const int32_t vind = I(a, 1);
    if (!room || vind < 0 || vind >= kRoomViewCount) return;
    CView& view = room->r_view[static_cast<size_t>(vind)];
    view.visible = B(a, 2);
    int32_t* const fields[] = {&view.xview,  &view.yview,  &view.wview, &view.hview,   &view.xport,
                               &view.yport,  &view.wport,  &view.hport, &view.hborder, &view.vborder,
                               &view.hspeed, &view.vspeed, &view.object};
    for (int i = 0; i < 13; ++i) *fields[i] = I(a, 3 + i);
}

ROUTINE(room_add) {
    r.SetReal(World().AddNewRoom());
}
ROUTINE(room_duplicate) {
    const int32_t ind = World().DuplicateRoom(I(a, 0));
    if (ind < 0) return ReportRunError(msg::kRoomDuplicateMissing, false);
    r.SetReal(ind);
}
ROUTINE(room_assign) {
    if (!World().AssignRoom(I(a, 0), I(a, 1))) return ReportRunError(msg::kRoomAssignFailed, false);
    r.SetReal(1);
}

// The object is stored unchecked: entering the room resolves it by index, and an instance of
// a missing object runs no events.
ROUTINE(room_instance_add) {
    r.SetReal(-1);
    CRoom* room = Arg(a, 0);
    if (!room) return;
    if (const CInstance* added = room->AddInstance(I(a, 1), I(a, 2), I(a, 3))) r.SetReal(added->i_id);
}
ROUTINE(room_instance_clear) {
    if (CRoom* room = Arg(a, 0)) room->ClearInstances();
}
ROUTINE(room_tile_clear) {
    if (CRoom* room = Arg(a, 0)) room->ClearTiles();
}

// A tile record for the stored room; `failure` is the result when nothing is added.
void AddTile(Args a, RValue& r, double xscale, double yscale, double alpha, double failure) {
    r.SetReal(failure);
    int32_t width = 0, height = 0;
    if (!BackgroundSizeOf(I(a, 1), width, height)) return ReportRunError(msg::kTileNoBackground, false);
    CRoom* room = Arg(a, 0);
    if (!room) return;
    RTile tile;
    tile.index = I(a, 1);
    tile.xo = I(a, 2);
    tile.yo = I(a, 3);
    tile.w = I(a, 4);
    tile.h = I(a, 5);
    tile.x = D(a, 6);
    tile.y = D(a, 7);
    tile.depth = D(a, 8);
    tile.xscale = xscale;
    tile.yscale = yscale;
    tile.alpha = alpha;
    tile.blend = 0xFFFFFF;
    tile.visible = true;
    const int32_t at = room->AddTile(tile);
    if (at >= 0) r.SetReal(room->r_tile[static_cast<size_t>(at)].id);
}
ROUTINE(room_tile_add) {
    AddTile(a, r, 1, 1, 1, -1);
}
ROUTINE(room_tile_add_ext) {
    AddTile(a, r, D(a, 9), D(a, 10), D(a, 11), 0);
}

#undef ROUTINE

constexpr RFunctionSpec kFunctions[] = {
    {"room_name", room_get_name, 1},
    {"room_exists", room_exists, 1},
    {"room_get_name", room_get_name, 1},
    {"room_set_width", room_set_width, 2},
    {"room_set_height", room_set_height, 2},
    {"room_set_caption", room_set_caption, 2},
    {"room_set_persistent", room_set_persistent, 2},
    {"room_set_code", room_set_code, 2},
    {"room_set_background_color", room_set_background_color, 3},
    {"room_set_background", room_set_background, 12},
    {"room_set_view", room_set_view, 16},
    {"room_set_view_enabled", room_set_view_enabled, 2},
    {"room_add", room_add, 0},
    {"room_duplicate", room_duplicate, 1},
    {"room_assign", room_assign, 2},
    {"room_instance_add", room_instance_add, 4},
    {"room_instance_clear", room_instance_clear, 1},
    {"room_tile_add", room_tile_add, 9},
    {"room_tile_add_ext", room_tile_add_ext, 12},
    {"room_tile_clear", room_tile_clear, 1},
};

} // namespace

std::span<const RFunctionSpec> StoredRoomFunctions() {
    return kFunctions;
}

} // namespace kestrin
