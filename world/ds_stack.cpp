#include "world/ds_stack.h"

#include <array>

namespace kestrin {

DsTable<CDS_Stack>& CDS_Stack::Table() {
    static DsTable<CDS_Stack> table;
    return table;
}

RValue CDS_Stack::Pop() {
    if (i_val.empty()) return RValue();
    RValue top = i_val.back().Value();
    i_val.pop_back();
    return top;
}

std::string CDS_Stack::WriteToString() const {
    CStream stream;
    stream.WriteInteger(kHeader);
    stream.WriteInteger(static_cast<int32_t>(i_val.size()));
    WriteStoredValues(stream, i_val.data(), i_val.size());
    return StoredText(stream);
}

void CDS_Stack::ReadFields(CStream& stream) {
    ReadStoredValues(stream, stream.ReadInteger(), i_val);
}

namespace {

using Stack = CDS_Stack;

void ds_stack_push(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (Stack* s = DsFind<Stack>(args[0])) s->Push(args[1]);
}
void ds_stack_pop(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (Stack* s = DsFind<Stack>(args[0])) result = s->Pop();
}
void ds_stack_top(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Stack* s = DsFind<Stack>(args[0])) result = s->Top();
}

constexpr RFunctionSpec kFunctions[] = {
    {"ds_stack_create", DsCreate<Stack>, 0}, {"ds_stack_destroy", DsDestroy<Stack>, 1},
    {"ds_stack_clear", DsClear<Stack>, 1},   {"ds_stack_copy", DsCopy<Stack>, 2},
    {"ds_stack_size", DsSize<Stack>, 1},     {"ds_stack_empty", DsEmpty<Stack>, 1},
    {"ds_stack_push", ds_stack_push, 2},     {"ds_stack_pop", ds_stack_pop, 1},
    {"ds_stack_top", ds_stack_top, 1},       {"ds_stack_write", DsWrite<Stack>, 1},
    {"ds_stack_read", DsRead<Stack>, 2},
};

} // namespace

std::span<const RFunctionSpec> StackFunctions() {
    return kFunctions;
}

} // namespace kestrin
