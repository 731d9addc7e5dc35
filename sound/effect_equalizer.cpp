#include <algorithm>
#include <cmath>

#include "sound/effect.h"

namespace kestrin {

namespace {

// Parameters: centre (80 to 16000 Hz), bandwidth (1 to 36 semitones) and gain (-15 to 15 dB)
// of one peaking band. The filter is designed again only when a parameter changes.
class EqualizerBase : public CEffectStage {
protected:
    // True when the band is flat (0 dB), which passes the sound through unchanged.
    bool Tune(const SoundEffectParams& params) {
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
        return gain == 0;
    }

    Biquad filter_;
    double centre_ = -1, width_ = -1, gain_ = 0;
};

// The plain computation, a sample at a time: the reference.
class EqualizerReference : public EqualizerBase {
public:
    void Process(const SoundEffectParams& params, float* s, size_t frames) override {
        Tune(params);
        for (size_t f = 0; f < frames; ++f) {
            s[2 * f] = filter_.Run(0, s[2 * f]);
            s[2 * f + 1] = filter_.Run(1, s[2 * f + 1]);
        }
    }
};

// The same filter with its state in locals, both channels in one loop (two independent
// chains), and the check for a blown-up state once a block. A flat band (its default) is a
// pass-through: its coefficients make each output equal its input, so the state is what the
// filter would hold, and a later change of gain goes on from it. Only once what an earlier
// gain left ringing has died away, though (below float rounding).
class Equalizer : public EqualizerBase {
    bool Settled() const {
        const Biquad& q = filter_;
        for (int c = 0; c < 2; ++c)
            if (!(std::fabs(q.x1[c] - q.y1[c]) < 1e-9 && std::fabs(q.x2[c] - q.y2[c]) < 1e-9)) return false;
        return true;
    }

public:
    void Process(const SoundEffectParams& params, float* s, size_t frames) override {
        Biquad& q = filter_;
        if (Tune(params) && Settled()) {
            if (frames == 0) return;
            for (int c = 0; c < 2; ++c) {
                const double last = s[2 * (frames - 1) + size_t(c)];
                const double before = frames > 1 ? double(s[2 * (frames - 2) + size_t(c)]) : q.x1[c];
                q.x2[c] = q.y2[c] = before;
                q.x1[c] = q.y1[c] = last;
            }
            return;
        }
        const double b0 = q.b0, b1 = q.b1, b2 = q.b2, a1 = q.a1, a2 = q.a2;
        double lx1 = q.x1[0], lx2 = q.x2[0], ly1 = q.y1[0], ly2 = q.y2[0];
        double rx1 = q.x1[1], rx2 = q.x2[1], ry1 = q.y1[1], ry2 = q.y2[1];
        for (size_t f = 0; f < frames; ++f) {
            const double l = s[2 * f], r = s[2 * f + 1];
            const double yl = b0 * l + b1 * lx1 + b2 * lx2 - a1 * ly1 - a2 * ly2;
            const double yr = b0 * r + b1 * rx1 + b2 * rx2 - a1 * ry1 - a2 * ry2;
            lx2 = lx1;
            lx1 = l;
            ly2 = ly1;
            ly1 = yl;
            rx2 = rx1;
            rx1 = r;
            ry2 = ry1;
            ry1 = yr;
            s[2 * f] = static_cast<float>(yl);
            s[2 * f + 1] = static_cast<float>(yr);
        }
        const double state[] = {lx1, lx2, ly1, ly2, rx1, rx2, ry1, ry2};
        if (!std::all_of(std::begin(state), std::end(state), [](double v) { return std::isfinite(v); })) {
            // A sample that was no number (or a filter driven to infinity) silences the block
            // and starts the filter afresh, where the reference silences it sample by sample.
            std::fill(s, s + 2 * frames, 0.0f);
            lx1 = lx2 = ly1 = ly2 = rx1 = rx2 = ry1 = ry2 = 0;
        }
        q.x1[0] = lx1;
        q.x2[0] = lx2;
        q.y1[0] = ly1;
        q.y2[0] = ly2;
        q.x1[1] = rx1;
        q.x2[1] = rx2;
        q.y1[1] = ry1;
        q.y2[1] = ry2;
    }
};

} // namespace

std::unique_ptr<CEffectStage> MakeEqualizer() {
    return std::make_unique<Equalizer>();
}

std::unique_ptr<CEffectStage> MakeEqualizerReference() {
    return std::make_unique<EqualizerReference>();
}

} // namespace kestrin
