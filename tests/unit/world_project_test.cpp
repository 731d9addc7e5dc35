// Objects and rooms in text projects: readable forms that give back the same bytes, the hex
// fallback for records they cannot reproduce, and messages for broken files.

#include <gtest/gtest.h>

#include <fstream>

#include "runner/object_record.h"
#include "runner/room_record.h"
#include "base/stream.h"
#include "tests/unit/project_fixture.h"
#include "tools/project.h"

namespace kestrin {
namespace {

namespace fs = std::filesystem;

template <typename Record> std::vector<uint8_t> Bytes(const Record& r) {
    CStream out;
    r.SaveToStream(out);
    return out.TakeBytes();
}

ActionRecord Code(std::string text) {
    ActionRecord a;
    a.kind = kActionCode;
    a.exetype = kExecuteCode;
    a.argumentcount = 1;
    a.argtypes = {1};
    a.args = {std::move(text)};
    return a;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(WorldProject, ObjectsAndRoomsRoundTripThroughReadableFiles) {
    ObjectRecord o;
    o.parent = 1;
    o.depth = -3;
    o.events[ev_create].push_back({0, kEventVersion, {Code("x = 1;\r\ny = \"two\"\n")}});
    o.events[ev_collision].push_back({1, kEventVersion, {Code("a"), Code("b")}});
    o.events[ev_collision].push_back({1, kEventVersion, {Code("c")}}); // a repeated number
    ActionRecord call;
    call.exetype = kExecuteFunction;
    call.function = "scr_hello";
    call.argumentcount = 2;
    call.argtypes = {1, 0};
    call.args = {"text", "1 + 2"};
    call.who = 1;
    call.isquestion = call.isnot = true;
    o.events[ev_keyboard].push_back({37, kEventVersion, {call}});
    o.events[ev_mouse].push_back({3, 399, {}});
    ObjectRecord none;
    none.lasttype = -1;

    GameData game;
    auto& objects = game.Resources(ResourceKind::Object);
    objects.push_back({true, "obj_player", Bytes(o)});
    objects.push_back({true, "obj_none", Bytes(none)});
    objects.push_back({true, "obj_odd", Bytes(o)});
    objects.back().record[8] = 2; // Boolean "solid" stored as 2: only the hex form keeps it
    // Tiles refer to this background; ids are the game's, so each room has its own.
    game.Resources(ResourceKind::Background).push_back({true, "bg_tiles", {}});
    game.last_instance_id = 100004;
    game.last_tile_id = 10000003;
    auto& rooms = game.Resources(ResourceKind::Room);
    int32_t nextId = 0;
    for (int32_t version : {541, 810, 811}) {
        ++nextId;
        RoomRecord r;
        r.version = version;
        r.code = "global.a = 1";
        r.flags = 5;
        r.layers[7].stretch = true;
        r.views[0].visible = true;
        r.instances.push_back(
            {1, 2, 0, 100000 + nextId, "b = 2", version >= 810 ? 0.5 : 1.0, 1, 0x40112233u, 0});
        r.tiles.push_back(
            {3, 4, 0, 1, 2, 3, 4, -5, 10000000 + nextId, 1, version >= 810 ? 3.0 : 1.0, kOpaqueWhite});
        if (version < 810) r.instances.back().blend_alpha = kOpaqueWhite;
        if (version == 811) r.instances.back().angle = 12.5;
        rooms.push_back({true, "room" + std::to_string(version), Bytes(r)});
    }
    RoomRecord infinite;
    infinite.instances.push_back({0, 0, 0, 100004, "", 1.0 / 0.0, 1, kOpaqueWhite, 0});
    rooms.push_back({true, "room_inf", Bytes(infinite)});

    testing::TempFolder temp;
    std::string error;
    ASSERT_TRUE(SaveProject(game, temp.Path(), error)) << error;
    GameData back;
    ASSERT_TRUE(LoadProject(temp.Path(), back, error)) << error;
    for (ResourceKind kind : {ResourceKind::Object, ResourceKind::Room}) {
        ASSERT_EQ(back.Resources(kind).size(), game.Resources(kind).size());
        for (size_t i = 0; i < game.Resources(kind).size(); ++i)
            EXPECT_EQ(back.Resources(kind)[i].record, game.Resources(kind)[i].record) << i;
    }
    const std::string player = ReadFile(temp / "objects/obj_player.json");
    EXPECT_EQ(player.find("\"record\""), std::string::npos);
    EXPECT_NE(player.find("\"scr_hello\""), std::string::npos);
    EXPECT_EQ(ReadFile(temp / "objects/obj_player.create_0.action0.txt"), "x = 1;\r\ny = \"two\"\n");
    EXPECT_EQ(ReadFile(temp / "objects/obj_player.collision_1_2.action0.txt"), "c");
    EXPECT_NE(ReadFile(temp / "objects/obj_odd.json").find("\"record\""), std::string::npos);
    EXPECT_EQ(ReadFile(temp / "rooms/room811.code.txt"), "global.a = 1");
    EXPECT_EQ(ReadFile(temp / "rooms/room811.json").find("\"record\""), std::string::npos);
    EXPECT_NE(ReadFile(temp / "rooms/room_inf.json").find("\"record\""), std::string::npos);
}

TEST(WorldProject, BrokenObjectAndRoomFilesAreNamed) {
    struct Case {
        const char* file;
        const char* json;
        const char* want;
    } cases[] = {
        {"objects/o.json", R"({"events": [{"type": "jump"}]})",
         "objects/o.json: events[0].type: expected one of \"create\""},
        {"objects/o.json", R"({"events": [{"type": "draw"}, {"type": "step"}]})",
         "objects/o.json: events[1].type: events must be listed in the order of their types"},
        {"objects/o.json", R"({"events": [{"type": "step", "number": -1}]})",
         "objects/o.json: events[0].number: expected 0 or more"},
        {"objects/o.json", R"({"events": [{"type": "create", "actions": [{"argument_count": 9}]}]})",
         "objects/o.json: events[0].actions[0].argument_count: expected 0 to 8"},
        {"objects/o.json",
         R"({"events": [{"type": "create", "actions": [{"arguments": ["1","2","3","4","5","6","7","8","9"]}]}]})",
         "objects/o.json: events[0].actions[0].arguments: expected at most 8 entries"},
        {"objects/o.json",
         R"({"events": [{"type": "create", "actions": [{"kind": "code", "arguments": [{"file": "../x"}]}]}]})",
         "objects/o.json: events[0].actions[0].arguments[0].file: expected a relative path"},
        {"objects/o.json", R"({"events": [{"type": "create", "actions": [{"colour": 1}]}]})",
         "objects/o.json: events[0].actions[0].colour: unknown field"},
        {"rooms/r.json", R"({"version": 800})", "rooms/r.json: version: expected 541, 810 or 811"},
        {"rooms/r.json", R"({"instances": [{"x": 1}]})", "rooms/r.json: instances[0].id: missing"},
        {"rooms/r.json", R"({"views": [{},{},{},{},{},{},{},{},{}]})",
         "rooms/r.json: views: expected at most 8"},
        {"rooms/r.json", R"({"tiles": [{"id": 1, "alpha": 256}]})",
         "rooms/r.json: tiles[0].alpha: expected 0 to 255"},
        {"rooms/r.json", R"({"creation_code": {"file": "rooms/none.txt"}})",
         "rooms/r.json: creation_code.file"},
        // References: unknown names and indices out of range, with the file and the field.
        {"objects/o.json", R"({"sprite": "spr_x"})", "objects/o.json: sprite: no sprite is named \"spr_x\""},
        {"objects/o.json", R"({"mask": 0})",
         "objects/o.json: mask: sprite index 0 is out of range: the project has no sprites"},
        {"objects/o.json", R"({"parent": 1})",
         "objects/o.json: parent: object index 1 is out of range: expected -1 (none) or 0 to 0"},
        {"objects/o.json", R"({"parent": -2})",
         "objects/o.json: parent: object index -2 is out of range: expected -1 (none) or 0 to 0"},
        {"objects/o.json", R"({"parent": true})",
         "objects/o.json: parent: expected the name or the index of a object (-1 for none)"},
        {"objects/o.json", R"({"events": [{"type": "collision", "number": "obj_gem"}]})",
         "objects/o.json: events[0].number: no object is named \"obj_gem\""},
        {"objects/o.json", R"({"events": [{"type": "collision", "number": 3}]})",
         "objects/o.json: events[0].number: object index 3 is out of range: expected -1 (none) or 0 to 0"},
        {"objects/o.json", R"({"events": [{"type": "step", "actions": [{"applies_to": "obj_x"}]}]})",
         "objects/o.json: events[0].actions[0].applies_to: no object is named \"obj_x\""},
        {"rooms/r.json", R"({"instances": [{"id": 100001, "object": 0}]})",
         "rooms/r.json: instances[0].object: object index 0 is out of range: the project has no objects"},
        {"rooms/r.json", R"({"tiles": [{"id": 10000001, "background": "bg"}]})",
         "rooms/r.json: tiles[0].background: no background is named \"bg\""},
        {"rooms/r.json", R"({"backgrounds": [{"background": 4}]})",
         "rooms/r.json: backgrounds[0].background: background index 4 is out of range"},
        {"rooms/r.json", R"({"views": [{"object": "r"}]})",
         "rooms/r.json: views[0].object: no object is named \"r\""},
        // Ids are given once.
        {"rooms/r.json", R"({"instances": [{"id": 100001, "object": -1}, {"id": 100001, "object": -1}]})",
         "rooms/r.json: instances[1].id: 100001 is already the id of the instance instances[0] in "
         "rooms/r.json"},
        {"rooms/r.json", R"({"tiles": [{"id": 10000002}, {"id": 10000001}, {"id": 10000002}]})",
         "rooms/r.json: tiles[2].id: 10000002 is already the id of the tile tiles[0] in rooms/r.json"},
    };
    for (const Case& c : cases) {
        testing::TempFolder temp;
        const bool room = std::string(c.file).starts_with("rooms");
        testing::WriteTextFile(temp / "game.json", room ? R"({"resources": {"rooms": ["r"]}})"
                                                        : R"({"resources": {"objects": ["o"]}})");
        testing::WriteTextFile(temp / c.file, c.json);
        GameData game;
        std::string error;
        EXPECT_FALSE(LoadProject(temp.Path(), game, error)) << c.json;
        EXPECT_EQ(error.rfind(c.want, 0), 0u) << c.json << "\n  got: " << error;
    }
}

// Names wherever a resource's index goes: they read as the index, numbers keep working, and
// the last ids follow the rooms.
TEST(WorldProject, ReferencesByNameAndIdsAcrossRooms) {
    testing::TempFolder temp;
    testing::WriteTextFile(temp / "game.json", R"({"resources": {"sprites": ["spr_a", "spr_b"],
        "backgrounds": ["bg"], "objects": ["obj_a", "obj_b", "obj_c", "obj_d"], "rooms": ["r1", "r2"]}})");
    testing::WriteTextFile(temp / "sprites/spr_a.json", "{}");
    testing::WriteTextFile(temp / "sprites/spr_b.json", "{}");
    testing::WriteTextFile(temp / "backgrounds/bg.json", "{}");
    testing::WriteTextFile(temp / "objects/obj_a.json", R"({"sprite": "spr_b", "mask": 0, "parent": "obj_c",
        "events": [{"type": "collision", "number": "obj_b", "actions": [{"applies_to": "obj_c"}, {"applies_to": 3}]}]})");
    testing::WriteTextFile(temp / "objects/obj_b.json", R"({"sprite": 1, "mask": "spr_a", "parent": 2,
        "events": [{"type": "collision", "number": 1, "actions": [{"applies_to": 2}, {"applies_to": 3}]}]})");
    testing::WriteTextFile(temp / "objects/obj_c.json", "{}");
    testing::WriteTextFile(temp / "objects/obj_d.json", R"({"name": "self"})");
    testing::WriteTextFile(temp / "rooms/r1.json", R"({"instances": [{"id": 100007, "object": "obj_b"}],
        "tiles": [{"id": 10000003, "background": "bg"}], "views": [{"object": "obj_a"}]})");
    testing::WriteTextFile(temp / "rooms/r2.json", R"({"instances": [{"id": 100002, "object": 1}],
        "tiles": [{"id": 10000009, "background": 0}], "views": [{"object": 0}]})");
    GameData game;
    std::string error;
    ASSERT_TRUE(LoadProject(temp.Path(), game, error)) << error;
    const auto& objects = game.Resources(ResourceKind::Object);
    // obj_a by names and obj_b by numbers are the same record.
    EXPECT_EQ(objects[0].record, objects[1].record);
    ObjectRecord a;
    CStream in(objects[0].record);
    ASSERT_TRUE(a.LoadFromStream(in));
    EXPECT_EQ(a.spriteindex, 1);
    EXPECT_EQ(a.parent, 2);
    ASSERT_EQ(a.events[ev_collision].size(), 1u);
    EXPECT_EQ(a.events[ev_collision][0].number, 1);
    EXPECT_EQ(a.events[ev_collision][0].actions[0].who, 2);
    RoomRecord r1, r2;
    CStream in1(game.Resources(ResourceKind::Room)[0].record),
        in2(game.Resources(ResourceKind::Room)[1].record);
    ASSERT_TRUE(r1.LoadFromStream(in1) && r2.LoadFromStream(in2));
    EXPECT_EQ(r1.instances[0].object, r2.instances[0].object);
    EXPECT_EQ(r1.tiles[0].background, 0);
    EXPECT_EQ(r1.views[0].object, 0);
    // Left out, the last ids keep their defaults (the runner counts from the highest anyway).
    EXPECT_EQ(game.last_instance_id, 100000);
    EXPECT_EQ(game.last_tile_id, 10000000);

    // Unpacked, the references are names where a name picks the resource; "self" is not
    // written for an object that an action applies to.
    testing::TempFolder out;
    ASSERT_TRUE(SaveProject(game, out.Path(), error)) << error;
    const std::string b = ReadFile(out / "objects/obj_b.json");
    EXPECT_NE(b.find("\"sprite\": \"spr_b\""), std::string::npos) << b;
    EXPECT_NE(b.find("\"mask\": \"spr_a\""), std::string::npos) << b;
    EXPECT_NE(b.find("\"number\": \"obj_b\""), std::string::npos) << b;
    EXPECT_NE(b.find("\"parent\": \"obj_c\""), std::string::npos) << b;
    EXPECT_NE(b.find("\"applies_to\": \"obj_c\""), std::string::npos) << b;
    EXPECT_NE(b.find("\"applies_to\": 3"), std::string::npos) << b;
    const std::string room = ReadFile(out / "rooms/r1.json");
    EXPECT_NE(room.find("\"object\": \"obj_b\""), std::string::npos) << room;
    EXPECT_NE(room.find("\"background\": \"bg\""), std::string::npos) << room;
    GameData back;
    ASSERT_TRUE(LoadProject(out.Path(), back, error)) << error;
    for (int k = 0; k < kResourceKindCount; ++k)
        for (size_t i = 0; i < game.resources[k].size(); ++i)
            EXPECT_EQ(back.resources[k][i].record, game.resources[k][i].record) << k << " " << i;

    // Refused: an id in two rooms, a last id below the highest, a name two objects share.
    testing::WriteTextFile(temp / "rooms/r2.json", R"({"instances": [{"id": 100007, "object": 1}]})");
    EXPECT_FALSE(LoadProject(temp.Path(), game, error));
    EXPECT_EQ(error,
              "rooms/r2.json: instances[0].id: 100007 is already the id of the instance instances[0] in "
              "rooms/r1.json");
    testing::WriteTextFile(temp / "rooms/r2.json", "{}");
    testing::WriteTextFile(temp / "game.json",
                           R"({"last_instance_id": 100006, "resources": {"sprites": ["spr_a", "spr_b"],
        "backgrounds": ["bg"], "objects": ["obj_a", "obj_b", "obj_c", "obj_d"], "rooms": ["r1", "r2"]}})");
    EXPECT_FALSE(LoadProject(temp.Path(), game, error));
    EXPECT_EQ(error,
              "game.json: last_instance_id: expected at least 100007, the id of the instance instances[0] "
              "in rooms/r1.json");
    testing::WriteTextFile(temp / "objects/obj_d.json", R"({"name": "obj_b"})");
    testing::WriteTextFile(temp / "game.json", R"({"resources": {"sprites": ["spr_a", "spr_b"],
        "backgrounds": ["bg"], "objects": ["obj_a", "obj_b", "obj_c", "obj_d"], "rooms": ["r1", "r2"]}})");
    EXPECT_FALSE(LoadProject(temp.Path(), game, error));
    EXPECT_EQ(error,
              "objects/obj_a.json: events[0].number: more than one object is named \"obj_b\"; use its index");
}

} // namespace
} // namespace kestrin
