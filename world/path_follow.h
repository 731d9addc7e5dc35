#pragma once
// Instances following paths: starting one on a path and moving it along once per step. The
// instance keeps the state (runner/instance.h); the geometry comes from the path table.

#include <cstdint>

namespace kestrin {

class CInstance;

inline constexpr int32_t kPathEndStop = 0;
inline constexpr int32_t kPathEndRestart = 1;
inline constexpr int32_t kPathEndContinue = 2;
inline constexpr int32_t kPathEndReverse = 3;

// Puts the instance on path `ind` (a negative index only leaves it off any path). Relative
// paths start where the instance stands; absolute ones move it onto the path where it lies.
void Assign_Path(CInstance& instance, int32_t ind, double speed, double scale, double orient, bool relative,
                 int32_t endact);
// One step along the path; true when an end was reached during it, so the caller performs
// the end-of-path event. A path scale of 0 shrinks the path to a point with nothing to
// travel, so the instance stays where it is, as with speed 0.
bool Adapt_Path(CInstance& instance);

} // namespace kestrin
