#include "sound/wav_writer.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "sound/mixer.h"

namespace kestrin {

namespace {

// The header's sizes are 32-bit: a longer mix stops growing the file there.
constexpr uint64_t kMaxFrames = (uint64_t{0xFFFFFFFF} - 36) / 4;

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

} // namespace

int16_t PcmSample(float sample) {
    if (!(sample == sample)) return 0;
    return static_cast<int16_t>(std::lround(std::clamp(sample, -1.0f, 1.0f) * 32767.0f));
}

bool WavWriter::Open(const std::string& path) {
    (void)Close();
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) return false;
    frames_ = 0;
    failed_ = false;
    Header();
    return !failed_;
}

void WavWriter::Header() {
    const uint32_t data = static_cast<uint32_t>(frames_ * 4);
    std::vector<uint8_t> h;
    for (char c : std::string("RIFF")) h.push_back(uint8_t(c));
    PutLe(h, 36 + data, 4);
    for (char c : std::string("WAVEfmt ")) h.push_back(uint8_t(c));
    PutLe(h, 16, 4);
    PutLe(h, 1, 2); // PCM
    PutLe(h, kMixChannels, 2);
    PutLe(h, kMixRate, 4);
    PutLe(h, kMixRate * 4, 4);
    PutLe(h, 4, 2);
    PutLe(h, 16, 2);
    for (char c : std::string("data")) h.push_back(uint8_t(c));
    PutLe(h, data, 4);
    if (std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(h.data(), 1, h.size(), file_) != h.size())
        failed_ = true;
    std::fseek(file_, 0, SEEK_END);
}

void WavWriter::Write(const float* samples, size_t frames) {
    if (!file_) return;
    frames = static_cast<size_t>(std::min<uint64_t>(frames, kMaxFrames - frames_));
    std::vector<uint8_t> bytes;
    bytes.reserve(frames * 4);
    for (size_t i = 0; i < frames * 2; ++i) PutLe(bytes, static_cast<uint16_t>(PcmSample(samples[i])), 2);
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
    frames_ += frames;
}

bool WavWriter::Close() {
    if (!file_) return !failed_;
    Header();
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}

} // namespace kestrin
