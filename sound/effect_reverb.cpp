#include <algorithm>
#include <cmath>

#include "sound/effect.h"

namespace kestrin {

namespace {

// Comb and all-pass lengths in frames at 44,100 Hz; the right channel's are a little longer,
// which keeps the two sides of the tail apart.
constexpr size_t kCombLengths[4] = {1116, 1188, 1277, 1356};
constexpr size_t kAllPassLengths[2] = {556, 441};
constexpr size_t kStereoSpread = 23;
constexpr double kMaxPredelayMs = 100;

double Decibels(double db) {
    return std::pow(10.0, db / 20);
}

// Parameters: input gain (-96 to 0 dB), reverb mix (-96 to 0 dB: the level of the tail
// beside the sound), reverb time (0.001 to 3000 ms) and high-frequency time ratio (0.001 to
// 0.999). Out: input x gain + tail x mix.
class WavesReverb : public CEffectStage {
public:
    void Process(const SoundEffectParams& params, float* s, size_t frames) override {
        const auto& p = params.reverb;
        const double in = Decibels(std::clamp(p[0], -96.0, 0.0));
        const double mix = p[1] <= -96 ? 0 : Decibels(std::clamp(p[1], -96.0, 0.0));
        const double time = std::clamp(p[2], 0.001, 3000.0);
        const double ratio = std::clamp(p[3], 0.001, 0.999);
        if (time != time_ || ratio != ratio_) {
            tank_.Tune(time, ratio, 0);
            time_ = time;
            ratio_ = ratio;
        }
        for (size_t f = 0; f < frames; ++f) {
            const float l = static_cast<float>(s[2 * f] * in), r = static_cast<float>(s[2 * f + 1] * in);
            float tl = 0, tr = 0;
            tank_.Run(l, r, tl, tr);
            s[2 * f] = static_cast<float>(l + mix * tl);
            s[2 * f + 1] = static_cast<float>(r + mix * tr);
        }
    }

private:
    ReverbTank tank_;
    double time_ = -1, ratio_ = -1;
};

} // namespace

ReverbTank::ReverbTank() {
    for (int c = 0; c < 2; ++c) {
        const size_t spread = c == 1 ? kStereoSpread : 0;
        for (int i = 0; i < 4; ++i) {
            combs_[c][i].length = kCombLengths[i] + spread;
            combs_[c][i].line = DelayLine(combs_[c][i].length + 1);
        }
        for (int i = 0; i < 2; ++i) {
            passes_[c][i].length = kAllPassLengths[i] + spread;
            passes_[c][i].line = DelayLine(passes_[c][i].length + 1);
        }
        predelay_[c] = DelayLine(size_t(kMaxPredelayMs * kMixRate / 1000) + 2);
    }
    Tune(1000, 0.5, 0);
}

void ReverbTank::Tune(double decayMs, double hfRatio, double predelayMs) {
    const double decay = std::max(decayMs, 0.001) * kMixRate / 1000;
    for (auto& channel : combs_)
        for (Comb& comb : channel) {
            // 60 dB down after `decay` frames: each pass through the comb loses length/decay
            // of that.
            comb.feedback = std::pow(10.0, -3 * double(comb.length) / decay);
            // High frequencies decay in decay x ratio; a one-pole low-pass in the loop takes
            // the difference away.
            const double high = std::pow(10.0, -3 * double(comb.length) / (decay * std::max(hfRatio, 0.001)));
            comb.damp = std::clamp(1 - high / std::max(comb.feedback, 1e-12), 0.0, 0.95);
        }
    predelay_frames_ = std::clamp(predelayMs, 0.0, kMaxPredelayMs) * kMixRate / 1000;
}

void ReverbTank::Run(float inLeft, float inRight, float& outLeft, float& outRight) {
    const float in[2] = {inLeft, inRight};
    float out[2] = {0, 0};
    for (int c = 0; c < 2; ++c) {
        float x = in[c];
        if (predelay_frames_ > 0) {
            predelay_[c].Push(x);
            x = predelay_[c].Read(predelay_frames_);
        }
        double sum = 0;
        for (Comb& comb : combs_[c]) {
            const float delayed = comb.line.Read(double(comb.length) - 1);
            comb.filter = delayed * (1 - comb.damp) + comb.filter * comb.damp;
            comb.line.Push(static_cast<float>(x + comb.feedback * comb.filter));
            sum += delayed;
        }
        double y = sum / 4;
        for (AllPass& pass : passes_[c]) {
            const float delayed = pass.line.Read(double(pass.length) - 1);
            pass.line.Push(static_cast<float>(y + 0.5 * delayed));
            y = delayed - 0.5 * y;
        }
        out[c] = static_cast<float>(std::isfinite(y) ? y : 0);
    }
    outLeft = out[0];
    outRight = out[1];
}

std::unique_ptr<CEffectStage> MakeReverb() {
    return std::make_unique<WavesReverb>();
}

} // namespace kestrin
