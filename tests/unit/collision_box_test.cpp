// Instance boxes from the mask sprite, and the shape tests of one instance.

#include <cmath>
#include <limits>

#include "tests/unit/collision_fixture.h"

namespace kestrin::testing {
namespace {

using CollisionBox = CollisionTest;

struct BoxCase {
    const char* name;
    int32_t w, h, xo, yo;
    double x, y, sx, sy, angle;
    RBox box;
};

TEST_F(CollisionBox, BoxFollowsPositionOriginScaleAndAngle) {
    const BoxCase cases[] = {
        {"halves round to even on the left", 32, 32, 0, 0, 10.5, 0, 1, 1, 0, {10, 0, 42, 31}},
        {"and on the right", 32, 32, 0, 0, 11.5, 0, 1, 1, 0, {12, 0, 42, 31}},
        {"origin and scale", 32, 32, 16, 16, 50, 50, 2, 0.5, 0, {18, 42, 81, 57}},
        {"negative scale swaps after rounding", 32, 32, 0, 0, 100, 20, -1, 1, 0, {67, 20, 100, 51}},
        {"negative vertical scale", 8, 8, 0, 0, 0, 10, 1, -2, 0, {0, -7, 7, 10}},
        {"quarter turn", 32, 32, 0, 0, 100, 100, 1, 1, 90, {100, 69, 131, 100}},
        {"eighth turn", 32, 32, 0, 0, 100, 100, 1, 1, 45, {100, 78, 144, 122}},
        {"half turn about the centre", 10, 10, 5, 5, 0, 0, 1, 1, 180, {-4, -4, 5, 5}},
    };
    EmptyRoom();
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(c.name);
        const int32_t object = AddSpriteObject(c.name, AddBlock(c.w, c.h, c.xo, c.yo));
        CInstance* i = Put(object, c.x, c.y);
        i->SetImageScaleX(c.sx);
        i->SetImageScaleY(c.sy);
        i->SetImageAngle(c.angle);
        EXPECT_EQ(i->i_bbox.left, c.box.left);
        EXPECT_EQ(i->i_bbox.top, c.box.top);
        EXPECT_EQ(i->i_bbox.right, c.box.right);
        EXPECT_EQ(i->i_bbox.bottom, c.box.bottom);
    }
}

TEST_F(CollisionBox, MaskSpriteChoosesTheBox) {
    const int32_t big = AddBlock(32, 32), small = AddBlock(4, 4);
    const int32_t blank = AddSprite({"....", "....", "...."});
    const int32_t object = AddSpriteObject("o", big);
    EmptyRoom();
    CInstance* i = Put(object, 10, 10);
    EXPECT_EQ(i->i_bbox.right, 41);
    i->SetMaskIndex(small);
    EXPECT_EQ(i->i_bbox.right, 13) << "the mask sprite gives the box";
    i->SetMaskIndex(77);
    EXPECT_EQ(i->i_bbox.left, -100000) << "a mask index naming no sprite leaves no box";
    EXPECT_EQ(i->i_bbox.bottom, -100000);
    i->SetMaskIndex(-1);
    i->SetSpriteIndex(-1);
    EXPECT_EQ(i->i_bbox.right, -100000) << "no sprite, no box";
    i->SetSpriteIndex(blank);
    // A sprite without opaque pixels keeps an inverted box (3, 2, 0, 0); the instance's box is
    // turned the right way round.
    EXPECT_EQ(i->i_bbox.left, 10);
    EXPECT_EQ(i->i_bbox.right, 13);
    EXPECT_EQ(i->i_bbox.top, 10);
    EXPECT_EQ(i->i_bbox.bottom, 12);
}

TEST_F(CollisionBox, ImageIndexDoesNotMoveTheBoxButPositionDoes) {
    const int32_t object = AddSpriteObject("o", AddBlock(8, 8));
    EmptyRoom();
    CInstance* i = Put(object, 0, 0);
    i->i_imageindex = 3;
    EXPECT_EQ(i->i_bbox.right, 7);
    i->SetPosition(2, 0);
    EXPECT_EQ(i->i_bbox.right, 9);
}

// A 4 x 4 ring: the centre pixels are holes.
const std::vector<std::string> kRing = {"####", "#..#", "#..#", "####"};

TEST_F(CollisionBox, PointTestEdgesAndPrecision) {
    const int32_t object = AddSpriteObject("o", AddSprite(kRing));
    EmptyRoom();
    CInstance* i = Put(object, 10, 20); // box 10..13 x 20..23
    struct Case {
        double x, y;
        bool prec, hit;
    };
    const Case cases[] = {
        {13.99, 20, false, true},
        {14, 20, false, false},
        {10, 19.99, false, false},
        {9.99, 21, false, false},
        {11.5, 21.5, false, true},
        {11.5, 21.5, true, false},
        {10.2, 21.2, true, true},
        {13.4, 23.4, true, true},
        // The mask is read at the rounded point, which here lies past the last column.
        {13.99, 23.99, true, false},
        {std::nan(""), 21, false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Collision_Point(*i, c.x, c.y, c.prec), c.hit) << c.x << "," << c.y << " prec " << c.prec;
    i->i_marked = true;
    EXPECT_FALSE(Collision_Point(*i, 10, 20, false)) << "a marked instance meets nothing";
}

TEST_F(CollisionBox, ShapeTestsRejectByBoxThenMask) {
    const int32_t object = AddSpriteObject("o", AddSprite(kRing));
    EmptyRoom();
    CInstance* i = Put(object, 0, 0); // box 0..3 x 0..3, hole 1..2 x 1..2
    // Rectangles in any corner order; a side at Right+1 misses.
    EXPECT_TRUE(Collision_Rectangle(*i, 3.5, 3.5, -5, -5, false));
    EXPECT_FALSE(Collision_Rectangle(*i, 4, 0, 9, 3, false));
    EXPECT_TRUE(Collision_Rectangle(*i, 3.99, 0, 9, 3, false));
    EXPECT_FALSE(Collision_Rectangle(*i, 1, 1, 2, 2, true)) << "inside the hole";
    EXPECT_TRUE(Collision_Rectangle(*i, 1, 1, 2, 2, false));

    // An ellipse whose centre lies diagonally off the box meets it only around a corner.
    EXPECT_TRUE(Collision_Rectangle(*i, 3, 3, 20, 20, false));
    EXPECT_FALSE(Collision_Ellipse(*i, 3, 3, 20, 20, false));
    EXPECT_TRUE(Collision_Ellipse(*i, -2, -2, 5, 5, false));
    EXPECT_TRUE(Collision_Ellipse(*i, 1, -10, 1, 10, false)) << "a flat ellipse is a rectangle";
    EXPECT_FALSE(Collision_Ellipse(*i, 1.2, 1.2, 2.4, 2.4, true)) << "inside the hole";

    // Lines are cut to the box's columns first.
    EXPECT_TRUE(Collision_Line(*i, -10, 10, 10, -10, false));
    EXPECT_FALSE(Collision_Line(*i, -10, 4, 20, 6, false)) << "below the box all along";
    EXPECT_FALSE(Collision_Line(*i, -10, -1, 20, -0.5, false)) << "above the box all along";
    EXPECT_TRUE(Collision_Line(*i, 1, -5, 1, 9, true)) << "vertical line through the ring";
    EXPECT_FALSE(Collision_Line(*i, 1.4, 1.4, 2.4, 2.4, true)) << "inside the hole";
    EXPECT_FALSE(Collision_Line(*i, 4, -5, 9, 9, false));
}

TEST_F(CollisionBox, InstanceTest) {
    const int32_t ring = AddSpriteObject("ring", AddSprite(kRing));
    const int32_t dot = AddSpriteObject("dot", AddBlock(1, 1));
    const int32_t none = AddSpriteObject("none", -1);
    EmptyRoom();
    CInstance* r = Put(ring, 0, 0);
    CInstance* d = Put(dot, 1, 1);
    CInstance* n = Put(none, 1, 1);
    EXPECT_TRUE(Collision_Instance(*r, *d, false));
    EXPECT_FALSE(Collision_Instance(*r, *d, true)) << "the dot sits in the hole";
    d->SetPosition(0, 1);
    EXPECT_TRUE(Collision_Instance(*r, *d, true));
    EXPECT_TRUE(Collision_Instance(*d, *r, true));
    EXPECT_FALSE(Collision_Instance(*r, *r, false)) << "never with itself";
    d->SetPosition(4, 0);
    EXPECT_FALSE(Collision_Instance(*r, *d, false)) << "boxes side by side do not overlap";
    EXPECT_FALSE(Collision_Instance(*r, *n, false)) << "no sprite, no box";
    d->SetPosition(0, 0);
    d->i_marked = true;
    EXPECT_FALSE(Collision_Instance(*r, *d, false));
}

TEST_F(CollisionBox, HostileValuesStayDefined) {
    const int32_t object = AddSpriteObject("o", AddBlock(4, 4));
    EmptyRoom();
    CInstance* i = Put(object, 0, 0);
    const double inf = std::numeric_limits<double>::infinity();
    for (double v : {inf, -inf, std::nan(""), 1e300, -1e300}) {
        i->SetImageScaleX(v);
        i->SetImageAngle(v);
        i->i_imageindex = v;
        (void)Collision_Point(*i, 0, 0, true);
        (void)Collision_Line(*i, v, 0, 3, v, true);
        (void)Collision_Ellipse(*i, v, v, 3, 3, true);
        i->SetPosition(v, v);
        i->SetImageScaleX(1);
        i->SetImageAngle(0);
        i->SetPosition(0, 0);
    }
    EXPECT_TRUE(Collision_Point(*i, 1, 1, true));
}

TEST_F(CollisionBox, InstancesOfStoredRoomsTakeTheirBoxesOnEntry) {
    const int32_t object = AddSpriteObject("o", AddBlock(8, 6));
    // Game data is read before the collision geometry is installed.
    SetInstanceSpriteHooks({});
    RoomRecord r;
    RoomRecord::Instance placed;
    placed.object = object;
    placed.x = 10;
    placed.y = 20;
    placed.id = 100001;
    r.instances.push_back(placed);
    auto room = std::make_unique<CRoom>();
    room->Assign(r);
    World().RoomOrder().push_back(World().AddRoom("room", std::move(room)));
    ComposeGame();
    World().StartGame();
    ASSERT_NE(Nth(0), nullptr);
    const RBox& b = Nth(0)->i_bbox;
    EXPECT_EQ(b.left, 10);
    EXPECT_EQ(b.top, 20);
    EXPECT_EQ(b.right, 17);
    EXPECT_EQ(b.bottom, 25);
}

} // namespace
} // namespace kestrin::testing
