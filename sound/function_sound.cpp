#include "sound/function_sound.h"

#include <algorithm>
#include <cmath>

#include "base/numeric.h"
#include "script/builtin_args.h"
#include "script/run_error.h"
#include "script/value.h"
#include "sound/sound.h"
#include "sound/sound_messages.h"
#include "sound/sound_system.h"

namespace kestrin {

namespace {

using namespace builtin_args;


// The effects take single-precision parameters.
double F(Args a, int i) {
    return double(static_cast<float>(std::clamp(a[i].val(), -3.4e38, 3.4e38)));
}
bool Half(Args a, int i) {
    return a[i].val() >= 0.5;
}

// The mixer slot of the sound an argument names, loading it first when needed; -1 with the
// non-fatal error when there is no such sound.
int32_t Slot(Args a, int i) {
    CSound* sound = Sound_Get(I(a, i));
    if (!sound) {
        ReportRunError(msg::kSoundMissing, false);
        return -1;
    }
    return sound->GetSoundId();
}

template <class Work> void WithSlot(Args a, Work work) {
    const int32_t id = Slot(a, 0);
    if (id >= 0) work(id);
}

// ---- Resources ----

ROUTINE(sound_exists) {
    r.SetReal(Sound_Exists(I(a, 0)) ? 1 : 0);
}
ROUTINE(sound_get_name) {
    r.SetString(Sound_GetName(I(a, 0)));
}
ROUTINE(sound_get_kind) {
    const CSound* sound = Sound_Get(I(a, 0));
    r.SetReal(sound ? sound->s_kind : -1);
}
ROUTINE(sound_get_preload) {
    const CSound* sound = Sound_Get(I(a, 0));
    r.SetReal(sound ? (sound->s_preload ? 1 : 0) : -1);
}
ROUTINE(sound_discard) {
    if (CSound* sound = Sound_Get(I(a, 0))) sound->Discard();
}
ROUTINE(sound_restore) {
    if (CSound* sound = Sound_Get(I(a, 0))) sound->Restore();
}
ROUTINE(sound_add) {
    r.SetReal(Sound_Add(S(a, 0), I(a, 1), Half(a, 2)));
}
ROUTINE(sound_replace) {
    const int32_t ind = I(a, 0);
    if (!Sound_Exists(ind)) {
        ReportRunError(msg::kSoundReplaceMissing, false);
        return r.SetReal(0);
    }
    r.SetReal(Sound_Replace(ind, S(a, 1), I(a, 2), Half(a, 3)) ? 1 : 0);
}
ROUTINE(sound_delete) {
    const int32_t ind = I(a, 0);
    if (!Sound_Exists(ind)) {
        ReportRunError(msg::kSoundDeleteMissing, false);
        return r.SetReal(0);
    }
    r.SetReal(Sound_Delete(ind) ? 1 : 0);
}

// ---- Playing ----

ROUTINE(sound_play) {
    WithSlot(a, [](int32_t id) { SND_Play(id, false); });
}
ROUTINE(sound_loop) {
    WithSlot(a, [](int32_t id) { SND_Play(id, true); });
}
ROUTINE(sound_stop) {
    WithSlot(a, [](int32_t id) { SND_Stop(id); });
}
ROUTINE(sound_stop_all) {
    SND_StopAll();
}
ROUTINE(sound_isplaying) {
    CSound* sound = Sound_Get(I(a, 0));
    r.SetReal(sound && SND_IsPlaying(sound->GetSoundId()) ? 1 : 0);
}
ROUTINE(sound_volume) {
    WithSlot(a, [a](int32_t id) { SND_Volume(id, 0, D(a, 1)); });
}
ROUTINE(sound_fade) {
    WithSlot(a, [a](int32_t id) { SND_Volume(id, I(a, 2), D(a, 1)); });
}
ROUTINE(sound_pan) {
    WithSlot(a, [a](int32_t id) { SND_Pan(id, D(a, 1)); });
}
ROUTINE(sound_background_tempo) {
    SND_Tempo(F(a, 0));
}
ROUTINE(sound_global_volume) {
    SND_GlobalVolume(D(a, 0));
}
ROUTINE(sound_set_search_directory) {
    SND_SearchDirectory(S(a, 0));
}

// ---- Effects ----

ROUTINE(sound_effect_set) {
    WithSlot(a, [a](int32_t id) { SND_SetEffects(id, I(a, 1)); });
}

// Fills an effect's parameters from the arguments after snd; `rounded` marks the integer
// fields.
template <size_t N>
void SetEffect(Args a, int32_t bit, std::array<double, N> SoundEffectParams::*member,
               std::initializer_list<size_t> rounded = {}) {
    WithSlot(a, [&](int32_t id) {
        SND_EditEffects(id, bit, [&](SoundEffectParams& p) {
            for (size_t i = 0; i < N; ++i) {
                const bool integer = std::find(rounded.begin(), rounded.end(), i) != rounded.end();
                (p.*member)[i] = integer ? double(I(a, int(i) + 1)) : F(a, int(i) + 1);
            }
        });
    });
}

ROUTINE(sound_effect_chorus) {
    SetEffect(a, 1, &SoundEffectParams::chorus, {4, 6});
}
ROUTINE(sound_effect_echo) {
    SetEffect(a, 2, &SoundEffectParams::echo, {4});
}
ROUTINE(sound_effect_flanger) {
    SetEffect(a, 4, &SoundEffectParams::flanger, {4, 6});
}
ROUTINE(sound_effect_gargle) {
    SetEffect(a, 8, &SoundEffectParams::gargle, {0, 1});
}
ROUTINE(sound_effect_reverb) {
    SetEffect(a, 16, &SoundEffectParams::reverb);
}
ROUTINE(sound_effect_compressor) {
    SetEffect(a, 32, &SoundEffectParams::compressor);
}
ROUTINE(sound_effect_equalizer) {
    SetEffect(a, 64, &SoundEffectParams::equalizer);
}

// ---- 3D ----

template <class Change> void Set3D(Args a, Change change) {
    WithSlot(a, [&](int32_t id) { SND_Edit3D(id, change); });
}

ROUTINE(sound_3d_set_sound_position) {
    Set3D(a, [a](Sound3D& p) { p.position = {F(a, 1), F(a, 2), F(a, 3)}; });
}
ROUTINE(sound_3d_set_sound_velocity) {
    Set3D(a, [a](Sound3D& p) { p.velocity = {F(a, 1), F(a, 2), F(a, 3)}; });
}
ROUTINE(sound_3d_set_sound_distance) {
    Set3D(a, [a](Sound3D& p) {
        p.min_distance = std::max(F(a, 1), 0.0);
        p.max_distance = F(a, 2);
    });
}
ROUTINE(sound_3d_set_sound_cone) {
    Set3D(a, [a](Sound3D& p) {
        p.cone_orientation = {F(a, 1), F(a, 2), F(a, 3)};
        p.cone_inside = I(a, 4);
        p.cone_outside = I(a, 5);
        p.cone_outside_volume = RoundToInt32Saturated(D(a, 6) * 10000 - 10000);
    });
}

// ---- CD audio and MCI ----
// This machine has no CD drive: "open cdaudio" fails, so nothing is present, every question
// answers 0 or false and every command does nothing. A command string fails too, and its
// answer stays empty.

ROUTINE(cd_nothing) {}
ROUTINE(cd_zero) {
    r.SetReal(0);
}
ROUTINE(MCI_command) {
    r.SetString("");
}

constexpr RFunctionSpec kFunctions[] = {
    {"sound_exists", sound_exists, 1},
    {"sound_get_name", sound_get_name, 1},
    {"sound_name", sound_get_name, 1},
    {"sound_get_kind", sound_get_kind, 1},
    {"sound_get_preload", sound_get_preload, 1},
    {"sound_discard", sound_discard, 1},
    {"sound_restore", sound_restore, 1},
    {"sound_add", sound_add, 3},
    {"sound_replace", sound_replace, 4},
    {"sound_delete", sound_delete, 1},
    {"sound_play", sound_play, 1},
    {"sound_loop", sound_loop, 1},
    {"sound_stop", sound_stop, 1},
    {"sound_stop_all", sound_stop_all, 0},
    {"sound_isplaying", sound_isplaying, 1},
    {"sound_volume", sound_volume, 2},
    {"sound_fade", sound_fade, 3},
    {"sound_pan", sound_pan, 2},
    {"sound_background_tempo", sound_background_tempo, 1},
    {"sound_global_volume", sound_global_volume, 1},
    {"sound_set_search_directory", sound_set_search_directory, 1},
    {"sound_effect_set", sound_effect_set, 2},
    {"sound_effect_chorus", sound_effect_chorus, 8},
    {"sound_effect_echo", sound_effect_echo, 6},
    {"sound_effect_flanger", sound_effect_flanger, 8},
    {"sound_effect_gargle", sound_effect_gargle, 3},
    {"sound_effect_reverb", sound_effect_reverb, 5},
    {"sound_effect_compressor", sound_effect_compressor, 7},
    {"sound_effect_equalizer", sound_effect_equalizer, 4},
    {"sound_3d_set_sound_position", sound_3d_set_sound_position, 4},
    {"sound_3d_set_sound_velocity", sound_3d_set_sound_velocity, 4},
    {"sound_3d_set_sound_distance", sound_3d_set_sound_distance, 3},
    {"sound_3d_set_sound_cone", sound_3d_set_sound_cone, 7},
    {"cd_init", cd_nothing, 0},
    {"cd_present", cd_zero, 0},
    {"cd_number", cd_zero, 0},
    {"cd_playing", cd_zero, 0},
    {"cd_paused", cd_zero, 0},
    {"cd_track", cd_zero, 0},
    {"cd_length", cd_zero, 0},
    {"cd_track_length", cd_zero, 1},
    {"cd_position", cd_zero, 0},
    {"cd_track_position", cd_zero, 0},
    {"cd_play", cd_nothing, 2},
    {"cd_pause", cd_nothing, 0},
    {"cd_resume", cd_nothing, 0},
    {"cd_stop", cd_nothing, 0},
    {"cd_set_position", cd_nothing, 1},
    {"cd_set_track_position", cd_nothing, 1},
    {"cd_open_door", cd_nothing, 0},
    {"cd_close_door", cd_nothing, 0},
    {"MCI_command", MCI_command, 1},
};

} // namespace

std::span<const RFunctionSpec> SoundFunctions() {
    return kFunctions;
}

} // namespace kestrin
