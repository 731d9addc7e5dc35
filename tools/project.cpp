#include "tools/project.h"

#include <algorithm>
#include <climits>
#include <map>
#include <new>
#include <system_error>

#include "base/fault.h"
#include "base/image_png.h"
#include "runner/room.h"
#include "runner/room_record.h"
#include "tools/project_json.h"
#include "tools/project_kinds.h"
#include "world/trigger.h"

namespace fs = std::filesystem;

namespace kestrin {

using namespace project;

namespace {

constexpr const char* kManifest = "game.json";
constexpr int32_t kFormatVersion = 1;

// Settings fields under their JSON names, in stored order. Exactly one member is set.
struct SettingField {
    const char* name;
    bool CSettings::*flag;
    int32_t CSettings::*number;
    std::optional<TBitmap32> CSettings::*image;
};

const SettingField kSettingFields[] = {
    {"fullscreen", &CSettings::fullscreen, nullptr, nullptr},
    {"interpolate", &CSettings::interpolate, nullptr, nullptr},
    {"no_border", &CSettings::no_border, nullptr, nullptr},
    {"show_cursor", &CSettings::show_cursor, nullptr, nullptr},
    {"scale", nullptr, &CSettings::scale, nullptr},
    {"sizeable", &CSettings::sizeable, nullptr, nullptr},
    {"stay_on_top", &CSettings::stay_on_top, nullptr, nullptr},
    {"outside_colour", nullptr, &CSettings::outside_colour, nullptr},
    {"set_display_mode", &CSettings::set_display_mode, nullptr, nullptr},
    {"colour_depth", nullptr, &CSettings::colour_depth, nullptr},
    {"resolution", nullptr, &CSettings::resolution, nullptr},
    {"frequency", nullptr, &CSettings::frequency, nullptr},
    {"no_buttons", &CSettings::no_buttons, nullptr, nullptr},
    {"vsync", &CSettings::vsync, nullptr, nullptr},
    {"block_screensaver", &CSettings::block_screensaver, nullptr, nullptr},
    {"key_f4_fullscreen", &CSettings::key_f4_fullscreen, nullptr, nullptr},
    {"key_f1_info", &CSettings::key_f1_info, nullptr, nullptr},
    {"key_escape_ends", &CSettings::key_escape_ends, nullptr, nullptr},
    {"key_f5_f6_save_load", &CSettings::key_f5_f6_save_load, nullptr, nullptr},
    {"key_f9_screenshot", &CSettings::key_f9_screenshot, nullptr, nullptr},
    {"close_as_escape", &CSettings::close_as_escape, nullptr, nullptr},
    {"priority", nullptr, &CSettings::priority, nullptr},
    {"freeze_inactive", &CSettings::freeze_inactive, nullptr, nullptr},
    {"show_progress", &CSettings::show_progress, nullptr, nullptr},
    {"bar_back", nullptr, nullptr, &CSettings::bar_back},
    {"bar_front", nullptr, nullptr, &CSettings::bar_front},
    {"loading_image", nullptr, nullptr, &CSettings::loading_image},
    {"loading_transparent", &CSettings::loading_transparent, nullptr, nullptr},
    {"loading_alpha", nullptr, &CSettings::loading_alpha, nullptr},
    {"scale_progress", &CSettings::scale_progress, nullptr, nullptr},
    {"display_errors", &CSettings::display_errors, nullptr, nullptr},
    {"write_errors", &CSettings::write_errors, nullptr, nullptr},
    {"abort_errors", &CSettings::abort_errors, nullptr, nullptr},
    {"language_flags", nullptr, &CSettings::language_flags, nullptr},
    {"reserved", nullptr, &CSettings::reserved, nullptr},
    {"create_event_first", &CSettings::create_event_first, nullptr, nullptr},
};

const NamedValue kExportActions[] = {{"none", kExportNone},
                                                          {"temp", kExportToTemp},
                                                          {"working_folder", kExportToWorkingFolder},
                                                          {"folder", kExportToFolder}};

const NamedValue kTriggerMoments[] = {{"step", 0}, {"begin_step", 1}, {"end_step", 2}};

std::vector<uint8_t> TriggerBytes(const TriggerRecord& record) {
    CStream out;
    record.SaveToStream(out);
    return out.TakeBytes();
}

// The fields of a trigger record that the readable form gives back byte for byte; false for
// any other record (another version, bytes after the fields, a cut-short record).
bool ReadableTrigger(const std::vector<uint8_t>& bytes, TriggerRecord& record) {
    CStream in(bytes);
    try {
        if (!record.LoadFromStream(in) || !in.AtEnd()) return false;
    } catch (const RunnerFault&) {
        return false;
    }
    return TriggerBytes(record) == bytes;
}

const NamedValue kExtensionFileKinds[] = {{"dll", kExtensionDll},
                                                               {"script", kExtensionScript},
                                                               {"no_data", kExtensionNoData},
                                                               {"other", kExtensionOther}};

std::string HexOf(const uint8_t* data, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    return text;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// ---------------------------------------------------------------------------------------
// Writing

class ProjectWriter {
public:
    ProjectWriter(const GameData& game, const fs::path& dir) : game_(game), folder_(dir) {}

    void Write() {
        Json m = Json::object();
        m["format"] = kFormatVersion;
        m["game_id"] = game_.game_id;
        m["game_guid"] = HexOf(game_.game_guid.data(), game_.game_guid.size());
        m["debug_mode"] = game_.debug_mode;
        m["settings"] = Settings();
        m["information"] = Information();
        m["constants"] = Constants();
        m["room_order"] = RoomOrder();
        m["included_files"] = IncludedFiles();
        m["library_init_code"] = LibraryInitCode();
        m["triggers"] = Triggers();
        m["extensions"] = Extensions();
        if (!game_.library_name.empty() || !game_.library_data.empty())
            m["carried_library"] = CarriedLibrary();
        // A last id below the rooms' ids is refused when given; left out, the default is kept.
        const GameData defaults;
        const auto [highestInstance, highestTile] = HighestRoomIds();
        const bool instanceFits = game_.last_instance_id >= highestInstance;
        const bool tileFits = game_.last_tile_id >= highestTile;
        if (instanceFits || game_.last_instance_id != defaults.last_instance_id)
            m["last_instance_id"] = game_.last_instance_id;
        if (tileFits || game_.last_tile_id != defaults.last_tile_id) m["last_tile_id"] = game_.last_tile_id;
        // Otherwise the rooms holding higher ids keep their records.
        last_instance_ = instanceFits || game_.last_instance_id == defaults.last_instance_id
                             ? INT32_MAX
                             : game_.last_instance_id;
        last_tile_ = tileFits || game_.last_tile_id == defaults.last_tile_id ? INT32_MAX : game_.last_tile_id;
        m["resources"] = Resources();
        folder_.WriteJson(kManifest, m);
    }

private:
    // The highest instance and tile ids of the rooms that read as rooms.
    std::pair<int32_t, int32_t> HighestRoomIds() const {
        int32_t instance = INT32_MIN, tile = INT32_MIN;
        for (const RawResource& r : game_.Resources(ResourceKind::Room)) {
            if (!r.present) continue;
            RoomRecord room;
            CStream in(r.record);
            try {
                if (!room.LoadFromStream(in)) continue;
            } catch (const RunnerFault&) {
                continue;
            }
            for (const auto& i : room.instances) instance = std::max(instance, i.id);
            for (const auto& t : room.tiles) tile = std::max(tile, t.id);
        }
        return {instance, tile};
    }

    Json Settings() {
        const CSettings& s = game_.settings;
        Json j = Json::object();
        j["version"] = s.version;
        for (const auto& f : kSettingFields) {
            if (f.flag)
                j[f.name] = s.*f.flag;
            else if (f.number)
                j[f.name] = s.*f.number;
            else if (const auto& image = s.*f.image; image && !image->Empty()) {
                std::string relative = std::string("loading/") + f.name + ".png";
                folder_.WriteBytes(relative, EncodePng(*image));
                j[f.name] = relative;
            }
        }
        return j;
    }

    Json Information() {
        const GameInformation& info = game_.information;
        Json j = Json::object();
        j["background_colour"] = info.background_colour;
        j["show_in_window"] = info.show_in_window;
        j["caption"] = info.caption;
        j["left"] = info.left;
        j["top"] = info.top;
        j["width"] = info.width;
        j["height"] = info.height;
        j["border"] = info.border;
        j["sizeable"] = info.sizeable;
        j["stay_on_top"] = info.stay_on_top;
        j["modal"] = info.modal;
        if (!info.rtf.empty()) {
            folder_.WriteBytes("information.rtf", info.rtf);
            j["text"] = "information.rtf";
        }
        return j;
    }

    Json Constants() {
        Json list = Json::array();
        for (const auto& c : game_.constants) list.push_back({{"name", c.name}, {"value", c.value}});
        return list;
    }

    // A room by its name where the name picks exactly that room, otherwise by its index.
    Json RoomOrder() {
        const auto& rooms = game_.Resources(ResourceKind::Room);
        std::map<std::string, int> uses;
        for (const auto& r : rooms)
            if (r.present) ++uses[r.name];
        Json list = Json::array();
        for (int32_t index : game_.room_order) {
            bool byName = index >= 0 && static_cast<size_t>(index) < rooms.size() && rooms[index].present &&
                          !rooms[index].name.empty() && uses[rooms[index].name] == 1;
            if (byName)
                list.push_back(rooms[index].name);
            else
                list.push_back(index);
        }
        return list;
    }

    Json IncludedFiles() {
        FileNamer namer;
        Json list = Json::array();
        for (const auto& f : game_.included_files.files) {
            Json j = Json::object();
            j["filename"] = f.s_filename;
            j["original_name"] = f.s_origname;
            j["exists"] = f.s_exists;
            j["store"] = f.s_store;
            if (!f.s_data.empty() || (f.s_exists && f.s_store)) {
                std::string relative = "files/" + namer.MakeKeepingExtension(f.s_filename);
                folder_.WriteBytes(relative, f.s_data);
                j["data"] = relative;
            }
            if (static_cast<size_t>(f.s_size) != f.s_data.size()) j["size"] = f.s_size;
            j["export_action"] = NamedIntToJson(f.s_exportaction, kExportActions);
            j["export_folder"] = f.s_exportdir;
            j["overwrite"] = f.s_overwrite;
            j["free_data"] = f.s_freedata;
            j["remove_at_end"] = f.s_removeend;
            list.push_back(std::move(j));
        }
        return list;
    }

    Json LibraryInitCode() {
        Json list = Json::array();
        for (size_t i = 0; i < game_.library_init_code.size(); ++i) {
            std::string relative = "library_init/" + std::to_string(i) + ".txt";
            folder_.WriteText(relative, game_.library_init_code[i]);
            list.push_back(relative);
        }
        return list;
    }

    Json Triggers() {
        Json list = Json::array();
        for (const auto& t : game_.triggers) {
            TriggerRecord record;
            if (!t.present) {
                list.push_back(nullptr);
            } else if (ReadableTrigger(t.record, record)) {
                Json j = Json::object();
                j["name"] = record.name;
                // A condition of several lines reads best in a file of its own.
                if (record.condition.find('\n') != std::string::npos) {
                    const std::string relative = "triggers/" + std::to_string(list.size()) + ".txt";
                    folder_.WriteText(relative, record.condition);
                    j["condition"] = {{"file", relative}};
                } else {
                    j["condition"] = record.condition;
                }
                j["moment"] = NamedIntToJson(record.moment, kTriggerMoments);
                j["constant_name"] = record.constname;
                list.push_back(std::move(j));
            } else {
                list.push_back({{"record", CStream(t.record).ConvertToString()}});
            }
        }
        return list;
    }

    Json Extensions() {
        FileNamer packageNamer;
        Json list = Json::array();
        for (const auto& p : game_.extensions) {
            std::string folder = "extensions/" + packageNamer.Make(p.s_name, "");
            FileNamer fileNamer;
            Json files = Json::array();
            for (const auto& f : p.s_includes) {
                Json jf = Json::object();
                jf["filename"] = f.s_filename;
                jf["kind"] = NamedIntToJson(f.s_kind, kExtensionFileKinds);
                jf["init"] = f.s_init;
                jf["final"] = f.s_final;
                if (!f.data.empty() || f.s_kind != kExtensionNoData) {
                    std::string relative = folder + "/" + fileNamer.MakeKeepingExtension(f.s_filename);
                    folder_.WriteBytes(relative, f.data);
                    jf["data"] = relative;
                }
                Json functions = Json::array();
                for (const auto& fn : f.s_functions) functions.push_back(Function(fn));
                jf["functions"] = std::move(functions);
                Json constants = Json::array();
                for (const auto& c : f.s_constants)
                    constants.push_back({{"name", c.s_name}, {"value", c.s_value}});
                jf["constants"] = std::move(constants);
                files.push_back(std::move(jf));
            }
            list.push_back(
                {{"name", p.s_name}, {"folder", p.s_folder}, {"key", p.key}, {"files", std::move(files)}});
        }
        return list;
    }

    static Json Function(const CExtensionFunction& fn) {
        Json j = Json::object();
        j["name"] = fn.s_name;
        j["external_name"] = fn.s_extname;
        j["kind"] = fn.s_kind;
        j["id"] = fn.s_id;
        j["argument_count"] = fn.s_argcount;
        // Trailing real arguments are the default; leaving them out keeps the list readable.
        size_t used = fn.s_argtype.size();
        while (used > 0 && fn.s_argtype[used - 1] == 2) --used;
        Json types = Json::array();
        for (size_t i = 0; i < used; ++i) types.push_back(fn.s_argtype[i]);
        j["argument_types"] = std::move(types);
        j["return_type"] = fn.s_returntype;
        return j;
    }

    Json CarriedLibrary() {
        std::string relative = "carried_library/" + FileNamer().MakeKeepingExtension(game_.library_name);
        folder_.WriteBytes(relative, game_.library_data);
        return {{"name", game_.library_name}, {"data", relative}};
    }

    Json Resources() {
        Json j = Json::object();
        const ResourceNames names(game_);
        RoomIds ids;
        ids.last_instance = last_instance_;
        ids.last_tile = last_tile_;
        for (const auto& format : ResourceFormats()) {
            FileNamer namer;
            Json list = Json::array();
            for (const auto& r : game_.Resources(format.kind)) {
                if (!r.present) {
                    list.push_back(nullptr);
                    continue;
                }
                std::string stem = namer.Make(r.name, "");
                std::string base = std::string(format.folder) + "/" + stem;
                Json item = Json::object();
                item["name"] = r.name;
                format.save(r, item, ResourceFiles(folder_, base, &names, &ids));
                folder_.WriteJson(base + ".json", item);
                list.push_back(stem);
            }
            j[format.folder] = std::move(list);
        }
        return j;
    }

    const GameData& game_;
    ProjectFolder folder_;
    int32_t last_instance_ = INT32_MAX;
    int32_t last_tile_ = INT32_MAX;
};

// ---------------------------------------------------------------------------------------
// Reading

class ProjectReader {
public:
    ProjectReader(const fs::path& dir, GameData& game) : folder_(dir), game_(game) {}

    void Read() {
        std::error_code ec;
        if (!fs::exists(folder_.Root() / kManifest, ec))
            Fail(kManifest, "", "not found in the project folder");
        Json manifest = folder_.ReadJson(kManifest, kManifest, "");
        JsonObject m(manifest, kManifest, "");
        if (const Json* format = m.Find("format"))
            if (!format->is_number_integer() || format->get<int64_t>() != kFormatVersion)
                m.Fail("format", "expected 1");
        game_.game_id = m.Int("game_id", 0);
        Guid(m);
        game_.debug_mode = m.Bool("debug_mode", false);
        Settings(m.OptionalObject("settings"));
        Information(m.OptionalObject("information"));
        Constants(m);
        IncludedFiles(m);
        LibraryInitCode(m);
        Triggers(m);
        Extensions(m);
        CarriedLibrary(m);
        const bool lastInstanceGiven = m.Has("last_instance_id"), lastTileGiven = m.Has("last_tile_id");
        game_.last_instance_id = m.Int("last_instance_id", game_.last_instance_id);
        if (game_.last_instance_id > kMaxStoredLastInstanceId)
            m.Fail("last_instance_id", "expected at most " + std::to_string(kMaxStoredLastInstanceId) +
                                           ", so that instances made while the game runs have ids left");
        game_.last_tile_id = m.Int("last_tile_id", game_.last_tile_id);
        // Rooms before the room order, which names them.
        Resources(m.OptionalObject("resources"));
        LastId(m, "last_instance_id", lastInstanceGiven, ids_.instances, game_.last_instance_id, "instance");
        LastId(m, "last_tile_id", lastTileGiven, ids_.tiles, game_.last_tile_id, "tile");
        RoomOrder(m);
        m.Finish();
    }

private:
    // Ids after the last one go to instances (tiles) made while the game runs, so a last id
    // given is at least the rooms' highest. (Left out, it keeps its default: the runner then
    // hands out ids after the highest one in the rooms.)
    static void LastId(JsonObject& m, const char* key, bool given, const std::map<int32_t, std::string>& ids,
                       int32_t last, const char* noun) {
        if (!given || ids.empty()) return;
        const auto& [highest, where] = *ids.rbegin();
        if (highest > last)
            m.Fail(key,
                   "expected at least " + std::to_string(highest) + ", the id of the " + noun + " " + where);
    }

    void Guid(JsonObject& m) {
        std::string hex = m.String("game_guid", std::string(32, '0'));
        if (hex.size() != 32) m.Fail("game_guid", "expected 32 hex digits");
        for (size_t i = 0; i < 16; ++i) {
            int hi = HexValue(hex[2 * i]), lo = HexValue(hex[2 * i + 1]);
            if (hi < 0 || lo < 0) m.Fail("game_guid", "expected 32 hex digits");
            game_.game_guid[i] = static_cast<uint8_t>(hi << 4 | lo);
        }
    }

    void Settings(JsonObject j) {
        CSettings& s = game_.settings;
        s = CSettings();
        s.version = j.Int("version", s.version);
        for (const auto& f : kSettingFields) {
            if (f.flag)
                s.*f.flag = j.Bool(f.name, s.*f.flag);
            else if (f.number)
                s.*f.number = j.Int(f.name, s.*f.number);
            else
                s.*f.image = Image(j, f.name);
        }
        j.Finish();
    }

    std::optional<TBitmap32> Image(JsonObject& j, const char* key) {
        const Json* value = j.Find(key);
        if (!value || value->is_null()) return std::nullopt;
        std::string relative = AsString(*value, j.File(), j.Field(key));
        std::vector<uint8_t> bytes = folder_.ReadBytes(relative, j.File(), j.Field(key));
        TBitmap32 bitmap;
        if (!DecodePng(bytes, bitmap) || bitmap.Empty()) j.Fail(key, "expected a PNG image: " + relative);
        return bitmap;
    }

    void Information(JsonObject j) {
        GameInformation& info = game_.information;
        info = GameInformation();
        info.background_colour = j.Int("background_colour", info.background_colour);
        info.show_in_window = j.Bool("show_in_window", info.show_in_window);
        info.caption = j.String("caption", info.caption);
        info.left = j.Int("left", info.left);
        info.top = j.Int("top", info.top);
        info.width = j.Int("width", info.width);
        info.height = j.Int("height", info.height);
        info.border = j.Bool("border", info.border);
        info.sizeable = j.Bool("sizeable", info.sizeable);
        info.stay_on_top = j.Bool("stay_on_top", info.stay_on_top);
        info.modal = j.Bool("modal", info.modal);
        if (j.Has("text")) info.rtf = FileField(j, "text");
        j.Finish();
    }

    // The bytes of the project file named by a path field.
    std::vector<uint8_t> FileField(JsonObject& j, std::string_view key) {
        const Json* value = j.Find(key);
        if (!value) j.Fail(key, "missing (expected a file name)");
        std::string relative = AsString(*value, j.File(), j.Field(key));
        return folder_.ReadBytes(relative, j.File(), j.Field(key));
    }

    void Constants(JsonObject& m) {
        const Json& list = m.Array("constants");
        for (size_t i = 0; i < list.size(); ++i) {
            JsonObject c(list[i], m.File(), ElementPath("constants", i));
            UserConstant constant;
            constant.name = c.String("name", "");
            constant.value = c.String("value", "");
            c.Finish();
            game_.constants.push_back(std::move(constant));
        }
    }

    void IncludedFiles(JsonObject& m) {
        const Json& list = m.Array("included_files");
        for (size_t i = 0; i < list.size(); ++i) {
            JsonObject j(list[i], m.File(), ElementPath("included_files", i));
            CDataFile f;
            f.s_filename = j.String("filename", "");
            // The export folder alone decides where a file goes; the runner would drop the
            // folders of the name, so they are refused here rather than lost in silence.
            if (f.s_filename.find_first_of("/\\") != std::string::npos || f.s_filename == "." ||
                f.s_filename == "..")
                j.Fail("filename",
                       "expected a bare file name without folders (use export_folder): " + f.s_filename);
            f.s_origname = j.String("original_name", f.s_filename);
            bool hasData = j.Has("data");
            if (hasData) f.s_data = FileField(j, "data");
            // A file listed with its data is meant to be carried.
            f.s_exists = j.Bool("exists", hasData);
            f.s_store = j.Bool("store", hasData);
            f.s_size = j.Int("size", static_cast<int32_t>(f.s_data.size()));
            f.s_exportaction = j.NamedInt("export_action", kExportActions, f.s_exportaction);
            f.s_exportdir = j.String("export_folder", f.s_exportdir);
            f.s_overwrite = j.Bool("overwrite", f.s_overwrite);
            f.s_freedata = j.Bool("free_data", f.s_freedata);
            f.s_removeend = j.Bool("remove_at_end", f.s_removeend);
            j.Finish();
            game_.included_files.files.push_back(std::move(f));
        }
    }

    void LibraryInitCode(JsonObject& m) {
        const Json& list = m.Array("library_init_code");
        for (size_t i = 0; i < list.size(); ++i) {
            std::string field = ElementPath("library_init_code", i);
            std::string relative = AsString(list[i], m.File(), field);
            game_.library_init_code.push_back(TextFromBytes(folder_.ReadBytes(relative, m.File(), field)));
        }
    }

    void Triggers(JsonObject& m) {
        const Json& list = m.Array("triggers");
        for (size_t i = 0; i < list.size(); ++i) {
            RawResource t;
            if (!list[i].is_null()) {
                JsonObject j(list[i], m.File(), ElementPath("triggers", i));
                t.present = true;
                if (j.Has("record")) {
                    CStream record;
                    if (!record.ConvertFromString(j.String("record", "")))
                        j.Fail("record", "expected hex digits, two per byte");
                    t.record = record.TakeBytes();
                } else {
                    TriggerRecord record;
                    record.name = j.String("name", "");
                    if (const Json* c = j.Find("condition"); c && c->is_object()) {
                        JsonObject code(*c, m.File(), j.Field("condition"));
                        const std::string relative = code.String("file", "");
                        record.condition = TextFromBytes(folder_.ReadBytes(relative, m.File(), code.Field("file")));
                        code.Finish();
                    } else {
                        record.condition = j.String("condition", "");
                    }
                    record.moment = j.NamedInt("moment", kTriggerMoments, record.moment);
                    record.constname = j.String("constant_name", "");
                    t.record = TriggerBytes(record);
                }
                j.Finish();
            }
            game_.triggers.push_back(std::move(t));
        }
    }

    void Extensions(JsonObject& m) {
        const Json& list = m.Array("extensions");
        for (size_t i = 0; i < list.size(); ++i) {
            JsonObject j(list[i], m.File(), ElementPath("extensions", i));
            CExtensionPackage p;
            p.s_name = j.String("name", "");
            p.s_folder = j.String("folder", p.s_name);
            p.key = j.Int("key", 0);
            const Json& files = j.Array("files");
            for (size_t k = 0; k < files.size(); ++k) {
                JsonObject jf(files[k], m.File(), ElementPath(j.Field("files"), k));
                p.s_includes.push_back(ExtensionFile(jf));
            }
            j.Finish();
            game_.extensions.push_back(std::move(p));
        }
    }

    CExtensionFile ExtensionFile(JsonObject& j) {
        CExtensionFile f;
        f.s_filename = j.String("filename", "");
        f.s_kind = j.NamedInt("kind", kExtensionFileKinds, f.s_kind);
        f.s_init = j.String("init", "");
        f.s_final = j.String("final", "");
        if (j.Has("data")) f.data = FileField(j, "data");
        const Json& functions = j.Array("functions");
        for (size_t i = 0; i < functions.size(); ++i) {
            JsonObject jf(functions[i], j.File(), ElementPath(j.Field("functions"), i));
            f.s_functions.push_back(ExtensionFunction(jf));
        }
        const Json& constants = j.Array("constants");
        for (size_t i = 0; i < constants.size(); ++i) {
            JsonObject jc(constants[i], j.File(), ElementPath(j.Field("constants"), i));
            CExtensionConstant c;
            c.s_name = jc.String("name", "");
            c.s_value = jc.String("value", "");
            jc.Finish();
            f.s_constants.push_back(std::move(c));
        }
        j.Finish();
        return f;
    }

    static CExtensionFunction ExtensionFunction(JsonObject& j) {
        CExtensionFunction fn;
        fn.s_name = j.String("name", "");
        fn.s_extname = j.String("external_name", fn.s_name);
        fn.s_kind = j.Int("kind", fn.s_kind);
        fn.s_id = j.Int("id", fn.s_id);
        fn.s_argcount = j.Int("argument_count", fn.s_argcount);
        const Json& types = j.Array("argument_types");
        if (types.size() > fn.s_argtype.size()) j.Fail("argument_types", "expected at most 17 entries");
        for (size_t i = 0; i < types.size(); ++i)
            fn.s_argtype[i] = AsInt(types[i], j.File(), ElementPath(j.Field("argument_types"), i));
        fn.s_returntype = j.Int("return_type", fn.s_returntype);
        j.Finish();
        return fn;
    }

    void CarriedLibrary(JsonObject& m) {
        if (!m.Has("carried_library")) return;
        JsonObject j = m.Object("carried_library");
        game_.library_name = j.String("name", "");
        if (j.Has("data")) game_.library_data = FileField(j, "data");
        j.Finish();
    }

    // Every resource's name, before any resource is read: references may point forward.
    // Problems are left to the full reading, which reports them.
    void ReadNames(JsonObject& j) {
        for (const auto& format : ResourceFormats()) {
            const Json* list = j.Find(format.folder);
            if (!list || !list->is_array()) continue;
            for (const Json& entry : *list) {
                if (!entry.is_string()) {
                    names_.Add(format.kind, false, "");
                    continue;
                }
                const std::string& stem = entry.get_ref<const std::string&>();
                std::string name = stem;
                if (IsSafePathPart(stem)) {
                    try {
                        Json json =
                            folder_.ReadJson(std::string(format.folder) + "/" + stem + ".json", j.File(), "");
                        if (json.is_object())
                            if (auto it = json.find("name"); it != json.end() && it->is_string())
                                name = it->get<std::string>();
                    } catch (const ProjectError&) {
                    }
                }
                names_.Add(format.kind, true, std::move(name));
            }
        }
    }

    void Resources(JsonObject j) {
        ReadNames(j);
        for (const auto& format : ResourceFormats()) {
            auto& slots = game_.Resources(format.kind);
            const Json& list = j.Array(format.folder);
            std::map<std::string, size_t> seen;
            for (size_t i = 0; i < list.size(); ++i) {
                RawResource r;
                if (!list[i].is_null()) {
                    std::string field = ElementPath(j.Field(format.folder), i);
                    std::string stem = AsString(list[i], j.File(), field);
                    if (!IsSafePathPart(stem))
                        Fail(j.File(), field,
                             "expected a file name without folders (no \"/\", \"\\\" or \"..\")");
                    if (auto [it, fresh] = seen.emplace(stem, i); !fresh)
                        Fail(j.File(), field,
                             "\"" + stem + "\" is already listed at index " + std::to_string(it->second));
                    std::string base = std::string(format.folder) + "/" + stem;
                    Json json = folder_.ReadJson(base + ".json", j.File(), field);
                    JsonObject item(json, base + ".json", "");
                    r.present = true;
                    r.name = item.String("name", stem);
                    format.load(item, r, ResourceFiles(folder_, base, &names_, &ids_));
                    item.Finish();
                    // The item goes into one compressed block, which the loader inflates only
                    // up to its limit: a record above it would build and then never load.
                    if (uint64_t(r.record.size()) + r.name.size() + 8 > kMaxInflatedBytes)
                        Fail(base + ".json", "",
                             "too large to store: the record takes " + std::to_string(r.record.size() >> 20) +
                                 " MiB, a resource may take at most " +
                                 std::to_string(kMaxInflatedBytes >> 20) + " MiB");
                }
                slots.push_back(std::move(r));
            }
        }
        j.Finish();
    }

    // Without a room order, every room plays in index order.
    void RoomOrder(JsonObject& m) {
        const auto& rooms = game_.Resources(ResourceKind::Room);
        if (!m.Has("room_order")) {
            for (size_t i = 0; i < rooms.size(); ++i)
                if (rooms[i].present) game_.room_order.push_back(static_cast<int32_t>(i));
            return;
        }
        const Json& list = m.Array("room_order");
        for (size_t i = 0; i < list.size(); ++i) {
            std::string field = ElementPath("room_order", i);
            if (!list[i].is_string()) {
                if (!list[i].is_number()) Fail(m.File(), field, "expected a room name or a room index");
                game_.room_order.push_back(AsInt(list[i], m.File(), field));
                continue;
            }
            const std::string& name = list[i].get_ref<const std::string&>();
            int32_t found = -1;
            for (size_t r = 0; r < rooms.size(); ++r) {
                if (!rooms[r].present || rooms[r].name != name) continue;
                if (found >= 0)
                    Fail(m.File(), field,
                         "more than one room is named \"" + name + "\"; use the room's index");
                found = static_cast<int32_t>(r);
            }
            if (found < 0) Fail(m.File(), field, "no room is named \"" + name + "\"");
            game_.room_order.push_back(found);
        }
    }

    ProjectFolder folder_;
    GameData& game_;
    ResourceNames names_;
    RoomIds ids_;
};

bool IsEmptyFolder(const fs::path& dir, std::error_code& ec) {
    return fs::directory_iterator(dir, ec) == fs::directory_iterator();
}

} // namespace

bool LoadProject(const fs::path& dir, GameData& game, std::string& error) {
    try {
        std::error_code ec;
        if (!fs::is_directory(dir, ec)) {
            error = dir.string() + ": not a project folder";
            return false;
        }
        GameData loaded;
        ProjectReader(dir, loaded).Read();
        game = std::move(loaded);
        return true;
    } catch (const ProjectError& e) {
        error = e.what();
    } catch (const std::bad_alloc&) {
        error = dir.string() + ": out of memory while reading the project";
    } catch (const std::exception& e) {
        error = dir.string() + ": " + e.what();
    }
    return false;
}

bool SaveProject(const GameData& game, const fs::path& dir, std::string& error, bool overwrite) {
    try {
        std::error_code ec;
        fs::file_status st = fs::status(dir, ec);
        if (fs::exists(st)) {
            if (!fs::is_directory(st)) {
                error = dir.string() + ": exists and is not a folder";
                return false;
            }
            bool empty = IsEmptyFolder(dir, ec);
            if (ec) {
                error = dir.string() + ": cannot read the folder: " + ec.message();
                return false;
            }
            if (!empty && !overwrite) {
                error = dir.string() + ": the folder is not empty";
                return false;
            }
        } else if (!fs::create_directories(dir, ec) || ec) {
            error = dir.string() + ": cannot create the folder: " + ec.message();
            return false;
        }
        ProjectWriter(game, dir).Write();
        return true;
    } catch (const ProjectError& e) {
        error = dir.string() + ": " + e.what();
    } catch (const std::exception& e) {
        error = dir.string() + ": " + e.what();
    }
    return false;
}

} // namespace kestrin
