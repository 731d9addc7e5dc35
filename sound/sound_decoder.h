#pragma once
// Sound files decoded from memory (WAV, OGG/Vorbis, FLAC, MP3 and the other formats the
// decoding library knows, and MIDI files through the synthesiser) into stereo floats at the
// mixer's rate, resampled when the file has another rate.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "sound/mixer.h"

namespace kestrin {

// The longest sound kept: 10 minutes at the mixer's rate (about 200 MiB of floats). A
// longer (or hostile, highly compressed) file is cut there.
inline constexpr size_t kMaxDecodedFrames = size_t{kMixRate} * 600;

// The cap in force: kMaxDecodedFrames unless lowered. Fuzzing lowers it, since rendering ten
// minutes of a mutated MIDI file under the sanitizers outlasts any per-input time limit;
// 0 restores the default.
size_t MaxDecodedFrames();
void SetMaxDecodedFrames(size_t frames);

// The audio of a sound file, or none when the decoder refuses the bytes (`error` says why).
// A MIDI file is rendered at the background tempo `tempo`.
std::shared_ptr<const PcmBuffer> DecodeSound(std::span<const uint8_t> bytes, std::string* error = nullptr,
                                             double tempo = 1);

// Interleaved stereo at `rate` resampled to the mixer's rate.
std::vector<float> ResampleStereo(const std::vector<float>& stereo, int32_t rate);

} // namespace kestrin
