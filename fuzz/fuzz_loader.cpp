// The whole game data loader over hostile bytes: the container search and check, the
// settings block and body, and the resource stream with every section.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runner/container.h"
#include "runner/game_data.h"

using namespace kestrin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> input(data, data + size);
    {
        // As a file: mostly stops at the marker or the checksum.
        GameData game;
        (void)LoadGameData(input, 0, game);
    }
    {
        // As a body behind a valid container, so mutations reach the settings and sections.
        StreamRandom random(1);
        GameData game;
        (void)LoadGameData(WriteContainer(input, random), 0, game);
    }
    {
        // As a resource stream on its own.
        CStream stream(std::move(input));
        GameData game;
        std::string message;
        try {
            (void)ReadResourceStream(stream, game, {}, message);
        } catch (const StreamError&) {
        }
    }
    return 0;
}
