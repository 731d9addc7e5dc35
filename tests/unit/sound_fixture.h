#pragma once
// Shared pieces of the sound tests: sound files made in memory in any format the decoder
// takes, from samples the test computes, and a fresh sound state around each test.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "sound/sound.h"
#include "sound/sound_system.h"

namespace kestrin::testing {

// The bytes of a sound file holding `samples` (interleaved, `channels` a frame) at `rate`;
// empty when this build of the library cannot write the format.
inline std::vector<uint8_t> EncodeSound(const std::vector<float>& samples, int channels, int rate,
                                        int format) {
    struct Sink {
        std::vector<uint8_t> bytes;
        sf_count_t position = 0;
    } sink;
    SF_VIRTUAL_IO io{};
    io.get_filelen = [](void* u) { return sf_count_t(static_cast<Sink*>(u)->bytes.size()); };
    io.seek = [](sf_count_t offset, int whence, void* u) {
        auto* s = static_cast<Sink*>(u);
        const sf_count_t base = whence == SEEK_CUR   ? s->position
                                : whence == SEEK_END ? sf_count_t(s->bytes.size())
                                                     : 0;
        s->position = base + offset;
        return s->position;
    };
    io.read = [](void* out, sf_count_t count, void* u) {
        auto* s = static_cast<Sink*>(u);
        const sf_count_t n =
            std::max<sf_count_t>(0, std::min<sf_count_t>(count, sf_count_t(s->bytes.size()) - s->position));
        if (n > 0) std::memcpy(out, s->bytes.data() + s->position, size_t(n));
        s->position += n;
        return n;
    };
    io.write = [](const void* in, sf_count_t count, void* u) {
        auto* s = static_cast<Sink*>(u);
        if (size_t(s->position + count) > s->bytes.size()) s->bytes.resize(size_t(s->position + count));
        std::memcpy(s->bytes.data() + s->position, in, size_t(count));
        s->position += count;
        return count;
    };
    io.tell = [](void* u) { return static_cast<Sink*>(u)->position; };
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    if (!sf_format_check(&info)) return {};
    SNDFILE* sf = sf_open_virtual(&io, SFM_WRITE, &info, &sink);
    if (!sf) return {};
    sf_command(sf, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sf_writef_float(sf, samples.data(), sf_count_t(samples.size() / size_t(channels)));
    sf_close(sf);
    return sink.bytes;
}

inline std::vector<uint8_t> Wav16(const std::vector<float>& samples, int channels = 2, int rate = 44100) {
    return EncodeSound(samples, channels, rate, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
}

// A float WAV keeps the samples exactly, so a test can compare the mix with its own sums.
inline std::vector<uint8_t> WavFloat(const std::vector<float>& samples, int channels = 2, int rate = 44100) {
    return EncodeSound(samples, channels, rate, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
}

// `frames` frames of a sine of `hz` at `amplitude`, the same on each of `channels`.
inline std::vector<float> Sine(size_t frames, double hz, double amplitude, int channels = 2,
                               int rate = 44100) {
    std::vector<float> out;
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out.push_back(float(amplitude * std::sin(2 * std::numbers::pi * hz * double(i) / rate)));
    return out;
}

// Constant stereo frames.
inline std::vector<float> Constant(size_t frames, float left, float right) {
    std::vector<float> out;
    for (size_t i = 0; i < frames; ++i) {
        out.push_back(left);
        out.push_back(right);
    }
    return out;
}

// Each test starts and ends with no sounds and a fresh mixer.
class SoundTest : public ::testing::Test {
public:
    static void Reset() {
        Sound_ClearAll();
        SND_Reset();
        Sound_SetTempFolder("");
    }

protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
};

} // namespace kestrin::testing
