#include <algorithm>
#include <cmath>

#include "sound/effect.h"

namespace kestrin {

namespace {

// Parameters: gain after compression (-60 to 60 dB), attack (0.01 to 500 ms), release (50 to
// 3000 ms), threshold (-60 to 0 dB), ratio (1 to 100) and predelay (0 to 4 ms: the sound is
// delayed so the level detector, which hears it undelayed, acts in time). Above the
// threshold the level rises 1/ratio as fast as the input's; both channels share the
// detector, so the image stays put.
class Compressor : public CEffectStage {
public:
    void Process(const SoundEffectParams& params, float* s, size_t frames) override {
        const auto& p = params.compressor;
        const double makeup = std::clamp(p[0], -60.0, 60.0);
        const double attack = Coefficient(std::clamp(p[1], 0.01, 500.0));
        const double release = Coefficient(std::clamp(p[2], 50.0, 3000.0));
        const double threshold = std::clamp(p[3], -60.0, 0.0);
        const double ratio = std::clamp(p[4], 1.0, 100.0);
        const double predelay = std::round(std::clamp(p[5], 0.0, 4.0) * kMixRate / 1000);
        for (size_t f = 0; f < frames; ++f) {
            const double peak = std::max(std::fabs(s[2 * f]), std::fabs(s[2 * f + 1]));
            envelope_ += (peak - envelope_) * (peak > envelope_ ? attack : release);
            const double level = envelope_ > 1e-9 ? 20 * std::log10(envelope_) : -180;
            const double over = level - threshold;
            const double gain = std::pow(10.0, ((over > 0 ? -over * (1 - 1 / ratio) : 0) + makeup) / 20);
            for (int c = 0; c < 2; ++c) {
                float& x = s[2 * f + size_t(c)];
                lines_[c].Push(x);
                x = static_cast<float>(lines_[c].Read(predelay) * gain);
            }
        }
    }

private:
    // The share of the way to a new level taken each frame for a time constant in ms.
    static double Coefficient(double ms) { return 1 - std::exp(-1000.0 / (ms * kMixRate)); }

    double envelope_ = 0;
    DelayLine lines_[2] = {DelayLine(size_t(4 * kMixRate / 1000) + 2),
                           DelayLine(size_t(4 * kMixRate / 1000) + 2)};
};

} // namespace

std::unique_ptr<CEffectStage> MakeCompressor() {
    return std::make_unique<Compressor>();
}

} // namespace kestrin
