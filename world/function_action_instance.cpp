// The instance, sprite and object actions, replacing resources, and the timing, room, sound
// and game actions.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>

#include "base/numeric.h"
#include "runner/event_dispatch.h"
#include "runner/game_variables.h"
#include "runner/game_world.h"
#include "runner/instance.h"
#include "runner/messages.h"
#include "runner/object.h"
#include "runner/room.h"
#include "script/random.h"
#include "script/run_error.h"
#include "world/action_messages.h"
#include "world/action_support.h"
#include "world/function_action.h"

namespace kestrin {

namespace {

using namespace action;

double X(CInstance* me, Args a, int i) {
    return Rel(D(a, i), me ? me->i_x : 0);
}
double Y(CInstance* me, Args a, int i) {
    return Rel(D(a, i), me ? me->i_y : 0);
}

ROUTINE(action_create_object) {
    CInstance* me = AsInstance(self);
    World().CreateInstance(X(me, a, 1), Y(me, a, 2), I(a, 0));
}

// Speed and direction are the new instance's before its create event runs, so that event
// can read and change them.
ROUTINE(action_create_object_motion) {
    CInstance* me = AsInstance(self);
    const int32_t object = I(a, 0);
    if (!Objects().Exists(object))
        return ReportRunError(msg::kCreateMissingObject + std::to_string(object), false);
    CRoom* room = World().Current();
    if (!room) return;
    CInstance* made = room->AddInstance(X(me, a, 1), Y(me, a, 2), object);
    if (!made) return ReportRunError(msg::kOutOfInstanceIds, false);
    made->SetSpeed(D(a, 3));
    made->SetDirection(D(a, 4));
    PerformEvent(made, made, ev_create, 0);
}
ROUTINE(action_create_object_random) {
    CInstance* me = AsInstance(self);
    bool any = false;
    for (int i = 0; i < 4; ++i) any = any || Objects().Exists(I(a, i));
    if (!any) return;
    int32_t object = I(a, static_cast<int>(RandomBelow(4)));
    while (!Objects().Exists(object)) object = I(a, static_cast<int>(RandomBelow(4)));
    World().CreateInstance(X(me, a, 4), Y(me, a, 5), object);
}
ROUTINE(action_change_object) {
    ME;
    World().ChangeInstance(me, I(a, 0), I(a, 1) >= 1);
}
// An instance already destroyed (or whose destroy event is running) is not destroyed again.
ROUTINE(action_kill_object) {
    World().DestroyInstance(AsInstance(self));
}
ROUTINE(action_kill_position) {
    CInstance* me = AsInstance(self);
    Call("position_destroy", self, other, {R(X(me, a, 0)), R(Y(me, a, 1))});
}

// The sprite as instance_sprite sets it: a missing one is reported and changes nothing.
bool SetSprite(CScriptInstance* self, CScriptInstance* other, int32_t sprite) {
    CInstance* me = AsInstance(self);
    if (!me) return false;
    const bool exists = sprite == -1 || CallReal("sprite_exists", self, other, {R(sprite)}) >= 0.5;
    Call("instance_sprite", self, other, {R(sprite)});
    return exists;
}
ROUTINE(action_set_sprite) {
    ME;
    if (!SetSprite(self, other, I(a, 0))) return;
    if (D(a, 1) > 0) {
        me->SetImageScaleX(D(a, 1));
        me->SetImageScaleY(D(a, 1));
    }
}
ROUTINE(action_sprite_set) {
    ME;
    if (!SetSprite(self, other, I(a, 0))) return;
    if (D(a, 1) >= 0) me->i_imageindex = D(a, 1);
    me->i_imagespeed = D(a, 2);
}
ROUTINE(action_sprite_transform) {
    ME;
    double xscale = D(a, 0), yscale = D(a, 1);
    const int32_t mirror = I(a, 3);
    if (mirror == 1 || mirror == 3) xscale = -xscale;
    if (mirror == 2 || mirror == 3) yscale = -yscale;
    me->SetImageScaleX(xscale);
    me->SetImageScaleY(yscale);
    me->SetImageAngle(D(a, 2));
}
ROUTINE(action_sprite_color) {
    ME;
    me->i_imageblend = static_cast<uint32_t>(I(a, 0)) & 0xFFFFFFu;
    me->i_imagealpha = D(a, 1);
}

bool EndsWith(std::string_view name, std::string_view extension) {
    if (name.size() < extension.size()) return false;
    const std::string_view tail = name.substr(name.size() - extension.size());
    return std::equal(tail.begin(), tail.end(), extension.begin(),
                      [](char x, char y) { return std::tolower(static_cast<unsigned char>(x)) == y; });
}

// The resource exists and the file does; otherwise the error and false.
bool CanReplace(CScriptInstance* self, CScriptInstance* other, std::string_view exists, Args a) {
    if (CallReal(exists, self, other, {a[0]}) < 0.5) {
        ReportRunError(msg::kActionReplaceMissing, false);
        return false;
    }
    if (CallReal("file_exists", self, other, {a[1]}) < 0.5) {
        ReportRunError(msg::kActionFileMissing, false);
        return false;
    }
    return true;
}
ROUTINE(action_replace_sprite) {
    if (!CanReplace(self, other, "sprite_exists", a)) return;
    if (EndsWith(a[1].str(), ".ksspr")) {
        Call("sprite_replace_sprite", self, other, {a[0], a[1]});
        return;
    }
    const double xorig = CallReal("sprite_get_xoffset", self, other, {a[0]});
    const double yorig = CallReal("sprite_get_yoffset", self, other, {a[0]});
    Call("sprite_replace", self, other, {a[0], a[1], a[2], R(1), R(0), R(xorig), R(yorig)});
}
ROUTINE(action_replace_sound) {
    if (!CanReplace(self, other, "sound_exists", a)) return;
    const double kind = CallReal("sound_get_kind", self, other, {a[0]});
    const double preload = CallReal("sound_get_preload", self, other, {a[0]});
    Call("sound_replace", self, other, {a[0], a[1], R(kind), R(preload)});
}
ROUTINE(action_replace_background) {
    if (!CanReplace(self, other, "background_exists", a)) return;
    if (EndsWith(a[1].str(), ".ksbck")) {
        Call("background_replace_background", self, other, {a[0], a[1]});
        return;
    }
    Call("background_replace", self, other, {a[0], a[1], R(0), R(0)});
}

ROUTINE(action_set_alarm) {
    ME;
    const int32_t alarm = I(a, 1);
    const int32_t steps = I(a, 0);
    const int32_t now = me->GetAlarm(alarm);
    me->SetAlarm(alarm,
                 Relative() && now >= 0
                     ? static_cast<int32_t>(std::clamp<int64_t>(int64_t(now) + steps, INT32_MIN, INT32_MAX))
                     : steps);
}
ROUTINE(action_set_timeline) {
    ME;
    me->i_timelineindex = I(a, 0);
    me->i_timelineposition = I(a, 1);
    me->i_timelinerunning = true;
}
// The start choice is a menu whose first entry (0) is "start immediately".
ROUTINE(action_timeline_set) {
    ME;
    me->i_timelineindex = I(a, 0);
    me->i_timelineposition = I(a, 1);
    me->i_timelinerunning = I(a, 2) == 0;
    me->i_timelineloop = I(a, 3) == 1;
}
ROUTINE(action_timeline_start) {
    ME;
    me->i_timelinerunning = true;
}
ROUTINE(action_timeline_pause) {
    ME;
    me->i_timelinerunning = false;
}
ROUTINE(action_timeline_stop) {
    ME;
    me->i_timelineposition = 0;
    me->i_timelinerunning = false;
}
ROUTINE(action_set_timeline_position) {
    ME;
    const double steps = I(a, 0);
    me->i_timelineposition = Relative() ? me->i_timelineposition + steps : steps;
}
ROUTINE(action_set_timeline_speed) {
    ME;
    me->i_timelinespeed = Rel(D(a, 0), me->i_timelinespeed);
}
ROUTINE(action_sleep) {
    if (B(a, 1)) Call("screen_redraw", self, other, {});
    Call("sleep", self, other, {a[0]});
}

// The transition becomes the room change's kind before the change is asked for.
void GoRoom(std::string_view routine, CScriptInstance* self, CScriptInstance* other,
            std::initializer_list<RValue> args, const RValue& transition) {
    World().transition_kind = RoundToInt32Saturated(transition.val());
    Call(routine, self, other, args);
}
ROUTINE(action_another_room) {
    GoRoom("room_goto", self, other, {a[0]}, a[1]);
}
ROUTINE(action_current_room) {
    GoRoom("room_restart", self, other, {}, a[0]);
}
ROUTINE(action_previous_room) {
    GoRoom("room_goto_previous", self, other, {}, a[0]);
}
ROUTINE(action_next_room) {
    GoRoom("room_goto_next", self, other, {}, a[0]);
}
ROUTINE(action_if_previous_room) {
    r.SetReal(World().CurrentIndex() != World().RoomFirst() ? 1 : 0);
}
ROUTINE(action_if_next_room) {
    r.SetReal(World().CurrentIndex() != World().RoomLast() ? 1 : 0);
}

bool SoundExists(CScriptInstance* self, CScriptInstance* other, const RValue& sound) {
    return CallReal("sound_exists", self, other, {sound}) >= 0.5;
}
ROUTINE(action_sound) {
    if (!SoundExists(self, other, a[0])) return ReportRunError(msg::kActionPlayMissing, false);
    Call(B(a, 1) ? "sound_loop" : "sound_play", self, other, {a[0]});
}
ROUTINE(action_end_sound) {
    if (!SoundExists(self, other, a[0])) return ReportRunError(msg::kActionStopMissing, false);
    Call("sound_stop", self, other, {a[0]});
}
ROUTINE(action_if_sound) {
    r.SetReal(SoundExists(self, other, a[0]) && CallReal("sound_isplaying", self, other, {a[0]}) >= 0.5 ? 1
                                                                                                        : 0);
}
ROUTINE(action_end_game) {
    Call("game_end", self, other, {});
}
ROUTINE(action_restart_game) {
    Call("game_restart", self, other, {});
}
ROUTINE(action_save_game) {
    Call("game_save", self, other, {a[0]});
}
ROUTINE(action_load_game) {
    Call("game_load", self, other, {a[0]});
}
ROUTINE(action_cd_play) {
    Call("cd_play", self, other, {a[0], a[1]});
}
ROUTINE(action_cd_stop) {
    Call("cd_stop", self, other, {});
}
ROUTINE(action_cd_pause) {
    Call("cd_pause", self, other, {});
}
ROUTINE(action_cd_resume) {
    Call("cd_resume", self, other, {});
}
ROUTINE(action_cd_present) {
    r.SetReal(CallReal("cd_present", self, other, {}) >= 0.5 ? 1 : 0);
}
ROUTINE(action_cd_playing) {
    r.SetReal(CallReal("cd_playing", self, other, {}) >= 0.5 ? 1 : 0);
}

#undef ME
#undef ROUTINE

constexpr RFunctionSpec kFunctions[] = {
    {"action_create_object", action_create_object, 3},
    {"action_create_object_motion", action_create_object_motion, 5},
    {"action_create_object_random", action_create_object_random, 6},
    {"action_change_object", action_change_object, 2},
    {"action_kill_object", action_kill_object, 0},
    {"action_kill_position", action_kill_position, 2},
    {"action_set_sprite", action_set_sprite, 2},
    {"action_sprite_set", action_sprite_set, 3},
    {"action_sprite_transform", action_sprite_transform, 4},
    {"action_sprite_color", action_sprite_color, 2},
    {"action_replace_sprite", action_replace_sprite, 3},
    {"action_replace_sound", action_replace_sound, 2},
    {"action_replace_background", action_replace_background, 2},
    {"action_set_alarm", action_set_alarm, 2},
    {"action_set_timeline", action_set_timeline, 2},
    {"action_timeline_set", action_timeline_set, 4},
    {"action_timeline_pause", action_timeline_pause, 0},
    {"action_timeline_start", action_timeline_start, 0},
    {"action_timeline_stop", action_timeline_stop, 0},
    {"action_set_timeline_position", action_set_timeline_position, 1},
    {"action_set_timeline_speed", action_set_timeline_speed, 1},
    {"action_sleep", action_sleep, 2},
    {"action_another_room", action_another_room, 2},
    {"action_current_room", action_current_room, 1},
    {"action_next_room", action_next_room, 1},
    {"action_previous_room", action_previous_room, 1},
    {"action_if_next_room", action_if_next_room, 0},
    {"action_if_previous_room", action_if_previous_room, 0},
    {"action_sound", action_sound, 2},
    {"action_end_sound", action_end_sound, 1},
    {"action_if_sound", action_if_sound, 1},
    {"action_end_game", action_end_game, 0},
    {"action_restart_game", action_restart_game, 0},
    {"action_load_game", action_load_game, 1},
    {"action_save_game", action_save_game, 1},
    {"action_cd_pause", action_cd_pause, 0},
    {"action_cd_play", action_cd_play, 2},
    {"action_cd_playing", action_cd_playing, 0},
    {"action_cd_present", action_cd_present, 0},
    {"action_cd_resume", action_cd_resume, 0},
    {"action_cd_stop", action_cd_stop, 0},
};

} // namespace

std::span<const RFunctionSpec> ActionInstanceFunctions() {
    return kFunctions;
}

} // namespace kestrin
