#include "script/constants.h"

#include <unordered_map>
#include <vector>

#include "script/code.h"
#include "script/code_messages.h"
#include "script/interpreter.h"
#include "script/scripts.h"
#include "script/variables.h"

namespace kestrin {

namespace {

struct NamedValue {
    std::string_view name;
    double value;
};

// The built-in constants in the order they are added. Numbered runs (keys, joystick buttons,
// user events) are added by AddBuiltinConstants between the entries around them.
constexpr NamedValue kBasics[] = {
    {"self", -1},
    {"other", -2},
    {"all", -3},
    {"noone", -4},
    {"global", -5},
    {"local", -7},
    {"true", 1},
    {"false", 0},
    {"pi", 3.141592653589793},
    {"pr_pointlist", 1},
    {"pr_linelist", 2},
    {"pr_linestrip", 3},
    {"pr_trianglelist", 4},
    {"pr_trianglestrip", 5},
    {"pr_trianglefan", 6},
    {"c_aqua", 16776960},
    {"c_black", 0},
    {"c_blue", 16711680},
    {"c_dkgray", 4210752},
    {"c_fuchsia", 16711935},
    {"c_gray", 8421504},
    {"c_green", 32768},
    {"c_lime", 65280},
    {"c_ltgray", 12632256},
    {"c_maroon", 128},
    {"c_navy", 8388608},
    {"c_olive", 32896},
    {"c_purple", 8388736},
    {"c_red", 255},
    {"c_silver", 12632256},
    {"c_teal", 8421376},
    {"c_white", 16777215},
    {"c_yellow", 65535},
    {"c_orange", 4235519},
    {"bm_normal", 0},
    {"bm_add", 1},
    {"bm_max", 2},
    {"bm_subtract", 3},
    {"bm_zero", 1},
    {"bm_one", 2},
    {"bm_src_color", 3},
    {"bm_inv_src_color", 4},
    {"bm_src_alpha", 5},
    {"bm_inv_src_alpha", 6},
    {"bm_dest_alpha", 7},
    {"bm_inv_dest_alpha", 8},
    {"bm_dest_color", 9},
    {"bm_inv_dest_color", 10},
    {"bm_src_alpha_sat", 11},
    {"se_none", 0},
    {"se_chorus", 1},
    {"se_echo", 2},
    {"se_flanger", 4},
    {"se_gargle", 8},
    {"se_reverb", 16},
    {"se_compressor", 32},
    {"se_equalizer", 64},
    {"fa_left", 0},
    {"fa_center", 1},
    {"fa_right", 2},
    {"fa_top", 0},
    {"fa_middle", 1},
    {"fa_bottom", 2},
    {"mb_any", -1},
    {"mb_none", 0},
    {"mb_left", 1},
    {"mb_right", 2},
    {"mb_middle", 3},
    {"vk_nokey", 0},
    {"vk_anykey", 1},
    {"vk_enter", 13},
    {"vk_return", 13},
    {"vk_shift", 16},
    {"vk_control", 17},
    {"vk_alt", 18},
    {"vk_escape", 27},
    {"vk_space", 32},
    {"vk_backspace", 8},
    {"vk_tab", 9},
    {"vk_pause", 19},
    {"vk_printscreen", 44},
    {"vk_left", 37},
    {"vk_right", 39},
    {"vk_up", 38},
    {"vk_down", 40},
    {"vk_home", 36},
    {"vk_end", 35},
    {"vk_delete", 46},
    {"vk_insert", 45},
    {"vk_pageup", 33},
    {"vk_pagedown", 34},
};

// After vk_f1..vk_f12 and vk_numpad0..vk_numpad9.
constexpr NamedValue kKeysAfterNumbered[] = {
    {"vk_divide", 111},
    {"vk_multiply", 106},
    {"vk_subtract", 109},
    {"vk_add", 107},
    {"vk_decimal", 110},
    {"vk_lshift", 160},
    {"vk_lcontrol", 162},
    {"vk_lalt", 164},
    {"vk_rshift", 161},
    {"vk_rcontrol", 163},
    {"vk_ralt", 165},
    {"ev_create", 0},
    {"ev_destroy", 1},
    {"ev_step", 3},
    {"ev_alarm", 2},
    {"ev_keyboard", 5},
    {"ev_mouse", 6},
    {"ev_collision", 4},
    {"ev_other", 7},
    {"ev_draw", 8},
    {"ev_keypress", 9},
    {"ev_keyrelease", 10},
    {"ev_trigger", 11},
    {"ev_left_button", 0},
    {"ev_right_button", 1},
    {"ev_middle_button", 2},
    {"ev_no_button", 3},
    {"ev_left_press", 4},
    {"ev_right_press", 5},
    {"ev_middle_press", 6},
    {"ev_left_release", 7},
    {"ev_right_release", 8},
    {"ev_middle_release", 9},
    {"ev_mouse_enter", 10},
    {"ev_mouse_leave", 11},
    {"ev_global_press", 12},
    {"ev_global_release", 13},
    {"ev_joystick1_left", 16},
    {"ev_joystick1_right", 17},
    {"ev_joystick1_up", 18},
    {"ev_joystick1_down", 19},
};

constexpr NamedValue kJoystick2[] = {
    {"ev_joystick2_left", 31},
    {"ev_joystick2_right", 32},
    {"ev_joystick2_up", 33},
    {"ev_joystick2_down", 34},
};

constexpr NamedValue kGlobalMouse[] = {
    {"ev_global_left_button", 50},
    {"ev_global_right_button", 51},
    {"ev_global_middle_button", 52},
    {"ev_global_left_press", 53},
    {"ev_global_right_press", 54},
    {"ev_global_middle_press", 55},
    {"ev_global_left_release", 56},
    {"ev_global_right_release", 57},
    {"ev_global_middle_release", 58},
    {"ev_mouse_wheel_up", 60},
    {"ev_mouse_wheel_down", 61},
    {"ev_outside", 0},
    {"ev_boundary", 1},
    {"ev_game_start", 2},
    {"ev_game_end", 3},
    {"ev_room_start", 4},
    {"ev_room_end", 5},
    {"ev_no_more_lives", 6},
    {"ev_animation_end", 7},
    {"ev_end_of_path", 8},
    {"ev_no_more_health", 9},
};

// After ev_user0..ev_user15.
constexpr NamedValue kRest[] = {
    {"ev_close_button", 30},
    {"ev_step_normal", 0},
    {"ev_step_begin", 1},
    {"ev_step_end", 2},
    {"ty_real", 0},
    {"ty_string", 1},
    {"dll_cdecl", 0},
    {"dll_stdcall", 1},
    {"fa_readonly", 1},
    {"fa_hidden", 2},
    {"fa_sysfile", 4},
    {"fa_volumeid", 8},
    {"fa_directory", 16},
    {"fa_archive", 32},
    {"cr_default", 0},
    {"cr_none", -1},
    {"cr_arrow", -2},
    {"cr_arrrow", -2},
    {"cr_cross", -3},
    {"cr_beam", -4},
    {"cr_size_nesw", -6},
    {"cr_size_ns", -7},
    {"cr_size_nwse", -8},
    {"cr_size_we", -9},
    {"cr_uparrow", -10},
    {"cr_hourglass", -11},
    {"cr_drag", -12},
    {"cr_nodrop", -13},
    {"cr_hsplit", -14},
    {"cr_vsplit", -15},
    {"cr_multidrag", -16},
    {"cr_sqlwait", -17},
    {"cr_no", -18},
    {"cr_appstart", -19},
    {"cr_help", -20},
    {"cr_handpoint", -21},
    {"cr_size_all", -22},
    {"pt_shape_pixel", 0},
    {"pt_shape_disk", 1},
    {"pt_shape_square", 2},
    {"pt_shape_line", 3},
    {"pt_shape_star", 4},
    {"pt_shape_circle", 5},
    {"pt_shape_ring", 6},
    {"pt_shape_sphere", 7},
    {"pt_shape_flare", 8},
    {"pt_shape_spark", 9},
    {"pt_shape_explosion", 10},
    {"pt_shape_cloud", 11},
    {"pt_shape_smoke", 12},
    {"pt_shape_snow", 13},
    {"ps_distr_linear", 0},
    {"ps_distr_gaussian", 1},
    {"ps_distr_invgaussian", 2},
    {"ps_shape_rectangle", 0},
    {"ps_shape_ellipse", 1},
    {"ps_shape_diamond", 2},
    {"ps_shape_line", 3},
    {"ps_force_constant", 0},
    {"ps_force_linear", 1},
    {"ps_force_quadratic", 2},
    {"ps_deflect_vertical", 0},
    {"ps_deflect_horizontal", 1},
    {"ps_change_all", 0},
    {"ps_change_shape", 1},
    {"ps_change_motion", 2},
    {"ef_explosion", 0},
    {"ef_ring", 1},
    {"ef_ellipse", 2},
    {"ef_firework", 3},
    {"ef_smoke", 4},
    {"ef_smokeup", 5},
    {"ef_star", 6},
    {"ef_spark", 7},
    {"ef_flare", 8},
    {"ef_cloud", 9},
    {"ef_rain", 10},
    {"ef_snow", 11},
    {"os_unknown", -1},
    {"os_win32", 0},
    {"os_win64", 1},
    {"os_macosx", 2},
    {"os_psp", 3},
    {"os_ios", 4},
    {"os_android", 5},
    {"os_linux", 6},
    {"device_ios_unknown", -1},
    {"device_ios_iphone", 0},
    {"device_ios_iphone_retina", 1},
    {"device_ios_ipad", 2},
    {"browser_not_a_browser", -1},
    {"browser_unknown", 0},
    {"browser_ie", 1},
    {"browser_firefox", 2},
    {"browser_chrome", 3},
    {"browser_safari", 4},
    {"browser_safari_mobile", 5},
    {"browser_opera", 6},
    {"text_type", 0},
    {"button_type", 1},
    {"input_type", 2},
    {"ANSI_CHARSET", 0},
    {"DEFAULT_CHARSET", 1},
    {"EASTEUROPE_CHARSET", 238},
    {"RUSSIAN_CHARSET", 204},
    {"SYMBOL_CHARSET", 2},
    {"SHIFTJIS_CHARSET", 128},
    {"HANGEUL_CHARSET", 129},
    {"GB2312_CHARSET", 134},
    {"CHINESEBIG5_CHARSET", 136},
    {"JOHAB_CHARSET", 130},
    {"HEBREW_CHARSET", 177},
    {"ARABIC_CHARSET", 178},
    {"GREEK_CHARSET", 161},
    {"TURKISH_CHARSET", 162},
    {"VIETNAMESE_CHARSET", 163},
    {"THAI_CHARSET", 222},
    {"MAC_CHARSET", 77},
    {"BALTIC_CHARSET", 186},
    {"OEM_CHARSET", 255},
};

struct ConstantTable {
    std::vector<std::string> names;
    std::vector<RValue> values;
    // Name -> the last entry of that name, which is the one lookups find.
    std::unordered_map<std::string, int32_t> last;

    void Add(std::string_view name, const RValue& value) {
        names.emplace_back(name);
        values.push_back(value);
        last[names.back()] = static_cast<int32_t>(names.size() - 1);
    }
};

void AddNumbered(ConstantTable& t, std::string_view prefix, int first, int last, double firstValue,
                 std::string_view suffix = {}) {
    for (int i = first; i <= last; ++i) {
        std::string name(prefix);
        name += std::to_string(i);
        name += suffix;
        t.Add(name, RValue(firstValue + (i - first)));
    }
}

void AddAll(ConstantTable& t, std::span<const NamedValue> list) {
    for (const NamedValue& c : list) t.Add(c.name, RValue(c.value));
}

void AddBuiltinConstants(ConstantTable& t) {
    AddAll(t, kBasics);
    AddNumbered(t, "vk_f", 1, 12, 112);
    AddNumbered(t, "vk_numpad", 0, 9, 96);
    AddAll(t, kKeysAfterNumbered);
    AddNumbered(t, "ev_joystick1_button", 1, 8, 21);
    AddAll(t, kJoystick2);
    AddNumbered(t, "ev_joystick2_button", 1, 8, 36);
    AddAll(t, kGlobalMouse);
    AddNumbered(t, "ev_user", 0, 15, 10);
    AddAll(t, kRest);
}

ConstantTable& Table() {
    static ConstantTable table = [] {
        ConstantTable t;
        AddBuiltinConstants(t);
        return t;
    }();
    return table;
}

NameLookup g_resources;
NameLookup g_triggers;

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool ValidConstantName(std::string_view name) {
    if (name.empty() || !(IsAsciiLetter(name[0]) || name[0] == '_')) return false;
    for (char c : name)
        if (!(IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_')) return false;
    return true;
}

std::string_view TrimControls(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
    return text;
}

} // namespace

void AddConstant(std::string_view name, const RValue& value) {
    Table().Add(name, value);
}

bool FindConstant(std::string_view name, RValue& value) {
    int32_t index = -1;
    if (g_resources ? g_resources(name, index) : (index = FindScript(name)) >= 0) {
        value.SetReal(index);
        return true;
    }
    if (g_triggers && g_triggers(name, index)) {
        value.SetReal(index);
        return true;
    }
    const ConstantTable& t = Table();
    const auto it = t.last.find(std::string(name));
    if (it == t.last.end()) return false;
    value = t.values[static_cast<size_t>(it->second)];
    return true;
}

bool DefineConstant(std::string_view rawName, std::string_view text, std::string& message) {
    const std::string_view name = TrimControls(rawName);
    if (!ValidConstantName(name)) {
        message = std::string(CodeText(CodeMessage::ConstantName)) + std::string(name) +
                  std::string(CodeText(CodeMessage::NotValid));
        return false;
    }
    CCode code(text, true);
    // The value is computed for an instance that is in no room: id 0, object 0, at 0,0.
    CScriptInstance temporary;
    RValue value;
    if (!code.Compile() || !RunCodeValue(&temporary, &temporary, code, value)) {
        message = std::string(CodeText(CodeMessage::ConstantValue)) + std::string(name) +
                  std::string(CodeText(CodeMessage::NotValid));
        return false;
    }
    AddConstant(name, value);
    return true;
}

void ResetConstants() {
    ConstantTable& t = Table();
    t = ConstantTable();
    AddBuiltinConstants(t);
}

int32_t ConstantCount() {
    return static_cast<int32_t>(Table().names.size());
}

std::string_view ConstantName(int32_t index) {
    const ConstantTable& t = Table();
    if (index < 0 || static_cast<size_t>(index) >= t.names.size()) return {};
    return t.names[static_cast<size_t>(index)];
}

const RValue& ConstantValue(int32_t index) {
    static const RValue kZero;
    const ConstantTable& t = Table();
    if (index < 0 || static_cast<size_t>(index) >= t.values.size()) return kZero;
    return t.values[static_cast<size_t>(index)];
}

void SetResourceNameLookup(NameLookup lookup) {
    g_resources = std::move(lookup);
}

void SetTriggerConstantLookup(NameLookup lookup) {
    g_triggers = std::move(lookup);
}

} // namespace kestrin
