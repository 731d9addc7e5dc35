// Room transition built-ins.

#include "graphics/function_transition.h"

#include "graphics/function_args.h"
#include "graphics/transition.h"
#include "script/value.h"

namespace kestrin {

namespace {

using graphics_args::Args;
using graphics_args::I;

ROUTINE(transition_define) {
    r.SetReal(Transition_Define(I(a, 0), a[1].str()) ? 1 : 0);
}
ROUTINE(transition_exists) {
    r.SetReal(Transition_Exists(I(a, 0)) ? 1 : 0);
}

#undef ROUTINE

constexpr RFunctionSpec kFunctions[] = {
    {"transition_define", transition_define, 2},
    {"transition_exists", transition_exists, 1},
};

} // namespace

std::span<const RFunctionSpec> TransitionFunctions() {
    return kFunctions;
}

} // namespace kestrin
