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
    const TMask& m_;
    Kind kind_;
    int32_t x_, y_, xo_, yo_;
    double sx_, sy_;
    double c_ = 1, s_ = 0;
    bool usable_ = true;
};

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
        if (pixels > 0)
            for (int32_t y = 0; y < h; ++y)
                for (int32_t x = 0; x < w; ++x) loaded.Set(x, y, stream.ReadBoolean());
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

bool TMask::CollisionMask(const TRect& bb1, int32_t x1, int32_t y1, int32_t xo1, int32_t yo1, double scale1x,
                          double scale1y, double angle1, const TMask* msk, const TRect& bb2, int32_t x2,
                          int32_t y2, int32_t xo2, int32_t yo2, double scale2x, double scale2y,
                          double angle2) const {
    if (!msk) return false;
    TRect region = Intersect(bb1, bb2);
    if (EmptyRect(region)) return false;
    Mapper::Kind kind = Mapper::Kind::Direct;
    if (angle1 != 0 || angle2 != 0)
        kind = Mapper::Kind::Rotated;
    else if (scale1x != 1 || scale1y != 1 || scale2x != 1 || scale2y != 1)
        kind = Mapper::Kind::Scaled;
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
    }
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

bool TMask::CollisionRectangle(const TRect& bb1, int32_t x1, int32_t y1, int32_t xo1, int32_t yo1,
                               double scalex, double scaley, double angle, const TRect& rr) const {
    TRect region = Intersect(bb1, rr);
    if (EmptyRect(region)) return false;
    const bool plain = scalex == 1 && scaley == 1 && angle == 0;
    const Mapper m(*this, plain ? Mapper::Kind::Direct : Mapper::Kind::Rotated, x1, y1, xo1, yo1, scalex,
                   scaley, angle);
    if (plain) region = Intersect(region, m.DirectExtent());
    for (int64_t px = region.Left; px <= region.Right; ++px)
        for (int64_t py = region.Top; py <= region.Bottom; ++py)
            if (m.Hit(int32_t(px), int32_t(py))) return true;
    return false;
}

bool TMask::CollisionEllipse(const TRect& bb1, int32_t x1, int32_t y1, int32_t xo1, int32_t yo1,
                             double scalex, double scaley, double angle, const TRect& rr) const {
    TRect region = Intersect(bb1, rr);
    if (EmptyRect(region)) return false;
    const bool plain = scalex == 1 && scaley == 1 && angle == 0;
    const Mapper m(*this, plain ? Mapper::Kind::Direct : Mapper::Kind::Rotated, x1, y1, xo1, yo1, scalex,
                   scaley, angle);
    if (plain) region = Intersect(region, m.DirectExtent());
    const double cx = (double(rr.Left) + rr.Right) / 2, cy = (double(rr.Top) + rr.Bottom) / 2;
    const double rx = (double(rr.Right) - rr.Left) / 2, ry = (double(rr.Bottom) - rr.Top) / 2;
    // A flat ellipse is its centre line; dividing by its zero radius would give NaN.
    auto term = [](double d, double r) {
        if (r == 0) return d == 0 ? 0.0 : 2.0;
        const double u = d / r;
        return u * u;
    };
    for (int64_t px = region.Left; px <= region.Right; ++px) {
        const double tx = term(double(px) - cx, rx);
        if (tx > 1) continue;
        for (int64_t py = region.Top; py <= region.Bottom; ++py)
            if (tx + term(double(py) - cy, ry) <= 1 && m.Hit(int32_t(px), int32_t(py))) return true;
    }
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
