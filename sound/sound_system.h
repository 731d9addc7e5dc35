#pragma once
// The game's one mixer behind the operations the sound table and the built-ins use. Ids are
// mixer slots. The audio device (platform/) pulls the mix from another thread through
// SND_Render, so every operation takes the mixer's lock; decoding happens before it is
// taken.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sound/mixer.h"

namespace kestrin {

struct SoundHooks {
    // A message box (the platform's, or standard error).
    std::function<void(const std::string&)> show_message;
};
void SetSoundHooks(SoundHooks hooks);

// Starts the mixer when `start` is above 0 (a game without sounds starts it on first use).
void SND_Init(int32_t start);
void SND_End();
// A slot for the file, or -1 when it does not exist. A file the decoder refuses becomes a
// kind-3 slot with no audio.
int32_t SND_LoadFile(const std::string& fname, int32_t kind);
// A slot for the bytes, or -1 when they do not decode.
int32_t SND_LoadMemory(const std::vector<uint8_t>& bytes, int32_t kind);
// A kind-0 slot for audio already decoded at the mixer's rate (a video's sound track).
int32_t SND_LoadPcm(std::vector<float> samples);
void SND_Free(int32_t id);
void SND_FreeAll();
void SND_Play(int32_t id, bool loop);
void SND_Stop(int32_t id);
void SND_StopAll();
bool SND_IsPlaying(int32_t id);
void SND_Volume(int32_t id, int32_t time, double value);
void SND_Pan(int32_t id, double value);
void SND_SetEffects(int32_t id, int32_t flags);
// Runs `change` on the slot's effect parameters when its chain holds the effect `bit`, and
// on its 3D placement when it is a 3D slot.
void SND_EditEffects(int32_t id, int32_t bit, const std::function<void(SoundEffectParams&)>& change);
void SND_Edit3D(int32_t id, const std::function<void(Sound3D&)>& change);
void SND_GlobalVolume(double value);
void SND_Tempo(double factor);
void SND_SearchDirectory(const std::string& dir);
const std::string& SND_SearchFolder();

// The next frames of the mix, interleaved stereo at kMixRate.
void SND_Render(float* out, size_t frames);
// Runs `look` on the mixer under its lock (tests and queries).
void SND_Inspect(const std::function<void(CMixer&)>& look);

// The audio device (platform/). While one is attached and the steps do not clock the mix,
// the device's thread pulls the mix; otherwise the steps render it (StepsRenderTheMix) and
// feed what they made to the device.
void SND_AttachDevice(bool attached);
void SND_SetStepClocked(bool clocked);
bool SND_StepsRenderTheMix();
// What the device plays next; called on the device's thread.
void SND_DeviceRender(float* out, size_t frames);
// Frames the steps made, for the device to play (at most a second waits; older ones go).
void SND_Feed(const float* samples, size_t frames);

// Back to a fresh start: no mixer, no slots.
void SND_Reset();

} // namespace kestrin
