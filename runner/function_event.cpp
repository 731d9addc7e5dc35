#include "runner/function_event.h"

#include <cstdint>

#include "base/numeric.h"
#include "runner/event_dispatch.h"
#include "runner/game_variables.h"
#include "runner/game_world.h"
#include "runner/object.h"
#include "script/errors.h"

namespace kestrin {

namespace {

CInstance* AsRunnerInstance(CScriptInstance* instance) {
    return AsInstance(instance);
}

void event_perform(CScriptInstance* self, CScriptInstance* other, int32_t, const RValue* args, RValue&) {
    PerformEvent(AsRunnerInstance(self), AsRunnerInstance(other), RoundToInt32Saturated(args[0].val()),
                 RoundToInt32Saturated(args[1].val()));
}

void event_perform_object(CScriptInstance* self, CScriptInstance* other, int32_t, const RValue* args,
                          RValue&) {
    PerformObjectEvent(AsRunnerInstance(self), AsRunnerInstance(other), RoundToInt32Saturated(args[0].val()),
                       RoundToInt32Saturated(args[1].val()), RoundToInt32Saturated(args[2].val()));
}

void event_user(CScriptInstance* self, CScriptInstance* other, int32_t, const RValue* args, RValue&) {
    const int64_t number = int64_t{ev_user0} + RoundToInt32Saturated(args[0].val());
    if (number < INT32_MIN || number > INT32_MAX) return;
    PerformEvent(AsRunnerInstance(self), AsRunnerInstance(other), ev_other, static_cast<int32_t>(number));
}

void event_inherited(CScriptInstance* self, CScriptInstance* other, int32_t, const RValue*, RValue&) {
    const EventContext& current = CurrentEvent();
    if (!current.active || current.type == kTimeLineEventType) return;
    const CObject* object = Objects().Get(current.object);
    if (!object || !Objects().Exists(object->o_parent)) return;
    PerformObjectEvent(AsRunnerInstance(self), AsRunnerInstance(other), object->o_parent, current.type,
                       current.number);
}

constexpr RFunctionSpec kEventFunctions[] = {
    {"event_perform", event_perform, 2},
    {"event_perform_object", event_perform_object, 3},
    {"event_user", event_user, 1},
    {"event_inherited", event_inherited, 0},
};

} // namespace

std::span<const RFunctionSpec> EventFunctions() {
    return kEventFunctions;
}

} // namespace kestrin
