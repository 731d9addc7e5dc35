#pragma once
// A record kind's scalar fields, described once in stored order. One table drives the
// game-data reader and writer (here), the project files (tools/project_fields.h) and, where
// a field is also a built-in variable, its binding; a new field is one new line. What is not
// a scalar (lists, nested records, fields split or merged on the way) stays code beside the
// table.

#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "base/stream.h"

namespace kestrin {

// An integer that project files write by name.
struct FieldName {
    const char* name;
    int32_t value;
};

// How project files show a field that is not a plain value.
enum class FieldForm : uint8_t {
    Plain,
    // A 32-bit word holding a colour in the low 24 bits and alpha x 255 in the high 8,
    // written as the two fields "blend" and "alpha".
    BlendAlpha,
};

template <class T> struct RecordField {
    using Member = std::variant<bool T::*, int32_t T::*, uint32_t T::*, double T::*, std::string T::*,
                                std::vector<int32_t> T::*, std::vector<std::string> T::*>;

    const char* key; // its name in project files
    Member member;
    int32_t since = 0;                     // the first record version that stores it
    std::span<const FieldName> names = {}; // an integer written by name in project files
    FieldForm form = FieldForm::Plain;
    const char* required = nullptr; // project files must give it; says what is expected
    const char* variable = nullptr; // the built-in variable that reads and writes it
    int32_t limit = 0;              // a list holds at most this many entries
};

template <class V> inline constexpr bool kIsFieldList = false;
template <class E> inline constexpr bool kIsFieldList<std::vector<E>> = true;

namespace record_fields_detail {
inline void Read(CStream& in, bool& v) {
    v = in.ReadBoolean();
}
inline void Read(CStream& in, int32_t& v) {
    v = in.ReadInteger();
}
inline void Read(CStream& in, uint32_t& v) {
    v = in.ReadWord();
}
inline void Read(CStream& in, double& v) {
    v = in.ReadReal();
}
inline void Read(CStream& in, std::string& v) {
    v = in.ReadString();
}
// A list is its count, then its entries; a count beyond the limit is damage.
template <class Entry> bool ReadList(CStream& in, std::vector<Entry>& list, int32_t limit) {
    const int32_t count = in.ReadInteger();
    if (count < 0 || count > limit) return false;
    list.assign(in.CheckCount(count, 4), Entry());
    for (Entry& e : list) Read(in, e);
    return true;
}
inline void Write(CStream& out, bool v) {
    out.WriteBoolean(v);
}
inline void Write(CStream& out, int32_t v) {
    out.WriteInteger(v);
}
inline void Write(CStream& out, uint32_t v) {
    out.WriteWord(v);
}
inline void Write(CStream& out, double v) {
    out.WriteReal(v);
}
inline void Write(CStream& out, const std::string& v) {
    out.WriteString(v);
}
template <class Entry> void Write(CStream& out, const std::vector<Entry>& list) {
    out.WriteInteger(static_cast<int32_t>(list.size()));
    for (const Entry& e : list) Write(out, e);
}
} // namespace record_fields_detail

// The fields a record of this version stores, in order. False for a list longer than its
// limit; StreamError when cut short.
template <class T>
[[nodiscard]] bool ReadFields(CStream& in, T& record, std::span<const RecordField<T>> fields,
                              int32_t version) {
    for (const RecordField<T>& f : fields) {
        if (version < f.since) continue;
        const bool read = std::visit(
            [&](auto member) {
                auto& value = record.*member;
                if constexpr (kIsFieldList<std::remove_cvref_t<decltype(value)>>) {
                    return record_fields_detail::ReadList(in, value, f.limit);
                } else {
                    record_fields_detail::Read(in, value);
                    return true;
                }
            },
            f.member);
        if (!read) return false;
    }
    return true;
}

template <class T>
void WriteFields(CStream& out, const T& record, std::span<const RecordField<T>> fields, int32_t version) {
    for (const RecordField<T>& f : fields)
        if (version >= f.since)
            std::visit([&](auto member) { record_fields_detail::Write(out, record.*member); }, f.member);
}

// False when a real field holds an infinity or NaN, which project files cannot show.
template <class T> bool FiniteFields(const T& record, std::span<const RecordField<T>> fields) {
    for (const RecordField<T>& f : fields)
        if (auto* member = std::get_if<double T::*>(&f.member); member && !std::isfinite(record.*(*member)))
            return false;
    return true;
}

} // namespace kestrin
