#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "project_fixture.h"
#include "base/stream.h"
#include "tools/project.h"

namespace kestrin {
namespace {

namespace fs = std::filesystem;
using testing::Raw;
using testing::TempFolder;
using testing::WriteTextFile;

std::vector<uint8_t> Record(int32_t version, std::string_view text) {
    CStream out;
    out.WriteInteger(version);
    out.WriteString(text);
    return out.TakeBytes();
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(ProjectScripts, CodeIsReadFromATextFileInlineOrAbsent) {
    TempFolder temp;
    const fs::path dir = temp / "project";
    WriteTextFile(dir / "game.json",
                  R"({"resources": {"scripts": ["scr_file", "scr_inline", "scr_empty"]}})");
    WriteTextFile(dir / "scripts/scr_file.json", R"({"code": {"file": "scripts/scr_file.txt"}})");
    // No newline is added or removed, and carriage returns stay.
    WriteTextFile(dir / "scripts/scr_file.txt", "return argument0 +\r\n 1");
    WriteTextFile(dir / "scripts/scr_inline.json", R"({"name": "inline", "code": "x = 1;\n"})");
    WriteTextFile(dir / "scripts/scr_empty.json", "{}");

    GameData game;
    std::string error;
    ASSERT_TRUE(LoadProject(dir, game, error)) << error;
    const auto& scripts = game.Resources(ResourceKind::Script);
    ASSERT_EQ(scripts.size(), 3u);
    EXPECT_EQ(scripts[0].record, Record(800, "return argument0 +\r\n 1"));
    EXPECT_EQ(scripts[1].name, "inline");
    EXPECT_EQ(scripts[1].record, Record(800, "x = 1;\n"));
    EXPECT_EQ(scripts[2].record, Record(800, ""));

    // Saving writes each text to its own file, byte for byte, and loads back the same records.
    const fs::path again = temp / "again";
    ASSERT_TRUE(SaveProject(game, again, error)) << error;
    EXPECT_EQ(ReadFile(again / "scripts/scr_file.txt"), "return argument0 +\r\n 1");
    EXPECT_EQ(ReadFile(again / "scripts/inline.txt"), "x = 1;\n");
    GameData reloaded;
    ASSERT_TRUE(LoadProject(again, reloaded, error)) << error;
    for (size_t i = 0; i < scripts.size(); ++i)
        EXPECT_EQ(reloaded.Resources(ResourceKind::Script)[i].record, scripts[i].record) << i;
}

TEST(ProjectScripts, RecordsTheTextCannotReproduceStayHex) {
    std::vector<uint8_t> trailing = Record(800, "a");
    trailing.push_back(0);
    std::vector<uint8_t> cut = Record(800, "abcdef");
    cut.resize(cut.size() - 2);
    const std::vector<std::vector<uint8_t>> records = {Record(700, "old"), trailing, cut, {}, {8, 0, 0}};

    TempFolder temp;
    GameData game;
    for (size_t i = 0; i < records.size(); ++i)
        game.Resources(ResourceKind::Script).push_back(Raw("scr_" + std::to_string(i), records[i]));
    std::string error;
    ASSERT_TRUE(SaveProject(game, temp / "project", error)) << error;
    GameData loaded;
    ASSERT_TRUE(LoadProject(temp / "project", loaded, error)) << error;
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(loaded.Resources(ResourceKind::Script)[i].record, records[i]) << i;
        EXPECT_FALSE(fs::exists(temp / "project" / ("scripts/scr_" + std::to_string(i) + ".txt"))) << i;
    }
}

TEST(ProjectScripts, ACodeFieldOfTheWrongTypeIsNamed) {
    TempFolder temp;
    const fs::path dir = temp / "project";
    WriteTextFile(dir / "game.json", R"({"resources": {"scripts": ["scr"]}})");
    for (const auto& [json, want] : std::initializer_list<std::pair<const char*, const char*>>{
             {R"({"code": 5})", "scripts/scr.json: code: expected a string"},
             {R"({"code": {"file": "scripts/none.txt"}})", "scripts/scr.json: code.file: file not found"},
             {R"({"code": {"path": "x"}})", "scripts/scr.json: code"},
         }) {
        WriteTextFile(dir / "scripts/scr.json", json);
        GameData game;
        std::string error;
        EXPECT_FALSE(LoadProject(dir, game, error)) << json;
        EXPECT_NE(error.find(want), std::string::npos) << json << " gave: " << error;
    }
}

} // namespace
} // namespace kestrin
