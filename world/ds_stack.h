#pragma once
// CDS_Stack: values bottom first, top last.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "world/ds_common.h"

namespace kestrin {

class CDS_Stack {
public:
    static constexpr int32_t kHeader = 101;
    static DsTable<CDS_Stack>& Table();

    void Assign(const CDS_Stack& data) { i_val = data.i_val; }
    void Clear() { i_val.clear(); }
    size_t Size() const { return i_val.size(); }
    void Push(const RValue& value) { i_val.emplace_back(value); }
    RValue Pop();
    RValue Top() const { return i_val.empty() ? RValue() : i_val.back().Value(); }

    std::string WriteToString() const;
    DsReadStatus ReadFromString(std::string_view text) { return ReadStoredText(*this, text); }
    void ReadFields(CStream& stream);

    std::vector<DsValue> i_val;
};

std::span<const RFunctionSpec> StackFunctions();

} // namespace kestrin
