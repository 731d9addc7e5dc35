#include "graphics/function_font.h"

// Font resource built-ins (Function_Resource): the font list read and changed at run time.

#include <memory>

#include "graphics/font.h"
#include "graphics/function_args.h"
#include "graphics/function_text.h"
#include "graphics/messages.h"
#include "script/run_error.h"

namespace kestrin {

namespace {

using graphics_args::Args;
using graphics_args::B;
using graphics_args::I;

// Numeric getters give -1 for a font that does not exist.
template <typename Get> void Property(Args a, RValue& r, Get get) {
    const CFont* f = Font_Get(I(a, 0));
    r.SetReal(f ? double(get(*f)) : -1.0);
}

std::unique_ptr<CFont> FromSprite(Args a, int at) {
    auto font = std::make_unique<CFont>();
    if (!font->CreateFromSprite(I(a, at), I(a, at + 1), B(a, at + 2), I(a, at + 3))) return nullptr;
    return font;
}

ROUTINE(font_exists) {
    r.SetReal(Font_Exists(I(a, 0)) ? 1 : 0);
}
ROUTINE(font_get_name) {
    r.SetString(Font_GetName(I(a, 0)));
}
ROUTINE(font_get_fontname) {
    const CFont* f = Font_Get(I(a, 0));
    r.SetString(f ? f->s_name : std::string());
}
ROUTINE(font_get_size) {
    Property(a, r, [](const CFont& f) { return f.s_size; });
}
ROUTINE(font_get_bold) {
    Property(a, r, [](const CFont& f) { return f.s_bold ? 1 : 0; });
}
ROUTINE(font_get_italic) {
    Property(a, r, [](const CFont& f) { return f.s_italic ? 1 : 0; });
}
ROUTINE(font_get_first) {
    Property(a, r, [](const CFont& f) { return f.s_first; });
}
ROUTINE(font_get_last) {
    Property(a, r, [](const CFont& f) { return f.s_last; });
}
ROUTINE(font_add) {
    r.SetReal(Font_AddFont(a[0].str(), I(a, 1), B(a, 2), B(a, 3), I(a, 4), I(a, 5)));
}
ROUTINE(font_replace) {
    const int32_t ind = I(a, 0);
    if (ind < 0 || ind >= Font_Count()) {
        ReportRunError(graphics_msg::kReplaceNoFont, false);
        return;
    }
    auto font = std::make_unique<CFont>();
    font->CreateFont(a[1].str(), I(a, 2), B(a, 3), B(a, 4), I(a, 5), I(a, 6));
    r.SetReal(Font_Replace(ind, std::move(font)) ? 1 : 0);
}
// A missing sprite gives -1, not 0, which would name a font.
ROUTINE(font_add_sprite) {
    std::unique_ptr<CFont> font = FromSprite(a, 0);
    if (!font) {
        ReportRunError(graphics_msg::kFontNoSprite, false);
        r.SetReal(-1);
        return;
    }
    r.SetReal(Font_AddNew(std::move(font)));
}
ROUTINE(font_replace_sprite) {
    const int32_t ind = I(a, 0);
    if (ind < 0 || ind >= Font_Count()) {
        ReportRunError(graphics_msg::kReplaceNoFont, false);
        return;
    }
    std::unique_ptr<CFont> font = FromSprite(a, 1);
    if (!font) {
        ReportRunError(graphics_msg::kReplaceFontNoSprite, false);
        return;
    }
    r.SetReal(Font_Replace(ind, std::move(font)) ? 1 : 0);
}
ROUTINE(font_delete) {
    if (!Font_Delete(I(a, 0))) {
        ReportRunError(graphics_msg::kDeleteNoFont, false);
        return;
    }
    r.SetReal(1);
}

#undef ROUTINE

constexpr RFunctionSpec kFunctions[] = {
    {"font_name", font_get_name, 1},
    {"font_exists", font_exists, 1},
    {"font_get_name", font_get_name, 1},
    {"font_get_fontname", font_get_fontname, 1},
    {"font_get_size", font_get_size, 1},
    {"font_get_bold", font_get_bold, 1},
    {"font_get_italic", font_get_italic, 1},
    {"font_get_first", font_get_first, 1},
    {"font_get_last", font_get_last, 1},
    {"font_add", font_add, 6},
    {"font_replace", font_replace, 7},
    {"font_add_sprite", font_add_sprite, 4},
    {"font_replace_sprite", font_replace_sprite, 5},
    {"font_delete", font_delete, 1},
};

} // namespace

std::span<const RFunctionSpec> FontFunctions() {
    return kFunctions;
}

} // namespace kestrin
