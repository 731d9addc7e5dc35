#pragma once
// Sounds: the bytes of a sound file with its kind, effects, volume, pan and preload flag,
// and the mixer slot that plays them while the sound is loaded. The sound table holds the
// game's sounds.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sound/sound_record.h"

namespace kestrin {

class CStream;
struct RawResource;

class CSound {
public:
    CSound() { Create(); }
    ~CSound() { Destroy(); }
    CSound(const CSound&) = delete;
    CSound& operator=(const CSound&) = delete;

    void Create();
    void Clear();
    void Destroy() { Clear(); }
    [[nodiscard]] bool LoadFromStream(CStream& in);
    void FromRecord(const SoundRecord& record);
    // Reads the whole file; false when it does not exist or cannot be read.
    bool LoadFromFile(const std::string& fname, int32_t kind, bool preload);

    // Restore when preloaded.
    void Prepare();
    // Loads the sound into a mixer slot (a kind-3 sound through a temporary file).
    void Restore();
    // Frees the slot; the bytes (or the temporary file) stay.
    void Discard();
    // The slot, loading the sound first when it has none.
    int32_t GetSoundId();

    int32_t s_kind = -1;
    std::string s_extension;
    std::string s_origname;
    std::optional<std::vector<uint8_t>> s_sound;
    bool s_preload = true;
    int32_t s_effects = 0;
    double s_volume = 1;
    double s_pan = 0;
    int32_t s_soundid = -1;
    std::string s_fname;
};

// Where kind-3 sounds write their temporary files (the game's temporary folder).
void Sound_SetTempFolder(std::string folder);

// The sound table: slots in game-data order (a slot may be empty) with their names beside.
bool Sound_Exists(int32_t ind);
CSound* Sound_Get(int32_t ind);
// "<undefined>" for a slot without a sound.
std::string Sound_GetName(int32_t ind);
// The first slot with a sound of exactly this name, or -1.
int32_t Sound_Find(const std::string& name);
// The number of slots, and of slots that hold a sound.
int32_t Sound_TableSize();
int32_t Sound_Count();
// Appends a sound read from a file, named "__newsound" and its index; -1 when the file
// cannot be read.
int32_t Sound_Add(const std::string& fname, int32_t kind, bool preload);
bool Sound_Replace(int32_t ind, const std::string& fname, int32_t kind, bool preload);
bool Sound_Delete(int32_t ind);
void Sound_ClearAll();
// Builds the table from the game data's records; a damaged record leaves the table empty.
[[nodiscard]] bool Sound_LoadRecords(const std::vector<RawResource>& records);
// Starts the mixer when there are sounds and restores every preloaded one.
bool Sound_PrepareAll();

} // namespace kestrin
