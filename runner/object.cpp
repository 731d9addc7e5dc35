#include "runner/object.h"

#include "script/callable.h"

#include <algorithm>

#include "base/stream.h"
#include "runner/game_data.h"
#include "runner/messages.h"
#include "script/errors.h"
#include "script/registry.h"
#include "script/scripts.h"

namespace kestrin {

namespace {

// Argument kinds that are always taken literally, and the one that is literal unless quoted.
constexpr int32_t kArgumentString = 1;
constexpr int32_t kArgumentStringOrExpression = 2;
constexpr int32_t kArgumentText = 15;
constexpr int32_t kArgumentConstant = -1;

void ReportCompileFailure(const std::string& text) {
    ReportError(RunErrorText(text, true), true);
}

} // namespace

// ---- CAction ----

void CAction::Create(int32_t kind) {
    Clear();
    act_kind = kind;
}

void CAction::CreateCode(std::string_view code) {
    Create(kActionCode);
    act_exetype = kExecuteCode;
    act_argumentcount = 1;
    act_argstring[0] = std::string(code);
}

void CAction::Clear() {
    for (auto& text : act_argstring) text.clear();
    for (auto& code : act_argcode) code.reset();
    for (auto& value : act_argvalue) value.Clear();
    act_functionid = -1;
}

void CAction::Assign(const ActionRecord& r) {
    Clear();
    act_libid = r.libid;
    act_id = r.id;
    act_kind = r.kind;
    act_userelative = r.userelative;
    act_isquestion = r.isquestion;
    act_useapplyto = r.useapplyto;
    act_exetype = r.exetype;
    act_functionname = r.function;
    act_codestring = r.code;
    act_codecode.reset();
    // The record refuses counts above 8; the arrays are bounded again here for records made
    // in memory.
    act_argumentcount = std::clamp(r.argumentcount, 0, kMaxActionArguments);
    act_argtype.fill(0);
    for (size_t i = 0; i < r.argtypes.size() && i < act_argtype.size(); ++i) act_argtype[i] = r.argtypes[i];
    act_who = r.who;
    act_relative = r.relative;
    for (size_t i = 0; i < r.args.size() && i < act_argstring.size(); ++i) act_argstring[i] = r.args[i];
    act_isnot = r.isnot;
}

void CAction::ResolveFunction() {
    act_functionid = -1;
    if (act_functionname.empty()) return;
    if (!FindCallable(act_functionname, act_functionid)) act_functionid = -1;
}

bool CAction::Compile() {
    if (act_kind == kActionVariable) {
        act_codestring = act_argstring[0] + (act_relative ? " += " : " = ") + act_argstring[1];
        act_kind = kActionNormal;
        act_exetype = kExecuteCode;
        act_argumentcount = 0;
    } else if (act_kind == kActionCode) {
        act_codestring = act_argstring[0];
        act_kind = kActionNormal;
        act_exetype = kExecuteCode;
        act_argumentcount = 0;
    }
    // The texts that made the code are not needed any more.
    if (act_kind == kActionNormal && act_argumentcount == 0)
        for (auto& text : act_argstring) std::string().swap(text);
    if (act_exetype == kExecuteCode) {
        act_codecode = std::make_unique<CCode>(act_codestring, false);
        if (!act_codecode->Compile()) {
            ReportCompileFailure(msg::kCodeActionCompile + LastCodeError());
            ClearCodeError();
            return false;
        }
    }
    act_codestring.clear();
    act_codestring.shrink_to_fit();
    for (auto& code : act_argcode) code.reset();
    for (int32_t i = 0; i < act_argumentcount; ++i) {
        const auto n = static_cast<size_t>(i);
        std::string& text = act_argstring[n];
        int32_t& kind = act_argtype[n];
        bool literal = kind == kArgumentString || kind == kArgumentText;
        if (kind == kArgumentStringOrExpression)
            literal = text.empty() || (text[0] != '"' && text[0] != '\'');
        if (literal) {
            act_argvalue[n] = RValue(std::string_view(text));
            kind = kArgumentConstant;
        } else {
            auto code = std::make_unique<CCode>(text, true);
            if (!code->Compile()) {
                ReportCompileFailure(msg::kArgumentCompile + std::to_string(i) + "\r" + LastCodeError());
                ClearCodeError();
                return false;
            }
            if (code->i_kind == kCodeConstant) {
                act_argvalue[n] = code->i_value;
                kind = kArgumentConstant;
            } else {
                act_argcode[n] = std::move(code);
                kind = 0;
            }
        }
        text.clear();
        text.shrink_to_fit();
    }
    return true;
}

// ---- CEvent ----

void CEvent::AddCodeAction(std::string_view code) {
    e_actions.emplace_back().CreateCode(code);
}

void CEvent::Assign(const EventRecord& record) {
    Clear();
    if (record.version != kEventVersion) return;
    e_actions.resize(record.actions.size());
    for (size_t i = 0; i < record.actions.size(); ++i) e_actions[i].Assign(record.actions[i]);
}

bool CEvent::Compile() {
    for (size_t i = 0; i < e_actions.size(); ++i) {
        CurrentEvent().action = static_cast<int32_t>(i);
        if (!e_actions[i].Compile()) return false;
    }
    return true;
}

// ---- CObject ----

void CObject::Clear() {
    o_spriteindex = -1;
    o_solid = false;
    o_visible = true;
    o_depth = 0;
    o_persistent = false;
    o_parent = -1;
    o_mask = -1;
    for (auto& list : o_events) list.clear();
}

CEvent* CObject::CreateEvent(int32_t etype, int32_t enumb) {
    if (!IsEventType(etype) || enumb < 0) return nullptr;
    return &o_events[static_cast<size_t>(etype)][enumb];
}

void CObject::Assign(const ObjectRecord& r) {
    Clear();
    o_spriteindex = r.spriteindex;
    o_solid = r.solid;
    o_visible = r.visible;
    o_depth = r.depth;
    o_persistent = r.persistent;
    o_parent = r.parent;
    o_mask = r.mask;
    for (int32_t type = 0; type <= r.lasttype && type < kEventTypeCount; ++type)
        for (const EventRecord& event : r.events[static_cast<size_t>(type)])
            if (CEvent* e = CreateEvent(type, event.number)) e->Assign(event);
}

bool CObject::LoadFromStream(CStream& in) {
    ObjectRecord record;
    if (!record.LoadFromStream(in)) return false;
    Assign(record);
    return true;
}

void CObject::ResolveFunctions(const std::function<void(const std::string&)>& missing) {
    for (auto& list : o_events)
        for (auto& [number, event] : list)
            for (CAction& action : event.e_actions) {
                action.ResolveFunction();
                if (action.act_exetype == kExecuteFunction && action.act_functionid < 0 && missing)
                    missing(msg::kMissingActionFunction + action.act_functionname);
            }
}

bool CObject::Compile(int32_t index) {
    for (int32_t type = 0; type < kEventTypeCount; ++type)
        for (auto& [number, event] : o_events[static_cast<size_t>(type)]) {
            EventScope scope({true, type, number, index, 0});
            if (!event.Compile()) return false;
        }
    return true;
}

CEvent* CObject::GetEventDirect(int32_t etype, int32_t enumb) {
    if (!IsEventType(etype)) return nullptr;
    auto& list = o_events[static_cast<size_t>(etype)];
    const auto it = list.find(enumb);
    return it == list.end() || it->second.e_actions.empty() ? nullptr : &it->second;
}

bool CObject::HasEventDirect(int32_t etype) const {
    if (!IsEventType(etype)) return false;
    for (const auto& [number, event] : o_events[static_cast<size_t>(etype)])
        if (!event.e_actions.empty()) return true;
    return false;
}

namespace {

// Walks the chain from `object` (itself first) and answers the first direct event.
CEvent* FindInChain(CObject* object, int32_t index, int32_t etype, int32_t enumb, int32_t* supplier) {
    const CObjectTable& table = Objects();
    for (int32_t steps = 0; object && steps <= table.Count(); ++steps) {
        if (CEvent* event = object->GetEventDirect(etype, enumb)) {
            if (supplier) *supplier = index;
            return event;
        }
        index = object->o_parent;
        object = table.Get(index);
    }
    return nullptr;
}

} // namespace

CEvent* CObject::GetEventRecursive(int32_t etype, int32_t enumb, int32_t* supplier) {
    if (CEvent* event = FindInChain(this, index_, etype, enumb, supplier)) return event;
    const CObjectTable& table = Objects();
    if (etype != ev_collision || !table.Exists(enumb)) return nullptr;
    int32_t ancestor = table.ParentOf(enumb);
    for (int32_t steps = 0; ancestor >= 0 && steps < table.Count(); ++steps) {
        if (CEvent* event = FindInChain(this, index_, etype, ancestor, supplier)) return event;
        ancestor = table.ParentOf(ancestor);
    }
    return nullptr;
}

bool CObject::HasEventRecursive(int32_t etype) {
    const CObjectTable& table = Objects();
    const CObject* object = this;
    for (int32_t steps = 0; object && steps <= table.Count(); ++steps) {
        if (object->HasEventDirect(etype)) return true;
        object = table.Get(object->o_parent);
    }
    return false;
}

bool CObject::IsDecendentOf(int32_t objind) const {
    const CObjectTable& table = Objects();
    int32_t parent = o_parent;
    for (int32_t steps = 0; steps < table.Count() && table.Exists(parent); ++steps) {
        if (parent == objind) return true;
        parent = table.ParentOf(parent);
    }
    return false;
}

// ---- The object table ----

void CObjectTable::Clear() {
    slots_.clear();
}

int32_t CObjectTable::Add(std::string_view name, std::unique_ptr<CObject> object) {
    const auto index = static_cast<int32_t>(slots_.size());
    if (object) object->index_ = index;
    slots_.push_back({object ? std::string(name) : std::string(), std::move(object)});
    return index;
}

int32_t CObjectTable::AddNew() {
    const int32_t index = Count();
    return Add("__newobject" + std::to_string(index), std::make_unique<CObject>());
}

bool CObjectTable::Delete(int32_t index) {
    if (!Exists(index)) return false;
    Slot& slot = slots_[static_cast<size_t>(index)];
    slot.object.reset();
    slot.name.clear();
    return true;
}

std::string_view CObjectTable::Name(int32_t index) const {
    return Exists(index) ? std::string_view(slots_[static_cast<size_t>(index)].name)
                         : std::string_view(msg::kUndefinedName);
}

int32_t CObjectTable::Find(std::string_view name) const {
    for (size_t i = 0; i < slots_.size(); ++i)
        if (slots_[i].object && slots_[i].name == name) return static_cast<int32_t>(i);
    return -1;
}

int32_t CObjectTable::ParentOf(int32_t index) const {
    const CObject* object = Get(index);
    return object && Exists(object->o_parent) ? object->o_parent : -1;
}

CObjectTable& Objects() {
    static CObjectTable table;
    return table;
}

bool LoadObjects(const std::vector<RawResource>& records) {
    CObjectTable& table = Objects();
    table.Clear();
    for (const RawResource& raw : records) {
        if (!raw.present) {
            table.Add("", nullptr);
            continue;
        }
        CStream in(raw.record);
        auto object = std::make_unique<CObject>();
        try {
            if (!object->LoadFromStream(in)) return false;
        } catch (const RunnerFault&) {
            return false;
        }
        table.Add(raw.name, std::move(object));
    }
    return true;
}

bool CompileObjects(const std::function<void(const std::string&)>& show) {
    CObjectTable& table = Objects();
    for (int32_t i = 0; i < table.Count(); ++i)
        if (CObject* object = table.Get(i)) object->ResolveFunctions(show);
    for (int32_t i = 0; i < table.Count(); ++i)
        if (CObject* object = table.Get(i); object && !object->Compile(i)) return false;
    return true;
}

} // namespace kestrin
