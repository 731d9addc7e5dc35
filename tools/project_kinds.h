#pragma once
// How each resource kind is stored in a text project: one JSON file per resource in the
// kind's folder. One table entry per kind, so a kind that gains real fields only replaces
// its own pair of functions.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "runner/game_data.h"
#include "tools/project_json.h"

namespace kestrin::project {

// Files that belong to one resource beside its JSON file: "<folder>/<stem><suffix>".
class ResourceFiles {
public:
    ResourceFiles(const ProjectFolder& folder, std::string base) : folder_(folder), base_(std::move(base)) {}

    // Stores the bytes and returns the relative path to put in the resource's JSON.
    std::string Write(std::string_view suffix, const std::vector<uint8_t>& bytes) const;
    // The bytes of the file named by a path field of the resource's JSON.
    std::vector<uint8_t> Read(JsonObject& json, std::string_view key) const;

private:
    const ProjectFolder& folder_;
    std::string base_;
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
