#include "world/action_support.h"

#include <algorithm>

#include "base/numeric.h"
#include "script/registry.h"
#include "script/scripts.h"

namespace kestrin {

namespace action {

int32_t I(Args a, int i) {
    return RoundToInt32Saturated(a[i].val());
}
double D(Args a, int i) {
    return a[i].val();
}
bool B(Args a, int i) {
    return IsTrue(a[i].val());
}
bool Relative() {
    return IsTrue(ArgumentRelative());
}
double Rel(double value, double base) {
    return Relative() ? value + base : value;
}

bool Call(std::string_view name, CScriptInstance* self, CScriptInstance* other,
          std::initializer_list<RValue> args, RValue* result) {
    const int32_t index = FindFunction(name);
    if (index < 0) return false;
    RValue slots[kMaxArguments];
    int32_t argc = 0;
    for (const RValue& v : args) {
        if (argc == kMaxArguments) break;
        slots[argc++] = v;
    }
    RValue out;
    FunctionRoutine(index)(self, other, argc, slots, out);
    if (result) *result = std::move(out);
    return true;
}

double CallReal(std::string_view name, CScriptInstance* self, CScriptInstance* other,
                std::initializer_list<RValue> args, double missing) {
    RValue r;
    return Call(name, self, other, args, &r) ? r.val() : missing;
}

ActionParticles& Particles() {
    static ActionParticles state;
    return state;
}

} // namespace action

void ResetActionState() {
    action::Particles() = action::ActionParticles();
}

} // namespace kestrin
