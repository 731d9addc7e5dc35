#include "world/trigger.h"

#include <new>
#include <stdexcept>

#include "base/stream.h"
#include "runner/event_dispatch.h"
#include "runner/game_data.h"
#include "runner/game_world.h"
#include "runner/instance.h"
#include "runner/room.h"
#include "script/errors.h"
#include "script/interpreter.h"
#include "world/trigger_messages.h"

namespace kestrin {

namespace {

std::vector<std::unique_ptr<CTrigger>> g_triggers;

bool Requested() {
    return World().room_request != kRequestNone;
}

// Runs the condition for one instance: 1 when it holds, 0 when not, -1 when it failed (the
// error is left in LastCodeError()).
int32_t RunCondition(const CCode& code, CInstance& instance) {
    RValue value;
    try {
        if (!RunCodeValue(&instance, &instance, code, value)) return -1;
    } catch (const RunnerFault& fault) {
        HandleRunnerFault(fault);
        return 0;
    } catch (const std::bad_alloc& fault) {
        HandleRunnerFault(fault);
        return 0;
    } catch (const std::length_error& fault) {
        HandleRunnerFault(fault);
        return 0;
    }
    return value.IsReal() && value.val() >= 0.5 ? 1 : 0;
}

void EvaluateTrigger(int32_t ind, const CTrigger& trigger) {
    if (!trigger.i_code) return;
    // A copy: an event may change objects and rebuild the lists under the loop.
    const std::vector<int32_t> objects = EventObjects(ev_trigger, ind);
    bool reported = false;
    for (int32_t objind : objects) {
        CRoom* room = World().Current();
        if (!room || Requested()) return;
        // The count is taken first, so instances created meanwhile are not asked by this
        // trigger; the current length bounds each access, as the list may shrink.
        const int32_t count = room->Obj_Number(objind);
        for (int32_t k = 0; k < count && !Requested(); ++k) {
            CInstance* instance = room->Obj_Instance(objind, k);
            if (!instance || instance->i_marked) continue;
            const int32_t holds = RunCondition(*trigger.i_code, *instance);
            if (holds < 0) {
                // One report per trigger and moment: a condition failing for a crowd of
                // instances would otherwise raise one error window for each of them.
                if (!reported) {
                    reported = true;
                    ReportError(msg::kTriggerRunError + trigger.i_name + "\r\n" + LastCodeError(), false);
                }
                ClearCodeError();
                continue;
            }
            // A condition that destroyed its own instance leaves it without events.
            if (holds > 0 && !instance->i_marked) PerformEvent(instance, instance, ev_trigger, ind);
        }
    }
}

} // namespace

// ---- The record ----

bool TriggerRecord::LoadFromStream(CStream& in) {
    version = in.ReadInteger();
    if (version != kTriggerVersion) return false;
    name = in.ReadString();
    condition = in.ReadString();
    moment = in.ReadInteger();
    constname = in.ReadString();
    return true;
}

void TriggerRecord::SaveToStream(CStream& out) const {
    out.WriteInteger(version);
    out.WriteString(name);
    out.WriteString(condition);
    out.WriteInteger(moment);
    out.WriteString(constname);
}

// ---- CTrigger ----

void CTrigger::Clear() {
    i_name.clear();
    i_condition.clear();
    i_code.reset();
    i_constname.clear();
    i_moment = 1;
}

void CTrigger::Assign(const TriggerRecord& record) {
    Clear();
    i_name = record.name;
    i_condition = record.condition;
    i_moment = record.moment;
    i_constname = record.constname;
}

bool CTrigger::LoadFromStream(CStream& in) {
    Clear();
    TriggerRecord record;
    if (!record.LoadFromStream(in)) return false;
    Assign(record);
    return true;
}

bool CTrigger::Prepare() {
    i_code = std::make_unique<CCode>(i_condition, false);
    if (i_code->Compile()) return true;
    ReportError(msg::kTriggerCompileError + i_name + "\r" + LastCodeError(), true);
    ClearCodeError();
    return false;
}

// ---- The table ----

int32_t Trigger_Count() {
    return static_cast<int32_t>(g_triggers.size());
}

bool Trigger_Exists(int32_t ind) {
    return Trigger_Get(ind) != nullptr;
}

CTrigger* Trigger_Get(int32_t ind) {
    return ind >= 0 && ind < Trigger_Count() ? g_triggers[static_cast<size_t>(ind)].get() : nullptr;
}

std::string Trigger_GetName(int32_t ind) {
    const CTrigger* trigger = Trigger_Get(ind);
    return trigger ? trigger->i_name : std::string(msg::kTriggerDeleted);
}

int32_t Trigger_FindConstant(std::string_view name) {
    // An empty constant name means the trigger names no constant.
    if (name.empty()) return -1;
    for (int32_t i = 0; i < Trigger_Count(); ++i) {
        const CTrigger* trigger = g_triggers[static_cast<size_t>(i)].get();
        if (trigger && trigger->i_constname == name) return i;
    }
    return -1;
}

int32_t Trigger_Add(std::unique_ptr<CTrigger> trigger) {
    g_triggers.push_back(std::move(trigger));
    return Trigger_Count() - 1;
}

void Trigger_ClearAll() {
    g_triggers.clear();
}

bool Trigger_LoadRecords(const std::vector<RawResource>& records) {
    Trigger_ClearAll();
    for (const RawResource& record : records) {
        std::unique_ptr<CTrigger>& slot = g_triggers.emplace_back();
        if (!record.present) continue;
        slot = std::make_unique<CTrigger>();
        bool loaded = false;
        try {
            CStream in(record.record);
            loaded = slot->LoadFromStream(in);
        } catch (const StreamError&) {
            loaded = false;
        }
        if (!loaded) {
            Trigger_ClearAll();
            return false;
        }
    }
    return true;
}

bool Trigger_PrepareAll() {
    for (const auto& trigger : g_triggers)
        if (trigger && !trigger->Prepare()) return false;
    return true;
}

void Trigger_Evaluate(int32_t moment) {
    // Nothing changes the table while the game runs, so the count holds for the whole pass.
    const int32_t count = Trigger_Count();
    for (int32_t ind = 0; ind < count && !Requested(); ++ind) {
        const CTrigger* trigger = Trigger_Get(ind);
        if (trigger && trigger->i_moment == moment) EvaluateTrigger(ind, *trigger);
    }
}

} // namespace kestrin
