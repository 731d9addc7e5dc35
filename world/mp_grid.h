#pragma once
// Grids for planning routes: cells laid over the room, each free or forbidden, and a
// breadth-first search over the free cells that fills a path from an exact start point
// through the centres of the cells in between to the exact goal point. The grid table holds
// the grids scripts make; they live until destroyed and survive room changes.

#include <cstdint>
#include <vector>

namespace kestrin {

class CInstance;
class CPath;

inline constexpr int32_t kGridFree = 0;
inline constexpr int32_t kGridForbidden = -1;
// The most cells one grid may have (64 Mi): the cells and the search's queue stay within
// 512 MiB together, and a search cannot overflow its distance labels.
inline constexpr int64_t kGridMaxCells = int64_t{1} << 26;

class CGrid {
public:
    // False, leaving the grid empty, for a cell size of 0 or less, a negative number of
    // cells, more than kGridMaxCells cells, or a grid whose far edge lies beyond the 32-bit
    // coordinates the cells are addressed in.
    [[nodiscard]] bool Create(int32_t left, int32_t top, int32_t hcells, int32_t vcells, int32_t cellw,
                              int32_t cellh);
    void Destroy();

    void ClearAll();
    void ClearCell(int32_t i, int32_t j) { SetCell(i, j, kGridFree); }
    void AddCell(int32_t i, int32_t j) { SetCell(i, j, kGridForbidden); }
    // Every cell the room rectangle touches (corners in any order).
    void ClearRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
        FillRectangle(x1, y1, x2, y2, kGridFree);
    }
    void AddRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
        FillRectangle(x1, y1, x2, y2, kGridForbidden);
    }
    // Forbids the cells under the instance's box; with prec only those its mask touches.
    void AddInstance(const CInstance& inst, bool prec);

    // Searches from (xs, ys) to (xg, yg); on success fills path and answers true. The path is
    // left untouched when the search fails. Cells are back to free or forbidden afterwards.
    bool FindPath(CPath& path, int32_t xs, int32_t ys, int32_t xg, int32_t yg, bool allowdiag);
    // Every cell as a filled rectangle: red when forbidden, green when free.
    void Draw() const;

    int32_t Left() const { return i_left; }
    int32_t Top() const { return i_top; }
    int32_t CellWidth() const { return i_cellw; }
    int32_t CellHeight() const { return i_cellh; }
    int32_t HCells() const { return i_hcells; }
    int32_t VCells() const { return i_vcells; }
    // Cell (i, j); kGridForbidden outside the grid.
    int32_t Cell(int32_t i, int32_t j) const;
    // The cells column by column: (i, j) is entry i * VCells() + j.
    const std::vector<int32_t>& Cells() const { return i_cells; }

private:
    void SetCell(int32_t i, int32_t j, int32_t value);
    void FillRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t value);
    // Column and row of a room coordinate, truncating towards zero (not clamped).
    int64_t Column(int64_t x) const { return (x - i_left) / i_cellw; }
    int64_t Row(int64_t y) const { return (y - i_top) / i_cellh; }
    bool Inside(int64_t x, int64_t y) const;
    // Walks back from the goal cell over the labels; false when the labels do not lead to
    // the start (they always do after a search that reached the goal).
    bool TraceBack(int32_t start, int32_t goal, bool allowdiag, std::vector<int32_t>& route) const;

    int32_t i_left = 0;
    int32_t i_top = 0;
    int32_t i_cellw = 1;
    int32_t i_cellh = 1;
    int32_t i_hcells = 0;
    int32_t i_vcells = 0;
    std::vector<int32_t> i_cells;
    std::vector<int32_t> queue_; // the search's queue, kept between searches
};

// The grid table: a new grid takes the lowest empty slot; the id is the slot.
// -1 when the sizes are refused (see CGrid::Create).
int32_t Grid_Create(int32_t left, int32_t top, int32_t hcells, int32_t vcells, int32_t cellw, int32_t cellh);
bool Grid_Exists(int32_t id);
CGrid* Grid_Get(int32_t id);
void Grid_Destroy(int32_t id);
int32_t Grid_Count();
// Every grid gone (a new game, a test).
void Grid_ClearAll();

} // namespace kestrin
