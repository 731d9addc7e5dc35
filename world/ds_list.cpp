#include "world/ds_list.h"

#include <utility>

#include "base/numeric.h"

namespace kestrin {

DsTable<CDS_List>& CDS_List::Table() {
    static DsTable<CDS_List> table;
    return table;
}

void CDS_List::Insert(int64_t ind, const RValue& value) {
    if (ind < 0 || static_cast<uint64_t>(ind) > i_val.size()) return;
    i_val.insert(i_val.begin() + ind, DsValue(value));
}

void CDS_List::Replace(int64_t ind, const RValue& value) {
    if (ind < 0 || static_cast<uint64_t>(ind) >= i_val.size()) return;
    i_val[static_cast<size_t>(ind)] = DsValue(value);
}

void CDS_List::Delete(int64_t ind) {
    if (ind < 0 || static_cast<uint64_t>(ind) >= i_val.size()) return;
    i_val.erase(i_val.begin() + ind);
}

int64_t CDS_List::Find(const RValue& value) const {
    for (size_t i = 0; i < i_val.size(); ++i)
        if (CompareValues(i_val[i], value) == 0) return static_cast<int64_t>(i);
    return -1;
}

RValue CDS_List::GetValue(int64_t ind) const {
    if (ind < 0 || static_cast<uint64_t>(ind) >= i_val.size()) return RValue();
    return i_val[static_cast<size_t>(ind)].Value();
}

void CDS_List::Shuffle() {
    const int64_t n = static_cast<int64_t>(i_val.size());
    for (int64_t k = 8 * n; k > 0; --k) {
        const int64_t a = DsDrawBelow(n);
        const int64_t b = DsDrawBelow(n);
        std::swap(i_val[static_cast<size_t>(a)], i_val[static_cast<size_t>(b)]);
    }
}

std::string CDS_List::WriteToString() const {
    CStream stream;
    stream.WriteInteger(kHeader);
    stream.WriteInteger(static_cast<int32_t>(i_val.size()));
    WriteStoredValues(stream, i_val.data(), i_val.size());
    return StoredText(stream);
}

void CDS_List::ReadFields(CStream& stream) {
    ReadStoredValues(stream, stream.ReadInteger(), i_val);
}

namespace {

using List = CDS_List;

void ds_list_add(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (List* l = DsFind<List>(args[0])) l->Add(args[1]);
}
void ds_list_insert(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (List* l = DsFind<List>(args[0])) l->Insert(DsInteger(args[1]), args[2]);
}
void ds_list_replace(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (List* l = DsFind<List>(args[0])) l->Replace(DsInteger(args[1]), args[2]);
}
void ds_list_delete(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (List* l = DsFind<List>(args[0])) l->Delete(DsInteger(args[1]));
}
void ds_list_find_index(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const List* l = DsFind<List>(args[0])) result.SetReal(static_cast<double>(l->Find(args[1])));
}
void ds_list_find_value(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const List* l = DsFind<List>(args[0])) result = l->GetValue(DsInteger(args[1]));
}
void ds_list_sort(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (List* l = DsFind<List>(args[0]))
        l->Sort(IsTrue(args[1].val()) ? DsSortOrder::Ascending : DsSortOrder::Descending);
}
void ds_list_shuffle(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (List* l = DsFind<List>(args[0])) l->Shuffle();
}

constexpr RFunctionSpec kFunctions[] = {
    {"ds_list_create", DsCreate<List>, 0},
    {"ds_list_destroy", DsDestroy<List>, 1},
    {"ds_list_clear", DsClear<List>, 1},
    {"ds_list_copy", DsCopy<List>, 2},
    {"ds_list_size", DsSize<List>, 1},
    {"ds_list_empty", DsEmpty<List>, 1},
    {"ds_list_add", ds_list_add, 2},
    {"ds_list_insert", ds_list_insert, 3},
    {"ds_list_replace", ds_list_replace, 3},
    {"ds_list_delete", ds_list_delete, 2},
    {"ds_list_find_index", ds_list_find_index, 2},
    {"ds_list_find_value", ds_list_find_value, 2},
    {"ds_list_sort", ds_list_sort, 2},
    {"ds_list_shuffle", ds_list_shuffle, 1},
    {"ds_list_write", DsWrite<List>, 1},
    {"ds_list_read", DsRead<List>, 2},
};

} // namespace

std::span<const RFunctionSpec> ListFunctions() {
    return kFunctions;
}

} // namespace kestrin
