#include "world/mp_grid.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "graphics/graphics_draw.h"
#include "runner/instance.h"
#include "world/collision.h"
#include "world/path.h"

namespace kestrin {

namespace {

constexpr double kPointSpeed = 100;
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();

// The colours of a drawn grid (runner convention): red forbidden, green free.
constexpr int32_t kForbiddenColour = 255;
constexpr int32_t kFreeColour = 32768;

} // namespace

bool CGrid::Create(int32_t left, int32_t top, int32_t hcells, int32_t vcells, int32_t cellw, int32_t cellh) {
    Destroy();
    // Sizes a script could not mean are refused rather than divided by or allocated: the
    // cell count is capped, and the far edges must stay 32-bit so that every cell corner and
    // centre below is a plain int32 (hcells * cellw is below 2^57, so int64 holds it).
    if (cellw <= 0 || cellh <= 0 || hcells < 0 || vcells < 0) return false;
    if (int64_t{hcells} * vcells > kGridMaxCells) return false;
    const int64_t right = int64_t{left} + int64_t{hcells} * cellw;
    const int64_t bottom = int64_t{top} + int64_t{vcells} * cellh;
    if (right > kInt32Max || bottom > kInt32Max) return false;
    i_left = left;
    i_top = top;
    i_hcells = hcells;
    i_vcells = vcells;
    i_cellw = cellw;
    i_cellh = cellh;
    i_cells.assign(static_cast<size_t>(int64_t{hcells} * vcells), kGridFree);
    return true;
}

void CGrid::Destroy() {
    i_left = i_top = 0;
    i_cellw = i_cellh = 1;
    i_hcells = i_vcells = 0;
    i_cells.clear();
    i_cells.shrink_to_fit();
    queue_.clear();
    queue_.shrink_to_fit();
}

void CGrid::ClearAll() {
    std::fill(i_cells.begin(), i_cells.end(), kGridFree);
}

int32_t CGrid::Cell(int32_t i, int32_t j) const {
    if (i < 0 || i >= i_hcells || j < 0 || j >= i_vcells) return kGridForbidden;
    return i_cells[static_cast<size_t>(int64_t{i} * i_vcells + j)];
}

void CGrid::SetCell(int32_t i, int32_t j, int32_t value) {
    if (i < 0 || i >= i_hcells || j < 0 || j >= i_vcells) return;
    i_cells[static_cast<size_t>(int64_t{i} * i_vcells + j)] = value;
}

// The division truncates towards zero, so a rectangle ending less than a cell left of or
// above the grid still reaches column or row 0.
void CGrid::FillRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t value) {
    const int64_t i0 = std::max<int64_t>(0, Column(std::min(x1, x2)));
    const int64_t i1 = std::min<int64_t>(i_hcells - 1, Column(std::max(x1, x2)));
    const int64_t j0 = std::max<int64_t>(0, Row(std::min(y1, y2)));
    const int64_t j1 = std::min<int64_t>(i_vcells - 1, Row(std::max(y1, y2)));
    for (int64_t i = i0; i <= i1; ++i)
        for (int64_t j = j0; j <= j1; ++j) i_cells[static_cast<size_t>(i * i_vcells + j)] = value;
}

void CGrid::AddInstance(const CInstance& inst, bool prec) {
    const RBox& box = inst.i_bbox;
    const int64_t i0 = std::max<int64_t>(0, Column(box.left));
    const int64_t i1 = std::min<int64_t>(i_hcells - 1, Column(box.right));
    const int64_t j0 = std::max<int64_t>(0, Row(box.top));
    const int64_t j1 = std::min<int64_t>(i_vcells - 1, Row(box.bottom));
    for (int64_t i = i0; i <= i1; ++i) {
        for (int64_t j = j0; j <= j1; ++j) {
            int32_t& cell = i_cells[static_cast<size_t>(i * i_vcells + j)];
            if (!prec) {
                cell = kGridForbidden;
                continue;
            }
            if (cell == kGridForbidden) continue;
            const double x1 = double(i_left + i * i_cellw), y1 = double(i_top + j * i_cellh);
            const double x2 = double(i_left + (i + 1) * i_cellw - 1),
                         y2 = double(i_top + (j + 1) * i_cellh - 1);
            if (Collision_Rectangle(inst, x1, y1, x2, y2, true)) cell = kGridForbidden;
        }
    }
}

bool CGrid::Inside(int64_t x, int64_t y) const {
    return x >= i_left && x < i_left + int64_t{i_hcells} * i_cellw && y >= i_top &&
           y < i_top + int64_t{i_vcells} * i_cellh;
}

bool CGrid::FindPath(CPath& path, int32_t xs, int32_t ys, int32_t xg, int32_t yg, bool allowdiag) {
    if (!Inside(xs, ys) || !Inside(xg, yg)) return false;
    const int32_t V = i_vcells, H = i_hcells;
    const int32_t start = static_cast<int32_t>(Column(xs) * V + Row(ys));
    const int32_t goal = static_cast<int32_t>(Column(xg) * V + Row(yg));
    int32_t* c = i_cells.data();
    if (c[start] == kGridForbidden || c[goal] == kGridForbidden) return false;

    // Breadth-first: the labels are the distances plus one, kept in the cells themselves;
    // each cell enters the queue once, so the queue never holds more than the cells.
    queue_.resize(i_cells.size());
    int32_t* queue = queue_.data();
    size_t head = 0, tail = 0;
    c[start] = 1;
    queue[tail++] = start;
    bool found = false;
    while (head < tail) {
        const int32_t k = queue[head++];
        if (k == goal) {
            found = true;
            break;
        }
        const int32_t i = k / V, j = k - (k / V) * V;
        const int32_t v = c[k] + 1;
        // Which neighbours are open is decided before any is labelled.
        const bool l = i > 0 && c[k - V] == 0;
        const bool r = i < H - 1 && c[k + V] == 0;
        const bool u = j > 0 && c[k - 1] == 0;
        const bool d = j < V - 1 && c[k + 1] == 0;
        const auto label = [&](int32_t n) {
            c[n] = v;
            queue[tail++] = n;
        };
        if (l) label(k - V);
        if (r) label(k + V);
        if (u) label(k - 1);
        if (d) label(k + 1);
        if (allowdiag) {
            // A diagonal step needs both cells beside it open: it never cuts a corner.
            if (l && d && c[k - V + 1] == 0) label(k - V + 1);
            if (l && u && c[k - V - 1] == 0) label(k - V - 1);
            if (r && d && c[k + V + 1] == 0) label(k + V + 1);
            if (r && u && c[k + V - 1] == 0) label(k + V - 1);
        }
    }

    std::vector<int32_t> route;
    const bool routed = found && TraceBack(start, goal, allowdiag, route);
    // Every labelled cell went through the queue: putting those back frees the whole grid.
    for (size_t n = 0; n < tail; ++n) c[queue[n]] = kGridFree;
    if (!routed) return false;

    path.Clear();
    path.SetKind(kPathKindStraight);
    path.SetClosed(false);
    path.AddPoint(xg, yg, kPointSpeed);
    for (const int32_t k : route) {
        const int64_t i = k / V, j = k % V;
        path.AddPoint(double(i_left + i * i_cellw + i_cellw / 2), double(i_top + j * i_cellh + i_cellh / 2),
                      kPointSpeed);
    }
    path.AddPoint(xs, ys, kPointSpeed);
    path.Reverse();
    return true;
}

// The walk back takes, in a fixed order, a neighbour one label nearer the start. A diagonal
// neighbour counts only when neither cell beside the step is forbidden, the rule the search
// labelled by, so the route never slips between two forbidden cells that meet at a corner.
bool CGrid::TraceBack(int32_t start, int32_t goal, bool allowdiag, std::vector<int32_t>& route) const {
    const int32_t V = i_vcells, H = i_hcells;
    const int32_t* c = i_cells.data();
    int32_t k = goal;
    while (k != start) {
        const int32_t w = c[k];
        if (w <= 1) return false;
        const int32_t i = k / V, j = k % V;
        const bool hasL = i > 0, hasR = i<H - 1, hasU = j> 0, hasD = j < V - 1;
        const auto is = [&](int32_t n) { return c[n] == w - 1; };
        const auto open = [&](int32_t n) { return c[n] != kGridForbidden; };
        int32_t next = -1;
        if (hasL && is(k - V))
            next = k - V;
        else if (hasR && is(k + V))
            next = k + V;
        else if (hasU && is(k - 1))
            next = k - 1;
        else if (hasD && is(k + 1))
            next = k + 1;
        else if (allowdiag) {
            if (hasL && hasD && is(k - V + 1) && open(k - V) && open(k + 1))
                next = k - V + 1;
            else if (hasR && hasD && is(k + V + 1) && open(k + V) && open(k + 1))
                next = k + V + 1;
            else if (hasL && hasU && is(k - V - 1) && open(k - V) && open(k - 1))
                next = k - V - 1;
            else if (hasR && hasU && is(k + V - 1) && open(k + V) && open(k - 1))
                next = k + V - 1;
        }
        if (next < 0) return false;
        k = next;
        if (k != start) route.push_back(k);
    }
    return true;
}

void CGrid::Draw() const {
    const double alpha = Draw_GetAlpha();
    const uint32_t forbidden = ToDeviceColour(kForbiddenColour, alpha);
    const uint32_t free = ToDeviceColour(kFreeColour, alpha);
    for (int64_t i = 0; i < i_hcells; ++i) {
        for (int64_t j = 0; j < i_vcells; ++j) {
            const uint32_t c =
                i_cells[static_cast<size_t>(i * i_vcells + j)] == kGridForbidden ? forbidden : free;
            const uint32_t colours[4] = {c, c, c, c};
            Draw_Rectangle(double(i_left + i * i_cellw), double(i_top + j * i_cellh),
                           double(i_left + (i + 1) * i_cellw), double(i_top + (j + 1) * i_cellh), colours,
                           false);
        }
    }
}

// The grid table.

namespace {
std::vector<std::unique_ptr<CGrid>> g_grids;
} // namespace

int32_t Grid_Create(int32_t left, int32_t top, int32_t hcells, int32_t vcells, int32_t cellw, int32_t cellh) {
    auto grid = std::make_unique<CGrid>();
    if (!grid->Create(left, top, hcells, vcells, cellw, cellh)) return -1;
    const auto empty = std::find(g_grids.begin(), g_grids.end(), nullptr);
    if (empty != g_grids.end()) {
        *empty = std::move(grid);
        return static_cast<int32_t>(empty - g_grids.begin());
    }
    g_grids.push_back(std::move(grid));
    return Grid_Count() - 1;
}

bool Grid_Exists(int32_t id) {
    return id >= 0 && id < Grid_Count() && g_grids[static_cast<size_t>(id)] != nullptr;
}

CGrid* Grid_Get(int32_t id) {
    return Grid_Exists(id) ? g_grids[static_cast<size_t>(id)].get() : nullptr;
}

void Grid_Destroy(int32_t id) {
    if (Grid_Exists(id)) g_grids[static_cast<size_t>(id)].reset();
}

int32_t Grid_Count() {
    return static_cast<int32_t>(g_grids.size());
}

void Grid_ClearAll() {
    g_grids.clear();
}

} // namespace kestrin
