#include "tools/project_sound.h"

#include <cctype>
#include <filesystem>

#include "base/stream.h"
#include "sound/sound_record.h"
#include "tools/project_fields.h"
#include "tools/project_world.h"

namespace kestrin::project {

namespace {

std::vector<uint8_t> Bytes(const SoundRecord& record) {
    CStream out;
    record.SaveToStream(out);
    return out.TakeBytes();
}

bool Readable(const RawResource& resource, SoundRecord& record) {
    CStream in(resource.record);
    try {
        if (!record.LoadFromStream(in) || !in.AtEnd()) return false;
    } catch (const RunnerFault&) {
        return false;
    }
    return FiniteFields<SoundRecord>(record, kSoundTailFields) && Bytes(record) == resource.record;
}

// The suffix of the sound's file in the project: its own extension when that is a plain
// one, else ".bin".
std::string FileSuffix(const std::string& extension) {
    if (extension.size() < 2 || extension.size() > 16 || extension[0] != '.') return ".bin";
    std::string suffix = ".";
    for (size_t i = 1; i < extension.size(); ++i) {
        const auto c = static_cast<unsigned char>(extension[i]);
        if (!std::isalnum(c)) return ".bin";
        suffix += static_cast<char>(std::tolower(c));
    }
    return suffix;
}

} // namespace

void SaveSound(const RawResource& resource, Json& json, const ResourceFiles& files) {
    SoundRecord s;
    if (!Readable(resource, s)) return SaveRawRecord(resource, json, files);
    SaveFields<SoundRecord>(s, kSoundHeadFields, json);
    json["file"] = s.has_data ? Json(files.Write(FileSuffix(s.extension), s.data)) : Json(nullptr);
    SaveFields<SoundRecord>(s, kSoundTailFields, json);
}

void LoadSound(JsonObject& json, RawResource& resource, const ResourceFiles& files) {
    if (json.Has("record")) return LoadRawRecord(json, resource, files);
    SoundRecord s;
    // Extension and original name follow the file unless the project gives them.
    if (const Json* file = json.Find("file"); file && !file->is_null()) {
        const std::filesystem::path path(AsString(*file, json.File(), json.Field("file")));
        s.extension = path.extension().string();
        s.origname = path.filename().string();
        s.data = files.Read(json, "file");
        s.has_data = true;
    }
    LoadFields<SoundRecord>(json, s, kSoundHeadFields);
    LoadFields<SoundRecord>(json, s, kSoundTailFields);
    resource.record = Bytes(s);
}

} // namespace kestrin::project
