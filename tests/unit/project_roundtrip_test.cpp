#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "project_fixture.h"
#include "runner/room_record.h"
#include "tools/project.h"

namespace kestrin {
namespace {

namespace fs = std::filesystem;
using testing::ExpectSameGame;
using testing::FullGame;
using testing::TempFolder;

GameData SaveAndLoad(const GameData& game, const fs::path& dir) {
    std::string error;
    EXPECT_TRUE(SaveProject(game, dir, error)) << error;
    GameData loaded;
    EXPECT_TRUE(LoadProject(dir, loaded, error)) << error;
    return loaded;
}

TEST(ProjectRoundTrip, EveryFieldSurvivesSaveAndLoad) {
    TempFolder temp;
    GameData game = FullGame();
    GameData loaded = SaveAndLoad(game, temp / "project");
    ExpectSameGame(game, loaded);
}

TEST(ProjectRoundTrip, DefaultGameSurvivesSaveAndLoad) {
    TempFolder temp;
    GameData game;
    GameData loaded = SaveAndLoad(game, temp / "project");
    ExpectSameGame(game, loaded);
}

TEST(ProjectRoundTrip, BuildUnpackBuildGivesTheSameBytes) {
    TempFolder temp;
    for (uint64_t seed : {1ull, 0x4B52756E47646174ull}) {
        StreamRandom first(seed);
        std::vector<uint8_t> built = SaveGameData(FullGame(), first);

        GameData unpacked;
        LoadResult result = LoadGameData(built, 0, unpacked);
        ASSERT_TRUE(result.ok) << result.message;
        fs::path dir = temp / ("unpacked" + std::to_string(seed));
        GameData reloaded = SaveAndLoad(unpacked, dir);
        ExpectSameGame(unpacked, reloaded);

        StreamRandom second(seed);
        EXPECT_EQ(built, SaveGameData(reloaded, second)) << "seed " << seed;
    }
}

TEST(ProjectSave, NamesNeverLeaveTheProjectAndFileNamesAreSafe) {
    TempFolder temp;
    fs::path dir = temp / "project";
    std::string error;
    ASSERT_TRUE(SaveProject(FullGame(), dir, error)) << error;

    // Nothing beside the project folder.
    size_t entries = 0;
    for (const auto& e : fs::directory_iterator(temp.Path())) {
        ++entries;
        EXPECT_EQ(e.path().filename(), "project");
    }
    EXPECT_EQ(entries, 1u);

    // Every name is plain, and no two differ only in case (the project must survive a copy
    // to a case-insensitive file system).
    std::regex plain("[A-Za-z0-9_-]+(\\.[A-Za-z0-9_]+)?");
    std::set<std::string> lowered;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        std::string name = e.path().filename().string();
        EXPECT_TRUE(std::regex_match(name, plain)) << name;
        EXPECT_NE(name, "CON.json");
        std::string rel = fs::relative(e.path(), dir).string();
        for (char& c : rel) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(lowered.insert(rel).second) << rel;
    }
    EXPECT_TRUE(fs::exists(dir / "sprites" / "Same.json"));
    EXPECT_TRUE(fs::exists(dir / "sprites" / "same_2.json"));
    EXPECT_TRUE(fs::exists(dir / "sprites" / "CON_.json"));
    EXPECT_TRUE(fs::exists(dir / "sprites" / "unnamed.json"));
}

TEST(ProjectSave, RefusesAFolderThatHoldsSomethingUnlessToldToOverwrite) {
    TempFolder temp;
    fs::path dir = temp / "project";
    testing::WriteTextFile(dir / "notes.txt", "mine");
    std::string error;
    EXPECT_FALSE(SaveProject(FullGame(), dir, error));
    EXPECT_EQ(error, dir.string() + ": the folder is not empty");
    EXPECT_FALSE(fs::exists(dir / "game.json"));

    ASSERT_TRUE(SaveProject(FullGame(), dir, error, true)) << error;
    EXPECT_TRUE(fs::exists(dir / "notes.txt"));
    GameData loaded;
    ASSERT_TRUE(LoadProject(dir, loaded, error)) << error;
    ExpectSameGame(FullGame(), loaded);

    // An existing empty folder is fine, and so is a path that is a file only when it is not.
    fs::create_directories(temp / "empty");
    EXPECT_TRUE(SaveProject(GameData(), temp / "empty", error)) << error;
    testing::WriteTextFile(temp / "file", "x");
    EXPECT_FALSE(SaveProject(GameData(), temp / "file", error));
    EXPECT_EQ(error, (temp / "file").string() + ": exists and is not a folder");
}

TEST(ProjectLoad, AbsentFieldsTakeTheirDefaults) {
    TempFolder temp;
    testing::WriteTextFile(temp / "game.json", R"({
        "resources": {"rooms": ["b", null, "a"]},
        "included_files": [{"filename": "x.bin", "data": "x.bin"}]
    })");
    testing::WriteTextFile(temp / "rooms/a.json", "{}");
    testing::WriteTextFile(temp / "rooms/b.json", R"({"name": "first room", "record": "0aFF"})");
    testing::WriteTextFile(temp / "x.bin", "12345");
    GameData game;
    std::string error;
    ASSERT_TRUE(LoadProject(temp.Path(), game, error)) << error;

    GameData defaults;
    EXPECT_EQ(testing::SettingsBytes(game.settings), testing::SettingsBytes(defaults.settings));
    EXPECT_EQ(game.last_instance_id, defaults.last_instance_id);
    EXPECT_EQ(game.information.caption, defaults.information.caption);
    const auto& rooms = game.Resources(ResourceKind::Room);
    ASSERT_EQ(rooms.size(), 3u);
    EXPECT_EQ(rooms[0].name, "first room");
    EXPECT_EQ(rooms[0].record, (std::vector<uint8_t>{0x0A, 0xFF}));
    EXPECT_FALSE(rooms[1].present);
    EXPECT_EQ(rooms[2].name, "a"); // the file's name when the JSON names none
    // A room file without fields is a default room.
    CStream defaultRoom;
    RoomRecord().SaveToStream(defaultRoom);
    EXPECT_EQ(rooms[2].record, defaultRoom.Bytes());
    // Without a room order every room plays, in index order.
    EXPECT_EQ(game.room_order, (std::vector<int32_t>{0, 2}));
    // A file listed with data is carried and exported to the working folder.
    ASSERT_EQ(game.included_files.files.size(), 1u);
    const CDataFile& f = game.included_files.files[0];
    EXPECT_TRUE(f.s_exists);
    EXPECT_TRUE(f.s_store);
    EXPECT_EQ(f.s_size, 5);
    EXPECT_EQ(f.s_origname, "x.bin");
    EXPECT_EQ(f.s_exportaction, kExportToWorkingFolder);
}

TEST(ProjectLoad, ExampleProjectLoadsAndBuilds) {
    fs::path dir = fs::path(KESTRIN_SOURCE_DIR) / "tests" / "projects" / "minimal";
    GameData game;
    std::string error;
    ASSERT_TRUE(LoadProject(dir, game, error)) << error;
    EXPECT_EQ(game.game_id, 1001);
    EXPECT_EQ(game.settings.scale, 200);
    EXPECT_FALSE(game.settings.show_progress);
    EXPECT_TRUE(game.settings.create_event_first);
    ASSERT_EQ(game.Resources(ResourceKind::Room).size(), 1u);
    EXPECT_EQ(game.Resources(ResourceKind::Room)[0].name, "room_start");
    EXPECT_EQ(game.room_order, (std::vector<int32_t>{0}));
    ASSERT_EQ(game.included_files.files.size(), 1u);
    EXPECT_EQ(game.included_files.files[0].s_exportaction, kExportToTemp);
    EXPECT_EQ(game.library_init_code.size(), 1u);
    EXPECT_EQ(game.constants.size(), 2u);

    StreamRandom random;
    std::vector<uint8_t> built = SaveGameData(game, random);
    GameData loaded;
    LoadResult result = LoadGameData(built, 0, loaded);
    ASSERT_TRUE(result.ok) << result.message;
    ExpectSameGame(game, loaded);
}

} // namespace
} // namespace kestrin
