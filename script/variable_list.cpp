#include "script/variable_list.h"

#include <stdexcept>

#include "base/stream.h"

namespace kestrin {

namespace {

bool g_unknownAsZero = false;

// The smallest stored sizes, used to check counts against the bytes left.
constexpr size_t kStoredValueMin = 4 + 8 + 4;
constexpr size_t kStoredVariableMin = 4 + kStoredValueMin + 4;

} // namespace

bool UnknownVariablesReadAsZero() {
    return g_unknownAsZero;
}
void SetUnknownVariablesReadAsZero(bool on) {
    g_unknownAsZero = on;
}

RValue& RVariable::GrowTo(size_t row, size_t column) {
    // Callers check element numbers first; a negative or oversized one here is a bug, and
    // must not become a wild write.
    if (row >= kArrayDimension || column >= kArrayDimension)
        throw std::out_of_range("array element out of range");
    if (row >= value.size()) value.resize(row + 1);
    std::vector<RValue>& r = value[row];
    if (column >= r.size()) r.resize(column + 1);
    return r[column];
}

void CVariableList::Clear() {
    v_vars.clear();
    buckets_.clear();
}

void CVariableList::Assign(const CVariableList& other) {
    v_vars = other.v_vars;
    buckets_ = other.buckets_;
}

RVariable& CVariableList::Append(int32_t var_ind) {
    if ((v_vars.size() + 1) * 2 > buckets_.size()) Rehash(buckets_.empty() ? 16 : buckets_.size() * 2);
    const auto slot = static_cast<int32_t>(v_vars.size());
    RVariable& v = v_vars.emplace_back();
    v.ind = var_ind;
    const uint32_t mask = static_cast<uint32_t>(buckets_.size() - 1);
    uint32_t i = Hash(var_ind) & mask;
    while (buckets_[i].key != kEmpty) i = (i + 1) & mask;
    buckets_[i] = {var_ind, slot};
    return v;
}

void CVariableList::Rehash(size_t capacity) {
    buckets_.assign(capacity, Bucket{kEmpty, -1});
    const uint32_t mask = static_cast<uint32_t>(capacity - 1);
    for (size_t s = 0; s < v_vars.size(); ++s) {
        uint32_t i = Hash(v_vars[s].ind) & mask;
        while (buckets_[i].key != kEmpty) i = (i + 1) & mask;
        buckets_[i] = {v_vars[s].ind, static_cast<int32_t>(s)};
    }
}

bool CVariableList::ReadMissing(RValue& val) {
    if (!g_unknownAsZero) return false;
    val.SetReal(0.0);
    return true;
}

void CVariableList::Init(int32_t var_ind) {
    if (Lookup(var_ind) < 0) Append(var_ind);
}

void CVariableList::SaveToStream(CStream& stream) const {
    stream.WriteInteger(kVariableListVersion);
    stream.WriteInteger(v_numb());
    for (const RVariable& v : v_vars) {
        stream.WriteInteger(v.ind);
        v.simplevalue.SaveToStream(stream);
        stream.WriteInteger(static_cast<int32_t>(v.value.size()));
        for (const std::vector<RValue>& row : v.value) {
            stream.WriteInteger(static_cast<int32_t>(row.size()));
            for (const RValue& element : row) element.SaveToStream(stream);
        }
    }
}

void CVariableList::LoadFromStream(CStream& stream) {
    Clear();
    if (stream.ReadInteger() != kVariableListVersion) return;
    CVariableList loaded;
    const size_t count = stream.CheckCount(stream.ReadInteger(), kStoredVariableMin);
    // Sized once for every variable (the count is bounded by the bytes present above).
    if (count > 0) {
        loaded.v_vars.reserve(count);
        size_t buckets = 16;
        while ((count + 1) * 2 > buckets) buckets *= 2;
        loaded.Rehash(buckets);
    }
    for (size_t n = 0; n < count; ++n) {
        const int32_t ind = stream.ReadInteger();
        // User variables, and built-in indices stored through `global.` or `local.`.
        if (ind < 0) throw StreamError("invalid variable index in variable list");
        // A repeated index (never written by the runner) overwrites the earlier variable,
        // which keeps every index unique in the list.
        RVariable& v = loaded.Variable(ind);
        v.value.clear();
        v.simplevalue.LoadFromStream(stream);
        const int32_t rows = stream.ReadInteger();
        if (rows > kArrayDimension) throw StreamError("too many rows in variable list");
        v.value.resize(stream.CheckCount(rows, 4));
        for (std::vector<RValue>& row : v.value) {
            const int32_t elements = stream.ReadInteger();
            if (elements > kArrayDimension) throw StreamError("too many elements in variable list row");
            row.resize(stream.CheckCount(elements, kStoredValueMin));
            for (RValue& element : row) element.LoadFromStream(stream);
        }
    }
    *this = std::move(loaded);
}

} // namespace kestrin
