#pragma once
// Where variables live and how an instance selector picks them: instance variables,
// globals with their `globalvar` marks, the locals of one run, and built-in variables
// through their routines.
//
// Selectors: -1 self, -2 other, -3 all, -4 noone, -5 global, -6 no instance written,
// -7 local, 0..99999 an object (its instances and its descendants'), 100000+ an instance id.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "script/messages.h"
#include "script/value.h"
#include "script/variable_list.h"
#include "script/variable_names.h"

namespace kestrin {

class CStream;

// Plain constants rather than an enum: selectors are compared with reals (constant nodes).
inline constexpr int32_t kSelfSelector = -1;
inline constexpr int32_t kOtherSelector = -2;
inline constexpr int32_t kAllSelector = -3;
inline constexpr int32_t kNooneSelector = -4;
inline constexpr int32_t kGlobalSelector = -5;
inline constexpr int32_t kUnqualifiedSelector = -6;
inline constexpr int32_t kLocalSelector = -7;
inline constexpr int32_t kFirstInstanceId = 100000;

// The part of an instance the script language needs; the runner's instance class derives
// from it, and built-in variable routines cast back to it.
class CScriptInstance {
public:
    int32_t i_id = 0;
    bool i_marked = false; // destroyed; removed at the next clean-up
    // Set by the runner's instance class, which built-in variables and functions may cast to;
    // the bare instances of `kestrin script` leave it false.
    bool i_isinstance = false;
    CVariableList i_vars;
};

// The instances of the running room, as the room implements them. Positions count every
// instance in the list, destroyed ones included (callers skip those marked); a position past
// the end yields nullptr, so callers stay safe when the list changes while they walk it.
class InstanceWorld {
public:
    virtual ~InstanceWorld() = default;
    virtual size_t InstanceCount() const = 0;
    virtual CScriptInstance* InstanceAt(size_t position) const = 0;
    // The instances of an object and of its descendants, in room order.
    virtual size_t ObjectInstanceCount(int32_t object) const = 0;
    virtual CScriptInstance* ObjectInstanceAt(int32_t object, size_t position) const = 0;
    // The instance with this id, or nullptr when there is none or it is marked destroyed.
    virtual CScriptInstance* FindInstance(int32_t id) const = 0;
};

// The world that selectors look in; none (nullptr) behaves as an empty room.
void SetInstanceWorld(InstanceWorld* world);
InstanceWorld* CurrentInstanceWorld();

// Global variables and the marks made by `globalvar`, one per user variable index.
class CGlobalVariables {
public:
    static constexpr int32_t kVersion = 700;
    static constexpr size_t kInitialMarks = 10000;

    CGlobalVariables() { Init(); }
    // A new empty list and 10000 clear marks (at game start).
    void Init();
    // `globalvar`: marks a user variable and creates it holding the real 0 unless it exists.
    // Built-in indices are ignored.
    void MarkGlobal(int32_t var_ind);
    bool IsMarkedGlobal(int32_t var_ind) const {
        const auto n = static_cast<size_t>(static_cast<uint32_t>(var_ind - kFirstUserVariable));
        return var_ind >= kFirstUserVariable && n < marks_.size() && marks_[n] != 0;
    }
    size_t MarkCount() const { return marks_.size(); }

    CVariableList& List() { return list_; }
    const CVariableList& List() const { return list_; }

    // Stored form: Integer 700, the list, the mark count and the marks as Booleans. Another
    // first Integer reads nothing more and leaves the globals as they were; a damaged record
    // throws StreamError and also leaves them as they were.
    void SaveToStream(CStream& stream) const;
    void LoadFromStream(CStream& stream);

private:
    CVariableList list_;
    std::vector<uint8_t> marks_;
};

// The runner-wide globals.
CGlobalVariables& Globals();
void GlobalsInit();
inline void MarkGlobal(int32_t var_ind) {
    Globals().MarkGlobal(var_ind);
}
inline bool IsMarkedGlobal(int32_t var_ind) {
    return Globals().IsMarkedGlobal(var_ind);
}

// The local variables of one run of code, in numbered slots with an unset state. The
// compiler numbers the variables a piece of code uses as locals and hands the table of
// variable indices to Reset; a selector computed at run time (`s.x` with s = local) finds or
// adds its slot by variable index. The frame can be reused from run to run without
// reallocating.
class CLocals {
public:
    void Reset(std::span<const int32_t> slotVariables = {});
    size_t SlotCount() const { return slots_.size(); }
    // The slot of a variable index, or -1.
    int32_t SlotOf(int32_t var_ind) const;
    // The slot of a variable index, added if needed.
    int32_t SlotFor(int32_t var_ind);

    // Slot numbers given to the accessors below must be under SlotCount().
    // Element `arr_ind` of a slot: false when the slot was never assigned or the element was
    // never created, unless the read-as-zero option is on (then the real 0).
    bool Get(int32_t slot, int32_t arr_ind, RValue& val) const {
        const Slot& s = slots_[static_cast<size_t>(slot)];
        if (s.assigned) {
            if (const RValue* element = s.variable.Element(arr_ind)) {
                val = *element;
                return true;
            }
        }
        return CVariableList::ReadMissing(val);
    }
    void Set(int32_t slot, int32_t arr_ind, const RValue& val) {
        Slot& s = slots_[static_cast<size_t>(slot)];
        s.variable.ElementForWrite(arr_ind) = val;
        s.assigned = true;
    }
    // The value of a slot itself (element 0) for reading in place, or nullptr when unset.
    const RValue* Value(int32_t slot) const {
        const Slot& s = slots_[static_cast<size_t>(slot)];
        return s.assigned ? &s.variable.simplevalue : nullptr;
    }
    // The value of a slot itself for writing in place; the slot counts as assigned.
    RValue& ValueForWrite(int32_t slot) {
        Slot& s = slots_[static_cast<size_t>(slot)];
        s.assigned = true;
        return s.variable.simplevalue;
    }
    const RVariable* Variable(int32_t slot) const {
        const Slot& s = slots_[static_cast<size_t>(slot)];
        return s.assigned ? &s.variable : nullptr;
    }

private:
    struct Slot {
        RVariable variable;
        bool assigned = false;
    };
    std::vector<Slot> slots_;
};

// What code runs with: its self, its other and the locals of the run.
struct RunScope {
    CScriptInstance* self = nullptr;
    CScriptInstance* other = nullptr;
    CLocals* locals = nullptr;
};

// A built-in index goes through the built-in's routines (a read-only one refuses writes);
// any other index reads or writes the instance's list. A null instance refuses.
[[nodiscard]] bool GetBuiltinVar(CScriptInstance* instance, int32_t var_ind, int32_t arr_ind, RValue& val);
[[nodiscard]] bool SetBuiltinVar(CScriptInstance* instance, int32_t var_ind, int32_t arr_ind,
                                 const RValue& val);
[[nodiscard]] inline bool GetInstanceVar(CScriptInstance* instance, int32_t var_ind, int32_t arr_ind,
                                         RValue& val) {
    if (!instance) return false;
    if (var_ind < kMaxBuiltinVariables) return GetBuiltinVar(instance, var_ind, arr_ind, val);
    return instance->i_vars.GetVar(var_ind, arr_ind, val);
}
[[nodiscard]] inline bool SetInstanceVar(CScriptInstance* instance, int32_t var_ind, int32_t arr_ind,
                                         const RValue& val) {
    if (!instance) return false;
    if (var_ind < kMaxBuiltinVariables) return SetBuiltinVar(instance, var_ind, arr_ind, val);
    return instance->i_vars.SetVar(var_ind, arr_ind, val);
}

// Selectors -3 (all), objects and instance ids. Reading takes the first instance that is
// not destroyed; writing writes every one of them (all, object) and ignores a missing id.
[[nodiscard]] bool ReadSelected(int32_t selector, int32_t var_ind, int32_t arr_ind, RValue& val);
[[nodiscard]] bool WriteSelected(int32_t selector, int32_t var_ind, int32_t arr_ind, const RValue& val);

// A variable access by selector, as the interpreter makes it. A failed read is the real 0
// under the read-as-zero option and UnknownVariable otherwise (report it with
// UnknownVariableText(VariableName(var_ind), arr_ind != 0)); a refused write is CannotAssign.
[[nodiscard]] ScriptMessage ReadVariable(const RunScope& scope, int32_t selector, int32_t var_ind,
                                         int32_t arr_ind, RValue& val);
[[nodiscard]] ScriptMessage WriteVariable(const RunScope& scope, int32_t selector, int32_t var_ind,
                                          int32_t arr_ind, const RValue& val);

// The instance part of a variable: a real, rounded, low 32 bits.
[[nodiscard]] ScriptMessage SelectorFromValue(const RValue& value, int32_t& selector);
// One array index: a real, rounded, 0 .. 31999.
[[nodiscard]] ScriptMessage ArrayIndexFromValue(const RValue& value, int32_t& index);
// The element number of [i] or [i, j] (each already checked).
inline int32_t ArrayElement(int32_t i) {
    return i;
}
inline int32_t ArrayElement(int32_t i, int32_t j) {
    return i * kArrayDimension + j;
}

} // namespace kestrin
