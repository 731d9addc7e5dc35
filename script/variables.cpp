#include "script/variables.h"

#include "base/stream.h"
#include "base/numeric.h"

namespace kestrin {

namespace {

InstanceWorld* g_world = nullptr;

bool Usable(const CScriptInstance* instance) {
    return instance && !instance->i_marked;
}

CScriptInstance* FirstOf(const InstanceWorld& world, int32_t selector) {
    if (selector == kAllSelector) {
        for (size_t i = 0, n = world.InstanceCount(); i < n; ++i)
            if (CScriptInstance* inst = world.InstanceAt(i); Usable(inst)) return inst;
        return nullptr;
    }
    for (size_t i = 0, n = world.ObjectInstanceCount(selector); i < n; ++i)
        if (CScriptInstance* inst = world.ObjectInstanceAt(selector, i); Usable(inst)) return inst;
    return nullptr;
}

} // namespace

void SetInstanceWorld(InstanceWorld* world) {
    g_world = world;
}
InstanceWorld* CurrentInstanceWorld() {
    return g_world;
}

// ---- Globals ----

void CGlobalVariables::Init() {
    list_.Clear();
    marks_.assign(kInitialMarks, 0);
}

void CGlobalVariables::MarkGlobal(int32_t var_ind) {
    if (var_ind < kFirstUserVariable) return;
    const auto n = static_cast<size_t>(var_ind - kFirstUserVariable);
    // Grown with headroom so that a run of new names does not grow it each time.
    if (n >= marks_.size()) marks_.resize(n + 1000, 0);
    marks_[n] = 1;
    list_.Init(var_ind);
}

void CGlobalVariables::SaveToStream(CStream& stream) const {
    stream.WriteInteger(kVersion);
    list_.SaveToStream(stream);
    // Marks past the last one set read as unset anyway; the table's headroom (ten thousand
    // names at the start) would otherwise fill every saved game with 40 KB of false.
    size_t count = marks_.size();
    while (count > 0 && marks_[count - 1] == 0) --count;
    stream.WriteInteger(static_cast<int32_t>(count));
    for (size_t n = 0; n < count; ++n) stream.WriteBoolean(marks_[n] != 0);
}

void CGlobalVariables::LoadFromStream(CStream& stream) {
    if (stream.ReadInteger() != kVersion) return;
    CVariableList list;
    list.LoadFromStream(stream);
    std::vector<uint8_t> marks(stream.CheckCount(stream.ReadInteger(), 4));
    for (uint8_t& mark : marks) mark = stream.ReadBoolean() ? 1 : 0;
    list_ = std::move(list);
    marks_ = std::move(marks);
}

CGlobalVariables& Globals() {
    static CGlobalVariables globals;
    return globals;
}

void GlobalsInit() {
    Globals().Init();
}

// ---- Locals ----

void CLocals::Reset(std::span<const int32_t> slotVariables) {
    slots_.resize(slotVariables.size());
    for (size_t i = 0; i < slots_.size(); ++i) {
        Slot& s = slots_[i];
        s.variable.ind = slotVariables[i];
        s.variable.simplevalue.Clear();
        s.variable.value.clear();
        s.assigned = false;
    }
}

int32_t CLocals::SlotOf(int32_t var_ind) const {
    for (size_t i = 0; i < slots_.size(); ++i)
        if (slots_[i].variable.ind == var_ind) return static_cast<int32_t>(i);
    return -1;
}

int32_t CLocals::SlotFor(int32_t var_ind) {
    const int32_t slot = SlotOf(var_ind);
    if (slot >= 0) return slot;
    slots_.emplace_back().variable.ind = var_ind;
    return static_cast<int32_t>(slots_.size() - 1);
}

// ---- Instance access ----

bool GetBuiltinVar(CScriptInstance* instance, int32_t var_ind, int32_t arr_ind, RValue& val) {
    const RBuiltinVariable* builtin = BuiltinVariable(var_ind);
    return builtin && builtin->read && builtin->read(instance, arr_ind, val);
}

bool SetBuiltinVar(CScriptInstance* instance, int32_t var_ind, int32_t arr_ind, const RValue& val) {
    const RBuiltinVariable* builtin = BuiltinVariable(var_ind);
    return builtin && builtin->writable && builtin->write && builtin->write(instance, arr_ind, val);
}

bool ReadSelected(int32_t selector, int32_t var_ind, int32_t arr_ind, RValue& val) {
    if (!g_world || (selector < 0 && selector != kAllSelector)) return false;
    CScriptInstance* inst =
        selector >= kFirstInstanceId ? g_world->FindInstance(selector) : FirstOf(*g_world, selector);
    return Usable(inst) && GetInstanceVar(inst, var_ind, arr_ind, val);
}

bool WriteSelected(int32_t selector, int32_t var_ind, int32_t arr_ind, const RValue& val) {
    if (selector < 0 && selector != kAllSelector) return false;
    if (!g_world) return true;
    const InstanceWorld& world = *g_world;
    if (selector >= kFirstInstanceId) {
        // Writing to an instance that no longer exists is silently ignored.
        CScriptInstance* inst = world.FindInstance(selector);
        return !Usable(inst) || SetInstanceVar(inst, var_ind, arr_ind, val);
    }
    // The count is taken first: instances that the writes create are not visited, and a
    // position that no longer exists yields nothing.
    bool answer = true;
    if (selector == kAllSelector) {
        for (size_t i = 0, n = world.InstanceCount(); i < n; ++i)
            if (CScriptInstance* inst = world.InstanceAt(i); Usable(inst))
                answer = SetInstanceVar(inst, var_ind, arr_ind, val);
    } else {
        for (size_t i = 0, n = world.ObjectInstanceCount(selector); i < n; ++i)
            if (CScriptInstance* inst = world.ObjectInstanceAt(selector, i); Usable(inst))
                answer = SetInstanceVar(inst, var_ind, arr_ind, val);
    }
    return answer;
}

ScriptMessage ReadVariable(const RunScope& scope, int32_t selector, int32_t var_ind, int32_t arr_ind,
                           RValue& val) {
    bool ok;
    switch (selector) {
    case kLocalSelector: {
        const int32_t slot = scope.locals ? scope.locals->SlotOf(var_ind) : -1;
        ok = slot >= 0 && scope.locals->Get(slot, arr_ind, val);
        break;
    }
    case kUnqualifiedSelector:
        ok = IsMarkedGlobal(var_ind) ? Globals().List().GetVar(var_ind, arr_ind, val)
                                     : GetInstanceVar(scope.self, var_ind, arr_ind, val);
        break;
    case kGlobalSelector:
        ok = Globals().List().GetVar(var_ind, arr_ind, val);
        break;
    case kNooneSelector:
        ok = false;
        break;
    case kOtherSelector:
        ok = GetInstanceVar(scope.other, var_ind, arr_ind, val);
        break;
    case kSelfSelector:
        ok = GetInstanceVar(scope.self, var_ind, arr_ind, val);
        break;
    default:
        ok = ReadSelected(selector, var_ind, arr_ind, val);
        break;
    }
    if (ok) return ScriptMessage::None;
    if (UnknownVariablesReadAsZero()) {
        val.SetReal(0.0);
        return ScriptMessage::None;
    }
    return ScriptMessage::UnknownVariable;
}

ScriptMessage WriteVariable(const RunScope& scope, int32_t selector, int32_t var_ind, int32_t arr_ind,
                            const RValue& val) {
    if (arr_ind < 0 || arr_ind > kMaxArrayElement) return ScriptMessage::CannotAssign;
    bool ok;
    switch (selector) {
    case kLocalSelector:
        ok = scope.locals != nullptr;
        if (ok) scope.locals->Set(scope.locals->SlotFor(var_ind), arr_ind, val);
        break;
    case kUnqualifiedSelector:
        ok = IsMarkedGlobal(var_ind) ? Globals().List().SetVar(var_ind, arr_ind, val)
                                     : SetInstanceVar(scope.self, var_ind, arr_ind, val);
        break;
    case kGlobalSelector:
        ok = Globals().List().SetVar(var_ind, arr_ind, val);
        break;
    case kNooneSelector:
        ok = false;
        break;
    case kOtherSelector:
        ok = SetInstanceVar(scope.other, var_ind, arr_ind, val);
        break;
    case kSelfSelector:
        ok = SetInstanceVar(scope.self, var_ind, arr_ind, val);
        break;
    default:
        ok = WriteSelected(selector, var_ind, arr_ind, val);
        break;
    }
    return ok ? ScriptMessage::None : ScriptMessage::CannotAssign;
}

ScriptMessage SelectorFromValue(const RValue& value, int32_t& selector) {
    if (!value.IsReal()) return ScriptMessage::WrongTypeVariableIndex;
    selector = RoundToInt32(value.val());
    return ScriptMessage::None;
}

ScriptMessage ArrayIndexFromValue(const RValue& value, int32_t& index) {
    if (!value.IsReal()) return ScriptMessage::WrongTypeArrayIndex;
    // The full 64-bit value is checked, so 2^32 + 5 is not taken for 5.
    const int64_t i = RoundToInt64(value.val());
    if (i < 0) return ScriptMessage::NegativeArrayIndex;
    if (i >= kArrayDimension) return ScriptMessage::ArrayIndexTooLarge;
    index = static_cast<int32_t>(i);
    return ScriptMessage::None;
}

} // namespace kestrin
