// Linear and potential planning on small scenes: steps against solid and other obstacles,
// the paths they record with the instance put back, the potential settings, the turn limit,
// turning on the spot, and the loops that could run for ever ending with 0.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "tests/unit/mp_fixture.h"
#include "world/mp_step.h"

namespace kestrin::testing {
namespace {

class MpStep : public MpTest {
protected:
    void SetUp() override {
        MpTest::SetUp();
        mover_ = AddSpriteObject("mover", AddBlock(8, 8));
        wall_ = AddSpriteObject("wall", AddBlock(16, 16), true);
        post_ = AddSpriteObject("post", AddBlock(16, 16), false);
        EmptyRoom(640, 480);
    }
    // The mover at (x, y) facing `direction`.
    CInstance* Mover(double x, double y, double direction = 0) {
        CInstance* me = Put(mover_, x, y);
        me->SetDirection(direction);
        return me;
    }
    int32_t mover_ = -1, wall_ = -1, post_ = -1;
};

TEST_F(MpStep, LinearSteps) {
    Put(wall_, 40, 0);
    Put(post_, 0, 40);
    struct Case {
        const char* what;
        double x, y; // the mover's start
        std::string call;
        double result, ex, ey, direction;
    };
    const std::string post = std::to_string(post_), wall = std::to_string(wall_);
    const Case cases[] = {
        {"a step right", 0, 200, "mp_linear_step(100, 200, 10, 0)", 0, 10, 200, 0},
        {"a step down", 100, 200, "mp_linear_step(100, 300, 10, 0)", 0, 100, 210, 270},
        {"a step up and left", 100, 200, "mp_linear_step(70, 160, 10, 0)", 0, 94, 192,
         MpDirection(0, 0, -3, -4)},
        {"on the goal", 50, 200, "mp_linear_step(50, 200, 10, 1)", 1, 50, 200, 45},
        {"the goal within the step", 0, 200, "mp_linear_step(5, 200, 10, 0)", 1, 5, 200, 0},
        {"a blocked goal within the step", 20, 0, "mp_linear_step(35, 0, 20, 0)", 1, 20, 0, 45},
        {"a blocked step", 20, 0, "mp_linear_step(100, 0, 15, 0)", 0, 20, 0, 45},
        {"a step that only touches", 20, 0, "mp_linear_step(100, 0, 12, 0)", 0, 32, 0, 0},
        {"a step onto a non-solid instance", 0, 20, "mp_linear_step(0, 100, 15, 0)", 0, 0, 35, 270},
        {"checkall", 0, 20, "mp_linear_step(0, 100, 15, 1)", 0, 0, 20, 45},
        {"obj: the post", 0, 20, "mp_linear_step_object(0, 100, 15, " + post + ")", 0, 0, 20, 45},
        {"obj: the wall", 0, 20, "mp_linear_step_object(0, 100, 15, " + wall + ")", 0, 0, 35, 270},
        {"obj: all", 0, 20, "mp_linear_step_object(0, 100, 15, all)", 0, 0, 20, 45},
        {"obj: self", 0, 20, "mp_linear_step_object(0, 100, 15, self)", 0, 0, 35, 270},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CInstance* me = Mover(c.x, c.y, 45);
        EXPECT_EQ(Value(c.call, me), c.result);
        EXPECT_NEAR(me->i_x, c.ex, 1e-9);
        EXPECT_NEAR(me->i_y, c.ey, 1e-9);
        EXPECT_NEAR(me->i_direction, c.direction, 1e-9);
        me->i_marked = true; // out of the way of the next case
    }
}

TEST_F(MpStep, LinearPaths) {
    Put(wall_, 40, 0);
    const int32_t path = NewPath({{1, 1}, {2, 2}});
    const std::string p = std::to_string(path);
    const CPath& route = *Path_Get(path);

    CInstance* me = Mover(0, 100, 123);
    EXPECT_EQ(Value("mp_linear_path(" + p + ", 50, 100, 10, 0)", me), 1);
    EXPECT_EQ(PointsOf(route), (Points{{0, 100}, {10, 100}, {20, 100}, {30, 100}, {40, 100}, {50, 100}}));
    EXPECT_EQ(route.Kind(), kPathKindStraight);
    EXPECT_FALSE(route.Closed());
    for (const RWayPoint& w : route.Points()) EXPECT_EQ(w.speed, 100);
    EXPECT_EQ(me->i_x, 0);
    EXPECT_EQ(me->i_y, 100);
    EXPECT_EQ(me->i_direction, 123) << "put back where it stood, facing as it did";
    EXPECT_EQ(me->i_bbox.left, 0);

    // On the goal: two points, both the goal.
    EXPECT_EQ(Value("mp_linear_path(" + p + ", 0, 100, 10, 0)", me), 1);
    EXPECT_EQ(PointsOf(route), (Points{{0, 100}, {0, 100}}));

    // Stopped in front of the wall.
    me->SetPosition(0, 0);
    EXPECT_EQ(Value("mp_linear_path(" + p + ", 100, 0, 10, 0)", me), 0);
    EXPECT_EQ(PointsOf(route), (Points{{0, 0}, {10, 0}, {20, 0}, {30, 0}}));
    EXPECT_EQ(Value("mp_linear_path_object(" + p + ", 100, 0, 10, " + std::to_string(post_) + ")", me), 1);
    EXPECT_EQ(route.Count(), 11);

    // A step of 0 or less changes nothing.
    for (const char* step : {"0", "-5"}) {
        EXPECT_EQ(Value("mp_linear_path(" + p + ", 100, 0, " + step + ", 0)", me), 0);
        EXPECT_EQ(route.Count(), 11);
    }
    // The path argument must be a path.
    EXPECT_EQ(Value("mp_linear_path(99, 100, 0, 10, 0)", me), 0);
    EXPECT_EQ(Value("mp_linear_path_object(-1, 100, 0, 10, all)", me), 0);
    EXPECT_EQ(errors(), (std::vector<std::string>(2, "Trying to assign to a non-existing path.")));
}

TEST_F(MpStep, LinearPathsWithTinyStepsEnd) {
    const int32_t path = NewPath();
    const std::string p = std::to_string(path);
    // Far from the origin a tiny step does not change the position at all.
    CInstance* me = Mover(1e9, 0);
    EXPECT_EQ(Value("mp_linear_path(" + p + ", 1000000100, 0, 0.000000001, 0)", me), 0);
    EXPECT_EQ(Path_Get(path)->Count(), 1);
    // Near it the step moves, but would need a million steps: the route gives up.
    me->SetPosition(0, 200);
    EXPECT_EQ(Value("mp_linear_path(" + p + ", 1000, 200, 0.001, 0)", me), 0);
    EXPECT_EQ(Path_Get(path)->Count(), kMpMaxPathSteps + 1);
    EXPECT_EQ(me->i_x, 0);
    // A step that arrives within the limit still does.
    EXPECT_EQ(Value("mp_linear_path(" + p + ", 50, 200, 0.001, 0)", me), 1);
    EXPECT_NEAR(Path_Get(path)->Count(), 50001, 2);
}

TEST_F(MpStep, PotentialStepTurnsAtMostMaxrot) {
    // Facing right with the goal straight above: 90 down to 40 exceed the 30-degree limit,
    // so the first direction allowed is 30.
    CInstance* me = Mover(100, 100, 0);
    EXPECT_EQ(Value("mp_potential_step(100, 0, 5, 0)", me), 0);
    EXPECT_NEAR(me->i_x, 100 + 5 * std::cos(std::numbers::pi / 6), 1e-9);
    EXPECT_NEAR(me->i_y, 97.5, 1e-9);
    EXPECT_EQ(me->i_direction, 30);
    // Step by step it turns towards the goal and gets there.
    int32_t steps = 1;
    while (Value("mp_potential_step(100, 0, 5, 0)", me) == 0 && steps < 100) ++steps;
    EXPECT_LT(steps, 30);
    EXPECT_EQ(me->i_x, 100);
    EXPECT_EQ(me->i_y, 0);

    // The goal within one step: taken when free, 1 either way.
    Put(wall_, 300, 300);
    me->SetPosition(280, 300);
    EXPECT_EQ(Value("mp_potential_step(295, 300, 20, 0)", me), 1);
    EXPECT_EQ(me->i_x, 280);
    EXPECT_EQ(Value("mp_potential_step(275, 300, 10, 0)", me), 1);
    EXPECT_EQ(me->i_x, 275);
    EXPECT_EQ(me->i_direction, 180);
}

TEST_F(MpStep, PotentialStepAvoidsAndTurnsOnTheSpot) {
    Put(wall_, 16, 96);
    CInstance* me = Mover(0, 100, 0);
    // Straight on, the look-ahead meets the wall; turned by 30 it still does: no direction
    // within the limit works, so it turns on the spot.
    EXPECT_EQ(Value("mp_potential_step(200, 100, 4, 0)", me), 0);
    EXPECT_EQ(me->i_x, 0);
    EXPECT_EQ(me->i_direction, 30);
    // Facing 30 now, directions up to 60 are allowed and one clears the wall.
    EXPECT_EQ(Value("mp_potential_step(200, 100, 4, 0)", me), 0);
    EXPECT_NE(me->i_x, 0);
    EXPECT_GT(me->i_direction, 30);
    EXPECT_LE(me->i_direction, 60);
    // Without onspot nothing changes.
    me->SetPosition(0, 100);
    me->SetDirection(0);
    Do("mp_potential_settings(30, 10, 3, 0)", me);
    EXPECT_EQ(Value("mp_potential_step(200, 100, 4, 0)", me), 0);
    EXPECT_EQ(me->i_x, 0);
    EXPECT_EQ(me->i_direction, 0);
    // A non-solid post blocks only for checkall or as the obj.
    Put(post_, 100, 300);
    me->SetPosition(84, 304);
    EXPECT_EQ(Value("mp_potential_step(200, 304, 4, 0)", me), 0);
    EXPECT_EQ(me->i_x, 88);
    me->SetPosition(84, 304);
    EXPECT_EQ(Value("mp_potential_step(200, 304, 4, 1)", me), 0);
    EXPECT_EQ(me->i_x, 84);
    EXPECT_EQ(Value("mp_potential_step_object(200, 304, 4, " + std::to_string(post_) + ")", me), 0);
    EXPECT_EQ(me->i_x, 84);
    EXPECT_EQ(Value("mp_potential_step_object(200, 304, 4, " + std::to_string(wall_) + ")", me), 0);
    EXPECT_EQ(me->i_x, 88);
}

TEST_F(MpStep, PotentialSettings) {
    const PotentialSettings& s = MpPotentialSettings();
    EXPECT_EQ(s.maxrot, 30);
    EXPECT_EQ(s.rotstep, 10);
    EXPECT_EQ(s.ahead, 3);
    EXPECT_TRUE(s.onspot);
    CInstance* me = Mover(100, 100, 0);
    Do("mp_potential_settings(0, 0, 0, 0)", me);
    EXPECT_EQ(s.maxrot, 1);
    EXPECT_EQ(s.rotstep, 1);
    EXPECT_EQ(s.ahead, 1);
    EXPECT_FALSE(s.onspot);
    // With a limit of 1 degree the goal straight above gives direction 1.
    EXPECT_EQ(Value("mp_potential_step(100, 0, 5, 0)", me), 0);
    EXPECT_EQ(me->i_direction, 1);
    Do("mp_potential_settings(45.5, 2.5, 0.5, 0.7)", me);
    EXPECT_EQ(s.maxrot, 45.5);
    EXPECT_EQ(s.rotstep, 2.5);
    EXPECT_EQ(s.ahead, 1);
    EXPECT_TRUE(s.onspot);
    Do("mp_potential_settings(-7, 1000, 2, 1)", me);
    EXPECT_EQ(s.maxrot, 1);
    EXPECT_EQ(s.rotstep, 1000) << "only the goal direction is tried";
}

TEST_F(MpStep, PotentialPaths) {
    const int32_t path = NewPath({{1, 1}});
    const std::string p = std::to_string(path);
    const CPath& route = *Path_Get(path);
    CInstance* me = Mover(0, 100, 0);
    EXPECT_EQ(Value("mp_potential_path(" + p + ", 100, 100, 10, 2, 0)", me), 1);
    Points expected;
    for (int x = 0; x <= 100; x += 10) expected.emplace_back(x, 100);
    EXPECT_EQ(PointsOf(route), expected);
    EXPECT_EQ(me->i_x, 0);
    EXPECT_EQ(me->i_direction, 0);

    // Around a wall in the way the route is longer than the distance.
    Put(wall_, 50, 96);
    me->SetDirection(77);
    EXPECT_EQ(Value("mp_potential_path(" + p + ", 150, 100, 4, 3, 0)", me), 1);
    EXPECT_GT(route.Length(), 150);
    EXPECT_LE(route.Length(), 450);
    EXPECT_EQ(route.Points().back().x, 150);
    EXPECT_EQ(me->i_x, 0);
    EXPECT_EQ(me->i_direction, 77);
    // With too short a factor it gives up once the route outgrows it.
    EXPECT_EQ(Value("mp_potential_path(" + p + ", 150, 100, 4, 1, 0)", me), 0);
    EXPECT_GT(route.Length(), 150);
    EXPECT_LT(route.Length(), 160);
    // A factor below 1 or a step of 0 or less changes nothing.
    const int32_t count = route.Count();
    EXPECT_EQ(Value("mp_potential_path(" + p + ", 150, 100, 4, 0.9, 0)", me), 0);
    EXPECT_EQ(Value("mp_potential_path(" + p + ", 150, 100, 0, 2, 0)", me), 0);
    EXPECT_EQ(route.Count(), count);
    EXPECT_EQ(Value("mp_potential_path(99, 150, 100, 4, 2, 0)", me), 0);
    EXPECT_EQ(Value("mp_potential_path_object(99, 150, 100, 4, 2, all)", me), 0);
    EXPECT_EQ(errors(), (std::vector<std::string>(2, "Trying to assign to a non-existing path.")));
}

TEST_F(MpStep, PotentialPathThatCannotMoveEnds) {
    // Inside a solid wall every probe fails: the instance only turns on the spot (or, without
    // onspot, stays exactly as it is) and the route never grows; the search ends with 0.
    Put(wall_, 100, 100);
    const int32_t path = NewPath();
    const std::string p = std::to_string(path);
    CInstance* me = Mover(104, 104, 10);
    for (const char* onspot : {"1", "0"}) {
        SCOPED_TRACE(onspot);
        Do(std::string("mp_potential_settings(30, 10, 3, ") + onspot + ")", me);
        EXPECT_EQ(Value("mp_potential_path(" + p + ", 400, 400, 1, 1000, 0)", me), 0);
        const CPath& route = *Path_Get(path);
        EXPECT_EQ(route.Length(), 0);
        EXPECT_LT(route.Count(), 40);
        EXPECT_EQ(me->i_x, 104);
        EXPECT_EQ(me->i_direction, 10);
    }
    // A huge factor and a wandering route still end at the step limit.
    Do("mp_potential_settings(1, 1, 1, 1)", me);
    me->SetPosition(300, 300);
    EXPECT_EQ(Value("mp_potential_path(" + p + ", 10000000, 300, 0.000001, 1000000000000, 0)", me), 0);
    EXPECT_EQ(Path_Get(path)->Count(), kMpMaxPathSteps + 1);
}

TEST_F(MpStep, DirectionAndTurn) {
    EXPECT_EQ(MpDirection(0, 0, 1, 0), 0);
    EXPECT_EQ(MpDirection(0, 0, 0, -1), 90);
    EXPECT_EQ(MpDirection(0, 0, -1, 0), 180);
    EXPECT_EQ(MpDirection(0, 0, 0, 1), 270);
    EXPECT_EQ(MpDirection(0, 0, 0, 0), 0);
    EXPECT_NEAR(MpDirection(0, 0, 1, 1), 315, 1e-12);
    EXPECT_EQ(MpTurn(10, 350), 20);
    EXPECT_EQ(MpTurn(-30, 30), 60);
    EXPECT_EQ(MpTurn(720 + 90, -90), 180);
    EXPECT_EQ(MpTurn(1e300, 0), MpTurn(1e300, 0)) << "no endless wrapping";
}

} // namespace
} // namespace kestrin::testing
