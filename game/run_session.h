#pragma once
// Playing a loaded game under the run options: the clock (real or simulated), the seed,
// replayed and recorded input with periodic state hashes, the frame limit, and the exit
// status. The same path serves windowed and headless runs.

#include <cstdint>
#include <string>

namespace kestrin {

struct RunOptions;
struct CSettings;
class InputPlatform;

// A short hash of the game state a replay must reproduce: the current room, its instances
// (ids, objects, positions, motion, alarms and variables), the globals and the random seed.
uint32_t GameStateHash();

// How many steps lie between the hashes of a recording.
inline constexpr int64_t kHashInterval = 60;

// Starts the game, runs the main loop to the end and ends the game; answers the exit status.
// `messages` receives what a replay or recording has to say (headless: standard error).
int PlayGame(const RunOptions& options, const CSettings& settings, bool debugMode, InputPlatform& platform,
             void (*messages)(const std::string& text));

} // namespace kestrin
