#include "sound/midi_renderer.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

#include "sound/sound_decoder.h"

namespace kestrin {

namespace {

constexpr const char* kSoundFonts[] = {
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/default-GM.sf2",
};

// After the last event the notes ring out this long.
constexpr size_t kReleaseFrames = kMixRate / 2;
constexpr size_t kBlock = 1024;

bool Refuse(std::string* error, const char* why) {
    if (error) *error = why;
    return false;
}

// The synthesiser writes its warnings to the terminal, where a game's own output goes.
void QuietLogs() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level)
            fluid_set_log_function(level, nullptr, nullptr);
    });
}

struct Synth {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    fluid_player_t* player = nullptr;
    ~Synth() {
        if (player) delete_fluid_player(player);
        if (synth) delete_fluid_synth(synth);
        if (settings) delete_fluid_settings(settings);
    }
};

} // namespace

bool LooksLikeMidi(std::span<const uint8_t> bytes) {
    return bytes.size() >= 14 && std::memcmp(bytes.data(), "MThd", 4) == 0;
}

std::string MidiSoundFont() {
    std::error_code ec;
    if (const char* chosen = std::getenv("KESTRIN_SOUNDFONT"); chosen && *chosen)
        return std::filesystem::is_regular_file(chosen, ec) ? chosen : std::string();
    for (const char* path : kSoundFonts)
        if (std::filesystem::is_regular_file(path, ec)) return path;
    return {};
}

std::shared_ptr<const PcmBuffer> RenderMidi(std::span<const uint8_t> bytes, std::string* error,
                                            double tempo) {
    if (!(tempo == tempo)) tempo = 1;
    tempo = std::clamp(tempo, 0.01, 100.0);
    if (!LooksLikeMidi(bytes)) return Refuse(error, "not a MIDI file"), nullptr;
    const std::string font = MidiSoundFont();
    if (font.empty()) return Refuse(error, "no General MIDI SoundFont installed"), nullptr;
    QuietLogs();
    Synth s;
    s.settings = new_fluid_settings();
    if (!s.settings) return Refuse(error, "no synthesiser"), nullptr;
    fluid_settings_setnum(s.settings, "synth.sample-rate", kMixRate);
    fluid_settings_setint(s.settings, "synth.cpu-cores", 1);
    // The player moves on with the samples rendered, not with the clock, so the notes land
    // on the same frames in every run.
    fluid_settings_setstr(s.settings, "player.timing-source", "sample");
    s.synth = new_fluid_synth(s.settings);
    if (!s.synth || fluid_synth_sfload(s.synth, font.c_str(), 1) == FLUID_FAILED)
        return Refuse(error, "the SoundFont does not load"), nullptr;
    s.player = new_fluid_player(s.synth);
    if (!s.player || fluid_player_add_mem(s.player, bytes.data(), bytes.size()) != FLUID_OK ||
        fluid_player_set_tempo(s.player, FLUID_PLAYER_TEMPO_INTERNAL, tempo) != FLUID_OK ||
        fluid_player_play(s.player) != FLUID_OK)
        return Refuse(error, "the MIDI file does not load"), nullptr;

    auto pcm = std::make_shared<PcmBuffer>();
    pcm->midi = std::make_shared<const std::vector<uint8_t>>(bytes.begin(), bytes.end());
    pcm->tempo = tempo;
    std::vector<float> left(kBlock), right(kBlock);
    size_t frames = 0, after = 0;
    const size_t cap = MaxDecodedFrames();
    while (frames < cap && after < kReleaseFrames) {
        // The player reports its end late; the last event's tick is the end of the piece.
        const int total = fluid_player_get_total_ticks(s.player);
        if (fluid_player_get_status(s.player) != FLUID_PLAYER_PLAYING ||
            (total > 0 && fluid_player_get_current_tick(s.player) >= total))
            after += kBlock;
        if (fluid_synth_write_float(s.synth, int(kBlock), left.data(), 0, 1, right.data(), 0, 1) != FLUID_OK)
            break;
        // The last block stops at the cap, which need not be a whole number of blocks.
        const size_t keep = std::min(kBlock, cap - frames);
        for (size_t i = 0; i < keep; ++i) {
            pcm->samples.push_back(left[i]);
            pcm->samples.push_back(right[i]);
        }
        frames += keep;
    }
    if (fluid_player_get_total_ticks(s.player) <= 0)
        return Refuse(error, "the MIDI file holds no events"), nullptr;
    return pcm;
}

} // namespace kestrin
