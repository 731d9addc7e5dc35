#pragma once
// The mix written to a file as 16-bit stereo PCM WAV at the mixer's rate, as it is made; the
// header's sizes are filled in when the file is closed.

#include <cstdint>
#include <cstdio>
#include <string>

namespace kestrin {

// A mix sample as a 16-bit sample: clipped to [-1, 1], times 32767, rounded.
int16_t PcmSample(float sample);

class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter() { (void)Close(); }
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    bool Open(const std::string& path);
    bool IsOpen() const { return file_ != nullptr; }
    // Interleaved stereo frames.
    void Write(const float* samples, size_t frames);
    // False when anything could not be written.
    bool Close();
    uint64_t Frames() const { return frames_; }

private:
    void Header();

    std::FILE* file_ = nullptr;
    uint64_t frames_ = 0;
    bool failed_ = false;
};

} // namespace kestrin
