#include "debug/debug_model.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "base/file_io.h"
#include "debug/debug_messages.h"
#include "graphics/sprite.h"
#include "runner/game_world.h"
#include "runner/instance.h"
#include "runner/main_loop.h"
#include "runner/object.h"
#include "runner/room.h"
#include "script/code.h"
#include "script/errors.h"
#include "script/interpreter.h"
#include "script/variable_names.h"
#include "script/variables.h"
#include "world/collision.h"

namespace kestrin {

namespace {

DebugModel* g_current = nullptr;

// Watch files are lists of expressions: a megabyte is far more than anyone types.
constexpr uint64_t kMaxWatchFileBytes = 1u << 20;

bool NearInteger(double value) {
    return std::fabs(value - std::nearbyint(value)) < 1e-12;
}

std::string Fixed(double value, int decimals) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string text = buffer;
    // A tiny negative rounds to "-0.00"; the window shows no sign on a zero.
    if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    return text;
}

// The built-in variable's value through its read routine; the real 0 when it cannot be read.
RValue ReadBuiltin(std::string_view name, CScriptInstance* instance) {
    RValue value;
    const RBuiltinVariable* variable = BuiltinVariable(VariableIndex(name));
    if (variable && variable->read && !variable->read(instance, 0, value)) value = RValue();
    return value;
}

void AppendBuiltins(std::string& text, std::initializer_list<std::string_view> names,
                    CScriptInstance* instance) {
    for (std::string_view name : names) text += DebugVariableLine(name, ReadBuiltin(name, instance));
}

void AppendVariables(std::string& text, const CVariableList& list) {
    for (const RVariable& v : list.Variables()) text += DebugVariableLine(VariableName(v.ind), v.simplevalue);
}

// An integer answer as the prompts read one: optional blanks around an optional sign and digits.
std::optional<int32_t> ParseInteger(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    int32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

struct TemporaryInstance {
    TemporaryInstance() { instance.Create(0, 0, 0, 0); }
    ~TemporaryInstance() { instance.Destroy(); }
    CInstance instance;
};

} // namespace

std::string DebugRealText(double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    if (NearInteger(value)) return Fixed(std::nearbyint(value), 0);
    for (int decimals = 2; decimals <= 8; decimals += 2)
        if (NearInteger(value * std::pow(10.0, decimals))) return Fixed(value, decimals);
    return Fixed(value, 10);
}

std::string DebugValueText(const RValue& value) {
    return value.IsString() ? std::string(value.str()) : DebugRealText(value.val());
}

std::string DebugVariableLine(std::string_view name, const RValue& value) {
    std::string line(name);
    line += ':';
    if (line.size() < 20) line.append(20 - line.size(), ' ');
    line += DebugValueText(value);
    line += "\r\n";
    return line;
}

std::string DebugSeparatorLine() {
    return std::string(32, '_') + "\r\n";
}

std::string GlobalVariablesText() {
    TemporaryInstance temporary;
    CScriptInstance* self = &temporary.instance;
    std::string text;
    AppendBuiltins(text,
                   {"mouse_x", "mouse_y", "mouse_button", "mouse_lastbutton", "keyboard_key",
                    "keyboard_lastkey", "keyboard_lastchar", "keyboard_string"},
                   self);
    text += DebugSeparatorLine();
    AppendBuiltins(text,
                   {"score", "lives", "health", "room", "room_width", "room_height", "room_speed",
                    "room_persistent", "cursor_sprite"},
                   self);
    text += DebugSeparatorLine();
    AppendBuiltins(text,
                   {"working_directory", "temp_directory", "program_directory", "secure_mode",
                    "error_occurred", "error_last"},
                   self);
    text += DebugSeparatorLine();
    AppendVariables(text, Globals().List());
    return text;
}

std::string AllInstancesText() {
    std::string text = msg::kInstancesHeader;
    const CRoom* room = World().Current();
    if (!room) return text;
    for (const auto& instance : room->r_instance) {
        if (instance->i_marked) continue;
        const std::string object(Objects().Name(instance->i_objectindex));
        const std::string sprite = Sprite_GetName(instance->i_spriteindex);
        char line[64];
        std::snprintf(line, sizeof line, "%6d ", instance->i_id);
        text += line;
        // Names are as long as their authors made them: padded, never cut.
        if (object.size() < 14) text.append(14 - object.size(), ' ');
        text += object;
        text += ' ';
        if (sprite.size() < 14) text.append(14 - sprite.size(), ' ');
        text += sprite;
        text += "\r\n";
    }
    return text;
}

CInstance* FindShownInstance(int32_t id, std::string_view objectName) {
    const CRoom* room = World().Current();
    if (!room) return nullptr;
    for (const auto& instance : room->r_instance) {
        if (instance->i_marked) continue;
        if (id != -1 ? instance->i_id == id
                     : Objects().Exists(instance->i_objectindex) &&
                           Objects().Name(instance->i_objectindex) == objectName)
            return instance.get();
    }
    return nullptr;
}

std::string LocalVariablesText(int32_t id, std::string_view objectName) {
    CInstance* instance = FindShownInstance(id, objectName);
    if (!instance) return msg::kNoSuchInstance;
    std::string text;
    AppendBuiltins(
        text,
        {"x", "y", "direction", "speed", "hspeed", "vspeed", "friction", "gravity", "gravity_direction"},
        instance);
    text += DebugSeparatorLine();
    AppendBuiltins(text,
                   {"id", "object_index", "sprite_index", "image_index", "image_single", "image_speed",
                    "image_xscale", "image_yscale", "mask_index", "solid", "visible", "persistent", "depth"},
                   instance);
    text += DebugSeparatorLine();
    AppendBuiltins(text, {"path_index", "path_position", "path_orientation", "path_scale"}, instance);
    text += DebugSeparatorLine();
    AppendVariables(text, instance->i_vars);
    return text;
}

int32_t InstanceAtPoint(double x, double y) {
    const CRoom* room = World().Current();
    if (!room) return -1;
    int32_t found = -1;
    for (const auto& instance : room->r_instance)
        if (!instance->i_marked && Collision_Point(*instance, x, y, true)) found = instance->i_id;
    return found;
}

DebugModel* CurrentDebugModel() {
    return g_current;
}

void SetCurrentDebugModel(DebugModel* model) {
    g_current = model;
}

DebugModel::DebugModel(MainLoop* loop) : loop_(loop) {
    global_.caption = msg::kGlobalCaption;
    instances_.caption = msg::kInstancesCaption;
}

bool DebugModel::Running() const {
    return loop_ && loop_->state.running;
}

bool DebugModel::Paused() const {
    return loop_ && loop_->state.paused;
}

bool DebugModel::Enabled(DebugAction action) const {
    switch (action) {
    case DebugAction::Run:
    case DebugAction::Step:
        return Running() && Paused();
    case DebugAction::Pause:
        return Running() && !Paused();
    case DebugAction::Stop:
    case DebugAction::Restart:
        return Running();
    }
    return false;
}

bool DebugModel::Run() {
    if (!Enabled(DebugAction::Run)) return false;
    loop_->state.paused = false;
    return true;
}

bool DebugModel::Pause() {
    if (!Enabled(DebugAction::Pause)) return false;
    loop_->state.paused = true;
    return true;
}

bool DebugModel::Step() {
    if (!Enabled(DebugAction::Step)) return false;
    try {
        loop_->StepOnce();
    } catch (const std::exception& fault) {
        // As in the loop: one bad step does not end the game.
        HandleRunnerFault(fault);
        if (World().room_request == kRequestAbort || GameAborting()) loop_->state.running = false;
    }
    return true;
}

bool DebugModel::Stop() {
    if (!Enabled(DebugAction::Stop)) return false;
    // The loop then returns and the session ends the game with its end events.
    loop_->state.running = false;
    loop_->state.paused = false;
    return true;
}

bool DebugModel::Restart() {
    if (!Enabled(DebugAction::Restart)) return false;
    World().room_request = kRequestRestart;
    loop_->state.paused = false;
    return true;
}

bool DebugModel::Perform(DebugAction action) {
    switch (action) {
    case DebugAction::Run:
        return Run();
    case DebugAction::Pause:
        return Pause();
    case DebugAction::Step:
        return Step();
    case DebugAction::Stop:
        return Stop();
    case DebugAction::Restart:
        return Restart();
    }
    return false;
}

void DebugModel::CloseWindow() {
    shown_ = false;
    if (Paused()) (void)Stop();
}

std::string DebugModel::EvaluateWatch(std::string_view expression) {
    CCode code(expression, true);
    if (!code.Compile()) {
        ClearCodeError();
        return msg::kCompileError;
    }
    TemporaryInstance temporary;
    RValue value;
    // A failing watch shows ERROR; it is not the player's error to see.
    if (!RunCodeValue(&temporary.instance, &temporary.instance, code, value)) ClearCodeError();
    return DebugValueText(value);
}

bool DebugModel::AddWatch(std::string_view expression) {
    if (expression.empty()) return false;
    watches_.push_back({std::string(expression), {}});
    Refresh();
    return true;
}

bool DebugModel::DeleteWatch(size_t row) {
    if (row >= watches_.size()) return false;
    watches_.erase(watches_.begin() + static_cast<ptrdiff_t>(row));
    Refresh();
    return true;
}

bool DebugModel::ChangeWatch(size_t row, std::string_view expression) {
    if (row >= watches_.size()) return AddWatch(expression);
    if (expression.empty()) return false;
    watches_[row].expression = std::string(expression);
    Refresh();
    return true;
}

void DebugModel::ClearWatches() {
    watches_.clear();
    Refresh();
}

bool DebugModel::LoadWatches(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (ReadRegularFile(path, bytes, kMaxWatchFileBytes) != FileReadStatus::Ok) return false;
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        // Every line is a watch, as the file was written; only a missing last line is none.
        watches_.push_back({std::string(line), {}});
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    Refresh();
    return true;
}

bool DebugModel::SaveWatches(const std::string& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const DebugWatch& watch : watches_) out << watch.expression << "\r\n";
    out.flush();
    return static_cast<bool>(out);
}

DebugModel::ExecuteResult DebugModel::Execute(std::string_view text) {
    if (text.empty()) return ExecuteResult::Empty;
    last_code_ = std::string(text);
    CCode code(text, false);
    if (!code.Compile()) {
        ClearCodeError();
        return ExecuteResult::CompileError;
    }
    {
        TemporaryInstance temporary;
        RValue result;
        (void)RunCodeReported(&temporary.instance, &temporary.instance, code, result);
    }
    Refresh();
    return ExecuteResult::Ran;
}

int32_t DebugModel::RoomSpeed() const {
    const CRoom* room = World().Current();
    return room ? room->r_speed : 0;
}

bool DebugModel::SetSpeed(std::string_view answer) {
    const std::optional<int32_t> speed = ParseInteger(answer);
    CRoom* room = World().Current();
    if (!speed || !room) return false;
    // The loop would correct a speed below 1 after the next step; a paused game single-stepped
    // never gets there, and everything else that reads the speed expects it positive.
    room->r_speed = std::max(*speed, 1);
    Refresh();
    return true;
}

void DebugModel::ShowGlobal() {
    global_.visible = true;
    Refresh();
}

void DebugModel::ShowInstances() {
    instances_.visible = true;
    Refresh();
}

void DebugModel::ShowMessages() {
    if (!messages_) {
        messages_.emplace();
        messages_->caption = msg::kMessagesCaption;
    }
    messages_->visible = true;
}

std::optional<size_t> DebugModel::ShowLocal(std::string_view answer) {
    size_t index = locals_.size();
    for (size_t i = 0; i < locals_.size(); ++i)
        if (!locals_[i].visible) {
            index = i;
            break;
        }
    if (index == locals_.size()) {
        if (locals_.size() >= kMaxLocalWindows) return std::nullopt;
        locals_.emplace_back();
    }
    DebugTextWindow& window = locals_[index];
    window.caption = msg::kLocalCaption + std::string(answer);
    if (const std::optional<int32_t> id = ParseInteger(answer)) {
        window.id = *id;
        window.object_name.clear();
    } else {
        window.id = -1;
        window.object_name = std::string(answer);
    }
    window.visible = true;
    Refresh();
    return index;
}

void DebugModel::AddMessage(std::string_view text) {
    if (!messages_) {
        messages_.emplace();
        messages_->caption = msg::kMessagesCaption;
    }
    std::string& all = messages_->text;
    all.append(text);
    all += "\r\n";
    if (all.size() > kMaxMessageBytes) {
        // Drop whole lines from the front.
        size_t cut = all.find("\r\n", all.size() - kMaxMessageBytes);
        all.erase(0, cut == std::string::npos ? all.size() : cut + 2);
    }
    message_added_ = true;
}

bool DebugModel::TakeMessageAdded() {
    const bool added = message_added_;
    message_added_ = false;
    return added;
}

void DebugModel::UpdateMouseId() {
    TemporaryInstance temporary;
    const double x = ReadBuiltin("mouse_x", &temporary.instance).val();
    const double y = ReadBuiltin("mouse_y", &temporary.instance).val();
    const int32_t id = InstanceAtPoint(x, y);
    mouse_panel_ = msg::kMouseIdPrefix;
    if (id != -1) mouse_panel_ += std::to_string(id);
}

void DebugModel::RefreshLocal(DebugTextWindow& window) {
    window.text = LocalVariablesText(window.id, window.object_name);
}

void DebugModel::Refresh() {
    fps_panel_ = std::to_string(loop_ ? loop_->Fps() : 0) + msg::kFpsSuffix;
    const CRoom* room = World().Current();
    inst_panel_ = std::to_string(room ? room->r_instance.size() : 0) + msg::kInstSuffix;
    UpdateMouseId();
    for (DebugWatch& watch : watches_) watch.value = EvaluateWatch(watch.expression);
    if (global_.visible) global_.text = GlobalVariablesText();
    for (DebugTextWindow& window : locals_)
        if (window.visible) RefreshLocal(window);
    if (instances_.visible) instances_.text = AllInstancesText();
}

} // namespace kestrin
