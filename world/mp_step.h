#pragma once
// Planning by stepping the instance itself: linear steps straight at a goal that stop in
// front of an obstacle, potential steps that turn away from obstacles with a look-ahead, and
// the paths made by running those steps on the instance and recording where it went (the
// instance is put back afterwards).

#include <cstdint>

namespace kestrin {

class CInstance;
class CPath;

// What counts as an obstacle. obj kAllSelector (-3) means every solid instance, or with
// checkall every instance; any other designator means the instances it designates.
struct Obstacles {
    int32_t obj = -3;
    bool checkall = false;
};

// Whether the instance placed at (x, y) meets no obstacle.
bool MpPlaceFree(CInstance& self, double x, double y, const Obstacles& obstacles);

// The runner-wide settings of potential steps.
struct PotentialSettings {
    double maxrot = 30;  // the largest turn of one step, and the turn on the spot
    double rotstep = 10; // between the directions tried
    double ahead = 3;    // the look-ahead, in steps
    bool onspot = true;  // turn on the spot when no direction works
};
PotentialSettings& MpPotentialSettings();
// maxrot, rotstep and ahead below 1 become 1.
void MpSetPotentialSettings(double maxrot, double rotstep, double ahead, bool onspot);
// The initial settings (a new game, a test).
void MpResetPotentialSettings();

// The most steps a planned path takes before it gives up: a step too small to arrive in any
// sensible time, or a potential route that wanders, ends there with failure.
inline constexpr int32_t kMpMaxPathSteps = 100000;

// The direction (degrees, [0, 360)) from one point to another, and the turn between two
// directions (0..180).
double MpDirection(double x1, double y1, double x2, double y2);
double MpTurn(double d1, double d2);

// One step towards (x, y); true when the goal is reached (or lies within the step).
bool MpLinearStep(CInstance& self, double x, double y, double stepsize, const Obstacles& obstacles);
bool MpPotentialStep(CInstance& self, double x, double y, double stepsize, const Obstacles& obstacles);

// Fills path with the route the steps take and puts the instance back; true when the goal
// was reached. A step size of 0 or less (or a factor below 1) leaves everything as it was.
bool MpLinearPath(CInstance& self, CPath& path, double xg, double yg, double stepsize,
                  const Obstacles& obstacles);
bool MpPotentialPath(CInstance& self, CPath& path, double xg, double yg, double stepsize, double factor,
                     const Obstacles& obstacles);

} // namespace kestrin
