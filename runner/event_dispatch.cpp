#include "runner/event_dispatch.h"

#include "script/callable.h"

#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <new>
#include <span>
#include <stdexcept>

#include "base/fault.h"
#include "base/numeric.h"
#include "runner/game_variables.h"
#include "runner/game_world.h"
#include "runner/input_state.h"
#include "runner/instance.h"
#include "runner/object.h"
#include "runner/room.h"
#include "script/errors.h"
#include "script/interpreter.h"
#include "script/registry.h"
#include "script/run_error.h"
#include "script/scripts.h"
#include "script/variable_names.h"

namespace kestrin {

namespace {

// How many argument values a function action passes.
constexpr int32_t kActionCallArguments = 7;

DispatchHooks& Hooks() {
    static DispatchHooks hooks;
    return hooks;
}

// ---- Per-event object lists ----

struct EventLists {
    std::array<std::vector<std::vector<int32_t>>, kEventTypeCount> objects;
    std::vector<std::pair<int32_t, int32_t>> pairs;
};

EventLists& Lists() {
    static EventLists lists;
    return lists;
}

bool Requested() {
    return World().room_request != kRequestNone;
}

bool HasBox(const CInstance& instance) {
    const RBox& b = instance.i_bbox;
    const RBox none;
    return !(b.left == none.left && b.top == none.top && b.right == none.right && b.bottom == none.bottom);
}

// Without the collision module (tests of dispatch alone) instances collide by their boxes.
bool BoxesCollide(CInstance& a, CInstance& b) {
    if (!HasBox(a) || !HasBox(b)) return false;
    return a.i_bbox.left <= b.i_bbox.right && b.i_bbox.left <= a.i_bbox.right &&
           a.i_bbox.top <= b.i_bbox.bottom && b.i_bbox.top <= a.i_bbox.bottom;
}

bool BoxContains(CInstance& instance, double x, double y) {
    return HasBox(instance) && x >= instance.i_bbox.left && x <= instance.i_bbox.right &&
           y >= instance.i_bbox.top && y <= instance.i_bbox.bottom;
}

bool Collide(CInstance& a, CInstance& b) {
    if (&a == &b || a.i_marked || b.i_marked) return false;
    return Hooks().collide ? Hooks().collide(a, b) : BoxesCollide(a, b);
}

bool Contains(CInstance& instance, double x, double y) {
    return Hooks().contains_point ? Hooks().contains_point(instance, x, y) : BoxContains(instance, x, y);
}

// Calls `visit` for every unmarked instance of exactly object `objind`, in room order, as long
// as no request is pending. The count is taken first, so instances created meanwhile wait
// for the next phase; the current length bounds each access, as lists may shrink.
template <typename Visit> void ForObjectInstances(int32_t objind, Visit&& visit) {
    CRoom* room = World().Current();
    if (!room) return;
    const int32_t count = room->Obj_Number(objind);
    for (int32_t k = 0; k < count && !Requested(); ++k) {
        CInstance* instance = room->Obj_Instance(objind, k);
        if (instance && !instance->i_marked) visit(*instance);
    }
}

template <typename Visit> void ForEventInstances(int32_t type, int32_t number, Visit&& visit) {
    // A copy: an event may change objects and rebuild the lists under the loop.
    const std::vector<int32_t> objects = EventObjects(type, number);
    for (int32_t objind : objects) {
        if (Requested()) return;
        ForObjectInstances(objind, visit);
    }
}

// ---- The action interpreter ----

// A position beyond every action list: the event ends.
constexpr size_t kStop = std::numeric_limits<size_t>::max();

// Blocks, questions and repeats nest by recursion; damaged data can nest them as deep as the
// list is long, so deeper statements end the event instead of the stack.
constexpr int32_t kMaxActionNesting = 1000;

// Saves the argument slots a code action writes, and the relative flag, for the life of the
// action, whatever way it ends.
class ArgumentSlotsGuard {
public:
    explicit ArgumentSlotsGuard(int32_t count)
        : count_(std::clamp<int32_t>(count, 0, kMaxActionArguments)), relative_(ArgumentRelative()) {
        const RValue* slots = ArgumentSlots();
        for (int32_t i = 0; i < count_; ++i) saved_[static_cast<size_t>(i)] = slots[i];
    }
    ~ArgumentSlotsGuard() {
        for (int32_t i = 0; i < count_; ++i) ArgumentSlotForWrite(i) = saved_[static_cast<size_t>(i)];
        SetArgumentRelative(relative_);
    }
    ArgumentSlotsGuard(const ArgumentSlotsGuard&) = delete;
    ArgumentSlotsGuard& operator=(const ArgumentSlotsGuard&) = delete;

private:
    int32_t count_;
    double relative_;
    std::array<RValue, kMaxActionArguments> saved_;
};

class ActionRunner {
public:
    ActionRunner(CInstance* self, CInstance* other, std::span<const CAction> actions)
        : self_(self), other_(other), actions_(actions) {}

    void Run() {
        size_t p = 0;
        while (p < actions_.size()) p = Execute(p);
    }

private:
    size_t Execute(size_t p) {
        if (p >= actions_.size() || Requested() || depth_ >= kMaxActionNesting) return kStop;
        ++depth_;
        const size_t next = ExecuteAt(p);
        --depth_;
        return next;
    }

    size_t ExecuteAt(size_t p) {
        const CAction& action = actions_[p];
        switch (action.act_kind) {
        case kActionBegin: {
            size_t q = p + 1;
            while (q < actions_.size() && actions_[q].act_kind != kActionEnd) {
                q = Execute(q);
                if (q == kStop) return kStop;
            }
            return q < actions_.size() && !Requested() ? q + 1 : kStop;
        }
        case kActionRepeat: {
            const int32_t count = RepeatCount(p);
            for (int32_t i = 0; i < count; ++i)
                if (Execute(p + 1) == kStop) return kStop;
            return Requested() ? kStop : Skip(p + 1);
        }
        case kActionExit:
            return kStop;
        default:
            break;
        }
        if (action.act_isquestion) {
            const bool answer = Applied(p);
            const size_t r = answer ? Execute(p + 1) : Skip(p + 1);
            if (r == kStop || Requested()) return kStop;
            if (r < actions_.size() && actions_[r].act_kind == kActionElse)
                return answer ? Skip(r + 1) : Execute(r + 1);
            return r;
        }
        (void)Applied(p);
        return Requested() ? kStop : p + 1;
    }

    // The position after the statement at p, without running it.
    size_t Skip(size_t p) const {
        for (; p < actions_.size(); ++p) {
            const CAction& action = actions_[p];
            if (action.act_kind == kActionBegin) {
                int32_t depth = 0;
                for (size_t q = p; q < actions_.size(); ++q) {
                    if (actions_[q].act_kind == kActionBegin)
                        ++depth;
                    else if (actions_[q].act_kind == kActionEnd && --depth == 0)
                        return q + 1;
                }
                return kStop;
            }
            // A question or repeat is skipped with the statement it governs.
            if (!action.act_isquestion && action.act_kind != kActionRepeat) return p + 1;
        }
        return kStop;
    }

    int32_t RepeatCount(size_t p) {
        CurrentEvent().action = static_cast<int32_t>(p);
        const CAction& action = actions_[p];
        RValue count;
        if (action.act_argumentcount < 1) return 0;
        if (!Argument(action, 0, self_, other_, count)) return 0;
        return RoundToInt32Saturated(count.val());
    }

    static bool Argument(const CAction& action, int32_t i, CInstance* self, CInstance* other, RValue& value) {
        const auto n = static_cast<size_t>(i);
        if (!action.act_argcode[n]) {
            value = action.act_argvalue[n];
            return true;
        }
        return RunCodeReported(self, other, *action.act_argcode[n], value);
    }

    // The action at p with its applies-to choice; for a question, its answer (true only when
    // it holds for every instance it was applied to).
    bool Applied(size_t p) {
        CurrentEvent().action = static_cast<int32_t>(p);
        const CAction& action = actions_[p];
        const int32_t who = action.act_useapplyto ? action.act_who : kSelfSelector;
        if (who == kSelfSelector) return RunAction(action, self_, other_);
        if (who == kOtherSelector) return other_ ? RunAction(action, other_, self_) : true;
        if (who < 0 || !Objects().Exists(who)) return true;
        CRoom* room = World().Current();
        if (!room) return true;
        const int32_t count = room->Obj_Number_Recursive(who);
        for (int32_t k = 0; k < count && !Requested(); ++k) {
            CInstance* instance = room->Obj_Instance_Recursive(who, k);
            if (!instance || instance->i_marked) continue;
            if (!RunAction(action, instance, other_) && action.act_isquestion) return false;
        }
        return true;
    }

    // Runs one action; a question's answer by its value (act_isnot inverts it).
    static bool RunAction(const CAction& action, CInstance* self, CInstance* other) {
        RValue value;
        bool ran = false;
        const double relative = action.act_userelative && action.act_relative ? 1.0 : 0.0;
        if (action.act_exetype == kExecuteFunction) {
            SetArgumentRelative(relative);
            ran = CallFunction(action, self, other, value);
        } else if (action.act_exetype == kExecuteCode && action.act_codecode) {
            ArgumentSlotsGuard guard(action.act_argumentcount);
            SetArgumentRelative(relative);
            ran = true;
            const int32_t count = std::clamp<int32_t>(action.act_argumentcount, 0, kMaxActionArguments);
            for (int32_t i = 0; i < count && ran; ++i)
                ran = Argument(action, i, self, other, ArgumentSlotForWrite(i));
            if (ran) ran = RunCodeReported(self, other, *action.act_codecode, value);
        }
        if (!action.act_isquestion) return true;
        const bool answer = ran && IsTrue(value.val());
        return action.act_isnot ? !answer : answer;
    }

    static bool CallFunction(const CAction& action, CInstance* self, CInstance* other, RValue& result) {
        if (action.act_functionid < 0) return false;
        RValue args[kMaxArguments];
        const int32_t argc = std::clamp<int32_t>(action.act_argumentcount, 0, kActionCallArguments);
        for (int32_t i = 0; i < argc; ++i)
            if (!Argument(action, i, self, other, args[i])) return false;
        switch (CallCallable(action.act_functionid, self, other, argc, args, result)) {
        case CallOutcome::Called:
            return true;
        case CallOutcome::Failed:
            ReportRunError(LastCodeError(), false);
            ClearCodeError();
            return false;
        case CallOutcome::Missing:
            break;
        }
        return false;
    }

    CInstance* self_;
    CInstance* other_;
    // A view of the list's storage: a list changed while it runs has its storage kept aside
    // (RetireActions), so the view stays valid to the event's end.
    std::span<const CAction> actions_;
    int32_t depth_ = 0;
};

bool ReadEventType(CScriptInstance*, int32_t, RValue& value) {
    value.SetReal(CurrentEvent().active ? CurrentEvent().type : 0);
    return true;
}
bool ReadEventNumber(CScriptInstance*, int32_t, RValue& value) {
    value.SetReal(CurrentEvent().active ? CurrentEvent().number : 0);
    return true;
}
bool ReadEventObject(CScriptInstance*, int32_t, RValue& value) {
    value.SetReal(CurrentEvent().active ? CurrentEvent().object : -1);
    return true;
}
bool ReadEventAction(CScriptInstance*, int32_t, RValue& value) {
    value.SetReal(CurrentEvent().active ? CurrentEvent().action : 0);
    return true;
}

} // namespace

int32_t MaxDispatchNumber(int32_t type) {
    switch (type) {
    case ev_alarm:
        return 12;
    case ev_step:
        return 16;
    case ev_keyboard:
    case ev_keypress:
    case ev_keyrelease:
        return kDispatchKeyCount - 1;
    case ev_mouse:
    case ev_other:
        return 128;
    case ev_trigger:
        return Hooks().trigger_count ? Hooks().trigger_count() - 1 : -1;
    default:
        return 0;
    }
}

void SetDispatchHooks(const DispatchHooks& hooks) {
    Hooks() = hooks;
}

const DispatchHooks& CurrentDispatchHooks() {
    return Hooks();
}

namespace {

// Trigger events are listed by walking each object's chain over the events it has, not over
// every trigger number: a game may hold many trigger slots. An event without actions counts
// as absent, as in the lookup; an object is listed once however many of its ancestors have it.
void AddTriggerObjects(CObjectTable& table, std::vector<std::vector<int32_t>>& byNumber) {
    const int32_t count = table.Count();
    for (int32_t objind = 0; objind < count; ++objind) {
        const CObject* object = table.Get(objind);
        for (int32_t steps = 0; object && steps <= count; ++steps) {
            for (const auto& [number, event] : object->o_events[ev_trigger]) {
                if (event.e_actions.empty() || number < 0 || static_cast<size_t>(number) >= byNumber.size())
                    continue;
                std::vector<int32_t>& list = byNumber[static_cast<size_t>(number)];
                if (list.empty() || list.back() != objind) list.push_back(objind);
            }
            object = table.Get(object->o_parent);
        }
    }
}

} // namespace

void BuildEventLists() {
    EventLists& lists = Lists();
    CObjectTable& table = Objects();
    const int32_t count = table.Count();
    for (int32_t type = 0; type < kEventTypeCount; ++type) {
        auto& byNumber = lists.objects[static_cast<size_t>(type)];
        const int32_t max = type == ev_collision ? -1 : std::max(MaxDispatchNumber(type), -1);
        byNumber.assign(static_cast<size_t>(max + 1), {});
        if (type == ev_collision) continue;
        if (type == ev_trigger) {
            AddTriggerObjects(table, byNumber);
            continue;
        }
        for (int32_t objind = 0; objind < count; ++objind) {
            CObject* object = table.Get(objind);
            if (!object || !object->HasEventRecursive(type)) continue;
            for (size_t number = 0; number < byNumber.size(); ++number)
                if (object->GetEventRecursive(type, static_cast<int32_t>(number)))
                    byNumber[number].push_back(objind);
        }
    }

    // Collision pairs: each event number in an object's chain pairs the object with the named
    // object and all of its descendants. Only existing events are visited, so damaged data
    // naming huge numbers costs nothing.
    std::vector<std::vector<int32_t>> children(static_cast<size_t>(count));
    for (int32_t objind = 0; objind < count; ++objind) {
        const int32_t parent = table.ParentOf(objind);
        if (parent >= 0 && parent < count) children[static_cast<size_t>(parent)].push_back(objind);
    }
    lists.pairs.clear();
    std::vector<uint8_t> seen(static_cast<size_t>(count));
    for (int32_t a = 0; a < count; ++a) {
        std::fill(seen.begin(), seen.end(), 0);
        const CObject* object = table.Get(a);
        for (int32_t steps = 0; object && steps <= count; ++steps) {
            for (const auto& [number, event] : object->o_events[ev_collision]) {
                if (!table.Exists(number) || seen[static_cast<size_t>(number)]) continue;
                std::vector<int32_t> pending{number};
                while (!pending.empty()) {
                    const int32_t b = pending.back();
                    pending.pop_back();
                    if (seen[static_cast<size_t>(b)]) continue;
                    seen[static_cast<size_t>(b)] = 1;
                    lists.pairs.emplace_back(std::min(a, b), std::max(a, b));
                    for (int32_t child : children[static_cast<size_t>(b)]) pending.push_back(child);
                }
            }
            object = table.Get(object->o_parent);
        }
    }
    std::sort(lists.pairs.begin(), lists.pairs.end());
    lists.pairs.erase(std::unique(lists.pairs.begin(), lists.pairs.end()), lists.pairs.end());
}

const std::vector<int32_t>& EventObjects(int32_t type, int32_t number) {
    static const std::vector<int32_t> none;
    if (!IsEventType(type) || number < 0) return none;
    const auto& byNumber = Lists().objects[static_cast<size_t>(type)];
    return static_cast<size_t>(number) < byNumber.size() ? byNumber[static_cast<size_t>(number)] : none;
}

const std::vector<std::pair<int32_t, int32_t>>& CollisionPairs() {
    return Lists().pairs;
}

void PerformObjectEvent(CInstance* self, CInstance* other, int32_t objind, int32_t type, int32_t number) {
    if (Requested() || !self) return;
    CObject* object = Objects().Get(objind);
    if (!object) return;
    int32_t supplier = objind;
    const CEvent* event = object->GetEventRecursive(type, number, &supplier);
    if (event) RunEvent(self, other, *event, supplier, type, number);
}

namespace {

// The storage of the action lists being walked (innermost last), the lists taken out of
// their events meanwhile, and the changes waiting for the walks to end.
struct RunningActions {
    std::vector<const CAction*> walking;
    std::vector<std::vector<CAction>> retired;
    std::vector<std::function<void()>> waiting;
};
RunningActions& Running() {
    static RunningActions running;
    return running;
}

class WalkGuard {
public:
    explicit WalkGuard(const CAction* storage) { Running().walking.push_back(storage); }
    ~WalkGuard() {
        RunningActions& running = Running();
        running.walking.pop_back();
        if (!running.walking.empty()) return;
        // Nothing walks any list now: apply what waited (a change may queue another) and
        // free what was kept.
        while (!running.waiting.empty()) {
            std::vector<std::function<void()>> waiting = std::move(running.waiting);
            running.waiting.clear();
            for (auto& change : waiting) change();
        }
        running.retired.clear();
    }
    WalkGuard(const WalkGuard&) = delete;
    WalkGuard& operator=(const WalkGuard&) = delete;
};

} // namespace

bool ActionsRunning(const std::vector<CAction>& actions) {
    const auto& walking = Running().walking;
    return !actions.empty() && std::find(walking.begin(), walking.end(), actions.data()) != walking.end();
}

bool AnyActionsRunning() {
    return !Running().walking.empty();
}

void RetireActions(std::vector<CAction>& actions) {
    if (Running().walking.empty() || actions.empty()) {
        actions.clear();
        return;
    }
    // Moving a vector keeps its storage where it is, under the walk.
    Running().retired.push_back(std::move(actions));
    actions = std::vector<CAction>();
}

void WhenActionsIdle(std::function<void()> change) {
    if (Running().walking.empty()) {
        change();
        return;
    }
    Running().waiting.push_back(std::move(change));
}

void ResetRunningActions() {
    Running().waiting.clear();
    if (Running().walking.empty()) Running().retired.clear();
}

void RunEvent(CInstance* self, CInstance* other, const CEvent& event, int32_t supplier, int32_t type,
              int32_t number) {
    if (event.e_actions.empty()) return;
    const std::span<const CAction> actions(event.e_actions);
    WalkGuard walk(actions.data());
    EventScope scope({true, type, number, supplier, 0});
    try {
        ActionRunner(self, other, actions).Run();
    } catch (const RunnerFault& fault) {
        // A fault abandons the event; the guards have put back what the actions changed.
        HandleRunnerFault(fault);
    } catch (const std::bad_alloc& fault) {
        // So does running out of memory: what the event built so far is released on the way.
        HandleRunnerFault(fault);
    } catch (const std::length_error& fault) {
        HandleRunnerFault(fault);
    }
}

void Dispatch(int32_t type, int32_t number) {
    ForEventInstances(type, number,
                      [&](CInstance& instance) { PerformEvent(&instance, &instance, type, number); });
}

void DispatchStep(int32_t moment) {
    if (Hooks().triggers) Hooks().triggers(moment);
    if (!Requested()) Dispatch(ev_step, moment);
}

void DispatchAlarms() {
    for (int32_t alarm = 0; alarm < kAlarmCount && !Requested(); ++alarm)
        ForEventInstances(ev_alarm, alarm, [&](CInstance& instance) {
            if (instance.TickAlarm(alarm)) PerformEvent(&instance, &instance, ev_alarm, alarm);
        });
}

void DispatchKeyboard(const InputState& input) {
    struct Kind {
        int32_t type;
        bool (*active)(const InputState&, int32_t);
    };
    static constexpr Kind kKinds[] = {
        {ev_keyboard, [](const InputState& in, int32_t k) { return in.KeyHeld(k) || in.KeyPressed(k); }},
        {ev_keypress, [](const InputState& in, int32_t k) { return in.KeyPressed(k); }},
        {ev_keyrelease, [](const InputState& in, int32_t k) { return in.KeyReleased(k); }},
    };
    for (const Kind& kind : kKinds) {
        bool any = false;
        for (int32_t key = 8; key < kDispatchKeyCount && !Requested(); ++key) {
            if (!kind.active(input, key)) continue;
            any = true;
            Dispatch(kind.type, key);
        }
        if (Requested()) return;
        Dispatch(kind.type, any ? vk_anykey : vk_nokey);
    }
}

void DispatchJoysticks(const InputState& input) {
    constexpr uint32_t kLow = 20000, kHigh = 44000;
    for (int32_t id = 0; id < kJoystickCount && !Requested(); ++id) {
        const JoystickState& joystick = input.Joystick(id);
        if (!joystick.available) continue;
        const int32_t base = id == 0 ? ev_joystick1_left : ev_joystick2_left;
        if (joystick.axis[0] < kLow) Dispatch(ev_mouse, base);
        if (joystick.axis[0] > kHigh) Dispatch(ev_mouse, base + 1);
        if (joystick.axis[1] < kLow) Dispatch(ev_mouse, base + 2);
        if (joystick.axis[1] > kHigh) Dispatch(ev_mouse, base + 3);
        for (int32_t button = 1; button <= 8; ++button)
            if (joystick.button_bits & (1u << (button - 1))) Dispatch(ev_mouse, base + 4 + button);
    }
}

void DispatchMouse(InputState& input) {
    input.mouse_previous_x = input.mouse_x;
    input.mouse_previous_y = input.mouse_y;
    if (Hooks().mouse_to_room) {
        Hooks().mouse_to_room(input);
    } else {
        input.mouse_x = input.window_mouse_x;
        input.mouse_y = input.window_mouse_y;
    }
    const double mx = input.mouse_x, my = input.mouse_y;
    const double px = input.mouse_previous_x, py = input.mouse_previous_y;
    auto underMouse = [&](int32_t number) {
        ForEventInstances(ev_mouse, number, [&](CInstance& instance) {
            if (Contains(instance, mx, my)) PerformEvent(&instance, &instance, ev_mouse, number);
        });
    };
    bool anyButton = false;
    for (int32_t button = 1; button <= 3; ++button) {
        if (!input.ButtonHeld(button) && !input.ButtonPressed(button)) continue;
        anyButton = true;
        underMouse(button - 1);
        Dispatch(ev_mouse, 49 + button);
    }
    if (!anyButton) underMouse(ev_no_button);
    for (int32_t button = 1; button <= 3; ++button) {
        if (!input.ButtonPressed(button)) continue;
        underMouse(button + 3);
        Dispatch(ev_mouse, ev_global_press);
        Dispatch(ev_mouse, 52 + button);
    }
    for (int32_t button = 1; button <= 3; ++button) {
        if (!input.ButtonReleased(button)) continue;
        underMouse(button + 6);
        Dispatch(ev_mouse, ev_global_release);
        Dispatch(ev_mouse, 55 + button);
    }
    ForEventInstances(ev_mouse, ev_mouse_enter, [&](CInstance& instance) {
        if (Contains(instance, mx, my) && !Contains(instance, px, py))
            PerformEvent(&instance, &instance, ev_mouse, ev_mouse_enter);
    });
    ForEventInstances(ev_mouse, ev_mouse_leave, [&](CInstance& instance) {
        if (Contains(instance, px, py) && !Contains(instance, mx, my))
            PerformEvent(&instance, &instance, ev_mouse, ev_mouse_leave);
    });
    if (input.WheelWentUp()) Dispatch(ev_mouse, ev_mouse_wheel_up);
    if (input.WheelWentDown()) Dispatch(ev_mouse, ev_mouse_wheel_down);
}

bool InstanceOutside(const CInstance& instance, double left, double top, double right, double bottom) {
    if (!HasBox(instance))
        return instance.i_x < left || instance.i_x > right || instance.i_y < top || instance.i_y > bottom;
    const RBox& b = instance.i_bbox;
    return b.right < left || b.left > right || b.bottom < top || b.top > bottom;
}

bool InstanceOnBoundary(const CInstance& instance, double left, double top, double right, double bottom) {
    if (!HasBox(instance))
        return instance.i_x < left || instance.i_x > right || instance.i_y < top || instance.i_y > bottom;
    const RBox& b = instance.i_bbox;
    return b.left < left || b.right > right || b.top < top || b.bottom > bottom;
}

void DispatchBoundary() {
    CRoom* room = World().Current();
    if (!room) return;
    auto check = [&](int32_t number, bool (*test)(const CInstance&, double, double, double, double),
                     double left, double top, double right, double bottom) {
        ForEventInstances(ev_other, number, [&](CInstance& instance) {
            if (test(instance, left, top, right, bottom))
                PerformEvent(&instance, &instance, ev_other, number);
        });
    };
    check(ev_outside, InstanceOutside, 0, 0, room->r_width, room->r_height);
    check(ev_boundary, InstanceOnBoundary, 0, 0, room->r_width, room->r_height);
    if (!room->r_enableviews) return;
    for (int32_t v = 0; v < kRoomViewCount && !Requested(); ++v) {
        // Copied: an event may move the view while its instances are judged.
        const CView view = room->r_view[static_cast<size_t>(v)];
        if (!view.visible) continue;
        const double left = view.xview, top = view.yview;
        const double right = left + view.wview, bottom = top + view.hview;
        check(ev_outside_view0 + v, InstanceOutside, left, top, right, bottom);
        check(ev_boundary_view0 + v, InstanceOnBoundary, left, top, right, bottom);
    }
}

namespace {

void GoBack(CInstance& instance) {
    instance.SetPosition(instance.i_xprevious, instance.i_yprevious);
    instance.i_pathposition = instance.i_pathpositionprevious;
}

// i1 and i2 collide: solids go back, both events run, and solids make their move again,
// going back once more if they still collide.
void HandleCollision(CInstance* i1, CInstance* i2) {
    if (i1->i_solid || i2->i_solid) {
        GoBack(*i1);
        GoBack(*i2);
    }
    PerformEvent(i1, i2, ev_collision, i2->i_objectindex);
    if (!i2->i_marked) PerformEvent(i2, i1, ev_collision, i1->i_objectindex);
    if (Requested()) return;
    if (i1->i_solid || i2->i_solid) {
        for (CInstance* instance : {i1, i2}) {
            if (Hooks().advance_path) (void)Hooks().advance_path(*instance);
            instance->SetPosition(instance->i_x + instance->i_hspeed, instance->i_y + instance->i_vspeed);
        }
        if (Collide(*i1, *i2)) {
            GoBack(*i1);
            GoBack(*i2);
        }
    }
}

// The place of the instance with list order `order` in object b's list, between from and
// end: the lists keep the order the room stamped.
int32_t PositionInList(const CRoom& room, int32_t b, uint32_t order, int32_t from, int32_t end) {
    while (from < end) {
        const int32_t mid = from + (end - from) / 2;
        if (room.Obj_Instance(b, mid)->i_listorder < order)
            from = mid + 1;
        else
            end = mid;
    }
    return from;
}

// i1 against object b's instances from list position m up to countB, exactly as the plain
// walk goes, but trying only the instances whose box meets i1's: between two collisions
// nothing changes, so the next one is the first candidate that collides; after one the
// candidates are asked again, as its events may have moved, made or changed anything.
// False when no index answered.
bool CollideThroughIndex(CRoom& room, CInstance* i1, int32_t b, int32_t m, int32_t countB,
                         std::vector<CInstance*>& candidates) {
    bool first = true;
    while (m < countB && !Requested() && !i1->i_marked) {
        const int32_t end = std::min(countB, room.Obj_Number(b));
        if (m >= end) break;
        if (!Hooks().box_candidates(*i1, b, candidates)) {
            if (first) return false;
            break;
        }
        first = false;
        const uint32_t lo = room.Obj_Instance(b, m)->i_listorder;
        const uint32_t hi = room.Obj_Instance(b, end - 1)->i_listorder;
        CInstance* hit = nullptr;
        int32_t at = end;
        for (CInstance* i2 : candidates) {
            if (i2->i_listorder < lo) continue;
            if (i2->i_listorder > hi) break;
            at = PositionInList(room, b, i2->i_listorder, m, end);
            if (at < end && room.Obj_Instance(b, at) == i2 && Collide(*i1, *i2)) {
                hit = i2;
                break;
            }
        }
        if (!hit) break;
        m = at + 1;
        HandleCollision(i1, hit);
    }
    return true;
}

} // namespace

void DispatchCollisions() {
    // A copy: events may change objects and rebuild the pair list.
    const std::vector<std::pair<int32_t, int32_t>> pairs = CollisionPairs();
    std::vector<CInstance*> candidates;
    for (const auto& [a, b] : pairs) {
        CRoom* room = World().Current();
        if (!room || Requested()) return;
        const int32_t countA = room->Obj_Number(a);
        for (int32_t k = 0; k < countA && !Requested(); ++k) {
            CInstance* i1 = room->Obj_Instance(a, k);
            if (!i1 || i1->i_marked) continue;
            const int32_t countB = room->Obj_Number(b);
            const int32_t start = a == b ? k : 0;
            if (Hooks().box_candidates && CollideThroughIndex(*room, i1, b, start, countB, candidates))
                continue;
            for (int32_t m = start; m < countB && !Requested() && !i1->i_marked; ++m) {
                CInstance* i2 = room->Obj_Instance(b, m);
                if (!i2 || !Collide(*i1, *i2)) continue;
                HandleCollision(i1, i2);
                if (Requested()) return;
            }
        }
    }
}


void BindEventVariables() {
    (void)BindBuiltinVariable("event_type", ReadEventType, nullptr);
    (void)BindBuiltinVariable("event_number", ReadEventNumber, nullptr);
    (void)BindBuiltinVariable("event_object", ReadEventObject, nullptr);
    (void)BindBuiltinVariable("event_action", ReadEventAction, nullptr);
}

} // namespace kestrin
