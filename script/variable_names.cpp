#include "script/variable_names.h"

#include <array>
#include <deque>
#include <string>
#include <unordered_map>

namespace kestrin {

namespace {

// The built-in variables in registration order: the instance variables first, then the
// global ones. A variable's index is its position, so entries are only ever appended.
constexpr std::string_view kBuiltinNames[] = {
    // Instance variables.
    "x",
    "y",
    "xprevious",
    "yprevious",
    "xstart",
    "ystart",
    "hspeed",
    "vspeed",
    "direction",
    "speed",
    "friction",
    "gravity",
    "gravity_direction",
    "object_index",
    "id",
    "alarm",
    "solid",
    "visible",
    "persistent",
    "depth",
    "bbox_left",
    "bbox_right",
    "bbox_top",
    "bbox_bottom",
    "sprite_index",
    "image_index",
    "image_single",
    "image_number",
    "sprite_width",
    "sprite_height",
    "sprite_xoffset",
    "sprite_yoffset",
    "image_xscale",
    "image_yscale",
    "image_angle",
    "image_alpha",
    "image_blend",
    "image_speed",
    "mask_index",
    "path_index",
    "path_position",
    "path_positionprevious",
    "path_speed",
    "path_scale",
    "path_orientation",
    "path_endaction",
    "timeline_index",
    "timeline_position",
    "timeline_speed",
    "timeline_running",
    "timeline_loop",
    // Global variables.
    "argument_relative",
    "argument0",
    "argument1",
    "argument2",
    "argument3",
    "argument4",
    "argument5",
    "argument6",
    "argument7",
    "argument8",
    "argument9",
    "argument10",
    "argument11",
    "argument12",
    "argument13",
    "argument14",
    "argument15",
    "argument",
    "argument_count",
    "room",
    "room_first",
    "room_last",
    "transition_kind",
    "transition_steps",
    "score",
    "lives",
    "health",
    "game_id",
    "working_directory",
    "temp_directory",
    "program_directory",
    "instance_count",
    "instance_id",
    "room_width",
    "room_height",
    "room_caption",
    "room_speed",
    "room_persistent",
    "background_showcolor",
    "view_enabled",
    "background_color",
    "background_visible",
    "background_foreground",
    "background_htiled",
    "background_vtiled",
    "background_index",
    "background_blend",
    "background_x",
    "background_y",
    "background_xscale",
    "background_yscale",
    "background_hspeed",
    "background_vspeed",
    "background_alpha",
    "background_width",
    "background_height",
    "view_current",
    "view_visible",
    "view_xview",
    "view_yview",
    "view_wview",
    "view_hview",
    "view_xport",
    "view_yport",
    "view_wport",
    "view_hport",
    "view_hborder",
    "view_vborder",
    "view_hspeed",
    "view_vspeed",
    "view_object",
    "view_angle",
    "mouse_x",
    "mouse_y",
    "mouse_button",
    "mouse_lastbutton",
    "keyboard_key",
    "keyboard_lastkey",
    "keyboard_lastchar",
    "keyboard_string",
    "cursor_sprite",
    "show_score",
    "show_lives",
    "show_health",
    "caption_score",
    "caption_lives",
    "caption_health",
    "fps",
    "current_time",
    "current_year",
    "current_month",
    "current_day",
    "current_weekday",
    "current_hour",
    "current_minute",
    "current_second",
    "event_type",
    "event_number",
    "event_object",
    "event_action",
    "secure_mode",
    "debug_mode",
    "error_occurred",
    "error_last",
    "kestrin_version",
    "os_type",
    "os_device",
    "os_browser",
    "os_version",
    "browser_width",
    "browser_height",
    "async_load",
    "display_aa",
};

constexpr int32_t kBuiltinCount = static_cast<int32_t>(std::size(kBuiltinNames));
static_assert(kBuiltinCount <= kMaxBuiltinVariables, "too many built-in variables");

struct NameTables {
    std::array<RBuiltinVariable, kBuiltinCount> builtins;
    std::unordered_map<std::string_view, int32_t> builtinIndex;
    // A deque keeps every name at its address, so the views in the map stay valid.
    std::deque<std::string> userNames;
    std::unordered_map<std::string_view, int32_t> userIndex;
    int32_t argument0 = -1;
    int32_t argumentArray = -1;

    NameTables() {
        for (int32_t i = 0; i < kBuiltinCount; ++i) {
            builtins[i].name = kBuiltinNames[i];
            builtinIndex.emplace(kBuiltinNames[i], i);
        }
        argument0 = builtinIndex.at("argument0");
        argumentArray = builtinIndex.at("argument");
    }
};

NameTables& Tables() {
    static NameTables tables;
    return tables;
}

} // namespace

int32_t BuiltinVariableCount() {
    return kBuiltinCount;
}

const RBuiltinVariable* BuiltinVariable(int32_t index) {
    if (index < 0 || index >= kBuiltinCount) return nullptr;
    return &Tables().builtins[index];
}

bool BindBuiltinVariable(std::string_view name, BuiltinVariableRead read, BuiltinVariableWrite write) {
    NameTables& t = Tables();
    const auto it = t.builtinIndex.find(name);
    if (it == t.builtinIndex.end()) return false;
    RBuiltinVariable& entry = t.builtins[it->second];
    entry.read = read;
    entry.write = write;
    entry.writable = write != nullptr;
    return true;
}

int32_t ArgumentVariableIndex(int32_t n) {
    return Tables().argument0 + n;
}
int32_t ArgumentArrayVariableIndex() {
    return Tables().argumentArray;
}

int32_t VariableIndex(std::string_view name) {
    NameTables& t = Tables();
    if (const auto it = t.builtinIndex.find(name); it != t.builtinIndex.end()) return it->second;
    if (const auto it = t.userIndex.find(name); it != t.userIndex.end()) return it->second;
    const int32_t index = kFirstUserVariable + static_cast<int32_t>(t.userNames.size());
    t.userNames.emplace_back(name);
    t.userIndex.emplace(t.userNames.back(), index);
    return index;
}

void ArgumentUsage::Note(int32_t variableIndex) {
    const int32_t first = ArgumentVariableIndex(0);
    if (variableIndex >= first && variableIndex < first + 16) {
        const int32_t n = variableIndex - first;
        if (n > highest) highest = n;
    } else if (variableIndex == ArgumentArrayVariableIndex()) {
        argumentArray = true;
    }
}

int32_t VariableIndex(std::string_view name, ArgumentUsage& usage) {
    const int32_t index = VariableIndex(name);
    usage.Note(index);
    return index;
}

std::string_view VariableName(int32_t index) {
    if (index < kFirstUserVariable) {
        if (index >= 0 && index < kBuiltinCount) return kBuiltinNames[index];
        return "<unknown built-in variable>";
    }
    const NameTables& t = Tables();
    const auto n = static_cast<size_t>(index - kFirstUserVariable);
    if (n < t.userNames.size()) return t.userNames[n];
    return "<unknown variable>";
}

int32_t UserVariableCount() {
    return static_cast<int32_t>(Tables().userNames.size());
}

} // namespace kestrin
