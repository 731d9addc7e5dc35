#include "runner/frame_pacing.h"

#include <limits>

#include <chrono>
#include <cmath>
#include <thread>

#include "runner/signals.h"

namespace kestrin {

int64_t SteadyStepClock::NowMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SteadyStepClock::SleepMillis(int64_t milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

int64_t FrameMicros(int32_t roomSpeed, double speedFactor) {
    if (roomSpeed < 1) roomSpeed = 1;
    int64_t frame = 1000000 / roomSpeed;
    if (speedFactor > 0 && speedFactor != 1.0 && std::isfinite(speedFactor))
        frame = static_cast<int64_t>(static_cast<double>(frame) / speedFactor);
    return frame;
}

void FramePacer::Start() {
    origin_ = clock_.NowMicros();
    frame_start_ = second_start_ = Elapsed();
    fps_ = 0;
    count_ = 0;
    if (pump_) pump_();
}

void FramePacer::Wait(int64_t micros) {
    if (micros <= 0) return;
    int64_t start = clock_.NowMicros();
    // sleep() of a huge time saturates rather than overflowing the deadline.
    const int64_t deadline = micros > std::numeric_limits<int64_t>::max() - start
                                 ? std::numeric_limits<int64_t>::max()
                                 : start + micros;
    if (clock_.Simulated()) {
        // Nothing else can move simulated time: jump to the deadline.
        clock_.SleepMicros(deadline - start);
        if (pump_) pump_();
        return;
    }
    // Sleep while at least 2 ms remain, then spin on the clock for the last millisecond. A long
    // sleep goes in slices, so that a signal asking the run to end is seen within one.
    constexpr int64_t kSliceMillis = 100;
    for (int64_t left = micros >= 2000 ? (micros - 1000) / 1000 : 0; left > 0 && !TerminationRequested();) {
        const int64_t slice = left < kSliceMillis ? left : kSliceMillis;
        clock_.SleepMillis(slice);
        left -= slice;
    }
    for (;;) {
        if (pump_) pump_();
        if (TerminationRequested()) break;
        int64_t now = clock_.NowMicros();
        if (now >= deadline || now < start) break;
    }
}

void FramePacer::EndFrame(int32_t& roomSpeed, double speedFactor) {
    int64_t now = Elapsed();
    if (now < frame_start_) frame_start_ = now;
    if (roomSpeed < 1) roomSpeed = 1;
    int64_t d = FrameMicros(roomSpeed, speedFactor) - (now - frame_start_);
    if (d < 0) d = 0;
    if (d >= 1000000) d = 1000000;
    last_wait_ = d;
    Wait(d);
    frame_start_ = now + d;
    if (frame_start_ < second_start_) second_start_ = frame_start_;
    if (frame_start_ / 1000000 > second_start_ / 1000000) {
        fps_ = count_;
        count_ = 0;
        second_start_ = frame_start_;
    }
    ++count_;
}

} // namespace kestrin
