#pragma once
// Paths: control points turned into a polyline of interpolated points (straight lines or a
// smooth curve) with cumulative lengths, so a position at a fraction of the length is a
// scan of that list and never a curve evaluation. Every change recomputes the list at once,
// which keeps it current. The path table holds the game's paths.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "world/path_record.h"

namespace kestrin {

class CStream;
struct RawResource;

inline constexpr int32_t kPathKindStraight = 0;
inline constexpr int32_t kPathKindSmooth = 1;
inline constexpr int32_t kPathMaxPrecision = 8;
// Points of one drawn strip before the next begins.
inline constexpr int64_t kPathDrawStrip = 500;
// The most points a drawn path takes (a path millions of pixels long would otherwise stall
// every frame it is drawn in): far more than any screen shows.
inline constexpr int64_t kPathMaxDrawPoints = int64_t{1} << 20;

// An interpolated point; l is the polyline's length from the first point up to this one.
struct RIntPoint {
    double x = 0;
    double y = 0;
    double speed = 0;
    double l = 0;
};

struct PathPosition {
    double x = 0;
    double y = 0;
    double speed = 100;
};

class CPath {
public:
    CPath() { Create(); }

    void Create();
    void Clear();
    void Destroy() { Clear(); }
    void Assign(const CPath& path);
    // Reads a path record; a kind or precision outside its range is mended as the setters do.
    [[nodiscard]] bool LoadFromStream(CStream& in);
    // The record this path would be stored as.
    PathRecord ToRecord() const;
    void FromRecord(const PathRecord& record);
    void SaveToStream(CStream& out) const { ToRecord().SaveToStream(out); }

    int32_t AddPoint(double x, double y, double speed);
    void InsertPoint(int32_t ind, double x, double y, double speed);
    void ChangePoint(int32_t ind, double x, double y, double speed);
    void DeletePoint(int32_t ind);

    // The point at a fraction of the length; see Position.
    void GetPosition(double ind, double& x, double& y, double& sp) const;
    PathPosition Position(double t) const;
    // The plain walk along the line from its start, kept as the reference of Position.
    PathPosition PositionByScan(double t) const;
    double XPosition(double ind) const { return Position(ind).x; }
    double YPosition(double ind) const { return Position(ind).y; }
    double Speed(double ind) const { return Position(ind).speed; }
    // The middle of the box around the control points; (0, 0) without points.
    void Center(double& x, double& y) const;

    void Reverse();
    void Mirror();
    void Flip();
    void Rotate(double angle);
    void Scale(double xscale, double yscale);
    void Shift(double xtr, double ytr);
    void Append(const CPath& path);
    // Draws the line in the current colour as line strips of points 4 pixels apart, shifted
    // by the offset, or so that it starts at the offset unless `absol`.
    void Draw(double xoff, double yoff, bool absol) const;

    void SetKind(int32_t kind);
    void SetClosed(bool closed);
    void SetPrecision(int32_t precision);

    int32_t Kind() const { return i_kind; }
    bool Closed() const { return i_closed; }
    int32_t Precision() const { return i_precision; }
    int32_t Count() const { return static_cast<int32_t>(i_points.size()); }
    const std::vector<RWayPoint>& Points() const { return i_points; }
    const std::vector<RIntPoint>& IntPoints() const { return i_intpoints; }
    double Length() const { return i_length; }

private:
    void ComputeInternal();
    PathPosition Interpolate(size_t i, double l) const;
    // AddPoint's cheap path for a straight open line; ComputeInternal is its reference.
    void AppendStraight();
    void Subdivide(const RWayPoint& a, const RWayPoint& b, const RWayPoint& c, int32_t depth);
    void AddInternal(double x, double y, double speed);

    std::vector<RWayPoint> i_points;
    int32_t i_kind = kPathKindStraight;
    bool i_closed = true;
    int32_t i_precision = 4;
    std::vector<RIntPoint> i_intpoints;
    double i_length = 0;
};

// The path table: slots in game-data order (a slot may be empty) with their names beside.
bool Path_Exists(int32_t ind);
CPath* Path_Get(int32_t ind);
// "<undefined>" for a slot without a path.
std::string Path_GetName(int32_t ind);
// The first slot with exactly this name, or -1.
int32_t Path_Find(const std::string& name);
int32_t Path_Count();
// Appends a path made while the game runs, named "__newpath" and its index.
int32_t Path_AddNew(std::unique_ptr<CPath> path);
// A copy of path ind appended to the table; -1 when it does not exist.
int32_t Path_Duplicate(int32_t ind);
// Copies path src into slot ind, giving an empty slot a new path first; false unless src
// exists and ind lies inside the table.
bool Path_Assign(int32_t ind, int32_t src);
bool Path_Delete(int32_t ind);
void Path_ClearAll();
// Builds the table from the game data's records; a damaged record leaves the table empty.
[[nodiscard]] bool Path_LoadRecords(const std::vector<RawResource>& records);

} // namespace kestrin
