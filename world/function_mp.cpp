#include "world/function_mp.h"

#include "base/numeric.h"
#include "runner/game_variables.h"
#include "runner/game_world.h"
#include "runner/instance.h"
#include "runner/room.h"
#include "script/builtin_args.h"
#include "script/run_error.h"
#include "script/value.h"
#include "script/variables.h"
#include "world/mp_grid.h"
#include "world/mp_messages.h"
#include "world/mp_step.h"
#include "world/path.h"

namespace kestrin {

namespace {

using namespace builtin_args;



// The obstacles of a function with checkall.
Obstacles CheckAll(Args a, int i) {
    return {kAllSelector, B(a, i)};
}

// The obstacles of an ..._object function: -1 and -2 name the caller and the other instance;
// all means every instance.
Obstacles ObjectArg(Args a, int i, const CInstance* me, CScriptInstance* other) {
    int32_t obj = RoundToInt32Saturated(a[i].val(), kNooneSelector);
    if (obj == kSelfSelector) obj = me ? me->i_id : kNooneSelector;
    if (obj == kOtherSelector) obj = other ? other->i_id : kNooneSelector;
    return {obj, true};
}

// The path a path function fills; reported when it does not exist.
CPath* PathArg(Args a, int i) {
    CPath* path = Path_Get(I(a, i));
    if (!path) ReportRunError(msg::kMpPathMissing, false);
    return path;
}

CGrid* GridArg(Args a, int i) {
    return Grid_Get(I(a, i));
}

void Result(RValue& r, bool b) {
    r.SetReal(b ? 1 : 0);
}

// ---- Linear and potential planning ----

ROUTINE(mp_linear_step) {
    if (CInstance* me = AsInstance(self))
        Result(r, MpLinearStep(*me, D(a, 0), D(a, 1), D(a, 2), CheckAll(a, 3)));
}
ROUTINE(mp_linear_step_object) {
    if (CInstance* me = AsInstance(self))
        Result(r, MpLinearStep(*me, D(a, 0), D(a, 1), D(a, 2), ObjectArg(a, 3, me, other)));
}
ROUTINE(mp_linear_path) {
    CPath* path = PathArg(a, 0);
    CInstance* me = AsInstance(self);
    if (path && me) Result(r, MpLinearPath(*me, *path, D(a, 1), D(a, 2), D(a, 3), CheckAll(a, 4)));
}
ROUTINE(mp_linear_path_object) {
    CPath* path = PathArg(a, 0);
    CInstance* me = AsInstance(self);
    if (path && me)
        Result(r, MpLinearPath(*me, *path, D(a, 1), D(a, 2), D(a, 3), ObjectArg(a, 4, me, other)));
}
ROUTINE(mp_potential_settings) {
    MpSetPotentialSettings(D(a, 0), D(a, 1), D(a, 2), B(a, 3));
}
ROUTINE(mp_potential_step) {
    if (CInstance* me = AsInstance(self))
        Result(r, MpPotentialStep(*me, D(a, 0), D(a, 1), D(a, 2), CheckAll(a, 3)));
}
ROUTINE(mp_potential_step_object) {
    if (CInstance* me = AsInstance(self))
        Result(r, MpPotentialStep(*me, D(a, 0), D(a, 1), D(a, 2), ObjectArg(a, 3, me, other)));
}
ROUTINE(mp_potential_path) {
    CPath* path = PathArg(a, 0);
    CInstance* me = AsInstance(self);
    if (path && me)
        Result(r, MpPotentialPath(*me, *path, D(a, 1), D(a, 2), D(a, 3), D(a, 4), CheckAll(a, 5)));
}
ROUTINE(mp_potential_path_object) {
    CPath* path = PathArg(a, 0);
    CInstance* me = AsInstance(self);
    if (path && me)
        Result(r,
               MpPotentialPath(*me, *path, D(a, 1), D(a, 2), D(a, 3), D(a, 4), ObjectArg(a, 5, me, other)));
}

// ---- Grids ----

ROUTINE(mp_grid_create) {
    r.SetReal(Grid_Create(I(a, 0), I(a, 1), I(a, 2), I(a, 3), I(a, 4), I(a, 5)));
}
ROUTINE(mp_grid_destroy) {
    Grid_Destroy(I(a, 0));
}
ROUTINE(mp_grid_clear_all) {
    if (CGrid* grid = GridArg(a, 0)) grid->ClearAll();
}
ROUTINE(mp_grid_clear_cell) {
    if (CGrid* grid = GridArg(a, 0)) grid->ClearCell(I(a, 1), I(a, 2));
}
ROUTINE(mp_grid_clear_rectangle) {
    if (CGrid* grid = GridArg(a, 0)) grid->ClearRectangle(I(a, 1), I(a, 2), I(a, 3), I(a, 4));
}
ROUTINE(mp_grid_add_cell) {
    if (CGrid* grid = GridArg(a, 0)) grid->AddCell(I(a, 1), I(a, 2));
}
ROUTINE(mp_grid_add_rectangle) {
    if (CGrid* grid = GridArg(a, 0)) grid->AddRectangle(I(a, 1), I(a, 2), I(a, 3), I(a, 4));
}

// The designated instances: the caller (-1), the other instance (-2), every instance of the
// room (all), an object with its descendants, or one instance by id. Instances already
// destroyed are gone for planning as for every search.
ROUTINE(mp_grid_add_instances) {
    CGrid* grid = GridArg(a, 0);
    if (!grid) return;
    const int32_t obj = RoundToInt32Saturated(a[1].val(), kNooneSelector);
    const bool prec = B(a, 2);
    const auto add = [&](CScriptInstance* candidate) {
        const CInstance* instance = AsInstance(candidate);
        if (instance && !instance->i_marked) grid->AddInstance(*instance, prec);
    };
    if (obj == kSelfSelector) return add(self);
    if (obj == kOtherSelector) return add(other);
    const CRoom* room = World().Current();
    if (!room) return;
    if (obj == kAllSelector) {
        for (const auto& instance : room->r_instance) add(instance.get());
    } else if (obj >= kFirstInstanceId) {
        add(room->FindInstance(obj));
    } else if (obj >= 0) {
        const int32_t count = room->Obj_Number_Recursive(obj);
        for (int32_t k = 0; k < count; ++k) add(room->Obj_Instance_Recursive(obj, k));
    }
}

// The path is checked before the grid: a missing path is reported even for a missing grid.
ROUTINE(mp_grid_path) {
    CPath* path = PathArg(a, 1);
    if (!path) return;
    CGrid* grid = GridArg(a, 0);
    if (!grid) return;
    Result(r, grid->FindPath(*path, I(a, 2), I(a, 3), I(a, 4), I(a, 5), B(a, 6)));
}
ROUTINE(mp_grid_draw) {
    if (const CGrid* grid = GridArg(a, 0)) grid->Draw();
}

#undef ROUTINE

constexpr RFunctionSpec kFunctions[] = {
    {"mp_linear_step", mp_linear_step, 4},
    {"mp_linear_path", mp_linear_path, 5},
    {"mp_linear_step_object", mp_linear_step_object, 4},
    {"mp_linear_path_object", mp_linear_path_object, 5},
    {"mp_potential_settings", mp_potential_settings, 4},
    {"mp_potential_step", mp_potential_step, 4},
    {"mp_potential_path", mp_potential_path, 6},
    {"mp_potential_step_object", mp_potential_step_object, 4},
    {"mp_potential_path_object", mp_potential_path_object, 6},
    {"mp_grid_create", mp_grid_create, 6},
    {"mp_grid_destroy", mp_grid_destroy, 1},
    {"mp_grid_clear_all", mp_grid_clear_all, 1},
    {"mp_grid_clear_cell", mp_grid_clear_cell, 3},
    {"mp_grid_clear_rectangle", mp_grid_clear_rectangle, 5},
    {"mp_grid_add_cell", mp_grid_add_cell, 3},
    {"mp_grid_add_rectangle", mp_grid_add_rectangle, 5},
    {"mp_grid_add_instances", mp_grid_add_instances, 3},
    {"mp_grid_path", mp_grid_path, 7},
    {"mp_grid_draw", mp_grid_draw, 1},
};

} // namespace

std::span<const RFunctionSpec> MotionPlanningFunctions() {
    return kFunctions;
}

void ResetMotionPlanning() {
    Grid_ClearAll();
    MpResetPotentialSettings();
}

} // namespace kestrin
