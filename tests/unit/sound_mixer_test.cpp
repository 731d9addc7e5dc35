// The mixer's PCM, sample by sample: the volume, pan and global volume laws, fades, looping,
// background music replacing itself, the media channel, slot reuse and silence after stop.
// Expected values are computed here from the laws, not taken from the mixer.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "sound/mixer.h"

namespace kestrin {
namespace {

std::shared_ptr<const PcmBuffer> Pcm(std::vector<float> samples) {
    auto pcm = std::make_shared<PcmBuffer>();
    pcm->samples = std::move(samples);
    return pcm;
}

std::shared_ptr<const PcmBuffer> Flat(size_t frames, float left, float right) {
    std::vector<float> s;
    for (size_t i = 0; i < frames; ++i) {
        s.push_back(left);
        s.push_back(right);
    }
    return Pcm(std::move(s));
}

double Db(double hundredths) {
    return std::pow(10.0, hundredths / 2000.0);
}

constexpr double kTolerance = 1e-6;

TEST(SoundMixer, VolumeLaw) {
    struct Case {
        double value;
        int32_t level; // round(value * 9600) - 9600, then within [-9600, 0]
    } cases[] = {{1, 0},          {0.75, -2400}, {0.5, -4800}, {0.1, -8640},
                 {0.0001, -9599}, {0, -9600},    {-1, -9600},  {1.5, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        CMixer m;
        const int32_t id = m.Allocate(0, Flat(4, 0.5f, -0.25f));
        m.Volume(id, 0, c.value);
        EXPECT_EQ(m.CurrentVolume(id), c.level);
        m.Play(id, false);
        const std::vector<float> out = m.render(2);
        const double gain = c.level <= -9600 ? 0 : Db(c.level);
        EXPECT_NEAR(out[0], 0.5 * gain, kTolerance);
        EXPECT_NEAR(out[1], -0.25 * gain, kTolerance);
    }
    EXPECT_EQ(VolumeLevel(0.5), -4800);
    EXPECT_EQ(VolumeLevel(0.00005), -9600); // round(0.48) = 0
    EXPECT_EQ(VolumeLevel(0.00006), -9599); // round(0.576) = 1
}

TEST(SoundMixer, PanLaw) {
    struct Case {
        double value;
        double left, right; // gains
    } cases[] = {
        {0, 1, 1},
        {0.25, Db(-2500), 1},
        {-0.5, 1, Db(-5000)},
        {0.99995, Db(-10000), 1}, // round(9999.5) = 10000: the other side is silent
        {1, 0, 1},
        {-1, 1, 0},
        {3, 0, 1}, // beyond the end: as the end
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        CMixer m;
        const int32_t id = m.Allocate(2, Flat(4, 0.5f, 0.5f));
        m.Pan(id, c.value);
        m.Play(id, false);
        const std::vector<float> out = m.render(1);
        const double left = c.left < Db(-10000) + 1e-12 ? 0 : c.left;
        EXPECT_NEAR(out[0], 0.5 * left, kTolerance);
        EXPECT_NEAR(out[1], 0.5 * c.right, kTolerance);
    }
    EXPECT_EQ(PanLevel(0.33333), 3333);
    EXPECT_EQ(PanLevel(-0.00005), -1); // round half away from zero
}

TEST(SoundMixer, AFadeIsLinearInDecibelsAndEndsOnItsValue) {
    CMixer m;
    const int32_t id = m.Allocate(0, Flat(2000, 1, 1));
    m.Volume(id, 0, 1);
    m.Volume(id, 10, 0.5); // 441 frames from 0 to -4800
    m.Play(id, false);
    const std::vector<float> out = m.render(600);
    for (size_t k : {size_t(0), size_t(1), size_t(100), size_t(220), size_t(440)}) {
        SCOPED_TRACE(k);
        const double level = -4800.0 * double(k) / 441.0;
        EXPECT_NEAR(out[2 * k], Db(level), 1e-5);
        EXPECT_NEAR(out[2 * k + 1], Db(level), 1e-5);
    }
    for (size_t k : {size_t(441), size_t(599)}) EXPECT_NEAR(out[2 * k], Db(-4800), 1e-6) << k;
    EXPECT_EQ(m.CurrentVolume(id), -4800);

    // A fade goes on while the slot is silent, and a fade to 0 ends in silence.
    const int32_t quiet = m.Allocate(0, Flat(2000, 1, 1));
    m.Volume(quiet, 1000, 0); // 44100 frames
    (void)m.render(22050);
    EXPECT_NEAR(m.CurrentVolume(quiet), -4800, 1e-6);
    (void)m.render(22050);
    EXPECT_EQ(m.CurrentVolume(quiet), -9600);
    m.Play(quiet, false);
    EXPECT_EQ(m.render(1)[0], 0.0f);
}

TEST(SoundMixer, LoopingAndStopping) {
    CMixer m;
    const int32_t once = m.Allocate(0, Pcm({0.1f, -0.1f, 0.2f, -0.2f, 0.3f, -0.3f}));
    const int32_t loop = m.Allocate(0, Pcm({0.01f, 0.02f, 0.03f, 0.04f}));
    m.Play(once, false);
    m.Play(loop, true);
    EXPECT_TRUE(m.IsPlaying(once));
    const std::vector<float> out = m.render(5);
    const float want[] = {0.11f, -0.08f, 0.23f, -0.16f, 0.31f, -0.28f, 0.03f, 0.04f, 0.01f, 0.02f};
    for (size_t i = 0; i < 10; ++i) EXPECT_NEAR(out[i], want[i], 1e-7) << i;
    EXPECT_FALSE(m.IsPlaying(once)); // played through
    EXPECT_TRUE(m.IsPlaying(loop));
    m.Stop(loop);
    EXPECT_FALSE(m.IsPlaying(loop));
    for (float s : m.render(16)) EXPECT_EQ(s, 0.0f);
    // Playing a slot again starts another voice beside the one playing.
    m.Play(once, false);
    (void)m.render(1);
    m.Play(once, false);
    const std::vector<float> both = m.render(1);
    EXPECT_NEAR(both[0], 0.2f + 0.1f, 1e-7);
    m.StopAll();
    EXPECT_FALSE(m.IsPlaying(once));
    EXPECT_EQ(m.render(1)[0], 0.0f);
}

TEST(SoundMixer, BackgroundMusicReplacesTheOnePlaying) {
    CMixer m;
    const int32_t first = m.Allocate(1, Flat(100, 0.1f, 0.1f));
    const int32_t second = m.Allocate(1, Flat(100, 0.2f, 0.2f));
    const int32_t effect = m.Allocate(0, Flat(100, 0.4f, 0.4f));
    m.Play(first, true);
    m.Play(effect, false);
    (void)m.render(10);
    m.Play(second, true);
    EXPECT_FALSE(m.IsPlaying(first));
    EXPECT_TRUE(m.IsPlaying(second));
    EXPECT_TRUE(m.IsPlaying(effect));
    EXPECT_NEAR(m.render(1)[0], 0.6f, 1e-7);
    // Playing the background music again starts it over, once.
    m.Play(second, true);
    m.Stop(effect);
    EXPECT_NEAR(m.render(1)[0], 0.2f, 1e-7);
}

TEST(SoundMixer, TheMediaChannelPlaysOneFileAndLoopsByStartingOver) {
    CMixer m;
    const int32_t a = m.Allocate(3, Pcm({0.5f, 0.5f, 0.25f, 0.25f}), "/tmp/a.wav");
    const int32_t b = m.Allocate(3, Pcm({0.125f, 0.125f}), "/tmp/b.wav");
    // Volume and pan do nothing to the media channel, nor the global volume.
    m.Volume(a, 0, 0.5);
    m.Pan(a, 1);
    m.GlobalVolume(0.5);
    EXPECT_EQ(m.CurrentVolume(a), 0);
    m.Play(a, true);
    const std::vector<float> looped = m.render(5);
    const float want[] = {0.5f, 0.25f, 0.5f, 0.25f, 0.5f};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(looped[2 * i], want[i]) << i;
        EXPECT_EQ(looped[2 * i + 1], want[i]) << i;
    }
    m.Play(b, false);
    EXPECT_FALSE(m.IsPlaying(a));
    EXPECT_TRUE(m.IsPlaying(b));
    m.Stop(a); // not the channel's file: nothing happens
    EXPECT_TRUE(m.IsPlaying(b));
    EXPECT_EQ(m.render(2)[0], 0.125f);
    EXPECT_FALSE(m.IsPlaying(b));
    // A media slot without audio (the decoder refused it) plays nothing.
    const int32_t broken = m.Allocate(3, nullptr, "/tmp/c.mid");
    m.Play(broken, false);
    EXPECT_FALSE(m.IsPlaying(broken));
}

TEST(SoundMixer, SlotsReuseTheLowestFreeIndex) {
    CMixer m;
    EXPECT_EQ(m.Allocate(0, nullptr), 0);
    EXPECT_EQ(m.Allocate(0, nullptr), 1);
    EXPECT_EQ(m.Allocate(0, nullptr), 2);
    m.Free(1);
    m.Free(0);
    EXPECT_FALSE(m.InUse(1));
    EXPECT_EQ(m.Allocate(1, nullptr), 0);
    EXPECT_EQ(m.Allocate(2, nullptr), 1);
    EXPECT_EQ(m.Allocate(0, nullptr), 3);
    EXPECT_EQ(m.SlotCount(), 4);
    // Operations on ids outside the table or on free slots do nothing.
    m.Free(2);
    for (int32_t id : {-1, 2, 4, 1000}) {
        m.Play(id, true);
        m.Volume(id, 0, 0);
        m.Stop(id);
        EXPECT_FALSE(m.IsPlaying(id));
        EXPECT_EQ(m.Kind(id), -1);
    }
    m.FreeAll();
    EXPECT_EQ(m.SlotCount(), 0);
}

TEST(SoundMixer, GlobalVolume) {
    struct Case {
        double value;
        int32_t level;
    } cases[] = {{1, 1000}, {2, 1000}, {0.5, -4500}, {0.1, -8900}, {0, -10000}, {-1, -10000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(MasterLevel(c.value), c.level);
        CMixer m;
        const int32_t id = m.Allocate(0, Flat(2, 0.9f, -1.0f));
        m.GlobalVolume(c.value);
        EXPECT_EQ(m.Master(), c.level);
        m.Play(id, false);
        const std::vector<float> out = m.render(1);
        // The default global volume (+1000) is unity: a sound at volume 1 plays at its own
        // level, a full-scale one included, and never louder.
        const double gain = c.level <= -10000 ? 0 : Db(c.level - 1000);
        EXPECT_NEAR(out[0], 0.9 * gain, kTolerance);
        EXPECT_NEAR(out[1], -1.0 * gain, kTolerance);
    }
    CMixer fresh;
    EXPECT_EQ(fresh.Master(), 1000);
    const int32_t id = fresh.Allocate(0, Flat(2, 1.0f, -1.0f));
    fresh.Play(id, false);
    EXPECT_EQ(fresh.render(1)[0], 1.0f);
    EXPECT_EQ(fresh.render(1)[1], -1.0f);
}

TEST(SoundMixer, TempoIsKeptWithinItsRange) {
    CMixer m;
    EXPECT_EQ(m.TempoFactor(), 1);
    for (auto [factor, kept] : {std::pair{0.0, 0.01}, {2.5, 2.5}, {1000.0, 100.0}, {-3.0, 0.01}}) {
        m.Tempo(factor);
        EXPECT_EQ(m.TempoFactor(), kept) << factor;
    }
}

} // namespace
} // namespace kestrin

namespace kestrin {
namespace {

TEST(SoundMixer3D, DistanceAndCone) {
    const auto at = [](double x, double y, double z) {
        Sound3D p;
        p.position = {x, y, z};
        p.min_distance = 10;
        p.max_distance = 100;
        return p;
    };
    struct Distance {
        double x, y, z, gain;
    } distances[] = {{0, 0, 0, 1},     {3, 4, 0, 1},     {0, 0, 10, 1},     {0, -20, 0, 0.5},
                     {30, 40, 0, 0.2}, {0, 0, 100, 0.1}, {0, 0, -1000, 0.1}};
    for (const Distance& d : distances)
        EXPECT_NEAR(Placement3DGain(at(d.x, d.y, d.z)), d.gain, 1e-12) << d.x << " " << d.y << " " << d.z;
    // The defaults (minimum 1, maximum 1e9, no cone) leave a sound at the listener as it is.
    EXPECT_EQ(Placement3DGain(Sound3D()), 1);
    Sound3D zero = at(0, 0, 5);
    zero.min_distance = 0; // the built-in makes a negative minimum 0: silent off the listener
    EXPECT_EQ(Placement3DGain(zero), 0);

    // A sound at (0, 0, 10): the listener lies along -z from it.
    struct Cone {
        double ox, oy, oz;
        double level; // hundredths of a decibel
    } cones[] = {
        {0, 0, -1, 0},                      // pointing at the listener: inside
        {0, 0, 1, -3000},                   // pointing away: outside
        {1, 0, 0, -1500},                   // 90 degrees off, a cone of 180: halfway from 90 to 270
        {0, 1, -1, 0},                      // 45 degrees off, a cone of 90: the inner edge
        {0, 1, -0.57735026918962576, -500}, // 60 degrees off, a cone of 120: a sixth of the way
    };
    for (const Cone& c : cones) {
        Sound3D p = at(0, 0, 10);
        p.cone_orientation = {c.ox, c.oy, c.oz};
        p.cone_inside = 90;
        p.cone_outside = 270;
        p.cone_outside_volume = -3000;
        EXPECT_NEAR(Placement3DGain(p), Db(c.level), 1e-9) << c.ox << " " << c.oy << " " << c.oz;
    }

    // In the mix, only 3D slots are placed.
    CMixer m;
    const int32_t placed = m.Allocate(2, Flat(4, 1, 1));
    const int32_t flat = m.Allocate(0, Flat(4, 1, 1));
    *m.Placement(placed) = at(0, 0, 40);
    EXPECT_EQ(m.Placement(flat), nullptr);
    m.Play(placed, false);
    EXPECT_NEAR(m.render(1)[0], 0.25, 1e-7);
    m.Stop(placed);
    m.Play(flat, false);
    EXPECT_EQ(m.render(1)[0], 1.0f);
}

} // namespace
} // namespace kestrin

namespace kestrin {
namespace {

// A looping sine of `hz` whose loop holds whole cycles (44,100 frames: one second).
std::shared_ptr<const PcmBuffer> Sine(double hz) {
    std::vector<float> s;
    for (int f = 0; f < kMixRate; ++f) {
        const float v = static_cast<float>(0.5 * std::sin(2 * 3.14159265358979323846 * hz * f / kMixRate));
        s.push_back(v);
        s.push_back(v);
    }
    return Pcm(std::move(s));
}

double Peak(const std::vector<float>& stereo, int channel) {
    double peak = 0;
    for (size_t i = size_t(channel); i < stereo.size(); i += 2)
        peak = std::max(peak, double(std::fabs(stereo[i])));
    return peak;
}

// Frequency from the rising zero crossings of one channel.
double Frequency(const std::vector<float>& stereo) {
    size_t first = 0, last = 0, count = 0;
    for (size_t f = 1; f < stereo.size() / 2; ++f)
        if (stereo[2 * (f - 1)] < 0 && stereo[2 * f] >= 0) {
            if (count++ == 0) first = f;
            last = f;
        }
    return count > 1 ? double(count - 1) * kMixRate / double(last - first) : 0;
}

TEST(SoundMixer3D, LeftRightPlacement) {
    struct Case {
        double x, z;
        double left, right; // sqrt(2) cos / sin of (x / distance + 1) pi / 4, capped at 1
    } cases[] = {
        {0, 5, 1, 1},
        {5, 0, 0, 1},
        {-5, 0, 1, 0},
        {0, -5, 1, 1}, // behind: no left or right
        {3, 4, 1.4142135623730951 * std::cos(1.6 * 3.14159265358979323846 / 4), 1},
        {-3, -4, 1, 1.4142135623730951 * std::sin(0.4 * 3.14159265358979323846 / 4)},
    };
    for (const Case& c : cases) {
        Sound3D p;
        p.position = {c.x, 0, c.z};
        double left = 0, right = 0;
        Placement3DPan(p, left, right);
        EXPECT_NEAR(left, c.left, 1e-12) << c.x << " " << c.z;
        EXPECT_NEAR(right, c.right, 1e-12) << c.x << " " << c.z;
        // In the mix, on a sine, with the distance law on top (the minimum distance is 1).
        CMixer m;
        const int32_t id = m.Allocate(2, Sine(441));
        m.Placement(id)->position = p.position;
        m.Play(id, true);
        const std::vector<float> out = m.render(4410);
        EXPECT_NEAR(Peak(out, 0), 0.5 * c.left / 5, 1e-4);
        EXPECT_NEAR(Peak(out, 1), 0.5 * c.right / 5, 1e-4);
    }
    // At the listener a sound is centred.
    double left = 0, right = 0;
    Placement3DPan(Sound3D(), left, right);
    EXPECT_EQ(left, 1);
    EXPECT_EQ(right, 1);
}

TEST(SoundMixer3D, DopplerShift) {
    constexpr double c = kSpeedOfSound;
    struct Case {
        double vx, vz;
        double rate; // c / (c + speed away), within [0.5, 2]
    } cases[] = {
        {0, 0, 1},
        {0, c / 3, 0.75},       // moving away
        {0, -c / 4, 4.0 / 3.0}, // coming closer
        {c, 0, 1},              // across the line of sight
        {0, 5 * c, 0.5},        // faster than sound: held
        {0, -5 * c, 2},
    };
    for (const Case& k : cases) {
        Sound3D p;
        p.position = {0, 0, 1};
        p.velocity = {k.vx, 0, k.vz};
        EXPECT_NEAR(Placement3DPitch(p), k.rate, 1e-12) << k.vx << " " << k.vz;
        CMixer m;
        const int32_t id = m.Allocate(2, Sine(1000));
        *m.Placement(id) = p;
        m.Play(id, true);
        // Two seconds, so the loop is crossed at any rate.
        EXPECT_NEAR(Frequency(m.render(2 * kMixRate)), 1000 * k.rate, 1000 * k.rate * 2e-3)
            << k.vx << " " << k.vz;
    }
    // A sound at the listener, or with a broken velocity, is not shifted.
    Sound3D still;
    still.velocity = {0, 0, 100};
    EXPECT_EQ(Placement3DPitch(still), 1);
    still.position = {0, 0, 1};
    still.velocity = {0, 0, std::nan("")};
    EXPECT_EQ(Placement3DPitch(still), 1);
    // A shifted sound that does not loop ends once its samples are read.
    CMixer m;
    const int32_t id = m.Allocate(2, Sine(1000));
    m.Placement(id)->position = {0, 0, 1};
    m.Placement(id)->velocity = {0, 0, -c / 2};
    m.Play(id, false);
    m.render(kMixRate / 2 - 10);
    EXPECT_TRUE(m.IsPlaying(id));
    m.render(20);
    EXPECT_FALSE(m.IsPlaying(id));
}

} // namespace
} // namespace kestrin
