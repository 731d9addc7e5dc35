#include <algorithm>
#include <cmath>

#include "sound/effect.h"

namespace kestrin {

namespace {

// Parameters in order: wet/dry mix (%), depth (% of the delay swept), feedback (%), frequency
// (Hz), waveform (0 triangle, 1 sine), delay (ms), phase (0...4: -180, -90, 0, 90, 180 degrees
// between the channels' waves). The delay is delay x (1 + depth x wave).
class ModulatedDelay : public CEffectStage {
public:
    ModulatedDelay(std::array<double, 7> SoundEffectParams::*member, double maxDelayMs)
        : member_(member),
          max_delay_(maxDelayMs), lines_{DelayLine(size_t(2 * maxDelayMs * kMixRate / 1000) + 2),
                                         DelayLine(size_t(2 * maxDelayMs * kMixRate / 1000) + 2)} {}

    void Process(const SoundEffectParams& params, float* s, size_t frames) override {
        const std::array<double, 7>& p = params.*member_;
        const double wet = std::clamp(p[0], 0.0, 100.0) / 100;
        const double depth = std::clamp(p[1], 0.0, 100.0) / 100;
        const double feedback = std::clamp(p[2], -99.0, 99.0) / 100;
        const double frequency = std::clamp(p[3], 0.0, 10.0);
        const int32_t waveform = p[4] == 0 ? 0 : 1;
        const double delay = std::clamp(p[5], 0.0, max_delay_) * kMixRate / 1000;
        const double shift = (std::clamp(std::round(p[6]), 0.0, 4.0) - 2) / 4;
        for (size_t f = 0; f < frames; ++f) {
            const double phase = double(position_) * frequency / kMixRate;
            for (int c = 0; c < 2; ++c) {
                const double wave = EffectWave(waveform, phase + (c == 1 ? shift : 0));
                const double d = std::max(delay * (1 + depth * wave), 1.0);
                float& x = s[2 * f + size_t(c)];
                const float delayed = lines_[c].Read(d - 1);
                lines_[c].Push(static_cast<float>(x + feedback * delayed));
                x = static_cast<float>((1 - wet) * x + wet * delayed);
            }
            ++position_;
        }
    }

private:
    std::array<double, 7> SoundEffectParams::*member_;
    double max_delay_;
    DelayLine lines_[2];
    uint64_t position_ = 0;
};

} // namespace

std::unique_ptr<CEffectStage> MakeModulatedDelay(std::array<double, 7> SoundEffectParams::*member,
                                                 double maxDelayMs) {
    return std::make_unique<ModulatedDelay>(member, maxDelayMs);
}

std::unique_ptr<CEffectStage> MakeChorus() {
    return MakeModulatedDelay(&SoundEffectParams::chorus, 20);
}

} // namespace kestrin
