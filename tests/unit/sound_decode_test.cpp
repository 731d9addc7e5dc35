// Decoding sound files from memory: each format the tests can write, channel layouts,
// resampling to the mixer's rate, and damaged or foreign files refused without faults.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "sound/midi_renderer.h"
#include "sound/sound_decoder.h"
#include "sound/sound_system.h"
#include "tests/unit/project_fixture.h"
#include "tests/unit/sound_fixture.h"

namespace kestrin {
namespace {

using testing::EncodeSound;
using testing::Sine;

double Peak(const std::vector<float>& samples, size_t from, size_t to) {
    double peak = 0;
    for (size_t i = from; i < to && i < samples.size(); ++i)
        peak = std::max(peak, double(std::fabs(samples[i])));
    return peak;
}

TEST(SoundDecode, EachFormatGivesBackItsSamples) {
    struct Case {
        const char* name;
        int format;
        double tolerance; // lossy formats only come close
    } cases[] = {
        {"wav float", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0},
        {"wav 16-bit", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1.0 / 32768},
        {"wav 24-bit", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1.0 / 8388608},
        {"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1.0 / 32768},
        {"ogg vorbis", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 0.05},
        {"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 0.08},
    };
    const std::vector<float> source = Sine(8820, 441, 0.5);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> file = EncodeSound(source, 2, 44100, c.format);
        ASSERT_FALSE(file.empty()) << "this build cannot write " << c.name;
        std::string error;
        const auto pcm = DecodeSound(file, &error);
        ASSERT_TRUE(pcm) << error;
        if (c.tolerance == 0) {
            EXPECT_EQ(pcm->samples, source);
            continue;
        }
        if (c.format & SF_FORMAT_WAV || (c.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC) {
            ASSERT_EQ(pcm->Frames(), 8820u);
            for (size_t i = 0; i < source.size(); ++i)
                ASSERT_NEAR(pcm->samples[i], source[i], c.tolerance) << i;
            continue;
        }
        // Lossy coders add a delay and padding; the tone is there at its level.
        EXPECT_GE(pcm->Frames(), 8000u);
        EXPECT_NEAR(Peak(pcm->samples, 4000, 12000), 0.5, c.tolerance);
    }
}

TEST(SoundDecode, ChannelsAndRates) {
    // Mono plays on both sides.
    const std::vector<float> mono = {0.25f, -0.5f, 0.75f};
    auto pcm = DecodeSound(testing::WavFloat(mono, 1));
    ASSERT_TRUE(pcm);
    EXPECT_EQ(pcm->samples, (std::vector<float>{0.25f, 0.25f, -0.5f, -0.5f, 0.75f, 0.75f}));
    // Four channels keep the first two.
    pcm = DecodeSound(testing::WavFloat({0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f}, 4));
    ASSERT_TRUE(pcm);
    EXPECT_EQ(pcm->samples, (std::vector<float>{0.1f, 0.2f, 0.5f, 0.6f}));
    // Another rate is resampled: twice the frames from 22,050 Hz, the tone kept.
    pcm = DecodeSound(testing::WavFloat(Sine(11025, 441, 0.5, 2, 22050), 2, 22050));
    ASSERT_TRUE(pcm);
    EXPECT_NEAR(double(pcm->Frames()), 22050, 4);
    EXPECT_NEAR(Peak(pcm->samples, 2000, 40000), 0.5, 0.01);
    // At 44,100 / 441 Hz the period is 100 frames: the resampled tone keeps its pitch.
    EXPECT_NEAR(pcm->samples[2 * 5025], pcm->samples[2 * 5125], 0.01);
    EXPECT_NEAR(pcm->samples[2 * 5025], -pcm->samples[2 * 5075], 0.01);
}

TEST(SoundDecode, DamagedAndForeignFilesAreRefused) {
    std::vector<uint8_t> wav = testing::Wav16(Sine(100, 441, 0.5));
    std::vector<uint8_t> badRate = wav;
    badRate[24] = badRate[25] = badRate[26] = 0; // sample rate 0
    std::vector<uint8_t> badChannels = wav;
    badChannels[22] = 0; // no channels
    std::vector<uint8_t> noData(wav.begin(), wav.begin() + 44);
    std::vector<uint8_t> noise(4096);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = uint8_t(i * 131 + 7);
    const std::vector<uint8_t> midi = {'M', 'T', 'h', 'd', 0,   0, 0, 6, 0, 0, 0,    1,    0,
                                       96,  'M', 'T', 'r', 'k', 0, 0, 0, 4, 0, 0xFF, 0x2F, 0};
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {{"empty", {}},         {"header cut", std::vector<uint8_t>(wav.begin(), wav.begin() + 20)},
                 {"rate 0", badRate},   {"no channels", badChannels},
                 {"no frames", noData}, {"noise", noise},
                 {"midi", midi}};
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(DecodeSound(c.bytes, &error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
    }
    // A file cut in its data keeps the frames it has.
    const std::vector<uint8_t> cut(wav.begin(), wav.begin() + 44 + 40);
    const auto pcm = DecodeSound(cut);
    ASSERT_TRUE(pcm);
    EXPECT_EQ(pcm->Frames(), 10u);
}

class SoundLoad : public testing::SoundTest {};

TEST_F(SoundLoad, RefusedBytesMakeNoSlotAndRefusedFilesAKindThreeSlot) {
    EXPECT_EQ(SND_LoadMemory({1, 2, 3}, 0), -1);
    EXPECT_EQ(SND_LoadMemory(testing::Wav16(Sine(10, 441, 0.5)), 0), 0);
    EXPECT_EQ(SND_LoadFile("/nonexistent/file.wav", 0), -1);
    testing::TempFolder temp;
    const std::string file = (temp / "x.mid").string();
    testing::WriteTextFile(file, "not a sound");
    const int32_t id = SND_LoadFile(file, 0);
    EXPECT_EQ(id, 1);
    SND_Inspect([&](CMixer& m) {
        EXPECT_EQ(m.Kind(id), 3);
        EXPECT_EQ(m.FileName(id), file);
    });
    SND_Play(id, true);
    EXPECT_FALSE(SND_IsPlaying(id));
}

} // namespace
} // namespace kestrin

namespace kestrin {
namespace {

// A standard MIDI file of one track: a program change, then each note as (start, length) in
// ticks of 480 a quarter at 120 beats a minute (a second is 960 ticks).
std::vector<uint8_t> MidiFile(std::vector<std::pair<uint32_t, uint32_t>> notes, uint8_t program) {
    struct Event {
        uint32_t tick;
        std::vector<uint8_t> bytes;
    };
    std::vector<Event> events = {{0, {0xC0, program}}};
    for (auto [start, length] : notes) {
        events.push_back({start, {0x90, 69, 110}});
        events.push_back({start + length, {0x80, 69, 0}});
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const Event& a, const Event& b) { return a.tick < b.tick; });
    std::vector<uint8_t> track;
    uint32_t now = 0;
    auto delta = [&](uint32_t value) {
        uint8_t bytes[5];
        int n = 0;
        bytes[n++] = value & 0x7F;
        while (value >>= 7) bytes[n++] = uint8_t(0x80 | (value & 0x7F));
        while (n) track.push_back(bytes[--n]);
    };
    for (const Event& e : events) {
        delta(e.tick - now);
        now = e.tick;
        track.insert(track.end(), e.bytes.begin(), e.bytes.end());
    }
    delta(0);
    track.insert(track.end(), {0xFF, 0x2F, 0x00});
    std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
    const uint32_t size = uint32_t(track.size());
    for (int shift = 24; shift >= 0; shift -= 8) file.push_back(uint8_t(size >> shift));
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

std::vector<float> RenderMix(size_t frames) {
    std::vector<float> out(frames * 2);
    SND_Render(out.data(), frames);
    return out;
}

double WindowRms(const PcmBuffer& pcm, double from, double to) {
    const size_t a = size_t(from * kMixRate), b = std::min(size_t(to * kMixRate), pcm.Frames());
    double sum = 0;
    for (size_t f = a; f < b; ++f) sum += double(pcm.samples[2 * f]) * pcm.samples[2 * f];
    return b > a ? std::sqrt(sum / double(b - a)) : 0;
}

TEST(SoundMidi, NotesSoundAtTheirTimes) {
    if (MidiSoundFont().empty()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    // Two short notes of a glockenspiel (program 9), at 0 s and at 1 s.
    const std::vector<uint8_t> file = MidiFile({{0, 96}, {960, 96}}, 9);
    std::string error;
    const auto pcm = DecodeSound(file, &error);
    ASSERT_TRUE(pcm) << error;
    // The piece lasts 1.1 s, and its notes ring out half a second more.
    EXPECT_NEAR(double(pcm->Frames()) / kMixRate, 1.6, 0.1);
    const double first = WindowRms(*pcm, 0, 0.1), gap = WindowRms(*pcm, 0.9, 0.99),
                 second = WindowRms(*pcm, 1.0, 1.1), before = WindowRms(*pcm, 0.99, 1.0);
    EXPECT_GT(first, 0.01);
    EXPECT_GT(second, 0.01);
    EXPECT_LT(gap, second / 4);
    EXPECT_LT(before, second / 4);
    // The same file renders the same samples every time.
    EXPECT_EQ(DecodeSound(file)->samples, pcm->samples);
    // A MIDI sound loads into a slot of its own kind.
    testing::SoundTest::Reset();
    EXPECT_EQ(SND_LoadMemory(file, 1), 0);
    SND_Inspect([](CMixer& m) { EXPECT_EQ(m.Kind(0), 1); });
    testing::SoundTest::Reset();
    // Damaged MIDI data is refused.
    std::vector<uint8_t> cut(file.begin(), file.begin() + 20);
    EXPECT_FALSE(DecodeSound(cut));
    // A lowered length cap cuts the piece exactly there; 0 restores the ten minutes.
    SetMaxDecodedFrames(kMixRate / 2);
    EXPECT_EQ(DecodeSound(file)->Frames(), size_t(kMixRate / 2));
    SetMaxDecodedFrames(0);
    EXPECT_EQ(MaxDecodedFrames(), kMaxDecodedFrames);
    EXPECT_EQ(DecodeSound(file)->samples, pcm->samples);
}

// The first frame of the mix louder than a whisper.
size_t Onset(const std::vector<float>& stereo) {
    for (size_t i = 0; i < stereo.size(); ++i)
        if (std::fabs(stereo[i]) > 1e-3f) return i / 2;
    return SIZE_MAX;
}

TEST(SoundMidi, BackgroundTempoPacesTheMusic) {
    if (MidiSoundFont().empty()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    // One note written at 1 s (tick 960).
    const std::vector<uint8_t> file = MidiFile({{960, 96}}, 9);
    const size_t written = Onset(DecodeSound(file)->samples);
    ASSERT_NEAR(double(written), kMixRate, 256);
    struct Case {
        double tempo;
        double seconds;
    };
    for (const Case c : {Case{2, 0.5}, Case{0.5, 2}, Case{1, 1}}) {
        SCOPED_TRACE(c.tempo);
        // Set before the music loads...
        testing::SoundTest::Reset();
        SND_Tempo(c.tempo);
        const int32_t id = SND_LoadMemory(file, 1);
        ASSERT_EQ(id, 0);
        SND_Play(id, false);
        EXPECT_NEAR(double(Onset(RenderMix(3 * kMixRate))), c.seconds * kMixRate, 256);
        // ...or while it plays: the note keeps its place in the music.
        testing::SoundTest::Reset();
        SND_Play(SND_LoadMemory(file, 1), false);
        std::vector<float> head(size_t(kMixRate / 4) * 2);
        SND_Render(head.data(), kMixRate / 4);
        SND_Tempo(c.tempo);
        const double left = (1 - 0.25) / c.tempo; // seconds of music until the note
        EXPECT_NEAR(double(Onset(RenderMix(3 * kMixRate))), left * kMixRate, 256);
    }
    // The tempo is clamped as set.
    testing::SoundTest::Reset();
    SND_Tempo(0);
    SND_Inspect([](CMixer& m) { EXPECT_DOUBLE_EQ(m.TempoFactor(), 0.01); });
    testing::SoundTest::Reset();
}

} // namespace
} // namespace kestrin
