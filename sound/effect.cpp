#include "sound/effect.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kestrin {

float DelayLine::Read(double delay) const {
    const size_t size = buffer_.size();
    if (!(delay > 0)) delay = 0;
    if (delay > double(Capacity())) delay = double(Capacity());
    const size_t whole = static_cast<size_t>(delay);
    const double part = delay - double(whole);
    const size_t newest = write_ == 0 ? size - 1 : write_ - 1;
    const size_t at = newest >= whole ? newest - whole : newest + size - whole;
    const size_t before = at == 0 ? size - 1 : at - 1;
    const float a = buffer_[at];
    return part == 0 ? a : static_cast<float>(a + (buffer_[before] - a) * part);
}

float Biquad::Run(int c, float x) {
    const double y = b0 * x + b1 * x1[c] + b2 * x2[c] - a1 * y1[c] - a2 * y2[c];
    x2[c] = x1[c];
    x1[c] = x;
    y2[c] = y1[c];
    y1[c] = std::isfinite(y) ? y : 0;
    return static_cast<float>(y1[c]);
}

Biquad PeakingFilter(double centre, double octaves, double gainDb) {
    const double a = std::pow(10.0, gainDb / 40);
    const double w = 2 * std::numbers::pi * std::clamp(centre, 1.0, kMixRate * 0.49) / kMixRate;
    const double alpha =
        std::sin(w) * std::sinh(std::log(2.0) / 2 * std::max(octaves, 0.01) * w / std::sin(w));
    const double a0 = 1 + alpha / a;
    Biquad f;
    f.b0 = (1 + alpha * a) / a0;
    f.b1 = -2 * std::cos(w) / a0;
    f.b2 = (1 - alpha * a) / a0;
    f.a1 = -2 * std::cos(w) / a0;
    f.a2 = (1 - alpha / a) / a0;
    return f;
}

Biquad BandPassFilter(double centre, double widthHz) {
    const double fc = std::clamp(centre, 1.0, kMixRate * 0.49);
    const double w = 2 * std::numbers::pi * fc / kMixRate;
    const double q = fc / std::max(widthHz, 1.0);
    const double alpha = std::sin(w) / (2 * q);
    const double a0 = 1 + alpha;
    Biquad f;
    f.b0 = alpha / a0;
    f.b1 = 0;
    f.b2 = -alpha / a0;
    f.a1 = -2 * std::cos(w) / a0;
    f.a2 = (1 - alpha) / a0;
    return f;
}

double EffectWave(int32_t waveform, double phase) {
    phase -= std::floor(phase);
    if (waveform == 0) return phase < 0.5 ? 4 * phase - 1 : 3 - 4 * phase;
    return std::sin(2 * std::numbers::pi * phase);
}

std::vector<std::unique_ptr<CEffectStage>> MakeEffectChain(int32_t flags, bool reference) {
    // The order is fixed whatever the bits' values: the equaliser comes before the reverb.
    using Maker = std::unique_ptr<CEffectStage> (*)();
    static const std::pair<int32_t, Maker> kOrder[] = {
        {kEffectChorus, MakeChorus},           {kEffectEcho, MakeEcho},
        {kEffectFlanger, MakeFlanger},         {kEffectGargle, MakeGargle},
        {kEffectEqualizer, MakeEqualizer},     {kEffectReverb, MakeReverb},
        {kEffectCompressor, MakeCompressor},   {kEffectDistortion, MakeDistortion},
        {kEffectI3DL2Reverb, MakeI3DL2Reverb},
    };
    std::vector<std::unique_ptr<CEffectStage>> chain;
    for (auto [bit, make] : kOrder) {
        if (!(flags & bit)) continue;
        if (reference && bit == kEffectEcho) make = MakeEchoReference;
        if (reference && bit == kEffectEqualizer) make = MakeEqualizerReference;
        chain.push_back(make());
    }
    return chain;
}

} // namespace kestrin
