#include "runner/function_loop.h"

#include "base/numeric.h"
#include "runner/game_world.h"
#include "runner/main_loop.h"

namespace kestrin {

namespace {

void game_end(CScriptInstance*, CScriptInstance*, int32_t, const RValue*, RValue&) {
    World().room_request = kRequestEndGame;
}

void game_restart(CScriptInstance*, CScriptInstance*, int32_t, const RValue*, RValue&) {
    World().room_request = kRequestRestart;
}

void sleep_routine(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    const double micros = args[0].val() * 1000.0;
    if (!(micros > 0) || !CurrentLoop()) return;
    CurrentLoop()->Pacer().Wait(RoundToInt64Saturated(micros));
}

constexpr RFunctionSpec kLoopFunctions[] = {
    {"game_end", game_end, 0},
    {"game_restart", game_restart, 0},
    {"sleep", sleep_routine, 1},
};

} // namespace

std::span<const RFunctionSpec> LoopFunctions() {
    return kLoopFunctions;
}

} // namespace kestrin
