#include "world/mp_step.h"

#include <cmath>
#include <numbers>

#include "runner/instance.h"
#include "script/variables.h" // kAllSelector, kNooneSelector
#include "world/function_interaction.h"
#include "world/path.h"

namespace kestrin {

namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;
constexpr double kPointSpeed = 100;

PotentialSettings g_settings;

double AtLeastOne(double value) {
    return value >= 1 ? value : 1; // NaN too
}

bool Finite(double a, double b, double c) {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c);
}

// Remembers where the instance stood and which way it faced, and puts it back with the
// setters, whose side effects (box, speeds) follow.
class KeepPlace {
public:
    explicit KeepPlace(CInstance& self)
        : self_(self), x_(self.i_x), y_(self.i_y), direction_(self.i_direction) {}
    ~KeepPlace() {
        self_.SetPosition(x_, y_);
        self_.SetDirection(direction_);
    }
    KeepPlace(const KeepPlace&) = delete;
    KeepPlace& operator=(const KeepPlace&) = delete;

private:
    CInstance& self_;
    double x_, y_, direction_;
};

void StartRoute(CPath& path, const CInstance& self) {
    path.Clear();
    path.SetKind(kPathKindStraight);
    path.SetClosed(false);
    path.AddPoint(self.i_x, self.i_y, kPointSpeed);
}

// One try of a potential step in direction t: within the turn limit, with the look-ahead
// point and the step point both free.
bool TryDirection(CInstance& self, double t, double s, const Obstacles& obstacles) {
    const PotentialSettings& p = g_settings;
    if (MpTurn(self.i_direction, t) > p.maxrot) return false;
    const double r = t / kDegrees;
    const double c = std::cos(r), n = std::sin(r);
    if (!MpPlaceFree(self, self.i_x + c * s * p.ahead, self.i_y - n * s * p.ahead, obstacles)) return false;
    const double x = self.i_x + c * s, y = self.i_y - n * s;
    if (!MpPlaceFree(self, x, y, obstacles)) return false;
    self.SetDirection(t);
    self.SetPosition(x, y);
    return true;
}

} // namespace

bool MpPlaceFree(CInstance& self, double x, double y, const Obstacles& obstacles) {
    if (obstacles.obj == kAllSelector)
        return obstacles.checkall ? PlaceEmpty(self, x, y) : PlaceFree(self, x, y);
    return InstancePlace(self, x, y, obstacles.obj) == kNooneSelector;
}

PotentialSettings& MpPotentialSettings() {
    return g_settings;
}

void MpSetPotentialSettings(double maxrot, double rotstep, double ahead, bool onspot) {
    g_settings.maxrot = AtLeastOne(maxrot);
    g_settings.rotstep = AtLeastOne(rotstep);
    g_settings.ahead = AtLeastOne(ahead);
    g_settings.onspot = onspot;
}

void MpResetPotentialSettings() {
    g_settings = PotentialSettings();
}

double MpDirection(double x1, double y1, double x2, double y2) {
    const double dx = x2 - x1, dy = y2 - y1;
    if (dx != 0) {
        const double a = std::atan2(dy, dx) * kDegrees;
        return a > 0 ? 360 - a : -a;
    }
    return dy > 0 ? 270 : dy < 0 ? 90 : 0;
}

double MpTurn(double d1, double d2) {
    // Into [0, 360) without a loop, so a huge or odd direction costs no time.
    const auto wrap = [](double d) { return d - 360 * std::floor(d / 360); };
    const double e = std::fabs(wrap(d1) - wrap(d2));
    return e > 180 ? 360 - e : e;
}

bool MpLinearStep(CInstance& self, double x, double y, double stepsize, const Obstacles& obstacles) {
    if (self.i_x == x && self.i_y == y) return true;
    if (!Finite(x, y, stepsize)) return false;
    const double dx = x - self.i_x, dy = y - self.i_y;
    const double d = std::sqrt(dx * dx + dy * dy);
    const bool arrives = d <= stepsize;
    const double tx = arrives ? x : self.i_x + stepsize * dx / d;
    const double ty = arrives ? y : self.i_y + stepsize * dy / d;
    if (MpPlaceFree(self, tx, ty, obstacles)) {
        self.SetDirection(MpDirection(self.i_x, self.i_y, tx, ty));
        self.SetPosition(tx, ty);
    }
    return arrives;
}

bool MpPotentialStep(CInstance& self, double x, double y, double stepsize, const Obstacles& obstacles) {
    if (self.i_x == x && self.i_y == y) return true;
    if (!Finite(x, y, stepsize)) return false;
    const double dx = x - self.i_x, dy = y - self.i_y;
    const double d = std::sqrt(dx * dx + dy * dy);
    if (d <= stepsize) {
        if (MpPlaceFree(self, x, y, obstacles)) {
            self.SetDirection(MpDirection(self.i_x, self.i_y, x, y));
            self.SetPosition(x, y);
        }
        return true;
    }
    const PotentialSettings& p = g_settings;
    const double g = MpDirection(self.i_x, self.i_y, x, y);
    // At most 2 * ceil(180 / rotstep) tries; the goal direction itself is tried twice.
    for (double k = 0; k < 180; k += p.rotstep) {
        if (TryDirection(self, g - k, stepsize, obstacles)) return false;
        if (TryDirection(self, g + k, stepsize, obstacles)) return false;
    }
    if (p.onspot) self.SetDirection(self.i_direction + p.maxrot);
    return false;
}

bool MpLinearPath(CInstance& self, CPath& path, double xg, double yg, double stepsize,
                  const Obstacles& obstacles) {
    if (!(stepsize > 0)) return false;
    KeepPlace keep(self);
    StartRoute(path, self);
    bool success = false;
    // A step too small to get anywhere either leaves the position exactly as it was (a
    // failure below) or would take more steps than any route needs: both end.
    for (int32_t steps = 0; steps < kMpMaxPathSteps; ++steps) {
        const double x = self.i_x, y = self.i_y;
        if (MpLinearStep(self, xg, yg, stepsize, obstacles)) {
            success = true;
            break;
        }
        if (self.i_x == x && self.i_y == y) break;
        path.AddPoint(self.i_x, self.i_y, kPointSpeed);
    }
    if (success) path.AddPoint(xg, yg, kPointSpeed);
    return success;
}

bool MpPotentialPath(CInstance& self, CPath& path, double xg, double yg, double stepsize, double factor,
                     const Obstacles& obstacles) {
    if (!(factor >= 1) || !(stepsize > 0)) return false;
    const double dx = xg - self.i_x, dy = yg - self.i_y;
    const double maxlen = factor * std::sqrt(dx * dx + dy * dy);
    KeepPlace keep(self);
    StartRoute(path, self);
    // An instance that cannot move only turns on the spot (or, without turning, stays as it
    // is), and the route's length never grows to end the loop. The directions tried depend
    // on the place alone, and each step on the spot turns by maxrot, so once the instance
    // has stood still for a full turn every direction has been tried there: it never moves.
    const double fullTurn = std::ceil(360 / MpPotentialSettings().maxrot);
    const int32_t stuckLimit = static_cast<int32_t>(std::fmin(fullTurn, 360)) + 2;
    int32_t still = 0;
    bool success = false;
    for (int32_t steps = 0; steps < kMpMaxPathSteps; ++steps) {
        const double x = self.i_x, y = self.i_y;
        if (MpPotentialStep(self, xg, yg, stepsize, obstacles)) {
            success = true;
            break;
        }
        path.AddPoint(self.i_x, self.i_y, kPointSpeed);
        if (path.Length() > maxlen) break;
        still = self.i_x == x && self.i_y == y ? still + 1 : 0;
        if (still > stuckLimit) break;
    }
    if (success) path.AddPoint(xg, yg, kPointSpeed);
    return success;
}

} // namespace kestrin
