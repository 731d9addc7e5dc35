#pragma once
// A record's field table (base/record_fields.h) turned into project-file fields and back.
// Project files hold every field whatever the record's version; the version only decides
// what the game data stores.

#include <cmath>
#include <span>
#include <type_traits>

#include "tools/project_json.h"
#include "tools/project_kinds.h"

namespace kestrin::project {

template <class T, class Entry>
void LoadList(JsonObject& json, const RecordField<T>& f, std::vector<Entry>& list,
              const ResourceFiles* files) {
    if (!json.Has(f.key)) return;
    const Json& entries = json.Array(f.key);
    if (entries.size() > static_cast<size_t>(f.limit))
        json.Fail(f.key, "expected at most " + std::to_string(f.limit) + " entries");
    list.clear();
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string field = ElementPath(json.Field(f.key), i);
        if constexpr (std::is_same_v<Entry, int32_t>) {
            list.push_back(AsInt(entries[i], json.File(), field));
        } else if (entries[i].is_object() && files) {
            JsonObject file(entries[i], json.File(), field);
            list.push_back(TextFromBytes(files->Read(file, "file")));
            file.Finish();
        } else {
            list.push_back(AsString(entries[i], json.File(), field));
        }
    }
}

// The reference entry of a field, or nullptr.
inline const ReferenceField* FindReference(std::span<const ReferenceField> refs, const char* key) {
    for (const ReferenceField& r : refs)
        if (std::string_view(r.key) == key) return &r;
    return nullptr;
}

// Whether every reference field of the record holds a value the reader accepts.
template <class T>
bool ReferencesValid(const T& record, std::span<const RecordField<T>> fields,
                     std::span<const ReferenceField> refs, const ResourceNames& names) {
    for (const RecordField<T>& f : fields) {
        const ReferenceField* ref = FindReference(refs, f.key);
        if (!ref) continue;
        if (const auto* member = std::get_if<int32_t T::*>(&f.member))
            if (!names.Valid(record.**member, ref->kind, f.names)) return false;
    }
    return true;
}

// With names, reference fields are written by name where the name is unambiguous.
template <class T>
void SaveFields(const T& record, std::span<const RecordField<T>> fields, Json& json,
                const ResourceNames* names = nullptr, std::span<const ReferenceField> refs = {}) {
    for (const RecordField<T>& f : fields) {
        const ReferenceField* ref = names ? FindReference(refs, f.key) : nullptr;
        std::visit(
            [&](auto member) {
                const auto& value = record.*member;
                using Value = std::remove_cvref_t<decltype(value)>;
                if constexpr (std::is_same_v<Value, uint32_t>) {
                    if (f.form == FieldForm::BlendAlpha) {
                        json["blend"] = value & 0xFFFFFFu;
                        json["alpha"] = value >> 24;
                    } else {
                        json[f.key] = value;
                    }
                } else if constexpr (std::is_same_v<Value, int32_t>) {
                    if (ref)
                        json[f.key] = names->Write(value, ref->kind, f.names);
                    else
                        json[f.key] = f.names.empty() ? Json(value) : NamedIntToJson(value, f.names);
                } else {
                    json[f.key] = value;
                }
            },
            f.member);
    }
}

// Fields the project leaves out keep the record's current values. With files, the entries
// of a text list may also be {"file": name} objects, and with the files' names, reference
// fields take resource names and only indices in range.
template <class T>
void LoadFields(JsonObject& json, T& record, std::span<const RecordField<T>> fields,
                const ResourceFiles* files = nullptr, std::span<const ReferenceField> refs = {}) {
    const ResourceNames* names = files ? files->Names() : nullptr;
    for (const RecordField<T>& f : fields) {
        const ReferenceField* ref = names ? FindReference(refs, f.key) : nullptr;
        if (f.required && !json.Has(f.key))
            json.Fail(f.key, std::string("missing (expected ") + f.required + ")");
        std::visit(
            [&](auto member) {
                auto& value = record.*member;
                using Value = std::remove_cvref_t<decltype(value)>;
                if constexpr (std::is_same_v<Value, bool>)
                    value = json.Bool(f.key, value);
                else if constexpr (std::is_same_v<Value, int32_t>)
                    value = ref               ? names->Read(json, f.key, ref->kind, value, f.names)
                            : f.names.empty() ? json.Int(f.key, value)
                                              : json.NamedInt(f.key, f.names, value);
                else if constexpr (std::is_same_v<Value, uint32_t>)
                    value = f.form == FieldForm::BlendAlpha
                                ? BlendAlpha(json, value)
                                : static_cast<uint32_t>(json.Int(f.key, static_cast<int32_t>(value)));
                else if constexpr (std::is_same_v<Value, double>)
                    value = Real(json, f.key, value);
                else if constexpr (std::is_same_v<Value, std::string>)
                    value = json.String(f.key, value);
                else
                    LoadList(json, f, value, files);
            },
            f.member);
    }
}

} // namespace kestrin::project
