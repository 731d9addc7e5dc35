#include "world/function_interaction.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "base/numeric.h"
#include "graphics/sprite.h"
#include "runner/game_variables.h"
#include "runner/game_world.h"
#include "runner/instance.h"
#include "runner/messages.h"
#include "runner/object.h"
#include "runner/room.h"
#include "script/random.h"
#include "script/run_error.h"
#include "script/value.h"
#include "world/broad_phase.h"
#include "world/collision.h"
#include "world/interaction_messages.h"

namespace kestrin {

namespace {

constexpr double kRadians = std::numbers::pi / 180.0;
constexpr int32_t kDefaultSteps = 1000;

CRoom* Room() {
    return World().Current();
}

int32_t Designator(const RValue& value) {
    return RoundToInt32Saturated(value.val(), kNooneSelector);
}

bool Flag(const RValue& value) {
    return IsTrue(value.val());
}

double Real(const RValue& value) {
    return value.val();
}

// Whether an instance is in the per-object list of `obj` that holds the instances of that
// object and of its descendants (the walk the room makes when it lists an instance).
bool InObject(const CInstance& instance, int32_t obj) {
    const CObjectTable& objects = Objects();
    int32_t o = instance.i_objectindex;
    if (!objects.Exists(o)) return false;
    for (int32_t steps = 0; o >= 0 && steps <= objects.Count(); ++steps) {
        if (o == obj) return true;
        o = objects.ParentOf(o);
    }
    return false;
}

// Whether an instance is in the room's list of `obj` (its instances and its descendants'):
// the lists keep the order the room stamped, so a binary search finds it.
bool InObjectList(const CRoom& room, const CInstance& instance, int32_t obj) {
    const int32_t count = room.Obj_Number_Recursive(obj);
    int32_t lo = 0, hi = count;
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        if (room.Obj_Instance_Recursive(obj, mid)->i_listorder < instance.i_listorder)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo < count && room.Obj_Instance_Recursive(obj, lo) == &instance;
}

std::vector<CInstance*>& Scratch() {
    static std::vector<CInstance*> found;
    return found;
}

// The first unmarked instance designated by obj (all, an object with its descendants, or an
// id) that passes `test`, in room order; with `region` the index narrows the walk to the
// instances whose box meets it, which `test` must then require. `test` must not run events.
template <typename Test>
CInstance* FirstDesignated(int32_t obj, const QueryRegion* region, bool anyOrder, Test&& test) {
    CRoom* room = Room();
    if (!room) return nullptr;
    if (obj >= kFirstInstanceId) {
        CInstance* instance = AsInstance(room->FindInstance(obj));
        return instance && test(*instance) ? instance : nullptr;
    }
    if (obj < 0 && obj != kAllSelector) return nullptr;
    if (region && BroadPhaseEnabled()) {
        std::vector<CInstance*>& found = Scratch();
        const CandidateOrder order = anyOrder              ? CandidateOrder::None
                                     : obj == kAllSelector ? CandidateOrder::Room
                                                           : CandidateOrder::Lists;
        BroadPhaseQuery(*room, *region, order, found);
        for (CInstance* instance : found)
            if (!instance->i_marked && (obj == kAllSelector || InObjectList(*room, *instance, obj)) &&
                test(*instance))
                return instance;
        return nullptr;
    }
    if (obj == kAllSelector) {
        for (const auto& instance : room->r_instance)
            if (!instance->i_marked && test(*instance)) return instance.get();
        return nullptr;
    }
    const int32_t count = room->Obj_Number_Recursive(obj);
    for (int32_t k = 0; k < count; ++k) {
        CInstance* instance = room->Obj_Instance_Recursive(obj, k);
        if (instance && !instance->i_marked && test(*instance)) return instance;
    }
    return nullptr;
}

int32_t IdOf(const CInstance* instance) {
    return instance ? instance->i_id : kNooneSelector;
}

QueryRegion RegionOfBox(const RBox& b) {
    return QueryRegion{b.left, b.top, b.right, b.bottom, false};
}

// Moves self to (x, y) for the length of a probe and back again, boxes following.
class ProbePosition {
public:
    ProbePosition(CInstance& self, double x, double y) : self_(self), x_(self.i_x), y_(self.i_y) {
        self.SetPosition(x, y);
    }
    ~ProbePosition() { self_.SetPosition(x_, y_); }
    ProbePosition(const ProbePosition&) = delete;
    ProbePosition& operator=(const ProbePosition&) = delete;

private:
    CInstance& self_;
    double x_, y_;
};

// The first instance designated by obj that self placed at (x, y) meets; with `solidOnly`
// only solid ones count.
CInstance* MeetingAt(CInstance& self, double x, double y, int32_t obj, bool solidOnly, bool anyOrder) {
    ProbePosition probe(self, x, y);
    const QueryRegion region = RegionOfBox(self.i_bbox);
    return FirstDesignated(obj, &region, anyOrder, [&](CInstance& candidate) {
        return (!solidOnly || candidate.i_solid) && Collision_Instance(candidate, self, true);
    });
}

bool FreeAt(CInstance& self, double x, double y, bool solidOnly) {
    return MeetingAt(self, x, y, kAllSelector, solidOnly, true) == nullptr;
}

// obj -1 and -2 as the caller's and the other instance's id.
int32_t OwnDesignator(int32_t obj, const CInstance* self, CScriptInstance* other) {
    if (obj == kSelfSelector) return self ? self->i_id : kNooneSelector;
    if (obj == kOtherSelector) return other ? other->i_id : kNooneSelector;
    return obj;
}

CInstance* AtPoint(double x, double y, int32_t obj) {
    const QueryRegion region = RegionOf(x, y, x, y);
    return FirstDesignated(obj, &region, false,
                           [&](CInstance& candidate) { return Collision_Point(candidate, x, y, true); });
}

// ---- Probing places and points ----

void place_free(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    CInstance* me = AsInstance(self);
    result.SetReal(me && PlaceFree(*me, Real(args[0]), Real(args[1])) ? 1 : 0);
}

void place_empty(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    CInstance* me = AsInstance(self);
    result.SetReal(me && PlaceEmpty(*me, Real(args[0]), Real(args[1])) ? 1 : 0);
}

void place_meeting(CScriptInstance* self, CScriptInstance* other, int32_t, const RValue* args,
                   RValue& result) {
    CInstance* me = AsInstance(self);
    if (!me) return;
    const int32_t obj = OwnDesignator(Designator(args[2]), me, other);
    result.SetReal(MeetingAt(*me, Real(args[0]), Real(args[1]), obj, false, true) ? 1 : 0);
}

void instance_place(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    CInstance* me = AsInstance(self);
    result.SetReal(me ? InstancePlace(*me, Real(args[0]), Real(args[1]), Designator(args[2]))
                      : kNooneSelector);
}

void place_snapped(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    CInstance* me = AsInstance(self);
    if (!me) return;
    auto off = [](double v, double snap) {
        return snap > 0 && std::fabs(v - snap * std::nearbyint(v / snap)) >= 0.001;
    };
    result.SetReal(off(me->i_x, Real(args[0])) || off(me->i_y, Real(args[1])) ? 0 : 1);
}

void position_empty(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(AtPoint(Real(args[0]), Real(args[1]), kAllSelector) ? 0 : 1);
}

void position_meeting(CScriptInstance* self, CScriptInstance* other, int32_t, const RValue* args,
                      RValue& result) {
    const int32_t obj = OwnDesignator(Designator(args[2]), AsInstance(self), other);
    result.SetReal(AtPoint(Real(args[0]), Real(args[1]), obj) ? 1 : 0);
}

void instance_position(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(IdOf(AtPoint(Real(args[0]), Real(args[1]), Designator(args[2]))));
}

// ---- Collision searches ----

template <typename Test>
int32_t FirstColliding(CScriptInstance* self, const QueryRegion& region, int32_t obj, bool notme,
                       Test&& test) {
    const CScriptInstance* me = self;
    return IdOf(FirstDesignated(obj, &region, false, [&](CInstance& candidate) {
        return !(notme && &candidate == me) && test(candidate);
    }));
}

void collision_point(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double x = Real(args[0]), y = Real(args[1]);
    const bool prec = Flag(args[3]);
    result.SetReal(FirstColliding(self, RegionOf(x, y, x, y), Designator(args[2]), Flag(args[4]),
                                  [&](CInstance& c) { return Collision_Point(c, x, y, prec); }));
}

void collision_rectangle(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args,
                         RValue& result) {
    result.SetReal(CollisionRectangle(AsInstance(self), Real(args[0]), Real(args[1]), Real(args[2]),
                                      Real(args[3]), Designator(args[4]), Flag(args[5]), Flag(args[6])));
}

int32_t CollisionEllipse(CScriptInstance* self, double x1, double y1, double x2, double y2, int32_t obj,
                         bool prec, bool notme) {
    return FirstColliding(self, RegionOf(x1, y1, x2, y2), obj, notme,
                          [&](CInstance& c) { return Collision_Ellipse(c, x1, y1, x2, y2, prec); });
}

void collision_ellipse(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(CollisionEllipse(self, Real(args[0]), Real(args[1]), Real(args[2]), Real(args[3]),
                                    Designator(args[4]), Flag(args[5]), Flag(args[6])));
}

void collision_circle(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double xc = Real(args[0]), yc = Real(args[1]), r = Real(args[2]);
    result.SetReal(CollisionEllipse(self, xc - r, yc - r, xc + r, yc + r, Designator(args[3]), Flag(args[4]),
                                    Flag(args[5])));
}

void collision_line(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const double x1 = Real(args[0]), y1 = Real(args[1]), x2 = Real(args[2]), y2 = Real(args[3]);
    const bool prec = Flag(args[5]);
    result.SetReal(FirstColliding(self, RegionOf(x1, y1, x2, y2), Designator(args[4]), Flag(args[6]),
                                  [&](CInstance& c) { return Collision_Line(c, x1, y1, x2, y2, prec); }));
}

// ---- Finding and counting ----

// Every unmarked instance designated by obj (all or an object with its descendants) in room
// order, until `visit` answers false.
template <typename Visit> void ForDesignated(int32_t obj, Visit&& visit) {
    CRoom* room = Room();
    if (!room) return;
    if (obj == kAllSelector) {
        for (const auto& instance : room->r_instance)
            if (!instance->i_marked && !visit(*instance)) return;
        return;
    }
    if (obj < 0 || obj >= kFirstInstanceId) return;
    const int32_t count = room->Obj_Number_Recursive(obj);
    for (int32_t k = 0; k < count; ++k) {
        CInstance* instance = room->Obj_Instance_Recursive(obj, k);
        if (instance && !instance->i_marked && !visit(*instance)) return;
    }
}

int32_t Nearest(double x, double y, int32_t obj, bool furthest) {
    double best = furthest ? -1.0 : 1e10;
    CInstance* found = nullptr;
    ForDesignated(obj, [&](CInstance& candidate) {
        const double dx = candidate.i_x - x, dy = candidate.i_y - y;
        const double d = dx * dx + dy * dy;
        if (furthest ? d > best : d < best) {
            best = d;
            found = &candidate;
        }
        return true;
    });
    return IdOf(found);
}

void instance_nearest(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(Nearest(Real(args[0]), Real(args[1]), Designator(args[2]), false));
}

void instance_furthest(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(Nearest(Real(args[0]), Real(args[1]), Designator(args[2]), true));
}

CInstance* ById(int32_t id) {
    CRoom* room = Room();
    return room ? AsInstance(room->FindInstance(id)) : nullptr;
}

void instance_find(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    const int32_t obj = Designator(args[0]);
    const int64_t n = RoundToInt64Saturated(Real(args[1]), -1);
    if (obj >= kFirstInstanceId) {
        result.SetReal(n == 0 ? IdOf(ById(obj)) : kNooneSelector);
        return;
    }
    int64_t seen = 0;
    CInstance* found = nullptr;
    if (n >= 0) {
        ForDesignated(obj, [&](CInstance& candidate) {
            if (seen++ < n) return true;
            found = &candidate;
            return false;
        });
    }
    result.SetReal(IdOf(found));
}

// Whether the caller (other) is there and not destroyed.
bool Present(CScriptInstance* instance) {
    return instance && !instance->i_marked;
}

int64_t CountDesignated(int32_t obj, CScriptInstance* self, CScriptInstance* other) {
    if (obj == kSelfSelector) return Present(self) ? 1 : 0;
    if (obj == kOtherSelector) return Present(other) ? 1 : 0;
    if (obj >= kFirstInstanceId) return ById(obj) ? 1 : 0;
    int64_t count = 0;
    ForDesignated(obj, [&](CInstance&) {
        ++count;
        return true;
    });
    return count;
}

void instance_exists(CScriptInstance* self, CScriptInstance* other, int32_t, const RValue* args,
                     RValue& result) {
    const int32_t obj = Designator(args[0]);
    bool exists;
    if (obj == kSelfSelector || obj == kOtherSelector || obj >= kFirstInstanceId) {
        exists = CountDesignated(obj, self, other) > 0;
    } else {
        exists = false;
        ForDesignated(obj, [&](CInstance&) {
            exists = true;
            return false;
        });
    }
    result.SetReal(exists ? 1 : 0);
}

void instance_number(CScriptInstance* self, CScriptInstance* other, int32_t, const RValue* args,
                     RValue& result) {
    result.SetReal(static_cast<double>(CountDesignated(Designator(args[0]), self, other)));
}

// ---- Distances ----

double BoxDistance(const RBox& a, const RBox& b) {
    const double dx = a.right < b.left   ? static_cast<double>(b.left) - a.right
                      : b.right < a.left ? static_cast<double>(b.right) - a.left
                                         : 0.0;
    const double dy = a.bottom < b.top   ? static_cast<double>(b.top) - a.bottom
                      : b.bottom < a.top ? static_cast<double>(b.bottom) - a.top
                                         : 0.0;
    return std::sqrt(dx * dx + dy * dy);
}

void distance_to_point(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    CInstance* me = AsInstance(self);
    if (!me) return;
    const double px = Real(args[0]), py = Real(args[1]);
    const RBox& b = me->i_bbox;
    const double dx = px > b.right ? px - b.right : px < b.left ? px - b.left : 0.0;
    const double dy = py > b.bottom ? py - b.bottom : py < b.top ? py - b.top : 0.0;
    result.SetReal(std::sqrt(dx * dx + dy * dy));
}

void distance_to_object(CScriptInstance* self, CScriptInstance* other, int32_t, const RValue* args,
                        RValue& result) {
    constexpr double kFar = 1000000;
    CInstance* me = AsInstance(self);
    double best = kFar;
    auto consider = [&](const CInstance& candidate) {
        if (!me || &candidate == me || candidate.i_marked) return;
        best = std::min(best, BoxDistance(me->i_bbox, candidate.i_bbox));
    };
    const int32_t obj = Designator(args[0]);
    CRoom* room = Room();
    if (obj == kSelfSelector) {
        if (me) consider(*me);
    } else if (obj == kOtherSelector) {
        if (CInstance* o = AsInstance(other)) consider(*o);
    } else if (obj >= kFirstInstanceId) {
        if (room) {
            for (const auto& instance : room->r_instance) {
                if (instance->i_id != obj) continue;
                consider(*instance);
                break;
            }
        }
    } else {
        ForDesignated(obj, [&](CInstance& candidate) {
            consider(candidate);
            return true;
        });
    }
    result.SetReal(best);
}

// ---- Movement ----

// A draw 0 <= r < n of the game's generator; an empty range gives 0.
int64_t RandomBelowRange(int64_t n) {
    if (n <= 0) return 0;
    return RandomBelow(static_cast<uint32_t>(std::min<int64_t>(n, UINT32_MAX)));
}

// One axis of move_random: [lo, hi) from the box, or the room's [0, size) when the box
// cannot fit (a sprite larger than the room), or 0 when the room has no size.
struct Range {
    int64_t lo, hi;
};
Range RandomRange(bool boxed, double pos, int32_t boxLow, int32_t boxHigh, int32_t roomSize) {
    const Range room{0, std::max<int64_t>(roomSize, 0)};
    if (!boxed) return room;
    const Range box{RoundToInt64Saturated(pos - boxLow), RoundToInt64Saturated(roomSize + pos - boxHigh)};
    return box.hi > box.lo ? box : room;
}

double SnapDown(double v, const RValue& snap) {
    const int64_t h = RoundToInt64Saturated(Real(snap));
    if (h <= 0) return v;
    const double step = static_cast<double>(h);
    return step * std::floor(v / step);
}

void move_random(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    CInstance* me = AsInstance(self);
    CRoom* room = Room();
    if (!me || !room) return;
    const bool boxed = MaskSprite(*me) != nullptr;
    const Range xr = RandomRange(boxed, me->i_x, me->i_bbox.left, me->i_bbox.right, room->r_width);
    const Range yr = RandomRange(boxed, me->i_y, me->i_bbox.top, me->i_bbox.bottom, room->r_height);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const double nx = SnapDown(static_cast<double>(xr.lo + RandomBelowRange(xr.hi - xr.lo)), args[0]);
        const double ny = SnapDown(static_cast<double>(yr.lo + RandomBelowRange(yr.hi - yr.lo)), args[1]);
        if (PlaceFree(*me, nx, ny)) {
            me->SetPosition(nx, ny);
            return;
        }
    }
}

void move_snap(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    CInstance* me = AsInstance(self);
    if (!me) return;
    const double hsnap = Real(args[0]), vsnap = Real(args[1]);
    double x = me->i_x, y = me->i_y;
    if (hsnap > 0) x = hsnap * std::nearbyint(x / hsnap);
    if (vsnap > 0) y = vsnap * std::nearbyint(y / vsnap);
    me->SetPosition(x, y);
}

double Wrapped(double v, double size, double margin) {
    if (v < -margin) v = v + size + 2 * margin;
    if (v > size + margin) v = v - size - 2 * margin;
    return v;
}

void move_wrap(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    CInstance* me = AsInstance(self);
    CRoom* room = Room();
    if (!me || !room) return;
    const double margin = Real(args[2]);
    double x = me->i_x, y = me->i_y;
    if (Flag(args[0])) x = Wrapped(x, room->r_width, margin);
    if (Flag(args[1])) y = Wrapped(y, room->r_height, margin);
    me->SetPosition(x, y);
}

void move_towards_point(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    CInstance* me = AsInstance(self);
    if (!me) return;
    me->SetHspeed(Real(args[0]) - me->i_x);
    me->SetVspeed(Real(args[1]) - me->i_y);
    me->SetSpeed(Real(args[2]));
}

void motion_set(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    CInstance* me = AsInstance(self);
    if (!me) return;
    me->SetDirection(Real(args[0]));
    me->SetSpeed(Real(args[1]));
}

void motion_add(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (CInstance* me = AsInstance(self)) me->AddTo_Speed(Real(args[0]), Real(args[1]));
}

int64_t StepLimit(double maxdist) {
    return maxdist > 0 ? RoundToInt64Saturated(maxdist) : kDefaultSteps;
}

// The box around every instance but `me`, or none. Nothing moves them during a contact move.
std::optional<RBox> OthersBox(const CRoom& room, const CInstance& me) {
    std::optional<RBox> u;
    for (const auto& instance : room.r_instance) {
        if (instance.get() == &me) continue;
        const RBox& b = instance->i_bbox;
        u = u ? RBox{std::min(u->left, b.left), std::min(u->top, b.top), std::max(u->right, b.right),
                     std::max(u->bottom, b.bottom)}
              : b;
    }
    return u;
}

// Whether `me`, moving by (dx, dy) per step, can never meet another instance again: its box
// lies beyond all others on a side it is not moving back from.
bool BeyondReach(const RBox& m, const std::optional<RBox>& u, double dx, double dy) {
    return !u || (m.right < u->left && dx <= 0) || (m.left > u->right && dx >= 0) ||
           (m.bottom < u->top && dy <= 0) || (m.top > u->bottom && dy >= 0);
}

RBox Hull(const RBox& a, const RBox& b) {
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

// Whether an instance that a probe of `me` would test (unmarked, solid when asked, not `me`)
// has a box meeting `region`.
bool CandidateMeets(const CRoom& room, const CInstance& me, const RBox& region, bool solidOnly) {
    auto counts = [&](const CInstance& c) {
        return &c != &me && !c.i_marked && (!solidOnly || c.i_solid) && BoxesOverlap(c.i_bbox, region);
    };
    if (BroadPhaseEnabled()) {
        std::vector<CInstance*>& found = Scratch();
        BroadPhaseQuery(room, RegionOfBox(region), CandidateOrder::None, found);
        return std::any_of(found.begin(), found.end(), [&](const CInstance* c) { return counts(*c); });
    }
    return std::any_of(room.r_instance.begin(), room.r_instance.end(),
                       [&](const std::unique_ptr<CInstance>& c) { return counts(*c); });
}

// Moves `me` on by the most of span, span / 2, ... 2 steps (at most `left`) that no probe of
// the contact move could find blocked; the steps taken, 0 when not even two are certain.
//
// A probe meets nothing unless the instance's box meets a candidate's. The box the position
// setter computes is monotonic in x and in y (rounded sums of the position and fixed terms),
// and the steps move x and y monotonically, so every box between two steps lies within the
// hull of the boxes at both: when no candidate meets that hull, every probe between is free.
// The position is still summed one step at a time, as the probes would have left it, and
// the far end must not yet be past every box, where the probing move ends at once.
int64_t SkipFreeSteps(const CRoom& room, CInstance& me, double dx, double dy, bool solidOnly,
                      const std::optional<RBox>& others, int64_t span, int64_t left) {
    const double x0 = me.i_x, y0 = me.i_y;
    const RBox from = me.i_bbox;
    for (int64_t k = std::min(span, left); k >= 2; k /= 2) {
        double x = x0, y = y0;
        for (int64_t s = 0; s < k; ++s) {
            x = x + dx;
            y = y + dy;
        }
        // A step too small to change the position never will: the probes to come all ask
        // what the last one answered (free), so the move is over where it stands.
        if (x == x0 && y == y0) return left;
        me.SetPosition(x, y);
        if (!BeyondReach(me.i_bbox, others, dx, dy) && !CandidateMeets(room, me, Hull(from, me.i_bbox), solidOnly))
            return k;
        me.SetPosition(x0, y0);
    }
    return 0;
}

} // namespace

void MoveContactByProbes(CInstance& me, double dir, double maxdist, bool solidOnly) {
    const int64_t n = StepLimit(maxdist);
    if (!FreeAt(me, me.i_x, me.i_y, solidOnly)) return;
    const double dx = std::cos(dir * kRadians), dy = -std::sin(dir * kRadians);
    if (!std::isfinite(dx) || !std::isfinite(dy)) return;
    // Without a mask nothing is ever met; past every other box a huge maxdist would otherwise
    // probe billions of empty steps.
    const CRoom* room = Room();
    const bool maskless = MaskSprite(me) == nullptr;
    const std::optional<RBox> others = room ? OthersBox(*room, me) : std::nullopt;
    for (int64_t i = 0; i < n; ++i) {
        if (maskless || BeyondReach(me.i_bbox, others, dx, dy)) {
            const double rest = static_cast<double>(n - i);
            me.SetPosition(me.i_x + rest * dx, me.i_y + rest * dy);
            return;
        }
        const double nx = me.i_x + dx, ny = me.i_y + dy;
        if (!FreeAt(me, nx, ny, solidOnly)) return;
        me.SetPosition(nx, ny);
    }
}

void MoveContact(CInstance& me, double dir, double maxdist, bool solidOnly) {
    const int64_t n = StepLimit(maxdist);
    if (!FreeAt(me, me.i_x, me.i_y, solidOnly)) return;
    const double dx = std::cos(dir * kRadians), dy = -std::sin(dir * kRadians);
    if (!std::isfinite(dx) || !std::isfinite(dy)) return;
    const CRoom* room = Room();
    const bool maskless = MaskSprite(me) == nullptr;
    const std::optional<RBox> others = room ? OthersBox(*room, me) : std::nullopt;
    // Skips double while they succeed; after a failed try near a candidate the next waits a
    // while, so that sliding along a box costs little more than the plain probes.
    int64_t span = 2, wait = 0, backoff = 1;
    for (int64_t i = 0; i < n;) {
        if (maskless || BeyondReach(me.i_bbox, others, dx, dy)) {
            const double rest = static_cast<double>(n - i);
            me.SetPosition(me.i_x + rest * dx, me.i_y + rest * dy);
            return;
        }
        // From the second step on the box is the setter's for the position (the first may
        // start from a box computed before the sprite changed).
        if (i > 0 && room && wait == 0) {
            const int64_t skipped = SkipFreeSteps(*room, me, dx, dy, solidOnly, others, span, n - i);
            if (skipped > 0) {
                i += skipped;
                span = skipped * 2;
                backoff = 1;
                continue;
            }
            span = 2;
            wait = backoff;
            backoff = std::min<int64_t>(backoff * 2, 64);
        } else if (wait > 0) {
            --wait;
        }
        const double nx = me.i_x + dx, ny = me.i_y + dy;
        if (!FreeAt(me, nx, ny, solidOnly)) return;
        me.SetPosition(nx, ny);
        ++i;
    }
}

namespace {

void MoveOutside(CInstance& me, double dir, double maxdist, bool solidOnly) {
    const int64_t n = StepLimit(maxdist);
    const double dx = std::cos(dir * kRadians), dy = -std::sin(dir * kRadians);
    if (!std::isfinite(dx) || !std::isfinite(dy)) return;
    for (int64_t i = 0; i < n && !FreeAt(me, me.i_x, me.i_y, solidOnly); ++i)
        me.SetPosition(me.i_x + dx, me.i_y + dy);
}

void move_contact_solid(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (CInstance* me = AsInstance(self)) MoveContact(*me, Real(args[0]), Real(args[1]), true);
}

void move_contact_all(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (CInstance* me = AsInstance(self)) MoveContact(*me, Real(args[0]), Real(args[1]), false);
}

void move_contact(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    CInstance* me = AsInstance(self);
    if (!me) return;
    if (FreeAt(*me, me->i_x, me->i_y, true))
        MoveContact(*me, Real(args[0]), -1, true);
    else
        MoveOutside(*me, Real(args[0]), -1, true);
}

void move_outside_solid(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (CInstance* me = AsInstance(self)) MoveOutside(*me, Real(args[0]), Real(args[1]), true);
}

void move_outside_all(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (CInstance* me = AsInstance(self)) MoveOutside(*me, Real(args[0]), Real(args[1]), false);
}

void Bounce(CInstance& me, bool advanced, bool solidOnly) {
    bool changed = false;
    if (!FreeAt(me, me.i_x, me.i_y, solidOnly)) {
        me.SetPosition(me.i_xprevious, me.i_yprevious);
        changed = true;
    }
    const double X = me.i_x, Y = me.i_y;
    if (advanced) {
        const double m = 10 * std::nearbyint(me.i_direction / 10);
        const double speed = me.i_speed;
        auto turn = [&](double step) {
            double a = m;
            for (int i = 0; i < 35; ++i) {
                a += step;
                if (FreeAt(me, X + speed * std::cos(a * kRadians), Y - speed * std::sin(a * kRadians),
                           solidOnly))
                    break;
                changed = true;
            }
            return a;
        };
        const double a = turn(-10);
        const double b = turn(10);
        if (changed) me.SetDirection(a + b + 180 - m);
        return;
    }
    const double hs = me.i_hspeed, vs = me.i_vspeed;
    const bool h = !FreeAt(me, X + hs, Y, solidOnly);
    const bool v = !FreeAt(me, X, Y + vs, solidOnly);
    const bool d = !FreeAt(me, X + hs, Y + vs, solidOnly);
    if ((h && v) || (!h && !v && d)) {
        me.SetHspeed(-hs);
        me.SetVspeed(-vs);
    } else if (h) {
        me.SetHspeed(-hs);
    } else if (v) {
        me.SetVspeed(-vs);
    }
}

void move_bounce_solid(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (CInstance* me = AsInstance(self)) Bounce(*me, Flag(args[0]), true);
}

void move_bounce_all(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (CInstance* me = AsInstance(self)) Bounce(*me, Flag(args[0]), false);
}

// ---- Creating, changing and destroying ----

void instance_create(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(IdOf(World().CreateInstance(Real(args[0]), Real(args[1]), Designator(args[2]))));
}

void instance_copy(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    result.SetReal(kNooneSelector);
    CInstance* me = AsInstance(self);
    CRoom* room = Room();
    if (!me || !room) return;
    CInstance* copy = room->AddInstance(me->i_x, me->i_y, me->i_objectindex);
    if (!copy) {
        ReportRunError(msg::kOutOfInstanceIds, false);
        return;
    }
    const int32_t id = copy->i_id;
    copy->Assign(*me);
    // A new, live instance, even when copied from one destroyed earlier in the step.
    copy->i_id = id;
    copy->i_marked = false;
    result.SetReal(id);
    if (Flag(args[0])) PerformEvent(copy, copy, ev_create, 0);
}

void instance_change(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (CInstance* me = AsInstance(self))
        (void)World().ChangeInstance(me, Designator(args[0]), Flag(args[1]));
}

void instance_destroy(CScriptInstance* self, CScriptInstance*, int32_t, const RValue*, RValue&) {
    World().DestroyInstance(AsInstance(self));
}

void instance_sprite(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    const int32_t sprite = Designator(args[0]);
    if (!Sprite_Exists(sprite)) {
        ReportRunError(msg::kSpriteMissing + std::to_string(sprite), false);
        return;
    }
    if (CInstance* me = AsInstance(self)) me->SetSpriteIndex(sprite);
}

// Every instance of the room covering the point, in room order; the count is fixed first
// and the list's current length bounds each access, as the events `act` runs may add to
// the list or move instances out of it.
template <typename Act> void ForEachAtPoint(double x, double y, Act&& act) {
    CRoom* room = Room();
    if (!room) return;
    const size_t count = room->r_instance.size();
    for (size_t n = 0; n < count && n < room->r_instance.size(); ++n) {
        if (World().room_request != kRequestNone) return;
        CInstance* instance = room->r_instance[n].get();
        if (!instance->i_marked && Collision_Point(*instance, x, y, true)) act(*instance);
    }
}

void position_destroy(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    ForEachAtPoint(Real(args[0]), Real(args[1]),
                   [](CInstance& instance) { World().DestroyInstance(&instance); });
}

void position_change(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    const int32_t obj = Designator(args[2]);
    const bool events = Flag(args[3]);
    if (!Objects().Exists(obj)) {
        // One report for the call, not one per instance under the point.
        bool any = false;
        ForEachAtPoint(Real(args[0]), Real(args[1]), [&](CInstance&) { any = true; });
        if (any) (void)World().ChangeInstance(nullptr, obj, events);
        return;
    }
    ForEachAtPoint(Real(args[0]), Real(args[1]),
                   [&](CInstance& instance) { (void)World().ChangeInstance(&instance, obj, events); });
}

// ---- Activation ----

bool OutsideRegion(const CInstance& instance, double left, double top, double width, double height) {
    const double right = left + width, bottom = top + height;
    if (MaskSprite(instance)) {
        const RBox& b = instance.i_bbox;
        return b.right < left || b.left > right || b.bottom < top || b.top > bottom;
    }
    return instance.i_x < left || instance.i_x > right || instance.i_y < top || instance.i_y > bottom;
}

// Whether an instance is designated by obj for activation: the caller, the other, all, an id,
// or an object with its descendants.
bool Designated(const CInstance& instance, int32_t obj, const CScriptInstance* self,
                const CScriptInstance* other) {
    if (obj == kSelfSelector) return &instance == self;
    if (obj == kOtherSelector) return &instance == other;
    if (obj == kAllSelector) return true;
    if (obj >= kFirstInstanceId) return instance.i_id == obj && !instance.i_marked;
    return obj >= 0 && InObject(instance, obj);
}

void Finish(CRoom& room) {
    room.UpdateActive();
}

void instance_deactivate_all(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    CRoom* room = Room();
    if (!room) return;
    for (const auto& instance : room->r_instance) instance->i_deactivated = true;
    if (Flag(args[0])) {
        if (CInstance* me = AsInstance(self)) me->i_deactivated = false;
    }
    Finish(*room);
}

void instance_deactivate_object(CScriptInstance* self, CScriptInstance* other, int32_t, const RValue* args,
                                RValue&) {
    CRoom* room = Room();
    if (!room) return;
    const int32_t obj = Designator(args[0]);
    for (const auto& instance : room->r_instance)
        if (Designated(*instance, obj, self, other)) instance->i_deactivated = true;
    Finish(*room);
}

void instance_deactivate_region(CScriptInstance* self, CScriptInstance*, int32_t, const RValue* args,
                                RValue&) {
    CRoom* room = Room();
    if (!room) return;
    const bool inside = Flag(args[4]);
    for (const auto& instance : room->r_instance)
        if (OutsideRegion(*instance, Real(args[0]), Real(args[1]), Real(args[2]), Real(args[3])) != inside)
            instance->i_deactivated = true;
    if (Flag(args[5])) {
        if (CInstance* me = AsInstance(self)) me->i_deactivated = false;
    }
    Finish(*room);
}

void instance_activate_all(CScriptInstance*, CScriptInstance*, int32_t, const RValue*, RValue&) {
    CRoom* room = Room();
    if (!room) return;
    for (const auto& instance : room->r_instance_deact) instance->i_deactivated = false;
    Finish(*room);
}

void instance_activate_object(CScriptInstance* self, CScriptInstance* other, int32_t, const RValue* args,
                              RValue&) {
    CRoom* room = Room();
    if (!room) return;
    const int32_t obj = Designator(args[0]);
    for (const auto& instance : room->r_instance_deact)
        if (Designated(*instance, obj, self, other)) instance->i_deactivated = false;
    Finish(*room);
}

void instance_activate_region(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    CRoom* room = Room();
    if (!room) return;
    const bool inside = Flag(args[4]);
    for (const auto& instance : room->r_instance_deact)
        if (OutsideRegion(*instance, Real(args[0]), Real(args[1]), Real(args[2]), Real(args[3])) != inside)
            instance->i_deactivated = false;
    Finish(*room);
}

// ---- Fixed answers of a platform without these services ----

void ReturnZero(CScriptInstance*, CScriptInstance*, int32_t, const RValue*, RValue& result) {
    result.SetReal(0);
}

void ReturnUnknown(CScriptInstance*, CScriptInstance*, int32_t, const RValue*, RValue& result) {
    result.SetString("unknown");
}

constexpr RFunctionSpec kInteractionFunctions[] = {
    {"place_free", place_free, 2},
    {"place_empty", place_empty, 2},
    {"place_meeting", place_meeting, 3},
    {"instance_place", instance_place, 3},
    {"place_snapped", place_snapped, 2},
    {"position_empty", position_empty, 2},
    {"position_meeting", position_meeting, 3},
    {"instance_position", instance_position, 3},
    {"collision_point", collision_point, 5},
    {"collision_rectangle", collision_rectangle, 7},
    {"collision_ellipse", collision_ellipse, 7},
    {"collision_circle", collision_circle, 6},
    {"collision_line", collision_line, 7},
    {"instance_nearest", instance_nearest, 3},
    {"instance_furthest", instance_furthest, 3},
    {"instance_find", instance_find, 2},
    {"instance_exists", instance_exists, 1},
    {"instance_number", instance_number, 1},
    {"distance_to_point", distance_to_point, 2},
    {"distance_to_object", distance_to_object, 1},
    {"move_random", move_random, 2},
    {"move_snap", move_snap, 2},
    {"move_wrap", move_wrap, 3},
    {"move_towards_point", move_towards_point, 3},
    {"motion_set", motion_set, 2},
    {"motion_add", motion_add, 2},
    {"move_contact_solid", move_contact_solid, 2},
    {"move_contact_all", move_contact_all, 2},
    {"move_contact", move_contact, 1},
    {"move_outside_solid", move_outside_solid, 2},
    {"move_outside_all", move_outside_all, 2},
    {"move_bounce", move_bounce_solid, 1},
    {"move_bounce_solid", move_bounce_solid, 1},
    {"move_bounce_all", move_bounce_all, 1},
    {"instance_create", instance_create, 3},
    {"instance_copy", instance_copy, 1},
    {"instance_change", instance_change, 2},
    {"instance_destroy", instance_destroy, 0},
    {"instance_sprite", instance_sprite, 1},
    {"position_destroy", position_destroy, 2},
    {"position_change", position_change, 4},
    {"instance_activate_all", instance_activate_all, 0},
    {"instance_activate_object", instance_activate_object, 1},
    {"instance_activate_region", instance_activate_region, 5},
    {"instance_deactivate_all", instance_deactivate_all, 1},
    {"instance_deactivate_object", instance_deactivate_object, 1},
    {"instance_deactivate_region", instance_deactivate_region, 6},
    {"Vantaro_GetPlatform", ReturnZero, 0},
    {"Vantaro_GetDevice", ReturnZero, 0},
    {"Vantaro_OpenURL", ReturnZero, 1},
    {"Vantaro_OpenURL_ext", ReturnZero, 2},
    {"Vantaro_OpenURL_full", ReturnZero, 3},
    {"Vantaro_GetTimer", ReturnZero, 0},
    {"Vantaro_AddVirtualKey", ReturnZero, 5},
    {"Vantaro_DeleteVirtualKey", ReturnZero, 1},
    {"Vantaro_ShowVirtualKey", ReturnZero, 1},
    {"Vantaro_HideVirtualKey", ReturnZero, 1},
    {"Vantaro_GetDomain", ReturnUnknown, 0},
};

} // namespace

bool PlaceFree(CInstance& self, double x, double y) {
    return FreeAt(self, x, y, true);
}

bool PlaceEmpty(CInstance& self, double x, double y) {
    return FreeAt(self, x, y, false);
}

int32_t InstancePlace(CInstance& self, double x, double y, int32_t obj) {
    return IdOf(MeetingAt(self, x, y, obj, false, false));
}

int32_t CollisionRectangle(CInstance* self, double x1, double y1, double x2, double y2, int32_t obj,
                           bool prec, bool notme) {
    return FirstColliding(self, RegionOf(x1, y1, x2, y2), obj, notme,
                          [&](CInstance& c) { return Collision_Rectangle(c, x1, y1, x2, y2, prec); });
}

std::span<const RFunctionSpec> InteractionFunctions() {
    return kInteractionFunctions;
}

} // namespace kestrin
