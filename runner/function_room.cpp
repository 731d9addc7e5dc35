// room_goto, room_goto_previous, room_goto_next, room_restart, room_previous, room_next:
// requests go through room_request and are carried out by the main loop after the step.

#include <string>

#include "base/numeric.h"
#include "runner/function_room.h"
#include "runner/game_world.h"
#include "runner/messages.h"
#include "script/run_error.h"
#include "script/value.h"

namespace kestrin {

namespace {

void Fatal(const std::string& text) {
    ReportRunError(text, true);
    World().room_request = kRequestAbort;
}

void Goto(int32_t numb) {
    CGameWorld& world = World();
    if (!world.RoomExists(numb)) {
        Fatal(msg::kUnexistingRoom + std::to_string(numb));
        return;
    }
    world.room_request = numb;
}

int32_t RoomArgument(const RValue& value) {
    return RoundToInt32Saturated(value.val(), -1);
}

void room_goto(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    Goto(RoomArgument(args[0]));
}

// A current room missing from the room order has no neighbour either: the same error as
// at the ends, rather than a request for room -1 that would silently do nothing.
void room_goto_previous(CScriptInstance*, CScriptInstance*, int32_t, const RValue*, RValue&) {
    const int32_t previous = World().RoomPrevious(World().CurrentIndex());
    if (previous < 0)
        Fatal(msg::kPreviousBeforeFirst);
    else
        Goto(previous);
}

void room_goto_next(CScriptInstance*, CScriptInstance*, int32_t, const RValue*, RValue&) {
    const int32_t next = World().RoomNext(World().CurrentIndex());
    if (next < 0)
        Fatal(msg::kNextAfterLast);
    else
        Goto(next);
}

void room_restart(CScriptInstance*, CScriptInstance*, int32_t, const RValue*, RValue&) {
    Goto(World().CurrentIndex());
}

void room_previous(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(World().RoomPrevious(RoomArgument(args[0])));
}

void room_next(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(World().RoomNext(RoomArgument(args[0])));
}

constexpr RFunctionSpec kRoomFunctions[] = {
    {"room_goto", room_goto, 1},           {"room_goto_previous", room_goto_previous, 0},
    {"room_goto_next", room_goto_next, 0}, {"room_previous", room_previous, 1},
    {"room_next", room_next, 1},           {"room_restart", room_restart, 0},
};

} // namespace

std::span<const RFunctionSpec> RoomFunctions() {
    return kRoomFunctions;
}

} // namespace kestrin
