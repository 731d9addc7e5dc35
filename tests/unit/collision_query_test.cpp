// The interaction built-ins on small scenes: probing places and points, searches, counting,
// distances, creating and destroying, activation and the movement routines.

#include <array>
#include <cmath>

#include "script/registry.h"
#include "tests/unit/collision_fixture.h"

namespace kestrin::testing {
namespace {

class Interaction : public CollisionTest {
protected:
    void SetUp() override {
        CollisionTest::SetUp();
        block_ = AddBlock(16, 16);
        ring_ = AddSprite({"####", "#..#", "#..#", "####"});
        wall_ = AddSpriteObject("wall", block_, true);
        mover_ = AddSpriteObject("mover", block_);
        child_ = AddSpriteObject("child", block_, false, {}, mover_);
        EmptyRoom(200, 100);
    }
    int32_t block_ = -1, ring_ = -1, wall_ = -1, mover_ = -1, child_ = -1;
};

TEST_F(Interaction, ProbingPlaces) {
    CInstance* me = Put(mover_, 0, 0);
    CInstance* wall = Put(wall_, 40, 0);
    CInstance* other = Put(child_, 30, 20);
    EXPECT_EQ(Value("place_free(10, 0)", me), 1);
    EXPECT_EQ(Value("place_free(25, 0)", me), 0);
    EXPECT_EQ(Value("place_free(24, 0)", me), 1) << "boxes 24..39 and 40..55 only touch";
    EXPECT_EQ(Value("place_empty(20, 10)", me), 0);
    EXPECT_EQ(Value("place_free(20, 10)", me), 1) << "the child is not solid";
    EXPECT_EQ(Value("place_meeting(20, 10, " + std::to_string(mover_) + ")", me), 1) << "descendants count";
    EXPECT_EQ(Value("place_meeting(0, 0, -1)", me), 0) << "never meets itself";
    EXPECT_EQ(Value("instance_place(30, 10, all)", me), wall->i_id) << "the first in room order";
    EXPECT_EQ(Value("instance_place(30, 10, " + std::to_string(child_) + ")", me), other->i_id);
    EXPECT_EQ(Value("instance_place(30, 10, " + std::to_string(wall->i_id) + ")", me), wall->i_id);
    EXPECT_EQ(Value("instance_place(100, 100, all)", me), -4);
    EXPECT_EQ(me->i_x, 0);
    EXPECT_EQ(me->i_bbox.right, 15) << "the probe puts the caller back";
    wall->i_marked = true;
    EXPECT_EQ(Value("place_free(30, 0)", me), 1) << "destroyed instances are skipped";
    EXPECT_EQ(Value("instance_place(30, 10, all)", me), other->i_id);
}

TEST_F(Interaction, ProbingPoints) {
    const int32_t ringObject = AddSpriteObject("ring", ring_);
    CInstance* me = Put(mover_, 0, 0);
    CInstance* ring = Put(ringObject, 100, 50);
    EXPECT_EQ(Value("position_empty(101.5, 51.5)"), 1) << "the hole of the ring";
    EXPECT_EQ(Value("position_empty(100, 50)"), 0);
    EXPECT_EQ(Value("instance_position(100, 53, all)"), ring->i_id);
    EXPECT_EQ(Value("position_meeting(5, 5, -1)", me), 1);
    EXPECT_EQ(Value("position_meeting(5, 5, " + std::to_string(ringObject) + ")", me), 0);
    EXPECT_EQ(Value("collision_point(101.5, 51.5, all, false, false)"), ring->i_id) << "box only";
    EXPECT_EQ(Value("collision_point(101.5, 51.5, all, true, false)"), -4);
    EXPECT_EQ(Value("collision_rectangle(0, 0, 200, 100, all, false, true)", me), ring->i_id)
        << "notme skips the caller";
    EXPECT_EQ(Value("collision_rectangle(0, 0, 200, 100, all, false, false)", me), me->i_id);
    EXPECT_EQ(Value("collision_rectangle(88, 38, 102, 52, all, false, false)"), ring->i_id);
    EXPECT_EQ(Value("collision_circle(95, 45, 7, all, false, false)"), -4)
        << "the same square, the corner outside";
    EXPECT_EQ(Value("collision_circle(95, 45, 8, all, false, false)"), ring->i_id);
    EXPECT_EQ(Value("collision_line(90, 60, 120, 40, all, true, false)"), ring->i_id);
    EXPECT_EQ(Value("collision_ellipse(98, 48, 110, 60, " + std::to_string(wall_) + ", false, false)"), -4);
}

TEST_F(Interaction, FindingAndCounting) {
    CInstance* a = Put(mover_, 10, 10);
    CInstance* b = Put(child_, 30, 10);
    CInstance* c = Put(mover_, 50, 10);
    CInstance* w = Put(wall_, 30, 30);
    const std::string mover = std::to_string(mover_);
    EXPECT_EQ(Value("instance_number(" + mover + ")"), 3);
    EXPECT_EQ(Value("instance_number(all)"), 4);
    EXPECT_EQ(Value("instance_find(" + mover + ", 1)"), b->i_id);
    EXPECT_EQ(Value("instance_find(" + mover + ", 3)"), -4);
    EXPECT_EQ(Value("instance_find(" + std::to_string(w->i_id) + ", 0)"), w->i_id);
    EXPECT_EQ(Value("instance_find(" + std::to_string(w->i_id) + ", 1)"), -4);
    // Ties keep the earlier instance; the furthest likewise.
    EXPECT_EQ(Value("instance_nearest(30, 10, " + mover + ")"), b->i_id);
    EXPECT_EQ(Value("instance_nearest(20, 10, " + mover + ")"), a->i_id);
    EXPECT_EQ(Value("instance_furthest(30, 10, " + mover + ")"), a->i_id);
    EXPECT_EQ(Value("instance_nearest(30, 10, " + std::to_string(a->i_id) + ")"), -4) << "ids find nothing";
    EXPECT_EQ(Value("instance_nearest(200000, 10, all)"), -4) << "beyond 10^5 pixels";
    b->i_marked = true;
    EXPECT_EQ(Value("instance_number(" + mover + ")"), 2);
    EXPECT_EQ(Value("instance_find(" + mover + ", 1)"), c->i_id);
    EXPECT_EQ(Value("instance_exists(" + std::to_string(b->i_id) + ")"), 0)
        << "id lookups skip the destroyed";
    EXPECT_EQ(Value("instance_exists(-1)", b), 0);
    EXPECT_EQ(Value("instance_exists(-1)", a), 1);
    EXPECT_EQ(Value("instance_exists(" + std::to_string(child_) + ")"), 0);
}

TEST_F(Interaction, Distances) {
    CInstance* me = Put(mover_, 0, 0); // box 0..15
    Put(wall_, 30, 35);                // box 30..45 x 35..50
    EXPECT_EQ(Value("distance_to_point(20, 0)", me), 5) << "from the box edge, not Right + 1";
    EXPECT_EQ(Value("distance_to_point(8, 8)", me), 0);
    EXPECT_EQ(Value("distance_to_object(" + std::to_string(wall_) + ")", me), 25);
    EXPECT_EQ(Value("distance_to_object(" + std::to_string(child_) + ")", me), 1000000) << "no instances";
    EXPECT_EQ(Value("distance_to_object(-1)", me), 1000000) << "the caller is no candidate";
}

TEST_F(Interaction, CreateCopyChangeKeepIds) {
    CInstance* me = Put(mover_, 5, 6);
    me->SetSpeed(3);
    const double copy = Value("instance_copy(false)", me);
    EXPECT_GT(copy, me->i_id);
    CInstance* c = AsInstance(World().Current()->FindInstance(static_cast<int32_t>(copy)));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->i_speed, 3);
    EXPECT_EQ(c->i_x, 5);
    const int32_t id = me->i_id;
    (void)Do("instance_change(" + std::to_string(wall_) + ", false)", me);
    EXPECT_TRUE(me->i_marked);
    CInstance* changed = AsInstance(World().Current()->FindInstance(id));
    ASSERT_NE(changed, nullptr);
    EXPECT_EQ(changed->i_objectindex, wall_);
    EXPECT_TRUE(changed->i_solid);
    EXPECT_EQ(Value("instance_create(1, 2, 99)"), -4);
    EXPECT_EQ(Take(), "error: Creating instance for non-existing object: 99");
    (void)Do("instance_sprite(55)", changed);
    EXPECT_EQ(Take(), "error: Setting instance to non-existing sprite: 55");
    EXPECT_EQ(Do("return Vantaro_GetDomain()"), "unknown");
    EXPECT_EQ(Value("Vantaro_GetPlatform()"), 0);
}

TEST_F(Interaction, DestroyEventsRunOncePerInstance) {
    const int32_t fragile = AddSpriteObject("fragile", block_, false,
                                            {{ev_destroy, 0,
                                              "show_debug_message(\"d\" + string(id)); instance_destroy(); "
                                              "instance_create(x, y, " +
                                                  std::to_string(mover_) + ")"}});
    CInstance* f1 = Put(fragile, 0, 0);
    CInstance* f2 = Put(fragile, 4, 4);
    (void)Do("instance_destroy(); instance_destroy()", f1);
    EXPECT_EQ(Take(), "d" + std::to_string(f1->i_id));
    // The mover made by the first destroy event lies under the point and goes; the one the
    // second destroy event makes there stays: the call counted the room before its events ran.
    (void)Do("position_destroy(6, 6)");
    EXPECT_EQ(Take(), "d" + std::to_string(f2->i_id));
    EXPECT_EQ(Value("instance_number(" + std::to_string(mover_) + ")"), 1);
}

TEST_F(Interaction, Activation) {
    CInstance* a = Put(mover_, 10, 10);
    CInstance* b = Put(wall_, 100, 10);
    CInstance* c = Put(child_, 180, 80);
    const int32_t none = AddSpriteObject("none", -1);
    CInstance* n = Put(none, 150, 50);
    (void)Do("instance_deactivate_region(0, 0, 120, 40, false, true)", a);
    EXPECT_TRUE(c->i_deactivated) << "outside the region";
    EXPECT_TRUE(n->i_deactivated) << "judged by its position";
    EXPECT_FALSE(b->i_deactivated);
    EXPECT_EQ(Value("instance_number(all)"), 2);
    (void)Do("instance_activate_object(" + std::to_string(mover_) + ")");
    EXPECT_FALSE(c->i_deactivated) << "descendants count";
    EXPECT_EQ(Value("instance_number(all)"), 3);
    (void)Do("instance_deactivate_all(true)", a);
    EXPECT_EQ(Value("instance_number(all)"), 1);
    (void)Do("instance_activate_region(90, 0, 20, 20, true)");
    EXPECT_EQ(Value("instance_number(all)"), 2);
    EXPECT_EQ(Value("instance_place(100, 10, all)", a), b->i_id);
    (void)Do("instance_deactivate_object(" + std::to_string(b->i_id) + ")");
    EXPECT_EQ(Value("instance_place(100, 10, all)", a), -4) << "deactivated instances are never found";
    (void)Do("instance_activate_all()");
    EXPECT_EQ(Value("instance_number(all)"), 4);
}

TEST_F(Interaction, CollisionEventsTestTheMasks) {
    const int32_t ringObject = AddSpriteObject(
        "ring", ring_, false, {{ev_collision, 4, "show_debug_message(\"hit \" + string(other.x))"}});
    const int32_t dot = AddSpriteObject("dot", AddBlock(1, 1));
    ASSERT_EQ(dot, 4);
    World().Clear();
    StartRoom({{ringObject, 10, 10}, {dot, 11, 11}, {dot, 13, 12}, {dot, 30, 30}});
    Log().clear();
    Loop().Step();
    EXPECT_EQ(Take(), "hit 13") << "the dot in the hole lies inside the box but off the mask";
}

TEST_F(Interaction, ContactAndOutside) {
    CInstance* me = Put(mover_, 0, 0);
    Put(wall_, 100, 0);
    (void)Do("move_contact_solid(0, 0)", me);
    EXPECT_EQ(me->i_x, 84) << "stops just before the wall";
    (void)Do("move_contact_solid(0, 10)", me);
    EXPECT_EQ(me->i_x, 84) << "in contact already";
    me->SetPosition(0, 30);
    (void)Do("move_contact_solid(0, 7)", me);
    EXPECT_EQ(me->i_x, 7) << "free line: maxdist steps";
    (void)Do("move_contact_solid(0, -1)", me);
    EXPECT_EQ(me->i_x, 1007) << "no maxdist: 1000 steps";
    me->SetPosition(90, 0);
    (void)Do("move_contact_solid(180, 0)", me);
    EXPECT_EQ(me->i_x, 90) << "overlapping a solid: nothing happens";
    (void)Do("move_outside_solid(180, 3)", me);
    EXPECT_EQ(me->i_x, 87) << "may end still in collision";
    (void)Do("move_outside_solid(180, -1)", me);
    EXPECT_EQ(me->i_x, 84);
    me->SetPosition(90, 0);
    (void)Do("move_contact(180)", me);
    EXPECT_EQ(me->i_x, 84) << "not free: moves outside";
}

TEST_F(Interaction, ContactWithHugeDistancesOrBadDirections) {
    CInstance* me = Put(mover_, 0, 0);
    Put(wall_, 100, 0);
    // Each of these would probe up to 1e15 steps one pixel at a time.
    (void)Do("move_contact_solid(0, 1000000000000000)", me);
    EXPECT_EQ(me->i_x, 84) << "a far maxdist still stops at the wall";
    (void)Do("move_contact_solid(180, 1000000000000000)", me);
    EXPECT_EQ(me->i_x, 84 - 1e15) << "nothing behind: the whole distance";
    me->SetPosition(0, 50);
    (void)Do("move_contact_all(90, 1000000000000000)", me);
    EXPECT_EQ(me->i_y, 50 - 1e15) << "away from every other box";
    me->SetPosition(0, 0);
    for (const char* name : {"move_contact_solid", "move_contact_all", "move_outside_all"})
        for (const double dir : {NAN, INFINITY}) {
            std::array<RValue, kMaxArguments> args{RValue(dir), RValue(50.0)};
            RValue result;
            FunctionRoutine(FindFunction(name))(me, me, 2, args.data(), result);
            EXPECT_EQ(me->i_x, 0) << name << " " << dir;
            EXPECT_EQ(me->i_y, 0) << name << " " << dir;
        }
}

TEST_F(Interaction, SimpleBounce) {
    // Walls around an outside corner: only the diagonal step is blocked.
    Put(wall_, 40, 40);
    CInstance* me = Put(mover_, 20, 20);
    me->SetHspeed(5);
    me->SetVspeed(5);
    (void)Do("move_bounce_solid(false)", me);
    EXPECT_EQ(me->i_hspeed, -5);
    EXPECT_EQ(me->i_vspeed, -5);
    // Against a vertical wall only the horizontal speed turns.
    CInstance* w = Put(wall_, 120, 0);
    w->SetPosition(120, 20);
    me->SetPosition(100, 20);
    me->SetHspeed(5);
    me->SetVspeed(2);
    (void)Do("move_bounce_solid(false)", me);
    EXPECT_EQ(me->i_hspeed, -5);
    EXPECT_EQ(me->i_vspeed, 2);
}

TEST_F(Interaction, AdvancedBounceTurnsFromAWall) {
    CInstance* wall = Put(wall_, 120, 0);
    wall->SetImageScaleY(6); // 120..135 x 0..95
    CInstance* me = Put(mover_, 100, 40);
    me->SetDirection(0);
    me->SetSpeed(6);
    (void)Do("move_bounce_solid(true)", me);
    EXPECT_EQ(me->i_direction, 180);
    // Inside a wall the instance goes back to where it was at the step's start first.
    me->i_xprevious = 80;
    me->i_yprevious = 40;
    me->SetPosition(110, 40);
    me->SetDirection(0);
    (void)Do("move_bounce_all(true)", me);
    EXPECT_EQ(me->i_x, 80);
    EXPECT_EQ(me->i_direction, 180);
}

TEST_F(Interaction, PlacementRoutines) {
    CInstance* me = Put(mover_, 13, 27);
    (void)Do("move_snap(10, 0)", me);
    EXPECT_EQ(me->i_x, 10);
    EXPECT_EQ(me->i_y, 27);
    EXPECT_EQ(Value("place_snapped(10, 5)", me), 0);
    EXPECT_EQ(Value("place_snapped(10, 0)", me), 1);
    me->SetPosition(-20, 150);
    (void)Do("move_wrap(true, true, 10)", me);
    EXPECT_EQ(me->i_x, 200);
    EXPECT_EQ(me->i_y, 30);
    (void)Do("move_towards_point(x + 3, y - 4, 10)", me);
    EXPECT_DOUBLE_EQ(me->i_hspeed, 6);
    EXPECT_DOUBLE_EQ(me->i_vspeed, -8);
    (void)Do("motion_set(90, 2)", me);
    EXPECT_EQ(me->i_hspeed, 0);
    EXPECT_EQ(me->i_vspeed, -2);
    (void)Do("motion_add(0, 2)", me);
    EXPECT_EQ(me->i_direction, 45);
}

TEST_F(Interaction, MoveRandomStaysInTheRoom) {
    const int32_t huge = AddSpriteObject("huge", AddBlock(300, 20, 0, 0)); // wider than the room
    CInstance* big = Put(huge, 0, 0);
    CInstance* me = Put(mover_, 0, 0);
    for (int i = 0; i < 50; ++i) {
        (void)Do("move_random(1, 1)", big);
        EXPECT_GE(big->i_x, 0);
        EXPECT_LT(big->i_x, 200);
        EXPECT_GE(big->i_y, 0);
        EXPECT_LT(big->i_y, 100 - 19);
        (void)Do("move_random(8, 0)", me);
        EXPECT_GE(me->i_bbox.left, 0);
        EXPECT_LE(me->i_bbox.right, 199);
        EXPECT_LE(me->i_bbox.bottom, 99);
        EXPECT_EQ(static_cast<int>(me->i_x) % 8, 0);
    }
}

} // namespace
} // namespace kestrin::testing
