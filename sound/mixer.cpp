#include "sound/mixer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "sound/effect.h"

namespace kestrin {

namespace {

const std::string kNoName;

int32_t RoundLevel(double value) {
    if (!std::isfinite(value)) return value > 0 ? INT32_MAX : INT32_MIN;
    return static_cast<int32_t>(std::clamp(std::round(value), double(INT32_MIN), double(INT32_MAX)));
}

} // namespace

double LevelGain(double hundredthsDb, double silent) {
    if (hundredthsDb <= silent) return 0;
    return std::pow(10.0, hundredthsDb / 2000.0);
}

int32_t VolumeLevel(double value) {
    const int64_t level = int64_t{RoundLevel(value * 9600)} - 9600;
    return static_cast<int32_t>(std::clamp<int64_t>(level, INT32_MIN, INT32_MAX));
}

int32_t PanLevel(double value) {
    return RoundLevel(value * 10000);
}

int32_t MasterLevel(double value) {
    return std::clamp(RoundLevel(value * 11000 - 10000), kMasterMin, kMasterMax);
}

double MasterGain(int32_t level) {
    // The master level runs from -10000 to +1000 with +1000 set at start; a mix that the
    // default left louder than its sources would clip at full volume, so +1000 is unity.
    return LevelGain(double(level) - kMasterMax, kMasterMin - kMasterMax);
}

double Placement3DGain(const Sound3D& p) {
    const double distance = std::hypot(p.position[0], p.position[1], p.position[2]);
    const double nearest = std::max(p.min_distance, 0.0);
    const double farthest = std::max(p.max_distance, nearest);
    double gain = 1;
    if (distance > nearest) gain = nearest / std::min(distance, farthest);
    if (!std::isfinite(gain)) gain = 0;
    const int32_t inside = std::clamp(p.cone_inside, 0, 360);
    const int32_t outside = std::clamp(p.cone_outside, inside, 360);
    const double length = std::hypot(p.cone_orientation[0], p.cone_orientation[1], p.cone_orientation[2]);
    if (inside == 360 || distance == 0 || !(length > 0) || !std::isfinite(length) || !std::isfinite(distance))
        return gain;
    // The angle between where the cone points and the way to the listener, as a cone's
    // full angle.
    double cosine = 0;
    for (int i = 0; i < 3; ++i) cosine -= p.cone_orientation[size_t(i)] * p.position[size_t(i)];
    cosine = std::clamp(cosine / (length * distance), -1.0, 1.0);
    const double angle = 2 * std::acos(cosine) * 180 / 3.14159265358979323846;
    const double outer = std::clamp(p.cone_outside_volume, -10000, 0);
    double level = 0;
    if (angle >= outside)
        level = outer;
    else if (angle > inside)
        level = outer * (angle - inside) / double(outside - inside);
    return gain * LevelGain(level, -10000);
}

void Placement3DPan(const Sound3D& p, double& left, double& right) {
    left = right = 1;
    const double distance = std::hypot(p.position[0], p.position[1], p.position[2]);
    if (!(distance > 0) || !std::isfinite(distance)) return;
    const double side = std::clamp(p.position[0] / distance, -1.0, 1.0);
    const double angle = (side + 1) * std::numbers::pi / 4;
    left = std::min(1.0, std::numbers::sqrt2 * std::cos(angle));
    right = std::min(1.0, std::numbers::sqrt2 * std::sin(angle));
    left = std::max(left, 0.0);
    right = std::max(right, 0.0);
}

double Placement3DPitch(const Sound3D& p) {
    const double distance = std::hypot(p.position[0], p.position[1], p.position[2]);
    if (!(distance > 0) || !std::isfinite(distance)) return 1;
    double away = 0;
    for (size_t i = 0; i < 3; ++i) away += p.velocity[i] * p.position[i];
    away /= distance;
    if (!std::isfinite(away)) return 1;
    away = std::clamp(away, -kSpeedOfSound / 2, kSpeedOfSound);
    return kSpeedOfSound / (kSpeedOfSound + away);
}

CMixer::CMixer() = default;
CMixer::~CMixer() = default;

CMixer::RSoundSample* CMixer::Slot(int32_t id) {
    if (id < 0 || id >= SlotCount() || !slots_[size_t(id)].inuse) return nullptr;
    return &slots_[size_t(id)];
}

const CMixer::RSoundSample* CMixer::Slot(int32_t id) const {
    return const_cast<CMixer*>(this)->Slot(id);
}

int32_t CMixer::Allocate(int32_t kind, std::shared_ptr<const PcmBuffer> pcm, std::string fname) {
    size_t id = 0;
    while (id < slots_.size() && slots_[id].inuse) ++id;
    if (id == slots_.size()) slots_.emplace_back();
    RSoundSample& slot = slots_[id];
    slot = RSoundSample();
    slot.inuse = true;
    slot.kind = std::clamp(kind, 0, 3);
    slot.pcm = std::move(pcm);
    slot.fname = std::move(fname);
    return static_cast<int32_t>(id);
}

void CMixer::Free(int32_t id) {
    RSoundSample* slot = Slot(id);
    if (!slot) return;
    Stop(id);
    *slot = RSoundSample();
    if (media_ == id) media_ = -1;
}

void CMixer::FreeAll() {
    for (int32_t id = 0; id < SlotCount(); ++id) Free(id);
    slots_.clear();
    media_ = -1;
}

void CMixer::Play(int32_t id, bool loop) {
    RSoundSample* slot = Slot(id);
    if (!slot) return;
    if (slot->kind == 3) {
        // One file at a time: the media channel gives up what it played and starts over.
        if (media_ >= 0)
            if (RSoundSample* playing = Slot(media_)) playing->voices.clear();
        media_ = id;
        slot->voices.clear();
        if (slot->pcm && slot->pcm->Frames() > 0) slot->voices.push_back({0, loop});
        return;
    }
    if (!slot->pcm || slot->pcm->Frames() == 0) return;
    if (slot->kind == 1) {
        // Background music replaces the background music that plays, itself included.
        for (RSoundSample& other : slots_)
            if (other.inuse && other.kind == 1) other.voices.clear();
    }
    if (slot->voices.size() >= kMaxVoicesPerSlot) slot->voices.erase(slot->voices.begin());
    slot->voices.push_back({0, loop});
}

void CMixer::Stop(int32_t id) {
    RSoundSample* slot = Slot(id);
    if (!slot) return;
    // The media channel stops only for the file it holds.
    if (slot->kind == 3 && (media_ < 0 || FileName(media_) != slot->fname)) return;
    if (slot->kind == 3) {
        if (RSoundSample* playing = Slot(media_)) playing->voices.clear();
    }
    slot->voices.clear();
}

void CMixer::StopAll() {
    for (int32_t id = 0; id < SlotCount(); ++id) Stop(id);
}

bool CMixer::IsPlaying(int32_t id) const {
    const RSoundSample* slot = Slot(id);
    if (!slot) return false;
    if (slot->kind == 3) {
        const RSoundSample* playing = Slot(media_);
        return playing && playing->fname == slot->fname && !playing->voices.empty();
    }
    return !slot->voices.empty();
}

void CMixer::Volume(int32_t id, int32_t timeMs, double value) {
    RSoundSample* slot = Slot(id);
    if (!slot || slot->kind == 3) return;
    // Above 0 dB the level would amplify (and soon clip); at -96 dB and below it is silent.
    const double level = std::clamp(VolumeLevel(value), kVolumeSilent, 0);
    const int64_t frames = timeMs > 0 ? std::llround(double(timeMs) * kMixRate / 1000.0) : 0;
    slot->volume_to = level;
    slot->fade_left = static_cast<size_t>(frames);
    if (frames == 0) slot->volume = level;
}

void CMixer::Pan(int32_t id, double value) {
    RSoundSample* slot = Slot(id);
    if (!slot || slot->kind == 3) return;
    slot->pan = std::clamp(PanLevel(value), -kPanFull, kPanFull);
}

void CMixer::SetEffects(int32_t id, int32_t flags) {
    RSoundSample* slot = Slot(id);
    if (!slot || slot->kind == 3) return;
    slot->effects = flags & 511;
    // A new chain starts from the effects' own settings.
    slot->params = SoundEffectParams();
    slot->chain = MakeEffectChain(slot->effects, reference_);
}

SoundEffectParams* CMixer::Effects(int32_t id) {
    RSoundSample* slot = Slot(id);
    return slot && slot->kind != 3 ? &slot->params : nullptr;
}

Sound3D* CMixer::Placement(int32_t id) {
    RSoundSample* slot = Slot(id);
    return slot && slot->kind == 2 ? &slot->placement : nullptr;
}

void CMixer::Tempo(double factor) {
    if (factor != factor) factor = 1;
    tempo_ = std::clamp(factor, 0.01, 100.0);
}

std::vector<std::pair<int32_t, std::shared_ptr<const PcmBuffer>>> CMixer::TempoStale() const {
    std::vector<std::pair<int32_t, std::shared_ptr<const PcmBuffer>>> stale;
    for (int32_t id = 0; id < SlotCount(); ++id) {
        const RSoundSample& slot = slots_[size_t(id)];
        if (slot.inuse && slot.pcm && slot.pcm->midi && slot.pcm->tempo != tempo_)
            stale.emplace_back(id, slot.pcm);
    }
    return stale;
}

bool CMixer::Retime(int32_t id, const std::shared_ptr<const PcmBuffer>& from,
                    std::shared_ptr<const PcmBuffer> to) {
    RSoundSample* slot = Slot(id);
    if (!slot || slot->pcm != from || !to) return false;
    // A place in the music lies at frames inversely proportional to the tempo.
    const double scale = from->tempo / to->tempo;
    const size_t length = to->Frames();
    for (Voice& v : slot->voices) v.position = static_cast<size_t>(std::llround(double(v.position) * scale));
    std::erase_if(slot->voices, [length](const Voice& v) { return !v.loop && v.position >= length; });
    for (Voice& v : slot->voices)
        if (v.position >= length) v.position = length > 0 ? v.position % length : 0;
    if (length == 0) slot->voices.clear();
    slot->pcm = std::move(to);
    return true;
}

const PcmBuffer* CMixer::Audio(int32_t id) const {
    const RSoundSample* slot = Slot(id);
    return slot ? slot->pcm.get() : nullptr;
}

int32_t CMixer::Kind(int32_t id) const {
    const RSoundSample* slot = Slot(id);
    return slot ? slot->kind : -1;
}

const std::string& CMixer::FileName(int32_t id) const {
    const RSoundSample* slot = Slot(id);
    return slot ? slot->fname : kNoName;
}

double CMixer::CurrentVolume(int32_t id) const {
    const RSoundSample* slot = Slot(id);
    return slot ? slot->volume : 0;
}

int32_t CMixer::CurrentPan(int32_t id) const {
    const RSoundSample* slot = Slot(id);
    return slot ? slot->pan : 0;
}

int32_t CMixer::EffectFlags(int32_t id) const {
    const RSoundSample* slot = Slot(id);
    return slot ? slot->effects : 0;
}

std::vector<float> CMixer::render(size_t frames) {
    std::vector<float> out(frames * kMixChannels, 0.0f);
    render_into(out.data(), frames);
    return out;
}

void CMixer::render_into(float* out, size_t frames) {
    std::fill(out, out + frames * kMixChannels, 0.0f);
    for (RSoundSample& slot : slots_) {
        if (!slot.inuse) continue;
        if (!slot.voices.empty()) {
            MixSlot(slot, out, frames);
        } else {
            AdvanceFade(slot, frames);
        }
    }
}

// A fade goes on in time whether or not the slot plays.
void CMixer::AdvanceFade(RSoundSample& slot, size_t frames) {
    if (slot.fade_left == 0 || frames == 0) return;
    if (frames >= slot.fade_left) {
        slot.volume = slot.volume_to;
        slot.fade_left = 0;
    } else {
        slot.volume += (slot.volume_to - slot.volume) * double(frames) / double(slot.fade_left);
        slot.fade_left -= frames;
    }
}

// The voices summed into scratch_ at their own level, up to where the last one ends, a run
// of samples at a time: each voice adds what it has until its end (or the block's), then
// starts over when it loops.
size_t CMixer::MixVoices(RSoundSample& slot, size_t frames) {
    const float* pcm = slot.pcm->samples.data();
    const size_t length = slot.pcm->Frames();
    float* __restrict mix = scratch_.data();
    size_t made = 0;
    bool first = true;
    for (Voice& v : slot.voices) {
        // The first voice is copied; the others add to it, over silence past its end.
        if (!first && made < frames) std::fill(mix + 2 * made, mix + 2 * frames, 0.0f);
        size_t f = 0;
        while (f < frames) {
            const size_t n = std::min(frames - f, length - v.position);
            const float* __restrict from = pcm + 2 * v.position;
            float* __restrict to = mix + 2 * f;
            if (first)
                std::copy_n(from, 2 * n, to);
            else
                for (size_t i = 0; i < 2 * n; ++i) to[i] += from[i];
            f += n;
            v.position += n;
            if (v.position < length) break;
            if (!v.loop) break;
            v.position = 0;
        }
        made = std::max(made, f);
        first = false;
    }
    std::erase_if(slot.voices, [length](const Voice& v) { return v.position >= length; });
    return made;
}

// The plain sum, a frame at a time over every voice: the reference for MixVoices.
size_t CMixer::MixVoicesReference(RSoundSample& slot, size_t frames) {
    const std::vector<float>& pcm = slot.pcm->samples;
    const size_t length = slot.pcm->Frames();
    size_t made = 0;
    for (; made < frames && !slot.voices.empty(); ++made) {
        float l = 0, r = 0;
        bool ended = false;
        for (Voice& v : slot.voices) {
            l += pcm[v.position * 2];
            r += pcm[v.position * 2 + 1];
            ++v.position;
            if (v.position >= length) {
                if (v.loop)
                    v.position = 0;
                else
                    ended = true;
            }
        }
        scratch_[made * 2] = l;
        scratch_[made * 2 + 1] = r;
        if (ended) std::erase_if(slot.voices, [length](const Voice& v) { return v.position >= length; });
    }
    return made;
}

// As MixVoices, reading `rate` samples a frame, linearly between samples (the Doppler
// shift). A voice's last sample fades towards silence, or towards its start when it loops.
size_t CMixer::MixVoicesShifted(RSoundSample& slot, size_t frames, double rate) {
    const std::vector<float>& pcm = slot.pcm->samples;
    const size_t length = slot.pcm->Frames();
    size_t made = 0;
    for (; made < frames && !slot.voices.empty(); ++made) {
        float l = 0, r = 0;
        bool ended = false;
        for (Voice& v : slot.voices) {
            const size_t next = v.position + 1 < length ? v.position + 1 : (v.loop ? 0 : length);
            const float t = static_cast<float>(v.fraction);
            const float nl = next < length ? pcm[next * 2] : 0.0f,
                        nr = next < length ? pcm[next * 2 + 1] : 0.0f;
            l += pcm[v.position * 2] + (nl - pcm[v.position * 2]) * t;
            r += pcm[v.position * 2 + 1] + (nr - pcm[v.position * 2 + 1]) * t;
            v.fraction += rate;
            const double whole = std::floor(v.fraction);
            v.fraction -= whole;
            v.position += static_cast<size_t>(whole);
            if (v.position >= length) {
                if (v.loop)
                    v.position %= length;
                else
                    ended = true;
            }
        }
        scratch_[made * 2] = l;
        scratch_[made * 2 + 1] = r;
        if (ended) std::erase_if(slot.voices, [length](const Voice& v) { return v.position >= length; });
    }
    return made;
}

void CMixer::MixSlot(RSoundSample& slot, float* out, size_t frames) {
    // The plain and shifted sums add into silence; the block sum writes what it makes.
    if (scratch_.size() < frames * kMixChannels) scratch_.resize(frames * kMixChannels);
    if (reference_ || slot.kind == 2) std::fill_n(scratch_.begin(), frames * kMixChannels, 0.0f);
    // A 3D slot's place and motion hold still while a block is mixed.
    const double rate = slot.kind == 2 ? Placement3DPitch(slot.placement) : 1.0;
    const size_t made = rate != 1.0  ? MixVoicesShifted(slot, frames, rate)
                        : reference_ ? MixVoicesReference(slot, frames)
                                     : MixVoices(slot, frames);
    // Then the effects, in the chain's order; a sound that stops ends its effects' tails.
    for (const auto& stage : slot.chain) stage->Process(slot.params, scratch_.data(), made);
    // Then volume, pan and the master level. The media channel plays at the file's level.
    const bool media = slot.kind == 3;
    double master = media ? 1.0 : MasterGain(master_);
    double left = media || slot.pan <= 0 ? 1.0 : LevelGain(-slot.pan, -kPanFull);
    double right = media || slot.pan >= 0 ? 1.0 : LevelGain(slot.pan, -kPanFull);
    if (slot.kind == 2) {
        master *= Placement3DGain(slot.placement);
        double placedLeft = 1, placedRight = 1;
        Placement3DPan(slot.placement, placedLeft, placedRight);
        left *= placedLeft;
        right *= placedRight;
    }
    double gain = media ? 1.0 : LevelGain(slot.volume, kVolumeSilent) * master;
    if (!reference_ && (media || slot.fade_left == 0)) {
        // Steady gains: one multiply a sample.
        const float gl = static_cast<float>(gain * left), gr = static_cast<float>(gain * right);
        const float* __restrict from = scratch_.data();
        float* __restrict to = out;
        for (size_t f = 0; f < made; ++f) {
            to[2 * f] += from[2 * f] * gl;
            to[2 * f + 1] += from[2 * f + 1] * gr;
        }
        AdvanceFade(slot, frames - made);
        return;
    }
    for (size_t f = 0; f < made; ++f) {
        out[f * 2] += static_cast<float>(scratch_[f * 2] * gain * left);
        out[f * 2 + 1] += static_cast<float>(scratch_[f * 2 + 1] * gain * right);
        if (!media && slot.fade_left > 0) {
            slot.volume += (slot.volume_to - slot.volume) / double(slot.fade_left);
            if (--slot.fade_left == 0) slot.volume = slot.volume_to;
            gain = LevelGain(slot.volume, kVolumeSilent) * master;
        }
    }
    // Frames after the last voice ended still move a fade on.
    AdvanceFade(slot, frames - made);
}

} // namespace kestrin
