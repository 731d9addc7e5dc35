#include <algorithm>
#include <cmath>

#include "sound/effect.h"

namespace kestrin {

namespace {

// Parameters: rate (1 to 1000 Hz) and wave shape (0 triangle, 1 square) of the amplitude
// modulation: the level rises from 0 to 1 and back once a period (a square: 1 for the first
// half, 0 for the second).
class Gargle : public CEffectStage {
public:
    void Process(const SoundEffectParams& params, float* s, size_t frames) override {
        const double rate = std::clamp(std::round(params.gargle[0]), 1.0, 1000.0);
        const bool square = std::round(params.gargle[1]) == 1;
        for (size_t f = 0; f < frames; ++f) {
            double phase = double(position_++) * rate / kMixRate;
            phase -= std::floor(phase);
            const double level =
                square ? (phase < 0.5 ? 1.0 : 0.0) : (phase < 0.5 ? 2 * phase : 2 - 2 * phase);
            s[2 * f] = static_cast<float>(s[2 * f] * level);
            s[2 * f + 1] = static_cast<float>(s[2 * f + 1] * level);
        }
    }

private:
    uint64_t position_ = 0;
};

} // namespace

std::unique_ptr<CEffectStage> MakeGargle() {
    return std::make_unique<Gargle>();
}

} // namespace kestrin
