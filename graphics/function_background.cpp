#include "graphics/function_background.h"

#include <memory>
#include <optional>
#include <string>

#include "graphics/background.h"
#include "graphics/function_args.h"
#include "graphics/function_texture.h"
#include "graphics/graphics_surface.h"
#include "graphics/render_state.h"
#include "graphics/resource_messages.h"
#include "script/run_error.h"

namespace kestrin {

namespace {

using graphics_args::Args;
using graphics_args::B;
using graphics_args::I;

CBackground* Arg(Args a, int i) {
    return Background_Get(I(a, i));
}

template <typename Get> void Number(Args a, RValue& r, Get get) {
    const CBackground* back = Arg(a, 0);
    r.SetReal(back ? double(get(*back)) : -1.0);
}

ROUTINE(background_exists) {
    r.SetReal(Background_Exists(I(a, 0)) ? 1 : 0);
}
ROUTINE(background_get_name) {
    r.SetString(Background_GetName(I(a, 0)));
}
ROUTINE(background_get_width) {
    Number(a, r, [](const CBackground& b) { return b.GetWidth(); });
}
ROUTINE(background_get_height) {
    Number(a, r, [](const CBackground& b) { return b.GetHeight(); });
}
ROUTINE(background_set_alpha_from_background) {
    CBackground* back = Arg(a, 0);
    const CBackground* from = Arg(a, 1);
    if (back && from) back->SetAlphaFromBackground(*from);
}

// A new background; a capture that yields nothing leaves it empty.
void CreateFromCapture(const std::optional<TBitmap32>& capture, Args a, int first, RValue& r) {
    auto back = std::make_unique<CBackground>();
    if (capture) back->CreateFromBitmap(*capture, B(a, first), B(a, first + 1));
    r.SetReal(Background_AddNew(std::move(back)));
}
ROUTINE(background_create_from_screen) {
    CreateFromCapture(RenderState_Capture(I(a, 0), I(a, 1), I(a, 2), I(a, 3)), a, 4, r);
}
ROUTINE(background_create_from_surface) {
    CreateFromCapture(Surface_Capture(I(a, 0), I(a, 1), I(a, 2), I(a, 3), I(a, 4)), a, 5, r);
}
ROUTINE(background_create_color) {
    auto back = std::make_unique<CBackground>();
    back->CreateColor(I(a, 0), I(a, 1), I(a, 2));
    r.SetReal(Background_AddNew(std::move(back)));
}
ROUTINE(background_create_gradient) {
    auto back = std::make_unique<CBackground>();
    back->CreateGradient(I(a, 0), I(a, 1), I(a, 2), I(a, 3), I(a, 4));
    r.SetReal(Background_AddNew(std::move(back)));
}

ROUTINE(background_add) {
    r.SetReal(Background_Add(std::string(a[0].str()), B(a, 1), B(a, 2)));
}
ROUTINE(background_add_background) {
    r.SetReal(Background_AddBackground(std::string(a[0].str())));
}
ROUTINE(background_replace) {
    const int32_t ind = I(a, 0);
    if (!Background_Exists(ind)) return ReportRunError(msg::kBackgroundReplaceMissing, false);
    r.SetReal(Background_Replace(ind, std::string(a[1].str()), B(a, 2), B(a, 3)) ? 1 : 0);
}
ROUTINE(background_replace_background) {
    const int32_t ind = I(a, 0);
    if (!Background_Exists(ind)) return ReportRunError(msg::kBackgroundReplaceMissing, false);
    r.SetReal(Background_ReplaceBackground(ind, std::string(a[1].str())) ? 1 : 0);
}
ROUTINE(background_delete) {
    if (!Background_Delete(I(a, 0))) return ReportRunError(msg::kBackgroundDeleteMissing, false);
    r.SetReal(1);
}
ROUTINE(background_duplicate) {
    const int32_t ind = Background_Duplicate(I(a, 0));
    if (ind < 0) return ReportRunError(msg::kBackgroundDuplicateMissing, false);
    r.SetReal(ind);
}
ROUTINE(background_assign) {
    if (!Background_AssignTo(I(a, 0), I(a, 1))) return ReportRunError(msg::kBackgroundAssignFailed, false);
    r.SetReal(1);
}

// PNG (with alpha) for a ".png" name in any letter case, a Windows bitmap otherwise; an
// empty image and write errors are passed over.
ROUTINE(background_save) {
    const CBackground* back = Arg(a, 0);
    if (!back) return ReportRunError(msg::kBackgroundSaveMissing, false);
    const std::string name(a[1].str());
    if (name.empty()) return ReportRunError(msg::kBackgroundSaveEmptyName, false);
    if (!back->Bitmap().Empty()) SaveCaptureFile(name, back->Bitmap());
}

#undef ROUTINE

constexpr RFunctionSpec kFunctions[] = {
    {"background_name", background_get_name, 1},
    {"background_exists", background_exists, 1},
    {"background_get_name", background_get_name, 1},
    {"background_get_width", background_get_width, 1},
    {"background_get_height", background_get_height, 1},
    {"background_set_alpha_from_background", background_set_alpha_from_background, 2},
    {"background_create_from_screen", background_create_from_screen, 6},
    {"background_create_from_surface", background_create_from_surface, 7},
    {"background_create_color", background_create_color, 3},
    {"background_create_gradient", background_create_gradient, 5},
    {"background_add", background_add, 3},
    {"background_replace", background_replace, 4},
    {"background_add_background", background_add_background, 1},
    {"background_replace_background", background_replace_background, 2},
    {"background_delete", background_delete, 1},
    {"background_duplicate", background_duplicate, 1},
    {"background_assign", background_assign, 2},
    {"background_save", background_save, 2},
};

} // namespace

std::span<const RFunctionSpec> BackgroundFunctions() {
    return kFunctions;
}

} // namespace kestrin
