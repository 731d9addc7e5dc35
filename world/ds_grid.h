#pragma once
// CDS_Grid: i_w columns of i_h cells, kept column by column in one array (the order of the
// stored text). Rectangles and disks are clipped to the grid and visited column by column.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "world/ds_common.h"

namespace kestrin {

// ORDER: the numbers the cell operations have in the built-ins.
enum class CellOperation : uint8_t { Set = 1, Add = 2, Multiply = 3 };

// Set takes the value's kind and the field of it, keeping the cell's other field; Add adds two
// reals or appends two texts (and sets when the kinds differ); Multiply multiplies two reals
// and leaves anything else. Whatever a cell does not change of its two fields stays.
void ApplyCellOperation(CellOperation op, DsValue& cell, const DsValue& value);

// A range of cells: columns x0..x1, rows y0..y1 (empty when either is).
struct GridRange {
    int64_t x0 = 0, x1 = -1, y0 = 0, y1 = -1;
    bool Empty() const { return x1 < x0 || y1 < y0; }
};

// Where a value search ended; all 0 when nothing matched.
struct GridMatch {
    bool found = false;
    int64_t x = 0, y = 0;
};

class CDS_Grid {
public:
    static constexpr int32_t kHeader = 601;
    static DsTable<CDS_Grid>& Table();

    // Sizes must be >= 0; a grid larger than kMaxDsCells is an out-of-memory fault.
    void Create(int64_t w, int64_t h);
    void Resize(int64_t w, int64_t h);
    void Assign(const CDS_Grid& data) { *this = data; }
    void Clear(const RValue& value);
    int32_t Width() const { return i_w; }
    int32_t Height() const { return i_h; }

    GridRange Rectangle(int64_t x1, int64_t y1, int64_t x2, int64_t y2) const;
    // The box of the disk; cells of it belong to the disk when InDisk says so.
    GridRange DiskBox(double x, double y, double r) const;
    static bool InDisk(int64_t i, int64_t j, double x, double y, double r) {
        const double dx = static_cast<double>(i) - x, dy = static_cast<double>(j) - y;
        return dx * dx + dy * dy <= r * r;
    }

    void Cell_Operation(CellOperation op, int64_t x, int64_t y, const RValue& value);
    void Region_Operation(CellOperation op, int64_t x1, int64_t y1, int64_t x2, int64_t y2,
                          const RValue& value);
    void Disk_Operation(CellOperation op, double x, double y, double r, const RValue& value);
    // Applies the operation with the cells of a rectangle of `source` (which may be this grid)
    // to the cells whose top left is (xpos, ypos); overlapping copies read before they write.
    void Grid_Operation(CellOperation op, const CDS_Grid& source, int64_t x1, int64_t y1, int64_t x2,
                        int64_t y2, int64_t xpos, int64_t ypos);
    RValue Get_Cell(int64_t x, int64_t y) const;

    // Statistics over the real cells of a rectangle or disk.
    enum class Statistic : uint8_t { Sum, Max, Min, Mean };
    double Get_Statistic(Statistic statistic, int64_t x1, int64_t y1, int64_t x2, int64_t y2) const;
    double Get_Disk_Statistic(Statistic statistic, double x, double y, double r) const;
    GridMatch Value_Search(int64_t x1, int64_t y1, int64_t x2, int64_t y2, const RValue& value) const;
    GridMatch Value_Disk_Search(double x, double y, double r, const RValue& value) const;

    void Shuffle();

    std::string WriteToString() const;
    DsReadStatus ReadFromString(std::string_view text) { return ReadStoredText(*this, text); }
    void ReadFields(CStream& stream);

    DsValue& At(int64_t x, int64_t y) { return i_val[static_cast<size_t>(x * i_h + y)]; }
    const DsValue& At(int64_t x, int64_t y) const { return i_val[static_cast<size_t>(x * i_h + y)]; }

    int32_t i_w = 0;
    int32_t i_h = 0;
    // Cell (x, y) at x * i_h + y.
    std::vector<DsValue> i_val;
};

std::span<const RFunctionSpec> GridFunctions();

} // namespace kestrin
