// Each effect stage on an impulse, a step or a sine, against responses worked out from the
// parameters' meanings; the chain's order; a mixer slot hearing its chain.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <string>

#include "sound/effect.h"
#include "sound/mixer.h"

namespace kestrin {
namespace {

std::vector<float> Apply(CEffectStage& stage, const SoundEffectParams& p, std::vector<float> s) {
    // In blocks of odd sizes, as the mixer hands them over.
    for (size_t at = 0, block = 1; at < s.size() / 2; at += block, block = block * 3 % 1021 + 1)
        stage.Process(p, s.data() + 2 * at, std::min(block, s.size() / 2 - at));
    return s;
}

std::vector<float> Impulse(size_t frames, float left = 1, float right = 1) {
    std::vector<float> s(frames * 2, 0.0f);
    s[0] = left;
    s[1] = right;
    return s;
}

std::vector<float> SineWave(size_t frames, double hz, double amplitude) {
    std::vector<float> s;
    for (size_t i = 0; i < frames; ++i) {
        const float v = float(amplitude * std::sin(2 * std::numbers::pi * hz * double(i) / kMixRate));
        s.push_back(v);
        s.push_back(v);
    }
    return s;
}

double Peak(const std::vector<float>& s, size_t fromFrame, size_t toFrame, int channel = 0) {
    double peak = 0;
    for (size_t f = fromFrame; f < toFrame; ++f)
        peak = std::max(peak, double(std::fabs(s[2 * f + size_t(channel)])));
    return peak;
}

double Rms(const std::vector<float>& s, size_t fromFrame, size_t toFrame) {
    double sum = 0;
    for (size_t f = fromFrame; f < toFrame; ++f) sum += double(s[2 * f]) * s[2 * f];
    return std::sqrt(sum / double(toFrame - fromFrame));
}

TEST(SoundEffects, EchoRepeatsAtItsDelaysWithFeedback) {
    SoundEffectParams p;
    p.echo = {50, 50, 10, 20, 0}; // 441 and 882 frames
    auto echo = MakeEcho();
    const std::vector<float> out = Apply(*echo, p, Impulse(2000));
    // Left: 0.5 dry, then 0.5, 0.25, 0.125 every 441 frames; right every 882.
    for (size_t f = 0; f < 2000; ++f) {
        const float left = f == 0      ? 0.5f
                           : f == 441  ? 0.5f
                           : f == 882  ? 0.25f
                           : f == 1323 ? 0.125f
                           : f == 1764 ? 0.0625f
                                       : 0;
        const float right = f == 0 ? 0.5f : f == 882 ? 0.5f : f == 1764 ? 0.25f : 0;
        ASSERT_NEAR(out[2 * f], left, 1e-6) << f;
        ASSERT_NEAR(out[2 * f + 1], right, 1e-6) << f;
    }
    // With the pan delay the echoes change sides: left at 441, right at 441 + 882.
    p.echo = {100, 50, 10, 20, 1};
    auto swapped = MakeEcho();
    const std::vector<float> alt = Apply(*swapped, p, Impulse(2000, 1, 0));
    EXPECT_NEAR(alt[2 * 441], 1, 1e-6);
    EXPECT_NEAR(alt[2 * 1323 + 1], 0.5, 1e-6);
    EXPECT_NEAR(alt[2 * 1323], 0, 1e-6);
    EXPECT_NEAR(Peak(alt, 1, 441), 0, 1e-9);
}

TEST(SoundEffects, ChorusAndFlangerAreSweptDelays) {
    // Without depth the delay holds still: dry, then wet at the delay, then the feedback.
    SoundEffectParams p;
    p.chorus = {40, 0, 25, 1.1, 1, 10, 2};
    auto chorus = MakeChorus();
    std::vector<float> out = Apply(*chorus, p, Impulse(1000));
    EXPECT_NEAR(out[0], 0.6, 1e-6);
    EXPECT_NEAR(out[2 * 441], 0.4, 1e-6);
    EXPECT_NEAR(out[2 * 882], 0.4 * 0.25, 1e-6);
    EXPECT_NEAR(Peak(out, 1, 441), 0, 1e-9);
    // A sine wave at its default settings sweeps the delay: a long tone's echo comes at
    // 16 ms x (1 + 10% x wave), so the delayed copy of an impulse arrives between 14.4 and
    // 17.6 ms; the right channel's wave is 90 degrees on, so the two sides differ.
    SoundEffectParams d;
    std::vector<float> late(44100 * 2, 0.0f);
    const size_t at = 10000; // the wave is at sin(2 pi 1.1 x 10000 / 44100)
    late[2 * at] = late[2 * at + 1] = 1;
    auto swept = MakeChorus();
    out = Apply(*swept, d, late);
    const double wave = std::sin(2 * std::numbers::pi * 1.1 * at / kMixRate);
    const double delay = 16 * (1 + 0.1 * wave) * kMixRate / 1000;
    size_t peak = at + 1;
    for (size_t f = at + 1; f < at + 1000; ++f)
        if (std::fabs(out[2 * f]) > std::fabs(out[2 * peak])) peak = f;
    EXPECT_NEAR(double(peak - at), delay, 1.5);
    size_t peakRight = at + 1;
    for (size_t f = at + 1; f < at + 1000; ++f)
        if (std::fabs(out[2 * f + 1]) > std::fabs(out[2 * peakRight + 1])) peakRight = f;
    EXPECT_NE(peak, peakRight);
    // The flanger's delays are short: 2 ms (88 frames) without depth, negative feedback.
    p.flanger = {50, 0, -50, 0.25, 1, 2, 2};
    auto flanger = MakeFlanger();
    out = Apply(*flanger, p, Impulse(400));
    EXPECT_NEAR(out[0], 0.5, 1e-6);
    EXPECT_NEAR(out[2 * 88] + out[2 * 89], 0.5, 1e-6); // 88.2 frames, shared by the two
    EXPECT_LT(out[2 * 176] + out[2 * 177] + out[2 * 178], 0);
}

TEST(SoundEffects, GargleModulatesTheLevel) {
    SoundEffectParams p;
    p.gargle = {441, 1}; // square, 100 frames a period
    auto square = MakeGargle();
    std::vector<float> ones(300 * 2, 1.0f);
    std::vector<float> out = Apply(*square, p, ones);
    for (size_t f = 0; f < 300; ++f) ASSERT_EQ(out[2 * f], (f % 100) < 50 ? 1.0f : 0.0f) << f;
    p.gargle = {441, 0}; // triangle: 0 up to 1 at the half period and back
    auto triangle = MakeGargle();
    out = Apply(*triangle, p, ones);
    for (size_t f : {size_t(0), size_t(25), size_t(50), size_t(75), size_t(125)})
        EXPECT_NEAR(out[2 * f], f % 100 < 50 ? double(f % 100) / 50.0 : 2 - double(f % 100) / 50.0, 1e-6)
            << f;
}

TEST(SoundEffects, EqualizerLiftsItsBandOnly) {
    SoundEffectParams p;
    p.equalizer = {1000, 12, 6};
    const double lift = std::pow(10.0, 6.0 / 20);
    struct Tone {
        double hz;
        double gain;
        double tolerance;
    } tones[] = {{1000, lift, 0.01}, {60, 1, 0.02}, {15000, 1, 0.03}};
    for (const Tone& t : tones) {
        auto eq = MakeEqualizer();
        const std::vector<float> out = Apply(*eq, p, SineWave(22050, t.hz, 0.25));
        EXPECT_NEAR(Peak(out, 11025, 22050) / 0.25, t.gain, t.tolerance) << t.hz;
    }
    // 0 dB is the sound as it is.
    p.equalizer = {8000, 12, 0};
    auto flat = MakeEqualizer();
    const std::vector<float> in = SineWave(1000, 3000, 0.5);
    const std::vector<float> out = Apply(*flat, p, in);
    for (size_t i = 0; i < in.size(); ++i) ASSERT_NEAR(out[i], in[i], 1e-6) << i;
}

TEST(SoundEffects, ReverbTailsDecayAtTheirTime) {
    SoundEffectParams p;
    p.reverb = {0, 0, 1000, 0.5};
    auto reverb = MakeReverb();
    const std::vector<float> out = Apply(*reverb, p, Impulse(66150));
    EXPECT_NEAR(out[0], 1, 1e-6); // the sound itself passes
    // 60 dB in a second: 30 dB between the tail at 0.1 s and at 0.6 s (within a few dB:
    // the tail is not an exact exponential).
    const double early = Rms(out, 4410, 8820), later = Rms(out, 26460, 30870);
    EXPECT_GT(early, 0);
    EXPECT_NEAR(20 * std::log10(later / early), -30, 6);
    // A mix of -96 dB is no tail; the input gain scales everything.
    p.reverb = {-6, -96, 1000, 0.5};
    auto dry = MakeReverb();
    const std::vector<float> d = Apply(*dry, p, Impulse(5000));
    EXPECT_NEAR(d[0], std::pow(10.0, -6.0 / 20), 1e-6);
    EXPECT_NEAR(Peak(d, 1, 5000), 0, 1e-9);
    // The environmental reverb: the sound, then a tail 18 ms on, decaying in 1.49 s.
    auto room = MakeI3DL2Reverb();
    const std::vector<float> r = Apply(*room, SoundEffectParams(), Impulse(88200));
    EXPECT_NEAR(r[0], 1, 1e-6);
    EXPECT_NEAR(Peak(r, 1, 794), 0, 1e-9);
    const double e = Rms(r, 4410, 8820), l = Rms(r, 4410 + 44100, 8820 + 44100);
    EXPECT_NEAR(20 * std::log10(l / e), -60 * 1.0 / 1.49, 6);
}

TEST(SoundEffects, CompressorHoldsLevelsAboveItsThreshold) {
    SoundEffectParams p;
    p.compressor = {0, 1, 200, -20, 3, 0};
    std::vector<float> step(22050 * 2, 1.0f);
    auto compressor = MakeCompressor();
    std::vector<float> out = Apply(*compressor, p, step);
    // 0 dB in, 20 dB over: a third of that left, -13.3 dB.
    const double settled = std::pow(10.0, (-20 + 20.0 / 3) / 20);
    EXPECT_NEAR(out[2 * 22049], settled, 1e-3);
    // Below the threshold nothing changes; the gain after applies to all.
    p.compressor = {6, 1, 200, -20, 3, 0};
    auto quiet = MakeCompressor();
    out = Apply(*quiet, p, std::vector<float>(4410 * 2, 0.05f));
    EXPECT_NEAR(out[2 * 4409], 0.05 * std::pow(10.0, 6.0 / 20), 1e-4);
    // The predelay holds the sound back 4 ms (176 frames).
    p.compressor = {0, 10, 200, -20, 3, 4};
    auto late = MakeCompressor();
    out = Apply(*late, p, Impulse(400, 0.01f, 0.01f));
    EXPECT_NEAR(Peak(out, 0, 176), 0, 1e-9);
    EXPECT_NEAR(out[2 * 176], 0.01, 1e-4);
}

TEST(SoundEffects, DistortionClipsSoftly) {
    // The clipper: odd, rising, bounded by 1 + k with k = 30/85.
    const double k = 30.0 / 85;
    for (float x : {0.0f, 0.01f, 0.5f, 1.0f, 4.0f}) {
        EXPECT_NEAR(DistortionShape(x), (1 + k) * x / (1 + k * x), 1e-6) << x;
        EXPECT_EQ(DistortionShape(-x), -DistortionShape(x));
    }
    auto distortion = MakeDistortion();
    EXPECT_NEAR(Peak(Apply(*distortion, SoundEffectParams(), std::vector<float>(2000, 0.0f)), 0, 1000), 0, 0);
    // A quiet tone at the band's centre comes out at (1 + k) x -18 dB, near enough (the
    // low-pass at 8 kHz takes a little).
    auto tone = MakeDistortion();
    const std::vector<float> out = Apply(*tone, SoundEffectParams(), SineWave(22050, 2400, 0.01));
    EXPECT_NEAR(Peak(out, 11025, 22050) / 0.01, (1 + k) * std::pow(10.0, -18.0 / 20), 0.03);
}

TEST(SoundEffects, TheChainKeepsItsOrderAndTheMixerUsesIt) {
    EXPECT_EQ(MakeEffectChain(0).size(), 0u);
    EXPECT_EQ(MakeEffectChain(511).size(), 9u);
    EXPECT_EQ(MakeEffectChain(2 | 8).size(), 2u);
    // The echo (2) comes before the gargle (8): with a square gargle after an echo, the echo's
    // repeat lands in the gargle's silent half.
    CMixer m;
    auto pcm = std::make_shared<PcmBuffer>();
    pcm->samples.assign(2000 * 2, 0.0f);
    pcm->samples[0] = pcm->samples[1] = 1;
    const int32_t id = m.Allocate(0, pcm);
    m.SetEffects(id, 2 | 8);
    SoundEffectParams& p = *m.Effects(id);
    p.echo = {50, 0, 10, 10, 0}; // a repeat at 441
    p.gargle = {50, 1};          // 882 frames a period: on for 441
    m.Play(id, false);
    const std::vector<float> out = m.render(1000);
    EXPECT_NEAR(out[0], 0.5, 1e-6);     // echo's dry half, gargle on
    EXPECT_NEAR(out[2 * 441], 0, 1e-6); // the repeat, gargle off
    // Without the chain the impulse passes unchanged.
    m.SetEffects(id, 0);
    m.Play(id, false);
    EXPECT_EQ(m.render(1)[0], 1.0f);
}

} // namespace
} // namespace kestrin

namespace kestrin {
namespace {

// Compares two renderings sample by sample, within float rounding of the larger of 1 and
// the sample (feedback can build levels above full scale).
void ExpectClose(const std::vector<float>& fast, const std::vector<float>& plain, const char* what) {
    ASSERT_EQ(fast.size(), plain.size()) << what;
    size_t bad = 0;
    for (size_t i = 0; i < fast.size(); ++i) {
        const double tolerance = 2e-5 * std::max(1.0, double(std::fabs(plain[i])));
        if (!(std::fabs(double(fast[i]) - plain[i]) <= tolerance) && bad++ < 5)
            ADD_FAILURE() << what << ": sample " << i << " fast " << fast[i] << " plain " << plain[i];
    }
    EXPECT_EQ(bad, 0u) << what;
}

// The block versions of the echo and the equaliser against their plain computations, on
// noise in blocks of random sizes, with parameters changed between blocks now and then.
TEST(SoundEffects, BlockStagesMatchTheirPlainComputations) {
    std::mt19937 rng(20261211);
    std::uniform_real_distribution<float> noise(-1, 1);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int trial = 0; trial < 40; ++trial) {
        SCOPED_TRACE(trial);
        SoundEffectParams p;
        const auto shuffle = [&] {
            // Delays of whole and fractional samples, the shortest and longest included.
            const double delays[] = {1, 2000, 500, 1 + 1999 * unit(rng), 10.3, 0.5};
            p.echo = {100 * unit(rng), 100 * unit(rng), delays[rng() % 6], delays[rng() % 6],
                      double(rng() % 2)};
            const double gains[] = {0, 6, -15, 15, 30 * unit(rng) - 15};
            p.equalizer = {80 + 15920 * unit(rng), 1 + 35 * unit(rng), gains[rng() % 5]};
        };
        shuffle();
        auto echo = MakeEcho(), echoPlain = MakeEchoReference();
        auto eq = MakeEqualizer(), eqPlain = MakeEqualizerReference();
        const size_t frames = 20000 + rng() % 100000;
        std::vector<float> input(frames * 2);
        for (float& s : input) s = noise(rng) * 0.5f;
        std::vector<float> a = input, b = input, c = input, d = input;
        for (size_t at = 0; at < frames;) {
            const size_t block = std::min<size_t>(frames - at, 1 + rng() % (rng() % 4 == 0 ? 5000 : 300));
            if (rng() % 8 == 0) shuffle();
            echo->Process(p, a.data() + 2 * at, block);
            echoPlain->Process(p, b.data() + 2 * at, block);
            eq->Process(p, c.data() + 2 * at, block);
            eqPlain->Process(p, d.data() + 2 * at, block);
            at += block;
        }
        ExpectClose(a, b, "echo");
        ExpectClose(c, d, "equaliser");
    }
}

// The mixer's block sums and steady gains against its plain frame-at-a-time mix, on random
// scenes: voices of several lengths, looping or not, volumes, pans, fades, effects, 3D.
TEST(SoundMixer, BlockMixMatchesThePlainMix) {
    std::mt19937 rng(777);
    std::uniform_real_distribution<float> noise(-0.3f, 0.3f);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int trial = 0; trial < 20; ++trial) {
        SCOPED_TRACE(trial);
        CMixer fast, plain;
        plain.UseReferencePaths(true);
        const int sounds = 1 + int(rng() % 8);
        for (int i = 0; i < sounds; ++i) {
            auto pcm = std::make_shared<PcmBuffer>();
            pcm->samples.resize((1 + rng() % 30000) * 2);
            for (float& s : pcm->samples) s = noise(rng);
            const int32_t kind = int32_t(rng() % 4);
            const double volume = unit(rng), pan = 2 * unit(rng) - 1;
            const int32_t effects = int32_t(rng() % 512);
            for (CMixer* m : {&fast, &plain}) {
                const int32_t id = m->Allocate(kind, pcm, kind == 3 ? "media" + std::to_string(i) : "");
                m->Volume(id, 0, volume);
                m->Pan(id, pan);
                m->SetEffects(id, effects & (kEffectEcho | kEffectEqualizer | kEffectGargle));
                if (SoundEffectParams* e = m->Effects(id)) e->equalizer[2] = 6;
                if (Sound3D* place = m->Placement(id)) place->position = {3, 0, 4};
            }
        }
        std::vector<float> a, b;
        for (int block = 0; block < 30; ++block) {
            const auto id = int32_t(rng() % unsigned(sounds));
            const auto action = rng() % 6;
            const bool loop = rng() % 2 != 0;
            const double to = unit(rng);
            const int32_t time = int32_t(rng() % 300);
            for (CMixer* m : {&fast, &plain}) {
                if (action == 0) m->Play(id, loop);
                if (action == 1) m->Stop(id);
                if (action == 2) m->Volume(id, time, to);
            }
            const size_t frames = 1 + rng() % 3000;
            const std::vector<float> x = fast.render(frames), y = plain.render(frames);
            a.insert(a.end(), x.begin(), x.end());
            b.insert(b.end(), y.begin(), y.end());
        }
        ExpectClose(a, b, "mix");
    }
}

} // namespace
} // namespace kestrin
