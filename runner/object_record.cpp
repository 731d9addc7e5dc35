#include "runner/object_record.h"

#include "base/stream.h"

namespace kestrin {

bool ActionRecord::LoadFromStream(CStream& in) {
    if (in.ReadInteger() != kActionVersion) return false;
    if (!ReadFields<ActionRecord>(in, *this, kActionFields, kActionVersion)) return false;
    return argumentcount >= 0 && argumentcount <= kMaxActionArguments;
}

void ActionRecord::SaveToStream(CStream& out) const {
    out.WriteInteger(kActionVersion);
    WriteFields<ActionRecord>(out, *this, kActionFields, kActionVersion);
}

bool ReadEventRecord(CStream& in, EventRecord& event) {
    event.version = in.ReadInteger();
    event.actions.clear();
    if (event.version != kEventVersion) return true;
    // Each action takes well over 4 bytes, so the check bounds the allocation.
    event.actions.resize(in.CheckCount(in.ReadInteger(), 4));
    for (ActionRecord& action : event.actions)
        if (!action.LoadFromStream(in)) return false;
    return true;
}

void WriteEventRecord(CStream& out, const EventRecord& event) {
    out.WriteInteger(event.version);
    if (event.version != kEventVersion) return;
    out.WriteInteger(static_cast<int32_t>(event.actions.size()));
    for (const ActionRecord& action : event.actions) action.SaveToStream(out);
}

bool ObjectRecord::LoadFromStream(CStream& in) {
    version = in.ReadInteger();
    if (version != kObjectVersion) return false;
    if (!ReadFields<ObjectRecord>(in, *this, kObjectFields, version)) return false;
    lasttype = in.ReadInteger();
    if (lasttype >= kEventTypeCount) return false;
    for (auto& list : events) list.clear();
    for (int32_t type = 0; type <= lasttype; ++type) {
        for (;;) {
            int32_t number = in.ReadInteger();
            if (number == -1) break;
            if (number < -1) return false;
            EventRecord& event = events[static_cast<size_t>(type)].emplace_back();
            event.number = number;
            if (!ReadEventRecord(in, event)) return false;
        }
    }
    return true;
}

void ObjectRecord::SaveToStream(CStream& out) const {
    out.WriteInteger(version);
    WriteFields<ObjectRecord>(out, *this, kObjectFields, version);
    out.WriteInteger(lasttype);
    for (int32_t type = 0; type <= lasttype && type < kEventTypeCount; ++type) {
        for (const EventRecord& event : events[static_cast<size_t>(type)]) {
            out.WriteInteger(event.number);
            WriteEventRecord(out, event);
        }
        out.WriteInteger(-1);
    }
}

} // namespace kestrin
