#pragma once
// Everything a game file holds, as read by the loader and written by the game builder.
// Resource kinds whose runtime classes do not exist yet keep their records as raw bytes, so
// a load succeeds and a rebuilt game stays identical.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "runner/datafile.h"
#include "runner/settings.h"
#include "base/stream.h"
#include "script/extension_class.h"

namespace kestrin {

// One slot of a resource table read from a section of "present flag, name, record" items.
struct RawResource {
    bool present = false;
    std::string name;
    std::vector<uint8_t> record;
};

enum class ResourceKind : int {
    Sound,
    Sprite,
    Background,
    Path,
    Script,
    Font,
    TimeLine,
    Object,
    Room,
};
inline constexpr int kResourceKindCount = 9;
const char* ResourceKindName(ResourceKind kind);

struct GameInformation {
    int32_t background_colour = 0xE1FFFF;
    bool show_in_window = false;
    std::string caption = "Game Information";
    int32_t left = -1;
    int32_t top = -1;
    int32_t width = 600;
    int32_t height = 400;
    bool border = true;
    bool sizeable = true;
    bool stay_on_top = false;
    bool modal = false;
    std::vector<uint8_t> rtf;

    void LoadFromStream(CStream& in);
    void SaveToStream(CStream& out) const;
};

struct UserConstant {
    std::string name;
    std::string value;
};

struct GameData {
    bool debug_mode = false;
    CSettings settings;
    // The library file the game data carries; written to the temporary folder at load.
    std::string library_name;
    std::vector<uint8_t> library_data;

    int32_t game_id = 0;
    std::array<uint8_t, 16> game_guid{};
    std::vector<CExtensionPackage> extensions;
    std::vector<RawResource> triggers;  // no names: the record carries its own
    std::vector<UserConstant> constants;
    std::array<std::vector<RawResource>, kResourceKindCount> resources;
    int32_t last_instance_id = 100000;
    int32_t last_tile_id = 10000000;
    CDataFileList included_files;
    GameInformation information;
    std::vector<std::string> library_init_code;
    std::vector<int32_t> room_order;

    std::vector<RawResource>& Resources(ResourceKind k) { return resources[static_cast<int>(k)]; }
    const std::vector<RawResource>& Resources(ResourceKind k) const { return resources[static_cast<int>(k)]; }
};

// Reports each section before it is read: percent and text of the loading progress.
using ProgressFn = std::function<void(int percent, const char* text)>;

struct LoadResult {
    bool ok = false;
    std::string message;  // the message to show when !ok; empty when the failure is silent
};

// Receives each item of the resource sections as soon as it is read, before the next one is
// inflated. It may take the record's bytes (the slot keeps its flag and name), so a table
// decoded from its records never holds all of them at once.
using ResourceSink = std::function<void(ResourceKind kind, RawResource& item)>;

// Reads the whole image of a game file (an executable or a data file). `searchStart` is
// where the marker search begins. The settings callback runs right after the settings are
// read (the loading window appears then). Never throws.
LoadResult LoadGameData(std::vector<uint8_t> image, size_t searchStart, GameData& game,
                        const ProgressFn& progress = {}, const std::function<void()>& settingsRead = {},
                        const ResourceSink& sink = {});

// The resource stream alone (sections 1 to 16 with its header), for tests and the builder.
bool ReadResourceStream(CStream& in, GameData& game, const ProgressFn& progress, std::string& message,
                        const ResourceSink& sink = {});
void WriteResourceStream(CStream& out, const GameData& game, StreamRandom& random);

// The whole container: marker, key, checksum, version and scrambled body.
std::vector<uint8_t> SaveGameData(const GameData& game, StreamRandom& random);

} // namespace kestrin
