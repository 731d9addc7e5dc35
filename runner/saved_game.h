#pragma once
// Saved games: a snapshot of the running game (the game-level values, the globals and every
// running room copy with its instances and tiles) written as one stream, and read back.
// Writing goes to a temporary file in the same folder that is flushed and renamed over the
// old one, so a crash leaves the old or the new saved game, never part of one. Reading parses
// the whole file into rooms of its own first and changes the game only when all of it was
// read, so a damaged or truncated file leaves the game exactly as it was.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "script/builtin_routine.h"

namespace kestrin {

class CInstance;
class InputState;
class CRoom;
class CStream;

inline constexpr int32_t kSavedGameVersion = 540;
inline constexpr int32_t kSavedGlobalsVersion = 700;
// Written after the fields every reader knows, which stop there: what this runner adds.
inline constexpr int32_t kSavedGameExtension = 1;
// The fewest bytes an instance and a tile record take, which bounds the counts read.
inline constexpr size_t kSavedInstanceMinBytes = 368;
inline constexpr size_t kSavedTileMinBytes = 80;

// What saving and loading need from above the runner; unset: the main loop's own flag, and
// the file built-ins' secure mode.
struct SavedGameHooks {
    std::function<bool()> automatic_draw;
    std::function<void(bool)> set_automatic_draw;
    std::function<bool()> secure_mode;
};
void SetSavedGameHooks(SavedGameHooks hooks);

// The records of one instance and one running room.
void SaveInstanceToStream(const CInstance& instance, CStream& out);
// Fills a new instance without events; StreamError for a damaged record.
void LoadInstanceFromStream(CInstance& instance, CStream& in);
void SaveRoomStateToStream(const CRoom& room, CStream& out);
// False for a record of another version or layout; StreamError when cut short.
[[nodiscard]] bool LoadRoomStateFromStream(CRoom& room, CStream& in);

// The whole snapshot of the running game.
std::vector<uint8_t> SaveGameToBytes();
enum class LoadGameResult : uint8_t { Loaded, OtherVersion, OtherGame, Damaged };
// Replaces the running game by the snapshot, or changes nothing unless Loaded.
LoadGameResult LoadGameFromBytes(std::vector<uint8_t> bytes);

// game_save and game_load's work, with their messages (none are fatal). Saving reports
// failure and keeps the old file; loading a missing file does nothing.
bool Game_Save(const std::string& fname);
bool Game_Load(const std::string& fname);
// The file F5 and F6 use: "_save" followed by the game's id and ".sav".
std::string QuickSaveName();

// F5 saves to the quick-save file and F6 loads it, at once, at the start of a step.
void SavedGameKeys(const InputState& input);

// game_save (at once) and game_load (asked for; carried out after the step).
std::span<const RFunctionSpec> SavedGameFunctions();

} // namespace kestrin
