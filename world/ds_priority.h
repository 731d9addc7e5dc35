#pragma once
// CDS_Priority: (value, priority) pairs in no order; every minimum or maximum is a scan, and
// removal moves the last pair into the gap.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "world/ds_common.h"

namespace kestrin {

class CDS_Priority {
public:
    static constexpr int32_t kHeader = 501;
    static DsTable<CDS_Priority>& Table();

    void Assign(const CDS_Priority& data) { *this = data; }
    void Clear();
    size_t Size() const { return i_val.size(); }
    void Add(const RValue& value, const RValue& priority);
    void Change(const RValue& value, const RValue& priority);
    RValue Find(const RValue& value) const;
    void Delete(const RValue& value);
    RValue DeleteMin() { return Take(Extreme(-1)); }
    RValue FindMin() const { return ValueAt(Extreme(-1)); }
    RValue DeleteMax() { return Take(Extreme(1)); }
    RValue FindMax() const { return ValueAt(Extreme(1)); }

    std::string WriteToString() const;
    DsReadStatus ReadFromString(std::string_view text) { return ReadStoredText(*this, text); }
    void ReadFields(CStream& stream);

    // Always of equal length.
    std::vector<DsValue> i_val;
    std::vector<DsValue> i_priority;

private:
    // The first pair in array order with the smallest (sign -1) or largest (sign 1) priority,
    // or -1 when empty.
    int64_t Extreme(int sign) const;
    int64_t Match(const RValue& value) const;
    RValue ValueAt(int64_t m) const { return m >= 0 ? i_val[static_cast<size_t>(m)].Value() : RValue(); }
    RValue Take(int64_t m);
};

std::span<const RFunctionSpec> PriorityFunctions();

} // namespace kestrin
