#pragma once
// The build's check of a project's code: every piece of code compiled with the runner's own
// compiler, each error placed in the project file it came from.

#include <filesystem>
#include <string>
#include <vector>

#include "runner/game_data.h"

namespace kestrin {

// Compiles the constants, scripts, object and time-line actions, room creation code and
// instance creation code of `game`, read from the project in `dir` (LoadProject succeeded).
// Returns one line per error: `FILE:LINE:COLUMN: message` for code in a file of its own,
// `FILE: FIELD:LINE:COLUMN: message` for code written inside a JSON file. Leaves the script
// language's tables as a fresh process has them.
std::vector<std::string> CheckProjectCode(const std::filesystem::path& dir, const GameData& game);

// "LINE:COLUMN" of a compiler position (UTF-16 code units from 1) in `text`: lines end at
// "\n", "\r\n" or "\r"; columns count characters from 1.
std::string CodePlace(std::string_view text, int32_t position);

} // namespace kestrin
