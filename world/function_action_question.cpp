// The questions of the action library that are not tied to another family, running a script
// and the inherited event.

#include <cstdint>

#include "base/numeric.h"
#include "runner/game_variables.h"
#include "runner/instance.h"
#include "script/callable.h"
#include "script/code.h"
#include "script/errors.h"
#include "script/random.h"
#include "script/run_error.h"
#include "world/action_messages.h"
#include "world/action_support.h"
#include "world/function_action.h"

namespace kestrin {

namespace {

using namespace action;

double X(CScriptInstance* self, Args a, int i) {
    const CInstance* me = AsInstance(self);
    return Rel(D(a, i), me ? me->i_x : 0);
}
double Y(CScriptInstance* self, Args a, int i) {
    const CInstance* me = AsInstance(self);
    return Rel(D(a, i), me ? me->i_y : 0);
}
void Answer(RValue& r, bool yes) {
    r.SetReal(yes ? 1 : 0);
}

bool Empty(CScriptInstance* self, CScriptInstance* other, Args a) {
    const char* routine = I(a, 2) == 0 ? "place_free" : "place_empty";
    return CallReal(routine, self, other, {R(X(self, a, 0)), R(Y(self, a, 1))}) >= 0.5;
}
ROUTINE(action_if_empty) {
    Answer(r, Empty(self, other, a));
}
ROUTINE(action_if_collision) {
    Answer(r, !Empty(self, other, a));
}
// Self and other (-1, -2) are no objects here: nothing meets them.
ROUTINE(action_if_object) {
    if (const int32_t object = I(a, 0); object == -1 || object == -2) return Answer(r, false);
    Answer(r, CallReal("place_meeting", self, other, {R(X(self, a, 1)), R(Y(self, a, 2)), a[0]}) >= 0.5);
}
ROUTINE(action_if_number) {
    const double count = CallReal("instance_number", self, other, {a[0]});
    const double number = D(a, 1);
    switch (I(a, 2)) {
    case 1:
        return Answer(r, count < number);
    case 2:
        return Answer(r, count > number);
    default:
        return Answer(r, count == number);
    }
}
ROUTINE(action_if) {
    r = a[0];
}
ROUTINE(action_if_variable) {
    const RValue& v1 = a[0];
    const RValue& v2 = a[1];
    if (v1.IsString() != v2.IsString()) return ReportRunError(msg::kActionCompareKinds, false);
    int compared = 0;
    if (v1.IsString()) {
        const int c = v1.str().compare(v2.str());
        compared = c < 0 ? -1 : c > 0 ? 1 : 0;
    } else {
        const double difference = v1.val() - v2.val();
        compared = difference < 0 ? -1 : difference > 0 ? 1 : 0;
        // Equal only when exactly so (not within the comparison tolerance of the language).
        if (compared == 0 && !(difference == 0)) compared = 2;
    }
    switch (I(a, 2)) {
    case 1:
        return Answer(r, compared == -1);
    case 2:
        return Answer(r, compared == 1);
    default:
        return Answer(r, compared == 0);
    }
}
ROUTINE(action_if_dice) {
    const double sides = D(a, 0);
    if (!(sides > 1)) return Answer(r, true);
    const int32_t range = RoundToInt32Saturated(sides * 1000);
    Answer(r, RandomBelow(static_cast<uint32_t>(range)) < 1001);
}
ROUTINE(action_if_mouse) {
    const int32_t button = I(a, 0);
    if (button >= 1 && button <= 3)
        return Answer(r, CallReal("mouse_check_button", self, other, {R(button)}) >= 0.5);
    Answer(r, CallReal("mouse_check_button", self, other, {R(0)}) >= 0.5);
}
ROUTINE(action_if_aligned) {
    Answer(r, CallReal("place_snapped", self, other, {a[0], a[1]}) >= 0.5);
}

// The script's own errors are reported here, as a call from code would report them.
ROUTINE(action_execute_script) {
    const int32_t script = I(a, 0);
    if (script < 0 || script >= kFirstExtensionFunction - kFirstScriptFunction) return;
    switch (CallCallable(kFirstScriptFunction + script, self, other, 5, a + 1, r)) {
    case CallOutcome::Called:
    case CallOutcome::Missing:
        break;
    case CallOutcome::Failed:
        ReportRunError(LastCodeError(), false);
        ClearCodeError();
        break;
    }
}
ROUTINE(action_inherited) {
    Call("event_inherited", self, other, {});
}

#undef ROUTINE

constexpr RFunctionSpec kFunctions[] = {
    {"action_if_empty", action_if_empty, 3},
    {"action_if_collision", action_if_collision, 3},
    {"action_if_object", action_if_object, 3},
    {"action_if_number", action_if_number, 3},
    {"action_if", action_if, 1},
    {"action_if_variable", action_if_variable, 3},
    {"action_if_dice", action_if_dice, 1},
    {"action_if_mouse", action_if_mouse, 1},
    {"action_if_aligned", action_if_aligned, 2},
    {"action_execute_script", action_execute_script, 6},
    {"action_inherited", action_inherited, 0},
};

} // namespace

std::span<const RFunctionSpec> ActionQuestionFunctions() {
    return kFunctions;
}

} // namespace kestrin
