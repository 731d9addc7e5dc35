#include "sound/sound_system.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <filesystem>
#include <mutex>

#include "base/file_io.h"
#include "sound/midi_renderer.h"
#include "sound/sound_decoder.h"
#include "sound/sound_messages.h"

namespace kestrin {

namespace {

struct SoundSystem {
    std::mutex lock;
    CMixer mixer;
    bool started = false;
    std::string search_folder;
    SoundHooks hooks;
    std::atomic<bool> device = false;
    std::atomic<bool> step_clocked = false;
    std::mutex feed_lock;
    std::deque<float> feed;
};

// Never destroyed: sounds freed while the process exits still reach the mixer.
SoundSystem& System() {
    static auto* system = new SoundSystem;
    return *system;
}

// Creating the mixer leaves it empty at the global volume of 1.
void StartLocked(SoundSystem& s) {
    if (s.started) return;
    s.mixer.FreeAll();
    s.mixer.GlobalVolume(1);
    s.mixer.Tempo(1);
    s.started = true;
}

// Operations that start the mixer when it is not running yet.
template <class Work> auto Starting(Work work) {
    SoundSystem& s = System();
    std::lock_guard guard(s.lock);
    StartLocked(s);
    return work(s.mixer);
}

template <class Work> auto Running(Work work) {
    SoundSystem& s = System();
    std::lock_guard guard(s.lock);
    return work(s.mixer);
}

bool FileExists(const std::string& fname) {
    std::error_code ec;
    return !fname.empty() && std::filesystem::is_regular_file(fname, ec);
}

double CurrentTempo() {
    return Running([](CMixer& m) { return m.TempoFactor(); });
}

// Renders again, outside the lock, the MIDI pieces whose tempo is not the one set. A tempo
// set again meanwhile leaves the slot stale for the next round.
void RetimeMidi() {
    for (int round = 0; round < 4; ++round) {
        double tempo = 1;
        auto stale = Running([&](CMixer& m) {
            tempo = m.TempoFactor();
            return m.TempoStale();
        });
        if (stale.empty()) return;
        for (const auto& entry : stale) {
            std::shared_ptr<const PcmBuffer> to = RenderMidi(*entry.second->midi, nullptr, tempo);
            Running([&](CMixer& m) {
                if (m.TempoFactor() == tempo) m.Retime(entry.first, entry.second, std::move(to));
            });
        }
    }
}

// The media channel's file names are limited to what its player takes.
constexpr size_t kMaxMediaName = 127;

} // namespace

void SetSoundHooks(SoundHooks hooks) {
    System().hooks = std::move(hooks);
}

void SND_Init(int32_t start) {
    if (start > 0) Starting([](CMixer&) {});
}

void SND_End() {
    SoundSystem& s = System();
    std::lock_guard guard(s.lock);
    if (!s.started) return;
    s.mixer.FreeAll();
    s.started = false;
}

int32_t SND_LoadFile(const std::string& fname, int32_t kind) {
    if (!FileExists(fname)) return -1;
    std::shared_ptr<const PcmBuffer> pcm;
    std::vector<uint8_t> bytes;
    if (ReadWholeFile(fname, bytes)) pcm = DecodeSound(bytes, nullptr, CurrentTempo());
    // What the mixer cannot take plays through the media channel, which takes nothing
    // either: the sound stays, without audio.
    if (!pcm) kind = 3;
    return Starting(
        [&](CMixer& m) { return m.Allocate(kind, std::move(pcm), kind == 3 ? fname : std::string()); });
}

int32_t SND_LoadMemory(const std::vector<uint8_t>& bytes, int32_t kind) {
    std::shared_ptr<const PcmBuffer> pcm = DecodeSound(bytes, nullptr, CurrentTempo());
    if (!pcm || kind == 3) return -1;
    return Starting([&](CMixer& m) { return m.Allocate(kind, std::move(pcm)); });
}

int32_t SND_LoadPcm(std::vector<float> samples) {
    auto pcm = std::make_shared<PcmBuffer>();
    pcm->samples = std::move(samples);
    pcm->samples.resize(pcm->Frames() * kMixChannels);
    std::shared_ptr<const PcmBuffer> audio = std::move(pcm);
    return Starting([&](CMixer& m) { return m.Allocate(0, std::move(audio)); });
}

void SND_Free(int32_t id) {
    Starting([id](CMixer& m) { m.Free(id); });
}

void SND_FreeAll() {
    Running([](CMixer& m) { m.FreeAll(); });
}

void SND_Play(int32_t id, bool loop) {
    std::string fname;
    const int32_t kind = Running([&](CMixer& m) {
        fname = m.FileName(id);
        return m.Kind(id);
    });
    if (kind == 3) {
        if (fname.size() >= kMaxMediaName) {
            if (System().hooks.show_message) System().hooks.show_message(msg::kMusicNameTooLong);
            return;
        }
        if (!FileExists(fname)) return;
    }
    Running([&](CMixer& m) { m.Play(id, loop); });
}

void SND_Stop(int32_t id) {
    Running([id](CMixer& m) { m.Stop(id); });
}

void SND_StopAll() {
    Running([](CMixer& m) { m.StopAll(); });
}

bool SND_IsPlaying(int32_t id) {
    return Running([id](CMixer& m) { return m.IsPlaying(id); });
}

void SND_Volume(int32_t id, int32_t time, double value) {
    Starting([&](CMixer& m) { m.Volume(id, time, value); });
}

void SND_Pan(int32_t id, double value) {
    Starting([&](CMixer& m) { m.Pan(id, value); });
}

void SND_SetEffects(int32_t id, int32_t flags) {
    Starting([&](CMixer& m) { m.SetEffects(id, flags); });
}

void SND_EditEffects(int32_t id, int32_t bit, const std::function<void(SoundEffectParams&)>& change) {
    Starting([&](CMixer& m) {
        SoundEffectParams* p = m.Effects(id);
        if (p && (m.EffectFlags(id) & bit)) change(*p);
    });
}

void SND_Edit3D(int32_t id, const std::function<void(Sound3D&)>& change) {
    Starting([&](CMixer& m) {
        if (Sound3D* p = m.Placement(id)) change(*p);
    });
}

void SND_GlobalVolume(double value) {
    Starting([value](CMixer& m) { m.GlobalVolume(value); });
}

void SND_Tempo(double factor) {
    Starting([factor](CMixer& m) { m.Tempo(factor); });
    RetimeMidi();
}

void SND_SearchDirectory(const std::string& dir) {
    SoundSystem& s = System();
    std::lock_guard guard(s.lock);
    StartLocked(s);
    s.search_folder = dir;
}

const std::string& SND_SearchFolder() {
    return System().search_folder;
}

void SND_Render(float* out, size_t frames) {
    Running([&](CMixer& m) { m.render_into(out, frames); });
}

void SND_Inspect(const std::function<void(CMixer&)>& look) {
    Running([&](CMixer& m) { look(m); });
}

void SND_AttachDevice(bool attached) {
    System().device = attached;
}

void SND_SetStepClocked(bool clocked) {
    System().step_clocked = clocked;
}

bool SND_StepsRenderTheMix() {
    return !System().device || System().step_clocked;
}

void SND_DeviceRender(float* out, size_t frames) {
    SoundSystem& s = System();
    if (!s.step_clocked) return SND_Render(out, frames);
    std::lock_guard guard(s.feed_lock);
    const size_t take = std::min(frames * kMixChannels, s.feed.size());
    std::copy_n(s.feed.begin(), take, out);
    s.feed.erase(s.feed.begin(), s.feed.begin() + std::ptrdiff_t(take));
    std::fill(out + take, out + frames * kMixChannels, 0.0f);
}

void SND_Feed(const float* samples, size_t frames) {
    SoundSystem& s = System();
    if (!s.device) return;
    std::lock_guard guard(s.feed_lock);
    s.feed.insert(s.feed.end(), samples, samples + frames * kMixChannels);
    constexpr size_t kMaxWaiting = size_t{kMixRate} * kMixChannels;
    if (s.feed.size() > kMaxWaiting) s.feed.erase(s.feed.begin(), s.feed.end() - std::ptrdiff_t(kMaxWaiting));
}

void SND_Reset() {
    SoundSystem& s = System();
    std::lock_guard guard(s.lock);
    s.mixer.FreeAll();
    s.mixer.GlobalVolume(1);
    s.mixer.Tempo(1);
    s.started = false;
    s.search_folder.clear();
    s.step_clocked = false;
    std::lock_guard feed(s.feed_lock);
    s.feed.clear();
}

} // namespace kestrin
