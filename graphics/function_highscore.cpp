#include "graphics/function_highscore.h"

#include <cmath>
#include <string>

#include "graphics/function_args.h"
#include "graphics/graphics_draw.h"
#include "graphics/graphics_text.h"
#include "runner/function_dialog.h"

namespace kestrin {

namespace {

using graphics_args::Args;
using graphics_args::D;

void draw_highscore(CScriptInstance*, CScriptInstance*, int32_t, Args a, RValue&) {
    const double x1 = D(a, 0), y1 = D(a, 1), x2 = D(a, 2), y2 = D(a, 3);
    const double h = std::round((y2 - y1) / 10);
    const HighscoreTable table = CurrentHighscores();
    TextColours colours;
    colours.c[0] = Draw_GetColour();
    colours.alpha = Draw_GetAlpha();
    // Names start at x1 and scores end at x2 whatever alignment the script set.
    const auto align = static_cast<int32_t>(Text_GetHAlign());
    Text_SetHAlign(static_cast<int32_t>(HAlign::Left));
    for (int32_t i = 0; i < kHighscoreRanks; ++i) {
        const HighscoreEntry& e = table.ranks[static_cast<size_t>(i)];
        const double y = y1 + i * h;
        Text_Draw(x1, y, HighscoreShownName(e), -1, -1, colours);
        const std::string score = std::to_string(e.score);
        Text_Draw(x2 - Text_Width(score, -1, -1), y, score, -1, -1, colours);
    }
    Text_SetHAlign(align);
}

constexpr RFunctionSpec kFunctions[] = {
    {"draw_highscore", draw_highscore, 4},
};

} // namespace

std::span<const RFunctionSpec> HighscoreDrawFunctions() {
    return kFunctions;
}

} // namespace kestrin
