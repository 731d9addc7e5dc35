// What the headless world benchmarks share: processor time, code actions, and a fresh game
// started in one room.

#pragma once

#include <ctime>
#include <memory>
#include <string>
#include <utility>

#include "game/compose.h"
#include "runner/event_dispatch.h"
#include "runner/game_world.h"
#include "runner/object.h"
#include "runner/room.h"
#include "script/variables.h"

namespace kestrin::bench {

inline double CpuMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

inline ActionRecord Code(const std::string& text) {
    ActionRecord a;
    a.kind = kActionCode;
    a.exetype = kExecuteCode;
    a.argumentcount = 1;
    a.argtypes = {1};
    a.args = {text};
    return a;
}

// Clears the world and starts the game in a single room built from `record`; `install` adds
// hooks beyond event dispatch (collisions, say) before the first room starts.
inline void StartRoom(const RoomRecord& record, void (*install)() = nullptr) {
    World().Clear();
    GlobalsInit();
    LastIds() = WorldIds();
    auto room = std::make_unique<CRoom>();
    room->Assign(record);
    World().RoomOrder().push_back(World().AddRoom("room", std::move(room)));
    ComposeGame();
    if (install) install();
    World().StartGame();
}

} // namespace kestrin::bench
