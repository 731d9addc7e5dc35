#include "graphics/font_atlas.h"

#include <algorithm>

namespace kestrin {

namespace {
constexpr int32_t kGap = 2;
}

std::vector<AtlasPosition> PlaceAtlasCells(std::span<const AtlasCell> cells, int32_t width) {
    std::vector<AtlasPosition> out;
    out.reserve(cells.size());
    int64_t x = 0, y = 0, rowHeight = 0;
    for (const AtlasCell& c : cells) {
        // A cell at the start of a row stays there however wide it is: a new row would not help.
        if (x > 0 && x + c.w >= width) {
            y += rowHeight + kGap;
            x = 0;
            rowHeight = 0;
        }
        out.push_back({static_cast<int32_t>(std::min<int64_t>(x, INT32_MAX)),
                       static_cast<int32_t>(std::min<int64_t>(y, INT32_MAX))});
        x += int64_t(std::max(c.w, 0)) + kGap;
        rowHeight = std::max<int64_t>(rowHeight, c.h);
    }
    return out;
}

bool AtlasCellsFit(std::span<const AtlasCell> cells, int32_t width, int32_t height) {
    const std::vector<AtlasPosition> at = PlaceAtlasCells(cells, width);
    for (size_t i = 0; i < cells.size(); ++i) {
        if (int64_t(at[i].x) + cells[i].w >= width && cells[i].w > 0) return false;
        if (int64_t(at[i].y) + cells[i].h > height) return false;
    }
    return true;
}

AtlasLayout PackAtlas(std::span<const AtlasCell> cells) {
    AtlasLayout layout;
    int32_t w = kMaxAtlasSize, h = kMaxAtlasSize;
    layout.fits = AtlasCellsFit(cells, w, h);
    if (layout.fits) {
        bool halveHeight = true;
        for (;;) {
            const int32_t nw = halveHeight ? w : w / 2, nh = halveHeight ? h / 2 : h;
            if (nw < 1 || nh < 1 || !AtlasCellsFit(cells, nw, nh)) break;
            w = nw;
            h = nh;
            halveHeight = !halveHeight;
        }
    }
    layout.width = w;
    layout.height = h;
    layout.positions = PlaceAtlasCells(cells, w);
    return layout;
}

} // namespace kestrin
