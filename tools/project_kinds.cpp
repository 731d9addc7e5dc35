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

ResourceNames::ResourceNames(const GameData& game) {
    for (int k = 0; k < kResourceKindCount; ++k)
        for (const RawResource& r : game.resources[k]) Add(static_cast<ResourceKind>(k), r.present, r.name);
}

void ResourceNames::Add(ResourceKind kind, bool present, std::string name) {
    slots_[static_cast<size_t>(kind)].push_back({present, present ? std::move(name) : std::string()});
}

bool ResourceNames::Valid(int32_t index, ResourceKind kind, NamedValues specials) const {
    if (index == -1) return true;
    for (const NamedValue& n : specials)
        if (n.value == index) return true;
    return index >= 0 && static_cast<size_t>(index) < slots_[static_cast<size_t>(kind)].size();
}

int32_t ResourceNames::Read(JsonObject& json, std::string_view key, ResourceKind kind, int32_t fallback,
                            NamedValues specials) const {
    const Json* value = json.Find(key);
    if (!value) return fallback;
    return ReadValue(*value, json.File(), json.Field(key), kind, specials);
}

int32_t ResourceNames::ReadValue(const Json& value, std::string_view file, std::string_view field,
                                 ResourceKind kind, NamedValues specials) const {
    const std::string noun = ResourceKindName(kind);
    const auto& slots = slots_[static_cast<size_t>(kind)];
    if (value.is_string()) {
        const std::string& name = value.get_ref<const std::string&>();
        for (const NamedValue& n : specials)
            if (name == n.name) return n.value;
        int32_t found = -1;
        for (size_t i = 0; i < slots.size(); ++i) {
            if (!slots[i].present || slots[i].name != name) continue;
            if (found >= 0)
                Fail(file, field, "more than one " + noun + " is named \"" + name + "\"; use its index");
            found = static_cast<int32_t>(i);
        }
        if (found < 0) Fail(file, field, "no " + noun + " is named \"" + name + "\"");
        return found;
    }
    if (!value.is_number_integer())
        Fail(file, field, "expected the name or the index of a " + noun + " (-1 for none)");
    const int32_t index = AsInt(value, file, field);
    if (!Valid(index, kind, specials)) {
        std::string what = noun + " index " + std::to_string(index) + " is out of range: ";
        what += slots.empty() ? "the project has no " + noun + "s"
                              : "expected -1 (none) or 0 to " + std::to_string(slots.size() - 1);
        Fail(file, field, what);
    }
    return index;
}

Json ResourceNames::Write(int32_t index, ResourceKind kind, NamedValues specials) const {
    for (const NamedValue& n : specials)
        if (n.value == index) return n.name;
    const auto& slots = slots_[static_cast<size_t>(kind)];
    if (index < 0 || static_cast<size_t>(index) >= slots.size() || !slots[index].present) return index;
    const std::string& name = slots[static_cast<size_t>(index)].name;
    if (name.empty()) return index;
    // A special's name would read back as the special.
    for (const NamedValue& n : specials)
        if (name == n.name) return index;
    for (size_t i = 0; i < slots.size(); ++i)
        if (i != static_cast<size_t>(index) && slots[i].present && slots[i].name == name) return index;
    return name;
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
