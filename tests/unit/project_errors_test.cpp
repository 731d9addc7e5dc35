#include <gtest/gtest.h>

#include <map>

#include "project_fixture.h"
#include "tools/project.h"

namespace kestrin {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;
using testing::WriteTextFile;

struct BrokenProject {
    const char* what;
    // Files of the project; game.json is always among them.
    std::map<std::string, std::string> files;
    // The exact message, or its beginning when it ends in "...".
    std::string error;
};

const char* const kRoom = R"({"name": "r", "record": "00"})";

const BrokenProject kBroken[] = {
    {"bad JSON",
     {{"game.json", "{\"game_id\": 1,, }"}},
     "game.json: invalid JSON: parse error at line 1, column 15..."},
    {"not an object", {{"game.json", "[1, 2]"}}, "game.json: expected an object"},
    {"wrong type",
     {{"game.json", R"({"settings": {"scale": "big"}})"}},
     "game.json: settings.scale: expected an integer"},
    {"fraction", {{"game.json", R"({"game_id": 1.5})"}}, "game.json: game_id: expected an integer"},
    {"huge number",
     {{"game.json", R"({"settings": {"scale": 99999999999999999999999}})"}},
     "game.json: settings.scale: expected an integer from -2147483648 to 2147483647"},
    {"negative huge",
     {{"game.json", R"({"last_tile_id": -2147483649})"}},
     "game.json: last_tile_id: expected an integer from -2147483648 to 2147483647"},
    {"number for a flag",
     {{"game.json", R"({"debug_mode": 1})"}},
     "game.json: debug_mode: expected true or false"},
    {"misspelt field", {{"game.json", R"({"setings": {}})"}}, "game.json: setings: unknown field"},
    {"misspelt nested field",
     {{"game.json", R"({"information": {"captoin": "x"}})"}},
     "game.json: information.captoin: unknown field"},
    {"list that is not one",
     {{"game.json", R"({"constants": {}})"}},
     "game.json: constants: expected an array"},
    {"format from the future", {{"game.json", R"({"format": 2})"}}, "game.json: format: expected 1"},
    {"short guid",
     {{"game.json", R"({"game_guid": "abc"})"}},
     "game.json: game_guid: expected 32 hex digits"},
    {"guid with other letters",
     {{"game.json", R"({"game_guid": "0123456789abcdef0123456789abcdeg"})"}},
     "game.json: game_guid: expected 32 hex digits"},
    {"deep field",
     {{"game.json", R"({"extensions": [{"files": [{"functions": [{"id": "x"}]}]}]})"}},
     "game.json: extensions[0].files[0].functions[0].id: expected an integer"},
    {"too many argument types",
     {{"game.json",
       R"({"extensions": [{"files": [{"functions": [{"argument_types": [1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1]}]}]}]})"}},
     "game.json: extensions[0].files[0].functions[0].argument_types: expected at most 17 entries"},
    {"unknown export action",
     {{"game.json", R"({"included_files": [{"export_action": "sideways"}]})"}},
     "game.json: included_files[0].export_action: expected one of \"none\", \"temp\", \"working_folder\", "
     "\"folder\" or an integer"},
    {"missing manifest", {{"other.json", "{}"}}, "game.json: not found in the project folder"},
    {"missing resource file",
     {{"game.json", R"({"resources": {"rooms": ["nothere"]}})"}},
     "game.json: resources.rooms[0]: file not found: rooms/nothere.json"},
    {"missing included file",
     {{"game.json", R"({"included_files": [{"data": "files/none.bin"}]})"}},
     "game.json: included_files[0].data: file not found: files/none.bin"},
    {"folder as a file",
     {{"game.json", R"({"information": {"text": "rooms"}})"}, {"rooms/r.json", kRoom}},
     "game.json: information.text: not a regular file: rooms"},
    {"missing init code",
     {{"game.json", R"({"library_init_code": ["init.txt"]})"}},
     "game.json: library_init_code[0]: file not found: init.txt"},
    {"room order naming no room",
     {{"game.json", R"({"resources": {"rooms": ["r"]}, "room_order": ["r", "nowhere"]})"},
      {"rooms/r.json", kRoom}},
     "game.json: room_order[1]: no room is named \"nowhere\""},
    {"room order with an ambiguous name",
     {{"game.json", R"({"resources": {"rooms": ["r", "s"]}, "room_order": ["r"]})"},
      {"rooms/r.json", kRoom},
      {"rooms/s.json", kRoom}},
     "game.json: room_order[0]: more than one room is named \"r\"; use the room's index"},
    {"room order entry of another type",
     {{"game.json", R"({"room_order": [true]})"}},
     "game.json: room_order[0]: expected a room name or a room index"},
    {"traversal in a resource name",
     {{"game.json", R"({"resources": {"rooms": ["../../etc/passwd"]}})"}},
     "game.json: resources.rooms[0]: expected a file name without folders (no \"/\", \"\\\" or \"..\")"},
    {"dot-dot as a resource name",
     {{"game.json", R"({"resources": {"sprites": [".."]}})"}},
     "game.json: resources.sprites[0]: expected a file name without folders (no \"/\", \"\\\" or \"..\")"},
    {"backslash in a resource name",
     {{"game.json", R"({"resources": {"sounds": ["..\\x"]}})"}},
     "game.json: resources.sounds[0]: expected a file name without folders (no \"/\", \"\\\" or \"..\")"},
    {"traversal in a data path",
     {{"game.json", R"({"included_files": [{"data": "files/../../outside.txt"}]})"}},
     "game.json: included_files[0].data: expected a relative path inside the project (parts separated by "
     "\"/\", "
     "no \"..\")"},
    {"absolute data path",
     {{"game.json", R"({"carried_library": {"data": "/etc/passwd"}})"}},
     "game.json: carried_library.data: expected a relative path inside the project (parts separated by "
     "\"/\", "
     "no \"..\")"},
    {"resource listed twice",
     {{"game.json", R"({"resources": {"rooms": ["r", null, "r"]}})"}, {"rooms/r.json", kRoom}},
     "game.json: resources.rooms[2]: \"r\" is already listed at index 0"},
    {"bad JSON in a resource",
     {{"game.json", R"({"resources": {"rooms": ["r"]}})"}, {"rooms/r.json", "{\n  \"name\": \"r\",\n}"}},
     "rooms/r.json: invalid JSON: parse error at line 3, column 1..."},
    {"bad hex in a resource",
     {{"game.json", R"({"resources": {"rooms": ["r"]}})"}, {"rooms/r.json", R"({"record": "0G"})"}},
     "rooms/r.json: record: expected hex digits, two per byte"},
    {"odd hex in a trigger",
     {{"game.json", R"({"triggers": [null, {"record": "123"}]})"}},
     "game.json: triggers[1].record: expected hex digits, two per byte"},
    {"resource of the wrong shape",
     {{"game.json", R"({"resources": {"rooms": ["r"]}})"}, {"rooms/r.json", "\"r\""}},
     "rooms/r.json: expected an object"},
    {"unknown resource field",
     {{"game.json", R"({"resources": {"rooms": ["r"]}})"}, {"rooms/r.json", R"({"recrod": "00"})"}},
     "rooms/r.json: recrod: unknown field"},
    {"unknown resource kind",
     {{"game.json", R"({"resources": {"spirtes": []}})"}},
     "game.json: resources.spirtes: unknown field"},
    {"image that is not a PNG",
     {{"game.json", R"({"settings": {"loading_image": "loading/x.png"}})"}, {"loading/x.png", "not a png"}},
     "game.json: settings.loading_image: expected a PNG image: loading/x.png"},
    {"included file name with folders",
     {{"game.json", R"({"included_files": [{"filename": "../../victim.txt"}]})"}},
     "game.json: included_files[0].filename: expected a bare file name without folders (use export_folder): "
     "../../victim.txt"},
    {"included file name with backslashes",
     {{"game.json", R"({"included_files": [{}, {"filename": "sub\\x.txt"}]})"}},
     "game.json: included_files[1].filename: expected a bare file name without folders (use export_folder): "
     "sub\\x.txt"},
    {"absolute included file name",
     {{"game.json", R"({"included_files": [{"filename": "/tmp/x"}]})"}},
     "game.json: included_files[0].filename: expected a bare file name without folders (use export_folder): "
     "/tmp/x"},
    {"dot-dot as an included file name",
     {{"game.json", R"({"included_files": [{"filename": ".."}]})"}},
     "game.json: included_files[0].filename: expected a bare file name without folders (use export_folder): "
     ".."},
    {"last instance id without ids left",
     {{"game.json", R"({"last_instance_id": 2147483000})"}},
     "game.json: last_instance_id: expected at most 2000000000, so that instances made while the game runs "
     "have ids left"},
    {"deep nesting",
     {{"game.json", std::string(100000, '[') + std::string(100000, ']')}},
     "game.json: expected an object"},
};

TEST(ProjectErrors, BrokenProjectsAreReportedByFileFieldAndExpectation) {
    for (const auto& c : kBroken) {
        SCOPED_TRACE(c.what);
        TempFolder temp;
        for (const auto& [name, text] : c.files) WriteTextFile(temp / name, text);
        GameData game;
        std::string error;
        EXPECT_FALSE(LoadProject(temp.Path(), game, error));
        if (c.error.size() > 3 && c.error.ends_with("...")) {
            std::string start = c.error.substr(0, c.error.size() - 3);
            EXPECT_EQ(error.substr(0, start.size()), start) << error;
        } else {
            EXPECT_EQ(error, c.error);
        }
    }
}

TEST(ProjectErrors, LinksLeadingOutOfTheProjectAreRefusedByName) {
    TempFolder outside;
    WriteTextFile(outside / "secret.txt", "secret");
    struct Case {
        const char* what;
        std::string link;  // below the project
        fs::path target;   // what it points to
        std::string error; // empty: the project builds
    };
    TempFolder temp;
    const fs::path project = temp / "project";
    const Case cases[] = {
        {"file outside", "information.rtf", outside / "secret.txt",
         "game.json: information.text: links to a file outside the project: information.rtf -> " +
             (fs::canonical(outside.Path()) / "secret.txt").string()},
        {"relative way out", "information.rtf",
         fs::path("..") / ".." / outside.Path().filename() / "secret.txt",
         "game.json: information.text: links to a file outside the project: information.rtf -> " +
             (fs::canonical(outside.Path()) / "secret.txt").string()},
        {"file inside", "information.rtf", "text/real.rtf", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(project);
        WriteTextFile(project / "game.json", R"({"information": {"text": "information.rtf"}})");
        WriteTextFile(project / "text" / "real.rtf", "{\\rtf1 hi}");
        fs::create_symlink(c.target, project / c.link);
        GameData game;
        std::string error;
        EXPECT_EQ(LoadProject(project, game, error), c.error.empty()) << error;
        EXPECT_EQ(error, c.error);
    }
    // A linked folder is followed only as far as the project goes.
    fs::remove_all(project);
    WriteTextFile(project / "game.json", R"({"information": {"text": "docs/secret.txt"}})");
    fs::create_symlink(outside.Path(), project / "docs");
    GameData game;
    std::string error;
    EXPECT_FALSE(LoadProject(project, game, error));
    EXPECT_EQ(error, "game.json: information.text: links to a file outside the project: docs/secret.txt -> " +
                         (fs::canonical(outside.Path()) / "secret.txt").string());
}

TEST(ProjectErrors, NotAFolder) {
    TempFolder temp;
    GameData game;
    std::string error;
    EXPECT_FALSE(LoadProject(temp / "absent", game, error));
    EXPECT_EQ(error, (temp / "absent").string() + ": not a project folder");
}

} // namespace
} // namespace kestrin
