#include "graphics/mask.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/stream.h"

namespace kestrin {

namespace {

constexpr double kPi = 3.14159265358979323846;

TRect ClipToFrame(const TRect& box, int32_t w, int32_t h) {
    return {std::max(box.Left, 0), std::max(box.Top, 0), std::min(box.Right, w - 1),
            std::min(box.Bottom, h - 1)};
}

TRect Intersect(const TRect& a, const TRect& b) {
    return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom)};
}

bool EmptyRect(const TRect& r) {
    return r.Left > r.Right || r.Top > r.Bottom;
}

// The shape of kinds 2 and 3 inside a box: centre and radii, or none when a radius is not positive.
struct Shape {
    double cx, cy, rx, ry;
    bool valid;
};

Shape ShapeOf(const TRect& box) {
    Shape s{};
    s.cx = (double(box.Left) + box.Right) / 2;
    s.rx = s.cx - box.Left + 0.5;
    s.cy = (double(box.Top) + box.Bottom) / 2;
    s.ry = s.cy - box.Top + 0.5;
    s.valid = s.rx > 0 && s.ry > 0;
    return s;
}

bool InShape(const Shape& s, int32_t kind, int32_t x, int32_t y) {
    if (!s.valid) return false;
    const double u = (x - s.cx) / s.rx, v = (y - s.cy) / s.ry;
    if (kind == kMaskEllipse) return u * u + v * v < 1;
    return std::fabs(u) + std::fabs(v) < 1;
}

enum class Verdict { None, Mixed, Whole };

// Inclusive box of 64-bit coordinates (room pixels or mask pixels).
struct Box64 {
    int64_t x0, y0, x1, y1;
    // As a real: a room region may hold more pixels than 64 bits count.
    double Area() const { return (double(x1) - double(x0) + 1) * (double(y1) - double(y0) + 1); }
};

// Maps room pixels into one placed mask's image. A zero or non-finite scale maps every pixel
// outside the mask: such an instance is invisible and touches nothing.
class Mapper {
public:
    enum class Kind { Direct, Scaled, Rotated };

    Mapper(const TMask& mask, Kind kind, int32_t x, int32_t y, int32_t xo, int32_t yo, double sx, double sy,
           double angle)
        : m_(mask), kind_(kind), x_(x), y_(y), xo_(xo), yo_(yo), sx_(sx), sy_(sy) {
        usable_ = kind == Kind::Direct || (sx != 0 && sy != 0 && std::isfinite(sx) && std::isfinite(sy));
        if (kind == Kind::Rotated) {
            const double r = -angle * kPi / 180.0;
            c_ = std::cos(r);
            s_ = std::sin(r);
            usable_ = usable_ && std::isfinite(c_) && std::isfinite(s_);
        }
    }

    bool Hit(int32_t px, int32_t py) const {
        if (kind_ == Kind::Direct) {
            const int64_t mx = int64_t(px) - x_ + xo_, my = int64_t(py) - y_ + yo_;
            if (mx < 0 || my < 0 || mx >= m_.i_w || my >= m_.i_h) return false;
            return m_.Get(static_cast<int32_t>(mx), static_cast<int32_t>(my));
        }
        return HitReal(px, py);
    }

    bool HitReal(double px, double py) const {
        if (!usable_) return false;
        double mx, my;
        if (kind_ == Kind::Scaled) {
            mx = std::floor((px - x_) / sx_ + xo_);
            my = std::floor((py - y_) / sy_ + yo_);
        } else {
            const double dx = px - x_, dy = py - y_;
            mx = std::floor(xo_ + (dx * c_ + dy * s_) / sx_);
            my = std::floor(yo_ + (dy * c_ - dx * s_) / sy_);
        }
        // Also rejects NaN before the conversion.
        if (!(mx >= 0 && mx < m_.i_w && my >= 0 && my < m_.i_h)) return false;
        return m_.Get(static_cast<int32_t>(mx), static_cast<int32_t>(my));
    }

    bool Usable() const { return usable_; }
    int32_t Width() const { return m_.i_w; }
    int32_t Height() const { return m_.i_h; }
    const TMask& Mask() const { return m_; }

    // Whether the mask column depends on the room column alone and the row on the room row:
    // every mapping but a real rotation (angle 0 leaves c = 1 and s = 0, which add nothing).
    bool Separable() const { return kind_ != Kind::Rotated || (c_ == 1 && s_ == 0); }

    // For separable mappings: the mask column of room column px exactly as a lookup computes it,
    // -1 left of the mask and i_w right of it. Monotonic in px, as every step of the real
    // computation is, so a run of room columns between two with the same answer shares it.
    int64_t Column(int64_t px) const {
        if (kind_ == Kind::Direct) return std::clamp<int64_t>(px - x_ + xo_, -1, m_.i_w);
        return Clamped(std::floor((double(px) - x_) / sx_ + xo_), m_.i_w);
    }
    int64_t Row(int64_t py) const {
        if (kind_ == Kind::Direct) return std::clamp<int64_t>(py - y_ + yo_, -1, m_.i_h);
        return Clamped(std::floor((double(py) - y_) / sy_ + yo_), m_.i_h);
    }

    // The mask pixels that room pixels of q may map to (a superset), clipped to the mask;
    // false when none lies in the mask.
    bool Reach(const Box64& q, Box64& out) const {
        if (Separable()) {
            const int64_t c0 = Column(q.x0), c1 = Column(q.x1), r0 = Row(q.y0), r1 = Row(q.y1);
            out = {std::min(c0, c1), std::min(r0, r1), std::max(c0, c1), std::max(r0, r1)};
        } else {
            // The lookup's coordinates are affine in the room pixel, so their extremes over q lie
            // at its corners; the margin covers every rounding of the lookups and of these sums.
            double u0 = HUGE_VAL, u1 = -HUGE_VAL, v0 = HUGE_VAL, v1 = -HUGE_VAL;
            for (const int64_t px : {q.x0, q.x1})
                for (const int64_t py : {q.y0, q.y1}) {
                    const double dx = double(px) - x_, dy = double(py) - y_;
                    const double u = xo_ + (dx * c_ + dy * s_) / sx_, v = yo_ + (dy * c_ - dx * s_) / sy_;
                    u0 = std::min(u0, u), u1 = std::max(u1, u), v0 = std::min(v0, v), v1 = std::max(v1, v);
                }
            const double reach = std::max({std::fabs(double(q.x0) - x_), std::fabs(double(q.x1) - x_)}) +
                                 std::max({std::fabs(double(q.y0) - y_), std::fabs(double(q.y1) - y_)});
            const double du = 1e-12 * (1 + std::fabs(double(xo_)) + reach / std::fabs(sx_));
            const double dv = 1e-12 * (1 + std::fabs(double(yo_)) + reach / std::fabs(sy_));
            if (!(std::isfinite(u0 - du) && std::isfinite(u1 + du) && std::isfinite(v0 - dv) &&
                  std::isfinite(v1 + dv)))
                out = {0, 0, int64_t(m_.i_w) - 1, int64_t(m_.i_h) - 1};
            else
                out = {Clamped(std::floor(u0 - du), m_.i_w), Clamped(std::floor(v0 - dv), m_.i_h),
                       Clamped(std::floor(u1 + du), m_.i_w), Clamped(std::floor(v1 + dv), m_.i_h)};
        }
        if (out.x1 < 0 || out.y1 < 0 || out.x0 >= m_.i_w || out.y0 >= m_.i_h) return false;
        out = {std::max<int64_t>(out.x0, 0), std::max<int64_t>(out.y0, 0),
               std::min<int64_t>(out.x1, m_.i_w - 1), std::min<int64_t>(out.y1, m_.i_h - 1)};
        return true;
    }

    // For the direct mapping: the room pixels that can hit, as a box (clips a scan).
    TRect DirectExtent() const {
        auto clampInt = [](int64_t v) {
            return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                            std::numeric_limits<int32_t>::max()));
        };
        const int64_t left = int64_t(x_) - xo_, top = int64_t(y_) - yo_;
        return {clampInt(left), clampInt(top), clampInt(left + m_.i_w - 1), clampInt(top + m_.i_h - 1)};
    }

private:
    // A floored coordinate as a mask index, -1 below the mask and n above it.
    static int64_t Clamped(double m, int32_t n) {
        if (!(m >= 0)) return -1;
        return m >= n ? n : static_cast<int64_t>(m);
    }

    const TMask& m_;
    Kind kind_;
    int32_t x_, y_, xo_, yo_;
    double sx_, sy_;
    double c_ = 1, s_ = 0;
    bool usable_ = true;
};

// Set-pixel counts of a part of a mask (summed over every box from that part's corner), so a
// walk can ask whether a box of mask pixels holds no set pixel or only set pixels.
class MaskCounts {
public:
    MaskCounts(const TMask& mask, const Box64& part)
        : part_(part), w_(part.x1 - part.x0 + 2), sums_(size_t(w_ * (part.y1 - part.y0 + 2)), 0) {
        for (int64_t y = part.y0; y <= part.y1; ++y)
            for (int64_t x = part.x0; x <= part.x1; ++x)
                At(x + 1, y + 1) =
                    At(x, y + 1) + At(x + 1, y) - At(x, y) + (mask.Get(int32_t(x), int32_t(y)) ? 1 : 0);
    }
    // Set pixels in b clipped to the part, and how many pixels that clipped box holds.
    void Count(const Box64& b, int64_t& set, int64_t& all) const {
        const Box64 c{std::max(b.x0, part_.x0), std::max(b.y0, part_.y0), std::min(b.x1, part_.x1),
                      std::min(b.y1, part_.y1)};
        if (c.x0 > c.x1 || c.y0 > c.y1) {
            set = all = 0;
            return;
        }
        set = Get(c.x1 + 1, c.y1 + 1) - Get(c.x0, c.y1 + 1) - Get(c.x1 + 1, c.y0) + Get(c.x0, c.y0);
        all = (c.x1 - c.x0 + 1) * (c.y1 - c.y0 + 1);
    }

private:
    // Indices run from the part's corner, one row and column before it included.
    int32_t& At(int64_t x, int64_t y) { return sums_[size_t((y - part_.y0) * w_ + (x - part_.x0))]; }
    int64_t Get(int64_t x, int64_t y) const { return sums_[size_t((y - part_.y0) * w_ + (x - part_.x0))]; }

    Box64 part_;
    int64_t w_;
    // A mask holds at most kMaxBitmapPixels pixels, so 32 bits count them.
    std::vector<int32_t> sums_;
};

// Splits lo..hi into runs over which key() keeps one value, handing each to emit(from, to, key).
// key must be monotonic, so the end of a run is found by galloping and halving instead of
// stepping, and the cost follows the number of runs rather than the length.
template <typename Key, typename Emit> bool ForEachRun(int64_t lo, int64_t hi, Key key, Emit emit) {
    for (int64_t p = lo; p <= hi;) {
        const auto k = key(p);
        int64_t good = p, bad = hi + 1;
        for (int64_t step = 1; good + step <= hi; step *= 2) {
            if (!(key(good + step) == k)) {
                bad = good + step;
                break;
            }
            good += step;
        }
        while (bad - good > 1) {
            const int64_t mid = good + (bad - good) / 2;
            (key(mid) == k ? good : bad) = mid;
        }
        if (emit(p, good, k)) return true;
        p = good + 1;
    }
    return false;
}

// A run of room columns (or rows) that every placed mask maps to one mask column (row) inside it.
struct Run {
    int64_t from, to;
    int64_t m1, m2;
};

// The runs of lo..hi (room columns, or rows) whose mapping lands inside the first mask and, when
// there is one, inside the second.
std::vector<Run> RunsInside(int64_t lo, int64_t hi, const Mapper& first, const Mapper* second, bool columns) {
    auto map = [columns](const Mapper& m, int64_t p) { return columns ? m.Column(p) : m.Row(p); };
    auto inside = [columns](const Mapper& m, int64_t v) {
        return v >= 0 && v < (columns ? m.Width() : m.Height());
    };
    std::vector<Run> runs;
    auto key = [&](int64_t p) { return std::pair{map(first, p), second ? map(*second, p) : int64_t{0}}; };
    ForEachRun(lo, hi, key, [&](int64_t from, int64_t to, std::pair<int64_t, int64_t> k) {
        if (inside(first, k.first) && (!second || inside(*second, k.second)))
            runs.push_back({from, to, k.first, k.second});
        return false;
    });
    return runs;
}

// The whole number in lo..hi with the smallest ellipse term: the terms fall towards the centre
// and rise beyond it, so the candidates are the ends and the numbers nearest the centre.
template <typename Term> int64_t SmallestTermAt(int64_t lo, int64_t hi, double centre, Term term) {
    int64_t best = term(hi) < term(lo) ? hi : lo;
    for (const double c : {std::floor(centre), std::ceil(centre)})
        if (c > double(lo) && c < double(hi) && term(int64_t(c)) < term(best)) best = int64_t(c);
    return best;
}

// The search over a region too large to scan pixel by pixel under a rotated mapping: it is
// halved again and again; parts that reach no set pixel (or lie outside the shape) are dropped,
// a part reaching only set pixels is settled by one exact lookup, and small parts are scanned
// with the same lookups as the plain scan.
template <typename Exact, typename Classify>
bool HalvingSearch(const Box64& region, Exact exact, Classify classify) {
    std::vector<Box64> pending{region};
    while (!pending.empty()) {
        const Box64 q = pending.back();
        pending.pop_back();
        if (q.Area() <= 64) {
            for (int64_t px = q.x0; px <= q.x1; ++px)
                for (int64_t py = q.y0; py <= q.y1; ++py)
                    if (exact(px, py)) return true;
            continue;
        }
        int64_t wx = 0, wy = 0;
        const Verdict v = classify(q, wx, wy);
        if (v == Verdict::None) continue;
        if (v == Verdict::Whole && exact(wx, wy)) return true;
        if (q.x1 - q.x0 >= q.y1 - q.y0) {
            const int64_t mid = q.x0 + (q.x1 - q.x0) / 2;
            pending.push_back({q.x0, q.y0, mid, q.y1});
            pending.push_back({mid + 1, q.y0, q.x1, q.y1});
        } else {
            const int64_t mid = q.y0 + (q.y1 - q.y0) / 2;
            pending.push_back({q.x0, q.y0, q.x1, mid});
            pending.push_back({q.x0, mid + 1, q.x1, q.y1});
        }
    }
    return false;
}

// A region no larger than the masks, tested pixel by pixel with the exact lookups (no halving,
// no allocation: the common case of instances of ordinary size).
template <typename Exact> bool ScanRegion(const Box64& region, Exact exact) {
    for (int64_t px = region.x0; px <= region.x1; ++px)
        for (int64_t py = region.y0; py <= region.y1; ++py)
            if (exact(px, py)) return true;
    return false;
}

// What a part of the region reaches in one placed mask.
Verdict Classify(const Mapper& m, const MaskCounts& counts, const Box64& q) {
    Box64 reach;
    if (!m.Reach(q, reach)) return Verdict::None;
    int64_t set = 0, all = 0;
    counts.Count(reach, set, all);
    if (set == 0) return Verdict::None;
    return set == all ? Verdict::Whole : Verdict::Mixed;
}

// Counts over the part of the mask a region can reach at all.
MaskCounts CountsFor(const Mapper& m, const Box64& region) {
    Box64 part;
    if (!m.Reach(region, part)) part = {0, 0, -1, -1};
    return MaskCounts(m.Mask(), part);
}

int32_t RoundToInt(double v) {
    if (!(v == v)) return 0;
    v = std::nearbyint(v);
    return static_cast<int32_t>(
        std::clamp<double>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

} // namespace

void TMask::Clear() {
    i_w = i_h = 0;
    i_mask.clear();
    i_mask.shrink_to_fit();
    i_bbox = TRect{};
}

void TMask::Create(const TBitmap32* bm, int32_t bbmode, const TRect& bbox, int32_t kind, int32_t tolerance) {
    Clear();
    if (!bm) return;
    i_w = bm->Width();
    i_h = bm->Height();
    if (bbmode == kBoxAutomatic)
        i_bbox = bm->BoundingBox(tolerance);
    else if (bbmode == kBoxFull)
        i_bbox = {0, 0, i_w - 1, i_h - 1};
    else
        i_bbox = ClipToFrame(bbox, i_w, i_h);
    i_mask.assign(static_cast<size_t>(i_w) * static_cast<size_t>(i_h), 0);

    const TRect r = ClipToFrame(i_bbox, i_w, i_h);
    const Shape shape = ShapeOf(i_bbox);
    for (int32_t x = r.Left; x <= r.Right; ++x)
        for (int32_t y = r.Top; y <= r.Bottom; ++y) {
            bool on = false;
            switch (kind) {
            case kMaskPrecise:
                on = int32_t(AlphaOf(bm->GetPixel(x, y))) > tolerance;
                break;
            case kMaskRectangle:
                on = true;
                break;
            case kMaskEllipse:
            case kMaskDiamond:
                on = InShape(shape, kind, x, y);
                break;
            default:
                break;
            }
            if (on) Set(x, y, true);
        }
}

void TMask::Merge(const TBitmap32* bm, int32_t bbmode, const TRect& bbox, int32_t kind, int32_t tolerance) {
    const TMask t(bm, bbmode, bbox, kind, tolerance);
    i_bbox = {std::min(i_bbox.Left, t.i_bbox.Left), std::min(i_bbox.Top, t.i_bbox.Top),
              std::max(i_bbox.Right, t.i_bbox.Right), std::max(i_bbox.Bottom, t.i_bbox.Bottom)};
    if (kind == kMaskPrecise) {
        const int32_t w = std::min(i_w, t.i_w), h = std::min(i_h, t.i_h);
        for (int32_t x = 0; x < w; ++x)
            for (int32_t y = 0; y < h; ++y)
                if (t.Get(x, y)) Set(x, y, true);
        return;
    }
    if (kind != kMaskRectangle && kind != kMaskEllipse && kind != kMaskDiamond) return;
    const TRect r = ClipToFrame(i_bbox, i_w, i_h);
    const Shape shape = ShapeOf(i_bbox);
    for (int32_t x = r.Left; x <= r.Right; ++x)
        for (int32_t y = r.Top; y <= r.Bottom; ++y)
            Set(x, y, kind == kMaskRectangle || InShape(shape, kind, x, y));
}

bool TMask::LoadFromStream(CStream& stream) {
    Clear();
    try {
        if (stream.ReadInteger() != kMaskRecordVersion) return false;
        const int32_t w = stream.ReadInteger();
        const int32_t h = stream.ReadInteger();
        TRect box;
        box.Left = stream.ReadInteger();
        box.Right = stream.ReadInteger();
        box.Bottom = stream.ReadInteger();
        box.Top = stream.ReadInteger();
        if (w < 0 || h < 0) return false;
        // Four bytes per pixel must be present before the pixels are allocated.
        const int64_t pixels = int64_t(w) * h;
        if (pixels > kMaxBitmapPixels) return false;
        stream.CheckCount(pixels, 4);
        TMask loaded;
        loaded.i_w = w;
        loaded.i_h = h;
        loaded.i_bbox = box;
        loaded.i_mask.assign(static_cast<size_t>(pixels), 0);
        // A mask with no pixels may still claim a huge height or width: loop only over pixels.
        // The rows are read in place, four bytes a flag, rather than one checked read each.
        if (pixels > 0) {
            const uint8_t* flag = stream.ReadView(static_cast<size_t>(pixels) * 4).data();
            for (int32_t y = 0; y < h; ++y)
                for (int32_t x = 0; x < w; ++x, flag += 4) {
                    const uint32_t v = uint32_t(flag[0]) | uint32_t(flag[1]) << 8 | uint32_t(flag[2]) << 16 |
                                       uint32_t(flag[3]) << 24;
                    // As ReadBoolean reads it: true when positive.
                    loaded.i_mask[static_cast<size_t>(x) * static_cast<size_t>(h) + static_cast<size_t>(y)] =
                        static_cast<int32_t>(v) > 0 ? 1 : 0;
                }
        }
        *this = std::move(loaded);
        return true;
    } catch (const StreamError&) {
        Clear();
        return false;
    }
}

void TMask::SaveToStream(CStream& stream) const {
    stream.WriteInteger(kMaskRecordVersion);
    stream.WriteInteger(i_w);
    stream.WriteInteger(i_h);
    stream.WriteInteger(i_bbox.Left);
    stream.WriteInteger(i_bbox.Right);
    stream.WriteInteger(i_bbox.Bottom);
    stream.WriteInteger(i_bbox.Top);
    if (i_w <= 0 || i_h <= 0) return;
    for (int32_t y = 0; y < i_h; ++y)
        for (int32_t x = 0; x < i_w; ++x) stream.WriteBoolean(Get(x, y));
}

namespace {

Mapper::Kind RegionKind(double scale1x, double scale1y, double angle1, double scale2x, double scale2y,
                        double angle2) {
    if (angle1 != 0 || angle2 != 0) return Mapper::Kind::Rotated;
    if (scale1x != 1 || scale1y != 1 || scale2x != 1 || scale2y != 1) return Mapper::Kind::Scaled;
    return Mapper::Kind::Direct;
}

Box64 AsBox(const TRect& r) {
    return {r.Left, r.Top, r.Right, r.Bottom};
}

// A region holding more pixels than the cells of equal mapping over the masks is walked by
// those cells (or halves) instead of pixel by pixel.
bool WorthWalking(const Box64& region, const TMask& a, const TMask* b) {
    const double w = double(a.i_w) + (b ? b->i_w : 0) + 2, h = double(a.i_h) + (b ? b->i_h : 0) + 2;
    return region.Area() > w * h;
}

// The ellipse of the region tests: its terms per room column and row, and whether a pixel is in it.
struct RegionEllipse {
    explicit RegionEllipse(const TRect& rr)
        : cx((double(rr.Left) + rr.Right) / 2), cy((double(rr.Top) + rr.Bottom) / 2),
          rx((double(rr.Right) - rr.Left) / 2), ry((double(rr.Bottom) - rr.Top) / 2) {}
    // A flat ellipse is its centre line; dividing by its zero radius would give NaN.
    static double Term(double d, double r) {
        if (r == 0) return d == 0 ? 0.0 : 2.0;
        const double u = d / r;
        return u * u;
    }
    double TermX(int64_t px) const { return Term(double(px) - cx, rx); }
    double TermY(int64_t py) const { return Term(double(py) - cy, ry); }
    bool Inside(int64_t px, int64_t py) const { return TermX(px) + TermY(py) <= 1; }
    // The pixel of q nearest the centre by the terms; when that one is outside, all of q is.
    void Nearest(const Box64& q, int64_t& px, int64_t& py) const {
        px = SmallestTermAt(q.x0, q.x1, cx, [this](int64_t v) { return TermX(v); });
        py = SmallestTermAt(q.y0, q.y1, cy, [this](int64_t v) { return TermY(v); });
    }
    double cx, cy, rx, ry;
};

} // namespace

bool TMask::CollisionMask(const TRect& bb1, int32_t x1, int32_t y1, int32_t xo1, int32_t yo1, double scale1x,
                          double scale1y, double angle1, const TMask* msk, const TRect& bb2, int32_t x2,
                          int32_t y2, int32_t xo2, int32_t yo2, double scale2x, double scale2y,
                          double angle2) const {
    if (!msk) return false;
    TRect region = Intersect(bb1, bb2);
    if (EmptyRect(region)) return false;
    const Mapper::Kind kind = RegionKind(scale1x, scale1y, angle1, scale2x, scale2y, angle2);
    const Mapper m1(*this, kind, x1, y1, xo1, yo1, scale1x, scale1y, angle1);
    const Mapper m2(*msk, kind, x2, y2, xo2, yo2, scale2x, scale2y, angle2);
    // Unplaced pixels cannot be set, so the direct scan skips what lies outside either image.
    if (kind == Mapper::Kind::Direct) {
        region = Intersect(Intersect(region, m1.DirectExtent()), m2.DirectExtent());
        if (EmptyRect(region)) return false;
        // Inside both images every lookup is in range: walk the two columns side by side.
        if (Complete() && msk->Complete()) {
            const int64_t dx1 = int64_t(xo1) - x1, dy1 = int64_t(yo1) - y1;
            const int64_t dx2 = int64_t(xo2) - x2, dy2 = int64_t(yo2) - y2;
            for (int64_t px = region.Left; px <= region.Right; ++px) {
                const uint8_t* c1 = i_mask.data() + (px + dx1) * i_h;
                const uint8_t* c2 = msk->i_mask.data() + (px + dx2) * msk->i_h;
                for (int64_t py = region.Top; py <= region.Bottom; ++py)
                    if (c1[py + dy1] && c2[py + dy2]) return true;
            }
            return false;
        }
    } else if (!m1.Usable() || !m2.Usable()) {
        return false;
    }
    const Box64 r = AsBox(region);
    auto exact = [&](int64_t px, int64_t py) {
        return m1.Hit(int32_t(px), int32_t(py)) && m2.Hit(int32_t(px), int32_t(py));
    };
    if (!WorthWalking(r, *this, msk))
        return ScanRegion(r, exact);
    if (m1.Separable() && m2.Separable()) {
        // Every cell of a column run by a row run maps to one pixel of each mask.
        const std::vector<Run> columns = RunsInside(r.x0, r.x1, m1, &m2, true);
        if (columns.empty()) return false;
        const std::vector<Run> rows = RunsInside(r.y0, r.y1, m1, &m2, false);
        for (const Run& c : columns)
            for (const Run& w : rows)
                if (Get(int32_t(c.m1), int32_t(w.m1)) && msk->Get(int32_t(c.m2), int32_t(w.m2))) return true;
        return false;
    }
    const MaskCounts counts1 = CountsFor(m1, r), counts2 = CountsFor(m2, r);
    return HalvingSearch(r, exact, [&](const Box64& q, int64_t& wx, int64_t& wy) {
        const Verdict a = Classify(m1, counts1, q);
        if (a == Verdict::None) return a;
        const Verdict b = Classify(m2, counts2, q);
        if (b == Verdict::None) return b;
        wx = q.x0 + (q.x1 - q.x0) / 2;
        wy = q.y0 + (q.y1 - q.y0) / 2;
        return a == Verdict::Whole && b == Verdict::Whole ? Verdict::Whole : Verdict::Mixed;
    });
}

bool TMask::CollisionMaskScan(const TRect& bb1, int32_t x1, int32_t y1, int32_t xo1, int32_t yo1,
                              double scale1x, double scale1y, double angle1, const TMask* msk,
                              const TRect& bb2, int32_t x2, int32_t y2, int32_t xo2, int32_t yo2,
                              double scale2x, double scale2y, double angle2) const {
    if (!msk) return false;
    const TRect region = Intersect(bb1, bb2);
    const Mapper::Kind kind = RegionKind(scale1x, scale1y, angle1, scale2x, scale2y, angle2);
    const Mapper m1(*this, kind, x1, y1, xo1, yo1, scale1x, scale1y, angle1);
    const Mapper m2(*msk, kind, x2, y2, xo2, yo2, scale2x, scale2y, angle2);
    for (int64_t px = region.Left; px <= region.Right; ++px)
        for (int64_t py = region.Top; py <= region.Bottom; ++py)
            if (m1.Hit(int32_t(px), int32_t(py)) && m2.Hit(int32_t(px), int32_t(py))) return true;
    return false;
}

bool TMask::CollisionPoint(const TRect&, int32_t x1, int32_t y1, int32_t xo1, int32_t yo1, double scalex,
                           double scaley, double angle, int32_t x, int32_t y) const {
    const Mapper m(*this, angle == 0 ? Mapper::Kind::Scaled : Mapper::Kind::Rotated, x1, y1, xo1, yo1, scalex,
                   scaley, angle);
    return m.Hit(x, y);
}

namespace {

// The rectangle and ellipse tests share their mapping: rotated whenever the instance is scaled
// or turned.
Mapper ShapeMapper(const TMask& mask, int32_t x1, int32_t y1, int32_t xo1, int32_t yo1, double scalex,
                   double scaley, double angle) {
    const bool plain = scalex == 1 && scaley == 1 && angle == 0;
    return Mapper(mask, plain ? Mapper::Kind::Direct : Mapper::Kind::Rotated, x1, y1, xo1, yo1, scalex,
                  scaley, angle);
}

} // namespace

bool TMask::CollisionRectangle(const TRect& bb1, int32_t x1, int32_t y1, int32_t xo1, int32_t yo1,
                               double scalex, double scaley, double angle, const TRect& rr) const {
    TRect region = Intersect(bb1, rr);
    if (EmptyRect(region)) return false;
    const Mapper m = ShapeMapper(*this, x1, y1, xo1, yo1, scalex, scaley, angle);
    if (!m.Usable()) return false;
    if (scalex == 1 && scaley == 1 && angle == 0) region = Intersect(region, m.DirectExtent());
    if (EmptyRect(region)) return false;
    const Box64 r = AsBox(region);
    auto exact = [&](int64_t px, int64_t py) { return m.Hit(int32_t(px), int32_t(py)); };
    if (!WorthWalking(r, *this, nullptr))
        return ScanRegion(r, exact);
    if (m.Separable()) {
        const std::vector<Run> columns = RunsInside(r.x0, r.x1, m, nullptr, true);
        if (columns.empty()) return false;
        const std::vector<Run> rows = RunsInside(r.y0, r.y1, m, nullptr, false);
        for (const Run& c : columns)
            for (const Run& w : rows)
                if (Get(int32_t(c.m1), int32_t(w.m1))) return true;
        return false;
    }
    const MaskCounts counts = CountsFor(m, r);
    return HalvingSearch(r, exact, [&](const Box64& q, int64_t& wx, int64_t& wy) {
        wx = q.x0 + (q.x1 - q.x0) / 2;
        wy = q.y0 + (q.y1 - q.y0) / 2;
        return Classify(m, counts, q);
    });
}

bool TMask::CollisionRectangleScan(const TRect& bb1, int32_t x1, int32_t y1, int32_t xo1, int32_t yo1,
                                   double scalex, double scaley, double angle, const TRect& rr) const {
    const TRect region = Intersect(bb1, rr);
    const Mapper m = ShapeMapper(*this, x1, y1, xo1, yo1, scalex, scaley, angle);
    for (int64_t px = region.Left; px <= region.Right; ++px)
        for (int64_t py = region.Top; py <= region.Bottom; ++py)
            if (m.Hit(int32_t(px), int32_t(py))) return true;
    return false;
}

bool TMask::CollisionEllipse(const TRect& bb1, int32_t x1, int32_t y1, int32_t xo1, int32_t yo1,
                             double scalex, double scaley, double angle, const TRect& rr) const {
    TRect region = Intersect(bb1, rr);
    if (EmptyRect(region)) return false;
    const Mapper m = ShapeMapper(*this, x1, y1, xo1, yo1, scalex, scaley, angle);
    if (!m.Usable()) return false;
    if (scalex == 1 && scaley == 1 && angle == 0) region = Intersect(region, m.DirectExtent());
    if (EmptyRect(region)) return false;
    const RegionEllipse e(rr);
    const Box64 r = AsBox(region);
    auto exact = [&](int64_t px, int64_t py) { return e.Inside(px, py) && m.Hit(int32_t(px), int32_t(py)); };
    if (!WorthWalking(r, *this, nullptr))
        return ScanRegion(r, exact);
    if (m.Separable()) {
        // A cell meets the ellipse exactly when its pixel nearest the centre by the terms does.
        const std::vector<Run> columns = RunsInside(r.x0, r.x1, m, nullptr, true);
        if (columns.empty()) return false;
        const std::vector<Run> rows = RunsInside(r.y0, r.y1, m, nullptr, false);
        std::vector<double> rowTerms;
        for (const Run& w : rows)
            rowTerms.push_back(
                e.TermY(SmallestTermAt(w.from, w.to, e.cy, [&](int64_t v) { return e.TermY(v); })));
        for (const Run& c : columns) {
            const double tx =
                e.TermX(SmallestTermAt(c.from, c.to, e.cx, [&](int64_t v) { return e.TermX(v); }));
            if (tx > 1) continue;
            for (size_t i = 0; i < rows.size(); ++i)
                if (tx + rowTerms[i] <= 1 && Get(int32_t(c.m1), int32_t(rows[i].m1))) return true;
        }
        return false;
    }
    const MaskCounts counts = CountsFor(m, r);
    return HalvingSearch(r, exact, [&](const Box64& q, int64_t& wx, int64_t& wy) {
        e.Nearest(q, wx, wy);
        if (!e.Inside(wx, wy)) return Verdict::None;
        return Classify(m, counts, q);
    });
}

bool TMask::CollisionEllipseScan(const TRect& bb1, int32_t x1, int32_t y1, int32_t xo1, int32_t yo1,
                                 double scalex, double scaley, double angle, const TRect& rr) const {
    const TRect region = Intersect(bb1, rr);
    const Mapper m = ShapeMapper(*this, x1, y1, xo1, yo1, scalex, scaley, angle);
    const RegionEllipse e(rr);
    for (int64_t px = region.Left; px <= region.Right; ++px)
        for (int64_t py = region.Top; py <= region.Bottom; ++py)
            if (e.Inside(px, py) && m.Hit(int32_t(px), int32_t(py))) return true;
    return false;
}

bool TMask::CollisionLine(const TRect& bb1, int32_t x1, int32_t y1, int32_t xo1, int32_t yo1, double scalex,
                          double scaley, double angle, double xl, double yl, double xr, double yr) const {
    if (xl == xr || yl == yr) {
        // Sorted on both axes, so a horizontal line given right to left still has a proper box.
        const TRect rr{RoundToInt(std::min(xl, xr)), RoundToInt(std::min(yl, yr)),
                       RoundToInt(std::max(xl, xr)), RoundToInt(std::max(yl, yr))};
        return CollisionRectangle(bb1, x1, y1, xo1, yo1, scalex, scaley, angle, rr);
    }
    if (!(std::isfinite(xl) && std::isfinite(yl) && std::isfinite(xr) && std::isfinite(yr))) return false;
    const Mapper m(*this, Mapper::Kind::Rotated, x1, y1, xo1, yo1, scalex, scaley, angle);
    if (std::fabs(xr - xl) < std::fabs(yr - yl)) {
        double xa = xl, ya = yl, xb = xr, yb = yr;
        if (yb < ya) {
            std::swap(xa, xb);
            std::swap(ya, yb);
        }
        const double from = std::max<double>(bb1.Top, std::ceil(ya)), to = std::min<double>(bb1.Bottom, yb);
        for (double py = from; py <= to; py += 1)
            if (m.HitReal(xa + (py - ya) * (xb - xa) / (yb - ya), py)) return true;
        return false;
    }
    double xa = xl, ya = yl, xb = xr, yb = yr;
    if (xb < xa) {
        std::swap(xa, xb);
        std::swap(ya, yb);
    }
    const double from = std::max<double>(bb1.Left, std::ceil(xa)), to = std::min<double>(bb1.Right, xb);
    for (double px = from; px <= to; px += 1)
        if (m.HitReal(px, ya + (px - xa) * (yb - ya) / (xb - xa))) return true;
    return false;
}

} // namespace kestrin
