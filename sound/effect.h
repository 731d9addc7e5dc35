#pragma once
// The effect stages a slot's sound passes through before its volume and pan, in the chain's
// fixed order: chorus, echo, flanger, gargle, parametric equaliser, reverb, compressor,
// distortion, I3DL2 reverb. Each stage works on interleaved stereo at the mixer's rate, keeps
// its own state between blocks and reads its parameters (SoundEffectParams) before each
// block, so a setter takes effect at the next block without losing the sound's tail.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "sound/mixer.h"

namespace kestrin {

// Effect bits of a slot's chain.
inline constexpr int32_t kEffectChorus = 1;
inline constexpr int32_t kEffectEcho = 2;
inline constexpr int32_t kEffectFlanger = 4;
inline constexpr int32_t kEffectGargle = 8;
inline constexpr int32_t kEffectReverb = 16;
inline constexpr int32_t kEffectCompressor = 32;
inline constexpr int32_t kEffectEqualizer = 64;
inline constexpr int32_t kEffectDistortion = 128;
inline constexpr int32_t kEffectI3DL2Reverb = 256;

class CEffectStage {
public:
    virtual ~CEffectStage() = default;
    virtual void Process(const SoundEffectParams& params, float* stereo, size_t frames) = 0;
};

std::unique_ptr<CEffectStage> MakeChorus();
std::unique_ptr<CEffectStage> MakeEcho();
std::unique_ptr<CEffectStage> MakeFlanger();
std::unique_ptr<CEffectStage> MakeGargle();
std::unique_ptr<CEffectStage> MakeEqualizer();
std::unique_ptr<CEffectStage> MakeReverb();
std::unique_ptr<CEffectStage> MakeCompressor();
std::unique_ptr<CEffectStage> MakeDistortion();
std::unique_ptr<CEffectStage> MakeI3DL2Reverb();

// The plain computations of the stages that have a faster block version, kept to check it.
std::unique_ptr<CEffectStage> MakeEchoReference();
std::unique_ptr<CEffectStage> MakeEqualizerReference();

// The stages for an effect bit set, in the chain's order; `reference` takes the plain
// computations where a stage has two.
std::vector<std::unique_ptr<CEffectStage>> MakeEffectChain(int32_t flags, bool reference = false);

// A delay line of one channel read at a fractional delay (linear between samples).
class DelayLine {
public:
    explicit DelayLine(size_t capacity = 1) : buffer_(capacity + 2, 0.0f) {}
    void Push(float sample) {
        buffer_[write_] = sample;
        if (++write_ == buffer_.size()) write_ = 0;
    }
    // The sample pushed `delay` samples before the last one (0: the last one).
    float Read(double delay) const;
    size_t Capacity() const { return buffer_.size() - 2; }

private:
    std::vector<float> buffer_;
    size_t write_ = 0;
};

// A second-order filter (direct form I), one state a channel.
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1[2]{}, x2[2]{}, y1[2]{}, y2[2]{};
    float Run(int channel, float x);
};
// A peaking filter of `gainDb` at `centre` Hz, `octaves` wide.
Biquad PeakingFilter(double centre, double octaves, double gainDb);
// A band-pass filter (0 dB at the centre) of `centre` Hz, `widthHz` wide.
Biquad BandPassFilter(double centre, double widthHz);

// The low-frequency wave of chorus and flanger at `phase` cycles: 0 a triangle, else a sine,
// between -1 and 1.
double EffectWave(int32_t waveform, double phase);

} // namespace kestrin

namespace kestrin {

// A chorus or flanger: a delay swept by a low-frequency wave, the right channel's wave
// shifted by the phase setting, with feedback, mixed with the dry sound.
std::unique_ptr<CEffectStage> MakeModulatedDelay(std::array<double, 7> SoundEffectParams::*member,
                                                 double maxDelayMs);

// The distortion's clipper, for tests.
float DistortionShape(float x);

// The reverberation both reverbs use: four damped feedback combs and two all-pass filters a
// channel, tuned so the tail falls by 60 dB in `decayMs` (high frequencies in decayMs x
// hfRatio), after `predelayMs`.
class ReverbTank {
public:
    ReverbTank();
    void Tune(double decayMs, double hfRatio, double predelayMs);
    // The reverberated sound of one frame (stereo in, stereo out).
    void Run(float inLeft, float inRight, float& outLeft, float& outRight);

private:
    struct Comb {
        DelayLine line;
        size_t length = 1;
        double feedback = 0;
        double damp = 0;
        double filter = 0;
    };
    struct AllPass {
        DelayLine line;
        size_t length = 1;
    };
    Comb combs_[2][4];
    AllPass passes_[2][2];
    DelayLine predelay_[2];
    double predelay_frames_ = 0;
};

} // namespace kestrin
