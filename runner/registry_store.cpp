#include "runner/registry_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/file_io.h"

namespace fs = std::filesystem;

namespace kestrin {

namespace {

// A values file larger than this is damaged, not a game's settings.
constexpr uint64_t kMaxValuesBytes = 16u << 20;

const char* RootFolder(RegistryRoot root) {
    switch (root) {
    case RegistryRoot::LocalMachine:
        return "local_machine";
    case RegistryRoot::ClassesRoot:
        return "classes_root";
    case RegistryRoot::Users:
        return "users";
    case RegistryRoot::CurrentUser:
        break;
    }
    return "current_user";
}

const char kHex[] = "0123456789abcdef";

// Percent escapes for everything but plain letters, digits and " _-."; `lower` folds ASCII
// letters (key parts ignore case).
std::string Escape(std::string_view text, bool lower) {
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (lower && c >= 'A' && c <= 'Z') {
            out += static_cast<char>(c - 'A' + 'a');
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
                   c == '_' || c == '-' || c == '.') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> Unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int hi = HexDigit(text[i + 1]), lo = HexDigit(text[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

using Values = std::vector<std::pair<std::string, RegistryValue>>;

Values LoadValues(const std::string& file) {
    std::vector<uint8_t> bytes;
    if (ReadRegularFile(file, bytes, kMaxValuesBytes) != FileReadStatus::Ok) return {};
    return ParseRegistryValues(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

} // namespace

RegistryRoot RegistryRootFromNumber(int32_t n) {
    switch (n) {
    case 1:
        return RegistryRoot::LocalMachine;
    case 2:
        return RegistryRoot::ClassesRoot;
    case 3:
        return RegistryRoot::Users;
    default:
        return RegistryRoot::CurrentUser;
    }
}

std::string RegistryStore::DefaultFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config) + "/kestrin/registry";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.config/kestrin/registry";
    return {};
}

RegistryStore::RegistryStore(std::string folder)
    : folder_(folder.empty() ? DefaultFolder() : std::move(folder)) {}

std::string RegistryStore::KeyFolder(RegistryRoot root, std::string_view key) const {
    std::string path = folder_ + "/" + RootFolder(root);
    size_t from = 0;
    while (from <= key.size()) {
        size_t end = key.find('\\', from);
        if (end == std::string_view::npos) end = key.size();
        const std::string_view part = key.substr(from, end - from);
        // Empty parts (a leading "\", doubled separators) name no key.
        if (!part.empty()) {
            std::string escaped = Escape(part, true);
            // "." and ".." are folders of their own on this system.
            if (escaped == "." || escaped == "..") escaped = escaped == "." ? "%2e" : "%2e%2e";
            path += "/" + escaped;
        }
        from = end + 1;
    }
    return path;
}

bool RegistryStore::KeyExists(RegistryRoot root, std::string_view key) const {
    if (folder_.empty()) return false;
    std::error_code ec;
    return fs::is_directory(KeyFolder(root, key), ec);
}

std::optional<RegistryValue> RegistryStore::Get(RegistryRoot root, std::string_view key,
                                                std::string_view name) const {
    if (folder_.empty()) return std::nullopt;
    for (auto& [n, v] : LoadValues(KeyFolder(root, key) + "/values"))
        if (SameName(n, name)) return v;
    return std::nullopt;
}

bool RegistryStore::Set(RegistryRoot root, std::string_view key, std::string_view name,
                        const RegistryValue& value) {
    if (folder_.empty()) return false;
    const std::string dir = KeyFolder(root, key);
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir, ec)) return false;
    Values values = LoadValues(dir + "/values");
    bool replaced = false;
    for (auto& [n, v] : values)
        if (SameName(n, name)) {
            v = value;
            replaced = true;
            break;
        }
    if (!replaced) values.emplace_back(std::string(name), value);
    return WriteFileAtomically(dir + "/values", FormatRegistryValues(values));
}

bool RegistryStore::WriteString(RegistryRoot root, std::string_view key, std::string_view name,
                                std::string_view text) {
    RegistryValue v;
    v.type = RegistryValue::Type::String;
    v.text = std::string(text);
    return Set(root, key, name, v);
}

bool RegistryStore::WriteReal(RegistryRoot root, std::string_view key, std::string_view name, double value) {
    RegistryValue v;
    v.type = RegistryValue::Type::Binary;
    v.data.resize(sizeof value);
    std::memcpy(v.data.data(), &value, sizeof value);
    return Set(root, key, name, v);
}

std::string RegistryStore::ReadString(RegistryRoot root, std::string_view key, std::string_view name) const {
    const auto v = Get(root, key, name);
    return v && v->type == RegistryValue::Type::String ? v->text : std::string();
}

double RegistryStore::ReadReal(RegistryRoot root, std::string_view key, std::string_view name) const {
    const auto v = Get(root, key, name);
    if (!v || v->type != RegistryValue::Type::Binary || v->data.size() != sizeof(double)) return 0;
    double value;
    std::memcpy(&value, v->data.data(), sizeof value);
    return value;
}

std::optional<bool> RegistryStore::ReadBool(RegistryRoot root, std::string_view key,
                                            std::string_view name) const {
    const auto v = Get(root, key, name);
    if (!v) return std::nullopt;
    switch (v->type) {
    case RegistryValue::Type::Dword:
        return v->number != 0;
    case RegistryValue::Type::Binary: {
        for (const uint8_t b : v->data)
            if (b) return true;
        return false;
    }
    case RegistryValue::Type::String:
        return std::atoi(v->text.c_str()) != 0;
    }
    return false;
}

std::string FormatRegistryValues(const Values& values) {
    std::string out;
    for (const auto& [name, v] : values) {
        out += Escape(name, false);
        switch (v.type) {
        case RegistryValue::Type::String:
            out += "\tsz\t" + Escape(v.text, false);
            break;
        case RegistryValue::Type::Dword:
            out += "\tdword\t" + std::to_string(v.number);
            break;
        case RegistryValue::Type::Binary:
            out += "\tbinary\t";
            for (const uint8_t b : v.data) {
                out += kHex[b >> 4];
                out += kHex[b & 15];
            }
            break;
        }
        out += '\n';
    }
    return out;
}

Values ParseRegistryValues(std::string_view text) {
    Values values;
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(from, end - from);
        from = end + 1;
        const size_t t1 = line.find('\t');
        if (t1 == std::string_view::npos) continue;
        const size_t t2 = line.find('\t', t1 + 1);
        if (t2 == std::string_view::npos) continue;
        const auto name = Unescape(line.substr(0, t1));
        const std::string_view type = line.substr(t1 + 1, t2 - t1 - 1);
        const std::string_view data = line.substr(t2 + 1);
        if (!name) continue;
        RegistryValue v;
        if (type == "sz") {
            const auto t = Unescape(data);
            if (!t) continue;
            v.type = RegistryValue::Type::String;
            v.text = *t;
        } else if (type == "dword") {
            char* endp = nullptr;
            const std::string digits(data);
            errno = 0;
            const long long n = std::strtoll(digits.c_str(), &endp, 10);
            if (digits.empty() || *endp || errno || n < INT32_MIN || n > UINT32_MAX) continue;
            v.type = RegistryValue::Type::Dword;
            v.number = static_cast<int32_t>(static_cast<uint32_t>(n));
        } else if (type == "binary") {
            if (data.size() % 2) continue;
            v.type = RegistryValue::Type::Binary;
            bool ok = true;
            for (size_t i = 0; i < data.size(); i += 2) {
                const int hi = HexDigit(data[i]), lo = HexDigit(data[i + 1]);
                if (hi < 0 || lo < 0) ok = false;
                v.data.push_back(static_cast<uint8_t>((hi & 15) * 16 + (lo & 15)));
            }
            if (!ok) continue;
        } else {
            continue;
        }
        bool duplicate = false;
        for (auto& [n, old] : values)
            if (SameName(n, *name)) duplicate = true;
        if (!duplicate) values.emplace_back(*name, std::move(v));
    }
    return values;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
    const std::string temp = path + ".tmp" + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) {
        (void)::unlink(temp.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder.
    const std::string dir = fs::path(path).parent_path().string();
    const int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        (void)::fsync(dfd);
        (void)::close(dfd);
    }
    return true;
}

} // namespace kestrin
