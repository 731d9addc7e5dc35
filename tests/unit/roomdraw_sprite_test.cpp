// Instances drawn by their sprites, the cursor sprite, and the sprite drawing built-ins.

#include <gtest/gtest.h>

#include "runner/input_state.h"
#include "tests/unit/roomdraw_fixture.h"
#include "graphics/sprite.h"

namespace kestrin {
namespace {

using testing::ObjectWith;

class RoomSpriteTest : public testing::RoomDrawTest {
protected:
    void TearDown() override {
        Sprite_ClearAll();
        RoomDrawTest::TearDown();
    }
    // A sprite of `frames` 8 × 4 frames with its origin at (2, 1); frame k draws as "name.k".
    int32_t Sprite(const std::string& name, int32_t frames = 1) {
        auto s = std::make_unique<CSprite>();
        s->CreateFromBitmap(TBitmap32(8, 4, 0xFFFFFFFF), 0, false, 2, 1);
        for (int32_t k = 1; k < frames; ++k) s->AddFromBitmap(TBitmap32(8, 4, 0xFF00FF00), false, false);
        for (int32_t k = 0; k < frames; ++k)
            names_[GR_Texture_Get(s->GetTexture(k))->tex] = name + "." + std::to_string(k);
        return Sprite_AddNew(std::move(s));
    }
    CInstance* Add(int32_t sprite, double x, double y) {
        const int32_t object = AddObject("plain" + std::to_string(Objects().Count()), ObjectWith({}));
        CInstance* i = Room().AddInstance(x, y, object);
        i->i_spriteindex = sprite;
        return i;
    }
    double Call(CInstance* self, const char* name, std::vector<double> args) {
        const int32_t index = FindFunction(name);
        EXPECT_GE(index, 0) << name;
        EXPECT_EQ(FunctionArgCount(index), int32_t(args.size())) << name;
        std::vector<RValue> slots(args.begin(), args.end());
        RValue result;
        FunctionRoutine(index)(self, self, int32_t(slots.size()), slots.data(), result);
        return result.val();
    }
};

TEST_F(RoomSpriteTest, ResourcesDeletedWhileInUseLeaveNothingDangling) {
    const int32_t s = Sprite("s");
    const int32_t b = Back("b");
    const std::string S = std::to_string(s), B = std::to_string(b);
    // Drawn first (highest depth): deletes the sprite and background everyone uses, then
    // draws with them and with its own sprite.
    const int32_t killer = AddObject(
        "killer", ObjectWith({{ev_draw, 0,
                               "sprite_delete(" + S + ") background_delete(" + B + ") draw_sprite(" + S +
                                   ", 0, 0, 0) draw_background(" + B + ", 0, 0) draw_self()"}}));
    CInstance* k = Room().AddInstance(0, 0, killer);
    k->i_spriteindex = s;
    k->i_depth = 100;
    Add(s, 10, 20);
    AddTile(b, 0, 0, 50);
    Room().r_background[0].visible = true;
    Room().r_background[0].index = b;
    Room().r_background[0].htiled = Room().r_background[0].vtiled = false;
    Room_Draw(Room());
    EXPECT_EQ(Drawn(), "b");  // the room background, drawn before any instance
    device.draws.clear();
    Room_Draw(Room());
    EXPECT_EQ(Drawn(), "");
    // Getters and collisions of instances whose sprite is gone answer as without one.
    EXPECT_EQ(Call(k, "sprite_get_width", {double(s)}), -1);
    k->Compute_BoundingBox();
}

TEST_F(RoomSpriteTest, InstancesWithoutDrawEventsDrawTheirSpriteFrame) {
    const int32_t s = Sprite("s", 3);
    CInstance* plain = Add(s, 10, 20);
    plain->i_imageindex = 4.9; // frame 4 wraps to 1
    CInstance* turned = Add(s, 100, 20);
    turned->i_imageangle = 90;
    CInstance* faded = Add(s, 200, 20);
    faded->i_imagealpha = 0.5;
    Add(77, 0, 0); // no such sprite: nothing
    Room_Draw(Room());
    ASSERT_EQ(Drawn(), "s.1 s.0 s.0");
    // The plain one is the untransformed quad at the origin; the others are transformed.
    EXPECT_EQ(Points(0)[0], (std::pair<float, float>(7.5f, 18.5f)));
    EXPECT_EQ(device.draws[0].vertices[0].colour, 0xFFFFFFFFu);
    EXPECT_NE(Points(1)[0], (std::pair<float, float>(97.5f, 18.5f)));
    EXPECT_EQ(device.draws[2].vertices[0].colour >> 24, 128u);
}

TEST_F(RoomSpriteTest, TheCursorSpriteIsDrawnLastAtTheMouseWithTheLoopsFrameCount) {
    const int32_t s = Sprite("s"), c = Sprite("cursor", 2);
    Add(s, 0, 0);
    GameValues().cursor_sprite = c;
    CurrentInput().mouse_x = 30;
    CurrentInput().mouse_y = 40;
    RenderState_Set3DMode(true);
    Room_Draw(Room());
    RenderState_Set3DMode(false);
    CurrentInput().mouse_x = CurrentInput().mouse_y = 0;
    ASSERT_EQ(Drawn(), "s.0 cursor.0");
    EXPECT_EQ(Points(1)[0], (std::pair<float, float>(27.5f, 38.5f)));
    EXPECT_EQ(device.draws[1].vertices[0].z, -13000);
}

TEST_F(RoomSpriteTest, DrawSelfDrawsAsTheRoomWouldAndNegativeFramesAreTheInstancesImage) {
    const int32_t s = Sprite("s", 2);
    const int32_t object =
        AddObject("self", ObjectWith({{ev_draw, 0, "draw_self(); draw_sprite(sprite_index, -1, 0, 0)"}}));
    CInstance* i = Room().AddInstance(50, 60, object);
    i->i_spriteindex = s;
    i->i_imageindex = 1.7;
    Room_Draw(Room());
    EXPECT_EQ(Drawn(), "s.1 s.1");
    EXPECT_EQ(Points(0)[0], (std::pair<float, float>(47.5f, 58.5f)));

    device.draws.clear();
    EXPECT_EQ(Call(i, "sprite_get_texture", {double(s), -1}), Sprite_Get(s)->GetTexture(1));
    Call(i, "draw_sprite_stretched", {double(s), 0, 0, 0, 16, 8});
    Call(i, "draw_sprite_stretched", {double(s), 0, 0, 0, 0, 8}); // no width: nothing
    Call(i, "draw_sprite_part_ext", {double(s), 0, 0, 0, 4, 4, 0, 0, 1, 1, 255, 1});
    Call(i, "draw_sprite_general", {double(s), 1, 0, 0, 4, 4, 0, 0, 1, 1, 0, 255, 255, 255, 255, 1});
    Call(i, "draw_sprite_pos", {double(s), 0, 0, 0, 8, 0, 8, 4, 0, 4, 1});
    Room().r_width = 20;
    Call(i, "draw_sprite_tiled",
         {double(s), 0, 0, 0}); // 8 wide over 20: three columns, one row of 4 up to 480
    EXPECT_EQ(Drawn().substr(0, 23), "s.0 s.0 s.1 s.0 s.0 s.0");
    EXPECT_TRUE(errors().empty());

    EXPECT_EQ(Call(i, "sprite_get_texture", {99, 0}), 0);
    Call(i, "draw_sprite", {99, 0, 0, 0});
    Call(i, "draw_sprite_tiled_ext", {-1, 0, 0, 0, 1, 1, 0, 1});
    i->i_spriteindex = 99;
    Call(i, "draw_self", {});
    EXPECT_EQ(errors(), (std::vector<std::string>{"Trying to get texture from non-existing sprite.",
                                                  "Trying to draw non-existing sprite.",
                                                  "Trying to draw non-existing sprite.",
                                                  "Trying to draw non-existing sprite."}));
}

} // namespace
} // namespace kestrin
