#include "world/path_follow.h"

#include <cmath>
#include <numbers>

#include "runner/instance.h"
#include "world/path.h"

namespace kestrin {

namespace {

// (x, y) turned by `degrees` counter-clockwise on the screen and scaled by s.
void Turn(double degrees, double s, double& x, double& y) {
    const double a = degrees * std::numbers::pi / 180.0;
    // Most paths are followed unturned; cos(±0) is 1 and sin(±0) is ±0 exactly.
    const double c = a == 0 ? 1.0 : std::cos(a), sn = a == 0 ? a : std::sin(a);
    const double nx = s * (x * c + y * sn);
    const double ny = s * (y * c - x * sn);
    x = nx;
    y = ny;
}

// The room point of fraction `pos` for an instance anchored at its path start.
void Placement(const CInstance& instance, const CPath& path, double pos, double& nx, double& ny) {
    const PathPosition here = path.Position(pos);
    const PathPosition first = path.Position(0);
    double px = here.x - first.x, py = here.y - first.y;
    Turn(instance.i_pathorientation, instance.i_pathscale, px, py);
    nx = instance.i_pathxstart + px;
    ny = instance.i_pathystart + py;
}

// Continuing past an end moves the anchor by the path's start-to-end offset, as placed.
void ShiftAnchor(CInstance& instance, const CPath& path, double sign) {
    double dx = path.XPosition(1) - path.XPosition(0);
    double dy = path.YPosition(1) - path.YPosition(0);
    Turn(instance.i_pathorientation, instance.i_pathscale, dx, dy);
    instance.i_pathxstart += sign * dx;
    instance.i_pathystart += sign * dy;
}

} // namespace

void Assign_Path(CInstance& instance, int32_t ind, double speed, double scale, double orient, bool relative,
                 int32_t endact) {
    instance.i_pathindex = ind;
    if (ind < 0) return;
    const CPath* path = Path_Get(ind);
    if (!path || !(path->Length() > 0)) {
        instance.i_pathindex = -1;
        return;
    }
    instance.i_pathspeed = speed;
    instance.i_pathposition = instance.i_pathpositionprevious = speed < 0 ? 1 : 0;
    instance.i_pathscale = scale;
    if (scale < 0) {
        instance.i_pathindex = -1;
        return;
    }
    instance.i_pathorientation = orient;
    instance.i_pathend = endact;
    if (relative) {
        instance.i_pathxstart = instance.i_x;
        instance.i_pathystart = instance.i_y;
        return;
    }
    // Absolute: the anchor is the path's first point, so the instance follows the path where
    // it lies; backwards it starts at the far end of the path.
    const PathPosition first = path->Position(0);
    instance.i_pathxstart = first.x;
    instance.i_pathystart = first.y;
    double nx, ny;
    Placement(instance, *path, instance.i_pathposition, nx, ny);
    instance.SetPosition(nx, ny);
}

bool Adapt_Path(CInstance& instance) {
    if (instance.i_pathindex < 0) return false;
    const CPath* path = Path_Get(instance.i_pathindex);
    if (!path || !(path->Length() > 0) || instance.i_pathspeed == 0) return false;
    const double scaled = instance.i_pathscale * 100;
    if (scaled == 0) return false;

    double pos = instance.i_pathposition;
    const double sp = path->Speed(pos) / scaled;
    pos += instance.i_pathspeed * sp / path->Length();

    bool ended = false;
    if (pos >= 1 || pos <= 0) {
        ended = true;
        const bool atEnd = pos >= 1;
        switch (instance.i_pathend) {
        case kPathEndRestart:
            pos += atEnd ? -1 : 1;
            break;
        case kPathEndContinue:
            ShiftAnchor(instance, *path, atEnd ? 1 : -1);
            pos += atEnd ? -1 : 1;
            break;
        case kPathEndReverse:
            pos = atEnd ? 2 - pos : -pos;
            instance.i_pathspeed = atEnd ? -std::fabs(instance.i_pathspeed) : std::fabs(instance.i_pathspeed);
            break;
        default: // stop, and any other value
            pos = atEnd ? 1 : 0;
            instance.i_pathindex = -1;
            break;
        }
    }
    instance.i_pathposition = pos;

    double nx, ny;
    Placement(instance, *path, pos, nx, ny);
    // Faces along the path while its own motion stays zero.
    instance.SetSpeedComponents(nx - instance.i_x, ny - instance.i_y);
    instance.SetSpeed(0);
    instance.SetPosition(nx, ny);
    return ended;
}

} // namespace kestrin
