#include "runner/game_variables.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <utility>
#include <variant>

#include "base/numeric.h"
#include "runner/game_world.h"
#include "runner/loop_messages.h"
#include "runner/main_loop.h"
#include "runner/messages.h"
#include "runner/room.h"
#include "script/errors.h"
#include "script/value.h"
#include "script/variable_names.h"

namespace kestrin {

namespace {

// ---- Conversions of written values ----

int32_t ToInteger(const RValue& value) {
    return RoundToInt32(value.val());
}

bool ToBoolean(const RValue& value) {
    return RoundToInt64(value.val()) >= 1;
}

bool Real(double number, RValue& out) {
    out.SetReal(number);
    return true;
}

bool Text(std::string_view text, RValue& out) {
    out = RValue(text);
    return true;
}

// ---- Instance variables ----

template <double CInstance::*Field> bool ReadReal(CScriptInstance* s, int32_t, RValue& out) {
    CInstance* i = AsInstance(s);
    return i && Real(i->*Field, out);
}
template <double CInstance::*Field> bool WriteReal(CScriptInstance* s, int32_t, const RValue& v) {
    CInstance* i = AsInstance(s);
    if (!i) return false;
    i->*Field = v.val();
    return true;
}
template <int32_t CInstance::*Field> bool ReadInt(CScriptInstance* s, int32_t, RValue& out) {
    CInstance* i = AsInstance(s);
    return i && Real(i->*Field, out);
}
template <int32_t CInstance::*Field> bool WriteInt(CScriptInstance* s, int32_t, const RValue& v) {
    CInstance* i = AsInstance(s);
    if (!i) return false;
    i->*Field = ToInteger(v);
    return true;
}
template <bool CInstance::*Field> bool ReadBool(CScriptInstance* s, int32_t, RValue& out) {
    CInstance* i = AsInstance(s);
    return i && Real(i->*Field ? 1 : 0, out);
}
template <bool CInstance::*Field> bool WriteBool(CScriptInstance* s, int32_t, const RValue& v) {
    CInstance* i = AsInstance(s);
    if (!i) return false;
    i->*Field = ToBoolean(v);
    return true;
}
template <void (CInstance::*Setter)(double)> bool WriteThrough(CScriptInstance* s, int32_t, const RValue& v) {
    CInstance* i = AsInstance(s);
    if (!i) return false;
    (i->*Setter)(v.val());
    return true;
}
template <void (CInstance::*Setter)(int32_t)>
bool WriteIntThrough(CScriptInstance* s, int32_t, const RValue& v) {
    CInstance* i = AsInstance(s);
    if (!i) return false;
    (i->*Setter)(ToInteger(v));
    return true;
}

bool ReadId(CScriptInstance* s, int32_t, RValue& out) {
    return s && Real(s->i_id, out);
}

bool WriteX(CScriptInstance* s, int32_t, const RValue& v) {
    CInstance* i = AsInstance(s);
    if (!i) return false;
    i->SetPosition(v.val(), i->i_y);
    return true;
}
bool WriteY(CScriptInstance* s, int32_t, const RValue& v) {
    CInstance* i = AsInstance(s);
    if (!i) return false;
    i->SetPosition(i->i_x, v.val());
    return true;
}

int32_t AlarmIndex(int32_t element) {
    return element >= 0 && element < kAlarmCount ? element : 0;
}
bool ReadAlarm(CScriptInstance* s, int32_t element, RValue& out) {
    CInstance* i = AsInstance(s);
    return i && Real(i->GetAlarm(AlarmIndex(element)), out);
}
bool WriteAlarm(CScriptInstance* s, int32_t element, const RValue& v) {
    CInstance* i = AsInstance(s);
    if (!i) return false;
    i->SetAlarm(AlarmIndex(element), ToInteger(v));
    return true;
}

template <int32_t RBox::*Side> bool ReadBox(CScriptInstance* s, int32_t, RValue& out) {
    CInstance* i = AsInstance(s);
    return i && Real(i->i_bbox.*Side, out);
}

bool ReadImageBlend(CScriptInstance* s, int32_t, RValue& out) {
    CInstance* i = AsInstance(s);
    return i && Real(i->i_imageblend, out);
}
bool WriteImageBlend(CScriptInstance* s, int32_t, const RValue& v) {
    CInstance* i = AsInstance(s);
    if (!i) return false;
    i->i_imageblend = static_cast<uint32_t>(ToInteger(v));
    return true;
}

bool ReadImageSingle(CScriptInstance* s, int32_t, RValue& out) {
    CInstance* i = AsInstance(s);
    return i && Real(i->i_imagespeed != 0 ? -1 : i->i_imageindex, out);
}
bool WriteImageSingle(CScriptInstance* s, int32_t, const RValue& v) {
    CInstance* i = AsInstance(s);
    if (!i) return false;
    if (v.val() >= 0) {
        i->i_imageindex = v.val();
        i->i_imagespeed = 0;
    } else {
        i->i_imagespeed = 1;
    }
    return true;
}

bool ReadImageNumber(CScriptInstance* s, int32_t, RValue& out) {
    CInstance* i = AsInstance(s);
    const auto count = CurrentInstanceSpriteHooks().image_count;
    return i && Real(count ? count(i->i_spriteindex) : 0, out);
}
// A size or origin of the instance's sprite, scaled by the instance; 0 without a sprite.
template <bool Origin, bool Vertical> bool ReadSpriteScaled(CScriptInstance* s, int32_t, RValue& out) {
    CInstance* i = AsInstance(s);
    if (!i) return false;
    const auto geometry = CurrentInstanceSpriteHooks().geometry;
    RSpriteGeometry spr;
    if (!geometry || !geometry(i->i_spriteindex, spr)) return Real(0, out);
    const double value = Origin ? (Vertical ? spr.yorig : spr.xorig) : (Vertical ? spr.height : spr.width);
    return Real(value * (Vertical ? i->i_imagescaley : i->i_imagescalex), out);
}

// ---- Game values ----

template <int32_t GameVariables::*Field> bool ReadGameInt(CScriptInstance*, int32_t, RValue& out) {
    return Real(GameValues().*Field, out);
}
template <int32_t GameVariables::*Field> bool WriteGameInt(CScriptInstance*, int32_t, const RValue& v) {
    GameValues().*Field = ToInteger(v);
    return true;
}
// A transition shows at least its first and last frame.
bool WriteTransitionSteps(CScriptInstance*, int32_t, const RValue& v) {
    GameValues().transition_steps = std::max(ToInteger(v), 1);
    return true;
}
template <bool GameVariables::*Field> bool ReadGameBool(CScriptInstance*, int32_t, RValue& out) {
    return Real(GameValues().*Field ? 1 : 0, out);
}
template <bool GameVariables::*Field> bool WriteGameBool(CScriptInstance*, int32_t, const RValue& v) {
    GameValues().*Field = ToBoolean(v);
    return true;
}
template <std::string GameVariables::*Field> bool ReadGameText(CScriptInstance*, int32_t, RValue& out) {
    return Text(GameValues().*Field, out);
}
template <std::string GameVariables::*Field> bool WriteGameText(CScriptInstance*, int32_t, const RValue& v) {
    GameValues().*Field = std::string(v.str());
    return true;
}

bool WriteShowScore(CScriptInstance*, int32_t, const RValue& v) {
    GameValues().show_score = ToBoolean(v);
    GameValues().score_asked = true;
    return true;
}

bool WriteLives(CScriptInstance*, int32_t, const RValue& v) {
    SetLives(ToInteger(v));
    return true;
}

bool ReadHealth(CScriptInstance*, int32_t, RValue& out) {
    return Real(GameValues().health, out);
}
bool WriteHealth(CScriptInstance*, int32_t, const RValue& v) {
    SetHealth(v.val());
    return true;
}

bool ReadTransitionKind(CScriptInstance*, int32_t, RValue& out) {
    return Real(World().transition_kind, out);
}
bool WriteTransitionKind(CScriptInstance*, int32_t, const RValue& v) {
    World().transition_kind = ToInteger(v);
    return true;
}

bool ReadFps(CScriptInstance*, int32_t, RValue& out) {
    return Real(CurrentLoop() ? CurrentLoop()->Fps() : 0, out);
}

bool ReadCurrentTime(CScriptInstance*, int32_t, RValue& out) {
    // Through the loop's clock when one runs, so that simulated runs stay reproducible.
    if (MainLoop* loop = CurrentLoop()) return Real(static_cast<double>(loop->Pacer().Elapsed() / 1000), out);
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return Real(static_cast<double>(int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000), out);
}

template <int Field> bool ReadDate(CScriptInstance*, int32_t, RValue& out) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const int values[] = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_wday + 1,
                          local.tm_hour,        local.tm_min,     local.tm_sec};
    return Real(values[Field], out);
}

bool ReadWorkingDirectory(CScriptInstance*, int32_t, RValue& out) {
    std::error_code ec;
    return Text(std::filesystem::current_path(ec).string(), out);
}

template <int Value> bool ReadConstant(CScriptInstance*, int32_t, RValue& out) {
    return Real(Value, out);
}

// ---- Room variables ----

CRoom* Room() {
    return World().Current();
}

bool ReadRoom(CScriptInstance*, int32_t, RValue& out) {
    return Real(World().CurrentIndex(), out);
}
bool WriteRoom(CScriptInstance*, int32_t, const RValue& v) {
    const int32_t index = ToInteger(v);
    if (!World().RoomExists(index)) {
        ReportError(msg::kUnexistingRoom + std::to_string(index), true);
        return true;
    }
    World().room_request = index;
    return true;
}
bool ReadRoomFirst(CScriptInstance*, int32_t, RValue& out) {
    return Real(World().RoomFirst(), out);
}
bool ReadRoomLast(CScriptInstance*, int32_t, RValue& out) {
    return Real(World().RoomLast(), out);
}

bool ReadInstanceCount(CScriptInstance*, int32_t, RValue& out) {
    return Real(Room() ? Room()->r_numb() : 0, out);
}
bool ReadInstanceId(CScriptInstance*, int32_t element, RValue& out) {
    CRoom* room = Room();
    if (!room || element < 0 || element >= room->r_numb()) return Real(kNooneSelector, out);
    return Real(room->r_instance[static_cast<size_t>(element)]->i_id, out);
}

template <int32_t CRoom::*Field> bool ReadRoomInt(CScriptInstance*, int32_t, RValue& out) {
    return Real(Room() ? Room()->*Field : 0, out);
}
template <int32_t CRoom::*Field> bool WriteRoomInt(CScriptInstance*, int32_t, const RValue& v) {
    if (CRoom* room = Room()) room->*Field = ToInteger(v);
    return true;
}
template <bool CRoom::*Field> bool ReadRoomBool(CScriptInstance*, int32_t, RValue& out) {
    return Real(Room() && Room()->*Field ? 1 : 0, out);
}
template <bool CRoom::*Field> bool WriteRoomBool(CScriptInstance*, int32_t, const RValue& v) {
    const bool value = ToBoolean(v);
    if (CRoom* room = Room()) room->*Field = value;
    return true;
}

bool ReadCaption(CScriptInstance*, int32_t, RValue& out) {
    return Text(Room() ? std::string_view(Room()->r_caption) : std::string_view(), out);
}
bool WriteCaption(CScriptInstance*, int32_t, const RValue& v) {
    if (CRoom* room = Room()) room->r_caption = std::string(v.str());
    return true;
}

bool WriteRoomSpeed(CScriptInstance*, int32_t, const RValue& v) {
    const int32_t speed = ToInteger(v);
    if (speed <= 0) {
        ReportError(msg::kRoomSpeedNotPositive, false);
        return false;
    }
    if (CRoom* room = Room()) room->r_speed = speed;
    return true;
}

size_t LayerIndex(int32_t element) {
    return element >= 0 && element < kRoomLayerCount ? static_cast<size_t>(element) : 0;
}

// A layer or view field of the current room; without a room, reads see the defaults and
// writes go nowhere.
template <typename Record, auto Member, std::array<Record, 8> CRoom::*Array> auto* FieldOf(int32_t element) {
    using Value = std::remove_reference_t<decltype(std::declval<Record&>().*Member)>;
    static Value spare{};
    CRoom* room = Room();
    if (!room) {
        spare = Record{}.*Member;
        return &spare;
    }
    return &((room->*Array)[LayerIndex(element)].*Member);
}

template <typename Record, auto Member, std::array<Record, 8> CRoom::*Array>
bool ReadLayerField(CScriptInstance*, int32_t element, RValue& out) {
    const auto value = *FieldOf<Record, Member, Array>(element);
    if constexpr (std::is_same_v<std::remove_cvref_t<decltype(value)>, bool>)
        return Real(value ? 1 : 0, out);
    else
        return Real(static_cast<double>(value), out);
}

template <typename Record, auto Member, std::array<Record, 8> CRoom::*Array>
bool WriteLayerField(CScriptInstance*, int32_t element, const RValue& v) {
    auto* field = FieldOf<Record, Member, Array>(element);
    using Value = std::remove_cvref_t<decltype(*field)>;
    if constexpr (std::is_same_v<Value, bool>)
        *field = ToBoolean(v);
    else if constexpr (std::is_same_v<Value, int32_t>)
        *field = ToInteger(v);
    else
        *field = v.val();
    return true;
}

template <auto Member> constexpr auto kReadBack = ReadLayerField<CBack, Member, &CRoom::r_background>;
template <auto Member> constexpr auto kWriteBack = WriteLayerField<CBack, Member, &CRoom::r_background>;
template <auto Member> constexpr auto kReadView = ReadLayerField<CView, Member, &CRoom::r_view>;
template <auto Member> constexpr auto kWriteView = WriteLayerField<CView, Member, &CRoom::r_view>;

// The view variables of kRoomViewFields, a read and a write routine for each field. Without
// a room, reads see the defaults and writes go nowhere.
CView& ViewAt(int32_t element) {
    static CView spare;
    if (CRoom* room = Room()) return room->r_view[LayerIndex(element)];
    spare = CView();
    return spare;
}

bool ReadScalar(bool value, RValue& out) { return Real(value ? 1 : 0, out); }
bool ReadScalar(int32_t value, RValue& out) { return Real(value, out); }
bool ReadScalar(uint32_t value, RValue& out) { return Real(value, out); }
bool ReadScalar(double value, RValue& out) { return Real(value, out); }
bool ReadScalar(const std::string& value, RValue& out) { return Text(value, out); }
// Lists are never built-in variables.
template <class Entry> bool ReadScalar(const std::vector<Entry>&, RValue&) { return false; }
void WriteScalar(bool& field, const RValue& v) { field = ToBoolean(v); }
void WriteScalar(int32_t& field, const RValue& v) { field = ToInteger(v); }
void WriteScalar(uint32_t& field, const RValue& v) { field = static_cast<uint32_t>(ToInteger(v)); }
void WriteScalar(double& field, const RValue& v) { field = v.val(); }
void WriteScalar(std::string& field, const RValue& v) { field = std::string(v.str()); }
template <class Entry> void WriteScalar(std::vector<Entry>&, const RValue&) {}

template <size_t Field> bool ReadViewField(CScriptInstance*, int32_t element, RValue& out) {
    const CView& view = ViewAt(element);
    return std::visit([&](auto member) { return ReadScalar(view.*member, out); }, kRoomViewFields[Field].member);
}
template <size_t Field> bool WriteViewField(CScriptInstance*, int32_t element, const RValue& v) {
    CView& view = ViewAt(element);
    std::visit([&](auto member) { WriteScalar(view.*member, v); }, kRoomViewFields[Field].member);
    return true;
}

bool ReadBackgroundSize(int32_t element, bool height, RValue& out) {
    int32_t width = 0, tall = 0;
    if (!BackgroundSizeOf(*FieldOf<CBack, &CBack::index, &CRoom::r_background>(element), width, tall))
        return Real(0, out);
    return Real(height ? tall : width, out);
}
bool ReadBackgroundWidth(CScriptInstance*, int32_t element, RValue& out) {
    return ReadBackgroundSize(element, false, out);
}
bool ReadBackgroundHeight(CScriptInstance*, int32_t element, RValue& out) {
    return ReadBackgroundSize(element, true, out);
}

struct Binding {
    std::string_view name;
    BuiltinVariableRead read;
    BuiltinVariableWrite write;
};

// ORDER of the built-in variable table, less those bound by other modules.
const Binding kBindings[] = {
    {"x", ReadReal<&CInstance::i_x>, WriteX},
    {"y", ReadReal<&CInstance::i_y>, WriteY},
    {"xprevious", ReadReal<&CInstance::i_xprevious>, WriteReal<&CInstance::i_xprevious>},
    {"yprevious", ReadReal<&CInstance::i_yprevious>, WriteReal<&CInstance::i_yprevious>},
    {"xstart", ReadReal<&CInstance::i_xstart>, WriteReal<&CInstance::i_xstart>},
    {"ystart", ReadReal<&CInstance::i_ystart>, WriteReal<&CInstance::i_ystart>},
    {"hspeed", ReadReal<&CInstance::i_hspeed>, WriteThrough<&CInstance::SetHspeed>},
    {"vspeed", ReadReal<&CInstance::i_vspeed>, WriteThrough<&CInstance::SetVspeed>},
    {"direction", ReadReal<&CInstance::i_direction>, WriteThrough<&CInstance::SetDirection>},
    {"speed", ReadReal<&CInstance::i_speed>, WriteThrough<&CInstance::SetSpeed>},
    {"friction", ReadReal<&CInstance::i_friction>, WriteReal<&CInstance::i_friction>},
    {"gravity", ReadReal<&CInstance::i_gravity>, WriteReal<&CInstance::i_gravity>},
    {"gravity_direction", ReadReal<&CInstance::i_gravitydir>, WriteReal<&CInstance::i_gravitydir>},
    {"object_index", ReadInt<&CInstance::i_objectindex>, nullptr},
    {"id", ReadId, nullptr},
    {"alarm", ReadAlarm, WriteAlarm},
    {"solid", ReadBool<&CInstance::i_solid>, WriteBool<&CInstance::i_solid>},
    {"visible", ReadBool<&CInstance::i_visible>, WriteBool<&CInstance::i_visible>},
    {"persistent", ReadBool<&CInstance::i_persistent>, WriteBool<&CInstance::i_persistent>},
    {"depth", ReadReal<&CInstance::i_depth>, WriteReal<&CInstance::i_depth>},
    {"bbox_left", ReadBox<&RBox::left>, nullptr},
    {"bbox_right", ReadBox<&RBox::right>, nullptr},
    {"bbox_top", ReadBox<&RBox::top>, nullptr},
    {"bbox_bottom", ReadBox<&RBox::bottom>, nullptr},
    {"sprite_index", ReadInt<&CInstance::i_spriteindex>, WriteIntThrough<&CInstance::SetSpriteIndex>},
    {"image_index", ReadReal<&CInstance::i_imageindex>, WriteReal<&CInstance::i_imageindex>},
    {"image_single", ReadImageSingle, WriteImageSingle},
    {"image_number", ReadImageNumber, nullptr},
    {"sprite_width", ReadSpriteScaled<false, false>, nullptr},
    {"sprite_height", ReadSpriteScaled<false, true>, nullptr},
    {"sprite_xoffset", ReadSpriteScaled<true, false>, nullptr},
    {"sprite_yoffset", ReadSpriteScaled<true, true>, nullptr},
    {"image_xscale", ReadReal<&CInstance::i_imagescalex>, WriteThrough<&CInstance::SetImageScaleX>},
    {"image_yscale", ReadReal<&CInstance::i_imagescaley>, WriteThrough<&CInstance::SetImageScaleY>},
    {"image_angle", ReadReal<&CInstance::i_imageangle>, WriteThrough<&CInstance::SetImageAngle>},
    {"image_alpha", ReadReal<&CInstance::i_imagealpha>, WriteReal<&CInstance::i_imagealpha>},
    {"image_blend", ReadImageBlend, WriteImageBlend},
    {"image_speed", ReadReal<&CInstance::i_imagespeed>, WriteReal<&CInstance::i_imagespeed>},
    {"mask_index", ReadInt<&CInstance::i_maskindex>, WriteIntThrough<&CInstance::SetMaskIndex>},
    {"path_index", ReadInt<&CInstance::i_pathindex>, nullptr},
    {"path_position", ReadReal<&CInstance::i_pathposition>, WriteThrough<&CInstance::SetPathPosition>},
    {"path_positionprevious", ReadReal<&CInstance::i_pathpositionprevious>,
     WriteThrough<&CInstance::SetPathPositionPrevious>},
    {"path_speed", ReadReal<&CInstance::i_pathspeed>, WriteReal<&CInstance::i_pathspeed>},
    {"path_scale", ReadReal<&CInstance::i_pathscale>, WriteReal<&CInstance::i_pathscale>},
    {"path_orientation", ReadReal<&CInstance::i_pathorientation>, WriteReal<&CInstance::i_pathorientation>},
    {"path_endaction", ReadInt<&CInstance::i_pathend>, WriteInt<&CInstance::i_pathend>},
    {"timeline_index", ReadInt<&CInstance::i_timelineindex>, WriteInt<&CInstance::i_timelineindex>},
    {"timeline_position", ReadReal<&CInstance::i_timelineposition>,
     WriteReal<&CInstance::i_timelineposition>},
    {"timeline_speed", ReadReal<&CInstance::i_timelinespeed>, WriteReal<&CInstance::i_timelinespeed>},
    {"timeline_running", ReadBool<&CInstance::i_timelinerunning>, WriteBool<&CInstance::i_timelinerunning>},
    {"timeline_loop", ReadBool<&CInstance::i_timelineloop>, WriteBool<&CInstance::i_timelineloop>},

    {"room", ReadRoom, WriteRoom},
    {"room_first", ReadRoomFirst, nullptr},
    {"room_last", ReadRoomLast, nullptr},
    {"transition_kind", ReadTransitionKind, WriteTransitionKind},
    {"transition_steps", ReadGameInt<&GameVariables::transition_steps>, WriteTransitionSteps},
    {"score", ReadGameInt<&GameVariables::score>, WriteGameInt<&GameVariables::score>},
    {"lives", ReadGameInt<&GameVariables::lives>, WriteLives},
    {"health", ReadHealth, WriteHealth},
    {"game_id", ReadGameInt<&GameVariables::game_id>, nullptr},
    {"working_directory", ReadWorkingDirectory, nullptr},
    {"temp_directory", ReadGameText<&GameVariables::temp_directory>, nullptr},
    {"program_directory", ReadGameText<&GameVariables::program_directory>, nullptr},
    {"instance_count", ReadInstanceCount, nullptr},
    {"instance_id", ReadInstanceId, nullptr},
    {"room_width", ReadRoomInt<&CRoom::r_width>, nullptr},
    {"room_height", ReadRoomInt<&CRoom::r_height>, nullptr},
    {"room_caption", ReadCaption, WriteCaption},
    {"room_speed", ReadRoomInt<&CRoom::r_speed>, WriteRoomSpeed},
    {"room_persistent", ReadRoomBool<&CRoom::r_persistent>, WriteRoomBool<&CRoom::r_persistent>},
    {"background_showcolor", ReadRoomBool<&CRoom::r_showcolor>, WriteRoomBool<&CRoom::r_showcolor>},
    {"view_enabled", ReadRoomBool<&CRoom::r_enableviews>, WriteRoomBool<&CRoom::r_enableviews>},
    {"background_color", ReadRoomInt<&CRoom::r_color>, WriteRoomInt<&CRoom::r_color>},
    {"background_visible", kReadBack<&CBack::visible>, kWriteBack<&CBack::visible>},
    {"background_foreground", kReadBack<&CBack::foreground>, kWriteBack<&CBack::foreground>},
    {"background_htiled", kReadBack<&CBack::htiled>, kWriteBack<&CBack::htiled>},
    {"background_vtiled", kReadBack<&CBack::vtiled>, kWriteBack<&CBack::vtiled>},
    {"background_index", kReadBack<&CBack::index>, kWriteBack<&CBack::index>},
    {"background_blend", kReadBack<&CBack::blend>, kWriteBack<&CBack::blend>},
    {"background_x", kReadBack<&CBack::x>, kWriteBack<&CBack::x>},
    {"background_y", kReadBack<&CBack::y>, kWriteBack<&CBack::y>},
    {"background_xscale", kReadBack<&CBack::xscale>, kWriteBack<&CBack::xscale>},
    {"background_yscale", kReadBack<&CBack::yscale>, kWriteBack<&CBack::yscale>},
    {"background_hspeed", kReadBack<&CBack::hspeed>, kWriteBack<&CBack::hspeed>},
    {"background_vspeed", kReadBack<&CBack::vspeed>, kWriteBack<&CBack::vspeed>},
    {"background_alpha", kReadBack<&CBack::alpha>, kWriteBack<&CBack::alpha>},
    {"background_width", ReadBackgroundWidth, nullptr},
    {"background_height", ReadBackgroundHeight, nullptr},
    {"view_current", ReadGameInt<&GameVariables::view_current>, nullptr},
    // The stored view fields are bound from kRoomViewFields (BindGameVariables).
    {"view_angle", kReadView<&CView::angle>, kWriteView<&CView::angle>},
    {"cursor_sprite", ReadGameInt<&GameVariables::cursor_sprite>,
     WriteGameInt<&GameVariables::cursor_sprite>},
    {"show_score", ReadGameBool<&GameVariables::show_score>, WriteShowScore},
    {"show_lives", ReadGameBool<&GameVariables::show_lives>, WriteGameBool<&GameVariables::show_lives>},
    {"show_health", ReadGameBool<&GameVariables::show_health>, WriteGameBool<&GameVariables::show_health>},
    {"caption_score", ReadGameText<&GameVariables::caption_score>,
     WriteGameText<&GameVariables::caption_score>},
    {"caption_lives", ReadGameText<&GameVariables::caption_lives>,
     WriteGameText<&GameVariables::caption_lives>},
    {"caption_health", ReadGameText<&GameVariables::caption_health>,
     WriteGameText<&GameVariables::caption_health>},
    {"fps", ReadFps, nullptr},
    {"current_time", ReadCurrentTime, nullptr},
    {"current_year", ReadDate<0>, nullptr},
    {"current_month", ReadDate<1>, nullptr},
    {"current_day", ReadDate<2>, nullptr},
    {"current_weekday", ReadDate<3>, nullptr},
    {"current_hour", ReadDate<4>, nullptr},
    {"current_minute", ReadDate<5>, nullptr},
    {"current_second", ReadDate<6>, nullptr},
    {"secure_mode", ReadGameBool<&GameVariables::secure_mode>, nullptr},
    {"debug_mode", ReadGameBool<&GameVariables::debug_mode>, nullptr},
    {"kestrin_version", ReadConstant<810>, nullptr},
    {"os_type", ReadConstant<0>, nullptr},
    {"os_device", ReadConstant<0>, nullptr},
    {"os_browser", ReadConstant<-1>, nullptr},
    {"os_version", ReadConstant<-1>, nullptr},
    {"browser_width", ReadConstant<-1>, nullptr},
    {"browser_height", ReadConstant<-1>, nullptr},
    {"async_load", ReadConstant<-1>, nullptr},
    {"display_aa", ReadGameInt<&GameVariables::display_aa>, nullptr},
};

} // namespace

GameVariables& GameValues() {
    static GameVariables values;
    return values;
}

void SetLives(int32_t lives) {
    const int32_t old = GameValues().lives;
    GameValues().lives = lives;
    if (old > 0 && lives <= 0) PerformAll(ev_other, ev_no_more_lives);
}

void SetHealth(double health) {
    const double old = GameValues().health;
    GameValues().health = health;
    if (old > 0 && !(health > 0)) PerformAll(ev_other, ev_no_more_health);
}

void ResetGameVariables() {
    GameVariables& v = GameValues();
    v.score = 0;
    v.lives = -1;
    v.cursor_sprite = -1;
    World().transition_kind = 0;
    if (MainLoop* loop = CurrentLoop()) loop->state.cursor_frame = 0;
}

template <size_t... Field> void BindViewFields(std::index_sequence<Field...>) {
    ((void)BindBuiltinVariable(kRoomViewFields[Field].variable, ReadViewField<Field>, WriteViewField<Field>), ...);
}

void BindGameVariables() {
    for (const Binding& b : kBindings) (void)BindBuiltinVariable(b.name, b.read, b.write);
    BindViewFields(std::make_index_sequence<sizeof(kRoomViewFields) / sizeof(kRoomViewFields[0])>());
}

} // namespace kestrin
