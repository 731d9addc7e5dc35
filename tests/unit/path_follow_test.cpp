// Instances on paths: the four end actions over many steps, relative and absolute placement,
// orientation and scale, the rejected starts, scale 0, the end-of-path event raised by
// the main loop's motion phase through path_start, and the path variables steering it.

#include <gtest/gtest.h>

#include <cmath>

#include "tests/unit/run_fixture.h"
#include "world/path.h"
#include "world/path_follow.h"

namespace kestrin {
namespace {

// A straight open path through the points, every point at speed factor `speed`.
int32_t AddLine(std::initializer_list<std::pair<double, double>> points, double speed = 100) {
    auto path = std::make_unique<CPath>();
    path->SetClosed(false);
    for (const auto& [x, y] : points) path->AddPoint(x, y, speed);
    return Path_AddNew(std::move(path));
}

class PathFollow : public ::testing::Test {
protected:
    void SetUp() override { Path_ClearAll(); }
    void TearDown() override { Path_ClearAll(); }

    // An instance at (x, y), on the line path going forwards at 4 when `line` is given.
    static void Put(CInstance& instance, double x, double y, int32_t line = -1) {
        instance.SetPosition(x, y);
        if (line >= 0) Assign_Path(instance, line, 4, 1, 0, true, kPathEndStop);
    }

    struct Run {
        int32_t ends = 0;
        int32_t first = 0; // the step of the first end, 0 when none
    };
    static Run Steps(CInstance& instance, int32_t steps) {
        Run run;
        for (int32_t step = 1; step <= steps; ++step) {
            if (Adapt_Path(instance) && run.ends++ == 0) run.first = step;
        }
        return run;
    }
};

TEST_F(PathFollow, EndActionsOverManySteps) {
    // Speed 4 along a path 100 long ends every 25 steps.
    const int32_t line = AddLine({{0, 0}, {100, 0}});
    struct Case {
        int32_t endact;
        int32_t steps;
        int32_t ends;
        int32_t index; // path_index afterwards
        double x;      // the instance starts at (10, 20)
        double pathspeed;
        double anchorx;
    };
    const Case cases[] = {
        {kPathEndStop, 24, 0, line, 106, 4, 10},
        {kPathEndStop, 25, 1, -1, 110, 4, 10},
        {kPathEndStop, 60, 1, -1, 110, 4, 10}, // stays at the end, no more events
        {kPathEndRestart, 25, 1, line, 10, 4, 10},
        {kPathEndRestart, 60, 2, line, 50, 4, 10},
        {kPathEndContinue, 25, 1, line, 110, 4, 110},
        {kPathEndContinue, 60, 2, line, 250, 4, 210},
        {kPathEndReverse, 25, 1, line, 110, -4, 10},
        {kPathEndReverse, 35, 1, line, 70, -4, 10},
        {kPathEndReverse, 60, 2, line, 50, 4, 10},
        {7, 25, 1, -1, 110, 4, 10}, // an unknown end action stops
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "end action " << c.endact << ", " << c.steps << " steps");
        CInstance instance;
        Put(instance, 10, 20);
        Assign_Path(instance, line, 4, 1, 0, true, c.endact);
        const Run run = Steps(instance, c.steps);
        EXPECT_EQ(run.ends, c.ends);
        if (c.ends > 0) {
            EXPECT_EQ(run.first, 25);
        }
        EXPECT_EQ(instance.i_pathindex, c.index);
        EXPECT_NEAR(instance.i_x, c.x, 1e-9);
        EXPECT_NEAR(instance.i_y, 20, 1e-9);
        EXPECT_EQ(instance.i_pathspeed, c.pathspeed);
        EXPECT_NEAR(instance.i_pathxstart, c.anchorx, 1e-9);
        EXPECT_GE(instance.i_pathposition, 0);
        EXPECT_LE(instance.i_pathposition, 1);
        // The path moves the instance; its own motion stays zero.
        EXPECT_EQ(instance.i_speed, 0);
        EXPECT_EQ(instance.i_hspeed, 0);
    }
}

TEST_F(PathFollow, BackwardsPastTheStart) {
    const int32_t line = AddLine({{0, 0}, {100, 0}});
    for (const int32_t endact : {kPathEndStop, kPathEndRestart, kPathEndContinue, kPathEndReverse}) {
        SCOPED_TRACE(endact);
        CInstance instance;
        Put(instance, 10, 20);
        Assign_Path(instance, line, -4, 1, 0, true, endact);
        EXPECT_EQ(instance.i_pathposition, 1);
        EXPECT_EQ(instance.i_x, 10); // relative: the first point lies on the instance
        const Run run = Steps(instance, 25);
        EXPECT_EQ(run.ends, 1);
        EXPECT_EQ(run.first, 25);
        switch (endact) {
        case kPathEndStop:
            EXPECT_EQ(instance.i_pathposition, 0);
            EXPECT_EQ(instance.i_pathindex, -1);
            EXPECT_NEAR(instance.i_x, 10, 1e-9);
            break;
        case kPathEndRestart:
            EXPECT_NEAR(instance.i_pathposition, 1, 1e-9);
            break;
        case kPathEndContinue: // the anchor moves back by the path's offset
            EXPECT_NEAR(instance.i_pathxstart, -90, 1e-9);
            EXPECT_NEAR(instance.i_x, 10, 1e-9);
            break;
        case kPathEndReverse:
            EXPECT_NEAR(instance.i_pathposition, 0, 1e-9);
            EXPECT_EQ(instance.i_pathspeed, 4);
            break;
        }
    }
}

TEST_F(PathFollow, ContinueOnARotatedScaledPath) {
    // Turned a quarter counter-clockwise and doubled, the path runs 200 pixels upwards; the
    // path speed stays in room pixels, so each lap takes 50 steps.
    const int32_t line = AddLine({{0, 0}, {100, 0}});
    CInstance instance;
    Put(instance, 300, 400);
    Assign_Path(instance, line, 4, 2, 90, true, kPathEndContinue);
    Steps(instance, 10);
    EXPECT_NEAR(instance.i_x, 300, 1e-9);
    EXPECT_NEAR(instance.i_y, 360, 1e-9);
    EXPECT_EQ(instance.i_direction, 90); // facing along the path
    const Run run = Steps(instance, 65);
    EXPECT_EQ(run.ends, 1);
    EXPECT_EQ(run.first, 40);
    EXPECT_NEAR(instance.i_pathystart, 200, 1e-9);
    EXPECT_NEAR(instance.i_x, 300, 1e-9);
    EXPECT_NEAR(instance.i_y, 100, 1e-9);
}

TEST_F(PathFollow, PointSpeedsScaleThePathSpeed) {
    // Speed factors of 50 halve the speed; between points they are interpolated.
    const int32_t slow = AddLine({{0, 0}, {100, 0}}, 50);
    CInstance instance;
    Put(instance, 0, 0);
    Assign_Path(instance, slow, 4, 1, 0, true, kPathEndStop);
    EXPECT_EQ(Steps(instance, 60).first, 50);
}

TEST_F(PathFollow, RelativeAndAbsolutePlacement) {
    const int32_t line = AddLine({{50, 60}, {150, 60}});
    struct Case {
        double speed;
        bool relative;
        double x0, y0; // right after the start
        double x1;     // after one step
        double direction;
    };
    const Case cases[] = {
        {4, true, 10, 10, 14, 0},
        {-4, true, 10, 10, 106, 0}, // at fraction 1, the first point on the instance
        {4, false, 50, 60, 54, 0},
        {-4, false, 150, 60, 146, 180}, // backwards along the path where it lies
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "speed " << c.speed << (c.relative ? " relative" : " absolute"));
        CInstance instance;
        Put(instance, 10, 10);
        Assign_Path(instance, line, c.speed, 1, 0, c.relative, kPathEndStop);
        EXPECT_EQ(instance.i_x, c.x0);
        EXPECT_EQ(instance.i_y, c.y0);
        EXPECT_FALSE(Adapt_Path(instance));
        EXPECT_NEAR(instance.i_x, c.x1, 1e-9);
        EXPECT_NEAR(instance.i_y, c.y0, 1e-9);
        EXPECT_EQ(instance.i_direction, c.direction);
    }
}

TEST_F(PathFollow, StartsThatDoNotTakeThePath) {
    const int32_t line = AddLine({{0, 0}, {100, 0}});
    const int32_t point = AddLine({{5, 5}}); // length 0
    const int32_t gone = AddLine({{0, 0}, {10, 0}});
    ASSERT_TRUE(Path_Delete(gone));

    for (const int32_t ind : {-1, point, gone, 99}) {
        SCOPED_TRACE(ind);
        CInstance off;
        Put(off, 10, 20, line);
        Assign_Path(off, ind, 8, 3, 45, false, kPathEndReverse);
        EXPECT_EQ(off.i_pathindex, -1);
        EXPECT_EQ(off.i_pathspeed, 4); // nothing else changed
        EXPECT_EQ(off.i_pathscale, 1);
        EXPECT_EQ(off.i_x, 10);
        EXPECT_FALSE(Adapt_Path(off));
    }
    // A negative scale is stored with the speed and position, then the path is refused.
    CInstance negative;
    Put(negative, 10, 20, line);
    Assign_Path(negative, line, -8, -2, 45, false, kPathEndReverse);
    EXPECT_EQ(negative.i_pathindex, -1);
    EXPECT_EQ(negative.i_pathspeed, -8);
    EXPECT_EQ(negative.i_pathposition, 1);
    EXPECT_EQ(negative.i_pathscale, -2);
    EXPECT_EQ(negative.i_pathorientation, 0);
    EXPECT_EQ(negative.i_pathend, kPathEndStop);
    EXPECT_EQ(negative.i_x, 10);
}

TEST_F(PathFollow, NothingMovesWithoutAPathToTravel) {
    const int32_t line = AddLine({{0, 0}, {100, 0}});
    // Scale 0 is accepted but leaves nothing to travel: no division by zero, no motion.
    CInstance zero;
    Put(zero, 10, 20);
    Assign_Path(zero, line, 4, 0, 0, true, kPathEndRestart);
    EXPECT_EQ(zero.i_pathindex, line);
    EXPECT_EQ(Steps(zero, 10).ends, 0);
    EXPECT_EQ(zero.i_pathposition, 0);
    EXPECT_EQ(zero.i_x, 10);
    EXPECT_EQ(zero.i_y, 20);
    // Speed 0, and a path deleted while followed.
    CInstance still;
    Put(still, 10, 20);
    Assign_Path(still, line, 0, 1, 0, true, kPathEndRestart);
    EXPECT_EQ(Steps(still, 10).ends, 0);
    EXPECT_EQ(still.i_x, 10);
    CInstance orphan;
    Put(orphan, 10, 20);
    Assign_Path(orphan, line, 4, 1, 0, true, kPathEndRestart);
    Steps(orphan, 5);
    ASSERT_TRUE(Path_Delete(line));
    EXPECT_EQ(Steps(orphan, 10).ends, 0);
    EXPECT_NEAR(orphan.i_x, 30, 1e-9);
    EXPECT_NEAR(orphan.i_pathposition, 0.2, 1e-9);
}

// Through the step: path_start in the create event, the motion phase (as composed) moving
// the instance, and the end-of-path event once the end is reached.
class PathLoop : public testing::RunTest {
protected:
    void SetUp() override {
        RunTest::SetUp();
        Path_ClearAll();
        ComposeGame();
    }
    void TearDown() override {
        RunTest::TearDown();
        Path_ClearAll();
    }
};

TEST_F(PathLoop, PathStartMovesTheInstanceAndRaisesTheEndEvent) {
    EXPECT_EQ(CurrentDispatchHooks().advance_path, &Adapt_Path);
    const int32_t line = AddLine({{0, 0}, {100, 0}});
    AddObject("walker", testing::ObjectWith({
                            {ev_create, 0, "path_start(" + std::to_string(line) + ", 40, 0, false)"},
                            {ev_step, ev_step_normal, testing::Say("step")},
                            {ev_other, ev_end_of_path, testing::Say("end of path")},
                        }));
    StartRoom({{0, 10, 20}});
    CInstance* walker = Nth(0);
    ASSERT_NE(walker, nullptr);
    EXPECT_EQ(Eval("return path_index", walker), std::to_string(double(line)));
    Loop().Step();
    Loop().Step();
    EXPECT_EQ(Take(), "step step");
    EXPECT_NEAR(walker->i_x, 90, 1e-9);
    EXPECT_NEAR(walker->i_pathpositionprevious, 0.4, 1e-9);
    Loop().Step();
    EXPECT_EQ(Take(), "step end of path");
    EXPECT_EQ(walker->i_x, 110);
    EXPECT_EQ(walker->i_pathindex, -1);
    Loop().Step();
    EXPECT_EQ(Take(), "step");

    // path_end leaves the path where the instance stands.
    EXPECT_EQ(Eval("path_start(" + std::to_string(line) + ", 40, 1, true); return path_index", walker),
              std::to_string(double(line)));
    EXPECT_EQ(walker->i_x, 0); // absolute: moved onto the path's first point
    Loop().Step();
    Eval("path_end()", walker);
    EXPECT_EQ(walker->i_pathindex, -1);
    EXPECT_NEAR(walker->i_pathposition, 0.4, 1e-9);
    Loop().Step();
    EXPECT_NEAR(walker->i_x, 40, 1e-9);
    EXPECT_EQ(Take(), "step step");
}

TEST_F(PathLoop, ScriptVariablesSteerTheFollowing) {
    const int32_t line = AddLine({{0, 0}, {100, 0}});
    AddObject("walker", testing::ObjectWith({
                            {ev_create, 0, "path_start(" + std::to_string(line) + ", 4, 0, false)"},
                        }));
    StartRoom({{0, 10, 20}});
    CInstance* walker = Nth(0);
    ASSERT_NE(walker, nullptr);
    EXPECT_EQ(Eval("path_position = 1.5; return path_position", walker), "1.000000");
    EXPECT_EQ(Eval("path_positionprevious = -2; return path_positionprevious", walker), "0.000000");
    // Half way, turned a quarter, doubled and at speed 8: 0.04 of the path, 8 pixels upwards.
    Eval("path_position = 0.5; path_orientation = 90; path_scale = 2; path_speed = 8; path_endaction = 1",
         walker);
    Loop().Step();
    EXPECT_NEAR(walker->i_pathposition, 0.54, 1e-9);
    EXPECT_NEAR(walker->i_x, 10, 1e-9);
    EXPECT_NEAR(walker->i_y, 20 - 108, 1e-9);
    EXPECT_EQ(Eval("return direction", walker), "90.000000");
    EXPECT_EQ(walker->i_pathend, kPathEndRestart);
}

} // namespace
} // namespace kestrin
