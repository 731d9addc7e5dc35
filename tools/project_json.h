#pragma once
// Reading and writing the files of a text project: JSON values checked field by field with
// messages that name the file, the field and what was expected, and file access confined to
// the project folder.

#include <cstdint>
#include <filesystem>
#include <set>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/record_fields.h"

namespace kestrin::project {

// Keeps fields in the order they were written, so unpacked files read top to bottom.
using Json = nlohmann::ordered_json;

// A broken project; the text is the whole message. Thrown while reading and caught by
// LoadProject, which turns it into its error string.
class ProjectError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "file: field: what", without the field part when it is empty.
[[noreturn]] void Fail(std::string_view file, std::string_view field, std::string_view what);

std::string FieldPath(std::string_view parent, std::string_view key);
std::string ElementPath(std::string_view parent, size_t index);

int32_t AsInt(const Json& value, std::string_view file, std::string_view field);
bool AsBool(const Json& value, std::string_view file, std::string_view field);
std::string AsString(const Json& value, std::string_view file, std::string_view field);

// A value that is one of a few names or, for values outside the names, a plain integer.
using NamedValue = FieldName;
using NamedValues = std::span<const NamedValue>;
int32_t AsNamedInt(const Json& value, NamedValues names, std::string_view file,
                   std::string_view field);
Json NamedIntToJson(int32_t value, NamedValues names);

// One JSON object being read. Remembers which fields were asked for so that Finish() can
// report a misspelt field instead of silently using a default.
class JsonObject {
public:
    JsonObject(const Json& value, std::string file, std::string path);

    const std::string& File() const { return file_; }
    const std::string& Path() const { return path_; }
    std::string Field(std::string_view key) const { return FieldPath(path_, key); }

    // The field, or nullptr when absent.
    const Json* Find(std::string_view key);
    bool Has(std::string_view key) const { return value_.contains(key); }

    bool Bool(std::string_view key, bool fallback);
    int32_t Int(std::string_view key, int32_t fallback);
    std::string String(std::string_view key, std::string fallback);
    int32_t NamedInt(std::string_view key, NamedValues names, int32_t fallback);
    // An array field; an absent field reads as an empty array.
    const Json& Array(std::string_view key);
    JsonObject Object(std::string_view key);
    // An absent field reads as an empty object.
    JsonObject OptionalObject(std::string_view key);

    [[noreturn]] void Fail(std::string_view key, std::string_view what) const;
    // Fails on the first field that was never asked for.
    void Finish() const;

private:
    const Json& value_;
    std::string file_;
    std::string path_;
    std::set<std::string, std::less<>> used_;
};

// A real field; integers are accepted as reals.
double Real(JsonObject& json, std::string_view key, double fallback);
// Blend colour and alpha, stored together as colour | alpha << 24.
uint32_t BlendAlpha(JsonObject& json, uint32_t fallback);

// The project folder. Every relative path that comes from a project file is checked here
// before it touches the file system.
class ProjectFolder {
public:
    explicit ProjectFolder(std::filesystem::path root) : root_(std::move(root)) {}

    const std::filesystem::path& Root() const { return root_; }

    // A relative path with "/" between its parts and no part that is empty, "." or "..";
    // no backslashes or control characters. Returns the checked path below the root.
    std::filesystem::path Resolve(std::string_view relative, std::string_view file,
                                  std::string_view field) const;

    // Reads a whole file named by `field` of `file`.
    std::vector<uint8_t> ReadBytes(std::string_view relative, std::string_view file,
                                   std::string_view field) const;
    // Reads and parses a JSON file; a missing file is reported against `field` of `file`,
    // bad JSON against the JSON file itself.
    Json ReadJson(std::string_view relative, std::string_view file, std::string_view field) const;

    // Writing; failures throw ProjectError naming the file.
    void WriteBytes(std::string_view relative, const std::vector<uint8_t>& bytes) const;
    void WriteText(std::string_view relative, std::string_view text) const;
    void WriteJson(std::string_view relative, const Json& value) const;

private:
    std::filesystem::path root_;
};

// Largest file a project may hold: nothing in game data can carry more than 2^31 bytes.
inline constexpr uintmax_t kMaxProjectFile = uintmax_t(1) << 30;

bool IsSafePathPart(std::string_view part);

// File names chosen for names that may hold anything: only letters, digits, "_" and "-"
// (plus the extension's "."), never empty, never a name reserved on other systems, and
// unique within one folder regardless of case.
class FileNamer {
public:
    // `name` may be any text; `extension` includes its dot or is empty.
    std::string Make(std::string_view name, std::string_view extension);
    // As Make, keeping the extension found in `name` when it is a safe one.
    std::string MakeKeepingExtension(std::string_view name);

private:
    std::set<std::string> used_;
};

std::vector<uint8_t> BytesFromText(std::string_view text);
std::string TextFromBytes(const std::vector<uint8_t>& bytes);

} // namespace kestrin::project
