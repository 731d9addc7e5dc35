// Rooms: the record in its three versions, damaged records, the per-object lists, instance
// ids, instance list upkeep and the tile operations.

#include <gtest/gtest.h>

#include "runner/room.h"
#include "base/stream.h"
#include "tests/unit/world_fixture.h"

namespace kestrin {
namespace {

using testing::ObjectWith;

std::vector<uint8_t> Bytes(const RoomRecord& r) {
    CStream out;
    r.SaveToStream(out);
    return out.TakeBytes();
}

RoomRecord SampleRoom(int32_t version) {
    RoomRecord r;
    r.version = version;
    r.caption = "Level 1";
    r.width = 800;
    r.height = 600;
    r.speed = 60;
    r.persistent = true;
    r.colour = 0x123456;
    r.flags = 2;
    r.code = "global.started = 1";
    r.layers[2].visible = true;
    r.layers[2].index = 4;
    r.layers[2].hspeed = -2;
    r.enable_views = true;
    r.views[1].visible = true;
    r.views[1].xport = 100;
    r.views[1].wport = 300;
    r.instances.push_back({16, 32, 0, 100001, "a = 1", 2.0, 0.5, 0x80FF0000u, 45.0});
    r.instances.push_back({48, 32, 1, 100002, "", 1.0, 1.0, kOpaqueWhite, 0.0});
    r.tiles.push_back({0, 0, 3, 16, 16, 32, 32, 1000, 10000001, 1.0, 2.0, 0x7F00FF00u});
    return r;
}

TEST(RoomRecordTest, EveryVersionRoundTripsAndBuildsTheRoom) {
    for (int32_t version : {541, 810, 811}) {
        const std::vector<uint8_t> bytes = Bytes(SampleRoom(version));
        CStream in(bytes);
        RoomRecord back;
        ASSERT_TRUE(back.LoadFromStream(in)) << version;
        EXPECT_TRUE(in.AtEnd()) << version;
        EXPECT_EQ(Bytes(back), bytes) << version;

        CRoom room;
        CStream again(bytes);
        ASSERT_TRUE(room.LoadFromStream(again));
        EXPECT_EQ(room.r_caption, "Level 1");
        EXPECT_EQ(room.r_speed, 60);
        EXPECT_TRUE(room.r_persistent);
        EXPECT_TRUE(room.r_showcolor == false);
        EXPECT_FALSE(room.r_clearViewBackground);
        EXPECT_EQ(room.r_background[2].index, 4);
        EXPECT_EQ(room.r_background[2].hspeed, -2);
        EXPECT_EQ(room.r_view[1].wport, 300);
        EXPECT_EQ(room.r_view[0].hspeed, -1);
        ASSERT_EQ(room.r_numb(), 2);
        const CInstance& first = *room.r_instance[0];
        EXPECT_EQ(first.i_id, 100001);
        EXPECT_EQ(first.i_initcode, "a = 1");
        // Scales and blend only from 810, the angle only from 811.
        EXPECT_EQ(first.i_imagescalex, version >= 810 ? 2.0 : 1.0);
        EXPECT_EQ(first.i_imageblend, version >= 810 ? 0xFF0000u : 0xFFFFFFu);
        EXPECT_DOUBLE_EQ(first.i_imagealpha, version >= 810 ? 128.0 / 255.0 : 1.0);
        EXPECT_EQ(first.i_imageangle, version >= 811 ? 45.0 : 0.0);
        ASSERT_EQ(room.r_tnumb(), 1);
        EXPECT_EQ(room.r_tile[0].yscale, version >= 810 ? 2.0 : 1.0);
        EXPECT_EQ(room.r_tile[0].blend, version >= 810 ? 0x00FF00 : 0xFFFFFF);
        EXPECT_TRUE(room.r_tile[0].visible);
    }
}

TEST(RoomRecordTest, DamagedRecordsAreRefused) {
    const std::vector<uint8_t> good = Bytes(SampleRoom(811));
    for (size_t n = 0; n < good.size(); n += 3) {
        CRoom room;
        CStream in(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<ptrdiff_t>(n)));
        EXPECT_FALSE(room.LoadFromStream(in)) << n;
    }
    auto with = [&](size_t at, int32_t value) {
        std::vector<uint8_t> b = good;
        for (int i = 0; i < 4; ++i)
            b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
        CStream in(b);
        CRoom room;
        return room.LoadFromStream(in);
    };
    // Version; then the layer count right after the room code.
    const size_t layers = 4 + (4 + 7) + 4 * 3 + 4 + 4 + 4 + (4 + 18);
    EXPECT_FALSE(with(0, 812));
    EXPECT_FALSE(with(0, 800));
    EXPECT_TRUE(with(layers, 8));
    for (int32_t count : {7, 9, -1, 2000000000}) EXPECT_FALSE(with(layers, count)) << count;
    const size_t views = layers + 4 + 8 * 40 + 4;
    EXPECT_TRUE(with(views, 8));
    for (int32_t count : {0, 9}) EXPECT_FALSE(with(views, count)) << count;
    const size_t instances = views + 4 + 8 * 56;
    EXPECT_FALSE(with(instances, 100000000));
    EXPECT_FALSE(with(instances, -3));
}

class RoomTest : public testing::WorldTest {};

TEST_F(RoomTest, PerObjectListsFollowTheRoomAndIncludeDescendants) {
    const int32_t base = AddObject("base", ObjectWith({}));
    const int32_t mid = AddObject("mid", ObjectWith({}, base));
    const int32_t leaf = AddObject("leaf", ObjectWith({}, mid));
    const int32_t loop = AddObject("loop", ObjectWith({}, 3)); // its own parent
    CRoom room;
    CInstance* a = room.AddInstance(0, 0, leaf);
    CInstance* b = room.AddInstance(0, 0, base);
    CInstance* c = room.AddInstance(0, 0, mid);
    CInstance* d = room.AddInstance(0, 0, 99); // no such object: in the room, in no list
    CInstance* e = room.AddInstance(0, 0, loop);
    EXPECT_EQ(a->i_id, 100001);
    EXPECT_EQ(e->i_id, 100005);
    EXPECT_EQ(room.Obj_Number(base), 1);
    EXPECT_EQ(room.Obj_Number_Recursive(base), 3);
    EXPECT_EQ(room.Obj_Instance_Recursive(base, 0), a);
    EXPECT_EQ(room.Obj_Instance_Recursive(base, 1), b);
    EXPECT_EQ(room.Obj_Instance_Recursive(base, 2), c);
    EXPECT_EQ(room.Obj_Instance_Recursive(base, 3), nullptr);
    EXPECT_EQ(room.Obj_Number_Recursive(mid), 2);
    EXPECT_EQ(room.Obj_Number_Recursive(leaf), 1);
    EXPECT_EQ(room.Obj_Number_Recursive(loop), 1);
    EXPECT_EQ(room.Obj_Number(99), 0);
    EXPECT_EQ(room.Obj_Instance(-1, 0), nullptr);
    EXPECT_EQ(room.Obj_Instance(base, -1), nullptr);
    EXPECT_EQ(room.FindInstance(d->i_id), d);

    // Destroyed instances stay until removed, but are not found by id.
    b->i_marked = true;
    EXPECT_EQ(room.FindInstance(b->i_id), nullptr);
    room.RemoveMarked();
    EXPECT_EQ(room.r_numb(), 4);
    EXPECT_EQ(room.Obj_Number_Recursive(base), 2);
    // Ids are never handed out again.
    EXPECT_EQ(room.AddInstance(0, 0, base)->i_id, 100006);

    // Deactivation keeps both lists in order.
    a->i_deactivated = true;
    d->i_deactivated = true;
    room.UpdateActive();
    EXPECT_EQ(room.r_numb(), 3);
    EXPECT_EQ(room.r_numb_deact(), 2);
    EXPECT_EQ(room.r_instance_deact[0].get(), a);
    EXPECT_EQ(room.Obj_Number_Recursive(base), 2);
    EXPECT_EQ(room.FindInstance(a->i_id), nullptr);
    a->i_deactivated = false;
    room.UpdateActive();
    EXPECT_EQ(room.r_instance.back().get(), a);
    EXPECT_EQ(room.Obj_Number_Recursive(base), 3);
}

TEST_F(RoomTest, LoadingRoomsKeepsIdsUniqueAndRefusesDamagedRecords) {
    GameData game;
    auto& rooms = game.Resources(ResourceKind::Room);
    rooms.push_back({true, "level", Bytes(SampleRoom(811))});
    rooms.push_back({});
    game.room_order = {0};
    // Stored last ids below the ids in use: new ones still come after every stored one.
    game.last_instance_id = 100000;
    game.last_tile_id = 5;
    ASSERT_TRUE(World().LoadRooms(game));
    EXPECT_EQ(LastIds().last_instance, 100002);
    EXPECT_EQ(LastIds().last_tile, 10000001);
    EXPECT_EQ(World().RoomCount(), 2);
    EXPECT_FALSE(World().RoomExists(1));
    EXPECT_EQ(World().RoomName(1), "<undefined>");
    EXPECT_EQ(World().FindRoom("level"), 0);

    rooms[1] = {true, "broken", {0x2B, 0x03, 0, 0, 1}};
    EXPECT_FALSE(World().LoadRooms(game));
}

TEST_F(RoomTest, RoomTableAddsDuplicatesAndAssigns) {
    auto room = std::make_unique<CRoom>();
    room->r_caption = "one";
    room->AddInstance(0, 0, 0);
    World().AddRoom("one", std::move(room));
    World().AddRoom("", nullptr);
    EXPECT_EQ(World().AddNewRoom(), 2);
    EXPECT_EQ(World().RoomName(2), "__newroom2");
    EXPECT_EQ(World().DuplicateRoom(0), 3);
    EXPECT_EQ(World().RoomName(3), "__newroom3");
    EXPECT_EQ(World().StoredRoom(3)->r_caption, "one");
    EXPECT_EQ(World().StoredRoom(3)->r_numb(), 1);
    EXPECT_NE(World().StoredRoom(3)->r_instance[0].get(), World().StoredRoom(0)->r_instance[0].get());
    EXPECT_EQ(World().DuplicateRoom(1), -1);
    // Assigning fills an empty slot, or grows the table to the target.
    EXPECT_TRUE(World().AssignRoom(1, 0));
    EXPECT_EQ(World().RoomName(1), "__newroom1");
    EXPECT_EQ(World().StoredRoom(1)->r_caption, "one");
    EXPECT_TRUE(World().AssignRoom(6, 3));
    EXPECT_EQ(World().RoomCount(), 7);
    EXPECT_FALSE(World().RoomExists(5));
    EXPECT_FALSE(World().AssignRoom(2, 5));
    EXPECT_FALSE(World().AssignRoom(-1, 0));
    EXPECT_FALSE(World().AssignRoom(2000000000, 0));
    EXPECT_TRUE(World().AssignRoom(0, 0));
}

TEST_F(RoomTest, SortingByDepthIsStable) {
    CRoom room;
    const double depths[] = {5, 10, 5, -1, 10, 5};
    for (double depth : depths) room.AddInstance(0, 0, 0)->i_depth = depth;
    room.SortInstances();
    std::string order;
    for (const auto& i : room.r_instance) order += std::to_string(i->i_id - 100000) + " ";
    EXPECT_EQ(order, "2 5 1 3 6 4 ");
}

TEST_F(RoomTest, CopiesAreDeep) {
    const int32_t obj = AddObject("o", ObjectWith({}));
    CRoom stored;
    stored.r_caption = "x";
    stored.AddInstance(1, 2, obj);
    stored.AddTile({});
    CRoom running;
    running.Assign(stored);
    ASSERT_EQ(running.r_numb(), 1);
    EXPECT_NE(running.r_instance[0].get(), stored.r_instance[0].get());
    EXPECT_EQ(running.r_instance[0]->i_id, stored.r_instance[0]->i_id);
    EXPECT_EQ(running.Obj_Number(obj), 1);
    running.r_instance[0]->i_x = 50;
    EXPECT_EQ(stored.r_instance[0]->i_x, 1);
    EXPECT_EQ(running.r_tnumb(), 1);
}

RTile Tile(double x, double y, int32_t w, int32_t h, double depth) {
    RTile t;
    t.x = x;
    t.y = y;
    t.w = w;
    t.h = h;
    t.depth = depth;
    return t;
}

TEST_F(RoomTest, TileLookupsAndDeletionsDisagreeAtDepthZeroAndOnEdges) {
    CRoom room;
    room.AddTile(Tile(0, 0, 10, 10, 0));
    room.AddTile(Tile(100, 0, 10, 10, -5));
    room.AddTile(Tile(200, 0, 10, 10, 5));
    struct Find {
        double x, y;
        bool foreground;
        int32_t want;
    } finds[] = {
        {5, 5, false, 0},  {5, 5, true, -1},    {10, 5, false, -1},   {0, 0, false, 0},
        {105, 5, true, 1}, {105, 5, false, -1}, {205, 9.9, false, 2}, {205, 10, false, -1},
    };
    for (const Find& f : finds)
        EXPECT_EQ(room.FindTileAt(f.x, f.y, f.foreground), f.want) << f.x << "," << f.y;

    // Depth 0 is deleted as a foreground tile too, and the right edge counts.
    room.DeleteTilesAt(10, 10, true);
    ASSERT_EQ(room.r_tnumb(), 2);
    EXPECT_EQ(room.r_tile[0].depth, -5);
    room.DeleteTilesAt(210, 5, false);
    EXPECT_EQ(room.r_tnumb(), 1);
}

TEST_F(RoomTest, TileIdsAndDepthOperations) {
    LastIds().last_tile = 10000020;
    CRoom room;
    EXPECT_EQ(room.AddTile(Tile(0, 0, 8, 8, 10)), 0);
    room.AddTile(Tile(8, 0, 8, 8, 20));
    room.AddTile(Tile(16, 0, 8, 8, 10));
    room.AddTile(Tile(24, 0, 8, 8, 30));
    EXPECT_EQ(room.r_tile[0].id, 10000021);
    EXPECT_EQ(room.r_tile[3].id, 10000024);
    EXPECT_EQ(room.FindTile(10000022), 1);
    EXPECT_EQ(room.r_lasttile, 1);
    EXPECT_EQ(room.FindTile(10000022), 1);
    EXPECT_EQ(room.FindTile(5), -1);

    room.SortTiles();
    std::string ids;
    for (const RTile& t : room.r_tile) ids += std::to_string(t.id - 10000020) + " ";
    EXPECT_EQ(ids, "4 2 1 3 ");

    room.HideTilesDepth(10);
    EXPECT_FALSE(room.r_tile[2].visible);
    EXPECT_TRUE(room.r_tile[1].visible);
    room.ShowTilesDepth(10);
    EXPECT_TRUE(room.r_tile[2].visible);
    room.ShiftTilesDepth(10, 1, 2);
    EXPECT_EQ(room.r_tile[2].x, 1);
    EXPECT_EQ(room.r_tile[3].y, 2);
    EXPECT_EQ(room.FindTileAtDepth(10, 17, 5), 3);
    EXPECT_EQ(room.FindTileAtDepth(10, 25, 10), -1);
    room.ChangeTilesDepth(10, 15);
    EXPECT_EQ(room.FindTileAtDepth(15, 17, 5), 3);
    room.DeleteTilesAtDepth(15, 9, 5); // the right edge of the tile at 1..9 is not inside
    EXPECT_EQ(room.r_tnumb(), 4);
    room.DeleteTilesAtDepth(15, 8, 5);
    EXPECT_EQ(room.r_tnumb(), 3);
    room.DeleteTilesDepth(15);
    EXPECT_EQ(room.r_tnumb(), 2);
    room.DeleteTile(7);
    room.DeleteTile(0);
    EXPECT_EQ(room.r_tnumb(), 1);
    EXPECT_EQ(room.FindTile(10000024), -1);
    // Ids are never handed out twice.
    EXPECT_EQ(room.r_tile[room.AddTile(Tile(0, 0, 1, 1, 0))].id, 10000025);
}

} // namespace
} // namespace kestrin
