#include <cmath>
#include <numbers>

#include "sound/effect.h"

namespace kestrin {

namespace {

// The distortion at its default settings (no built-in sets its parameters): a low-pass at
// 8000 Hz, a soft clipper whose edge is 15 (percent), a band of 2400 Hz around 2400 Hz, and
// -18 dB after.
class Distortion : public CEffectStage {
public:
    Distortion() : band_(BandPassFilter(2400, 2400)) {}
    void Process(const SoundEffectParams&, float* s, size_t frames) override {
        const double gain = std::pow(10.0, -18.0 / 20);
        for (size_t f = 0; f < frames; ++f)
            for (int c = 0; c < 2; ++c) {
                float& x = s[2 * f + size_t(c)];
                low_[c] += (x - low_[c]) * kLowPass;
                x = static_cast<float>(band_.Run(c, Shape(static_cast<float>(low_[c]))) * gain);
            }
    }

    // Odd, rising, and bounded by 1 + k: steeper at 0 the harder the edge.
    static float Shape(float x) {
        constexpr double k = 2 * 15.0 / (100 - 15.0);
        return static_cast<float>((1 + k) * x / (1 + k * std::fabs(x)));
    }

private:
    static constexpr double kLowPass = 0.6801; // 1 - exp(-2 pi 8000 / 44100)
    Biquad band_;
    double low_[2]{};
};

} // namespace

std::unique_ptr<CEffectStage> MakeDistortion() {
    return std::make_unique<Distortion>();
}

float DistortionShape(float x) {
    return Distortion::Shape(x);
}

} // namespace kestrin
