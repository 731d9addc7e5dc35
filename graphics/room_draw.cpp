#include "graphics/room_draw.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "base/numeric.h"
#include "graphics/background.h"
#include "graphics/function_draw.h"
#include "graphics/function_texture.h"
#include "graphics/function_window.h"
#include "graphics/graphics_draw.h"
#include "graphics/graphics_window.h"
#include "graphics/render_state.h"
#include "graphics/sprite.h"
#include "runner/event_table.h"
#include "runner/game_variables.h"
#include "runner/game_world.h"
#include "runner/input_state.h"
#include "runner/main_loop.h"
#include "runner/object.h"
#include "runner/room.h"

namespace kestrin {

namespace {

constexpr double kBackgroundDepth = 12000;
constexpr double kForegroundDepth = -12000;
constexpr double kCursorDepth = -13000;
constexpr double kNearestRoomDepth = 11000;
constexpr double kNoParticles = -1e9;
constexpr double kParticlesLeft = -1e8;
constexpr uint32_t kWhite = 0xFFFFFF;

RoomParticleSource g_particles;
bool g_drawing = false;

void SetCurrentView(int32_t view) {
    GameValues().view_current = view;
    Draw_SetCurrentView(view);
}

double NextParticleDepth(double below) {
    if (!g_particles.depth_below) return kNoParticles;
    const double next = g_particles.depth_below(below);
    // Each answer must lie strictly below the last, or the merge could loop.
    return next < below && next > kParticlesLeft ? next : kNoParticles;
}

int32_t Clamp32(int64_t v) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// The instance a view follows: an instance id, else the first of an object or its children.
const CInstance* FollowedInstance(const CRoom& room, int32_t index) {
    if (index > 99999) {
        for (const auto& instance : room.r_instance)
            if (instance->i_id == index && !instance->i_marked) return instance.get();
        return nullptr;
    }
    if (!Objects().Exists(index)) return nullptr;
    const int32_t count = room.Obj_Number_Recursive(index);
    for (int32_t k = 0; k < count; ++k) {
        const CInstance* instance = room.Obj_Instance_Recursive(index, k);
        if (instance && !instance->i_marked) return instance;
    }
    return nullptr;
}

// One axis of following: where the view starts so the target stays inside its borders.
int32_t FollowAxis(double target, int32_t view, int32_t size, int32_t border, int32_t speed, int32_t room) {
    const int64_t t = RoundToInt32Saturated(target);
    const int64_t v = view, s = size, b = border;
    int64_t n = v;
    if (2 * b >= s)
        n = t - s / 2;
    else if (t - b < v)
        n = t - b;
    else if (v + s < t + b)
        n = t + b - s;
    if (n < 0) n = 0;
    if (n + s > room) n = room - s;
    if (speed >= 0 && std::llabs(n - v) > speed) n = n > v ? v + speed : v - speed;
    return Clamp32(n);
}

void DrawLayers(const CRoom& room, const RoomRect& rect, bool foregrounds) {
    Draw_SetDepth(foregrounds ? kForegroundDepth : kBackgroundDepth);
    for (const CBack& layer : room.r_background) {
        if (!layer.visible || layer.foreground != foregrounds) continue;
        const CBackground* back = Background_Get(layer.index);
        if (!back) continue;
        back->DrawTiled(layer.x, layer.y, layer.xscale, layer.yscale, layer.htiled, layer.vtiled, rect.left,
                        rect.top, rect.right - rect.left, rect.bottom - rect.top, layer.blend, layer.alpha);
    }
}

void DrawTile(const RTile& tile, const RoomRect& rect) {
    Draw_SetDepth(std::min(tile.depth, kNearestRoomDepth));
    const double x2 = tile.x + tile.w * tile.xscale, y2 = tile.y + tile.h * tile.yscale;
    const double left = std::min(tile.x, x2), right = std::max(tile.x, x2);
    const double top = std::min(tile.y, y2), bottom = std::max(tile.y, y2);
    if (!(rect.right >= left && rect.bottom >= top && rect.left <= right && rect.top <= bottom)) return;
    if (const CBackground* back = Background_Get(tile.index))
        back->DrawPart(tile.xo, tile.yo, tile.w, tile.h, tile.x, tile.y, tile.xscale, tile.yscale, tile.blend,
                       tile.alpha);
}

bool HasDrawEvent(const CInstance& instance) {
    CObject* object = Objects().Get(instance.i_objectindex);
    return object && object->HasEventRecursive(ev_draw);
}

void DrawInstanceSprite(const CInstance& i) {
    const CSprite* sprite = Sprite_Get(i.i_spriteindex);
    if (!sprite) return;
    const int32_t frame = RoundToInt32Saturated(std::floor(i.i_imageindex));
    if (i.i_imagescalex == 1 && i.i_imagescaley == 1 && i.i_imageangle == 0 && i.i_imageblend == kWhite &&
        i.i_imagealpha == 1)
        sprite->DrawSimple(frame, i.i_x, i.i_y);
    else
        sprite->Draw(frame, i.i_x, i.i_y, i.i_imagescalex, i.i_imagescaley, i.i_imageangle,
                     static_cast<int32_t>(i.i_imageblend & kWhite), i.i_imagealpha);
}

void DrawCursor() {
    const CSprite* sprite = Sprite_Get(GameValues().cursor_sprite);
    if (!sprite) return;
    const MainLoop* loop = CurrentLoop();
    const InputState& input = CurrentInput();
    sprite->Draw(loop ? loop->state.cursor_frame : 0, input.mouse_x, input.mouse_y, 1, 1, 0,
                 static_cast<int32_t>(kWhite), 1);
}

void DrawInstance(CInstance& instance) {
    Draw_SetDepth(std::min(instance.i_depth, kNearestRoomDepth));
    if (HasDrawEvent(instance))
        PerformEvent(&instance, &instance, ev_draw, 0);
    else if (RenderState_Device())
        DrawInstanceSprite(instance);
}

// The three depth-sorted sources, deepest first; at equal depths particles, then the
// instance, then the tile. Events may add or remove instances and tiles, so every index is
// checked against the lists as they are now, and nothing added during the frame is drawn.
void MergeByDepth(CRoom& room, const RoomRect& rect) {
    const size_t instances = room.r_instance.size(), tiles = room.r_tile.size();
    size_t n = 0, t = 0;
    double pd = NextParticleDepth(std::numeric_limits<double>::infinity());
    for (;;) {
        const size_t nCount = std::min(instances, room.r_instance.size());
        const size_t tCount = std::min(tiles, room.r_tile.size());
        const bool nLeft = n < nCount, tLeft = t < tCount;
        if (!nLeft && !tLeft && !(pd > kParticlesLeft)) break;
        CInstance* instance = nLeft ? room.r_instance[n].get() : nullptr;
        if (instance && (instance->i_marked || !instance->i_visible)) {
            ++n;
            continue;
        }
        if (tLeft && !room.r_tile[t].visible) {
            ++t;
            continue;
        }
        if (pd > kParticlesLeft && (!nLeft || pd >= instance->i_depth) &&
            (!tLeft || pd >= room.r_tile[t].depth)) {
            Draw_SetDepth(std::min(pd, kNearestRoomDepth));
            if (g_particles.draw_at) g_particles.draw_at(pd);
            pd = NextParticleDepth(pd);
        } else if (!nLeft || (tLeft && room.r_tile[t].depth > instance->i_depth)) {
            const RTile tile = room.r_tile[t++];
            DrawTile(tile, rect);
        } else {
            ++n;
            DrawInstance(*instance);
        }
    }
}

// Without a device nothing reaches the screen, but draw events still run, in the order and
// as often as they would with one.
void RunDrawEvents(CRoom& room) {
    const size_t count = room.r_instance.size();
    for (size_t n = 0; n < count && n < room.r_instance.size(); ++n) {
        CInstance* instance = room.r_instance[n].get();
        if (instance->i_marked || !instance->i_visible || !HasDrawEvent(*instance)) continue;
        Draw_SetDepth(std::min(instance->i_depth, kNearestRoomDepth));
        PerformEvent(instance, instance, ev_draw, 0);
    }
}

void DrawArea(CRoom& room, const RoomRect& rect) {
    if (RenderState_Device())
        Room_DrawView(room, rect);
    else
        RunDrawEvents(room);
}

void SetCaption(const std::string& caption) {
    WindowState& window = GameWindow();
    if (window.caption == caption) return;
    window.caption = caption;
    ApplyWindowState();
}

bool BackgroundSize(int32_t background, int32_t& width, int32_t& height) {
    const CBackground* back = Background_Get(background);
    if (!back) return false;
    width = back->GetWidth();
    height = back->GetHeight();
    return true;
}

} // namespace

void InstallRoomDrawing() {
    SetBackgroundSizeHook(BackgroundSize);
    GraphicsHooks hooks = CurrentGraphicsHooks();
    hooks.redraw = [] { Room_Draw(); };
    hooks.room_size = [](int32_t& width, int32_t& height) {
        if (const CRoom* room = World().Current()) {
            width = room->r_width;
            height = room->r_height;
        }
    };
    SetGraphicsHooks(std::move(hooks));
}

void SetRoomParticleSource(RoomParticleSource source) {
    g_particles = source;
}

RoomRect Room_ViewRectangle(const CView& v) {
    const double x = v.xview, y = v.yview, w = v.wview, h = v.hview;
    if (std::fabs(v.angle) < 0.01) return {x, y, x + w, y + h};
    const double hw = v.wview / 2, hh = v.hview / 2;
    return {x - hh, y - hw, x + w + hh, y + h + hw};
}

std::string Room_Caption(const CRoom& room) {
    const GameVariables& g = GameValues();
    std::string caption = room.r_caption;
    if (g.show_score && (g.score_asked || g.score > 0))
        caption += " " + g.caption_score + std::to_string(g.score);
    if (g.show_lives) caption += " " + g.caption_lives + std::to_string(g.lives);
    if (g.show_health) caption += " " + g.caption_health + std::to_string(RoundToInt64Saturated(g.health));
    return caption;
}

namespace {

// The caption kept from the last call, and everything Room_Caption made it of.
struct CaptionCache {
    bool valid = false;
    std::string room_caption;
    bool show_score = false, score_asked = false, show_lives = false, show_health = false;
    int32_t score = 0, lives = 0;
    int64_t health = 0;
    std::string caption_score, caption_lives, caption_health;
    std::string caption;

    bool Matches(const CRoom& room, const GameVariables& g, int64_t rounded) const {
        return valid && show_score == g.show_score && score_asked == g.score_asked &&
               show_lives == g.show_lives && show_health == g.show_health && score == g.score &&
               lives == g.lives && health == rounded && room_caption == room.r_caption &&
               caption_score == g.caption_score && caption_lives == g.caption_lives &&
               caption_health == g.caption_health;
    }

    // Takes the inputs and builds the caption as Room_Caption does, into the strings already
    // held, so that a score changing every frame costs no allocation either.
    void Rebuild(const CRoom& room, const GameVariables& g, int64_t rounded) {
        valid = true;
        room_caption = room.r_caption;
        show_score = g.show_score;
        score_asked = g.score_asked;
        show_lives = g.show_lives;
        show_health = g.show_health;
        score = g.score;
        lives = g.lives;
        health = rounded;
        caption_score = g.caption_score;
        caption_lives = g.caption_lives;
        caption_health = g.caption_health;
        caption = room_caption;
        auto append = [this](const std::string& label, int64_t value) {
            char digits[24];
            char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
            caption += ' ';
            caption += label;
            caption.append(digits, static_cast<size_t>(end - digits));
        };
        if (show_score && (score_asked || score > 0)) append(caption_score, score);
        if (show_lives) append(caption_lives, lives);
        if (show_health) append(caption_health, health);
    }
};

CaptionCache& TheCaptionCache() {
    static CaptionCache cache;
    return cache;
}

} // namespace

const std::string& Room_CachedCaption(const CRoom& room) {
    CaptionCache& cache = TheCaptionCache();
    const GameVariables& g = GameValues();
    const int64_t health = RoundToInt64Saturated(g.health);
    if (!cache.Matches(room, g, health)) cache.Rebuild(room, g, health);
    return cache.caption;
}

void Room_UpdateViews(CRoom& room) {
    auto& mappings = ViewMappings();
    for (int32_t i = 0; i < kRoomViewCount; ++i) mappings[size_t(i)] = ViewMapping{};
    if (!room.r_enableviews) return;
    for (CView& v : room.r_view) {
        if (!v.visible || v.object < 0) continue;
        const CInstance* target = FollowedInstance(room, v.object);
        if (!target) continue;
        const int32_t nx = FollowAxis(target->i_x, v.xview, v.wview, v.hborder, v.hspeed, room.r_width);
        const int32_t ny = FollowAxis(target->i_y, v.yview, v.hview, v.vborder, v.vspeed, room.r_height);
        v.xview = nx;
        v.yview = ny;
    }
    for (size_t i = 0; i < room.r_view.size(); ++i) {
        const CView& v = room.r_view[i];
        if (!v.visible) continue;
        mappings[i] = ViewMapping{true,
                                  double(v.xview),
                                  double(v.yview),
                                  double(v.wview),
                                  double(v.hview),
                                  double(v.xport),
                                  double(v.yport),
                                  double(v.wport),
                                  double(v.hport),
                                  v.angle};
    }
}

void Room_DrawView(CRoom& room, const RoomRect& rect) {
    Device* device = RenderState_Device();
    if (!device) return;
    if (RenderState_Get3DMode()) device->Clear(kClearZBuffer, 0, 1.0f);
    if (room.r_showcolor)
        device->Clear(kClearTarget | kClearZBuffer, ToDeviceColour(room.r_color, 1.0), 1.0f);
    DrawLayers(room, rect, false);
    MergeByDepth(room, rect);
    DrawLayers(room, rect, true);
    Draw_SetDepth(kCursorDepth);
    DrawCursor();
}

void Room_Draw() {
    if (CRoom* room = World().Current()) Room_Draw(*room);
}

void Room_Draw(CRoom& room) {
    // screen_redraw from a draw event would otherwise draw the room inside itself without end.
    if (g_drawing) return;
    struct Guard {
        Guard() { g_drawing = true; }
        ~Guard() { g_drawing = false; }
    } guard;
    Room_UpdateViews(room);
    room.SortInstances();
    room.SortTiles();
    if (room.r_enableviews) {
        const int32_t rw = RenderState_RegionWidth(), rh = RenderState_RegionHeight();
        if (room.r_clearViewBackground) {
            if (Device* device = RenderState_Device()) {
                RenderState_SetViewport(0, 0, rw, rh);
                device->Clear(kClearTarget, ToDeviceColour(GameWindow().colour, 1.0), 1.0f);
            }
        }
        for (int32_t i = 0; i < kRoomViewCount; ++i) {
            const CView& v = room.r_view[size_t(i)];
            if (!v.visible) continue;
            SetCurrentView(i);
            RenderState_SetViewport(v.xport, v.yport, v.wport, v.hport);
            RenderState_SetProjection(v.xview, v.yview, v.wview, v.hview, v.angle);
            DrawArea(room, Room_ViewRectangle(v));
        }
        RenderState_SetViewport(0, 0, rw, rh);
        RenderState_SetProjection(0, 0, rw, rh, 0);
    } else {
        SetCurrentView(0);
        RenderState_SetViewport(0, 0, room.r_width, room.r_height);
        RenderState_SetProjection(0, 0, room.r_width, room.r_height, 0);
        DrawArea(room, {0, 0, double(room.r_width), double(room.r_height)});
    }
    SetCaption(Room_CachedCaption(room));
    SetCurrentView(0);
}

} // namespace kestrin
