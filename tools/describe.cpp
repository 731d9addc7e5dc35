#include "tools/describe.h"

#include <cstdio>

namespace kestrin {

namespace {

// "1 file", "3 files".
std::string Count(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Bytes(size_t n) {
    return Count(n, "byte", "bytes");
}

const char* YesNo(bool b) {
    return b ? "yes" : "no";
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", value);
    return text;
}

// Names are shown as they are unless that would hide something: empty names, control
// characters, quotes and surrounding spaces are shown quoted and escaped.
std::string ShowName(const std::string& name) {
    bool plain = !name.empty() && name.front() != ' ' && name.back() != ' ';
    for (char ch : name) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || c == '"' || c == '\\') plain = false;
    }
    if (plain) return name;
    std::string out = "\"";
    for (char ch : name) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02X", c);
            out += esc;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string ImageSize(const std::optional<TBitmap32>& image) {
    if (!image || image->Empty()) return "none";
    return std::to_string(image->Width()) + "x" + std::to_string(image->Height());
}

const char* ExportActionName(int32_t action) {
    switch (action) {
    case kExportNone:
        return "not exported";
    case kExportToTemp:
        return "exported to the temporary folder";
    case kExportToWorkingFolder:
        return "exported to the working folder";
    case kExportToFolder:
        return "exported to folder";
    default:
        return "unknown export action";
    }
}

const char* ExtensionKindName(int32_t kind) {
    switch (kind) {
    case kExtensionDll:
        return "library";
    case kExtensionScript:
        return "script file";
    case kExtensionNoData:
        return "not carried";
    case kExtensionOther:
        return "file";
    default:
        return "unknown kind";
    }
}

const char* KindTitle(ResourceKind kind) {
    static const char* const titles[kResourceKindCount] = {
        "sounds", "sprites", "backgrounds", "paths", "scripts", "fonts", "time lines", "objects", "rooms"};
    return titles[static_cast<int>(kind)];
}

void Settings(std::string& out, const CSettings& s) {
    out += "Settings (version " + std::to_string(s.version) + ")\n";
    out += "  window: scale " + std::to_string(s.scale) + ", full screen " + YesNo(s.fullscreen) +
           ", border " + YesNo(!s.no_border) + ", caption buttons " + YesNo(!s.no_buttons) + ", sizeable " +
           YesNo(s.sizeable) + ", stay on top " + YesNo(s.stay_on_top) + ", outside colour " +
           Hex(static_cast<uint32_t>(s.outside_colour)) + "\n";
    out += "  display: interpolate " + std::string(YesNo(s.interpolate)) + ", vsync " + YesNo(s.vsync);
    if (s.set_display_mode)
        out += ", set display mode (depth " + std::to_string(s.colour_depth) + ", resolution " +
               std::to_string(s.resolution) + ", frequency " + std::to_string(s.frequency) + ")";
    out += "\n";
    out += "  keys: Escape ends " + std::string(YesNo(s.key_escape_ends)) + ", close button as Escape " +
           YesNo(s.close_as_escape) + ", F1 information " + YesNo(s.key_f1_info) + ", F4 full screen " +
           YesNo(s.key_f4_fullscreen) + ", F5/F6 save/load " + YesNo(s.key_f5_f6_save_load) +
           ", F9 screenshot " + YesNo(s.key_f9_screenshot) + "\n";
    out += "  loading: progress bar " + std::string(YesNo(s.show_progress)) + " (back " +
           ImageSize(s.bar_back) + ", front " + ImageSize(s.bar_front) + ", scaled " +
           YesNo(s.scale_progress) + "), image " + ImageSize(s.loading_image) + ", transparent " +
           YesNo(s.loading_transparent) + ", alpha " + std::to_string(s.loading_alpha) + "\n";
    out += "  errors: display " + std::string(YesNo(s.display_errors)) + ", write to file " +
           YesNo(s.write_errors) + ", abort on all " + YesNo(s.abort_errors) + "\n";
    out += "  other: cursor " + std::string(YesNo(s.show_cursor)) + ", priority " +
           std::to_string(s.priority) + ", freeze when inactive " + YesNo(s.freeze_inactive) +
           ", block screen saver " + YesNo(s.block_screensaver) + ", language flags " +
           std::to_string(s.language_flags) + ", create event first " + YesNo(s.create_event_first) + "\n";
}

void Resources(std::string& out, const GameData& game) {
    out += "Resources\n";
    for (int k = 0; k < kResourceKindCount; ++k) {
        ResourceKind kind = static_cast<ResourceKind>(k);
        const auto& slots = game.Resources(kind);
        size_t empty = 0, bytes = 0;
        for (const auto& r : slots) {
            if (!r.present) ++empty;
            bytes += r.record.size();
        }
        out += "  " + std::string(KindTitle(kind)) + ": " + Count(slots.size(), "slot", "slots");
        if (empty) out += " (" + std::to_string(empty) + " empty)";
        if (!slots.empty()) out += ", " + Bytes(bytes);
        out += "\n";
        for (size_t i = 0; i < slots.size(); ++i) {
            out += "    " + std::to_string(i) + "  ";
            if (slots[i].present)
                out += ShowName(slots[i].name) + "  " + Bytes(slots[i].record.size());
            else
                out += "(empty)";
            out += "\n";
        }
    }
    size_t emptyTriggers = 0;
    for (const auto& t : game.triggers)
        if (!t.present) ++emptyTriggers;
    out += "Triggers: " + Count(game.triggers.size(), "slot", "slots");
    if (emptyTriggers) out += " (" + std::to_string(emptyTriggers) + " empty)";
    out += "\n";
}

void IncludedFiles(std::string& out, const GameData& game) {
    size_t total = 0;
    for (const auto& f : game.included_files.files) total += f.s_data.size();
    out += "Included files: " + std::to_string(game.included_files.files.size());
    if (!game.included_files.files.empty()) out += ", " + Bytes(total);
    out += "\n";
    for (const auto& f : game.included_files.files) {
        out += "  " + ShowName(f.s_filename) + "  " + Bytes(f.s_data.size());
        out += f.s_exists && f.s_store ? ", stored" : ", not stored";
        out += std::string(", ") + ExportActionName(f.s_exportaction);
        if (f.s_exportaction == kExportToFolder) out += " " + ShowName(f.s_exportdir);
        out += "\n";
    }
}

void Extensions(std::string& out, const GameData& game) {
    out += "Extension packages: " + std::to_string(game.extensions.size()) + "\n";
    for (const auto& p : game.extensions) {
        size_t functions = 0, constants = 0;
        for (const auto& f : p.s_includes) {
            functions += f.s_functions.size();
            constants += f.s_constants.size();
        }
        out += "  " + ShowName(p.s_name) + " (folder " + ShowName(p.s_folder) +
               "): " + Count(p.s_includes.size(), "file", "files") + ", " +
               Count(functions, "function", "functions") + ", " + Count(constants, "constant", "constants") +
               "\n";
        for (const auto& f : p.s_includes) {
            out += "    " + ShowName(f.s_filename) + "  " + ExtensionKindName(f.s_kind) + ", " +
                   Bytes(f.data.size());
            if (!f.s_init.empty()) out += ", init " + ShowName(f.s_init);
            if (!f.s_final.empty()) out += ", final " + ShowName(f.s_final);
            out += "\n";
            // The names code calls them by.
            std::string names;
            for (const auto& fn : f.s_functions) {
                if (fn.s_name.empty()) continue;
                names += (names.empty() ? "" : ", ") + ShowName(fn.s_name) + "/" +
                         (fn.s_argcount < 0 ? std::string("any") : std::to_string(fn.s_argcount));
            }
            if (!names.empty()) out += "      functions: " + names + "\n";
        }
    }
}

void RoomOrder(std::string& out, const GameData& game) {
    const auto& rooms = game.Resources(ResourceKind::Room);
    out += "Room order: " + std::to_string(game.room_order.size()) + "\n";
    for (int32_t index : game.room_order) {
        out += "  " + std::to_string(index) + "  ";
        if (index >= 0 && static_cast<size_t>(index) < rooms.size() && rooms[index].present)
            out += ShowName(rooms[index].name);
        else
            out += "(no such room)";
        out += "\n";
    }
}

} // namespace

std::string DescribeGame(const GameData& game) {
    std::string out;
    char guid[40] = {};
    for (size_t i = 0; i < game.game_guid.size(); ++i)
        std::snprintf(guid + 2 * i, 3, "%02x", game.game_guid[i]);
    out += "Game id " + std::to_string(game.game_id) + ", guid " + guid + ", debug mode " +
           YesNo(game.debug_mode) + "\n";
    Settings(out, game.settings);
    const GameInformation& info = game.information;
    out +=
        "Game information: caption " + ShowName(info.caption) + ", " + Bytes(info.rtf.size()) + " of text\n";
    Resources(out, game);
    out += "Constants: " + std::to_string(game.constants.size()) + "\n";
    for (const auto& c : game.constants) out += "  " + ShowName(c.name) + " = " + ShowName(c.value) + "\n";
    IncludedFiles(out, game);
    Extensions(out, game);
    size_t initBytes = 0;
    for (const auto& code : game.library_init_code) initBytes += code.size();
    out += "Library init code: " + Count(game.library_init_code.size(), "piece", "pieces") + ", " +
           Bytes(initBytes) + "\n";
    RoomOrder(out, game);
    out += "Last ids: instance " + std::to_string(game.last_instance_id) + ", tile " +
           std::to_string(game.last_tile_id) + "\n";
    size_t records = 0, included = 0, extensionFiles = 0;
    for (const auto& kind : game.resources)
        for (const auto& r : kind) records += r.record.size();
    for (const auto& t : game.triggers) records += t.record.size();
    for (const auto& f : game.included_files.files) included += f.s_data.size();
    for (const auto& p : game.extensions)
        for (const auto& f : p.s_includes) extensionFiles += f.data.size();
    out += "Sizes: resource and trigger records " + Bytes(records) + ", included files " + Bytes(included) +
           ", extension files " + Bytes(extensionFiles) + ", library init code " + Bytes(initBytes) + "\n";
    if (!game.library_name.empty() || !game.library_data.empty())
        out +=
            "Carried library: " + ShowName(game.library_name) + ", " + Bytes(game.library_data.size()) + "\n";
    return out;
}

} // namespace kestrin
