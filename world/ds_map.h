#pragma once
// CDS_Map: pairs kept in ascending key order in two arrays, equal keys in the order they
// were added. Searches halve the range until at most eight keys are left, then scan.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "world/ds_common.h"

namespace kestrin {

class CDS_Map {
public:
    static constexpr int32_t kHeader = 401;
    static DsTable<CDS_Map>& Table();

    void Assign(const CDS_Map& data) { *this = data; }
    void Clear();
    size_t Size() const { return i_key.size(); }
    void Add(const RValue& key, const RValue& value);
    void Replace(const RValue& key, const RValue& value);
    void Delete(const RValue& key);
    bool Exists(const RValue& key) const { return Match(key) >= 0; }
    RValue Find(const RValue& key) const;
    RValue FindPrevious(const RValue& key) const;
    RValue FindNext(const RValue& key) const;
    RValue FindFirst() const { return i_key.empty() ? RValue() : i_key.front(); }
    RValue FindLast() const { return i_key.empty() ? RValue() : i_key.back(); }

    // The first position whose key is >= k, and the last whose key is <= k; -1 when none.
    int64_t LowerIndex(const RValue& k) const;
    int64_t UpperIndex(const RValue& k) const;

    std::string WriteToString() const;
    DsReadStatus ReadFromString(std::string_view text) { return ReadStoredText(*this, text); }
    void ReadFields(CStream& stream);

    // Always of equal length.
    std::vector<RValue> i_key;
    std::vector<RValue> i_val;

private:
    // The position of the first pair whose key equals key, or -1.
    int64_t Match(const RValue& key) const;
};

std::span<const RFunctionSpec> MapFunctions();

} // namespace kestrin
