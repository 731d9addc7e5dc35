// Instances running time lines through the main loop: the moments each step performs with
// positive, fractional and negative speeds and looping, what moment code sees, moments that
// delete or change their own time line, pending room changes, and the time-line built-ins.

#include <gtest/gtest.h>

#include "tests/unit/run_fixture.h"
#include "world/timeline.h"

namespace kestrin {
namespace {

class TimeLineRun : public testing::RunTest {
protected:
    void SetUp() override {
        RunTest::SetUp();
        TimeLine_ClearAll();
        ComposeGame();
        ComposeMainLoop(Loop());
        AddObject("runner", testing::ObjectWith({}));
    }
    void TearDown() override {
        RunTest::TearDown();
        TimeLine_ClearAll();
    }

    // A time line whose moment at each step prints "m" and the step.
    static int32_t AddTimeLine(std::initializer_list<int32_t> steps) {
        const int32_t ind = TimeLine_AddNew();
        for (int32_t step : steps)
            EXPECT_TRUE(TimeLine_AddCode(ind, step, testing::Say("m" + std::to_string(step))));
        return ind;
    }

    CInstance& Start(int32_t timeline, double speed, double position = 0, bool loop = false) {
        StartRoom({{0}});
        CInstance& instance = *Nth(0);
        instance.i_timelineindex = timeline;
        instance.i_timelinespeed = speed;
        instance.i_timelineposition = position;
        instance.i_timelinerunning = true;
        instance.i_timelineloop = loop;
        return instance;
    }

    // "step:output" for every step that printed something.
    std::string Steps(int32_t count) {
        std::string out;
        for (int32_t step = 1; step <= count; ++step) {
            Loop().Step();
            const std::string said = Take();
            if (!said.empty()) out += (out.empty() ? "" : " | ") + std::to_string(step) + ":" + said;
        }
        return out;
    }
};

TEST_F(TimeLineRun, MomentsFireAsThePositionPassesThem) {
    struct Case {
        const char* what;
        std::initializer_list<int32_t> steps;
        double speed, position;
        bool loop;
        int32_t run;
        const char* fired;
        double end; // the position afterwards
    } cases[] = {
        {"once", {0, 10}, 1, 0, false, 23, "1:m0 | 11:m10", 23},
        {"looping every 11 steps", {0, 10}, 1, 0, true, 23, "1:m0 | 11:m10 | 12:m0 | 22:m10 | 23:m0", 1},
        {"half speed counts the start, not the end", {3}, 0.5, 0, false, 8, "7:m3", 4},
        {"fast: several moments in one step, in order", {1, 2, 4}, 3, 0, false, 3, "1:m1 m2 | 2:m4", 9},
        {"backwards", {0, 10}, -1, 10, false, 12, "1:m10 | 11:m0", -2},
        {"backwards looping restarts at the last step",
         {0, 10},
         -1,
         10,
         true,
         13,
         "1:m10 | 11:m0 | 12:m10",
         8},
        {"backwards, fast and in descending order", {1, 2, 4}, -3, 4, false, 2, "1:m4 m2 | 2:m1", -2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TimeLine_ClearAll();
        CInstance& instance = Start(AddTimeLine(c.steps), c.speed, c.position, c.loop);
        EXPECT_EQ(Steps(c.run), c.fired);
        EXPECT_DOUBLE_EQ(instance.i_timelineposition, c.end);
        EXPECT_TRUE(instance.i_timelinerunning); // past the end it keeps running
    }
}

TEST_F(TimeLineRun, NothingAdvancesWithoutARunningTimeLine) {
    const int32_t line = AddTimeLine({0, 1});
    const int32_t empty = TimeLine_AddNew();
    struct Case {
        int32_t index;
        double speed;
        bool running;
    } cases[] = {{-1, 1, true}, {99, 1, true}, {empty, 1, true}, {line, 0, true}, {line, 1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        CInstance& instance = Start(c.index, c.speed);
        instance.i_timelinerunning = c.running;
        EXPECT_EQ(Steps(3), "");
        EXPECT_EQ(instance.i_timelineposition, 0);
    }
}

TEST_F(TimeLineRun, MomentCodeSeesTheNewPositionAndItsContext) {
    const int32_t line = TimeLine_AddNew();
    ASSERT_TRUE(TimeLine_AddCode(line, 0,
                                 "show_debug_message(string(timeline_position) + ' ' + "
                                 "string(event_type) + ' ' + string(event_number))"));
    // Setting the position in a moment moves the time line on from there.
    ASSERT_TRUE(TimeLine_AddCode(line, 0, "timeline_position = 5"));
    ASSERT_TRUE(TimeLine_AddCode(line, 5, testing::Say("five")));
    Start(line, 1);
    EXPECT_EQ(Steps(2), "1:1 100000 0 | 2:five");
}

TEST_F(TimeLineRun, RunErrorsNameTheTimeLineAndStep) {
    const int32_t line = TimeLine_AddNew();
    ASSERT_TRUE(TimeLine_AddCode(line, 2, "x = undefined_thing + 1"));
    Start(line, 1);
    const std::string said = Steps(3);
    EXPECT_NE(said.find("at time step 2"), std::string::npos) << said;
    EXPECT_NE(said.find("of time line __newtimeline0"), std::string::npos) << said;
}

TEST_F(TimeLineRun, MomentsThatChangeTheirOwnTimeLine) {
    // The moments to perform are fixed before the first runs; a moment that deletes, clears or
    // reshapes its time line must not run freed or shifted moments.
    struct Case {
        const char* what;
        const char* first; // the code of the moment at step 1
        const char* fired;
    } cases[] = {
        {"deletes its time line", "timeline_delete(timeline_index)", "1:m1"},
        {"clears its time line", "timeline_clear(timeline_index)", "1:m1"},
        {"deletes itself", "timeline_moment_clear(timeline_index, 1)", "1:m1 m2 m3"},
        {"deletes a later moment", "timeline_moment_clear(timeline_index, 2)", "1:m1 m3"},
        {"adds an earlier moment", "timeline_moment_add(timeline_index, 0, 'show_debug_message(\"new\")')",
         "1:m1 m2 m3"},
        {"adds to itself", "timeline_moment_add(timeline_index, 1, 'show_debug_message(\"added\")')",
         "1:m1 m2 m3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TimeLine_ClearAll();
        const int32_t line = TimeLine_AddNew();
        ASSERT_TRUE(TimeLine_AddCode(line, 1, testing::Say("m1")));
        ASSERT_TRUE(TimeLine_AddCode(line, 1, c.first));
        ASSERT_TRUE(TimeLine_AddCode(line, 2, testing::Say("m2")));
        ASSERT_TRUE(TimeLine_AddCode(line, 3, testing::Say("m3")));
        Start(line, 4);
        EXPECT_EQ(Steps(1), c.fired);
    }
    // An action added to the moment being performed runs from its next performance on.
    CTimeLine* timeline = TimeLine_Get(0);
    ASSERT_NE(timeline, nullptr);
    ASSERT_EQ(timeline->Find(1), 0);
    EXPECT_EQ(timeline->Event(0)->e_number(), 3);
}

TEST_F(TimeLineRun, APendingRoomChangeStopsTheMoments) {
    const int32_t line = TimeLine_AddNew();
    ASSERT_TRUE(TimeLine_AddCode(line, 0, testing::Say("m0") + "; game_end()"));
    ASSERT_TRUE(TimeLine_AddCode(line, 1, testing::Say("m1")));
    Start(line, 2);
    Loop().Step();
    EXPECT_EQ(Take(), "m0");
}

TEST_F(TimeLineRun, BuiltIns) {
    StartRoom({{0}});
    CInstance* self = Nth(0);
    EXPECT_EQ(Eval("return timeline_add()", self), "0.000000");
    EXPECT_EQ(Eval("return timeline_exists(0) + timeline_exists(1) + timeline_exists(-1)", self), "1.000000");
    EXPECT_EQ(Eval("return timeline_name(0)", self), "__newtimeline0");
    EXPECT_EQ(Eval("return timeline_get_name(7)", self), "<undefined>");
    // Twice at one step: one moment holding both actions.
    Eval("timeline_moment_add(0, 4, 'a = 1'); timeline_moment_add(0, 4, 'b = 2'); "
         "timeline_moment_add(0, 2.6, 'c = 3')",
         self);
    CTimeLine* timeline = TimeLine_Get(0);
    ASSERT_NE(timeline, nullptr);
    EXPECT_EQ(timeline->s_step, (std::vector<int32_t>{3, 4}));
    EXPECT_EQ(timeline->Event(1)->e_number(), 2);
    // Code that does not compile adds nothing.
    Eval("timeline_moment_add(0, 9, 'a = = 1')", self);
    Take();
    ASSERT_EQ(timeline->Find(9), 2);
    EXPECT_EQ(timeline->Event(2)->e_number(), 0);
    Eval("timeline_moment_clear(0, 3); timeline_moment_clear(5, 3); timeline_clear(5)", self);
    EXPECT_EQ(timeline->s_step.front(), 4);
    Eval("timeline_clear(0)", self);
    EXPECT_EQ(timeline->Count(), 0);
    EXPECT_EQ(Eval("return timeline_delete(0)", self), "1.000000");
    EXPECT_EQ(Eval("return timeline_delete(0)", self), "0.000000");
    EXPECT_NE(Take().find("Trying to delete non-existing timeline."), std::string::npos);
}

} // namespace
} // namespace kestrin
