#pragma once
// Where instances are in the room: the box around an instance's mask sprite (position,
// origin, scales and angle) and the shape tests of an instance against a point, rectangle,
// ellipse, line and another instance: the box first, then, when asked, the mask pixels.

#include <cstdint>

#include "runner/instance.h"

namespace kestrin {

class CSprite;

// The sprite an instance collides with: its mask index when that is 0 or more (even when it
// names no sprite), else its sprite index; null when that sprite does not exist.
const CSprite* MaskSprite(const CInstance& instance);

// The instance's box from its mask sprite; false (every side -100000) without one.
bool ComputeInstanceBox(const CInstance& instance, RBox& box);

// Installs the precise tests of event dispatch and the broad phase.
void InstallCollision();

// The shape tests. Each fails for a marked instance; with `prec` false only the box counts.
bool Collision_Point(const CInstance& instance, double x, double y, bool prec);
bool Collision_Rectangle(const CInstance& instance, double x1, double y1, double x2, double y2, bool prec);
bool Collision_Ellipse(const CInstance& instance, double x1, double y1, double x2, double y2, bool prec);
bool Collision_Line(const CInstance& instance, double x1, double y1, double x2, double y2, bool prec);
bool Collision_Instance(const CInstance& instance, const CInstance& other, bool prec);

// Whether two boxes overlap, each covering Left..Right+1 by Top..Bottom+1.
inline bool BoxesOverlap(const RBox& a, const RBox& b) {
    return !(int64_t{b.left} >= int64_t{a.right} + 1 || int64_t{a.left} >= int64_t{b.right} + 1 ||
             int64_t{b.top} >= int64_t{a.bottom} + 1 || int64_t{a.top} >= int64_t{b.bottom} + 1);
}

} // namespace kestrin
