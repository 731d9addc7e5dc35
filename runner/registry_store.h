#pragma once
// The registry as files: one folder per key under the store's root folder
// ($XDG_CONFIG_HOME/kestrin/registry, else ~/.config/kestrin/registry), one folder per root
// ("current_user", "local_machine", "classes_root", "users"), the key's parts as nested
// folders (lower-cased, since key names ignore case, and escaped), and the key's values in
// the file "values" inside its folder. Each value line is
//     escaped-name TAB type TAB data
// with the types "sz" (escaped text), "dword" (a decimal 32-bit number) and "binary"
// (hexadecimal bytes; a real is the 8 bytes of a double). Every change rewrites the values
// file through a temporary file in the same folder that is flushed and renamed over it, so
// a crash leaves the old values or the new ones, never a mixture.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrin {

enum class RegistryRoot : int32_t { CurrentUser = 0, LocalMachine = 1, ClassesRoot = 2, Users = 3 };

// registry_set_root's numbers: 1 local machine, 2 classes root, 3 users, else the current user.
RegistryRoot RegistryRootFromNumber(int32_t n);

struct RegistryValue {
    enum class Type : uint8_t { String, Dword, Binary };
    Type type = Type::String;
    std::string text;          // String
    int32_t number = 0;        // Dword
    std::vector<uint8_t> data; // Binary
};

class RegistryStore {
public:
    // The store under `folder`; empty means the user's configuration folder.
    explicit RegistryStore(std::string folder = {});

    // The folder the environment names for the store (see above).
    static std::string DefaultFolder();
    const std::string& Folder() const { return folder_; }

    bool KeyExists(RegistryRoot root, std::string_view key) const;
    std::optional<RegistryValue> Get(RegistryRoot root, std::string_view key, std::string_view name) const;
    // Creates the key when needed; false when the store cannot be written.
    bool Set(RegistryRoot root, std::string_view key, std::string_view name, const RegistryValue& value);

    bool WriteString(RegistryRoot root, std::string_view key, std::string_view name, std::string_view text);
    bool WriteReal(RegistryRoot root, std::string_view key, std::string_view name, double value);
    // Empty / 0 when the value is missing or of another type.
    std::string ReadString(RegistryRoot root, std::string_view key, std::string_view name) const;
    double ReadReal(RegistryRoot root, std::string_view key, std::string_view name) const;
    // A Boolean value: a dword (or a real, or a number in text) that is not 0.
    std::optional<bool> ReadBool(RegistryRoot root, std::string_view key, std::string_view name) const;
    bool Exists(RegistryRoot root, std::string_view key, std::string_view name) const {
        return Get(root, key, name).has_value();
    }

    // The folder of a key (whether or not it exists).
    std::string KeyFolder(RegistryRoot root, std::string_view key) const;

private:
    std::string folder_;
};

// The values file's text and back; lines that do not parse are skipped.
std::string FormatRegistryValues(const std::vector<std::pair<std::string, RegistryValue>>& values);
std::vector<std::pair<std::string, RegistryValue>> ParseRegistryValues(std::string_view text);

// Writes `bytes` to `path` through a temporary file in the same folder, flushed to the disk
// and renamed over the old file. False (and the old file untouched) on any failure.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

} // namespace kestrin
