#include "world/ds_priority.h"

namespace kestrin {

DsTable<CDS_Priority>& CDS_Priority::Table() {
    static DsTable<CDS_Priority> table;
    return table;
}

void CDS_Priority::Clear() {
    i_val.clear();
    i_priority.clear();
}

void CDS_Priority::Add(const RValue& value, const RValue& priority) {
    i_val.emplace_back(value);
    i_priority.emplace_back(priority);
}

int64_t CDS_Priority::Match(const RValue& value) const {
    for (size_t b = 0; b < i_val.size(); ++b)
        if (CompareValues(i_val[b], value) == 0) return static_cast<int64_t>(b);
    return -1;
}

void CDS_Priority::Change(const RValue& value, const RValue& priority) {
    const int64_t m = Match(value);
    if (m >= 0) i_priority[static_cast<size_t>(m)] = DsValue(priority);
}

RValue CDS_Priority::Find(const RValue& value) const {
    const int64_t m = Match(value);
    return m >= 0 ? i_priority[static_cast<size_t>(m)].Value() : RValue();
}

void CDS_Priority::Delete(const RValue& value) {
    (void)Take(Match(value));
}

int64_t CDS_Priority::Extreme(int sign) const {
    if (i_priority.empty()) return -1;
    size_t m = 0;
    for (size_t b = 1; b < i_priority.size(); ++b)
        if (CompareValues(i_priority[b], i_priority[m]) * sign > 0) m = b;
    return static_cast<int64_t>(m);
}

RValue CDS_Priority::Take(int64_t m) {
    if (m < 0) return RValue();
    const size_t at = static_cast<size_t>(m);
    RValue value = i_val[at].Value();
    if (at + 1 != i_val.size()) {
        i_val[at] = std::move(i_val.back());
        i_priority[at] = std::move(i_priority.back());
    }
    i_val.pop_back();
    i_priority.pop_back();
    return value;
}

std::string CDS_Priority::WriteToString() const {
    CStream stream;
    stream.WriteInteger(kHeader);
    stream.WriteInteger(static_cast<int32_t>(i_val.size()));
    WriteStoredValues(stream, i_priority.data(), i_priority.size());
    WriteStoredValues(stream, i_val.data(), i_val.size());
    return StoredText(stream);
}

void CDS_Priority::ReadFields(CStream& stream) {
    const int32_t count = stream.ReadInteger();
    // Priorities and values both follow: the count must fit twice.
    if (count >= 0) stream.CheckCount(2 * static_cast<int64_t>(count), kStoredValueMinBytes);
    ReadStoredValues(stream, count, i_priority);
    ReadStoredValues(stream, count, i_val);
}

namespace {

using Priority = CDS_Priority;

void ds_priority_add(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (Priority* p = DsFind<Priority>(args[0])) p->Add(args[1], args[2]);
}
void ds_priority_change_priority(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (Priority* p = DsFind<Priority>(args[0])) p->Change(args[1], args[2]);
}
void ds_priority_find_priority(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args,
                               RValue& result) {
    if (const Priority* p = DsFind<Priority>(args[0])) result = p->Find(args[1]);
}
void ds_priority_delete_value(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (Priority* p = DsFind<Priority>(args[0])) p->Delete(args[1]);
}
void ds_priority_delete_min(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (Priority* p = DsFind<Priority>(args[0])) result = p->DeleteMin();
}
void ds_priority_find_min(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Priority* p = DsFind<Priority>(args[0])) result = p->FindMin();
}
void ds_priority_delete_max(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (Priority* p = DsFind<Priority>(args[0])) result = p->DeleteMax();
}
void ds_priority_find_max(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Priority* p = DsFind<Priority>(args[0])) result = p->FindMax();
}

constexpr RFunctionSpec kFunctions[] = {
    {"ds_priority_create", DsCreate<Priority>, 0},
    {"ds_priority_destroy", DsDestroy<Priority>, 1},
    {"ds_priority_clear", DsClear<Priority>, 1},
    {"ds_priority_copy", DsCopy<Priority>, 2},
    {"ds_priority_size", DsSize<Priority>, 1},
    {"ds_priority_empty", DsEmpty<Priority>, 1},
    {"ds_priority_add", ds_priority_add, 3},
    {"ds_priority_change_priority", ds_priority_change_priority, 3},
    {"ds_priority_find_priority", ds_priority_find_priority, 2},
    {"ds_priority_delete_value", ds_priority_delete_value, 2},
    {"ds_priority_delete_min", ds_priority_delete_min, 1},
    {"ds_priority_find_min", ds_priority_find_min, 1},
    {"ds_priority_delete_max", ds_priority_delete_max, 1},
    {"ds_priority_find_max", ds_priority_find_max, 1},
    {"ds_priority_write", DsWrite<Priority>, 1},
    {"ds_priority_read", DsRead<Priority>, 2},
};

} // namespace

std::span<const RFunctionSpec> PriorityFunctions() {
    return kFunctions;
}

} // namespace kestrin
