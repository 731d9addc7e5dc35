#pragma once
// The high-score table: ten ranks of a name and a score, kept per game in the registry of the
// current user, one letter-coded string value per rank, and the settings of its window.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrin {

class RegistryStore;

inline constexpr int32_t kHighscoreRanks = 10;
// The value of a rank holds 1024 entries: 16 for the score, the rest for the name's bytes.
inline constexpr size_t kHighscoreNameBytes = 1024 - 16;

struct HighscoreEntry {
    std::string name;
    int32_t score = 0;
    bool stored = false; // false: never stored, shown with the text for missing names
};

struct HighscoreTable {
    std::array<HighscoreEntry, kHighscoreRanks> ranks;

    // Stores (name, score) at the first rank whose score is below `score`, moving the later
    // ranks down (rank 10 drops out); equal scores keep the older entry above. Answers the
    // rank from 1, or 0 when the score does not enter the table.
    int32_t Insert(std::string_view name, int32_t score);
    // The rank `score` would get, 0 when none.
    int32_t RankFor(int32_t score) const;
};

// The registry key of a game's table and the name of a rank's value.
std::string HighscoreKey(int32_t gameId);
std::string HighscoreValueName(int32_t rank);

// A rank's value text: pairs of letters "A".."P", each an entry offset by its position and
// the game id. Names longer than the buffer are cut at a character boundary.
std::string EncodeHighscoreRank(std::string_view name, int32_t score, int32_t gameId);
// Nothing for a text of odd length, shorter than the score's entries, longer than the
// buffer, or with a letter outside "A".."P". Names that are not UTF-8 (written by older
// tools as one byte per character) are read as Latin-1.
std::optional<HighscoreEntry> DecodeHighscoreRank(std::string_view text, int32_t gameId);

HighscoreTable LoadHighscores(const RegistryStore& store, int32_t gameId);
bool SaveHighscores(RegistryStore& store, int32_t gameId, const HighscoreTable& table);

// The window's settings.
struct HighscoreSettings {
    int32_t background = -1;
    bool border = true;
    int32_t back_colour = 15793151;
    int32_t new_colour = 255;
    int32_t other_colour = 0;
    std::string font = "Times New Roman";
    int32_t font_size = 12;
    int32_t font_style = 0;
    std::string caption = "Top Ten Players";
    std::string nobody = "<nobody>";
    std::string escape = "press <Escape> to close";
};
HighscoreSettings& CurrentHighscoreSettings();
void ResetHighscoreSettings();

} // namespace kestrin
