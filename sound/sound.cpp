#include "sound/sound.h"

#include <cctype>
#include <filesystem>
#include <fstream>

#include "base/fault.h"
#include "base/file_io.h"
#include "base/stream.h"
#include "runner/datafile.h"
#include "runner/game_data.h"
#include "runner/process.h"
#include "sound/sound_system.h"

namespace fs = std::filesystem;

namespace kestrin {

namespace {

struct SoundTable {
    std::vector<std::unique_ptr<CSound>> sounds;
    std::vector<std::string> names;
    std::string temp_folder;
};

// Never destroyed, so no sound outlives the mixer at exit.
SoundTable& Table() {
    static auto* table = new SoundTable;
    return *table;
}

// The extension names a temporary file inside the temporary folder, so only a dot and a
// few letters or digits are used; anything else (a folder part, say) becomes ".tmp".
std::string SafeExtension(const std::string& extension) {
    if (extension.size() < 2 || extension.size() > 16 || extension[0] != '.') return ".tmp";
    for (size_t i = 1; i < extension.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(extension[i]))) return ".tmp";
    return extension;
}

// More than a stored record can hold is not a sound file.
constexpr int64_t kMaxSoundFileBytes = int64_t{1} << 30;

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace

void CSound::Create() {
    s_soundid = -1;
    Clear();
}

void CSound::Clear() {
    if (s_soundid >= 0) SND_Free(s_soundid);
    s_soundid = -1;
    s_kind = -1;
    s_extension.clear();
    s_origname.clear();
    s_sound.reset();
    s_preload = true;
    s_effects = 0;
    s_volume = 1;
    s_pan = 0;
    s_fname.clear();
}

bool CSound::LoadFromStream(CStream& in) {
    SoundRecord record;
    if (!record.LoadFromStream(in)) return false;
    FromRecord(record);
    return true;
}

void CSound::FromRecord(const SoundRecord& record) {
    Clear();
    s_kind = record.kind;
    s_extension = record.extension;
    s_origname = record.origname;
    if (record.has_data) s_sound = record.data;
    s_effects = record.effects;
    s_volume = record.volume;
    s_pan = record.pan;
    s_preload = record.preload;
}

bool CSound::LoadFromFile(const std::string& fname, int32_t kind, bool preload) {
    Clear();
    std::vector<uint8_t> bytes;
    const std::string native = NativePath(fname);
    const int64_t size = RegularFileSize(native);
    if (size < 0 || size > kMaxSoundFileBytes || !ReadWholeFile(native, bytes)) return false;
    const fs::path path(native);
    s_extension = path.extension().string();
    s_origname = path.filename().string();
    s_sound = std::move(bytes);
    s_kind = kind;
    s_preload = preload;
    Prepare();
    return true;
}

void CSound::Prepare() {
    if (s_preload) Restore();
}

void CSound::Restore() {
    if (s_soundid >= 0) return;
    if (s_kind >= 0 && s_kind <= 2) {
        if (!s_sound) return;
        s_soundid = SND_LoadMemory(*s_sound, s_kind);
        if (s_soundid < 0) s_kind = 3;
    }
    if (s_kind == 3) {
        const std::string& folder = Table().temp_folder;
        if (s_sound && !folder.empty()) {
            const std::string name = TempFileName(folder, SafeExtension(s_extension));
            if (WriteFile(name, *s_sound)) {
                s_fname = name;
                s_sound.reset();
            }
        }
        if (s_fname.empty()) return;
        s_soundid = SND_LoadFile(s_fname, 3);
    }
    if (s_soundid >= 0) {
        if (s_effects > 0) SND_SetEffects(s_soundid, s_effects);
        SND_Volume(s_soundid, 0, s_volume);
        SND_Pan(s_soundid, s_pan);
    }
}

void CSound::Discard() {
    if (s_soundid >= 0) SND_Free(s_soundid);
    s_soundid = -1;
}

int32_t CSound::GetSoundId() {
    if (s_soundid < 0) Restore();
    return s_soundid;
}

void Sound_SetTempFolder(std::string folder) {
    Table().temp_folder = std::move(folder);
}

bool Sound_Exists(int32_t ind) {
    return Sound_Get(ind) != nullptr;
}

CSound* Sound_Get(int32_t ind) {
    SoundTable& t = Table();
    if (ind < 0 || ind >= static_cast<int32_t>(t.sounds.size())) return nullptr;
    return t.sounds[size_t(ind)].get();
}

std::string Sound_GetName(int32_t ind) {
    return Sound_Exists(ind) ? Table().names[size_t(ind)] : "<undefined>";
}

int32_t Sound_Find(const std::string& name) {
    SoundTable& t = Table();
    for (size_t i = 0; i < t.sounds.size(); ++i)
        if (t.sounds[i] && t.names[i] == name) return static_cast<int32_t>(i);
    return -1;
}

int32_t Sound_TableSize() {
    return static_cast<int32_t>(Table().sounds.size());
}

int32_t Sound_Count() {
    int32_t count = 0;
    for (const auto& s : Table().sounds) count += s ? 1 : 0;
    return count;
}

int32_t Sound_Add(const std::string& fname, int32_t kind, bool preload) {
    SoundTable& t = Table();
    const size_t ind = t.sounds.size();
    t.sounds.push_back(std::make_unique<CSound>());
    t.names.push_back("__newsound" + std::to_string(ind));
    if (!t.sounds.back()->LoadFromFile(fname, kind, preload)) {
        t.sounds.pop_back();
        t.names.pop_back();
        return -1;
    }
    return static_cast<int32_t>(ind);
}

bool Sound_Replace(int32_t ind, const std::string& fname, int32_t kind, bool preload) {
    SoundTable& t = Table();
    if (ind < 0 || ind >= static_cast<int32_t>(t.sounds.size())) return false;
    auto& slot = t.sounds[size_t(ind)];
    if (!slot) slot = std::make_unique<CSound>();
    return slot->LoadFromFile(fname, kind, preload);
}

bool Sound_Delete(int32_t ind) {
    SoundTable& t = Table();
    if (!Sound_Exists(ind)) return false;
    t.sounds[size_t(ind)].reset();
    t.names[size_t(ind)].clear();
    return true;
}

void Sound_ClearAll() {
    SoundTable& t = Table();
    t.sounds.clear();
    t.names.clear();
}

bool Sound_LoadRecords(const std::vector<RawResource>& records) {
    Sound_ClearAll();
    SoundTable& t = Table();
    for (const RawResource& item : records) {
        std::unique_ptr<CSound> sound;
        if (item.present) {
            sound = std::make_unique<CSound>();
            CStream in(item.record);
            bool read = false;
            try {
                read = sound->LoadFromStream(in);
            } catch (const StreamError&) {
                read = false;
            }
            if (!read) {
                Sound_ClearAll();
                return false;
            }
        }
        t.sounds.push_back(std::move(sound));
        t.names.push_back(item.present ? item.name : std::string());
    }
    return true;
}

bool Sound_PrepareAll() {
    SND_Init(Sound_Count());
    for (auto& sound : Table().sounds)
        if (sound) sound->Prepare();
    return true;
}

} // namespace kestrin
