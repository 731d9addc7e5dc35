#pragma once
// Packing of glyph cells into a font atlas: cells go left to right in the given order with 2
// pixels between them, a cell that would reach the right edge starts a new row, rows are 2
// pixels apart and as tall as their tallest cell. The atlas size is found by halving 2048 x
// 2048, height first, while everything still fits.

#include <cstdint>
#include <span>
#include <vector>

namespace kestrin {

inline constexpr int32_t kMaxAtlasSize = 2048;

struct AtlasCell {
    int32_t w = 0, h = 0;
};

struct AtlasPosition {
    int32_t x = 0, y = 0;
};

// Places every cell (in order) for an atlas `width` wide; the rows may run past any height.
std::vector<AtlasPosition> PlaceAtlasCells(std::span<const AtlasCell> cells, int32_t width);
// Whether the cells all lie within width x height when placed that way.
bool AtlasCellsFit(std::span<const AtlasCell> cells, int32_t width, int32_t height);

struct AtlasLayout {
    int32_t width = kMaxAtlasSize, height = kMaxAtlasSize;
    bool fits = false; // false: 2048 x 2048 holds only part of the cells
    std::vector<AtlasPosition> positions;
};
AtlasLayout PackAtlas(std::span<const AtlasCell> cells);

} // namespace kestrin
