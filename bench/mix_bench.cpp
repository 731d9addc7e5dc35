// Mixing: 32 looping sounds of different lengths, each with its own volume, pan and two
// effects (echo and equaliser), mixed at 44,100 Hz stereo, against a plain loop that only
// sums the same samples with constant gains (what the mixer cannot beat), measured in the
// same run; and the same mix without effects. Also the peak memory of 50 loaded sounds.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <random>
#include <vector>

#include "sound/mixer.h"

using namespace kestrin;

namespace {

constexpr int kSounds = 32;
constexpr size_t kBlock = 1024;
constexpr double kSeconds = 20; // of audio per run
constexpr int kRepeats = 3;

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

std::vector<std::shared_ptr<const PcmBuffer>> MakeSounds(int count, std::mt19937& rng) {
    std::vector<std::shared_ptr<const PcmBuffer>> sounds;
    std::uniform_real_distribution<float> sample(-0.1f, 0.1f);
    for (int i = 0; i < count; ++i) {
        auto pcm = std::make_shared<PcmBuffer>();
        pcm->samples.resize(size_t(kMixRate / 2 + 997 * i) * 2);
        for (float& s : pcm->samples) s = sample(rng);
        sounds.push_back(std::move(pcm));
    }
    return sounds;
}

// The mixer: best processor seconds for kSeconds of audio, and a checksum.
// `eqGain` in dB: the equaliser's default 0 dB band passes the sound through, so a lifted
// band shows what filtering costs.
double RunMixer(const std::vector<std::shared_ptr<const PcmBuffer>>& sounds, int32_t effects,
                double& checksum, double eqGain = 0) {
    double best = 1e300;
    for (int r = 0; r < kRepeats; ++r) {
        CMixer m;
        for (size_t i = 0; i < sounds.size(); ++i) {
            const int32_t id = m.Allocate(0, sounds[i]);
            m.Volume(id, 0, 0.5 + 0.01 * double(i));
            m.Pan(id, -0.5 + 0.03 * double(i));
            m.SetEffects(id, effects);
            if (SoundEffectParams* p = m.Effects(id)) p->equalizer[2] = eqGain;
            m.Play(id, true);
        }
        std::vector<float> out(kBlock * 2);
        checksum = 0;
        const size_t blocks = size_t(kSeconds * kMixRate / kBlock);
        const double start = CpuSeconds();
        for (size_t b = 0; b < blocks; ++b) {
            m.render_into(out.data(), kBlock);
            checksum += out[b % out.size()];
        }
        best = std::min(best, CpuSeconds() - start);
    }
    return best;
}

// The physical limit: the same samples summed with constant gains, looping by index.
double RunPlainSum(const std::vector<std::shared_ptr<const PcmBuffer>>& sounds, double& checksum) {
    double best = 1e300;
    for (int r = 0; r < kRepeats; ++r) {
        std::vector<size_t> position(sounds.size(), 0);
        std::vector<float> out(kBlock * 2);
        checksum = 0;
        const size_t blocks = size_t(kSeconds * kMixRate / kBlock);
        const double start = CpuSeconds();
        for (size_t b = 0; b < blocks; ++b) {
            std::fill(out.begin(), out.end(), 0.0f);
            for (size_t i = 0; i < sounds.size(); ++i) {
                const std::vector<float>& pcm = sounds[i]->samples;
                const size_t length = pcm.size() / 2;
                const float left = 0.5f, right = 0.4f;
                size_t p = position[i];
                for (size_t f = 0; f < kBlock; ++f) {
                    out[2 * f] += pcm[2 * p] * left;
                    out[2 * f + 1] += pcm[2 * p + 1] * right;
                    if (++p == length) p = 0;
                }
                position[i] = p;
            }
            checksum += out[b % out.size()];
        }
        best = std::min(best, CpuSeconds() - start);
    }
    return best;
}

} // namespace

int main() {
    std::mt19937 rng(4242);
    const auto sounds = MakeSounds(kSounds, rng);
    double mixSum = 0, bareSum = 0, plainSum = 0, liftedSum = 0;
    const double mixer = RunMixer(sounds, 2 | 64, mixSum);
    const double lifted = RunMixer(sounds, 2 | 64, liftedSum, 6);
    const double bare = RunMixer(sounds, 0, bareSum);
    const double plain = RunPlainSum(sounds, plainSum);
    std::printf("mixing %d looping sounds, %.0f s of 44,100 Hz stereo, best of %d\n", kSounds, kSeconds,
                kRepeats);
    std::printf("  %-24s %12s %14s\n", "", "cpu seconds", "x real time");
    std::printf("  %-24s %12.3f %14.0f\n", "mixer, echo + equaliser", mixer, kSeconds / mixer);
    std::printf("  %-24s %12.3f %14.0f\n", "mixer, echo + eq +6 dB", lifted, kSeconds / lifted);
    std::printf("  %-24s %12.3f %14.0f\n", "mixer, no effects", bare, kSeconds / bare);
    std::printf("  %-24s %12.3f %14.0f\n", "plain sum", plain, kSeconds / plain);
    std::printf("  ratio mixer / plain sum: %.2f (target: at most 3, the mixer at least 100x real time)\n",
                mixer / plain);
    std::printf("  ratio with the band lifted: %.2f\n", lifted / plain);
    std::printf("  checksums %.6f %.6f %.6f %.6f\n", mixSum, liftedSum, bareSum, plainSum);
    // 50 sounds of 3 seconds each held as the mixer holds them.
    std::vector<std::shared_ptr<const PcmBuffer>> loaded;
    for (int i = 0; i < 50; ++i) {
        auto pcm = std::make_shared<PcmBuffer>();
        pcm->samples.assign(size_t(3 * kMixRate) * 2, float(i) * 1e-3f);
        loaded.push_back(std::move(pcm));
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory with 50 sounds of 3 s loaded: %ld KiB\n", usage.ru_maxrss);
    return 0;
}
