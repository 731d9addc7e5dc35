#include "world/path.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/numeric.h"
#include "base/stream.h"
#include "graphics/graphics_draw.h"
#include "runner/game_data.h"

namespace kestrin {

namespace {

RWayPoint Midpoint(const RWayPoint& a, const RWayPoint& b) {
    return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.speed + b.speed) / 2};
}

double SquaredDistance(const RWayPoint& a, const RWayPoint& b) {
    return (b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y);
}

// Legs this short are not split further.
constexpr double kShortLegSquared = 16;

} // namespace

void CPath::Create() {
    i_points.clear();
    i_kind = kPathKindStraight;
    i_closed = true;
    i_precision = 4;
    ComputeInternal();
}

void CPath::Clear() {
    i_points.clear();
    ComputeInternal();
}

void CPath::Assign(const CPath& path) {
    if (&path == this) return;
    i_kind = path.i_kind;
    i_closed = path.i_closed;
    i_precision = path.i_precision;
    i_points = path.i_points;
    ComputeInternal();
}

bool CPath::LoadFromStream(CStream& in) {
    PathRecord record;
    if (!record.LoadFromStream(in)) return false;
    FromRecord(record);
    return true;
}

PathRecord CPath::ToRecord() const {
    PathRecord record;
    record.kind = i_kind;
    record.closed = i_closed;
    record.precision = i_precision;
    record.points = i_points;
    return record;
}

void CPath::FromRecord(const PathRecord& record) {
    i_kind = record.kind == kPathKindSmooth ? kPathKindSmooth : kPathKindStraight;
    i_closed = record.closed;
    i_precision = std::clamp(record.precision, 0, kPathMaxPrecision);
    i_points = record.points;
    ComputeInternal();
}

int32_t CPath::AddPoint(double x, double y, double speed) {
    i_points.push_back({x, y, speed});
    if (i_kind == kPathKindStraight && !i_closed)
        AppendStraight();
    else
        ComputeInternal();
    return Count() - 1;
}

// A straight open line is its control points in order, so the new point only extends it:
// the same sums the full recompute makes, without redoing the points before it. Planners
// that add thousands of points one by one stay linear this way.
void CPath::AppendStraight() {
    const RWayPoint& p = i_points.back();
    if (i_intpoints.size() >= kPathMaxLinePoints) return; // the full recompute stops there too
    RIntPoint point{p.x, p.y, p.speed, 0};
    if (!i_intpoints.empty()) {
        const RIntPoint& q = i_intpoints.back();
        point.l = q.l + std::hypot(point.x - q.x, point.y - q.y);
    }
    i_intpoints.push_back(point);
    if (i_intpoints.size() >= 2) i_length = point.l;
}

void CPath::InsertPoint(int32_t ind, double x, double y, double speed) {
    if (ind < 0 || ind > Count()) return;
    i_points.insert(i_points.begin() + ind, RWayPoint{x, y, speed});
    ComputeInternal();
}

void CPath::ChangePoint(int32_t ind, double x, double y, double speed) {
    if (ind < 0 || ind >= Count()) return;
    i_points[static_cast<size_t>(ind)] = {x, y, speed};
    ComputeInternal();
}

void CPath::DeletePoint(int32_t ind) {
    if (ind < 0 || ind >= Count()) return;
    i_points.erase(i_points.begin() + ind);
    ComputeInternal();
}

void CPath::AddInternal(double x, double y, double speed) {
    if (i_intpoints.size() < kPathMaxLinePoints) i_intpoints.push_back({x, y, speed, 0});
}

// Splits the curve piece from a to c with control point b at its middle M, the halves
// first, so the points come out in order along the curve.
void CPath::Subdivide(const RWayPoint& a, const RWayPoint& b, const RWayPoint& c, int32_t depth) {
    if (depth == 0) return;
    const RWayPoint m{(a.x + 2 * b.x + c.x) / 4, (a.y + 2 * b.y + c.y) / 4,
                      (a.speed + 2 * b.speed + c.speed) / 4};
    if (SquaredDistance(a, b) > kShortLegSquared) Subdivide(a, Midpoint(a, b), m, depth - 1);
    AddInternal(m.x, m.y, m.speed);
    if (SquaredDistance(b, c) > kShortLegSquared) Subdivide(m, Midpoint(b, c), c, depth - 1);
}

void CPath::ComputeInternal() {
    i_intpoints.clear();
    const size_t n = i_points.size();
    if (i_kind == kPathKindSmooth) {
        if (n > 0) {
            if (!i_closed) AddInternal(i_points[0].x, i_points[0].y, i_points[0].speed);
            const size_t pieces = i_closed ? n : (n >= 3 ? n - 2 : 0);
            for (size_t c = 0; c < pieces && i_intpoints.size() < kPathMaxLinePoints; ++c) {
                const RWayPoint& p0 = i_points[c % n];
                const RWayPoint& p1 = i_points[(c + 1) % n];
                const RWayPoint& p2 = i_points[(c + 2) % n];
                Subdivide(Midpoint(p0, p1), p1, Midpoint(p1, p2), i_precision);
            }
            if (i_closed) {
                if (!i_intpoints.empty()) {
                    const RIntPoint first = i_intpoints.front();
                    AddInternal(first.x, first.y, first.speed);
                }
            } else {
                AddInternal(i_points[n - 1].x, i_points[n - 1].y, i_points[n - 1].speed);
            }
        }
    } else {
        for (const RWayPoint& p : i_points) AddInternal(p.x, p.y, p.speed);
        if (i_closed && n > 0) AddInternal(i_points[0].x, i_points[0].y, i_points[0].speed);
    }
    i_length = 0;
    for (size_t i = 0; i < i_intpoints.size(); ++i) {
        RIntPoint& p = i_intpoints[i];
        if (i == 0) {
            p.l = 0;
        } else {
            const RIntPoint& q = i_intpoints[i - 1];
            p.l = q.l + std::hypot(p.x - q.x, p.y - q.y);
        }
    }
    if (i_intpoints.size() >= 2) i_length = i_intpoints.back().l;
}

PathPosition CPath::Position(double t) const {
    if (i_intpoints.empty()) return {0, 0, 100};
    const RIntPoint& first = i_intpoints.front();
    if (i_intpoints.size() == 1 || i_length == 0) return {first.x, first.y, first.speed};
    if (!(t > 0)) return {first.x, first.y, first.speed}; // also NaN
    if (t >= 1) {
        const RIntPoint& last = i_intpoints.back();
        return {last.x, last.y, last.speed};
    }
    const double l = t * i_length;
    // The last leg starting at or before l: the lengths never decrease, so a binary search
    // finds the leg the walk of PositionByScan ends on.
    const auto after = std::upper_bound(i_intpoints.begin() + 1, i_intpoints.end() - 1, l,
                                        [](double v, const RIntPoint& p) { return v < p.l; });
    return Interpolate(static_cast<size_t>(after - i_intpoints.begin()) - 1, l);
}

PathPosition CPath::PositionByScan(double t) const {
    if (i_intpoints.empty()) return {0, 0, 100};
    const RIntPoint& first = i_intpoints.front();
    if (i_intpoints.size() == 1 || i_length == 0) return {first.x, first.y, first.speed};
    if (!(t > 0)) return {first.x, first.y, first.speed};
    if (t >= 1) {
        const RIntPoint& last = i_intpoints.back();
        return {last.x, last.y, last.speed};
    }
    const double l = t * i_length;
    size_t i = 0;
    while (i + 2 < i_intpoints.size() && l >= i_intpoints[i + 1].l) ++i;
    return Interpolate(i, l);
}

PathPosition CPath::Interpolate(size_t i, double l) const {
    const RIntPoint& a = i_intpoints[i];
    const RIntPoint& b = i_intpoints[i + 1];
    if (a.l == b.l) return {a.x, a.y, a.speed};
    const double f = (l - a.l) / (b.l - a.l);
    return {a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.speed + (b.speed - a.speed) * f};
}

void CPath::GetPosition(double ind, double& x, double& y, double& sp) const {
    const PathPosition p = Position(ind);
    x = p.x;
    y = p.y;
    sp = p.speed;
}

void CPath::Center(double& x, double& y) const {
    double xmin = 1e8, xmax = -1e8, ymin = 1e8, ymax = -1e8;
    for (const RWayPoint& p : i_points) {
        xmin = std::min(xmin, p.x);
        xmax = std::max(xmax, p.x);
        ymin = std::min(ymin, p.y);
        ymax = std::max(ymax, p.y);
    }
    if (i_points.empty()) {
        x = 0;
        y = 0;
        return;
    }
    x = (xmin + xmax) / 2;
    y = (ymin + ymax) / 2;
}

void CPath::Reverse() {
    if (i_points.size() < 2) return;
    std::reverse(i_points.begin(), i_points.end());
    ComputeInternal();
}

void CPath::Mirror() {
    double cx = 0, cy = 0;
    Center(cx, cy);
    for (RWayPoint& p : i_points) p.x = cx - (p.x - cx);
    ComputeInternal();
}

void CPath::Flip() {
    double cx = 0, cy = 0;
    Center(cx, cy);
    for (RWayPoint& p : i_points) p.y = cy - (p.y - cy);
    ComputeInternal();
}

void CPath::Rotate(double angle) {
    double cx = 0, cy = 0;
    Center(cx, cy);
    const double a = angle * std::numbers::pi / 180;
    const double c = std::cos(a), s = std::sin(a);
    for (RWayPoint& p : i_points) {
        const double dx = p.x - cx, dy = p.y - cy;
        p.x = cx + dx * c + dy * s;
        p.y = cy + dy * c - dx * s;
    }
    ComputeInternal();
}

void CPath::Scale(double xscale, double yscale) {
    double cx = 0, cy = 0;
    Center(cx, cy);
    for (RWayPoint& p : i_points) {
        p.x = cx + (p.x - cx) * xscale;
        p.y = cy + (p.y - cy) * yscale;
    }
    ComputeInternal();
}

void CPath::Shift(double xtr, double ytr) {
    for (RWayPoint& p : i_points) {
        p.x += xtr;
        p.y += ytr;
    }
    ComputeInternal();
}

void CPath::Append(const CPath& path) {
    if (path.i_points.empty()) return;
    const std::vector<RWayPoint> copy = path.i_points; // the path may be this one
    i_points.insert(i_points.end(), copy.begin(), copy.end());
    ComputeInternal();
}

void CPath::SetKind(int32_t kind) {
    i_kind = kind == kPathKindSmooth ? kPathKindSmooth : kPathKindStraight;
    ComputeInternal();
}

void CPath::SetClosed(bool closed) {
    i_closed = closed;
    ComputeInternal();
}

void CPath::Draw(double xoff, double yoff, bool absol) const {
    if (!absol) {
        const PathPosition start = Position(0);
        xoff -= start.x;
        yoff -= start.y;
    }
    if (!std::isfinite(i_length)) return;
    const int64_t n = std::min(RoundToInt64Saturated(i_length / 4), kPathMaxDrawPoints);
    if (n <= 0) return;
    const uint32_t colour = Draw_GetDeviceColour();
    Draw_PrimitiveBegin(static_cast<int32_t>(PrimitiveType::LineStrip), -1);
    for (int64_t i = 0; i <= n; ++i) {
        const PathPosition p = Position(static_cast<double>(i) / static_cast<double>(n));
        Draw_Vertex(p.x + xoff, p.y + yoff, colour, 0, 0);
        // A strip holds a bounded number of vertices; the next one starts where this one ends.
        if (i > 0 && i % kPathDrawStrip == 0) {
            Draw_PrimitiveEnd();
            Draw_PrimitiveBegin(static_cast<int32_t>(PrimitiveType::LineStrip), -1);
            Draw_Vertex(p.x + xoff, p.y + yoff, colour, 0, 0);
        }
    }
    Draw_PrimitiveEnd();
}

void CPath::SetPrecision(int32_t precision) {
    i_precision = std::clamp(precision, 0, kPathMaxPrecision);
    ComputeInternal();
}

// The path table.

namespace {
std::vector<std::unique_ptr<CPath>> g_paths;
std::vector<std::string> g_names;
} // namespace

bool Path_Exists(int32_t ind) {
    return ind >= 0 && ind < Path_Count() && g_paths[static_cast<size_t>(ind)] != nullptr;
}

CPath* Path_Get(int32_t ind) {
    return Path_Exists(ind) ? g_paths[static_cast<size_t>(ind)].get() : nullptr;
}

std::string Path_GetName(int32_t ind) {
    return Path_Exists(ind) ? g_names[static_cast<size_t>(ind)] : std::string("<undefined>");
}

int32_t Path_Find(const std::string& name) {
    for (int32_t i = 0; i < Path_Count(); ++i)
        if (g_paths[static_cast<size_t>(i)] && g_names[static_cast<size_t>(i)] == name) return i;
    return -1;
}

int32_t Path_Count() {
    return static_cast<int32_t>(g_paths.size());
}

int32_t Path_AddNew(std::unique_ptr<CPath> path) {
    const int32_t ind = Path_Count();
    g_paths.push_back(std::move(path));
    g_names.push_back("__newpath" + std::to_string(ind));
    return ind;
}

int32_t Path_Duplicate(int32_t ind) {
    if (!Path_Exists(ind)) return -1;
    auto copy = std::make_unique<CPath>();
    copy->Assign(*g_paths[static_cast<size_t>(ind)]);
    return Path_AddNew(std::move(copy));
}

bool Path_Assign(int32_t ind, int32_t src) {
    if (!Path_Exists(src) || ind < 0 || ind >= Path_Count()) return false;
    auto& slot = g_paths[static_cast<size_t>(ind)];
    if (!slot) slot = std::make_unique<CPath>();
    slot->Assign(*g_paths[static_cast<size_t>(src)]);
    return true;
}

bool Path_Delete(int32_t ind) {
    if (!Path_Exists(ind)) return false;
    g_paths[static_cast<size_t>(ind)].reset();
    return true;
}

void Path_ClearAll() {
    g_paths.clear();
    g_names.clear();
}

bool Path_LoadRecords(const std::vector<RawResource>& records) {
    Path_ClearAll();
    for (const RawResource& record : records) {
        std::unique_ptr<CPath> path;
        if (record.present) {
            path = std::make_unique<CPath>();
            bool loaded = false;
            try {
                CStream in(record.record);
                loaded = path->LoadFromStream(in);
            } catch (const StreamError&) {
                loaded = false;
            }
            if (!loaded) {
                Path_ClearAll();
                return false;
            }
        }
        g_names.push_back(record.present ? record.name : std::string());
        g_paths.push_back(std::move(path));
    }
    return true;
}

} // namespace kestrin
