#pragma once
// The text `kestrin info` prints for a game: settings, resources, included files, constants,
// extension packages, room order and sizes.

#include <string>

#include "runner/game_data.h"

namespace kestrin {

std::string DescribeGame(const GameData& game);

} // namespace kestrin
