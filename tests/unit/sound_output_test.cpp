// The mix leaving the runner: the step clock's frame counts (44,100 / room_speed a step, the
// fraction carried), the 16-bit samples and the WAV file's header.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "game/audio_output.h"
#include "sound/sound_decoder.h"
#include "sound/wav_writer.h"
#include "tests/unit/project_fixture.h"
#include "tests/unit/sound_fixture.h"

namespace kestrin {
namespace {

TEST(SoundOutput, StepsAdvanceByTheRoomSpeedWithTheFractionCarried) {
    for (int32_t speed : {30, 60, 47, 7, 1, 1000}) {
        StepAudio audio;
        uint64_t total = 0;
        for (int64_t n = 1; n <= 500; ++n) {
            total += audio.NextFrames(speed);
            ASSERT_EQ(total, uint64_t(n * 44100 / speed)) << speed << " step " << n;
        }
    }
    // A change of room speed keeps the fraction made so far, in the new speed's terms.
    StepAudio audio;
    EXPECT_EQ(audio.NextFrames(47), 938u); // 938 + 14/47
    EXPECT_EQ(audio.NextFrames(47), 1876u - 938u);
    EXPECT_EQ(audio.NextFrames(94), 469u);  // 28/47 = 56/94, + 44100 = 469 + 70/94
    EXPECT_EQ(audio.NextFrames(0), 44100u); // a speed below 1 counts as 1
}

TEST(SoundOutput, SamplesAndHeader) {
    struct Case {
        float in;
        int16_t out;
    } cases[] = {{0, 0},        {1, 32767},      {-1, -32767}, {2, 32767}, {-7, -32767},
                 {0.5f, 16384}, {-0.25f, -8192}, {1e-5f, 0},   {NAN, 0},   {INFINITY, 32767}};
    for (const Case& c : cases) EXPECT_EQ(PcmSample(c.in), c.out) << c.in;

    testing::TempFolder temp;
    const std::string path = (temp / "mix.wav").string();
    {
        WavWriter w;
        ASSERT_TRUE(w.Open(path));
        const float frames[] = {0.5f, -0.5f, 1, -1, 0, 0.25f};
        w.Write(frames, 2);
        w.Write(frames + 4, 1);
        EXPECT_EQ(w.Frames(), 3u);
        ASSERT_TRUE(w.Close());
    }
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_EQ(bytes.size(), 44u + 12u);
    auto u32 = [&](size_t at) {
        return uint32_t(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24);
    };
    auto i16 = [&](size_t at) { return int16_t(bytes[at] | bytes[at + 1] << 8); };
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(u32(4), 36u + 12u);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(i16(20), 1);       // PCM
    EXPECT_EQ(i16(22), 2);       // stereo
    EXPECT_EQ(u32(24), 44100u);  // rate
    EXPECT_EQ(u32(28), 176400u); // bytes a second
    EXPECT_EQ(i16(34), 16);      // bits
    EXPECT_EQ(u32(40), 12u);
    const int16_t want[] = {16384, -16384, 32767, -32767, 0, 8192};
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(i16(44 + 2 * i), want[i]) << i;
    // The same file read back by the decoder.
    auto pcm = DecodeSound(bytes);
    ASSERT_TRUE(pcm);
    EXPECT_EQ(pcm->Frames(), 3u);

    WavWriter nowhere;
    EXPECT_FALSE(nowhere.Open((temp / "no/such/folder/mix.wav").string()));
}

} // namespace
} // namespace kestrin
