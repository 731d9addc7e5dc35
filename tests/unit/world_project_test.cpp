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
    auto& rooms = game.Resources(ResourceKind::Room);
    for (int32_t version : {541, 810, 811}) {
        RoomRecord r;
        r.version = version;
        r.code = "global.a = 1";
        r.flags = 5;
        r.layers[7].stretch = true;
        r.views[0].visible = true;
        r.instances.push_back({1, 2, 0, 100001, "b = 2", version >= 810 ? 0.5 : 1.0, 1, 0x40112233u, 0});
        r.tiles.push_back({3, 4, 0, 1, 2, 3, 4, -5, 10000001, 1, version >= 810 ? 3.0 : 1.0, kOpaqueWhite});
        if (version < 810) r.instances.back().blend_alpha = kOpaqueWhite;
        if (version == 811) r.instances.back().angle = 12.5;
        rooms.push_back({true, "room" + std::to_string(version), Bytes(r)});
    }
    RoomRecord infinite;
    infinite.instances.push_back({0, 0, 0, 100002, "", 1.0 / 0.0, 1, kOpaqueWhite, 0});
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

} // namespace
} // namespace kestrin
