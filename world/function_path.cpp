#include "world/function_path.h"

#include <memory>

#include "base/numeric.h"
#include "runner/game_variables.h"
#include "runner/instance.h"
#include "script/builtin_args.h"
#include "script/run_error.h"
#include "script/value.h"
#include "world/path.h"
#include "world/path_follow.h"
#include "world/path_messages.h"

namespace kestrin {

namespace {

using namespace builtin_args;



// The path an argument names, or none.
CPath* Arg(Args a, int i) {
    return Path_Get(I(a, i));
}

template <typename Get> void Query(Args a, RValue& r, Get get) {
    const CPath* path = Arg(a, 0);
    r.SetReal(path ? double(get(*path)) : -1.0);
}

// A control point's field; a point index out of range reads as x 0, y 0, speed 1.
template <typename Get> void PointQuery(Args a, RValue& r, double outside, Get get) {
    const CPath* path = Arg(a, 0);
    if (!path) return r.SetReal(-1);
    const int32_t n = I(a, 1);
    r.SetReal(n >= 0 && n < path->Count() ? get(path->Points()[size_t(n)]) : outside);
}

template <typename Change> void Edit(Args a, Change change) {
    if (CPath* path = Arg(a, 0)) change(*path);
}

ROUTINE(path_exists) {
    r.SetReal(Path_Exists(I(a, 0)) ? 1 : 0);
}
ROUTINE(path_get_name) {
    r.SetString(Path_GetName(I(a, 0)));
}
ROUTINE(path_get_length) {
    Query(a, r, [](const CPath& p) { return p.Length(); });
}
ROUTINE(path_get_kind) {
    Query(a, r, [](const CPath& p) { return p.Kind(); });
}
ROUTINE(path_get_closed) {
    Query(a, r, [](const CPath& p) { return p.Closed() ? 1 : 0; });
}
ROUTINE(path_get_precision) {
    Query(a, r, [](const CPath& p) { return p.Precision(); });
}
ROUTINE(path_get_number) {
    Query(a, r, [](const CPath& p) { return p.Count(); });
}
ROUTINE(path_get_point_x) {
    PointQuery(a, r, 0, [](const RWayPoint& w) { return w.x; });
}
ROUTINE(path_get_point_y) {
    PointQuery(a, r, 0, [](const RWayPoint& w) { return w.y; });
}
ROUTINE(path_get_point_speed) {
    PointQuery(a, r, 1, [](const RWayPoint& w) { return w.speed; });
}
ROUTINE(path_get_x) {
    const double t = D(a, 1);
    Query(a, r, [t](const CPath& p) { return p.XPosition(t); });
}
ROUTINE(path_get_y) {
    const double t = D(a, 1);
    Query(a, r, [t](const CPath& p) { return p.YPosition(t); });
}
ROUTINE(path_get_speed) {
    const double t = D(a, 1);
    Query(a, r, [t](const CPath& p) { return p.Speed(t); });
}

ROUTINE(path_set_kind) {
    Edit(a, [&](CPath& p) { p.SetKind(I(a, 1)); });
}
ROUTINE(path_set_closed) {
    Edit(a, [&](CPath& p) { p.SetClosed(D(a, 1) >= 0.5); });
}
ROUTINE(path_set_precision) {
    Edit(a, [&](CPath& p) { p.SetPrecision(I(a, 1)); });
}

ROUTINE(path_add) {
    r.SetReal(Path_AddNew(std::make_unique<CPath>()));
}
ROUTINE(path_duplicate) {
    const int32_t ind = Path_Duplicate(I(a, 0));
    if (ind < 0) return ReportRunError(msg::kPathDuplicateMissing, false);
    r.SetReal(ind);
}
ROUTINE(path_assign) {
    if (!Path_Assign(I(a, 0), I(a, 1))) ReportRunError(msg::kPathAssignFailed, false);
}
ROUTINE(path_append) {
    CPath* to = Arg(a, 0);
    if (!to) return ReportRunError(msg::kPathAppendToMissing, false);
    const CPath* from = Arg(a, 1);
    if (!from) return ReportRunError(msg::kPathAppendMissing, false);
    to->Append(*from);
}
ROUTINE(path_delete) {
    if (!Path_Delete(I(a, 0))) return ReportRunError(msg::kPathDeleteMissing, false);
    r.SetReal(1);
}

ROUTINE(path_add_point) {
    Edit(a, [&](CPath& p) { p.AddPoint(D(a, 1), D(a, 2), D(a, 3)); });
}
ROUTINE(path_insert_point) {
    Edit(a, [&](CPath& p) { p.InsertPoint(I(a, 1), D(a, 2), D(a, 3), D(a, 4)); });
}
ROUTINE(path_change_point) {
    Edit(a, [&](CPath& p) { p.ChangePoint(I(a, 1), D(a, 2), D(a, 3), D(a, 4)); });
}
ROUTINE(path_delete_point) {
    Edit(a, [&](CPath& p) { p.DeletePoint(I(a, 1)); });
}
ROUTINE(path_clear_points) {
    Edit(a, [](CPath& p) { p.Clear(); });
}
ROUTINE(path_flip) {
    Edit(a, [](CPath& p) { p.Flip(); });
}
ROUTINE(path_mirror) {
    Edit(a, [](CPath& p) { p.Mirror(); });
}
ROUTINE(path_reverse) {
    Edit(a, [](CPath& p) { p.Reverse(); });
}
ROUTINE(path_rotate) {
    Edit(a, [&](CPath& p) { p.Rotate(D(a, 1)); });
}
ROUTINE(path_scale) {
    Edit(a, [&](CPath& p) { p.Scale(D(a, 1), D(a, 2)); });
}
ROUTINE(path_shift) {
    Edit(a, [&](CPath& p) { p.Shift(D(a, 1), D(a, 2)); });
}

// The caller's own path, at scale 1 and orientation 0.
void path_start(CScriptInstance* self, CScriptInstance*, int32_t, Args a, RValue&) {
    CInstance* me = AsInstance(self);
    if (me) Assign_Path(*me, I(a, 0), D(a, 1), 1, 0, !IsTrue(D(a, 3)), I(a, 2));
}
// Leaves the path where the instance stands; nothing else changes.
void path_end(CScriptInstance* self, CScriptInstance*, int32_t, Args, RValue&) {
    if (CInstance* me = AsInstance(self)) me->i_pathindex = -1;
}

ROUTINE(draw_path) {
    const CPath* path = Arg(a, 0);
    if (!path) return ReportRunError(msg::kPathDrawMissing, false);
    // Absolute: where the path lies; otherwise starting at (x, y).
    if (a[3].val() >= 0.5) return path->Draw(0, 0, true);
    path->Draw(D(a, 1), D(a, 2), false);
}

#undef ROUTINE

constexpr RFunctionSpec kFunctions[] = {
    {"path_exists", path_exists, 1},
    {"path_get_name", path_get_name, 1},
    {"path_name", path_get_name, 1},
    {"path_get_length", path_get_length, 1},
    {"path_get_closed", path_get_closed, 1},
    {"path_get_kind", path_get_kind, 1},
    {"path_get_number", path_get_number, 1},
    {"path_get_precision", path_get_precision, 1},
    {"path_get_point_speed", path_get_point_speed, 2},
    {"path_get_point_x", path_get_point_x, 2},
    {"path_get_point_y", path_get_point_y, 2},
    {"path_get_speed", path_get_speed, 2},
    {"path_get_x", path_get_x, 2},
    {"path_get_y", path_get_y, 2},
    {"path_set_closed", path_set_closed, 2},
    {"path_set_kind", path_set_kind, 2},
    {"path_set_precision", path_set_precision, 2},
    {"path_add", path_add, 0},
    {"path_duplicate", path_duplicate, 1},
    {"path_assign", path_assign, 2},
    {"path_append", path_append, 2},
    {"path_delete", path_delete, 1},
    {"path_add_point", path_add_point, 4},
    {"path_insert_point", path_insert_point, 5},
    {"path_change_point", path_change_point, 5},
    {"path_delete_point", path_delete_point, 2},
    {"path_clear_points", path_clear_points, 1},
    {"path_flip", path_flip, 1},
    {"path_mirror", path_mirror, 1},
    {"path_reverse", path_reverse, 1},
    {"path_rotate", path_rotate, 2},
    {"path_scale", path_scale, 3},
    {"path_shift", path_shift, 3},
};

constexpr RFunctionSpec kDrawFunctions[] = {
    {"draw_path", draw_path, 4},
};

constexpr RFunctionSpec kFollowFunctions[] = {
    {"path_start", path_start, 4},
    {"path_end", path_end, 0},
};

} // namespace

std::span<const RFunctionSpec> PathFunctions() {
    return kFunctions;
}

std::span<const RFunctionSpec> PathDrawFunctions() {
    return kDrawFunctions;
}

std::span<const RFunctionSpec> PathFollowFunctions() {
    return kFollowFunctions;
}

} // namespace kestrin
