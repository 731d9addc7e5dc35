#include <algorithm>
#include <cmath>

#include "sound/effect.h"

namespace kestrin {

namespace {

// Parameters: wet/dry mix (%), feedback (%), left and right delays (1 to 2000 ms), pan delay
// (1: each echo feeds the other channel's delay, so echoes alternate sides).
struct EchoSettings {
    double wet, feedback, delay[2];
    bool swap;
    explicit EchoSettings(const SoundEffectParams& params) {
        const auto& p = params.echo;
        wet = std::clamp(p[0], 0.0, 100.0) / 100;
        feedback = std::clamp(p[1], 0.0, 100.0) / 100;
        delay[0] = std::clamp(p[2], 1.0, 2000.0) * kMixRate / 1000;
        delay[1] = std::clamp(p[3], 1.0, 2000.0) * kMixRate / 1000;
        swap = p[4] >= 0.5;
    }
};

constexpr size_t kEchoCapacity = size_t(kMixRate) * 2 + 2;

// The plain computation, a frame at a time through fractional delay lines: the reference
// the block version is checked against.
class EchoReference : public CEffectStage {
public:
    void Process(const SoundEffectParams& params, float* s, size_t frames) override {
        const EchoSettings e(params);
        for (size_t f = 0; f < frames; ++f) {
            const float delayed[2] = {lines_[0].Read(e.delay[0] - 1), lines_[1].Read(e.delay[1] - 1)};
            for (int c = 0; c < 2; ++c) {
                float& x = s[2 * f + size_t(c)];
                const float back = delayed[e.swap ? 1 - c : c];
                lines_[c].Push(static_cast<float>(x + e.feedback * back));
                x = static_cast<float>((1 - e.wet) * x + e.wet * delayed[c]);
            }
        }
    }

private:
    DelayLine lines_[2] = {DelayLine(kEchoCapacity), DelayLine(kEchoCapacity)};
};

// The same echo in runs of frames: a delay of at least 44 samples means no frame of a run
// reads what the run writes, so each run is straight loops over contiguous memory (no
// wrapping, no clamping, no per-sample calls) the compiler can vectorise.
class Echo : public CEffectStage {
public:
    Echo() {
        for (auto& ring : rings_) ring.assign(kRing, 0.0f);
    }

    void Process(const SoundEffectParams& params, float* s, size_t frames) override {
        const EchoSettings e(params);
        size_t whole[2];
        float part[2];
        for (int c = 0; c < 2; ++c) {
            // As the reference reads: `delay - 1` samples before the newest one.
            const double back = std::clamp(e.delay[c] - 1, 0.0, double(kEchoCapacity));
            whole[c] = static_cast<size_t>(back);
            part[c] = static_cast<float>(back - double(whole[c]));
        }
        const float wet = static_cast<float>(e.wet), dry = static_cast<float>(1 - e.wet);
        const float feedback = static_cast<float>(e.feedback);
        const int other = e.swap ? 1 : 0;
        size_t done = 0;
        while (done < frames) {
            // The run: no longer than the shortest delay, and up to the first wrap of the
            // ring where it writes or reads.
            size_t n = std::min(frames - done, std::min(whole[0], whole[1]) + 1);
            const size_t at = written_ % kRing;
            n = std::min(n, kRing - at);
            size_t newer[2], older[2];
            for (int c = 0; c < 2; ++c) {
                newer[c] = (written_ - 1 - whole[c]) % kRing;
                older[c] = (written_ - 2 - whole[c]) % kRing;
                n = std::min({n, kRing - newer[c], kRing - older[c]});
            }
            float* __restrict out = s + 2 * done;
            float* __restrict w0 = rings_[0].data() + at;
            float* __restrict w1 = rings_[1].data() + at;
            const float* __restrict a0 = rings_[0].data() + newer[0];
            const float* __restrict b0 = rings_[0].data() + older[0];
            const float* __restrict a1 = rings_[1].data() + newer[1];
            const float* __restrict b1 = rings_[1].data() + older[1];
            const float p0 = part[0], p1 = part[1];
            if (other) {
                for (size_t i = 0; i < n; ++i) {
                    const float d0 = a0[i] + (b0[i] - a0[i]) * p0, d1 = a1[i] + (b1[i] - a1[i]) * p1;
                    const float x0 = out[2 * i], x1 = out[2 * i + 1];
                    w0[i] = x0 + feedback * d1;
                    w1[i] = x1 + feedback * d0;
                    out[2 * i] = dry * x0 + wet * d0;
                    out[2 * i + 1] = dry * x1 + wet * d1;
                }
            } else {
                for (size_t i = 0; i < n; ++i) {
                    const float d0 = a0[i] + (b0[i] - a0[i]) * p0, d1 = a1[i] + (b1[i] - a1[i]) * p1;
                    const float x0 = out[2 * i], x1 = out[2 * i + 1];
                    w0[i] = x0 + feedback * d0;
                    w1[i] = x1 + feedback * d1;
                    out[2 * i] = dry * x0 + wet * d0;
                    out[2 * i + 1] = dry * x1 + wet * d1;
                }
            }
            written_ += n;
            done += n;
        }
    }

private:
    // Room for the longest delay and the sample before it.
    static constexpr size_t kRing = kEchoCapacity + 2;
    std::vector<float> rings_[2];
    // Samples pushed so far, counted from a ring of silence so reads never go below zero.
    uint64_t written_ = kRing;
};

} // namespace

std::unique_ptr<CEffectStage> MakeEcho() {
    return std::make_unique<Echo>();
}

std::unique_ptr<CEffectStage> MakeEchoReference() {
    return std::make_unique<EchoReference>();
}

} // namespace kestrin
