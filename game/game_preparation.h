#pragma once
// The script language's part of preparing a loaded game: its options, the names code can
// use as constants, the game's constants and its scripts.

#include <string>
#include <vector>

#include "runner/game_data.h"

namespace kestrin {

// Language and error options of the settings; fresh globals and error state. The constants
// table is left alone: extension packages have added theirs by now.
void PrepareScriptLanguage(const CSettings& settings);

// Resource names as constants for code compiled from now on: objects, sprites, sounds,
// backgrounds, paths, fonts, time lines, scripts, rooms, in that order of precedence.
void UseResourceNames(const GameData& game);

// Defines the game's constants in their stored order; the first failure stops, with the
// message to show in `message`.
[[nodiscard]] bool DefineGameConstants(const std::vector<UserConstant>& constants, std::string& message);

// Fills the script table from the scripts section's records; false when a record has the
// wrong version or is cut short.
[[nodiscard]] bool LoadScripts(const std::vector<RawResource>& records);

} // namespace kestrin
