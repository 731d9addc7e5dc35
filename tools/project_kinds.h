#pragma once
// How each resource kind is stored in a text project: one JSON file per resource in the
// kind's folder. One table entry per kind, so a kind that gains real fields only replaces
// its own pair of functions.

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "runner/game_data.h"
#include "tools/project_json.h"

namespace kestrin::project {

// The project's resources by kind, for the fields that hold a resource's index: the JSON
// may give the resource's name there instead, and unpacked projects write the name wherever
// it names exactly that resource.
class ResourceNames {
public:
    ResourceNames() = default;
    explicit ResourceNames(const GameData& game);
    // One slot per index: an empty slot has no name.
    void Add(ResourceKind kind, bool present, std::string name);

    // The index a reference field holds (`fallback` when absent): a name, one of `specials`
    // (such as "self"), -1 for none, a special's value or an index below the kind's count.
    int32_t Read(JsonObject& json, std::string_view key, ResourceKind kind, int32_t fallback,
                 NamedValues specials = {}) const;
    // The same for a value that is not an object's field (the file and field name it).
    int32_t ReadValue(const Json& value, std::string_view file, std::string_view field, ResourceKind kind,
                      NamedValues specials = {}) const;
    // The name where it reads back as `index`, else the special's name or the index.
    Json Write(int32_t index, ResourceKind kind, NamedValues specials = {}) const;
    // Whether Read accepts the index.
    bool Valid(int32_t index, ResourceKind kind, NamedValues specials = {}) const;

private:
    struct Slot {
        bool present = false;
        std::string name;
    };
    std::array<std::vector<Slot>, kResourceKindCount> slots_;
};

// Instance and tile ids of the rooms read so far: where each was given first. The writer
// also knows the game's last ids.
struct RoomIds {
    std::map<int32_t, std::string> instances, tiles;
    int32_t last_instance = INT32_MAX;
    int32_t last_tile = INT32_MAX;
};

// An integer field that holds an index of a resource kind.
struct ReferenceField {
    const char* key;
    ResourceKind kind;
};

// Files that belong to one resource beside its JSON file: "<folder>/<stem><suffix>", and the
// names and ids of the rest of the project, when known.
class ResourceFiles {
public:
    ResourceFiles(const ProjectFolder& folder, std::string base, const ResourceNames* names = nullptr,
                  RoomIds* ids = nullptr)
        : folder_(folder), base_(std::move(base)), names_(names), ids_(ids) {}

    const ResourceNames* Names() const { return names_; }
    RoomIds* Ids() const { return ids_; }

    // Stores the bytes and returns the relative path to put in the resource's JSON.
    std::string Write(std::string_view suffix, const std::vector<uint8_t>& bytes) const;
    // The bytes of the file named by a path field of the resource's JSON.
    std::vector<uint8_t> Read(JsonObject& json, std::string_view key) const;

private:
    const ProjectFolder& folder_;
    std::string base_;
    const ResourceNames* names_;
    RoomIds* ids_;
};

struct ResourceFormat {
    ResourceKind kind;
    // Folder of the JSON files and key of the kind's list in the manifest.
    const char* folder;
    // Fields after "name", which the caller handles for every kind.
    void (*save)(const RawResource& resource, Json& json, const ResourceFiles& files);
    void (*load)(JsonObject& json, RawResource& resource, const ResourceFiles& files);
};

// In ResourceKind order, which is also the order of the sections in game data.
const std::array<ResourceFormat, kResourceKindCount>& ResourceFormats();

} // namespace kestrin::project
