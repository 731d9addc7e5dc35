#include <cmath>

#include "sound/effect.h"

namespace kestrin {

namespace {

// The environmental reverb at its default settings (no built-in sets its parameters): room
// level -1000 and reverb level +200 hundredths of a decibel (the tail at -8 dB), decay 1.49 s
// with high frequencies at 0.83 of it, the tail after 7 + 11 ms; the sound itself passes.
class I3DL2Reverb : public CEffectStage {
public:
    I3DL2Reverb() { tank_.Tune(1490, 0.83, 18); }
    void Process(const SoundEffectParams&, float* s, size_t frames) override {
        const double wet = std::pow(10.0, (-1000 + 200) / 2000.0);
        for (size_t f = 0; f < frames; ++f) {
            float tl = 0, tr = 0;
            tank_.Run(s[2 * f], s[2 * f + 1], tl, tr);
            s[2 * f] = static_cast<float>(s[2 * f] + wet * tl);
            s[2 * f + 1] = static_cast<float>(s[2 * f + 1] + wet * tr);
        }
    }

private:
    ReverbTank tank_;
};

} // namespace

std::unique_ptr<CEffectStage> MakeI3DL2Reverb() {
    return std::make_unique<I3DL2Reverb>();
}

} // namespace kestrin
