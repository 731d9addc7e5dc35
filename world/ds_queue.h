#pragma once
// CDS_Queue: an array written at i_first and read at i_last. Its stored text holds the whole
// array, so the capacity follows the growth and compaction rules exactly.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "world/ds_common.h"

namespace kestrin {

class CDS_Queue {
public:
    static constexpr int32_t kHeader = 201;
    static DsTable<CDS_Queue>& Table();

    void Assign(const CDS_Queue& data) { *this = data; }
    void Clear();
    size_t Size() const { return static_cast<size_t>(i_first - i_last); }
    void Enqueue(const RValue& value);
    RValue Dequeue();
    RValue Head() const { return i_first == i_last ? RValue() : i_val[static_cast<size_t>(i_last)].Value(); }
    RValue Tail() const {
        return i_first == i_last ? RValue() : i_val[static_cast<size_t>(i_first - 1)].Value();
    }

    std::string WriteToString() const;
    DsReadStatus ReadFromString(std::string_view text) { return ReadStoredText(*this, text); }
    void ReadFields(CStream& stream);

    // 0 <= i_last <= i_first <= i_val.size() at all times.
    int32_t i_first = 0;
    int32_t i_last = 0;
    std::vector<DsValue> i_val;
};

std::span<const RFunctionSpec> QueueFunctions();

} // namespace kestrin
