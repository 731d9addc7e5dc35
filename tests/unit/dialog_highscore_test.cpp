// The high-score table: insertion and ties, the letter coding of a rank for any game id, and
// damaged stored texts falling back to the defaults.

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <unistd.h>

#include "runner/highscore.h"
#include "runner/registry_store.h"

namespace kestrin {
namespace {

TEST(HighscoreInsert, OrderAndTies) {
    HighscoreTable t;
    EXPECT_EQ(t.Insert("a", 50), 1);
    EXPECT_EQ(t.Insert("b", 50), 2); // the older entry stays above
    EXPECT_EQ(t.Insert("c", 70), 1);
    EXPECT_EQ(t.Insert("d", 0), 0); // not above the empty ranks' 0
    EXPECT_EQ(t.Insert("e", -5), 0);
    EXPECT_EQ(t.ranks[0].name, "c");
    EXPECT_EQ(t.ranks[1].name, "a");
    EXPECT_EQ(t.ranks[2].name, "b");
    EXPECT_FALSE(t.ranks[3].stored);
    for (int i = 0; i < 10; ++i) EXPECT_GT(t.Insert("x" + std::to_string(i), 100 + i), 0);
    // Rank 10 dropped out each time; the last one in is on top.
    EXPECT_EQ(t.ranks[0].name, "x9");
    EXPECT_EQ(t.ranks[9].name, "x0");
    EXPECT_EQ(t.RankFor(100), 0);
    EXPECT_EQ(t.RankFor(101), 10);
}

TEST(HighscoreCoding, KnownTextAndRoundTrips) {
    // Game 0, score 0, no name: entry k is k.
    EXPECT_EQ(EncodeHighscoreRank("", 0, 0), "ABACADAEAFAGAHAIAJAKALAMANAOAPBA");
    // Score 1 in game 255: entry 1 is (1 + 1 + 255) mod 256 = 1.
    EXPECT_EQ(EncodeHighscoreRank("", 1, 255).substr(0, 4), "ABAB");
    const std::string longName(2000, 'n');
    for (int32_t id : {0, 1, 255, 256, 1012, -1, -12345, INT32_MIN, INT32_MAX}) {
        for (int32_t score : {0, 1, -1, 123456789, INT32_MIN, INT32_MAX}) {
            for (std::string name : {std::string(), std::string("Ann"),
                                     std::string("\xC3\xA9t\xC3\xA9 \xE6\xBC\xA2"), std::string("a\0b", 3)}) {
                const std::string text = EncodeHighscoreRank(name, score, id);
                EXPECT_EQ(text.size(), 2 * (16 + name.size()));
                const auto back = DecodeHighscoreRank(text, id);
                ASSERT_TRUE(back) << id << " " << score;
                EXPECT_EQ(back->name, name) << id;
                EXPECT_EQ(back->score, score) << id;
            }
        }
        // Over-long names are cut to what the buffer holds.
        const auto cut = DecodeHighscoreRank(EncodeHighscoreRank(longName, 5, id), id);
        ASSERT_TRUE(cut);
        EXPECT_EQ(cut->name, std::string(kHighscoreNameBytes, 'n'));
    }
    // A cut never splits a character.
    const std::string wide = std::string(kHighscoreNameBytes - 1, 'w') + "\xC3\xA9";
    EXPECT_EQ(DecodeHighscoreRank(EncodeHighscoreRank(wide, 0, 3), 3)->name,
              std::string(kHighscoreNameBytes - 1, 'w'));
}

TEST(HighscoreCoding, RefusesDamagedTexts) {
    const std::string good = EncodeHighscoreRank("Bo", 10, 7);
    std::string lower = good;
    lower[4] = 'b';
    std::string beyond = good;
    beyond[2] = 'Q';
    for (const std::string& bad : {good.substr(1), good.substr(0, 30), std::string(), lower, beyond,
                                   std::string(2 * 1025, 'A'), good + "A"})
        EXPECT_FALSE(DecodeHighscoreRank(bad, 7)) << bad;
    // Another game's text decodes to something else, not to a crash.
    EXPECT_TRUE(DecodeHighscoreRank(good, 8));
    // A name of bytes that are not UTF-8 is read as Latin-1.
    EXPECT_EQ(DecodeHighscoreRank(EncodeHighscoreRank("\xE9t\xE9", 1, 0), 0)->name, "\xC3\xA9t\xC3\xA9");
}

TEST(HighscoreStore, LoadsWhatWasSavedAndDefaultsForDamage) {
    const auto dir = std::filesystem::temp_directory_path() / ("ks_scores_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    RegistryStore store(dir.string());
    HighscoreTable t;
    t.Insert("Ann", 300);
    t.Insert("Bo", 200);
    ASSERT_TRUE(SaveHighscores(store, -42, t));
    EXPECT_TRUE(store.Exists(RegistryRoot::CurrentUser, "\\Software\\Kestrin\\Scores\\-42", "Rank10"));
    ASSERT_TRUE(store.WriteString(RegistryRoot::CurrentUser, HighscoreKey(-42), "Rank2", "ABC"));
    const HighscoreTable back = LoadHighscores(store, -42);
    EXPECT_EQ(back.ranks[0].name, "Ann");
    EXPECT_EQ(back.ranks[0].score, 300);
    EXPECT_FALSE(back.ranks[1].stored); // damaged: the default
    EXPECT_EQ(back.ranks[1].score, 0);
    EXPECT_FALSE(back.ranks[2].stored);
    EXPECT_FALSE(LoadHighscores(store, 5).ranks[0].stored);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace kestrin
