#pragma once
// Pacing of the main loop: the step clock, the wait that fills each frame up to the room's
// frame time, and the frame-rate count. The clock is injected: a real one for play, a
// simulated one for fast headless runs, where waiting only moves simulated time on, so that
// timing built-ins and `fps` stay what they would be in real time.

#include <cstdint>
#include <functional>

namespace kestrin {

class StepClock {
public:
    virtual ~StepClock() = default;
    // Microseconds since an arbitrary origin; never decreases for the simulated clock.
    virtual int64_t NowMicros() = 0;
    virtual void SleepMillis(int64_t milliseconds) = 0;
    virtual void SleepMicros(int64_t micros) { SleepMillis(micros / 1000); }
    // True when waiting should not spin on the clock (time moves only by sleeping).
    virtual bool Simulated() const { return false; }
};

class SteadyStepClock : public StepClock {
public:
    int64_t NowMicros() override;
    void SleepMillis(int64_t milliseconds) override;
};

// Time moves only when the loop waits: each wait jumps to its deadline.
class SimulatedStepClock : public StepClock {
public:
    int64_t NowMicros() override { return now_; }
    void SleepMillis(int64_t milliseconds) override { now_ += milliseconds * 1000; }
    void SleepMicros(int64_t micros) override { now_ += micros; }
    bool Simulated() const override { return true; }

private:
    int64_t now_ = 0;
};

class FramePacer {
public:
    FramePacer(StepClock& clock, std::function<void()> pumpMessages)
        : clock_(clock), pump_(std::move(pumpMessages)) {}

    // Sets the origin of the step clock and starts counting frames.
    void Start();
    // After a step: corrects a room speed below 1 (in place), waits out the rest of the frame
    // and counts it. `speedFactor` plays faster (above 1) or slower than the room speed.
    void EndFrame(int32_t& roomSpeed, double speedFactor = 1.0);
    // Waits `micros` microseconds, pumping messages; used by the loop and by sleep().
    void Wait(int64_t micros);

    int32_t Fps() const { return fps_; }
    // Microseconds since Start (for timing built-ins).
    int64_t Elapsed() { return clock_.NowMicros() - origin_; }
    // The wait of the last frame, for tests.
    int64_t LastWait() const { return last_wait_; }

private:
    StepClock& clock_;
    std::function<void()> pump_;
    int64_t origin_ = 0;
    int64_t frame_start_ = 0;   // T
    int64_t second_start_ = 0;  // F
    int32_t fps_ = 0;
    int32_t count_ = 0;
    int64_t last_wait_ = 0;
};

// The frame time in microseconds of a room speed (integer division) and a speed factor.
int64_t FrameMicros(int32_t roomSpeed, double speedFactor = 1.0);

} // namespace kestrin
