#include "tools/project_json.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <system_error>

#include "base/file_io.h"

namespace fs = std::filesystem;

namespace kestrin::project {

void Fail(std::string_view file, std::string_view field, std::string_view what) {
    std::string text(file);
    if (!field.empty()) {
        text += ": ";
        text += field;
    }
    text += ": ";
    text += what;
    throw ProjectError(text);
}

std::string FieldPath(std::string_view parent, std::string_view key) {
    if (parent.empty()) return std::string(key);
    std::string path(parent);
    path += '.';
    path += key;
    return path;
}

std::string ElementPath(std::string_view parent, size_t index) {
    return std::string(parent) + "[" + std::to_string(index) + "]";
}

int32_t AsInt(const Json& value, std::string_view file, std::string_view field) {
    constexpr int64_t lo = std::numeric_limits<int32_t>::min();
    constexpr int64_t hi = std::numeric_limits<int32_t>::max();
    const char* range = "expected an integer from -2147483648 to 2147483647";
    if (value.is_number_unsigned()) {
        uint64_t v = value.get<uint64_t>();
        if (v > static_cast<uint64_t>(hi)) Fail(file, field, range);
        return static_cast<int32_t>(v);
    }
    if (value.is_number_integer()) {
        int64_t v = value.get<int64_t>();
        if (v < lo || v > hi) Fail(file, field, range);
        return static_cast<int32_t>(v);
    }
    if (value.is_number_float()) {
        double v = value.get<double>();
        // 12.0 is still an integer; 1e300 is one too, just out of range.
        if (std::isfinite(v) && v == std::trunc(v)) {
            if (v < static_cast<double>(lo) || v > static_cast<double>(hi)) Fail(file, field, range);
            return static_cast<int32_t>(v);
        }
    }
    Fail(file, field, "expected an integer");
}

bool AsBool(const Json& value, std::string_view file, std::string_view field) {
    if (!value.is_boolean()) Fail(file, field, "expected true or false");
    return value.get<bool>();
}

std::string AsString(const Json& value, std::string_view file, std::string_view field) {
    if (!value.is_string()) Fail(file, field, "expected a string");
    return value.get<std::string>();
}

int32_t AsNamedInt(const Json& value, NamedValues names, std::string_view file,
                   std::string_view field) {
    if (value.is_string()) {
        const std::string& text = value.get_ref<const std::string&>();
        for (const auto& n : names)
            if (text == n.name) return n.value;
        std::string what = "expected one of";
        const char* sep = " ";
        for (const auto& n : names) {
            what += sep;
            what += '"';
            what += n.name;
            what += '"';
            sep = ", ";
        }
        what += " or an integer";
        Fail(file, field, what);
    }
    return AsInt(value, file, field);
}

Json NamedIntToJson(int32_t value, NamedValues names) {
    for (const auto& n : names)
        if (n.value == value) return n.name;
    return value;
}

JsonObject::JsonObject(const Json& value, std::string file, std::string path)
    : value_(value), file_(std::move(file)), path_(std::move(path)) {
    if (!value_.is_object()) kestrin::project::Fail(file_, path_, "expected an object");
}

const Json* JsonObject::Find(std::string_view key) {
    auto it = value_.find(key);
    if (it == value_.end()) return nullptr;
    used_.emplace(key);
    return &*it;
}

bool JsonObject::Bool(std::string_view key, bool fallback) {
    const Json* v = Find(key);
    return v ? AsBool(*v, file_, Field(key)) : fallback;
}

int32_t JsonObject::Int(std::string_view key, int32_t fallback) {
    const Json* v = Find(key);
    return v ? AsInt(*v, file_, Field(key)) : fallback;
}

std::string JsonObject::String(std::string_view key, std::string fallback) {
    const Json* v = Find(key);
    return v ? AsString(*v, file_, Field(key)) : fallback;
}

int32_t JsonObject::NamedInt(std::string_view key, NamedValues names,
                             int32_t fallback) {
    const Json* v = Find(key);
    return v ? AsNamedInt(*v, names, file_, Field(key)) : fallback;
}

const Json& JsonObject::Array(std::string_view key) {
    static const Json empty = Json::array();
    const Json* v = Find(key);
    if (!v) return empty;
    if (!v->is_array()) Fail(key, "expected an array");
    return *v;
}

JsonObject JsonObject::Object(std::string_view key) {
    const Json* v = Find(key);
    if (!v) Fail(key, "missing (expected an object)");
    return JsonObject(*v, file_, Field(key));
}

JsonObject JsonObject::OptionalObject(std::string_view key) {
    static const Json empty = Json::object();
    const Json* v = Find(key);
    return JsonObject(v ? *v : empty, file_, Field(key));
}

void JsonObject::Fail(std::string_view key, std::string_view what) const {
    kestrin::project::Fail(file_, Field(key), what);
}

void JsonObject::Finish() const {
    for (auto it = value_.begin(); it != value_.end(); ++it)
        if (!used_.contains(it.key())) Fail(it.key(), "unknown field");
}

bool IsSafePathPart(std::string_view part) {
    if (part.empty() || part.size() > 255 || part == "." || part == "..") return false;
    for (char ch : part) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') return false;
    }
    return true;
}

fs::path ProjectFolder::Resolve(std::string_view relative, std::string_view file,
                                std::string_view field) const {
    const char* expected =
        "expected a relative path inside the project (parts separated by \"/\", no \"..\")";
    if (relative.empty() || relative.size() > 1024) Fail(file, field, expected);
    fs::path path = root_;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find('/', start);
        if (end == std::string_view::npos) end = relative.size();
        std::string_view part = relative.substr(start, end - start);
        if (!IsSafePathPart(part)) Fail(file, field, expected);
        path /= std::string(part);
        start = end + 1;
    }
    return path;
}

std::vector<uint8_t> ProjectFolder::ReadBytes(std::string_view relative, std::string_view file,
                                              std::string_view field) const {
    fs::path path = Resolve(relative, file, field);
    std::string rel(relative);
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(path, ec)) || !fs::exists(fs::status(path, ec)))
        Fail(file, field, "file not found: " + rel);
    // Symbolic links are followed, but only to files inside the project: a link to
    // /etc/passwd must not end up inside the game.
    const fs::path target = fs::canonical(path, ec);
    const fs::path root = ec ? fs::path() : fs::canonical(root_, ec);
    if (ec) Fail(file, field, "cannot read " + rel);
    const auto [rootEnd, targetAt] = std::mismatch(root.begin(), root.end(), target.begin(), target.end());
    if (rootEnd != root.end() || targetAt == target.end())
        Fail(file, field, "links to a file outside the project: " + rel + " -> " + target.string());
    std::vector<uint8_t> bytes;
    switch (ReadRegularFile(target.string(), bytes, kMaxProjectFile)) {
    case FileReadStatus::Ok:
        return bytes;
    case FileReadStatus::NotRegular:
        Fail(file, field, "not a regular file: " + rel);
    case FileReadStatus::TooLarge:
        Fail(file, field, "file larger than 1 GiB: " + rel);
    default:
        Fail(file, field, "cannot read " + rel);
    }
}

Json ProjectFolder::ReadJson(std::string_view relative, std::string_view file, std::string_view field) const {
    std::vector<uint8_t> bytes = ReadBytes(relative, file, field);
    try {
        return Json::parse(bytes.begin(), bytes.end(), nullptr, true, true);
    } catch (const Json::exception& e) {
        // Drop the library's "[json.exception.parse_error.101] " tag; keep line and column.
        std::string what = e.what();
        size_t tag = what.find("] ");
        if (what.rfind("[json.exception", 0) == 0 && tag != std::string::npos) what.erase(0, tag + 2);
        Fail(relative, "", "invalid JSON: " + what);
    }
}

void ProjectFolder::WriteBytes(std::string_view relative, const std::vector<uint8_t>& bytes) const {
    fs::path path = root_ / fs::path(std::string(relative));
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (ec) throw ProjectError("cannot create the folder of " + std::string(relative) + ": " + ec.message());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out)
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (out) out.close();
    if (!out) throw ProjectError("cannot write " + std::string(relative) + ": " + std::strerror(errno));
}

void ProjectFolder::WriteText(std::string_view relative, std::string_view text) const {
    WriteBytes(relative, BytesFromText(text));
}

void ProjectFolder::WriteJson(std::string_view relative, const Json& value) const {
    // Text that is not UTF-8 cannot be JSON; it only arises from data built in memory,
    // since strings read from game data are already made valid.
    WriteText(relative, value.dump(2, ' ', false, Json::error_handler_t::replace) + "\n");
}

namespace {

bool IsReservedName(std::string upper) {
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    static const char* const reserved[] = {"CON", "PRN", "AUX", "NUL"};
    for (const char* r : reserved)
        if (upper == r) return true;
    return upper.size() == 4 && (upper.rfind("COM", 0) == 0 || upper.rfind("LPT", 0) == 0) &&
           upper[3] >= '1' && upper[3] <= '9';
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool IsPlainChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

} // namespace

std::string FileNamer::Make(std::string_view name, std::string_view extension) {
    constexpr size_t kMaxStem = 60;
    std::string stem;
    for (char ch : name) {
        if (stem.size() >= kMaxStem) break;
        unsigned char c = static_cast<unsigned char>(ch);
        if (IsPlainChar(ch))
            stem += ch;
        else if ((c & 0xC0) != 0x80)
            stem += '_'; // one "_" per character, not per byte
    }
    if (stem.empty()) stem = "unnamed";
    if (IsReservedName(stem)) stem += '_';
    std::string candidate = stem + std::string(extension);
    for (int n = 2; used_.contains(Lower(candidate)); ++n)
        candidate = stem + "_" + std::to_string(n) + std::string(extension);
    used_.insert(Lower(candidate));
    return candidate;
}

std::string FileNamer::MakeKeepingExtension(std::string_view name) {
    size_t slash = name.find_last_of("/\\");
    if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0 && name.size() - dot - 1 >= 1 &&
        name.size() - dot - 1 <= 10) {
        std::string_view ext = name.substr(dot + 1);
        bool plain = true;
        for (char c : ext) plain = plain && IsPlainChar(c) && c != '-';
        if (plain) return Make(name.substr(0, dot), name.substr(dot));
    }
    return Make(name, "");
}

std::vector<uint8_t> BytesFromText(std::string_view text) {
    return {text.begin(), text.end()};
}

std::string TextFromBytes(const std::vector<uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

double Real(JsonObject& json, std::string_view key, double fallback) {
    const Json* v = json.Find(key);
    if (!v) return fallback;
    if (!v->is_number()) json.Fail(key, "expected a number");
    return v->get<double>();
}

// Blend colour and alpha, stored together as colour | alpha << 24.
uint32_t BlendAlpha(JsonObject& json, uint32_t fallback) {
    const int32_t blend = json.Int("blend", static_cast<int32_t>(fallback & 0xFFFFFFu));
    const int32_t alpha = json.Int("alpha", static_cast<int32_t>(fallback >> 24));
    if (blend < 0 || blend > 0xFFFFFF) json.Fail("blend", "expected a colour from 0 to 16777215");
    if (alpha < 0 || alpha > 255) json.Fail("alpha", "expected 0 to 255");
    return static_cast<uint32_t>(blend) | static_cast<uint32_t>(alpha) << 24;
}

} // namespace kestrin::project
