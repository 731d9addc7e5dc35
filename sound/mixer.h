#pragma once
// The software mixer: a table of slots, each holding one decoded sound and the voices that
// play it, mixed into interleaved stereo floats by `render`. Pure C++ and deterministic, so
// tests read what a game plays sample by sample.
//
// Each slot's voices pass through its effect chain (effect.h) before volume and pan.
// Kinds 0 and 2 mix freely (a new play of a slot adds a voice beside the ones playing); kind 1
// is background music, of which one plays at a time; kind 3 is the single media channel,
// which plays one slot at a time and loops by starting over. Gains are in hundredths of a
// decibel, as the game's built-ins give them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kestrin {

inline constexpr int32_t kMixRate = 44100;
inline constexpr int32_t kMixChannels = 2;

// Decoded audio at the mixer's rate, interleaved left and right.
struct PcmBuffer {
    std::vector<float> samples;
    // A MIDI piece keeps its file, so a change of the background tempo can render it again;
    // `tempo` is the factor these samples were rendered at.
    std::shared_ptr<const std::vector<uint8_t>> midi;
    double tempo = 1;
    size_t Frames() const { return samples.size() / kMixChannels; }
};

// Levels in hundredths of a decibel.
inline constexpr int32_t kVolumeSilent = -9600; // a slot at or below this is not heard
inline constexpr int32_t kPanFull = 10000;      // the other channel is silent
inline constexpr int32_t kMasterMin = -10000;
inline constexpr int32_t kMasterMax = 1000;

// A level as a gain factor; `silent` and below give 0.
double LevelGain(double hundredthsDb, double silent);
// Slot volume 0...1 as hundredths of a decibel: round(value * 9600) - 9600.
int32_t VolumeLevel(double value);
// Pan -1...1 as hundredths of a decibel off the other channel: round(value * 10000).
int32_t PanLevel(double value);
// Global volume as the master level: round(value * 11000 - 10000) within [-10000, 1000].
int32_t MasterLevel(double value);
// The master level as a gain: the default +1000 is unity, so a sound at volume 1 plays at
// its file's own level.
double MasterGain(int32_t level);

// The effect parameters a slot keeps, in the built-ins' order, starting from the standard
// effects' defaults.
struct SoundEffectParams {
    // wet/dry mix, depth, feedback, frequency, waveform, delay, phase
    std::array<double, 7> chorus{50, 10, 25, 1.1, 1, 16, 3};
    // wet/dry mix, feedback, left delay, right delay, pan delay
    std::array<double, 5> echo{50, 50, 500, 500, 0};
    std::array<double, 7> flanger{50, 100, -50, 0.25, 1, 2, 2};
    // rate in Hz, wave shape
    std::array<double, 2> gargle{20, 0};
    // input gain, reverb mix, reverb time, high-frequency time ratio
    std::array<double, 4> reverb{0, 0, 1000, 0.001};
    // gain, attack, release, threshold, ratio, predelay
    std::array<double, 6> compressor{0, 10, 200, -20, 3, 4};
    // centre, bandwidth, gain
    std::array<double, 3> equalizer{8000, 12, 0};
};

// 3D placement a kind-2 slot keeps, heard from a listener at the origin.
struct Sound3D {
    std::array<double, 3> position{};
    std::array<double, 3> velocity{};
    double min_distance = 1;
    double max_distance = 1e9;
    std::array<double, 3> cone_orientation{0, 0, 1};
    int32_t cone_inside = 360;
    int32_t cone_outside = 360;
    int32_t cone_outside_volume = 0;
};

// The gain of a 3D sound: full up to the minimum distance, then falling with the distance
// (min / distance: -6 dB each time it doubles) until the maximum distance, beyond which it
// stays; times the cone's level, full inside the inner angle, the outside volume beyond the
// outer one and linear in hundredths of a decibel between.
double Placement3DGain(const Sound3D& p);

// The listener faces +z with +x on its right and +y up, and stands still. Sound travels at
// 343 units a second (a unit is a metre, the Doppler factor 1).
inline constexpr double kSpeedOfSound = 343;

// Left and right gains of a 3D sound from where it lies: s = x / distance is how far to the
// right it is (-1 ... 1); the channels follow the constant-power law cos/sin((s + 1) pi/4)
// raised by 3 dB and capped at 1, so a sound ahead (or at the listener) plays both sides at
// full level, and one straight to the right silences the left.
void Placement3DPan(const Sound3D& p, double& left, double& right);

// The Doppler shift of a 3D sound as the rate its samples are played at: c / (c + v), v the
// speed away from the listener (its velocity along the way from the listener), held within
// [-c/2, c] so the rate stays within [0.5, 2].
double Placement3DPitch(const Sound3D& p);

class CEffectStage;

class CMixer {
public:
    CMixer();
    ~CMixer();
    CMixer(const CMixer&) = delete;
    CMixer& operator=(const CMixer&) = delete;

    // At most this many voices of one slot play at once; the oldest gives way.
    static constexpr size_t kMaxVoicesPerSlot = 32;

    // Takes the lowest free slot (the table grows by one when none is free) for a sound with
    // this audio; `pcm` may be empty (a sound that plays nothing). Answers the slot id.
    int32_t Allocate(int32_t kind, std::shared_ptr<const PcmBuffer> pcm, std::string fname = {});
    void Free(int32_t id);
    void FreeAll();

    void Play(int32_t id, bool loop);
    void Stop(int32_t id);
    void StopAll();
    bool IsPlaying(int32_t id) const;

    // Volume 0...1 reached over `timeMs` milliseconds (the change is linear in decibels).
    void Volume(int32_t id, int32_t timeMs, double value);
    void Pan(int32_t id, double value);
    void SetEffects(int32_t id, int32_t flags);
    SoundEffectParams* Effects(int32_t id);
    Sound3D* Placement(int32_t id);

    void GlobalVolume(double value) { master_ = MasterLevel(value); }
    void Tempo(double factor);
    int32_t Master() const { return master_; }
    double TempoFactor() const { return tempo_; }

    // The background tempo paces MIDI pieces, which render at a tempo: these are the slots
    // whose piece was rendered at another tempo than the one set, with what they hold.
    std::vector<std::pair<int32_t, std::shared_ptr<const PcmBuffer>>> TempoStale() const;
    // Gives a slot that still holds `from` the same piece rendered at another tempo; its
    // voices keep their place in the music. False when the slot holds something else now.
    bool Retime(int32_t id, const std::shared_ptr<const PcmBuffer>& from,
                std::shared_ptr<const PcmBuffer> to);
    const PcmBuffer* Audio(int32_t id) const;

    // Mixes with the plain computations (a frame at a time, every voice and gain in double
    // precision, the effects' reference stages) instead of the block ones: what tests check
    // the fast mix against. Chains made later follow the setting.
    void UseReferencePaths(bool reference) { reference_ = reference; }

    // Mixes the next `frames` frames (stereo, interleaved) and moves every voice on.
    std::vector<float> render(size_t frames);
    void render_into(float* out, size_t frames);

    // What tests and the built-ins look at.
    int32_t SlotCount() const { return static_cast<int32_t>(slots_.size()); }
    bool InUse(int32_t id) const { return Slot(id) != nullptr; }
    int32_t Kind(int32_t id) const;
    const std::string& FileName(int32_t id) const;
    double CurrentVolume(int32_t id) const; // hundredths of a decibel
    int32_t CurrentPan(int32_t id) const;
    int32_t EffectFlags(int32_t id) const;
    int32_t MediaSlot() const { return media_; }

private:
    struct Voice {
        size_t position = 0;
        bool loop = false;
        double fraction = 0; // between samples, where a Doppler shift reads
    };
    struct RSoundSample {
        bool inuse = false;
        int32_t kind = 0;
        std::shared_ptr<const PcmBuffer> pcm;
        std::string fname;
        std::vector<Voice> voices;
        double volume = 0;    // hundredths of a decibel, now
        double volume_to = 0; // where a fade ends
        size_t fade_left = 0; // frames until it does
        int32_t pan = 0;
        int32_t effects = 0;
        SoundEffectParams params;
        std::vector<std::unique_ptr<CEffectStage>> chain;
        Sound3D placement;
    };

    RSoundSample* Slot(int32_t id);
    const RSoundSample* Slot(int32_t id) const;
    void MixSlot(RSoundSample& slot, float* out, size_t frames);
    size_t MixVoices(RSoundSample& slot, size_t frames);
    size_t MixVoicesReference(RSoundSample& slot, size_t frames);
    size_t MixVoicesShifted(RSoundSample& slot, size_t frames, double rate);
    static void AdvanceFade(RSoundSample& slot, size_t frames);

    std::vector<RSoundSample> slots_;
    std::vector<float> scratch_; // one slot's voices before its effects and gains
    int32_t master_ = kMasterMax;
    double tempo_ = 1;
    int32_t media_ = -1; // the slot the media channel holds
    bool reference_ = false;
};

} // namespace kestrin
