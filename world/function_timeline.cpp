#include "world/function_timeline.h"

#include "base/numeric.h"
#include "script/builtin_args.h"
#include "script/run_error.h"
#include "script/value.h"
#include "world/timeline.h"

namespace kestrin {

namespace {

using namespace builtin_args;


constexpr const char* kTimeLineDeleteMissing = "Trying to delete non-existing timeline.";


ROUTINE(timeline_exists) {
    r.SetReal(TimeLine_Exists(I(a, 0)) ? 1 : 0);
}
ROUTINE(timeline_name) {
    r.SetString(TimeLine_GetName(I(a, 0)));
}
ROUTINE(timeline_add) {
    r.SetReal(TimeLine_AddNew());
}
ROUTINE(timeline_delete) {
    if (!TimeLine_Delete(I(a, 0))) return ReportRunError(kTimeLineDeleteMissing, false);
    r.SetReal(1);
}
ROUTINE(timeline_clear) {
    if (CTimeLine* timeline = TimeLine_Get(I(a, 0))) timeline->Clear();
}
ROUTINE(timeline_moment_clear) {
    if (CTimeLine* timeline = TimeLine_Get(I(a, 0))) timeline->DeleteMoment(I(a, 1));
}
ROUTINE(timeline_moment_add) {
    (void)TimeLine_AddCode(I(a, 0), I(a, 1), a[2].str());
}

constexpr RFunctionSpec kFunctions[] = {
    {"timeline_exists", timeline_exists, 1},
    {"timeline_name", timeline_name, 1},
    {"timeline_get_name", timeline_name, 1},
    {"timeline_add", timeline_add, 0},
    {"timeline_delete", timeline_delete, 1},
    {"timeline_clear", timeline_clear, 1},
    {"timeline_moment_clear", timeline_moment_clear, 2},
    {"timeline_moment_add", timeline_moment_add, 3},
};

} // namespace

std::span<const RFunctionSpec> TimeLineFunctions() {
    return kFunctions;
}

} // namespace kestrin
