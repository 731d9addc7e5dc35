#include "world/collision.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

#include "base/numeric.h"
#include "graphics/sprite.h"
#include "runner/event_dispatch.h"
#include "runner/game_world.h"
#include "runner/room.h"
#include "world/broad_phase.h"

namespace kestrin {

namespace {

int32_t Round(double value) {
    return RoundToInt32Saturated(value);
}

// Floor of an image index as a frame number; a NaN or infinite index shows frame 0.
int64_t FrameOf(double imageindex) {
    if (!std::isfinite(imageindex)) return 0;
    return static_cast<int64_t>(std::clamp(std::floor(imageindex), -1e18, 1e18));
}

TRect AsRect(const RBox& box) {
    return TRect{box.left, box.top, box.right, box.bottom};
}

// The mask sprite with at least one frame, which every mask test needs.
const CSprite* MaskWithFrames(const CInstance& instance) {
    const CSprite* sprite = MaskSprite(instance);
    return sprite && sprite->i_numb > 0 ? sprite : nullptr;
}

bool Collide(CInstance& a, CInstance& b) {
    return Collision_Instance(a, b, true);
}

bool ContainsPoint(CInstance& instance, double x, double y) {
    return Collision_Point(instance, x, y, true);
}

// Dispatch checks each candidate against the object's list itself, so the instances of every
// object are handed over.
bool BoxCandidates(const CInstance& instance, int32_t, std::vector<CInstance*>& out) {
    const CRoom* room = World().Current();
    if (!BroadPhaseEnabled() || !room) return false;
    const RBox& b = instance.i_bbox;
    BroadPhaseQuery(*room, QueryRegion{b.left, b.top, b.right, b.bottom, false}, CandidateOrder::Lists, out);
    return true;
}

// The box rejection shared by the rectangle, ellipse and line tests: false when the sorted
// extremes lie wholly beside the box.
bool BoxMeetsExtent(const RBox& b, double xmin, double ymin, double xmax, double ymax) {
    return !(b.right + 1.0 <= xmin || b.left > xmax || b.bottom + 1.0 <= ymin || b.top > ymax);
}

} // namespace

const CSprite* MaskSprite(const CInstance& instance) {
    const int32_t index = instance.i_maskindex >= 0 ? instance.i_maskindex : instance.i_spriteindex;
    return Sprite_Exists(index) ? Sprite_Get(index) : nullptr;
}

bool ComputeInstanceBox(const CInstance& instance, RBox& box) {
    const CSprite* sprite = MaskSprite(instance);
    if (!sprite) return false;
    const double L = sprite->i_bbox.Left, T = sprite->i_bbox.Top;
    const double R = sprite->i_bbox.Right, B = sprite->i_bbox.Bottom;
    const double xo = sprite->i_xorig, yo = sprite->i_yorig;
    const double sx = instance.i_imagescalex, sy = instance.i_imagescaley;
    const double x = instance.i_x, y = instance.i_y;
    const double a = instance.i_imageangle;
    if (a == 0) {
        box.left = Round((L - xo) * sx + x);
        box.right = Round((R - xo + 1) * sx + x - 1);
        box.top = Round((T - yo) * sy + y);
        box.bottom = Round((B - yo + 1) * sy + y - 1);
        if (box.right < box.left) std::swap(box.left, box.right);
        if (box.bottom < box.top) std::swap(box.top, box.bottom);
        return true;
    }
    const double x0 = (std::min(L, R) - xo) * sx, x1 = (std::max(L, R) - xo + 1) * sx - 1;
    const double y0 = (std::min(T, B) - yo) * sy, y1 = (std::max(T, B) - yo + 1) * sy - 1;
    const double radians = a * std::numbers::pi / 180.0;
    const double ca = std::cos(radians), sa = std::sin(radians);
    box.left = Round(x + std::min(ca * x0, ca * x1) + std::min(sa * y0, sa * y1));
    box.right = Round(x + std::max(ca * x0, ca * x1) + std::max(sa * y0, sa * y1));
    box.top = Round(y + std::min(ca * y0, ca * y1) - std::max(sa * x0, sa * x1));
    box.bottom = Round(y + std::max(ca * y0, ca * y1) - std::min(sa * x0, sa * x1));
    return true;
}

void InstallCollision() {
    DispatchHooks hooks = CurrentDispatchHooks();
    hooks.collide = Collide;
    hooks.contains_point = ContainsPoint;
    hooks.box_candidates = BoxCandidates;
    SetDispatchHooks(hooks);
    InstallBroadPhase();
}

bool Collision_Point(const CInstance& instance, double x, double y, bool prec) {
    if (instance.i_marked) return false;
    const RBox& b = instance.i_bbox;
    if (!(b.left <= x && x < b.right + 1.0 && b.top <= y && y < b.bottom + 1.0)) return false;
    if (!prec) return true;
    const CSprite* sprite = MaskWithFrames(instance);
    if (!sprite) return false;
    return sprite->CheckCollisionPoint(sprite->WrapIndex(FrameOf(instance.i_imageindex)), AsRect(b),
                                       Round(instance.i_x), Round(instance.i_y), instance.i_imagescalex,
                                       instance.i_imagescaley, instance.i_imageangle, Round(x), Round(y));
}

bool Collision_Rectangle(const CInstance& instance, double x1, double y1, double x2, double y2, bool prec) {
    if (instance.i_marked) return false;
    const double xmin = std::min(x1, x2), xmax = std::max(x1, x2);
    const double ymin = std::min(y1, y2), ymax = std::max(y1, y2);
    const RBox& b = instance.i_bbox;
    if (!BoxMeetsExtent(b, xmin, ymin, xmax, ymax)) return false;
    if (!prec) return true;
    const CSprite* sprite = MaskWithFrames(instance);
    if (!sprite) return false;
    const TRect rr{Round(xmin), Round(ymin), Round(xmax), Round(ymax)};
    return sprite->CheckCollisionRectangle(sprite->WrapIndex(FrameOf(instance.i_imageindex)), AsRect(b),
                                           Round(instance.i_x), Round(instance.i_y), instance.i_imagescalex,
                                           instance.i_imagescaley, instance.i_imageangle, rr);
}

bool Collision_Ellipse(const CInstance& instance, double x1, double y1, double x2, double y2, bool prec) {
    if (instance.i_marked) return false;
    const double xmin = std::min(x1, x2), xmax = std::max(x1, x2);
    const double ymin = std::min(y1, y2), ymax = std::max(y1, y2);
    const RBox& b = instance.i_bbox;
    if (!BoxMeetsExtent(b, xmin, ymin, xmax, ymax)) return false;
    if (Round(x1) == Round(x2) || Round(y1) == Round(y2))
        return Collision_Rectangle(instance, x1, y1, x2, y2, prec);
    const TRect e{Round(xmin), Round(ymin), Round(xmax), Round(ymax)};
    const double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
    const bool besideX = cx < b.left || cx > b.right;
    const bool besideY = cy < b.top || cy > b.bottom;
    if (besideX && besideY) {
        // The ellipse's centre lies diagonally off the box: they meet only when a corner of
        // the box lies inside the ellipse.
        const double ex = (static_cast<double>(e.Left) + e.Right) / 2,
                     ey = (static_cast<double>(e.Top) + e.Bottom) / 2;
        const double rx = (static_cast<double>(e.Right) - e.Left) / 2,
                     ry = (static_cast<double>(e.Bottom) - e.Top) / 2;
        auto inside = [&](double px, double py) {
            const double dx = (px - ex) / rx, dy = (py - ey) / ry;
            return dx * dx + dy * dy <= 1;
        };
        if (!inside(b.left, b.top) && !inside(b.left, b.bottom) && !inside(b.right, b.top) &&
            !inside(b.right, b.bottom))
            return false;
    }
    if (!prec) return true;
    const CSprite* sprite = MaskWithFrames(instance);
    if (!sprite) return false;
    return sprite->CheckCollisionEllipse(sprite->WrapIndex(FrameOf(instance.i_imageindex)), AsRect(b),
                                         Round(instance.i_x), Round(instance.i_y), instance.i_imagescalex,
                                         instance.i_imagescaley, instance.i_imageangle, e);
}

bool Collision_Line(const CInstance& instance, double x1, double y1, double x2, double y2, bool prec) {
    if (instance.i_marked) return false;
    const RBox& b = instance.i_bbox;
    if (!BoxMeetsExtent(b, std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)))
        return false;
    if (x2 < x1) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    // Cut the line to the box's columns; the rejection above keeps x2 > x1 wherever a cut
    // divides by their difference.
    const double left = b.left, right = b.right + 1.0;
    if (x1 < left) {
        y1 = y1 + (left - x1) * (y2 - y1) / (x2 - x1);
        x1 = left;
    }
    if (x2 > right) {
        y2 = y2 + (right - x2) * (y2 - y1) / (x2 - x1);
        x2 = right;
    }
    if (y1 < b.top && y2 < b.top) return false;
    if (y1 >= b.bottom + 1.0 && y2 >= b.bottom + 1.0) return false;
    if (!prec) return true;
    const CSprite* sprite = MaskWithFrames(instance);
    if (!sprite) return false;
    return sprite->CheckCollisionLine(sprite->WrapIndex(FrameOf(instance.i_imageindex)), AsRect(b),
                                      Round(instance.i_x), Round(instance.i_y), instance.i_imagescalex,
                                      instance.i_imagescaley, instance.i_imageangle, Round(x1), Round(y1),
                                      Round(x2), Round(y2));
}

bool Collision_Instance(const CInstance& instance, const CInstance& other, bool prec) {
    if (!BoxesOverlap(instance.i_bbox, other.i_bbox)) return false;
    if (&instance == &other || instance.i_marked || other.i_marked) return false;
    if (!prec) return true;
    const CSprite* mine = MaskWithFrames(instance);
    const CSprite* theirs = MaskWithFrames(other);
    if (!mine || !theirs) return false;
    return mine->CheckCollision(
        mine->WrapIndex(FrameOf(instance.i_imageindex)), AsRect(instance.i_bbox), Round(instance.i_x),
        Round(instance.i_y), instance.i_imagescalex, instance.i_imagescaley, instance.i_imageangle, theirs,
        theirs->WrapIndex(FrameOf(other.i_imageindex)), AsRect(other.i_bbox), Round(other.i_x),
        Round(other.i_y), other.i_imagescalex, other.i_imagescaley, other.i_imageangle);
}

} // namespace kestrin
