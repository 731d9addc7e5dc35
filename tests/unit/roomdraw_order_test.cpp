// Room drawing: the depth merge of tiles, instances and particle systems, what is skipped,
// views and their widened rectangles, 3D depths, and runs without a device.

#include <gtest/gtest.h>

#include "tests/unit/roomdraw_fixture.h"

namespace kestrin {
namespace {

using testing::ObjectWith;

// One particle system at depth 0 drawing background `g_particleBack`.
int32_t g_particleBack = -1;
double ParticleDepthBelow(double below) {
    return below > 0 ? 0 : -1e9;
}
void DrawParticles(double depth) {
    if (depth == 0) Background_Get(g_particleBack)->DrawSimple(0, 0);
}

class RoomDrawOrderTest : public testing::RoomDrawTest {};

TEST_F(RoomDrawOrderTest, EqualDepthsDrawParticlesThenTheInstanceThenTheTile) {
    const int32_t deep = Back("deep"), tile = Back("tile"), inst = Back("inst"), near = Back("near");
    g_particleBack = Back("part");
    AddTile(tile, 0, 0, 0);
    AddTile(deep, 0, 0, 10);
    AddDrawing(near, -5);
    AddDrawing(inst, 0);
    SetRoomParticleSource({ParticleDepthBelow, DrawParticles});
    Room_Draw(Room());
    EXPECT_EQ(Drawn(), "deep part inst tile near");
    // The lists were sorted for the merge, deepest first, keeping equal depths in order.
    EXPECT_EQ(Room().r_tile[0].depth, 10);
    EXPECT_EQ(Room().r_instance[0]->i_depth, 0);
}

TEST_F(RoomDrawOrderTest, SkipsHiddenAndRemovedThingsAndTilesOutsideTheArea) {
    const int32_t shown = Back("shown"), hidden = Back("hidden"), mirrored = Back("mirrored");
    AddDrawing(hidden, 0)->i_visible = false;
    AddDrawing(hidden, 0)->i_marked = true;
    AddDrawing(shown, 0);
    AddTile(hidden, 0, 0, 5).visible = false;
    AddTile(hidden, -100, 0, 5);            // box -100..-84: left of the room
    AddTile(hidden, -20, 0, 5).xscale = -1; // mirrored box -36..-20
    AddTile(mirrored, 8, 0, 5).xscale = -1; // mirrored box -8..8 reaches into the room
    AddTile(hidden, 0, 481, 5);             // below the room
    AddTile(shown, 640, 480, 5);            // its corner touches the room's edge
    Room_Draw(Room());
    EXPECT_EQ(Drawn(), "mirrored shown shown");
}

TEST_F(RoomDrawOrderTest, BackgroundsAndForegroundsFrameTheMergeAtTheirDepthsIn3D) {
    const int32_t back = Back("back"), front = Back("front"), inst = Back("inst"), tile = Back("tile");
    CRoom& room = Room();
    room.r_background[3] = {true, false, back};
    room.r_background[3].htiled = room.r_background[3].vtiled = false;
    room.r_background[1] = room.r_background[3];
    room.r_background[1].index = front;
    room.r_background[1].foreground = true;
    room.r_background[2] = room.r_background[3];
    room.r_background[2].index = 99; // no such background: skipped
    AddDrawing(inst, 20000);
    AddTile(tile, 0, 0, -20000);
    RenderState_Set3DMode(true);
    Room_Draw(room);
    RenderState_Set3DMode(false);
    ASSERT_EQ(Drawn(), "back inst tile front");
    const float z[] = {12000, 11000, -16000, -12000};
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(device.draws[i].vertices[0].z, z[i]) << i;
    // 3D mode clears the depth buffer before the room colour is drawn.
    ASSERT_FALSE(device.clears.empty());
    EXPECT_EQ(device.clears[0].flags, uint32_t(kClearZBuffer));
}

TEST_F(RoomDrawOrderTest, TurnedViewsDrawOverTheWidenedRectangle) {
    struct Case {
        double angle;
        RoomRect rect;
    };
    const Case cases[] = {
        {0, {100, 100, 300, 201}},
        {0.009, {100, 100, 300, 201}},
        {45, {50, 0, 350, 301}}, // hview 101 div 2 = 50, wview 200 div 2 = 100
        {-90, {50, 0, 350, 301}},
    };
    for (const Case& c : cases) {
        CView v;
        v.xview = v.yview = 100;
        v.wview = 200;
        v.hview = 101;
        v.angle = c.angle;
        EXPECT_EQ(Room_ViewRectangle(v), c.rect) << c.angle;
    }

    const int32_t tile = Back("tile");
    CRoom& room = Room();
    room.r_enableviews = true;
    room.r_clearViewBackground = false;
    room.r_view[0] = CView{};
    room.r_view[0].visible = true;
    room.r_view[0].xview = room.r_view[0].yview = 100;
    room.r_view[0].wview = 200;
    room.r_view[0].hview = 100;
    AddTile(tile, 60, 120, 0); // box 60..76: outside the straight view, inside the turned one
    Room_Draw(room);
    EXPECT_EQ(Drawn(), "");
    device.draws.clear();
    room.r_view[0].angle = 45;
    Room_Draw(room);
    EXPECT_EQ(Drawn(), "tile");
}

TEST_F(RoomDrawOrderTest, EachVisibleViewDrawsThroughItsPortAndTheRegionIsRestored) {
    const int32_t inst = Back("inst");
    CRoom& room = Room();
    room.r_enableviews = true;
    GameWindow().colour = 0x0000FF;
    for (size_t i : {1u, 4u}) {
        room.r_view[i].visible = true;
        room.r_view[i].xport = int32_t(i) * 10;
        room.r_view[i].wport = 100;
        room.r_view[i].hport = 50;
    }
    const int32_t object = AddObject("v", ObjectWith({{ev_draw, 0,
                                                       "draw_background(" + std::to_string(inst) +
                                                           ", 0, 0); show_debug_message(view_current)"}}));
    Room().AddInstance(0, 0, object);
    Log().clear();
    Room_Draw(room);
    EXPECT_EQ(Joined(), "1 4");
    ASSERT_EQ(device.draws.size(), 2u);
    EXPECT_EQ(device.draws[0].viewport.x, 10);
    EXPECT_EQ(device.draws[1].viewport.x, 40);
    EXPECT_EQ(device.CurrentViewport().w, RenderState_RegionWidth());
    EXPECT_EQ(GameValues().view_current, 0);
    // The whole region was cleared to the window colour first, in the device's ARGB.
    ASSERT_FALSE(device.clears.empty());
    EXPECT_EQ(device.clears[0].argb, 0xFFFF0000u);
}

TEST_F(RoomDrawOrderTest, WithoutADeviceDrawEventsStillRunOncePerView) {
    CRoom& room = Room();
    const int32_t object = AddObject("v", ObjectWith({{ev_draw, 0, "show_debug_message(view_current)"}}));
    Room().AddInstance(0, 0, object);
    Room().AddInstance(0, 0, object)->i_visible = false;
    RenderState_Finish();
    Log().clear();
    Room_Draw(room);
    EXPECT_EQ(Joined(), "0");
    room.r_enableviews = true;
    room.r_view[0].visible = room.r_view[6].visible = true;
    Log().clear();
    Room_Draw(room);
    EXPECT_EQ(Joined(), "0 6");
    EXPECT_TRUE(device.draws.empty());
}

// A source that keeps answering the same depth would never let the merge finish.
int32_t g_stuckDraws = 0;
double StuckDepthBelow(double) {
    return 0;
}
void CountStuck(double) {
    ++g_stuckDraws;
}

TEST_F(RoomDrawOrderTest, DrawEventsThatChangeTheListsAndAStuckParticleSourceEndTheFrame) {
    const int32_t tile = Back("tile"), inst = Back("inst");
    AddTile(tile, 0, 0, -10);
    AddTile(tile, 0, 0, -20);
    const int32_t object =
        AddObject("maker", ObjectWith({{ev_draw, 0,
                                        "draw_background(" + std::to_string(inst) +
                                            ", 0, 0); tile_layer_delete(-10); tile_layer_delete(-20); "
                                            "instance_create(0, 0, object_index)"}}));
    Room().AddInstance(0, 0, object)->i_depth = 0;
    g_stuckDraws = 0;
    SetRoomParticleSource({StuckDepthBelow, CountStuck});
    Room_Draw(Room());
    EXPECT_EQ(Drawn(), "inst");
    EXPECT_EQ(g_stuckDraws, 1);
    EXPECT_EQ(Room().r_numb(), 2);
    EXPECT_EQ(Room().r_tnumb(), 0);
}

TEST_F(RoomDrawOrderTest, ARedrawAskedForByADrawEventDoesNotDrawTheRoomInsideItself) {
    const int32_t object =
        AddObject("r", ObjectWith({{ev_draw, 0, "show_debug_message(\"draw\"); screen_redraw()"}}));
    Room().AddInstance(0, 0, object);
    Log().clear();
    Room_Draw(Room());
    EXPECT_EQ(Joined(), "draw");
}

} // namespace
} // namespace kestrin
