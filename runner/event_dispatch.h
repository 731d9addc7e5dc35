#pragma once
// Event dispatch: which instance runs which event, with which self and other, in which
// order, and how an event's action list runs (blocks, repeat, questions with else, exit,
// applies-to). The per-event object lists and the collision pairs are built at game start so
// that an event nobody handles costs nothing per step.

#include <cstdint>
#include <functional>
#include <span>
#include <utility>
#include <vector>

#include "runner/event_table.h"
#include "script/builtin_routine.h"

namespace kestrin {

class CInstance;
class CEvent;
class CAction;
class InputState;
class InputPlatform;

// Highest event number the main loop dispatches per type (scripts may perform any number).
// Key events cover every virtual-key code, so keys above 128 get their own events too.
int32_t MaxDispatchNumber(int32_t type);
inline constexpr int32_t kDispatchKeyCount = 256;

// What dispatch needs from subsystems built later; unset entries use the plain fallbacks
// noted beside them.
struct DispatchHooks {
    // Precise collision of two instances; unset: their bounding boxes overlap.
    bool (*collide)(CInstance& a, CInstance& b) = nullptr;
    // Whether an instance's mask holds a room point; unset: its bounding box holds it.
    bool (*contains_point)(CInstance& instance, double x, double y) = nullptr;
    // The instances whose box meets `instance`'s box, at least those of object `objind`, in
    // the order of the per-object lists; false when no index is kept, and every one is tried.
    bool (*box_candidates)(const CInstance& instance, int32_t objind, std::vector<CInstance*>& out) = nullptr;
    // Advances an instance along its path once; true when the path's end was reached.
    bool (*advance_path)(CInstance& instance) = nullptr;
    // The triggers of a step moment (0 step, 1 begin, 2 end), before that moment's event.
    void (*triggers)(int32_t moment) = nullptr;
    // How many trigger slots the game has: the trigger event lists reach that count - 1.
    // Unset: none.
    int32_t (*trigger_count)() = nullptr;
    // The mouse position in room coordinates (through the views); unset: window pixels.
    void (*mouse_to_room)(InputState& input) = nullptr;
};
void SetDispatchHooks(const DispatchHooks& hooks);
const DispatchHooks& CurrentDispatchHooks();

// Builds the per-event object lists and the collision pair list from the object table;
// again whenever objects, their events or their parents change.
void BuildEventLists();
const std::vector<int32_t>& EventObjects(int32_t type, int32_t number);
const std::vector<std::pair<int32_t, int32_t>>& CollisionPairs();

// Action lists changed while an event walks them. Clearing or freeing a list that may be
// running goes through RetireActions, which empties it and keeps its storage until no event
// runs; a change that must not happen under a walk (appending, which may move the storage)
// goes through WhenActionsIdle, which runs it now or once the outermost event has ended.
bool ActionsRunning(const std::vector<CAction>& actions);
bool AnyActionsRunning();
void RetireActions(std::vector<CAction>& actions);
void WhenActionsIdle(std::function<void()> change);
// Drops the waiting changes (a game being reset).
void ResetRunningActions();

// The event looked up from object `objind` (its chain), run with self and other, when
// room_request is -1.
void PerformObjectEvent(CInstance* self, CInstance* other, int32_t objind, int32_t type, int32_t number);
// Runs an event's action list as object `supplier`'s event (type, number).
void RunEvent(CInstance* self, CInstance* other, const CEvent& event, int32_t supplier, int32_t type,
              int32_t number);
// Every unmarked instance of exactly each object of the (type, number) list, as its own self
// and other.
void Dispatch(int32_t type, int32_t number);

// The dispatchers of the main loop's phases.
void DispatchStep(int32_t moment);
void DispatchAlarms();
void DispatchKeyboard(const InputState& input);
void DispatchJoysticks(const InputState& input);
void DispatchMouse(InputState& input);
void DispatchBoundary();
void DispatchCollisions();
// True when an instance's box (or, without one, its position) meets the rectangle.
bool InstanceOutside(const CInstance& instance, double left, double top, double right, double bottom);
bool InstanceOnBoundary(const CInstance& instance, double left, double top, double right, double bottom);

// event_type, event_number, event_object, event_action.
void BindEventVariables();

} // namespace kestrin
