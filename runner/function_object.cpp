#include "runner/function_object.h"

#include <memory>
#include <string>

#include "base/numeric.h"
#include "runner/event_dispatch.h"
#include "runner/messages.h"
#include "runner/object.h"
#include "script/builtin_args.h"
#include "script/errors.h"
#include "script/run_error.h"
#include "script/value.h"

namespace kestrin {

namespace {

using namespace builtin_args;


CObject* Arg(Args a, int i) {
    return Objects().Get(I(a, i));
}

template <typename Get> void Number(Args a, RValue& r, Get get) {
    const CObject* object = Arg(a, 0);
    r.SetReal(object ? double(get(*object)) : -1.0);
}

ROUTINE(object_exists) {
    r.SetReal(Objects().Exists(I(a, 0)) ? 1 : 0);
}
ROUTINE(object_get_name) {
    r.SetString(Objects().Name(I(a, 0)));
}
ROUTINE(object_get_sprite) {
    Number(a, r, [](const CObject& o) { return o.o_spriteindex; });
}
ROUTINE(object_get_solid) {
    Number(a, r, [](const CObject& o) { return o.o_solid ? 1 : 0; });
}
ROUTINE(object_get_visible) {
    Number(a, r, [](const CObject& o) { return o.o_visible ? 1 : 0; });
}
ROUTINE(object_get_depth) {
    Number(a, r, [](const CObject& o) { return o.o_depth; });
}
ROUTINE(object_get_persistent) {
    Number(a, r, [](const CObject& o) { return o.o_persistent ? 1 : 0; });
}
ROUTINE(object_get_mask) {
    Number(a, r, [](const CObject& o) { return o.o_mask; });
}
ROUTINE(object_get_parent) {
    Number(a, r, [](const CObject& o) { return o.o_parent; });
}

// Walks at most the table's size: a cycle in the game data ends the walk. A missing ind2
// (such as -1, the parent of a root) is no ancestor.
ROUTINE(object_is_ancestor) {
    const CObjectTable& table = Objects();
    const int32_t ind1 = I(a, 0), ind2 = I(a, 1);
    if (!table.Exists(ind1)) return r.SetReal(-1);
    r.SetReal(table.Exists(ind2) && table.Get(ind1)->IsDecendentOf(ind2) ? 1 : 0);
}

// The sprite and mask are stored unchecked; instances resolve them by index when used.
ROUTINE(object_set_sprite) {
    if (CObject* o = Arg(a, 0)) o->o_spriteindex = I(a, 1);
}
ROUTINE(object_set_depth) {
    if (CObject* o = Arg(a, 0)) o->o_depth = I(a, 1);
}
ROUTINE(object_set_mask) {
    if (CObject* o = Arg(a, 0)) o->o_mask = I(a, 1);
}
ROUTINE(object_set_solid) {
    if (CObject* o = Arg(a, 0)) o->o_solid = B(a, 1);
}
ROUTINE(object_set_visible) {
    if (CObject* o = Arg(a, 0)) o->o_visible = B(a, 1);
}
ROUTINE(object_set_persistent) {
    if (CObject* o = Arg(a, 0)) o->o_persistent = B(a, 1);
}

ROUTINE(object_set_parent) {
    CObjectTable& table = Objects();
    const int32_t ind = I(a, 0), par = I(a, 1);
    CObject* object = table.Get(ind);
    if (!object) return;
    if (par < 0) {
        object->o_parent = -1;
    } else if (!table.Exists(par)) {
        return ReportRunError(msg::kParentMissing, false);
    } else if (par == ind || table.Get(par)->IsDecendentOf(ind)) {
        return ReportRunError(msg::kParentCycle, false);
    } else {
        object->o_parent = par;
    }
    BuildEventLists();
}

ROUTINE(object_add) {
    r.SetReal(Objects().AddNew());
}

ROUTINE(object_delete) {
    CObjectTable& table = Objects();
    const int32_t ind = I(a, 0);
    CObject* object = table.Get(ind);
    if (!object) return ReportRunError(msg::kObjectDeleteMissing, false);
    // The object may be deleted from one of its own events: its action lists outlive it.
    for (auto& list : object->o_events)
        for (auto& [number, event] : list) RetireActions(event.e_actions);
    (void)table.Delete(ind);
    BuildEventLists();
    r.SetReal(1);
}

ROUTINE(object_event_clear) {
    CObject* object = Arg(a, 0);
    if (!object) return;
    CEvent* event = object->GetEventDirect(I(a, 1), I(a, 2));
    if (!event) return;
    // An event may clear itself: the running list stays alive to its end.
    RetireActions(event->e_actions);
    BuildEventLists();
}

// Appends an action already compiled to the event of object ind, made if needed.
void AppendAction(int32_t ind, int32_t type, int32_t number, CAction& action) {
    CObject* object = Objects().Get(ind);
    if (!object) return;
    if (CEvent* event = object->CreateEvent(type, number)) {
        event->e_actions.push_back(std::move(action));
        BuildEventLists();
    }
}

ROUTINE(object_event_add) {
    const int32_t ind = I(a, 0), type = I(a, 1), number = I(a, 2);
    CObject* object = Arg(a, 0);
    if (!object) return;
    CEvent* event = object->CreateEvent(type, number);
    if (!event) return;
    CAction action;
    action.CreateCode(a[3].str());
    {
        // A compile error names the event being given the code.
        EventScope scope({true, type, number, ind, event->e_number()});
        // An action that does not compile is not kept: it has no code to run.
        if (!action.Compile()) return;
    }
    // Appending may move the list's storage, so not while this very list runs.
    if (!ActionsRunning(event->e_actions)) return AppendAction(ind, type, number, action);
    auto held = std::make_shared<CAction>(std::move(action));
    WhenActionsIdle([ind, type, number, held] { AppendAction(ind, type, number, *held); });
}

#undef ROUTINE

constexpr RFunctionSpec kFunctions[] = {
    {"object_name", object_get_name, 1},
    {"object_exists", object_exists, 1},
    {"object_get_name", object_get_name, 1},
    {"object_get_sprite", object_get_sprite, 1},
    {"object_get_solid", object_get_solid, 1},
    {"object_get_visible", object_get_visible, 1},
    {"object_get_depth", object_get_depth, 1},
    {"object_get_persistent", object_get_persistent, 1},
    {"object_get_mask", object_get_mask, 1},
    {"object_get_parent", object_get_parent, 1},
    {"object_is_ancestor", object_is_ancestor, 2},
    {"object_set_sprite", object_set_sprite, 2},
    {"object_set_solid", object_set_solid, 2},
    {"object_set_visible", object_set_visible, 2},
    {"object_set_depth", object_set_depth, 2},
    {"object_set_persistent", object_set_persistent, 2},
    {"object_set_mask", object_set_mask, 2},
    {"object_set_parent", object_set_parent, 2},
    {"object_add", object_add, 0},
    {"object_delete", object_delete, 1},
    {"object_event_clear", object_event_clear, 3},
    {"object_event_add", object_event_add, 4},
};

} // namespace

std::span<const RFunctionSpec> ObjectFunctions() {
    return kFunctions;
}

} // namespace kestrin
