#include <gtest/gtest.h>

#include "project_fixture.h"
#include "tools/describe.h"

namespace kestrin {
namespace {

using testing::Raw;

GameData SmallGame() {
    GameData g;
    g.game_id = 7;
    g.game_guid[15] = 0xAB;
    g.settings.scale = -1;
    g.settings.loading_image = TBitmap32(4, 3, 0xFF000000u);
    auto& sprites = g.Resources(ResourceKind::Sprite);
    sprites.push_back(Raw("spr_player", {1, 2, 3}));
    sprites.emplace_back();
    sprites.push_back(Raw("", {}));
    sprites.push_back(Raw("tab\there \"q\"", {4}));
    auto& rooms = g.Resources(ResourceKind::Room);
    rooms.push_back(Raw("room_a", std::vector<uint8_t>(10)));
    rooms.emplace_back();
    g.room_order = {0, 1, 5};
    g.triggers.emplace_back();
    g.constants = {{"MAX", "10"}};
    CDataFile f;
    f.s_filename = "data.txt";
    f.s_exists = f.s_store = true;
    f.s_data = {1, 2};
    f.s_exportaction = kExportToFolder;
    f.s_exportdir = "out";
    g.included_files.files.push_back(f);
    CExtensionPackage p;
    p.s_name = "Tools";
    p.s_folder = "tools";
    CExtensionFile file;
    file.s_filename = "tools.dll";
    file.s_kind = kExtensionDll;
    file.data = {1, 2, 3, 4};
    file.s_functions.resize(2);
    file.s_constants.resize(1);
    p.s_includes.push_back(file);
    g.extensions.push_back(p);
    g.library_init_code = {"x = 1;"};
    return g;
}

const char* const kExpected = R"(Game id 7, guid 000000000000000000000000000000ab, debug mode no
Settings (version 820)
  window: scale -1, full screen no, border yes, caption buttons yes, sizeable no, stay on top no, outside colour 0xFFFFFF
  display: interpolate no, vsync no
  keys: Escape ends yes, close button as Escape yes, F1 information yes, F4 full screen yes, F5/F6 save/load yes, F9 screenshot yes
  loading: progress bar yes (back none, front none, scaled yes), image 4x3, transparent no, alpha 255
  errors: display yes, write to file no, abort on all no
  other: cursor yes, priority 0, freeze when inactive no, block screen saver yes, language flags 2, create event first no
Game information: caption Game Information, 0 bytes of text
Resources
  sounds: 0 slots
  sprites: 4 slots (1 empty), 4 bytes
    0  spr_player  3 bytes
    1  (empty)
    2  ""  0 bytes
    3  "tab\x09here \"q\""  1 byte
  backgrounds: 0 slots
  paths: 0 slots
  scripts: 0 slots
  fonts: 0 slots
  time lines: 0 slots
  objects: 0 slots
  rooms: 2 slots (1 empty), 10 bytes
    0  room_a  10 bytes
    1  (empty)
Triggers: 1 slot (1 empty)
Constants: 1
  MAX = 10
Included files: 1, 2 bytes
  data.txt  2 bytes, stored, exported to folder out
Extension packages: 1
  Tools (folder tools): 1 file, 2 functions, 1 constant
    tools.dll  library, 4 bytes
Library init code: 1 piece, 6 bytes
Room order: 3
  0  room_a
  1  (no such room)
  5  (no such room)
Last ids: instance 100000, tile 10000000
Sizes: resource and trigger records 14 bytes, included files 2 bytes, extension files 4 bytes, library init code 6 bytes
)";

TEST(ProjectDescribe, ListsEverythingAGameHolds) {
    EXPECT_EQ(DescribeGame(SmallGame()), kExpected);
}

} // namespace
} // namespace kestrin
