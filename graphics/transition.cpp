#include "graphics/transition.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "base/numeric.h"
#include "graphics/graphics_surface.h"
#include "graphics/graphics_texture.h"
#include "graphics/render_state.h"
#include "graphics/room_draw.h"
#include "runner/game_variables.h"
#include "runner/game_world.h"
#include "runner/instance.h"
#include "script/code.h"
#include "script/errors.h"
#include "script/registry.h"
#include "script/scripts.h"
#include "script/value.h"

namespace kestrin {

namespace {

constexpr int32_t kScriptCode = 100000;
constexpr int32_t kExtensionCode = 500000;
constexpr int32_t kMaxDefinedKind = 1000000;

struct TransitionState {
    int32_t kind = -1;
    int32_t old_surface = -1, new_surface = -1;
    int32_t from_room = -1;
    std::vector<int32_t> codes; // -1: undefined
    std::vector<std::string> names;
    TransitionFrameSink sink;
};

TransitionState& State() {
    static TransitionState s;
    return s;
}

int32_t Round(double v) {
    return RoundToInt32Saturated(v);
}

void FreeSurfaces() {
    TransitionState& s = State();
    if (s.old_surface >= 0 || s.new_surface >= 0) Surface_ResetTarget();
    Surface_Free(s.old_surface);
    Surface_Free(s.new_surface);
    s.old_surface = s.new_surface = -1;
}

constexpr int32_t kWhite = 0xFFFFFF;

void Whole(int32_t surface, double x, double y, double alpha = 1.0) {
    GR_Texture_DrawPart(Surface_GetTexture(surface), kWhite, 0, 0, Surface_GetWidth(surface),
                        Surface_GetHeight(surface), x, y, 1, 1, 0, alpha);
}

// A rectangle of the surface at the same place on the screen.
void Part(int32_t surface, int32_t l, int32_t t, int32_t pw, int32_t ph) {
    if (pw <= 0 || ph <= 0) return;
    GR_Texture_DrawPart(Surface_GetTexture(surface), kWhite, l, t, pw, ph, l, t, 1, 1, 0, 1.0);
}

// Kinds 1..4: the new room uncovered from a side.
void Uncover(int32_t kind, int32_t a, int32_t b, int32_t w, int32_t h, double f) {
    Whole(a, 0, 0);
    const int32_t rw = Round(w * f), rh = Round(h * f);
    switch (kind) {
    case 1:
        Part(b, 0, 0, rw, h);
        break;
    case 2:
        Part(b, w - rw, 0, rw, h);
        break;
    case 3:
        Part(b, 0, 0, w, rh);
        break;
    default:
        Part(b, 0, h - rh, w, rh);
        break;
    }
}

void Interlaced(int32_t kind, int32_t a, int32_t b, int32_t w, int32_t h, double f, int32_t n) {
    const int32_t k = Round(n * f), g = n / 2;
    if (k >= n) {
        Whole(b, 0, 0);
        return;
    }
    if (g < k)
        Uncover(kind - 9, a, b, w, h, double(k - g) / g);
    else
        Whole(a, 0, 0);
    const bool fromStart = kind == 10 || kind == 12;
    const bool vertical = kind == 10 || kind == 11;
    for (int32_t i = 0; i <= g; ++i) {
        if (fromStart ? i > k : i < g - k) continue;
        if (vertical)
            Part(b, Round(2.0 * i * w / n), 0, Round(double(w) / n), h);
        else
            Part(b, 0, Round(2.0 * i * h / n), w, Round(double(h) / n));
    }
}

void Turning(int32_t a, int32_t b, int32_t w, int32_t h, double f, double theta) {
    Whole(a, 0, 0);
    const double r = theta * M_PI / 180.0;
    const double x = w / 2.0 - f * w / 2.0 * std::cos(r) - f * h / 2.0 * std::sin(r);
    const double y = h / 2.0 + f * w / 2.0 * std::sin(r) - f * h / 2.0 * std::cos(r);
    GR_Texture_DrawPart(Surface_GetTexture(b), kWhite, 0, 0, Surface_GetWidth(b), Surface_GetHeight(b), x, y,
                        f, f, r, 1.0); // the quads turn by radians
}

// A game-defined kind: the function draws the frame from the two surfaces.
void RunDefined(int32_t kind, double f) {
    TransitionState& s = State();
    const int32_t code = s.codes[size_t(kind)];
    const std::string name = s.names[size_t(kind)];
    auto instance = std::make_unique<CInstance>();
    RValue args[5] = {RValue(double(s.old_surface)), RValue(double(s.new_surface)),
                      RValue(double(RenderState_RegionWidth())), RValue(double(RenderState_RegionHeight())),
                      RValue(f)};
    RValue result;
    bool ok = true;
    if (code >= kExtensionCode) {
        ExtensionFunctions* ext = CurrentExtensionFunctions();
        ok = !ext || ext->Call(code - kExtensionCode, instance.get(), instance.get(), 5, args, result);
    } else if (code >= kScriptCode) {
        ok = CallScript(code - kScriptCode, instance.get(), instance.get(), result, false, args, 5);
    }
    if (!ok) ReportError("ERROR in transition function " + name + "\r" + LastCodeError(), false);
}

} // namespace

bool Transition_IsBuiltin(int32_t kind) {
    return kind >= 1 && kind <= kBuiltinTransitions;
}

bool Transition_IsDefined(int32_t kind) {
    const TransitionState& s = State();
    return kind >= 1 && size_t(kind) < s.codes.size() && s.codes[size_t(kind)] >= 0;
}

bool Transition_Exists(int32_t kind) {
    return Transition_IsBuiltin(kind) || Transition_IsDefined(kind);
}

bool Transition_Define(int32_t kind, std::string_view name) {
    int32_t code = FindScript(name);
    if (code >= 0) {
        code += kScriptCode;
    } else {
        int32_t id = -1, argnumb = 0;
        const ExtensionFunctions* ext = CurrentExtensionFunctions();
        if (ext && ext->Find(name, id, argnumb) && id >= 0)
            code = kExtensionCode + id;
        else
            code = FindFunction(name);
    }
    if (code < 0) return false;
    if (kind <= 0 || kind >= kMaxDefinedKind) return true;
    TransitionState& s = State();
    if (size_t(kind) >= s.codes.size()) {
        s.codes.resize(size_t(kind) + 1000, -1);
        s.names.resize(size_t(kind) + 1000);
    }
    s.codes[size_t(kind)] = code;
    s.names[size_t(kind)] = std::string(name);
    return true;
}

void Transition_Start(int32_t kind) {
    TransitionState& s = State();
    // Whatever an earlier change left behind goes first.
    FreeSurfaces();
    s.kind = kind;
    s.from_room = World().CurrentIndex();
    if (!Transition_Exists(kind)) return;
    CGameWorld& world = World();
    const auto drawRoom = [&world] {
        const int32_t saved = world.room_request;
        world.room_request = kRequestNone;
        Room_Draw();
        world.room_request = saved;
    };
    if (!RenderState_Device()) {
        // No frames to show, but the draw events of the capture still happen.
        drawRoom();
        s.kind = -1;
        return;
    }
    const int32_t w = RenderState_RegionWidth(), h = RenderState_RegionHeight();
    s.old_surface = Surface_Create(w, h);
    if (s.old_surface < 0) {
        s.kind = -1;
        return;
    }
    Surface_SetTarget(s.old_surface);
    drawRoom();
    s.new_surface = Surface_Create(w, h);
    if (s.new_surface < 0 || !Surface_SetTarget(s.new_surface)) {
        s.kind = -1;
        FreeSurfaces();
    }
}

void Transition_Run() {
    TransitionState& s = State();
    if (!Transition_Exists(s.kind) || s.old_surface < 0 || s.new_surface < 0) {
        s.kind = -1;
        FreeSurfaces();
        (void)RenderState_End_Frame();
        return;
    }
    // The frame drawn into the new-room surface is not shown as such.
    if (Device* d = RenderState_Device()) d->EndScene();
    Surface_ResetTarget();
    const int32_t kind = s.kind;
    const int32_t steps = std::max(GameValues().transition_steps, 1);
    const int32_t w = RenderState_RegionWidth(), h = RenderState_RegionHeight();
    const int32_t to = World().CurrentIndex();
    // The frames combine two finished pictures: no lighting, fog, depth test or odd blending
    // that the new room left switched on (a 3D room would fog its own picture away). The
    // game's states come back afterwards.
    const RenderStateCache saved = RenderState_Cache();
    const bool saved3d = RenderState_Get3DMode();
    const Matrix savedWorld = RenderState_GetWorld();
    RenderState_Set3DMode(false);
    RenderState_SetLighting(false);
    RenderState_SetFog(false, saved.fog_colour, saved.fog_start, saved.fog_end);
    RenderState_SetBlendModeExt(5, 6);
    RenderState_SetWorld(Matrix::Identity());
    RenderState_SetProjection(0, 0, w, h, 0);
    // Every frame waits for the vertical blank, whatever the game's synchronisation setting.
    Device* device = RenderState_Device();
    const bool vsync = RenderState_GetVsync();
    if (device && !vsync) device->SetSwapInterval(1);
    for (int32_t count = 0; count <= steps; ++count) {
        const double f = double(count) / steps;
        (void)RenderState_Start_Frame();
        if (Transition_IsDefined(kind))
            RunDefined(kind, f);
        else
            Transition_DrawBuiltin(kind, s.old_surface, s.new_surface, w, h, f, steps);
        // A defined transition may have changed the target; what is shown is the back buffer.
        Surface_ResetTarget();
        if (s.sink) s.sink(s.from_room, to, count);
        (void)RenderState_End_Frame();
    }
    if (device && !vsync) device->SetSwapInterval(0);
    RenderState_SetBlendModeExt(saved.src_blend, saved.dest_blend);
    RenderState_SetFog(saved.fog, saved.fog_colour, saved.fog_start, saved.fog_end);
    RenderState_SetLighting(saved.lighting);
    RenderState_Set3DMode(saved3d);
    RenderState_SetWorld(savedWorld);
    s.kind = -1;
    FreeSurfaces();
}

void Transition_Drop() {
    State().kind = -1;
    FreeSurfaces();
}

bool Transition_Pending() {
    return State().old_surface >= 0;
}
int32_t Transition_OldSurface() {
    return State().old_surface;
}
int32_t Transition_NewSurface() {
    return State().new_surface;
}

void Transition_DrawBuiltin(int32_t kind, int32_t a, int32_t b, int32_t w, int32_t h, double f,
                            int32_t steps) {
    const int32_t rw = Round(w * f), rh = Round(h * f);
    switch (kind) {
    case 1:
    case 2:
    case 3:
    case 4:
        Uncover(kind, a, b, w, h, f);
        break;
    case 5:
        Whole(a, 0, 0);
        Part(b, Round((w - w * f) / 2), Round((h - h * f) / 2), rw, rh);
        break;
    case 6:
        Whole(a, 0, 0);
        Whole(b, rw - w, 0);
        break;
    case 7:
        Whole(a, 0, 0);
        Whole(b, w - rw, 0);
        break;
    case 8:
        Whole(a, 0, 0);
        Whole(b, 0, rh - h);
        break;
    case 9:
        Whole(a, 0, 0);
        Whole(b, 0, h - rh);
        break;
    case 10:
    case 11:
    case 12:
    case 13:
        Interlaced(kind, a, b, w, h, f, std::max(steps, 1));
        break;
    case 14:
        Whole(a, rw, 0);
        Whole(b, rw - w, 0);
        break;
    case 15:
        Whole(a, -rw, 0);
        Whole(b, w - rw, 0);
        break;
    case 16:
        Whole(a, 0, rh);
        Whole(b, 0, rh - h);
        break;
    case 17:
        Whole(a, 0, -rh);
        Whole(b, 0, h - rh);
        break;
    case 18:
        Turning(a, b, w, h, f, 360.0 * std::sqrt(f));
        break;
    case 19:
        Turning(a, b, w, h, f, -360.0 * std::sqrt(f));
        break;
    case 20:
        Whole(a, 0, 0);
        Whole(b, 0, 0, f);
        break;
    case 21:
        if (Device* d = RenderState_Device()) d->Clear(kClearTarget, 0xFF000000u, 1.0f);
        if (f > 0.5)
            Whole(b, 0, 0, 2 * f - 1);
        else
            Whole(a, 0, 0, 1 - 2 * f);
        break;
    default:
        break;
    }
}

void SetTransitionFrameSink(TransitionFrameSink sink) {
    State().sink = std::move(sink);
}

void Transition_Reset() {
    TransitionState& s = State();
    s.kind = -1;
    // Surfaces of an older run are gone with their texture table; only forget their ids.
    if (RenderState_Device()) FreeSurfaces();
    s.old_surface = s.new_surface = -1;
    s.codes.clear();
    s.names.clear();
}

} // namespace kestrin
