#include <gtest/gtest.h>
#include <limits>

#include "runner/frame_pacing.h"

using namespace kestrin;

// A clock that moves only when told, with a step that takes a chosen time.
class ManualClock : public StepClock {
public:
    int64_t NowMicros() override { return now; }
    void SleepMillis(int64_t ms) override { now += ms * 1000; }
    int64_t now = 5000000;
};

TEST(FramePacing, FrameTimeIsIntegerDivision) {
    EXPECT_EQ(FrameMicros(30), 33333);
    EXPECT_EQ(FrameMicros(60), 16666);
    EXPECT_EQ(FrameMicros(0), 1000000);
    EXPECT_EQ(FrameMicros(-5), 1000000);
    EXPECT_EQ(FrameMicros(30, 2.0), 16666);
}

TEST(FramePacing, WaitFillsTheFrameAndASlowStepShortensOnlyTheNextWait) {
    ManualClock clock;
    int pumps = 0;
    FramePacer pacer(clock, [&] {
        ++pumps;
        clock.now += 1; // spinning reads a moving clock
    });
    pacer.Start();
    int32_t speed = 30;
    clock.now += 10000; // a 10 ms step
    pacer.EndFrame(speed);
    EXPECT_EQ(pacer.LastWait(), 33333 - 10001);
    clock.now += 50000; // a step slower than the frame
    pacer.EndFrame(speed);
    EXPECT_EQ(pacer.LastWait(), 0);
    clock.now += 1000;
    pacer.EndFrame(speed);
    EXPECT_EQ(pacer.LastWait(), 33333 - 1000) << "the reference is the moment the slow step ended";
    EXPECT_GT(pumps, 0);
}

TEST(FramePacing, RoomSpeedBelowOneIsCorrectedInPlace) {
    SimulatedStepClock clock;
    FramePacer pacer(clock, nullptr);
    pacer.Start();
    int32_t speed = 0;
    pacer.EndFrame(speed);
    EXPECT_EQ(speed, 1);
    EXPECT_EQ(pacer.LastWait(), 1000000);
}

TEST(FramePacing, SimulatedClockCountsExactFramesPerSecond) {
    for (int32_t speed : {30, 60, 1}) {
        SimulatedStepClock clock;
        FramePacer pacer(clock, nullptr);
        pacer.Start();
        int32_t s = speed;
        for (int i = 0; i < speed * 3 + 1; ++i) pacer.EndFrame(s);
        EXPECT_EQ(pacer.Fps(), speed) << speed;
        EXPECT_EQ(pacer.Elapsed(), (speed * 3 + 1) * FrameMicros(speed)) << "every frame waits its full time";
    }
    SimulatedStepClock clock;
    FramePacer fast(clock, nullptr);
    fast.Start();
    int32_t s = 30;
    for (int i = 0; i < 200; ++i) fast.EndFrame(s, 2.0);
    EXPECT_EQ(fast.Fps(), 60) << "playing at twice the speed counts twice the frames";
}

TEST(FramePacing, AHugeWaitSaturatesInsteadOfOverflowing) {
    SimulatedStepClock clock;
    FramePacer pacer(clock, nullptr);
    clock.SleepMicros(1000);
    pacer.Wait(std::numeric_limits<int64_t>::max());
    EXPECT_EQ(clock.NowMicros(), std::numeric_limits<int64_t>::max());
}

TEST(FramePacing, WaitOfNothingReturnsAtOnce) {
    ManualClock clock;
    int pumps = 0;
    FramePacer pacer(clock, [&] { ++pumps; });
    pacer.Wait(0);
    pacer.Wait(-5);
    EXPECT_EQ(pumps, 0);
    EXPECT_EQ(clock.now, 5000000);
}
