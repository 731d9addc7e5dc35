#pragma once
// Objects, their events and actions: the templates of instances. An object names a sprite,
// a mask, a depth, flags, a parent and, per event type, the events it reacts to; an event
// is a list of actions; an action calls a function or runs code. Actions are compiled once
// at load. The object table is runner-wide, as the script table is.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runner/event_table.h"
#include "runner/game_data.h"
#include "runner/object_record.h"
#include "script/code.h"
#include "script/value.h"

namespace kestrin {

class CStream;

class CAction {
public:
    int32_t act_libid = 0;
    int32_t act_id = 0;
    int32_t act_kind = kActionNormal;
    bool act_userelative = false;
    bool act_isquestion = false;
    bool act_useapplyto = false;
    int32_t act_exetype = kExecuteNothing;
    int32_t act_functionid = -1;
    // The stored function name, kept for resolving and for messages.
    std::string act_functionname;
    std::string act_codestring;
    std::unique_ptr<CCode> act_codecode;
    int32_t act_argumentcount = 0;
    // -1 after compilation: the argument is the constant in act_argvalue.
    std::array<int32_t, kMaxActionArguments> act_argtype{};
    int32_t act_who = -1;
    bool act_relative = false;
    std::array<std::string, kMaxActionArguments> act_argstring;
    std::array<RValue, kMaxActionArguments> act_argvalue;
    std::array<std::unique_ptr<CCode>, kMaxActionArguments> act_argcode;
    bool act_isnot = false;

    void Create(int32_t kind);
    // A code action (kind 7, run code) whose first argument is the text.
    void CreateCode(std::string_view code);
    void Clear();
    void Assign(const ActionRecord& record);
    // Resolves act_functionname: scripts, then extension functions, then built-ins; -1 when
    // nothing has that name.
    void ResolveFunction();
    // Reports its own failure (fatal) with the current event context; false then.
    [[nodiscard]] bool Compile();
    void Destroy() { Clear(); }
};

class CEvent {
public:
    std::vector<CAction> e_actions;
    int32_t e_number() const { return static_cast<int32_t>(e_actions.size()); }

    void Create() { Clear(); }
    void Clear() { e_actions.clear(); }
    void AddCodeAction(std::string_view code);
    void Assign(const EventRecord& record);
    // Compiles every action, publishing the action number for messages.
    [[nodiscard]] bool Compile();
    void Destroy() { Clear(); }
};

class CObject {
public:
    int32_t o_spriteindex = -1;
    bool o_solid = false;
    bool o_visible = true;
    int32_t o_depth = 0;
    bool o_persistent = false;
    int32_t o_parent = -1;
    int32_t o_mask = -1;
    // Per type, the events by number (a map: numbers such as collision object indices are
    // sparse, and damaged data may name any number).
    std::array<std::map<int32_t, CEvent>, kEventTypeCount> o_events;

    void Create() { Clear(); }
    void Clear();
    void Destroy() { Clear(); }
    // Nothing for a type outside 0..11 or a negative number.
    CEvent* CreateEvent(int32_t etype, int32_t enumb);
    void Assign(const ObjectRecord& record);
    // The object record; false for a damaged one.
    [[nodiscard]] bool LoadFromStream(CStream& in);
    // Resolves the function names of every action (after scripts are known); each name that
    // resolves to nothing is passed to `missing`.
    void ResolveFunctions(const std::function<void(const std::string&)>& missing);
    // `index` is published with the type and number being compiled, for messages.
    [[nodiscard]] bool Compile(int32_t index);

    CEvent* GetEventDirect(int32_t etype, int32_t enumb);
    bool HasEventDirect(int32_t etype) const;
    // Through the parent chain (and, for collisions, through the other object's ancestors).
    // `supplier` receives the index of the object in this chain that holds the event.
    CEvent* GetEventRecursive(int32_t etype, int32_t enumb, int32_t* supplier = nullptr);
    bool HasEventRecursive(int32_t etype);
    // True when objind is the parent, the parent's parent, ...; never for the object itself.
    bool IsDecendentOf(int32_t objind) const;

private:
    friend class CObjectTable;
    int32_t index_ = -1;
};

// The object table: slots indexed from 0, each an object or empty, with names.
class CObjectTable {
public:
    void Clear();
    // Appends a slot; `object` null makes an empty one. Answers the index.
    int32_t Add(std::string_view name, std::unique_ptr<CObject> object);
    // A new empty object named "__newobject" + index.
    int32_t AddNew();
    bool Delete(int32_t index);

    int32_t Count() const { return static_cast<int32_t>(slots_.size()); }
    bool Exists(int32_t index) const { return Get(index) != nullptr; }
    CObject* Get(int32_t index) const {
        return index >= 0 && index < Count() ? slots_[static_cast<size_t>(index)].object.get() : nullptr;
    }
    // "<undefined>" for an empty or out-of-range slot.
    std::string_view Name(int32_t index) const;
    int32_t Find(std::string_view name) const;

    // The parent of an existing object, or -1. Chains are walked at most Count() steps, so a
    // cycle in the data (or made at run time) ends the walk instead of looping.
    int32_t ParentOf(int32_t index) const;

private:
    struct Slot {
        std::string name;
        std::unique_ptr<CObject> object;
    };
    std::vector<Slot> slots_;
};

CObjectTable& Objects();

// Builds the object table from the objects section's records; false on a damaged record.
[[nodiscard]] bool LoadObjects(const std::vector<RawResource>& records);
// Resolves every action's function (reporting names that resolve to nothing through `show`)
// and compiles every object in index order; false after the first compilation failure.
[[nodiscard]] bool CompileObjects(const std::function<void(const std::string&)>& show);

} // namespace kestrin
