#include "world/ds_map.h"

namespace kestrin {

DsTable<CDS_Map>& CDS_Map::Table() {
    static DsTable<CDS_Map> table;
    return table;
}

void CDS_Map::Clear() {
    i_key.clear();
    i_val.clear();
}

int64_t CDS_Map::LowerIndex(const RValue& k) const {
    int64_t lo = 0, hi = static_cast<int64_t>(i_key.size()) - 1;
    while (hi - lo > 7) {
        const int64_t mid = (lo + hi) / 2;
        if (CompareValues(i_key[static_cast<size_t>(mid)], k) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    for (int64_t a = lo; a <= hi; ++a)
        if (CompareValues(i_key[static_cast<size_t>(a)], k) >= 0) return a;
    return -1;
}

int64_t CDS_Map::UpperIndex(const RValue& k) const {
    int64_t lo = 0, hi = static_cast<int64_t>(i_key.size()) - 1;
    while (hi - lo > 7) {
        const int64_t mid = (lo + hi) / 2;
        if (CompareValues(i_key[static_cast<size_t>(mid)], k) > 0)
            hi = mid - 1;
        else
            lo = mid;
    }
    for (int64_t a = hi; a >= lo; --a)
        if (CompareValues(i_key[static_cast<size_t>(a)], k) <= 0) return a;
    return -1;
}

int64_t CDS_Map::Match(const RValue& key) const {
    const int64_t a = LowerIndex(key);
    return a >= 0 && CompareValues(i_key[static_cast<size_t>(a)], key) == 0 ? a : -1;
}

void CDS_Map::Add(const RValue& key, const RValue& value) {
    const int64_t p = UpperIndex(key) + 1;
    i_key.insert(i_key.begin() + p, key);
    i_val.insert(i_val.begin() + p, value);
}

void CDS_Map::Replace(const RValue& key, const RValue& value) {
    const int64_t a = Match(key);
    if (a >= 0) i_val[static_cast<size_t>(a)] = value;
}

void CDS_Map::Delete(const RValue& key) {
    const int64_t a = Match(key);
    if (a < 0) return;
    i_key.erase(i_key.begin() + a);
    i_val.erase(i_val.begin() + a);
}

RValue CDS_Map::Find(const RValue& key) const {
    const int64_t a = Match(key);
    return a >= 0 ? i_val[static_cast<size_t>(a)] : RValue();
}

RValue CDS_Map::FindPrevious(const RValue& key) const {
    int64_t a = LowerIndex(key);
    a = a == -1 ? static_cast<int64_t>(i_key.size()) - 1 : a - 1;
    return a >= 0 ? i_key[static_cast<size_t>(a)] : RValue();
}

RValue CDS_Map::FindNext(const RValue& key) const {
    const int64_t a = UpperIndex(key) + 1;
    return a < static_cast<int64_t>(i_key.size()) ? i_key[static_cast<size_t>(a)] : RValue();
}

std::string CDS_Map::WriteToString() const {
    CStream stream;
    stream.WriteInteger(kHeader);
    stream.WriteInteger(static_cast<int32_t>(i_key.size()));
    WriteStoredValues(stream, i_key.data(), i_key.size());
    WriteStoredValues(stream, i_val.data(), i_val.size());
    return StoredText(stream);
}

void CDS_Map::ReadFields(CStream& stream) {
    const int32_t count = stream.ReadInteger();
    // Keys and values both follow: the count must fit twice.
    if (count >= 0) stream.CheckCount(2 * static_cast<int64_t>(count), kStoredValueMinBytes);
    ReadStoredValues(stream, count, i_key);
    ReadStoredValues(stream, count, i_val);
}

namespace {

using Map = CDS_Map;

void ds_map_add(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (Map* m = DsFind<Map>(args[0])) m->Add(args[1], args[2]);
}
void ds_map_replace(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (Map* m = DsFind<Map>(args[0])) m->Replace(args[1], args[2]);
}
void ds_map_delete(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    if (Map* m = DsFind<Map>(args[0])) m->Delete(args[1]);
}
void ds_map_exists(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Map* m = DsFind<Map>(args[0])) result.SetReal(m->Exists(args[1]) ? 1.0 : 0.0);
}
void ds_map_find_value(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Map* m = DsFind<Map>(args[0])) result = m->Find(args[1]);
}
void ds_map_find_previous(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Map* m = DsFind<Map>(args[0])) result = m->FindPrevious(args[1]);
}
void ds_map_find_next(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Map* m = DsFind<Map>(args[0])) result = m->FindNext(args[1]);
}
void ds_map_find_first(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Map* m = DsFind<Map>(args[0])) result = m->FindFirst();
}
void ds_map_find_last(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue& result) {
    if (const Map* m = DsFind<Map>(args[0])) result = m->FindLast();
}

constexpr RFunctionSpec kFunctions[] = {
    {"ds_map_create", DsCreate<Map>, 0},
    {"ds_map_destroy", DsDestroy<Map>, 1},
    {"ds_map_clear", DsClear<Map>, 1},
    {"ds_map_copy", DsCopy<Map>, 2},
    {"ds_map_size", DsSize<Map>, 1},
    {"ds_map_empty", DsEmpty<Map>, 1},
    {"ds_map_add", ds_map_add, 3},
    {"ds_map_replace", ds_map_replace, 3},
    {"ds_map_delete", ds_map_delete, 2},
    {"ds_map_exists", ds_map_exists, 2},
    {"ds_map_find_value", ds_map_find_value, 2},
    {"ds_map_find_previous", ds_map_find_previous, 2},
    {"ds_map_find_next", ds_map_find_next, 2},
    {"ds_map_find_first", ds_map_find_first, 1},
    {"ds_map_find_last", ds_map_find_last, 1},
    {"ds_map_write", DsWrite<Map>, 1},
    {"ds_map_read", DsRead<Map>, 2},
};

} // namespace

std::span<const RFunctionSpec> MapFunctions() {
    return kFunctions;
}

} // namespace kestrin
