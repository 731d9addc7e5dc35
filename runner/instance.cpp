#include "runner/instance.h"

#include <cmath>
#include <numbers>

#include "runner/object.h"

namespace kestrin {

namespace {

InstanceSpriteHooks& SpriteHooks() {
    static InstanceSpriteHooks hooks;
    return hooks;
}

BoxChangeListener& BoxListener() {
    static BoxChangeListener listener = nullptr;
    return listener;
}

bool SameBox(const RBox& a, const RBox& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

constexpr double kSnap = 0.0001;
constexpr double kDegrees = 180.0 / std::numbers::pi;

double WrapDegrees(double value) {
    return value - 360.0 * std::floor(value / 360.0);
}

} // namespace

void SetInstanceSpriteHooks(const InstanceSpriteHooks& hooks) {
    SpriteHooks() = hooks;
}

const InstanceSpriteHooks& CurrentInstanceSpriteHooks() {
    return SpriteHooks();
}

void SetBoxChangeListener(BoxChangeListener listener) {
    BoxListener() = listener;
}

double SnapToInteger(double value) {
    const double nearest = std::nearbyint(value);
    return std::fabs(value - nearest) < kSnap ? nearest : value;
}

void CInstance::Create(double x, double y, int32_t id, int32_t objectind) {
    SetObjectIndex(objectind);
    i_x = i_xstart = i_xprevious = x;
    i_y = i_ystart = i_yprevious = y;
    i_id = id;
    i_imageindex = 0;
    i_imagespeed = 1;
    i_imagescalex = i_imagescaley = 1;
    i_imageangle = 0;
    i_imagealpha = 1;
    i_imageblend = 0xFFFFFF;
    i_direction = i_speed = i_friction = i_gravity = 0;
    i_gravitydir = 270;
    i_hspeed = i_vspeed = 0;
    i_timer.fill(-1);
    i_marked = i_deactivated = false;
    i_pathindex = -1;
    i_pathposition = i_pathpositionprevious = i_pathspeed = 0;
    i_pathscale = 1;
    i_pathorientation = 0;
    i_pathend = 0;
    i_pathxstart = i_pathystart = 0;
    i_timelineindex = -1;
    i_timelineposition = 0;
    i_timelinespeed = 1;
    i_timelinerunning = i_timelineloop = false;
    i_initcode.clear();
    i_vars.Clear();
    Compute_BoundingBox();
}

void CInstance::Assign(const CInstance& other) {
    if (this == &other) return;
    const double pathx = i_pathxstart, pathy = i_pathystart;
    const RBox oldBox = i_bbox;
    static_cast<CScriptInstance&>(*this) = other; // id, marked, variables (deep)
    i_spriteindex = other.i_spriteindex;
    i_imageindex = other.i_imageindex;
    i_imagespeed = other.i_imagespeed;
    i_imagescalex = other.i_imagescalex;
    i_imagescaley = other.i_imagescaley;
    i_imageangle = other.i_imageangle;
    i_imagealpha = other.i_imagealpha;
    i_imageblend = other.i_imageblend;
    i_maskindex = other.i_maskindex;
    i_depth = other.i_depth;
    i_x = other.i_x;
    i_y = other.i_y;
    i_xstart = other.i_xstart;
    i_ystart = other.i_ystart;
    i_xprevious = other.i_xprevious;
    i_yprevious = other.i_yprevious;
    i_direction = other.i_direction;
    i_speed = other.i_speed;
    i_friction = other.i_friction;
    i_gravitydir = other.i_gravitydir;
    i_gravity = other.i_gravity;
    i_hspeed = other.i_hspeed;
    i_vspeed = other.i_vspeed;
    i_bbox = other.i_bbox;
    i_visible = other.i_visible;
    i_solid = other.i_solid;
    i_persistent = other.i_persistent;
    i_objectindex = other.i_objectindex;
    i_timer = other.i_timer;
    i_deactivated = other.i_deactivated;
    i_pathindex = other.i_pathindex;
    i_pathposition = other.i_pathposition;
    i_pathpositionprevious = other.i_pathpositionprevious;
    i_pathspeed = other.i_pathspeed;
    i_pathscale = other.i_pathscale;
    i_pathorientation = other.i_pathorientation;
    i_pathend = other.i_pathend;
    // The path origin stays as it was: a copy begins its own path.
    i_pathxstart = pathx;
    i_pathystart = pathy;
    i_timelineindex = other.i_timelineindex;
    i_timelineposition = other.i_timelineposition;
    i_timelinespeed = other.i_timelinespeed;
    i_timelinerunning = other.i_timelinerunning;
    i_timelineloop = other.i_timelineloop;
    i_initcode = other.i_initcode;
    if (BoxListener() && !SameBox(oldBox, i_bbox)) BoxListener()(*this);
}

void CInstance::SetPosition(double nx, double ny) {
    if (nx == i_x && ny == i_y) return;
    i_x = nx;
    i_y = ny;
    Compute_BoundingBox();
}

void CInstance::Compute_BoundingBox() {
    RBox box;
    const auto routine = SpriteHooks().bounding_box;
    if (!routine || !routine(*this, box)) box = RBox();
    if (SameBox(box, i_bbox)) return;
    i_bbox = box;
    if (BoxListener()) BoxListener()(*this);
}

// Looked up each time: object_delete may free the object while instances of it live.
CObject* CInstance::Object() const { return Objects().Get(i_objectindex); }

void CInstance::SetObjectIndex(int32_t objectind) {
    i_objectindex = objectind;
    const CObject* object = Object();
    if (!object) return;
    SetSpriteIndex(object->o_spriteindex);
    i_maskindex = object->o_mask;
    i_depth = object->o_depth;
    i_solid = object->o_solid;
    i_visible = object->o_visible;
    i_persistent = object->o_persistent;
    Compute_BoundingBox();
}

void CInstance::SetSpriteIndex(int32_t sprite) {
    i_spriteindex = sprite;
    const auto count = SpriteHooks().image_count;
    const int32_t images = count ? count(sprite) : 0;
    if (!(std::floor(i_imageindex) < images)) i_imageindex = 0;
    Compute_BoundingBox();
}

void CInstance::SetMaskIndex(int32_t mask) {
    i_maskindex = mask;
    Compute_BoundingBox();
}

void CInstance::SetImageScaleX(double value) {
    if (value == i_imagescalex) return;
    i_imagescalex = value;
    Compute_BoundingBox();
}

void CInstance::SetImageScaleY(double value) {
    if (value == i_imagescaley) return;
    i_imagescaley = value;
    Compute_BoundingBox();
}

void CInstance::SetImageAngle(double value) {
    if (value == i_imageangle) return;
    i_imageangle = value;
    Compute_BoundingBox();
}

void CInstance::SetDirection(double value) {
    if (value == i_direction) return;
    i_direction = WrapDegrees(value);
    ComputeComponents();
}

void CInstance::SetSpeed(double value) {
    if (value == i_speed) return;
    i_speed = value;
    ComputeComponents();
}

void CInstance::SetHspeed(double value) {
    if (value == i_hspeed) return;
    i_hspeed = value;
    ComputeDirectionAndSpeed();
}

void CInstance::SetVspeed(double value) {
    if (value == i_vspeed) return;
    i_vspeed = value;
    ComputeDirectionAndSpeed();
}

void CInstance::SetPathPosition(double value) {
    i_pathposition = std::fmin(std::fmax(value, 0.0), 1.0);
}

void CInstance::SetPathPositionPrevious(double value) {
    i_pathpositionprevious = std::fmin(std::fmax(value, 0.0), 1.0);
}

void CInstance::SetAlarm(int32_t index, int32_t value) {
    if (index >= 0 && index < kAlarmCount) i_timer[static_cast<size_t>(index)] = value;
}

int32_t CInstance::GetAlarm(int32_t index) const {
    return index >= 0 && index < kAlarmCount ? i_timer[static_cast<size_t>(index)] : -1;
}

bool CInstance::TickAlarm(int32_t index) {
    if (index < 0 || index >= kAlarmCount) return false;
    int32_t& timer = i_timer[static_cast<size_t>(index)];
    if (timer < 0) return false;
    --timer;
    return timer == 0;
}

void CInstance::AddTo_Speed(double dir, double amount) {
    const double radians = dir / kDegrees;
    i_hspeed += std::cos(radians) * amount;
    i_vspeed -= std::sin(radians) * amount;
    ComputeDirectionAndSpeed();
}

void CInstance::Adapt_Speed() {
    if (i_friction != 0) {
        const double s = i_speed;
        const double candidate = s > 0 ? s - i_friction : s + i_friction;
        if ((s > 0 && candidate < 0) || (s < 0 && candidate > 0))
            SetSpeed(0);
        else if (s != 0)
            SetSpeed(candidate);
    }
    if (i_gravity != 0) AddTo_Speed(i_gravitydir, i_gravity);
}

void SpeedComponentsByTrig(double direction, double speed, double& h, double& v) {
    const double radians = direction / kDegrees;
    h = SnapToInteger(std::cos(radians) * speed);
    v = SnapToInteger(-std::sin(radians) * speed);
}

void SpeedComponents(double direction, double speed, double& h, double& v) {
    if (speed != 0) return SpeedComponentsByTrig(direction, speed, h, v);
    // Path following stops the motion every step, so this case is common. Away from the
    // directions where cosine or sine changes sign the sign is certain; near them (and for
    // directions outside 0..360 or not a number) the library decides, as in the formula.
    const double d = direction;
    double c, s;
    if ((d > 1 && d < 89) || (d > 271 && d < 359))
        c = 1;
    else if (d > 91 && d < 269)
        c = -1;
    else
        c = std::cos(d / kDegrees);
    if (d > 1 && d < 179)
        s = 1;
    else if (d > 181 && d < 359)
        s = -1;
    else
        s = std::sin(d / kDegrees);
    // A zero times a finite value is a zero of the product's sign, so 1 or -1 in place of
    // the cosine or sine gives the very same zero.
    h = SnapToInteger(c * speed);
    v = SnapToInteger(-s * speed);
}

void CInstance::ComputeComponents() {
    SpeedComponents(i_direction, i_speed, i_hspeed, i_vspeed);
}

void CInstance::SetSpeedComponents(double h, double v) {
    bool changed = false;
    if (h != i_hspeed) {
        i_hspeed = h;
        changed = true;
    }
    if (v != i_vspeed) {
        i_vspeed = v;
        changed = true;
    }
    if (changed) ComputeDirectionAndSpeed();
}

void CInstance::ComputeDirectionAndSpeed() {
    double direction;
    if (i_hspeed != 0) {
        const double a = std::atan2(i_vspeed, i_hspeed) * kDegrees;
        direction = a > 0 ? 360.0 - a : -a;
    } else {
        direction = i_vspeed > 0 ? 270.0 : i_vspeed < 0 ? 90.0 : 0.0;
    }
    i_direction = WrapDegrees(SnapToInteger(direction));
    i_speed = SnapToInteger(std::sqrt(i_hspeed * i_hspeed + i_vspeed * i_vspeed));
}

} // namespace kestrin
