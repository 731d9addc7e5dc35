#pragma once
// CDS_List: values in list order, inserted and deleted by moving the later ones.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "world/ds_common.h"
#include "world/ds_sort.h"

namespace kestrin {

class CDS_List {
public:
    static constexpr int32_t kHeader = 301;
    static DsTable<CDS_List>& Table();

    void Assign(const CDS_List& data) { i_val = data.i_val; }
    void Clear() { i_val.clear(); }
    size_t Size() const { return i_val.size(); }
    void Add(const RValue& value) { i_val.emplace_back(value); }
    // Positions outside the list do nothing (Insert also takes the size: an append).
    void Insert(int64_t ind, const RValue& value);
    void Replace(int64_t ind, const RValue& value);
    void Delete(int64_t ind);
    // The lowest position whose value compares equal, or -1.
    int64_t Find(const RValue& value) const;
    RValue GetValue(int64_t ind) const;
    void Sort(DsSortOrder order) { SortValues(i_val, order); }
    void Shuffle();

    std::string WriteToString() const;
    DsReadStatus ReadFromString(std::string_view text) { return ReadStoredText(*this, text); }
    void ReadFields(CStream& stream);

    std::vector<DsValue> i_val;
};

std::span<const RFunctionSpec> ListFunctions();

} // namespace kestrin
