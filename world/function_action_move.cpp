// The movement actions: directions, speeds, gravity, friction, jumps, snapping, wrapping,
// bouncing, paths and motion-planning steps.

#include <algorithm>
#include <cmath>

#include "runner/game_variables.h"
#include "runner/game_world.h"
#include "runner/instance.h"
#include "runner/room.h"
#include "script/random.h"
#include "script/run_error.h"
#include "world/action_messages.h"
#include "world/action_support.h"
#include "world/function_action.h"

namespace kestrin {

namespace {

using namespace action;

// The direction of each cell of the 3 x 3 choice, row by row from the bottom left; the
// centre cell stops instead.
constexpr double kMoveDirections[9] = {225, 270, 315, 180, 0, 0, 135, 90, 45};

ROUTINE(action_move) {
    ME;
    const std::string_view cells = a[0].IsString() ? a[0].str() : std::string_view();
    if (cells.size() != 9) return ReportRunError(msg::kActionMoveArgument, false);
    if (cells.find('1') == std::string_view::npos) return;
    me->SetSpeed(Rel(D(a, 1), me->i_speed));
    uint32_t k = RandomBelow(9);
    while (cells[k] != '1') k = RandomBelow(9);
    if (k == 4) {
        me->SetDirection(0);
        me->SetSpeed(0);
        return;
    }
    me->SetDirection(kMoveDirections[k]);
}
ROUTINE(action_set_motion) {
    ME;
    if (Relative()) {
        Call("motion_add", self, other, {R(D(a, 0)), R(D(a, 1))});
        return;
    }
    me->SetDirection(D(a, 0));
    me->SetSpeed(D(a, 1));
}
ROUTINE(action_set_hspeed) {
    ME;
    me->SetHspeed(Rel(D(a, 0), me->i_hspeed));
}
ROUTINE(action_set_vspeed) {
    ME;
    me->SetVspeed(Rel(D(a, 0), me->i_vspeed));
}
ROUTINE(action_set_gravity) {
    ME;
    me->i_gravitydir = Rel(D(a, 0), me->i_gravitydir);
    me->i_gravity = Rel(D(a, 1), me->i_gravity);
}
ROUTINE(action_set_friction) {
    ME;
    me->i_friction = Rel(D(a, 0), me->i_friction);
}
ROUTINE(action_move_point) {
    ME;
    Call("move_towards_point", self, other, {R(Rel(D(a, 0), me->i_x)), R(Rel(D(a, 1), me->i_y)), R(D(a, 2))});
}
ROUTINE(action_move_to) {
    ME;
    me->SetPosition(Rel(D(a, 0), me->i_x), Rel(D(a, 1), me->i_y));
}
ROUTINE(action_move_start) {
    ME;
    me->SetPosition(me->i_xstart, me->i_ystart);
}
ROUTINE(action_move_random) {
    Call("move_random", self, other, {a[0], a[1]});
}
ROUTINE(action_snap) {
    Call("move_snap", self, other, {a[0], a[1]});
}

// Through one side and in at the other, taking the sprite's scaled size along so that the
// instance comes in just outside the room.
ROUTINE(action_wrap) {
    ME;
    CRoom* room = World().Current();
    if (!room) return;
    double w = 0, h = 0;
    if (CallReal("sprite_exists", self, other, {R(me->i_spriteindex)}) >= 0.5) {
        w = CallReal("sprite_get_width", self, other, {R(me->i_spriteindex)}) * me->i_imagescalex;
        h = CallReal("sprite_get_height", self, other, {R(me->i_spriteindex)}) * me->i_imagescaley;
    }
    const int32_t mode = I(a, 0);
    const double width = room->r_width, height = room->r_height;
    if (mode == 0 || mode == 2) {
        if (me->i_hspeed < 0 && me->i_x < 0) me->SetPosition(me->i_x + width + w, me->i_y);
        if (me->i_hspeed > 0 && me->i_x >= width) me->SetPosition(me->i_x - width - w, me->i_y);
    }
    if (mode == 1 || mode == 2) {
        if (me->i_vspeed < 0 && me->i_y < 0) me->SetPosition(me->i_x, me->i_y + height + h);
        if (me->i_vspeed > 0 && me->i_y >= height) me->SetPosition(me->i_x, me->i_y - height - h);
    }
}
ROUTINE(action_reverse_xdir) {
    ME;
    me->SetHspeed(-me->i_hspeed);
}
ROUTINE(action_reverse_ydir) {
    ME;
    me->SetVspeed(-me->i_vspeed);
}
ROUTINE(action_move_contact) {
    Call(D(a, 2) < 0.5 ? "move_contact_solid" : "move_contact_all", self, other, {a[0], a[1]});
}
ROUTINE(action_bounce) {
    // Only exactly 1 means all instances: the choice is a menu, not a flag.
    Call(D(a, 1) == 1 ? "move_bounce_all" : "move_bounce_solid", self, other, {R(B(a, 0) ? 1 : 0)});
}
ROUTINE(action_path) {
    Call("path_start", self, other, {a[0], a[1], a[2], a[3]});
}
ROUTINE(action_path_end) {
    Call("path_end", self, other, {});
}
ROUTINE(action_path_position) {
    ME;
    const double position = Rel(D(a, 0), me->i_pathposition);
    me->SetPathPosition(std::isnan(position) ? 0.0 : std::clamp(position, 0.0, 1.0));
}
ROUTINE(action_path_speed) {
    ME;
    me->i_pathspeed = Rel(D(a, 0), me->i_pathspeed);
}
ROUTINE(action_linear_step) {
    ME;
    Call("mp_linear_step", self, other, {R(Rel(D(a, 0), me->i_x)), R(Rel(D(a, 1), me->i_y)), a[2], a[3]});
}
ROUTINE(action_potential_step) {
    ME;
    Call("mp_potential_step", self, other, {R(Rel(D(a, 0), me->i_x)), R(Rel(D(a, 1), me->i_y)), a[2], a[3]});
}

#undef ME
#undef ROUTINE

constexpr RFunctionSpec kFunctions[] = {
    {"action_move", action_move, 2},
    {"action_set_motion", action_set_motion, 2},
    {"action_set_hspeed", action_set_hspeed, 1},
    {"action_set_vspeed", action_set_vspeed, 1},
    {"action_set_gravity", action_set_gravity, 2},
    {"action_set_friction", action_set_friction, 1},
    {"action_move_point", action_move_point, 3},
    {"action_move_to", action_move_to, 2},
    {"action_move_start", action_move_start, 0},
    {"action_move_random", action_move_random, 2},
    {"action_snap", action_snap, 2},
    {"action_wrap", action_wrap, 1},
    {"action_reverse_xdir", action_reverse_xdir, 0},
    {"action_reverse_ydir", action_reverse_ydir, 0},
    {"action_move_contact", action_move_contact, 3},
    {"action_bounce", action_bounce, 2},
    {"action_path", action_path, 4},
    {"action_path_end", action_path_end, 0},
    {"action_path_position", action_path_position, 1},
    {"action_path_speed", action_path_speed, 1},
    {"action_linear_step", action_linear_step, 4},
    {"action_potential_step", action_potential_step, 4},
};

} // namespace

std::span<const RFunctionSpec> ActionMoveFunctions() {
    return kFunctions;
}

} // namespace kestrin
