#include "tools/project_kinds.h"

#include "tools/project_background.h"
#include "tools/project_font.h"
#include "tools/project_script.h"
#include "tools/project_sound.h"
#include "tools/project_sprite.h"
#include "tools/project_world.h"

namespace kestrin::project {

std::string ResourceFiles::Write(std::string_view suffix, const std::vector<uint8_t>& bytes) const {
    std::string relative = base_ + std::string(suffix);
    folder_.WriteBytes(relative, bytes);
    return relative;
}

std::vector<uint8_t> ResourceFiles::Read(JsonObject& json, std::string_view key) const {
    const Json* value = json.Find(key);
    if (!value) json.Fail(key, "missing (expected a file name)");
    std::string relative = AsString(*value, json.File(), json.Field(key));
    return folder_.ReadBytes(relative, json.File(), json.Field(key));
}

// Kinds without a runtime class yet keep their stored record, as hex text.
void SaveRawRecord(const RawResource& resource, Json& json, const ResourceFiles&) {
    json["record"] = CStream(resource.record).ConvertToString();
}

void LoadRawRecord(JsonObject& json, RawResource& resource, const ResourceFiles&) {
    std::string hex = json.String("record", "");
    CStream record;
    if (!record.ConvertFromString(hex)) json.Fail("record", "expected hex digits, two per byte");
    resource.record = record.TakeBytes();
}

namespace {

// ORDER ResourceKind
constexpr std::array<ResourceFormat, kResourceKindCount> kFormats = {{
    {ResourceKind::Sound, "sounds", SaveSound, LoadSound},
    {ResourceKind::Sprite, "sprites", SaveSprite, LoadSprite},
    {ResourceKind::Background, "backgrounds", SaveBackground, LoadBackground},
    {ResourceKind::Path, "paths", SavePath, LoadPath},
    {ResourceKind::Script, "scripts", SaveScript, LoadScript},
    {ResourceKind::Font, "fonts", SaveFont, LoadFont},
    {ResourceKind::TimeLine, "timelines", SaveTimeLine, LoadTimeLine},
    {ResourceKind::Object, "objects", SaveObject, LoadObject},
    {ResourceKind::Room, "rooms", SaveRoom, LoadRoom},
}};

constexpr bool InKindOrder() {
    for (size_t i = 0; i < kFormats.size(); ++i)
        if (static_cast<size_t>(kFormats[i].kind) != i) return false;
    return true;
}
static_assert(InKindOrder(), "kFormats must follow ResourceKind");

} // namespace

const std::array<ResourceFormat, kResourceKindCount>& ResourceFormats() {
    return kFormats;
}

} // namespace kestrin::project
