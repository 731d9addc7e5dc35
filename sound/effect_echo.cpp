#include <algorithm>

#include "sound/effect.h"

namespace kestrin {

namespace {

// Parameters: wet/dry mix (%), feedback (%), left and right delays (1 to 2000 ms), pan delay
// (1: each echo feeds the other channel's delay, so echoes alternate sides).
class Echo : public CEffectStage {
public:
    void Process(const SoundEffectParams& params, float* s, size_t frames) override {
        const auto& p = params.echo;
        const double wet = std::clamp(p[0], 0.0, 100.0) / 100;
        const double feedback = std::clamp(p[1], 0.0, 100.0) / 100;
        const double delay[2] = {std::clamp(p[2], 1.0, 2000.0) * kMixRate / 1000,
                                 std::clamp(p[3], 1.0, 2000.0) * kMixRate / 1000};
        const bool swap = p[4] >= 0.5;
        for (size_t f = 0; f < frames; ++f) {
            const float delayed[2] = {lines_[0].Read(delay[0] - 1), lines_[1].Read(delay[1] - 1)};
            for (int c = 0; c < 2; ++c) {
                float& x = s[2 * f + size_t(c)];
                const float back = delayed[swap ? 1 - c : c];
                lines_[c].Push(static_cast<float>(x + feedback * back));
                x = static_cast<float>((1 - wet) * x + wet * delayed[c]);
            }
        }
    }

private:
    DelayLine lines_[2] = {DelayLine(size_t(kMixRate) * 2 + 2), DelayLine(size_t(kMixRate) * 2 + 2)};
};

} // namespace

std::unique_ptr<CEffectStage> MakeEcho() {
    return std::make_unique<Echo>();
}

} // namespace kestrin
