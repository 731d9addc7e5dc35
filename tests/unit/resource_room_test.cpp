#include <memory>
#include <string>

#include "graphics/background.h"
#include "run_fixture.h"

namespace kestrin {
namespace {

using testing::ObjectWith;

class ResourceRoom : public testing::RunTest {
protected:
    void TearDown() override {
        Background_ClearAll();
        RunTest::TearDown();
    }
    std::string Run(const std::string& code) {
        Log().clear();
        if (!holder_) {
            holder_ = std::make_unique<CInstance>();
            holder_->Create(0, 0, 1, -1);
        }
        std::string out = Eval(code, holder_.get());
        for (const std::string& line : Log()) out += " | " + line;
        return out;
    }
    static std::string Num(double d) { return std::to_string(d); }
    // The self of code run outside the game's rooms.
    std::unique_ptr<CInstance> holder_;
    int32_t AddBackground() {
        auto back = std::make_unique<CBackground>();
        back->CreateColor(8, 8, 255);
        return Background_AddNew(std::move(back));
    }
    CRoom* Stored(int32_t ind) { return World().StoredRoom(ind); }
};

TEST_F(ResourceRoom, SettersChangeTheStoredRoomAndNothingWhenItIsMissing) {
    const int32_t r = World().AddNewRoom();
    const std::string R = std::to_string(r);
    EXPECT_EQ(Run("return room_get_name(" + R + ")"), "__newroom" + R);
    EXPECT_EQ(Run("return room_name(7)"), "<undefined>");
    EXPECT_EQ(Run("return room_exists(" + R + ") * 10 + room_exists(7)"), Num(10));
    // Every setter on missing rooms: no change anywhere, no message.
    const char* setters[] = {"room_set_width(#, 5)",
                             "room_set_height(#, 5)",
                             "room_set_caption(#, 'c')",
                             "room_set_code(#, 'x = 1')",
                             "room_set_persistent(#, 1)",
                             "room_set_background_color(#, 1, 0)",
                             "room_set_background(#, 0, 1, 1, 3, 1, 2, 0, 0, 1, 1, 0.5)",
                             "room_set_view(#, 0, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13)",
                             "room_set_view_enabled(#, 1)",
                             "room_instance_add(#, 1, 2, 0)",
                             "room_instance_clear(#)",
                             "room_tile_clear(#)"};
    for (const char* setter : setters)
        for (const char* missing : {"-1", "7", "100000000"}) {
            std::string code = setter;
            code.replace(code.find('#'), 1, missing);
            const std::string out = Run("return " + code);
            EXPECT_TRUE(out == Num(0) || out == Num(-1)) << code << " " << out;
        }
    CRoom* room = Stored(r);
    room->r_background[2].blend = 0x00FF00;
    room->r_background[2].xscale = 3;
    room->r_view[1].angle = 30;
    Run("room_set_width(" + R + ", 320.6) room_set_height(" + R + ", 200) room_set_caption(" + R +
        ", 'Hi') room_set_code(" + R + ", 'y = 2') room_set_persistent(" + R +
        ", 0.5) room_set_background_color(" + R + ", 255, 0.4) room_set_view_enabled(" + R + ", 1)");
    EXPECT_EQ(room->r_width, 321);
    EXPECT_EQ(room->r_height, 200);
    EXPECT_EQ(room->r_caption, "Hi");
    EXPECT_EQ(room->r_code, "y = 2");
    EXPECT_TRUE(room->r_persistent);
    EXPECT_EQ(room->r_color, 255);
    EXPECT_FALSE(room->r_showcolor);
    EXPECT_TRUE(room->r_enableviews);

    Run("room_set_background(" + R + ", 2, 1, 1, 5, 10, 20, 0, 1, 1.5, -2, 0.25)");
    const CBack& layer = room->r_background[2];
    EXPECT_TRUE(layer.visible && layer.foreground && !layer.htiled && layer.vtiled);
    EXPECT_EQ(layer.index, 5);
    EXPECT_EQ(layer.x, 10);
    EXPECT_EQ(layer.y, 20);
    EXPECT_EQ(layer.hspeed, 1.5);
    EXPECT_EQ(layer.vspeed, -2);
    EXPECT_EQ(layer.alpha, 0.25);
    EXPECT_EQ(layer.xscale, 1);
    EXPECT_EQ(layer.blend, 0x00FF00);
    // Layer and view numbers outside 0..7 change nothing.
    Run("room_set_background(" + R + ", 8, 1, 1, 9, 9, 9, 1, 1, 9, 9, 9) room_set_background(" + R +
        ", -1, 1, 1, 9, 9, 9, 1, 1, 9, 9, 9) room_set_view(" + R +
        ", 8, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13)");
    for (const CBack& b : room->r_background) EXPECT_NE(b.index, 9);
    for (const CView& v : room->r_view) EXPECT_FALSE(v.visible);

    Run("room_set_view(" + R + ", 1, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13)");
    const CView& v = room->r_view[1];
    EXPECT_TRUE(v.visible);
    EXPECT_EQ((std::array<int32_t, 13>{v.xview, v.yview, v.wview, v.hview, v.xport, v.yport, v.wport, v.hport,
                                       v.hborder, v.vborder, v.hspeed, v.vspeed, v.object}),
              (std::array<int32_t, 13>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
    EXPECT_EQ(v.angle, 30);
}

TEST_F(ResourceRoom, AddDuplicateAndAssign) {
    const int32_t r = World().AddNewRoom();
    Stored(r)->r_caption = "source";
    const std::string R = std::to_string(r);
    EXPECT_EQ(Run("return room_add()"), Num(r + 1));
    EXPECT_EQ(Run("return room_duplicate(" + R + ")"), Num(r + 2));
    EXPECT_EQ(Stored(r + 2)->r_caption, "source");
    EXPECT_EQ(World().RoomName(r + 2), "__newroom" + std::to_string(r + 2));
    EXPECT_NE(Run("return room_duplicate(40)").find("Trying to duplicate non-existing room."),
              std::string::npos);
    EXPECT_EQ(Run("return room_assign(" + std::to_string(r + 1) + ", " + R + ")"), Num(1));
    EXPECT_EQ(Stored(r + 1)->r_caption, "source");
    EXPECT_NE(Run("return room_assign(" + R + ", 40)").find("Error assigning a room."), std::string::npos);
    EXPECT_NE(Run("return room_assign(-1, " + R + ")").find("Error assigning a room."), std::string::npos);
}

TEST_F(ResourceRoom, TilesNeedAnExistingBackground) {
    const int32_t r = World().AddNewRoom();
    const int32_t back = AddBackground();
    const std::string R = std::to_string(r), B = std::to_string(back);
    EXPECT_NE(
        Run("return room_tile_add(" + R + ", 5, 0, 0, 4, 4, 0, 0, 0)").find("Background does not exist."),
        std::string::npos);
    EXPECT_NE(Run("return room_tile_add_ext(" + R + ", -1, 0, 0, 4, 4, 0, 0, 0, 1, 1, 1)")
                  .find("Background does not exist."),
              std::string::npos);
    // A missing room with an existing background: nothing added, nothing said.
    EXPECT_EQ(Run("return room_tile_add(9, " + B + ", 0, 0, 4, 4, 0, 0, 0)"), Num(-1));
    EXPECT_EQ(Run("return room_tile_add_ext(9, " + B + ", 0, 0, 4, 4, 0, 0, 0, 1, 1, 1)"), Num(0));
    const int32_t firstId = LastIds().last_tile + 1;
    EXPECT_EQ(Run("return room_tile_add(" + R + ", " + B + ", 1, 2, 3, 4, 5.5, 6, -10.5)"), Num(firstId));
    EXPECT_EQ(Run("return room_tile_add_ext(" + R + ", " + B + ", 0, 0, 2, 2, 0, 0, 0, 2, 3, 0.5)"),
              Num(firstId + 1));
    const CRoom* room = Stored(r);
    ASSERT_EQ(room->r_tnumb(), 2);
    const RTile& t = room->r_tile[0];
    EXPECT_EQ(t.index, back);
    EXPECT_EQ((std::array<int32_t, 4>{t.xo, t.yo, t.w, t.h}), (std::array<int32_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(t.x, 5.5);
    EXPECT_EQ(t.depth, -10.5);
    EXPECT_EQ(t.blend, 0xFFFFFF);
    EXPECT_TRUE(t.visible);
    EXPECT_EQ(room->r_tile[1].xscale, 2);
    EXPECT_EQ(room->r_tile[1].yscale, 3);
    EXPECT_EQ(room->r_tile[1].alpha, 0.5);
    Run("room_tile_clear(" + R + ")");
    EXPECT_EQ(room->r_tnumb(), 0);
}

// Edits of the stored room reach the running game only when the room is entered fresh.
TEST_F(ResourceRoom, StoredRoomEditsAreSeenOnTheNextVisit) {
    const int32_t ball =
        AddObject("ball", ObjectWith({{ev_create, 0, "show_debug_message('ball ' + string(x))"}}));
    const int32_t mover = AddObject("mover", ObjectWith({}));
    StartRoom({{mover}});
    const int32_t first = World().CurrentIndex();
    const int32_t second = World().AddNewRoom();
    World().RoomOrder().push_back(second);
    Take();
    const std::string F = std::to_string(first);
    const std::string id = Run("return room_instance_add(" + F + ", 40, 8, " + std::to_string(ball) + ")");
    EXPECT_EQ(id, Num(LastIds().last_instance));
    // An instance of an object that does not exist is stored too; it runs no events.
    Run("room_instance_add(" + F + ", 1, 1, 77) room_set_caption(" + F + ", 'edited')");
    EXPECT_EQ(World().Current()->r_numb(), 1);
    EXPECT_EQ(World().Current()->r_caption, "");
    Run("room_goto(" + std::to_string(second) + ")");
    Loop().Step();
    ASSERT_TRUE(Loop().HandleRequest());
    EXPECT_EQ(World().CurrentIndex(), second);
    Run("room_goto(" + F + ")");
    Loop().Step();
    ASSERT_TRUE(Loop().HandleRequest());
    EXPECT_EQ(World().CurrentIndex(), first);
    EXPECT_EQ(World().Current()->r_caption, "edited");
    EXPECT_EQ(World().Current()->r_numb(), 3);
    EXPECT_EQ(Take(), "ball 40");
    Loop().Step();
    // Cleared: the next fresh visit has no instances.
    Run("room_instance_clear(" + F + ")");
    EXPECT_EQ(Stored(first)->r_numb(), 0);
    EXPECT_EQ(World().Current()->r_numb(), 3);
}

} // namespace
} // namespace kestrin
