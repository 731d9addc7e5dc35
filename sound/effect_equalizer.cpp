#include <algorithm>

#include "sound/effect.h"

namespace kestrin {

namespace {

// Parameters: centre (80 to 16000 Hz), bandwidth (1 to 36 semitones) and gain (-15 to 15 dB)
// of one peaking band.
class Equalizer : public CEffectStage {
public:
    void Process(const SoundEffectParams& params, float* s, size_t frames) override {
        const double centre = std::clamp(params.equalizer[0], 80.0, 16000.0);
        const double width = std::clamp(params.equalizer[1], 1.0, 36.0);
        const double gain = std::clamp(params.equalizer[2], -15.0, 15.0);
        if (centre != centre_ || width != width_ || gain != gain_) {
            const Biquad tuned = PeakingFilter(centre, width / 12, gain);
            filter_.b0 = tuned.b0;
            filter_.b1 = tuned.b1;
            filter_.b2 = tuned.b2;
            filter_.a1 = tuned.a1;
            filter_.a2 = tuned.a2;
            centre_ = centre;
            width_ = width;
            gain_ = gain;
        }
        for (size_t f = 0; f < frames; ++f) {
            s[2 * f] = filter_.Run(0, s[2 * f]);
            s[2 * f + 1] = filter_.Run(1, s[2 * f + 1]);
        }
    }

private:
    Biquad filter_;
    double centre_ = -1, width_ = -1, gain_ = 0;
};

} // namespace

std::unique_ptr<CEffectStage> MakeEqualizer() {
    return std::make_unique<Equalizer>();
}

} // namespace kestrin
