// The game-state actions: score, lives and health with their questions and drawing, the
// caption settings, high scores, the cursor, full screen and snapshots, and the actions that
// show messages, questions, information, splash screens and web pages.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "base/numeric.h"
#include "runner/file_access.h"
#include "runner/function_file.h"
#include "runner/game_variables.h"
#include "runner/game_world.h"
#include "runner/highscore.h"
#include "runner/instance.h"
#include "runner/room.h"
#include "script/run_error.h"
#include "world/action_messages.h"
#include "world/action_support.h"
#include "world/function_action.h"

namespace kestrin {

namespace {

using namespace action;

double X(CScriptInstance* self, double x) {
    const CInstance* me = AsInstance(self);
    return Rel(x, me ? me->i_x : 0);
}
double Y(CScriptInstance* self, double y) {
    const CInstance* me = AsInstance(self);
    return Rel(y, me ? me->i_y : 0);
}

// 1 less than, 2 greater than, anything else exactly equal.
bool Compare(double value, double with, int32_t operation) {
    switch (operation) {
    case 1:
        return value < with;
    case 2:
        return value > with;
    default:
        return value == with;
    }
}

// ---- Dialogs, splash screens and web pages: the built-ins of those families ----

ROUTINE(action_message) {
    Call("show_message", self, other, {a[0]});
}
ROUTINE(action_if_question) {
    r.SetReal(CallReal("show_question", self, other, {a[0]}) >= 0.5 ? 1 : 0);
}
ROUTINE(action_show_info) {
    Call("show_info", self, other, {});
}
ROUTINE(action_show_video) {
    Call("show_video", self, other, {a[0], a[1], a[2]});
}
ROUTINE(action_splash_video) {
    Call("splash_show_video", self, other, {a[0], a[1]});
}
ROUTINE(action_splash_text) {
    Call("splash_show_text", self, other, {a[0], R(0)});
}
ROUTINE(action_splash_image) {
    Call("splash_show_image", self, other, {a[0], R(0)});
}
ROUTINE(action_splash_web) {
    Call("splash_show_web", self, other, {a[0], a[1]});
}
// Caption, full screen, border, top-most window, shown in the game's window.
ROUTINE(action_splash_settings) {
    Call("splash_set_caption", self, other, {a[0]});
    Call("splash_set_fullscreen", self, other, {a[1]});
    Call("splash_set_border", self, other, {a[2]});
    Call("splash_set_top", self, other, {a[3]});
    Call("splash_set_main", self, other, {a[4]});
}
// The desktop's opener gets the address as its one argument; no shell sees it.
ROUTINE(action_webpage) {
    if (SecureMode()) return ReportRunError(msg::kActionSecureWebpage, false);
    if (!OpenWithDesktop(std::string(a[0].IsString() ? a[0].str() : std::string_view())))
        ReportRunError(msg::kActionWebpageFailed, false);
}

// ---- Score, lives and health ----

ROUTINE(action_set_score) {
    GameVariables& g = GameValues();
    const int32_t value = I(a, 0);
    g.score = Relative()
                  ? static_cast<int32_t>(std::clamp<int64_t>(int64_t(g.score) + value, INT32_MIN, INT32_MAX))
                  : value;
}
ROUTINE(action_set_life) {
    const int32_t lives = GameValues().lives;
    const int32_t value = I(a, 0);
    SetLives(Relative()
                 ? static_cast<int32_t>(std::clamp<int64_t>(int64_t(lives) + value, INT32_MIN, INT32_MAX))
                 : value);
}
ROUTINE(action_set_health) {
    SetHealth(Rel(D(a, 0), GameValues().health));
}
ROUTINE(action_if_score) {
    r.SetReal(Compare(GameValues().score, D(a, 0), I(a, 1)) ? 1 : 0);
}
ROUTINE(action_if_life) {
    r.SetReal(Compare(GameValues().lives, D(a, 0), I(a, 1)) ? 1 : 0);
}
ROUTINE(action_if_health) {
    r.SetReal(Compare(GameValues().health, D(a, 0), I(a, 1)) ? 1 : 0);
}

void DrawLabel(CScriptInstance* self, CScriptInstance* other, Args a, int32_t value) {
    std::string text(a[2].IsString() ? a[2].str() : std::string_view());
    text += std::to_string(value);
    Call("draw_text", self, other, {R(X(self, D(a, 0))), R(Y(self, D(a, 1))), RValue(text)});
}
ROUTINE(action_draw_score) {
    DrawLabel(self, other, a, GameValues().score);
}
ROUTINE(action_draw_life) {
    DrawLabel(self, other, a, GameValues().lives);
}

// One image per life side by side; only as many as can reach the room (a huge lives value
// must not keep drawing for ever).
ROUTINE(action_draw_life_images) {
    const RValue sprite = a[2];
    if (CallReal("sprite_exists", self, other, {sprite}) < 0.5) return;
    const double x = X(self, D(a, 0)), y = Y(self, D(a, 1));
    const double width = CallReal("sprite_get_width", self, other, {sprite});
    int64_t count = std::max(GameValues().lives, 0);
    if (width <= 0) {
        count = std::min<int64_t>(count, 1);
    } else {
        const CRoom* room = World().Current();
        const double reach = (room ? room->r_width : 0) + width - std::min(x, 0.0);
        count = std::min<int64_t>(count, static_cast<int64_t>(std::ceil(std::max(reach, 0.0) / width)) + 1);
    }
    for (int64_t i = 0; i < count; ++i)
        Call("draw_sprite_ext", self, other,
             {sprite, R(0), R(x + double(i) * width), R(y), R(1), R(1), R(0), R(0xFFFFFF), R(1)});
}

// The colours of the health bar's menus, as (red, green, blue).
int32_t Rgb(int32_t red, int32_t green, int32_t blue) {
    return red | (green << 8) | (blue << 16);
}
const int32_t kBarColours[17] = {
    0,
    Rgb(0, 0, 0),
    Rgb(128, 128, 128),
    Rgb(192, 192, 192),
    Rgb(255, 255, 255),
    Rgb(128, 0, 0),
    Rgb(0, 128, 0),
    Rgb(128, 128, 0),
    Rgb(0, 0, 128),
    Rgb(128, 0, 128),
    Rgb(0, 128, 128),
    Rgb(255, 0, 0),
    Rgb(0, 255, 0),
    Rgb(255, 255, 0),
    Rgb(0, 0, 255),
    Rgb(255, 0, 255),
    Rgb(0, 255, 255),
};
int32_t Merge(int32_t c1, int32_t c2, double t) {
    auto part = [&](int shift) {
        const double v1 = (c1 >> shift) & 0xFF, v2 = (c2 >> shift) & 0xFF;
        return static_cast<int32_t>(std::lround(v1 + (v2 - v1) * t)) << shift;
    };
    return part(0) | part(8) | part(16);
}
// The bar's colour at an amount 0..100 for each choice of the bar menu.
int32_t BarColour(int32_t choice, double amount) {
    auto through = [amount](int32_t low, int32_t mid, int32_t high) {
        return amount > 50 ? Merge(mid, high, (amount - 50) / 50) : Merge(low, mid, amount / 50);
    };
    if (choice == 0) return through(Rgb(255, 0, 0), Rgb(255, 255, 0), Rgb(0, 255, 0));
    if (choice == 1) return through(Rgb(0, 0, 0), Rgb(128, 128, 128), Rgb(255, 255, 255));
    if (choice >= 3 && choice <= 17) return kBarColours[choice - 1];
    return 0;
}
ROUTINE(action_draw_health) {
    double amount = GameValues().health;
    amount = std::isnan(amount) ? 0.0 : std::clamp(amount, 0.0, 100.0);
    const int32_t back = I(a, 4);
    const int32_t backColour = back >= 1 && back <= 16 ? kBarColours[back] : 0;
    const int32_t bar = BarColour(I(a, 5), amount);
    Call("draw_healthbar", self, other,
         {R(X(self, D(a, 0))), R(Y(self, D(a, 1))), R(X(self, D(a, 2))), R(Y(self, D(a, 3))), R(amount),
          R(backColour), R(bar), R(bar), R(0), R(back != 0 ? 1 : 0), R(1)});
}
ROUTINE(action_set_caption) {
    GameVariables& g = GameValues();
    g.show_score = I(a, 0) == 1;
    g.caption_score = std::string(a[1].str());
    g.show_lives = I(a, 2) == 1;
    g.caption_lives = std::string(a[3].str());
    g.show_health = I(a, 4) == 1;
    g.caption_health = std::string(a[5].str());
    g.score_asked = true;
}
ROUTINE(action_highscore_show) {
    Call("highscore_set_background", self, other, {a[0]});
    Call("highscore_set_border", self, other, {a[1]});
    // The colours of the new and the other entries; the window's own colour stays.
    Call("highscore_set_colors", self, other,
         {R(CurrentHighscoreSettings().back_colour), a[2], a[3]});
    // The font as a name, optionally followed by ",size" and ",style".
    if (a[4].IsString() && !a[4].str().empty()) {
        const std::string text(a[4].str());
        const size_t comma = text.find(',');
        const std::string name = text.substr(0, comma);
        double size = CurrentHighscoreSettings().font_size, style = CurrentHighscoreSettings().font_style;
        if (comma != std::string::npos) {
            size = std::atof(text.c_str() + comma + 1);
            const size_t second = text.find(',', comma + 1);
            if (second != std::string::npos) style = std::atof(text.c_str() + second + 1);
        }
        Call("highscore_set_font", self, other, {RValue(name), R(size > 0 ? size : 12), R(style)});
    }
    Call("highscore_show", self, other, {R(GameValues().score)});
}
ROUTINE(action_highscore_clear) {
    Call("highscore_clear", self, other, {});
}

// ---- Settings ----

ROUTINE(action_set_cursor) {
    GameValues().cursor_sprite = I(a, 0);
    Call("window_set_cursor", self, other, {R(B(a, 1) ? 0 : -1)});
}
ROUTINE(action_fullscreen) {
    const int32_t choice = I(a, 0);
    const bool full = choice == 1   ? false
                      : choice == 2 ? true
                                    : CallReal("window_get_fullscreen", self, other, {}) < 0.5;
    Call("window_set_fullscreen", self, other, {R(full ? 1 : 0)});
}
ROUTINE(action_snapshot) {
    Call("screen_save", self, other, {a[0]});
}

#undef ROUTINE

constexpr RFunctionSpec kFunctions[] = {
    {"action_if_question", action_if_question, 1},
    {"action_if_health", action_if_health, 2},
    {"action_if_life", action_if_life, 2},
    {"action_if_score", action_if_score, 2},
    {"action_message", action_message, 1},
    {"action_show_info", action_show_info, 0},
    {"action_show_video", action_show_video, 3},
    {"action_splash_image", action_splash_image, 1},
    {"action_splash_settings", action_splash_settings, 5},
    {"action_splash_text", action_splash_text, 1},
    {"action_splash_video", action_splash_video, 2},
    {"action_splash_web", action_splash_web, 2},
    {"action_webpage", action_webpage, 1},
    {"action_set_health", action_set_health, 1},
    {"action_set_life", action_set_life, 1},
    {"action_set_score", action_set_score, 1},
    {"action_draw_life", action_draw_life, 3},
    {"action_draw_score", action_draw_score, 3},
    {"action_draw_life_images", action_draw_life_images, 3},
    {"action_draw_health", action_draw_health, 6},
    {"action_set_caption", action_set_caption, 6},
    {"action_highscore_clear", action_highscore_clear, 0},
    {"action_highscore_show", action_highscore_show, 5},
    {"action_set_cursor", action_set_cursor, 2},
    {"action_fullscreen", action_fullscreen, 1},
    {"action_snapshot", action_snapshot, 1},
};

} // namespace

std::span<const RFunctionSpec> ActionGameFunctions() {
    return kFunctions;
}

} // namespace kestrin
