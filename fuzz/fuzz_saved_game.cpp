// Saved games over hostile bytes: loading never faults or allocates beyond the bytes present,
// a refused file leaves the game as it was, and a loaded one saves to bytes that load again
// and save the same.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "runner/game_variables.h"
#include "runner/game_world.h"
#include "runner/object.h"
#include "runner/room.h"
#include "runner/saved_game.h"

using namespace kestrin;

namespace {

void StartSmallGame() {
    World().Clear();
    Objects().Clear();
    Objects().Add("thing", std::make_unique<CObject>());
    GameValues().game_id = 7;
    RoomRecord record;
    record.instances.push_back({16, 16, 0, 100001, "", 1, 1, kOpaqueWhite, 0});
    auto room = std::make_unique<CRoom>();
    room->Assign(record);
    World().RoomOrder().push_back(World().AddRoom("room", std::move(room)));
    World().StartGame();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    StartSmallGame();
    const std::vector<uint8_t> before = SaveGameToBytes();
    const std::vector<uint8_t> input(data, data + size);
    if (LoadGameFromBytes(input) != LoadGameResult::Loaded) {
        if (SaveGameToBytes() != before) std::abort();
        return 0;
    }
    const std::vector<uint8_t> saved = SaveGameToBytes();
    if (LoadGameFromBytes(saved) != LoadGameResult::Loaded) std::abort();
    if (SaveGameToBytes() != saved) std::abort();
    return 0;
}
