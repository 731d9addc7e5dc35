#include <gtest/gtest.h>

#include <map>

#include "game/compose.h"
#include "project_fixture.h"
#include "script/constants.h"
#include "script/scripts.h"
#include "tools/project.h"
#include "tools/project_check.h"

namespace kestrin {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;
using testing::WriteTextFile;

class ProjectCheckTest : public ::testing::Test {
protected:
    void SetUp() override { ComposeGame(); }

    // The check's lines for a project of these files, or the load error as the only line.
    static std::vector<std::string> Check(const std::map<std::string, std::string>& files) {
        TempFolder dir;
        for (const auto& [name, text] : files) WriteTextFile(dir / name, text);
        GameData game;
        std::string error;
        if (!LoadProject(dir.Path(), game, error)) return {"load: " + error};
        return CheckProjectCode(dir.Path(), game);
    }
};

const char* const kManifest = R"({
  "constants": [{"name": "LIVES", "value": "3"}, {"name": "BAD", "value": "2 +"}, {"name": "TWICE", "value": "LIVES * 2"}],
  "triggers": [{"name": "t_inline", "condition": "return x >"}, null,
               {"name": "t_file", "condition": {"file": "t_file.txt"}}, {"name": "t_ok", "condition": "return LIVES > 2"}],
  "resources": {"scripts": ["scr_file", "scr_inline", "scr_ok"], "objects": ["obj_coin"],
                "timelines": ["tl_wave"], "rooms": ["room_start"]}
})";

// One project with an error in every kind of code: all of them are reported, in order.
TEST_F(ProjectCheckTest, ReportsEveryErrorWithItsFileLineAndColumn) {
    std::vector<std::string> lines = Check({
        {"game.json", kManifest},
        {"scripts/scr_file.json", R"({"code": {"file": "scripts/scr_file.txt"}})"},
        {"scripts/scr_file.txt", "a = 1;\r\nb = ;\n"},
        {"scripts/scr_inline.json", R"({"code": "x = (1"})"},
        {"scripts/scr_ok.json", R"({"code": "return LIVES + TWICE + scr_file();"})"},
        {"objects/obj_coin.json", R"({"events": [
            {"type": "create", "actions": [
              {"kind": "code", "arguments": [{"file": "objects/obj_coin.create_0.action0.txt"}]},
              {"kind": "code", "arguments": ["if x {"]},
              {"kind": "variable", "arguments": ["hp", "3 +"]},
              {"kind": "variable", "arguments": ["1hp", "3"]},
              {"execute": "function", "function": "scr_ok", "argument_kinds": [0, 1], "arguments": ["(2", "(text"]}
            ]},
            {"type": "step", "actions": [{"execute": "code", "code": "y = ]"}]}
          ]})"},
        {"objects/obj_coin.create_0.action0.txt", "// \xC3\xA9t\xC3\xA9\n  no_such_function(1);"},
        {"timelines/tl_wave.json",
         R"({"moments": [{"step": 5, "actions": [{"kind": "code", "arguments": ["hspeed = * 2"]}]}]})"},
        {"rooms/room_start.json", R"({"creation_code": {"file": "rooms/room_start.code.txt"},
            "instances": [{"id": 100001, "object": 0}, {"id": 100002, "object": 0, "code": "speed = 1;;\nfoo bar"}]})"},
        {"rooms/room_start.code.txt", "\n\nwhile (true"},
        {"t_file.txt", "return\n  ) 1"},
    });
    const std::vector<std::string> want = {
        "game.json: constants[1].value:1:4: Unexpected symbol in expression.",
        "game.json: triggers[0].condition:1:11: Unexpected symbol in expression.",
        "t_file.txt:2:3: Unexpected symbol in expression.",
        "scripts/scr_file.txt:2:5: Unexpected symbol in expression.",
        "scripts/scr_inline.json: code:1:7: Symbol ) expected.",
        "objects/obj_coin.create_0.action0.txt:2:3: Unknown function or script: no_such_function",
        "objects/obj_coin.json: events[0].actions[1].arguments[0]:1:7: Symbol } expected.",
        "objects/obj_coin.json: events[0].actions[2].arguments[1]:1:4: Unexpected symbol in expression.",
        "objects/obj_coin.json: events[0].actions[3].arguments[0]:1:2: Variable name expected.",
        "objects/obj_coin.json: events[0].actions[4].arguments[0]:1:3: Symbol ) expected.",
        "objects/obj_coin.json: events[1].actions[0].code:1:5: Unexpected symbol in expression.",
        "timelines/tl_wave.json: moments[0].actions[0].arguments[0]:1:10: Unexpected symbol in expression.",
        "rooms/room_start.code.txt:3:12: Symbol ) expected.",
        "rooms/room_start.json: instances[1].code:2:5: Assignment operator expected.",
    };
    EXPECT_EQ(lines, want);
    // The check leaves no constant or script behind for the game that runs next.
    EXPECT_EQ(ScriptCount(), 0);
    RValue value;
    EXPECT_FALSE(FindConstant("LIVES", value));
}

TEST_F(ProjectCheckTest, ProjectsThatBuildTodayHaveNoErrors) {
    for (const char* dir : {"tests/projects/minimal", "tests/projects/timeline", "examples/demo"}) {
        const fs::path path = fs::path(KESTRIN_SOURCE_DIR) / dir;
        GameData game;
        std::string error;
        ASSERT_TRUE(LoadProject(path, game, error)) << error;
        EXPECT_EQ(CheckProjectCode(path, game), std::vector<std::string>()) << dir;
    }
}

TEST(CodePlaceTest, CountsLinesAndCharacters) {
    struct Case {
        const char* text;
        int32_t position;
        const char* place;
    } const cases[] = {
        {"", 1, "1:1"},
        {"abc", 0, "1:1"}, // before the start
        {"abc", 3, "1:3"},
        {"abc", 4, "1:4"},  // just past the end: an unexpected end
        {"abc", 99, "1:4"}, // far past it
        {"a\nbc", 4, "2:2"},
        {"a\r\nbc", 5, "2:2"}, // CR LF is one line break
        {"a\rbc", 4, "2:2"},   // so is a lone CR
        {"\n\n\nx", 4, "4:1"},
        {"\xC3\xA9x", 2, "1:2"},         // é is one unit and one character
        {"\xF0\x9F\x98\x80x", 3, "1:2"}, // an emoji is two units, one character
    };
    for (const Case& c : cases)
        EXPECT_EQ(CodePlace(c.text, c.position), c.place) << c.text << " " << c.position;
}

} // namespace
} // namespace kestrin
