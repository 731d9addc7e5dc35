#include "world/ds_queue.h"

namespace kestrin {

DsTable<CDS_Queue>& CDS_Queue::Table() {
    static DsTable<CDS_Queue> table;
    return table;
}

void CDS_Queue::Clear() {
    i_first = 0;
    i_last = 0;
    i_val.clear();
}

void CDS_Queue::Enqueue(const RValue& value) {
    if (static_cast<size_t>(i_first) >= i_val.size()) {
        if (i_first > INT32_MAX - 16) throw DsLimitFault();
        i_val.resize(static_cast<size_t>(i_first) + 16);
    }
    i_val[static_cast<size_t>(i_first++)] = DsValue(value);
}

RValue CDS_Queue::Dequeue() {
    RValue head;
    if (i_last != i_first) head = i_val[static_cast<size_t>(i_last++)].Value();
    // The removed entries stay behind; once they are the larger part the rest moves to the
    // front, leaving the capacity and the stale entries past the moved ones as they were.
    if (i_last > 16 && i_last > i_first / 2) {
        const int32_t count = i_first - i_last;
        for (int32_t k = 0; k < count; ++k)
            i_val[static_cast<size_t>(k)] = i_val[static_cast<size_t>(k + i_last)];
        i_first -= i_last;
        i_last = 0;
    }
    return head;
}

std::string CDS_Queue::WriteToString() const {
    CStream stream;
    stream.WriteInteger(kHeader);
    stream.WriteInteger(i_first);
    stream.WriteInteger(i_last);
    stream.WriteInteger(static_cast<int32_t>(i_val.size()));
    WriteStoredValues(stream, i_val.data(), i_val.size());
    return StoredText(stream);
}

void CDS_Queue::ReadFields(CStream& stream) {
    const int32_t first = stream.ReadInteger();
    const int32_t last = stream.ReadInteger();
    const int32_t capacity = stream.ReadInteger();
    // A queue whose positions run backwards or past its array cannot be written; refuse it
    // before anything is read into it.
    if (last < 0 || first < last || capacity < first) throw StreamError("queue positions out of range");
    ReadStoredValues(stream, capacity, i_val);
    i_first = first;
    i_last = last;
}

namespace {

using Queue = CDS_Queue;

void ds_queue_enqueue(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (Queue* q = DsFind<Queue>(args[0])) q->Enqueue(args[1]);
}
void ds_queue_dequeue(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (Queue* q = DsFind<Queue>(args[0])) result = q->Dequeue();
}
void ds_queue_head(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Queue* q = DsFind<Queue>(args[0])) result = q->Head();
}
void ds_queue_tail(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Queue* q = DsFind<Queue>(args[0])) result = q->Tail();
}

constexpr RFunctionSpec kFunctions[] = {
    {"ds_queue_create", DsCreate<Queue>, 0},   {"ds_queue_destroy", DsDestroy<Queue>, 1},
    {"ds_queue_clear", DsClear<Queue>, 1},     {"ds_queue_copy", DsCopy<Queue>, 2},
    {"ds_queue_size", DsSize<Queue>, 1},       {"ds_queue_empty", DsEmpty<Queue>, 1},
    {"ds_queue_enqueue", ds_queue_enqueue, 2}, {"ds_queue_dequeue", ds_queue_dequeue, 1},
    {"ds_queue_head", ds_queue_head, 1},       {"ds_queue_tail", ds_queue_tail, 1},
    {"ds_queue_write", DsWrite<Queue>, 1},     {"ds_queue_read", DsRead<Queue>, 2},
};

} // namespace

std::span<const RFunctionSpec> QueueFunctions() {
    return kFunctions;
}

} // namespace kestrin
