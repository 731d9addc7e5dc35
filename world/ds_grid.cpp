#include "world/ds_grid.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "base/numeric.h"

namespace kestrin {

namespace {

// Coordinates far outside any grid behave alike; clamping them keeps the arithmetic of the
// ranges clear of overflow.
constexpr int64_t kCoordinateLimit = int64_t{1} << 40;

int64_t GridCoordinate(const RValue& argument) {
    return std::clamp(DsInteger(argument), -kCoordinateLimit, kCoordinateLimit);
}

void CheckGridSize(int64_t w, int64_t h) {
    if (w > INT32_MAX || h > INT32_MAX || w * h > kMaxDsCells) throw DsLimitFault();
}

void AppendText(DsValue& cell, std::string_view tail) {
    const std::string_view head = cell.str();
    if (tail.empty()) return;
    if (tail.size() > kMaxTextBytes - head.size()) throw TextLimitFault();
    RText* text = RText::Allocate(head.size() + tail.size());
    if (!head.empty()) std::memcpy(text->Data(), head.data(), head.size());
    std::memcpy(text->Data() + head.size(), tail.data(), tail.size());
    cell.AdoptText(text);
}

// Visits the cells of a range column by column, those of a disk only when inside it; the
// visitor returns true to stop.
template <class Grid, class Visit> void VisitRange(Grid& grid, const GridRange& range, Visit visit) {
    if (range.Empty()) return;
    for (int64_t i = range.x0; i <= range.x1; ++i)
        for (int64_t j = range.y0; j <= range.y1; ++j)
            if (visit(grid.At(i, j), i, j)) return;
}

template <class Grid, class Visit> void VisitDisk(Grid& grid, double x, double y, double r, Visit visit) {
    VisitRange(grid, grid.DiskBox(x, y, r), [&](auto& cell, int64_t i, int64_t j) {
        return CDS_Grid::InDisk(i, j, x, y, r) && visit(cell, i, j);
    });
}

// The running statistic over the real cells: max and min start at -1e8 and 1e8 and so never
// pass them, and a max that is not above a cell takes the cell.
struct StatisticAccumulator {
    explicit StatisticAccumulator(CDS_Grid::Statistic s) : statistic(s) {
        if (s == CDS_Grid::Statistic::Max) value = -100000000.0;
        if (s == CDS_Grid::Statistic::Min) value = 100000000.0;
    }
    void Add(const DsValue& cell) {
        if (!cell.IsReal()) return;
        const double c = cell.val();
        switch (statistic) {
        case CDS_Grid::Statistic::Sum:
        case CDS_Grid::Statistic::Mean:
            value = CheckArithmetic(value, c, value + c);
            ++count;
            break;
        case CDS_Grid::Statistic::Max:
            if (!(value > c)) value = c;
            break;
        case CDS_Grid::Statistic::Min:
            if (value >= c) value = c;
            break;
        }
    }
    double Result() const {
        if (statistic != CDS_Grid::Statistic::Mean) return value;
        return count == 0 ? 0.0 : value / static_cast<double>(count);
    }
    CDS_Grid::Statistic statistic;
    double value = 0.0;
    int64_t count = 0;
};

} // namespace

void ApplyCellOperation(CellOperation op, DsValue& cell, const DsValue& value) {
    switch (op) {
    case CellOperation::Set:
        cell.SetField(value);
        break;
    case CellOperation::Add:
        if (cell.IsReal() && value.IsReal())
            cell.SetReal(CheckArithmetic(cell.val(), value.val(), cell.val() + value.val()));
        else if (cell.IsString() && value.IsString())
            AppendText(cell, value.str());
        else
            cell.SetField(value);
        break;
    case CellOperation::Multiply:
        if (cell.IsReal() && value.IsReal())
            cell.SetReal(CheckArithmetic(cell.val(), value.val(), cell.val() * value.val()));
        break;
    }
}

DsTable<CDS_Grid>& CDS_Grid::Table() {
    static DsTable<CDS_Grid> table;
    return table;
}

void CDS_Grid::Create(int64_t w, int64_t h) {
    CheckGridSize(w, h);
    i_val.assign(static_cast<size_t>(w * h), DsValue());
    i_w = static_cast<int32_t>(w);
    i_h = static_cast<int32_t>(h);
}

void CDS_Grid::Resize(int64_t w, int64_t h) {
    CheckGridSize(w, h);
    std::vector<DsValue> cells(static_cast<size_t>(w * h));
    const int64_t keepW = std::min<int64_t>(w, i_w), keepH = std::min<int64_t>(h, i_h);
    // A grid may be very wide with no rows at all: no column is visited then.
    if (keepH > 0)
        for (int64_t x = 0; x < keepW; ++x)
            for (int64_t y = 0; y < keepH; ++y) cells[static_cast<size_t>(x * h + y)] = std::move(At(x, y));
    i_val = std::move(cells);
    i_w = static_cast<int32_t>(w);
    i_h = static_cast<int32_t>(h);
}

void CDS_Grid::Clear(const RValue& value) {
    std::fill(i_val.begin(), i_val.end(), DsValue(value));
}

GridRange CDS_Grid::Rectangle(int64_t x1, int64_t y1, int64_t x2, int64_t y2) const {
    GridRange r;
    r.x0 = std::max<int64_t>(0, std::min(x1, x2));
    r.x1 = std::min<int64_t>(i_w - 1, std::max(x1, x2));
    r.y0 = std::max<int64_t>(0, std::min(y1, y2));
    r.y1 = std::min<int64_t>(i_h - 1, std::max(y1, y2));
    return r;
}

GridRange CDS_Grid::DiskBox(double x, double y, double r) const {
    const double left = std::floor(x - r), right = std::ceil(x + r);
    const double top = std::floor(y - r), bottom = std::ceil(y + r);
    GridRange box;
    // A NaN anywhere leaves the box empty; infinite bounds clip to the grid.
    if (std::isnan(left) || std::isnan(right) || std::isnan(top) || std::isnan(bottom)) return box;
    const double x0 = std::max(0.0, left), x1 = std::min(static_cast<double>(i_w) - 1, right);
    const double y0 = std::max(0.0, top), y1 = std::min(static_cast<double>(i_h) - 1, bottom);
    if (x1 < x0 || y1 < y0) return box;
    box.x0 = static_cast<int64_t>(x0);
    box.x1 = static_cast<int64_t>(x1);
    box.y0 = static_cast<int64_t>(y0);
    box.y1 = static_cast<int64_t>(y1);
    return box;
}

void CDS_Grid::Cell_Operation(CellOperation op, int64_t x, int64_t y, const RValue& value) {
    if (x < 0 || y < 0 || x >= i_w || y >= i_h) return;
    ApplyCellOperation(op, At(x, y), DsValue(value));
}

void CDS_Grid::Region_Operation(CellOperation op, int64_t x1, int64_t y1, int64_t x2, int64_t y2,
                                const RValue& value) {
    const DsValue operand(value);
    VisitRange(*this, Rectangle(x1, y1, x2, y2), [&](DsValue& cell, int64_t, int64_t) {
        ApplyCellOperation(op, cell, operand);
        return false;
    });
}

void CDS_Grid::Disk_Operation(CellOperation op, double x, double y, double r, const RValue& value) {
    const DsValue operand(value);
    VisitDisk(*this, x, y, r, [&](DsValue& cell, int64_t, int64_t) {
        ApplyCellOperation(op, cell, operand);
        return false;
    });
}

void CDS_Grid::Grid_Operation(CellOperation op, const CDS_Grid& source, int64_t x1, int64_t y1, int64_t x2,
                              int64_t y2, int64_t xpos, int64_t ypos) {
    int64_t sx1 = std::max<int64_t>(0, std::min(x1, x2));
    int64_t sx2 = std::min<int64_t>(source.i_w - 1, std::max(x1, x2));
    int64_t sy1 = std::max<int64_t>(0, std::min(y1, y2));
    int64_t sy2 = std::min<int64_t>(source.i_h - 1, std::max(y1, y2));
    // The part that would fall left of or above this grid is skipped, then the part beyond it.
    if (xpos < 0) {
        sx1 -= xpos;
        xpos = 0;
    }
    if (ypos < 0) {
        sy1 -= ypos;
        ypos = 0;
    }
    if (sx2 + xpos - sx1 > i_w - 1) sx2 = i_w - 1 + sx1 - xpos;
    if (sy2 + ypos - sy1 > i_h - 1) sy2 = i_h - 1 + sy1 - ypos;
    if (sx2 < sx1 || sy2 < sy1) return;

    // Within one grid, a column or row is read before the copy can overwrite it: walk away
    // from the direction of the move.
    const bool columnsUp = sx1 >= xpos, rowsUp = sy1 >= ypos;
    const int64_t columns = sx2 - sx1 + 1, rows = sy2 - sy1 + 1;
    for (int64_t c = 0; c < columns; ++c) {
        const int64_t i = columnsUp ? sx1 + c : sx2 - c;
        for (int64_t r = 0; r < rows; ++r) {
            const int64_t j = rowsUp ? sy1 + r : sy2 - r;
            const DsValue value = source.At(i, j);
            ApplyCellOperation(op, At(xpos + i - sx1, ypos + j - sy1), value);
        }
    }
}

RValue CDS_Grid::Get_Cell(int64_t x, int64_t y) const {
    if (x < 0 || y < 0 || x >= i_w || y >= i_h) return RValue();
    return At(x, y).Value();
}

double CDS_Grid::Get_Statistic(Statistic statistic, int64_t x1, int64_t y1, int64_t x2, int64_t y2) const {
    StatisticAccumulator acc(statistic);
    VisitRange(*this, Rectangle(x1, y1, x2, y2), [&](const DsValue& cell, int64_t, int64_t) {
        acc.Add(cell);
        return false;
    });
    return acc.Result();
}

double CDS_Grid::Get_Disk_Statistic(Statistic statistic, double x, double y, double r) const {
    StatisticAccumulator acc(statistic);
    VisitDisk(*this, x, y, r, [&](const DsValue& cell, int64_t, int64_t) {
        acc.Add(cell);
        return false;
    });
    return acc.Result();
}

GridMatch CDS_Grid::Value_Search(int64_t x1, int64_t y1, int64_t x2, int64_t y2, const RValue& value) const {
    GridMatch match;
    VisitRange(*this, Rectangle(x1, y1, x2, y2), [&](const DsValue& cell, int64_t i, int64_t j) {
        if (CompareValues(cell, value) != 0) return false;
        match = {true, i, j};
        return true;
    });
    return match;
}

GridMatch CDS_Grid::Value_Disk_Search(double x, double y, double r, const RValue& value) const {
    GridMatch match;
    VisitDisk(*this, x, y, r, [&](const DsValue& cell, int64_t i, int64_t j) {
        if (CompareValues(cell, value) != 0) return false;
        match = {true, i, j};
        return true;
    });
    return match;
}

void CDS_Grid::Shuffle() {
    for (int64_t k = 8 * static_cast<int64_t>(i_val.size()); k > 0; --k) {
        const int64_t x1 = DsDrawBelow(i_w);
        const int64_t x2 = DsDrawBelow(i_w);
        const int64_t y1 = DsDrawBelow(i_h);
        const int64_t y2 = DsDrawBelow(i_h);
        std::swap(At(x1, y1), At(x2, y2));
    }
}

std::string CDS_Grid::WriteToString() const {
    CStream stream;
    stream.WriteInteger(kHeader);
    stream.WriteInteger(i_w);
    stream.WriteInteger(i_h);
    WriteStoredValues(stream, i_val.data(), i_val.size());
    return StoredText(stream);
}

void CDS_Grid::ReadFields(CStream& stream) {
    const int32_t w = stream.ReadInteger();
    const int32_t h = stream.ReadInteger();
    if (w < 0 || h < 0) throw StreamError("negative grid size");
    ReadStoredValues(stream, int64_t{w} * h, i_val);
    i_w = w;
    i_h = h;
}

namespace {

using Grid = CDS_Grid;
using Statistic = CDS_Grid::Statistic;

int64_t Coord(const RValue* args, int k) {
    return GridCoordinate(args[k]);
}

void ds_grid_create(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const int64_t w = DsInteger(args[0]), h = DsInteger(args[1]);
    // A negative size makes no grid: the result is no id.
    if (w < 0 || h < 0) {
        result.SetReal(-1.0);
        return;
    }
    auto grid = std::make_unique<Grid>();
    grid->Create(w, h);
    result.SetReal(Grid::Table().Create(std::move(grid)));
}
void ds_grid_resize(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    const int64_t w = DsInteger(args[1]), h = DsInteger(args[2]);
    if (Grid* g = DsFind<Grid>(args[0]); g && w >= 0 && h >= 0) g->Resize(w, h);
}
void ds_grid_width(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Grid* g = DsFind<Grid>(args[0])) result.SetReal(g->Width());
}
void ds_grid_height(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Grid* g = DsFind<Grid>(args[0])) result.SetReal(g->Height());
}
void ds_grid_clear(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (Grid* g = DsFind<Grid>(args[0])) g->Clear(args[1]);
}

template <CellOperation op>
void GridCell(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (Grid* g = DsFind<Grid>(args[0])) g->Cell_Operation(op, Coord(args, 1), Coord(args, 2), args[3]);
}
template <CellOperation op>
void GridRegion(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (Grid* g = DsFind<Grid>(args[0]))
        g->Region_Operation(op, Coord(args, 1), Coord(args, 2), Coord(args, 3), Coord(args, 4), args[5]);
}
template <CellOperation op>
void GridDisk(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (Grid* g = DsFind<Grid>(args[0]))
        g->Disk_Operation(op, args[1].val(), args[2].val(), args[3].val(), args[4]);
}
template <CellOperation op>
void GridGrid(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    Grid* g = DsFind<Grid>(args[0]);
    if (!g) return;
    if (const Grid* source = DsFind<Grid>(args[1]))
        g->Grid_Operation(op, *source, Coord(args, 2), Coord(args, 3), Coord(args, 4), Coord(args, 5),
                          Coord(args, 6), Coord(args, 7));
}

void ds_grid_get(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Grid* g = DsFind<Grid>(args[0])) result = g->Get_Cell(Coord(args, 1), Coord(args, 2));
}

template <Statistic statistic>
void GridStatistic(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Grid* g = DsFind<Grid>(args[0]))
        result.SetReal(
            g->Get_Statistic(statistic, Coord(args, 1), Coord(args, 2), Coord(args, 3), Coord(args, 4)));
}
template <Statistic statistic>
void GridDiskStatistic(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Grid* g = DsFind<Grid>(args[0]))
        result.SetReal(g->Get_Disk_Statistic(statistic, args[1].val(), args[2].val(), args[3].val()));
}

enum class SearchResult : uint8_t { Exists, X, Y };

void SetSearchResult(SearchResult what, const GridMatch& match, RValue& result) {
    switch (what) {
    case SearchResult::Exists:
        result.SetReal(match.found ? 1.0 : 0.0);
        break;
    case SearchResult::X:
        result.SetReal(static_cast<double>(match.x));
        break;
    case SearchResult::Y:
        result.SetReal(static_cast<double>(match.y));
        break;
    }
}
template <SearchResult what>
void GridValue(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Grid* g = DsFind<Grid>(args[0]))
        SetSearchResult(
            what, g->Value_Search(Coord(args, 1), Coord(args, 2), Coord(args, 3), Coord(args, 4), args[5]),
            result);
}
template <SearchResult what>
void GridDiskValue(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Grid* g = DsFind<Grid>(args[0]))
        SetSearchResult(what, g->Value_Disk_Search(args[1].val(), args[2].val(), args[3].val(), args[4]),
                        result);
}

void ds_grid_shuffle(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (Grid* g = DsFind<Grid>(args[0])) g->Shuffle();
}

constexpr RFunctionSpec kFunctions[] = {
    {"ds_grid_create", ds_grid_create, 2},
    {"ds_grid_destroy", DsDestroy<Grid>, 1},
    {"ds_grid_copy", DsCopy<Grid>, 2},
    {"ds_grid_resize", ds_grid_resize, 3},
    {"ds_grid_width", ds_grid_width, 1},
    {"ds_grid_height", ds_grid_height, 1},
    {"ds_grid_clear", ds_grid_clear, 2},
    {"ds_grid_set", GridCell<CellOperation::Set>, 4},
    {"ds_grid_add", GridCell<CellOperation::Add>, 4},
    {"ds_grid_multiply", GridCell<CellOperation::Multiply>, 4},
    {"ds_grid_set_region", GridRegion<CellOperation::Set>, 6},
    {"ds_grid_add_region", GridRegion<CellOperation::Add>, 6},
    {"ds_grid_multiply_region", GridRegion<CellOperation::Multiply>, 6},
    {"ds_grid_set_disk", GridDisk<CellOperation::Set>, 5},
    {"ds_grid_add_disk", GridDisk<CellOperation::Add>, 5},
    {"ds_grid_multiply_disk", GridDisk<CellOperation::Multiply>, 5},
    {"ds_grid_set_grid_region", GridGrid<CellOperation::Set>, 8},
    {"ds_grid_add_grid_region", GridGrid<CellOperation::Add>, 8},
    {"ds_grid_multiply_grid_region", GridGrid<CellOperation::Multiply>, 8},
    {"ds_grid_get", ds_grid_get, 3},
    {"ds_grid_get_sum", GridStatistic<Statistic::Sum>, 5},
    {"ds_grid_get_max", GridStatistic<Statistic::Max>, 5},
    {"ds_grid_get_min", GridStatistic<Statistic::Min>, 5},
    {"ds_grid_get_mean", GridStatistic<Statistic::Mean>, 5},
    {"ds_grid_get_disk_sum", GridDiskStatistic<Statistic::Sum>, 4},
    {"ds_grid_get_disk_max", GridDiskStatistic<Statistic::Max>, 4},
    {"ds_grid_get_disk_min", GridDiskStatistic<Statistic::Min>, 4},
    {"ds_grid_get_disk_mean", GridDiskStatistic<Statistic::Mean>, 4},
    {"ds_grid_value_exists", GridValue<SearchResult::Exists>, 6},
    {"ds_grid_value_x", GridValue<SearchResult::X>, 6},
    {"ds_grid_value_y", GridValue<SearchResult::Y>, 6},
    {"ds_grid_value_disk_exists", GridDiskValue<SearchResult::Exists>, 5},
    {"ds_grid_value_disk_x", GridDiskValue<SearchResult::X>, 5},
    {"ds_grid_value_disk_y", GridDiskValue<SearchResult::Y>, 5},
    {"ds_grid_shuffle", ds_grid_shuffle, 1},
    {"ds_grid_write", DsWrite<Grid>, 1},
    {"ds_grid_read", DsRead<Grid>, 2},
};

} // namespace

std::span<const RFunctionSpec> GridFunctions() {
    return kFunctions;
}

} // namespace kestrin
