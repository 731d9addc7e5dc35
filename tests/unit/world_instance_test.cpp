// Instances: the values a new instance takes, the coupled motion setters with their snap to
// integers, friction and gravity, alarms, copying and the bounding box hook.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "runner/instance.h"
#include "tests/unit/world_fixture.h"

namespace kestrin {
namespace {

class InstanceTest : public testing::WorldTest {};

TEST_F(InstanceTest, MotionSettersKeepBothFormsCoupled) {
    struct Case {
        const char* what;
        void (*change)(CInstance&);
        double speed, direction, hspeed, vspeed;
    } cases[] = {
        {"hspeed 3, vspeed -4",
         [](CInstance& i) {
             i.SetHspeed(3);
             i.SetVspeed(-4);
         },
         5, 53.13010235415598, 3, -4},
        {"direction -90", [](CInstance& i) { i.SetDirection(-90); }, 0, 270, 0, 0},
        {"direction 450", [](CInstance& i) { i.SetDirection(450); }, 0, 90, 0, 0},
        {"speed 2 at 90",
         [](CInstance& i) {
             i.SetDirection(90);
             i.SetSpeed(2);
         },
         2, 90, 0, -2},
        {"speed 2 at 180",
         [](CInstance& i) {
             i.SetDirection(180);
             i.SetSpeed(2);
         },
         2, 180, -2, 0},
        {"negative speed",
         [](CInstance& i) {
             i.SetDirection(0);
             i.SetSpeed(-3);
         },
         -3, 0, -3, 0},
        {"vspeed 2 then 0",
         [](CInstance& i) {
             i.SetVspeed(2);
             i.SetVspeed(0);
         },
         0, 0, 0, 0},
        {"vspeed 2", [](CInstance& i) { i.SetVspeed(2); }, 2, 270, 0, 2},
        {"hspeed -1", [](CInstance& i) { i.SetHspeed(-1); }, 1, 180, -1, 0},
        {"speed 10 at 45",
         [](CInstance& i) {
             i.SetDirection(45);
             i.SetSpeed(10);
         },
         10, 45, 7.0710678118654755, -7.0710678118654746},
        // Near-integers snap; the speed recomputed from components is never negative.
        {"hspeed 3.00005", [](CInstance& i) { i.SetHspeed(3.00005); }, 3, 0, 3.00005, 0},
        {"add to speed",
         [](CInstance& i) {
             i.AddTo_Speed(90, 1);
             i.AddTo_Speed(0, 1);
         },
         1.4142135623730951, 45, 1, -1},
    };
    for (const Case& c : cases) {
        CInstance i;
        c.change(i);
        EXPECT_DOUBLE_EQ(i.i_speed, c.speed) << c.what;
        EXPECT_DOUBLE_EQ(i.i_direction, c.direction) << c.what;
        EXPECT_EQ(i.i_hspeed, c.hspeed) << c.what;
        EXPECT_EQ(i.i_vspeed, c.vspeed) << c.what;
    }
    EXPECT_EQ(SnapToInteger(2.99995), 3);
    EXPECT_EQ(SnapToInteger(2.5), 2.5);
    EXPECT_EQ(SnapToInteger(-0.00001), 0);
}

// The zero-speed shortcut against the formula, bit for bit (the signs of the zeros included),
// near every direction where cosine or sine changes sign and at random.
TEST(SpeedComponentsTest, ShortcutEqualsTheFormula) {
    std::vector<double> directions = {0, -0.0, 1, 89, 90, 91, 179, 180, 181, 269, 270, 271, 359, 360, 400, -30,
                                      std::nan(""), INFINITY, -INFINITY, 1e-300, 359.99999999999994};
    for (double edge : {0.0, 1.0, 89.0, 90.0, 91.0, 179.0, 180.0, 181.0, 269.0, 270.0, 271.0, 359.0, 360.0}) {
        double below = edge, above = edge;
        for (int k = 0; k < 4; ++k) {
            below = std::nextafter(below, -1e9);
            above = std::nextafter(above, 1e9);
            directions.push_back(below);
            directions.push_back(above);
        }
    }
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> any(0, 360);
    for (int k = 0; k < 20000; ++k) directions.push_back(any(rng));
    auto bits = [](double v) {
        uint64_t b;
        std::memcpy(&b, &v, sizeof b);
        return b;
    };
    for (double d : directions)
        for (double speed : {0.0, -0.0, 2.5}) {
            double h1, v1, h2, v2;
            SpeedComponents(d, speed, h1, v1);
            SpeedComponentsByTrig(d, speed, h2, v2);
            ASSERT_EQ(bits(h1), bits(h2)) << d << " " << speed;
            ASSERT_EQ(bits(v1), bits(v2)) << d << " " << speed;
        }
}

// Setting both components at once leaves the instance exactly as the two setters in turn.
TEST_F(InstanceTest, BothComponentsAtOnceEqualTheTwoSetters) {
    std::mt19937 rng(9);
    const double values[] = {0, -0.0, 1, -1, 0.5, 3, -4, 1e-9};
    for (int k = 0; k < 2000; ++k) {
        CInstance a, b;
        const double h0 = values[rng() % 8], v0 = values[rng() % 8];
        for (CInstance* i : {&a, &b}) {
            i->SetHspeed(h0);
            i->SetVspeed(v0);
            if (k % 3 == 0) i->SetSpeed(0);
        }
        const double h = values[rng() % 8], v = values[rng() % 8];
        a.SetHspeed(h);
        a.SetVspeed(v);
        b.SetSpeedComponents(h, v);
        ASSERT_EQ(std::signbit(a.i_hspeed), std::signbit(b.i_hspeed));
        ASSERT_EQ(std::signbit(a.i_vspeed), std::signbit(b.i_vspeed));
        ASSERT_EQ(a.i_hspeed, b.i_hspeed);
        ASSERT_EQ(a.i_vspeed, b.i_vspeed);
        ASSERT_EQ(a.i_speed, b.i_speed);
        ASSERT_EQ(a.i_direction, b.i_direction);
    }
}

TEST_F(InstanceTest, FrictionStopsAndGravityPulls) {
    struct Case {
        double speed, friction, want;
    } cases[] = {
        {0.3, 0.5, 0}, {-0.3, 0.5, 0}, {3, 0.5, 2.5}, {-3, 0.5, -2.5}, {0, 0.5, 0}, {2, -0.5, 2.5},
    };
    for (const Case& c : cases) {
        CInstance i;
        i.SetDirection(0);
        i.SetSpeed(c.speed);
        i.i_friction = c.friction;
        i.Adapt_Speed();
        EXPECT_DOUBLE_EQ(i.i_speed, c.want) << c.speed << " " << c.friction;
    }
    CInstance falling;
    falling.i_gravity = 0.5;
    for (int step = 0; step < 4; ++step) falling.Adapt_Speed();
    EXPECT_EQ(falling.i_vspeed, 2);
    EXPECT_NEAR(falling.i_hspeed, 0, 1e-12); // the components themselves are not snapped
    EXPECT_EQ(falling.i_direction, 270);
    EXPECT_EQ(falling.i_speed, 2);
}

TEST_F(InstanceTest, AlarmsCountDownAndFireAtZero) {
    CInstance i;
    // Alarm 0 set to 1 fires at the next step; alarm 1 set to 0 never fires and goes off.
    i.SetAlarm(0, 1);
    i.SetAlarm(1, 0);
    i.SetAlarm(2, 3);
    std::string fired;
    for (int step = 1; step <= 4; ++step)
        for (int32_t a = 0; a < 3; ++a)
            if (i.TickAlarm(a)) fired += std::to_string(step) + ":" + std::to_string(a) + " ";
    EXPECT_EQ(fired, "1:0 3:2 ");
    EXPECT_EQ(i.GetAlarm(0), -1);
    EXPECT_EQ(i.GetAlarm(1), -1);
    EXPECT_EQ(i.GetAlarm(2), -1);
    i.SetAlarm(12, 5);
    i.SetAlarm(-1, 5);
    EXPECT_EQ(i.GetAlarm(12), -1);
    EXPECT_EQ(i.GetAlarm(-1), -1);
    EXPECT_FALSE(i.TickAlarm(12));
}

int gBoxes = 0;

TEST_F(InstanceTest, NewInstancesTakeTheirObjectAndCopiesKeepTheirPathOrigin) {
    ObjectRecord o;
    o.spriteindex = 3;
    o.mask = 5;
    o.depth = -10;
    o.solid = true;
    o.visible = false;
    o.persistent = true;
    const int32_t index = AddObject("ball", o);
    gBoxes = 0;
    SetInstanceSpriteHooks({[](int32_t sprite) { return sprite == 3 ? 4 : 0; },
                            [](const CInstance& i, RBox& box) {
                                ++gBoxes;
                                box = {static_cast<int32_t>(i.i_x), static_cast<int32_t>(i.i_y), 0, 0};
                                return i.i_spriteindex >= 0;
                            }});
    CInstance i;
    i.Create(10, 20, 100005, index);
    EXPECT_EQ(i.i_spriteindex, 3);
    EXPECT_EQ(i.i_maskindex, 5);
    EXPECT_EQ(i.i_depth, -10);
    EXPECT_TRUE(i.i_solid);
    EXPECT_FALSE(i.i_visible);
    EXPECT_TRUE(i.i_persistent);
    EXPECT_EQ(i.Object(), Objects().Get(index));
    EXPECT_EQ(i.i_xstart, 10);
    EXPECT_EQ(i.i_yprevious, 20);
    EXPECT_EQ(i.i_gravitydir, 270);
    EXPECT_EQ(i.i_imageblend, 0xFFFFFFu);
    EXPECT_EQ(i.i_bbox.left, 10);

    // The same position does not recompute the box.
    const int before = gBoxes;
    i.SetPosition(10, 20);
    EXPECT_EQ(gBoxes, before);
    i.SetPosition(11, 20);
    EXPECT_EQ(gBoxes, before + 1);
    EXPECT_EQ(i.i_bbox.left, 11);

    // An image index past the new sprite's images starts over.
    i.i_imageindex = 3.5;
    i.SetSpriteIndex(3);
    EXPECT_EQ(i.i_imageindex, 3.5);
    i.SetSpriteIndex(-1);
    EXPECT_EQ(i.i_imageindex, 0);
    EXPECT_EQ(i.i_bbox.left, -100000); // no sprite, no box

    (void)i.i_vars.SetVar(VariableIndex("score_x"), 0, RValue(7.0));
    i.i_pathxstart = 50;
    i.i_timer[3] = 9;
    CInstance copy;
    copy.i_pathxstart = 1;
    copy.Assign(i);
    EXPECT_EQ(copy.i_id, 100005);
    EXPECT_EQ(copy.i_x, 11);
    EXPECT_EQ(copy.i_timer[3], 9);
    EXPECT_EQ(copy.i_pathxstart, 1);
    (void)i.i_vars.SetVar(VariableIndex("score_x"), 0, RValue(8.0));
    RValue v;
    ASSERT_TRUE(copy.i_vars.GetVar(VariableIndex("score_x"), 0, v));
    EXPECT_EQ(v.val(), 7); // a deep copy

    // Changing the object index takes the new object's properties.
    ObjectRecord plain;
    const int32_t other = AddObject("plain", plain);
    copy.SetObjectIndex(other);
    EXPECT_EQ(copy.i_spriteindex, -1);
    EXPECT_EQ(copy.i_depth, 0);
    EXPECT_TRUE(copy.i_visible);
    // A missing object keeps the properties as they were.
    copy.SetObjectIndex(77);
    EXPECT_EQ(copy.Object(), nullptr);
    EXPECT_TRUE(copy.i_visible);
    SetInstanceSpriteHooks({});
}

TEST_F(InstanceTest, PathPositionsAreClamped) {
    CInstance i;
    i.SetPathPosition(1.5);
    EXPECT_EQ(i.i_pathposition, 1);
    i.SetPathPositionPrevious(-2);
    EXPECT_EQ(i.i_pathpositionprevious, 0);
    i.SetPathPosition(std::nan(""));
    EXPECT_FALSE(std::isnan(i.i_pathposition));
}

} // namespace
} // namespace kestrin
