#pragma once
// Text projects: a folder of JSON and data files that `kestrin build` turns into game data
// and `kestrin unpack` writes back. The format is described in docs/project-format.md.

#include <filesystem>
#include <string>

#include "runner/game_data.h"

namespace kestrin {

// Reads the project in `dir` into `game` (reset first). On failure returns false and sets
// `error` to one line naming the file, the field and what was expected; `game` is then
// unspecified. Never throws for bad input.
bool LoadProject(const std::filesystem::path& dir, GameData& game, std::string& error);

// Writes `game` as a project into `dir`, which is created when missing. A folder that
// already holds something is refused unless `overwrite` is set; then files of the same name
// are replaced and other files are left alone (the manifest names every file it uses).
bool SaveProject(const GameData& game, const std::filesystem::path& dir, std::string& error,
                 bool overwrite = false);

} // namespace kestrin
