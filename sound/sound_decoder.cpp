#include "sound/sound_decoder.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "sound/midi_renderer.h"

namespace kestrin {

namespace {
size_t g_max_decoded_frames = kMaxDecodedFrames;
} // namespace

size_t MaxDecodedFrames() {
    return g_max_decoded_frames;
}

void SetMaxDecodedFrames(size_t frames) {
    g_max_decoded_frames = frames == 0 || frames > kMaxDecodedFrames ? kMaxDecodedFrames : frames;
}


namespace {

// libsndfile reads the bytes through these callbacks, never from a file.
struct MemoryFile {
    std::span<const uint8_t> bytes;
    sf_count_t position = 0;
};

sf_count_t GetLength(void* user) {
    return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->bytes.size());
}

sf_count_t SeekTo(sf_count_t offset, int whence, void* user) {
    auto* file = static_cast<MemoryFile*>(user);
    const sf_count_t size = static_cast<sf_count_t>(file->bytes.size());
    sf_count_t base = 0;
    if (whence == SEEK_CUR) base = file->position;
    if (whence == SEEK_END) base = size;
    const sf_count_t to = base + offset;
    if (to < 0 || to > size) return -1;
    file->position = to;
    return to;
}

sf_count_t ReadInto(void* out, sf_count_t count, void* user) {
    auto* file = static_cast<MemoryFile*>(user);
    const sf_count_t size = static_cast<sf_count_t>(file->bytes.size());
    const sf_count_t n = std::clamp<sf_count_t>(size - file->position, 0, std::max<sf_count_t>(count, 0));
    if (n > 0) std::memcpy(out, file->bytes.data() + file->position, static_cast<size_t>(n));
    file->position += n;
    return n;
}

sf_count_t WriteNothing(const void*, sf_count_t, void*) {
    return 0;
}

sf_count_t Tell(void* user) {
    return static_cast<MemoryFile*>(user)->position;
}

// Rates a file may have; anything else is damage.
constexpr int kMinRate = 1000;
constexpr int kMaxRate = 384000;
constexpr int kMaxFileChannels = 64;

bool Refuse(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

bool Decode(std::span<const uint8_t> bytes, std::vector<float>& stereo, int& rate, std::string* error) {
    if (bytes.empty()) return Refuse(error, "no data");
    MemoryFile file{bytes, 0};
    SF_VIRTUAL_IO io{GetLength, SeekTo, ReadInto, WriteNothing, Tell};
    SF_INFO info{};
    SNDFILE* sf = sf_open_virtual(&io, SFM_READ, &info, &file);
    if (!sf) return Refuse(error, sf_strerror(nullptr));
    struct Closer {
        SNDFILE* sf;
        ~Closer() { sf_close(sf); }
    } closer{sf};
    if (info.channels < 1 || info.channels > kMaxFileChannels)
        return Refuse(error, "unsupported channel count");
    if (info.samplerate < kMinRate || info.samplerate > kMaxRate)
        return Refuse(error, "unsupported sample rate");
    rate = info.samplerate;
    // The length the header gives is only a hint: the frames are read until the data ends.
    const size_t channels = static_cast<size_t>(info.channels);
    const size_t limit = static_cast<size_t>(double(MaxDecodedFrames()) * rate / kMixRate) + 1;
    constexpr size_t kChunk = 4096;
    std::vector<float> chunk(kChunk * channels);
    stereo.clear();
    if (info.frames > 0) stereo.reserve(std::min(static_cast<size_t>(info.frames), limit) * 2);
    size_t frames = 0;
    while (frames < limit) {
        const sf_count_t want = static_cast<sf_count_t>(std::min(kChunk, limit - frames));
        const sf_count_t got = sf_readf_float(sf, chunk.data(), want);
        if (got <= 0) break;
        for (sf_count_t i = 0; i < got; ++i) {
            const float* frame = chunk.data() + size_t(i) * channels;
            // Mono plays on both sides; more than two channels keep the first two.
            stereo.push_back(frame[0]);
            stereo.push_back(channels > 1 ? frame[1] : frame[0]);
        }
        frames += static_cast<size_t>(got);
    }
    if (frames == 0) return Refuse(error, "no audio frames");
    // Damaged floating-point data would poison the whole mix.
    for (float& s : stereo)
        if (!std::isfinite(s)) s = 0;
    return true;
}

} // namespace

std::vector<float> ResampleStereo(const std::vector<float>& stereo, int32_t rate) {
    if (rate == kMixRate || stereo.empty()) return stereo;
    const double ratio = double(kMixRate) / rate;
    const size_t in = stereo.size() / 2;
    const size_t out = std::min(static_cast<size_t>(double(in) * ratio) + 16, MaxDecodedFrames());
    std::vector<float> result(out * 2);
    SRC_DATA data{};
    data.data_in = stereo.data();
    data.input_frames = static_cast<long>(in);
    data.data_out = result.data();
    data.output_frames = static_cast<long>(out);
    data.src_ratio = ratio;
    if (src_simple(&data, SRC_SINC_MEDIUM_QUALITY, kMixChannels) != 0) return {};
    result.resize(static_cast<size_t>(data.output_frames_gen) * 2);
    return result;
}

std::shared_ptr<const PcmBuffer> DecodeSound(std::span<const uint8_t> bytes, std::string* error,
                                             double tempo) {
    if (LooksLikeMidi(bytes)) return RenderMidi(bytes, error, tempo);
    std::vector<float> stereo;
    int rate = kMixRate;
    if (!Decode(bytes, stereo, rate, error)) return nullptr;
    auto pcm = std::make_shared<PcmBuffer>();
    pcm->samples = ResampleStereo(stereo, rate);
    if (pcm->Frames() > MaxDecodedFrames()) pcm->samples.resize(MaxDecodedFrames() * kMixChannels);
    if (pcm->samples.empty()) {
        Refuse(error, "resampling failed");
        return nullptr;
    }
    return pcm;
}

} // namespace kestrin
