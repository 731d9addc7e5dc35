#include "runner/highscore.h"

#include "base/utf.h"
#include "runner/registry_store.h"

namespace kestrin {

namespace {

HighscoreSettings g_settings;

constexpr size_t kScoreEntries = 16;

// (k + entry + id) mod 256 and back, with k counting from 1 and any game id.
uint8_t Offset(size_t k, int64_t entry, int32_t gameId, int sign) {
    const int64_t v = entry + sign * (static_cast<int64_t>(k) + gameId);
    return static_cast<uint8_t>(((v % 256) + 256) % 256);
}

bool IsUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        char32_t c = 0;
        const size_t n = DecodeUtf8(s, i, c);
        if (c == kReplacementCharacter && !(n == 3 && s.substr(i, 3) == "\xEF\xBF\xBD")) return false;
        i += n;
    }
    return true;
}

// The longest prefix of at most `limit` bytes that does not end inside a character.
std::string_view CutUtf8(std::string_view s, size_t limit) {
    if (s.size() <= limit) return s;
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80) --end;
    return s.substr(0, end);
}

} // namespace

int32_t HighscoreTable::RankFor(int32_t score) const {
    for (int32_t i = 0; i < kHighscoreRanks; ++i)
        if (ranks[static_cast<size_t>(i)].score < score) return i + 1;
    return 0;
}

int32_t HighscoreTable::Insert(std::string_view name, int32_t score) {
    const int32_t rank = RankFor(score);
    if (rank == 0) return 0;
    for (size_t i = kHighscoreRanks - 1; i >= static_cast<size_t>(rank); --i) ranks[i] = ranks[i - 1];
    ranks[static_cast<size_t>(rank - 1)] = {std::string(name), score, true};
    return rank;
}

std::string HighscoreKey(int32_t gameId) {
    return "\\Software\\Kestrin\\Scores\\" + std::to_string(gameId);
}

std::string HighscoreValueName(int32_t rank) {
    return "Rank" + std::to_string(rank);
}

std::string EncodeHighscoreRank(std::string_view name, int32_t score, int32_t gameId) {
    const std::string_view kept = CutUtf8(name, kHighscoreNameBytes);
    std::string out;
    out.reserve(2 * (kScoreEntries + kept.size()));
    const auto bits = static_cast<uint32_t>(score);
    for (size_t k = 1; k <= kScoreEntries + kept.size(); ++k) {
        int64_t entry = 0;
        if (k <= 4)
            entry = (bits >> (8 * (k - 1))) & 0xFF;
        else if (k > kScoreEntries)
            entry = static_cast<unsigned char>(kept[k - kScoreEntries - 1]);
        const uint8_t v = Offset(k, entry, gameId, 1);
        out.push_back(static_cast<char>('A' + v / 16));
        out.push_back(static_cast<char>('A' + v % 16));
    }
    return out;
}

std::optional<HighscoreEntry> DecodeHighscoreRank(std::string_view text, int32_t gameId) {
    if (text.size() % 2 != 0 || text.size() < 2 * kScoreEntries ||
        text.size() > 2 * (kScoreEntries + kHighscoreNameBytes))
        return std::nullopt;
    uint32_t bits = 0;
    std::string name;
    for (size_t k = 1; k <= text.size() / 2; ++k) {
        const char hi = text[2 * k - 2], lo = text[2 * k - 1];
        if (hi < 'A' || hi > 'P' || lo < 'A' || lo > 'P') return std::nullopt;
        const uint8_t entry = Offset(k, 16 * (hi - 'A') + (lo - 'A'), gameId, -1);
        if (k <= 4)
            bits |= static_cast<uint32_t>(entry) << (8 * (k - 1));
        else if (k > kScoreEntries)
            name.push_back(static_cast<char>(entry));
    }
    HighscoreEntry out;
    out.score = static_cast<int32_t>(bits);
    out.stored = true;
    if (IsUtf8(name)) {
        out.name = std::move(name);
    } else {
        for (char c : name) AppendUtf8(out.name, static_cast<unsigned char>(c));
    }
    return out;
}

HighscoreTable LoadHighscores(const RegistryStore& store, int32_t gameId) {
    HighscoreTable table;
    const std::string key = HighscoreKey(gameId);
    for (int32_t rank = 1; rank <= kHighscoreRanks; ++rank) {
        const auto value = store.Get(RegistryRoot::CurrentUser, key, HighscoreValueName(rank));
        if (!value || value->type != RegistryValue::Type::String) continue;
        if (auto entry = DecodeHighscoreRank(value->text, gameId))
            table.ranks[static_cast<size_t>(rank - 1)] = *entry;
    }
    return table;
}

bool SaveHighscores(RegistryStore& store, int32_t gameId, const HighscoreTable& table) {
    const std::string key = HighscoreKey(gameId);
    bool ok = true;
    for (int32_t rank = 1; rank <= kHighscoreRanks; ++rank) {
        // A rank never stored may have moved onto one that was: it is written empty, which
        // reads back as never stored.
        const HighscoreEntry& e = table.ranks[static_cast<size_t>(rank - 1)];
        ok = store.WriteString(RegistryRoot::CurrentUser, key, HighscoreValueName(rank),
                               e.stored ? EncodeHighscoreRank(e.name, e.score, gameId) : std::string()) &&
             ok;
    }
    return ok;
}

HighscoreSettings& CurrentHighscoreSettings() {
    return g_settings;
}

void ResetHighscoreSettings() {
    g_settings = HighscoreSettings();
}

} // namespace kestrin
