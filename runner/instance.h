#pragma once
// CInstance: a live copy of an object in the running room, with the built-in state scripts
// see as instance variables. Motion setters keep direction/speed and hspeed/vspeed coupled.

#include <array>
#include <cstdint>
#include <string>

#include "runner/event_table.h"
#include "script/variables.h"

namespace kestrin {

class CObject;

struct RBox {
    int32_t left = -100000, top = -100000, right = -100000, bottom = -100000;
};

// What instances need from sprites, which live elsewhere: the image count of a sprite (0 when
// it does not exist) and the bounding box of an instance (false when it has no sprite or
// mask, which leaves every side at -100000). Unset, no sprite exists.
// The size and origin of a sprite, unscaled.
struct RSpriteGeometry {
    double width = 0, height = 0, xorig = 0, yorig = 0;
};
struct InstanceSpriteHooks {
    int32_t (*image_count)(int32_t sprite) = nullptr;
    bool (*bounding_box)(const class CInstance& instance, RBox& box) = nullptr;
    bool (*geometry)(int32_t sprite, RSpriteGeometry& out) = nullptr; // false without a sprite
};
void SetInstanceSpriteHooks(const InstanceSpriteHooks& hooks);
const InstanceSpriteHooks& CurrentInstanceSpriteHooks();

// Told after an instance's box changed, so that an index over boxes can follow; unset, no one
// listens.
using BoxChangeListener = void (*)(class CInstance& instance);
void SetBoxChangeListener(BoxChangeListener listener);

// A value within 0.0001 of an integer becomes that integer (ties to even).
double SnapToInteger(double value);

class CInstance : public CScriptInstance {
public:
    int32_t i_spriteindex = -1;
    double i_imageindex = 0;
    double i_imagespeed = 1;
    double i_imagescalex = 1;
    double i_imagescaley = 1;
    double i_imageangle = 0;
    double i_imagealpha = 1;
    uint32_t i_imageblend = 0xFFFFFF;
    int32_t i_maskindex = -1;
    double i_depth = 0;
    double i_x = 0, i_y = 0;
    double i_xstart = 0, i_ystart = 0;
    double i_xprevious = 0, i_yprevious = 0;
    double i_direction = 0;
    double i_speed = 0;
    double i_friction = 0;
    double i_gravitydir = 270;
    double i_gravity = 0;
    double i_hspeed = 0, i_vspeed = 0;
    RBox i_bbox;
    bool i_visible = true;
    bool i_solid = false;
    bool i_persistent = false;
    int32_t i_objectindex = 0;
    std::array<int32_t, kAlarmCount> i_timer;
    bool i_deactivated = false;
    int32_t i_pathindex = -1;
    double i_pathposition = 0;
    double i_pathpositionprevious = 0;
    double i_pathspeed = 0;
    double i_pathscale = 1;
    double i_pathorientation = 0;
    int32_t i_pathend = 0;
    double i_pathxstart = 0, i_pathystart = 0;
    int32_t i_timelineindex = -1;
    double i_timelineposition = 0;
    double i_timelinespeed = 1;
    bool i_timelinerunning = false;
    bool i_timelineloop = false;
    std::string i_initcode;
    // Kept by the room and the collision index, never copied: the place in the per-object
    // lists' order (stamped as the room lists the instance) and the index's entry.
    uint32_t i_listorder = 0;
    int32_t i_broadslot = -1;

    CInstance() {
        i_timer.fill(-1);
        i_isinstance = true;
    }

    // Takes the object's properties, then the position, id and the defaults of a new instance.
    void Create(double x, double y, int32_t id, int32_t objectind);
    // Every field of `other` (variables deeply) except the path origin.
    void Assign(const CInstance& other);
    void Destroy() { i_vars.Clear(); }

    void SetPosition(double nx, double ny);
    void Compute_BoundingBox();

    // The instance's object, or nullptr when the index names none (any more).
    CObject* Object() const;

    // The setters behind the built-in variables.
    void SetObjectIndex(int32_t objectind);
    void SetSpriteIndex(int32_t sprite);
    void SetMaskIndex(int32_t mask);
    void SetImageScaleX(double value);
    void SetImageScaleY(double value);
    void SetImageAngle(double value);
    void SetDirection(double value);
    void SetSpeed(double value);
    void SetHspeed(double value);
    void SetVspeed(double value);
    // SetHspeed then SetVspeed, with the direction and speed worked out once.
    void SetSpeedComponents(double h, double v);
    void SetPathPosition(double value);
    void SetPathPositionPrevious(double value);
    // Alarms outside 0..11 are not stored and read as -1.
    void SetAlarm(int32_t index, int32_t value);
    int32_t GetAlarm(int32_t index) const;
    // One step of alarm `index` for an instance whose object has that alarm event: a counter
    // of 0 or more counts down, and true means it reached 0 now and the event is due.
    bool TickAlarm(int32_t index);

    // Adds a vector of length `amount` in direction `dir` (degrees) to the motion.
    void AddTo_Speed(double dir, double amount);
    // Friction, then gravity, for one step.
    void Adapt_Speed();

private:
    void ComputeComponents();
    void ComputeDirectionAndSpeed();
};

// The horizontal and vertical components of `speed` along `direction` (degrees), snapped to
// integers within 0.0001. A zero speed leaves only the signs of the zeros, which come from the
// direction's quadrant without trigonometry; SpeedComponentsByTrig is the plain formula.
void SpeedComponents(double direction, double speed, double& h, double& v);
void SpeedComponentsByTrig(double direction, double speed, double& h, double& v);

} // namespace kestrin
