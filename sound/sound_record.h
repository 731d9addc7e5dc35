#pragma once
// The sound record of the game data as stored (version 800), every field kept as read so
// that the builder turns it into a project file plus the sound's own file and back into the
// same bytes. CSound (sound.h) takes its fields from this one.

#include <cstdint>
#include <string>
#include <vector>

#include "base/record_fields.h"

namespace kestrin {

class CStream;

inline constexpr int32_t kSoundVersion = 800;

inline constexpr int32_t kSoundKindNormal = 0;
inline constexpr int32_t kSoundKindBackground = 1;
inline constexpr int32_t kSoundKind3D = 2;
inline constexpr int32_t kSoundKindMultimedia = 3;

struct SoundRecord {
    int32_t version = kSoundVersion;
    int32_t kind = kSoundKindNormal;
    std::string extension; // of the source file, dot included
    std::string origname;  // the source file's name without folder
    // A record may say it has data and hold none; the flag is kept apart from the bytes so
    // that the record is written back as it was read.
    bool has_data = false;
    std::vector<uint8_t> data;
    int32_t effects = 0;
    double volume = 1;
    double pan = 0;
    bool preload = true;

    // False for another version; StreamError when cut short.
    [[nodiscard]] bool LoadFromStream(CStream& in);
    void SaveToStream(CStream& out) const;
};

inline const FieldName kSoundKindNames[] = {
    {"normal", kSoundKindNormal},
    {"background", kSoundKindBackground},
    {"3d", kSoundKind3D},
    {"multimedia", kSoundKindMultimedia},
};
// Before the data.
inline const RecordField<SoundRecord> kSoundHeadFields[] = {
    {.key = "kind", .member = &SoundRecord::kind, .names = kSoundKindNames},
    {.key = "extension", .member = &SoundRecord::extension},
    {.key = "original_name", .member = &SoundRecord::origname},
};
// After the data.
inline const RecordField<SoundRecord> kSoundTailFields[] = {
    {.key = "effects", .member = &SoundRecord::effects},
    {.key = "volume", .member = &SoundRecord::volume},
    {.key = "pan", .member = &SoundRecord::pan},
    {.key = "preload", .member = &SoundRecord::preload},
};

} // namespace kestrin
