// Views following their instances, the mouse mappings they register, the caption, the tile
// built-ins and the backgrounds read from the game data.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <iterator>
#include <random>
#include <string>

#include "runner/game_data.h"
#include "base/stream.h"
#include "tests/unit/roomdraw_fixture.h"

namespace kestrin {
namespace {

using testing::ObjectWith;

class RoomViewTest : public testing::RoomDrawTest {
protected:
    CView& FirstView() {
        CRoom& room = Room();
        room.r_enableviews = true;
        room.r_view[0].visible = true;
        return room.r_view[0];
    }
};

TEST_F(RoomViewTest, FollowingKeepsTheTargetInsideTheBordersOnBothAxes) {
    struct Case {
        const char* what;
        int32_t size, border, speed, view, target, room, expected;
    };
    const Case cases[] = {
        {"past the far border", 320, 32, -1, 0, 400, 1000, 112},
        {"past the near border", 320, 32, -1, 200, 210, 1000, 178},
        {"inside the borders", 320, 32, -1, 100, 200, 1000, 100},
        {"borders cover the view: centred", 640, 400, -1, 0, 1000, 2000, 680},
        {"borders cover the view: centred from the far side", 640, 400, -1, 500, 700, 2000, 380},
        {"view larger than the room", 800, 32, -1, 0, 300, 640, -160},
        {"clamped at the start", 320, 32, -1, 50, -50, 1000, 0},
        {"clamped at the end", 320, 32, -1, 600, 990, 1000, 680},
        {"speed 0 never moves", 320, 32, 0, 0, 900, 1000, 0},
        {"speed 5 toward the far side", 320, 32, 5, 0, 900, 1000, 5},
        {"speed 5 toward the near side", 320, 32, 5, 100, 10, 1000, 95},
        {"speed larger than the distance", 320, 32, 500, 0, 400, 1000, 112},
    };
    const int32_t object = AddObject("t", ObjectWith({}));
    CInstance* target = Room().AddInstance(0, 0, object);
    CView& v = FirstView();
    v.object = object;
    for (const Case& c : cases) {
        Room().r_width = Room().r_height = c.room;
        v.wview = v.hview = c.size;
        v.hborder = v.vborder = c.border;
        v.hspeed = v.vspeed = c.speed;
        v.xview = v.yview = c.view;
        target->i_x = target->i_y = c.target;
        Room_UpdateViews(Room());
        EXPECT_EQ(v.xview, c.expected) << c.what;
        EXPECT_EQ(v.yview, c.expected) << c.what;
    }
}

TEST_F(RoomViewTest, TheTargetIsAnInstanceIdOrTheFirstLiveInstanceOfAnObjectOrItsChildren) {
    const int32_t parent = AddObject("parent", ObjectWith({}));
    const int32_t child = AddObject("child", ObjectWith({}, parent));
    CInstance* gone = Room().AddInstance(100, 0, parent);
    CInstance* kid = Room().AddInstance(500, 0, child);
    CInstance* other = Room().AddInstance(900, 0, parent);
    gone->i_marked = true;
    CView& v = FirstView();
    Room().r_width = 2000;
    v.wview = 200;
    v.hborder = 100;

    v.object = parent; // the marked instance is passed over
    Room_UpdateViews(Room());
    EXPECT_EQ(v.xview, kid->i_x - 100);

    v.object = other->i_id;
    Room_UpdateViews(Room());
    EXPECT_EQ(v.xview, 800);

    v.object = gone->i_id; // marked: the view stays
    Room_UpdateViews(Room());
    EXPECT_EQ(v.xview, 800);

    v.object = 777; // no such object
    Room_UpdateViews(Room());
    EXPECT_EQ(v.xview, 800);
}

TEST_F(RoomViewTest, VisibleViewsRegisterTheirMappingsAndViewsOffClearThem) {
    CRoom& room = Room();
    room.r_enableviews = true;
    room.r_view[2].visible = true;
    room.r_view[2].xview = 30;
    room.r_view[2].xport = 7;
    room.r_view[2].angle = 10;
    ViewMappings()[1].active = true;  // stale: cleared
    ViewMappings()[12].active = true; // not a room view's entry: kept
    Room_UpdateViews(room);
    EXPECT_FALSE(ViewMappings()[1].active);
    ASSERT_TRUE(ViewMappings()[2].active);
    EXPECT_EQ(ViewMappings()[2].xview, 30);
    EXPECT_EQ(ViewMappings()[2].xport, 7);
    EXPECT_EQ(ViewMappings()[2].wview, 640);
    EXPECT_EQ(ViewMappings()[2].angle, 10);
    EXPECT_TRUE(ViewMappings()[12].active);

    room.r_enableviews = false;
    Room_UpdateViews(room);
    EXPECT_FALSE(ViewMappings()[2].active);
}

TEST_F(RoomViewTest, CaptionShowsScoreLivesAndHealthAsAsked) {
    struct Case {
        bool show_score, asked;
        int32_t score;
        bool show_lives, show_health;
        double health;
        const char* expected;
    };
    const Case cases[] = {
        {true, false, 0, false, false, 100, "Level"},
        {true, false, 5, false, false, 100, "Level Score: 5"},
        {true, true, 0, false, false, 100, "Level Score: 0"},
        {false, true, 5, false, false, 100, "Level"},
        {true, false, -3, true, true, 42.6, "Level Lives: 2 Health: 43"},
        {false, false, 0, false, true, -0.4, "Level Health: 0"},
    };
    Room().r_caption = "Level";
    for (const Case& c : cases) {
        GameVariables& g = GameValues();
        g.show_score = c.show_score;
        g.score_asked = c.asked;
        g.score = c.score;
        g.lives = 2;
        g.show_lives = c.show_lives;
        g.show_health = c.show_health;
        g.health = c.health;
        EXPECT_EQ(Room_Caption(Room()), c.expected);
    }
    Room_Draw(Room());
    EXPECT_EQ(GameWindow().caption, "Level Health: 0");
}

// The caption is kept between frames: after any run of changes to what it is made of (the
// room's text, in place or another room's, the flags, the values, health near its rounding
// edges, the labels), the kept caption is the one a fresh build gives.
TEST_F(RoomViewTest, CachedCaptionAlwaysEqualsAFreshOne) {
    const std::string umlaut = "\xC3\x9C";
    const std::string texts[] = {"", "Level", "Level 2", umlaut + "ber", "Score: ", "Lives: "};
    const double healths[] = {100, 42.4, 42.5, 42.6, 43.5, -0.4, -0.6, 1e300, -1e300, NAN};
    CRoom other;
    other.r_caption = "Level";
    std::mt19937 rng(2026);
    auto text = [&] { return texts[rng() % std::size(texts)]; };
    GameVariables& g = GameValues();
    CRoom* room = &Room();
    const std::function<void()> changes[] = {
        [&] { room->r_caption = text(); },
        [&] { room->r_caption += 'x'; },
        [&] { room = room == &other ? &Room() : &other; },
        [&] { g.show_score = !g.show_score; },
        [&] { g.score_asked = !g.score_asked; },
        [&] { g.score = static_cast<int32_t>(rng() % 5) - 2; },
        [&] { g.show_lives = !g.show_lives; },
        [&] { g.lives += static_cast<int32_t>(rng() % 3) - 1; },
        [&] { g.show_health = !g.show_health; },
        [&] { g.health = healths[rng() % std::size(healths)]; },
        [&] { g.caption_score = text(); },
        [&] { g.caption_lives = text(); },
        [&] { g.caption_health = text(); },
    };
    for (int i = 0; i < 4000; ++i) {
        changes[rng() % std::size(changes)]();
        ASSERT_EQ(Room_CachedCaption(*room), Room_Caption(*room)) << "after change " << i;
    }
}

TEST_F(RoomViewTest, TileBuiltInsFindTilesByIdAndReportMissingOnes) {
    const double back = Back("b");
    auto call = [](const char* name, std::vector<double> args) {
        const int32_t index = FindFunction(name);
        EXPECT_GE(index, 0) << name;
        EXPECT_EQ(FunctionArgCount(index), int32_t(args.size())) << name;
        std::vector<RValue> slots(args.begin(), args.end());
        RValue result;
        FunctionRoutine(index)(nullptr, nullptr, int32_t(slots.size()), slots.data(), result);
        return result.val();
    };

    const double id = call("tile_add", {back, 1, 2, 3.4, 4.6, 10, 20, 7});
    EXPECT_GT(id, 10000000);
    EXPECT_EQ(call("tile_get_width", {id}), 3);
    EXPECT_EQ(call("tile_get_height", {id}), 5);
    EXPECT_EQ(call("tile_get_alpha", {id}), 1);
    EXPECT_EQ(call("tile_get_blend", {id}), 16777215);
    EXPECT_EQ(call("tile_get_visible", {id}), 1);
    EXPECT_EQ(call("tile_get_background", {id}), back);
    EXPECT_EQ(call("tile_find", {11, 21, 0}), id);
    EXPECT_EQ(call("tile_find", {11, 21, 1}), -1); // depth 7 is no foreground
    EXPECT_EQ(call("tile_layer_find", {7, 11, 21}), id);
    call("tile_set_region", {id, 0.6, 0, 8, 8});
    EXPECT_EQ(call("tile_get_left", {id}), 1);
    call("tile_layer_depth", {7, -3});
    EXPECT_EQ(call("tile_get_depth", {id}), -3);
    EXPECT_TRUE(errors().empty());

    call("tile_set_background", {id, 99});
    EXPECT_EQ(call("tile_get_background", {id}), back);
    EXPECT_EQ(call("tile_add", {99, 0, 0, 8, 8, 0, 0, 0}), -1);
    EXPECT_EQ(errors(),
              (std::vector<std::string>{"Background does not exist.", "Background does not exist."}));
    errors().clear();

    call("tile_delete", {id});
    EXPECT_EQ(call("tile_exists", {id}), 0);
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(call("tile_get_x", {id}), 0);
    EXPECT_EQ(call("tile_get_background", {id}), -1);
    call("tile_set_visible", {id, 1});
    call("tile_delete", {id});
    EXPECT_EQ(errors(), std::vector<std::string>(4, "Tile does not exist."));
}

TEST_F(RoomViewTest, LayersAnswerTheSizesOfTheirBackgroundsAndStretchToTheRoom) {
    const int32_t back = Back("b", 16, 8);
    Room().r_background[2].index = back;
    Room().r_background[5].index = 99;
    const int32_t object = AddObject(
        "sizes", ObjectWith({{ev_draw, 0,
                              "show_debug_message(string(background_width[2]) + \" \" + "
                              "string(background_height[2]) + \" \" + string(background_width[5]))"}}));
    Room().AddInstance(0, 0, object);
    Log().clear();
    Room_Draw(Room());
    EXPECT_EQ(Joined(), "16 8 0");

    RoomRecord record;
    record.width = 640;
    record.height = 480;
    record.layers[0].index = back;
    record.layers[0].stretch = true;
    CRoom stretched;
    stretched.Assign(record);
    EXPECT_EQ(stretched.r_background[0].xscale, 40);
    EXPECT_EQ(stretched.r_background[0].yscale, 60);
}

TEST(RoomBackgroundsTest, TheGameDataFillsTheListAndADamagedRecordFailsIt) {
    CBackground made;
    made.CreateColor(3, 2, 0x123456);
    CStream record;
    made.SaveToStream(record);
    std::vector<RawResource> records = {{true, "sky", record.TakeBytes()}, {false, "", {}}};
    ASSERT_TRUE(Background_LoadRecords(records));
    ASSERT_EQ(Background_Count(), 2);
    EXPECT_EQ(Background_GetName(0), "sky");
    EXPECT_EQ(Background_Get(0)->GetHeight(), 2);
    EXPECT_FALSE(Background_Exists(1));

    records.push_back(
        {true, "cut", std::vector<uint8_t>(records[0].record.begin(), records[0].record.end() - 3)});
    EXPECT_FALSE(Background_LoadRecords(records));
    EXPECT_EQ(Background_Count(), 0);
}

} // namespace
} // namespace kestrin
