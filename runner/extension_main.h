#pragma once
// The extension packages of the running game: their files in the temporary folder, their
// constants, their native and script functions (code calls them as 500000 + id, found after
// scripts and before built-ins), and the initialisation and finalisation functions run when
// the game starts and ends.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "script/code.h"
#include "script/extension_class.h"
#include "script/registry.h"

namespace kestrin {

class ExtensionPackages : public ExtensionFunctions {
public:
    // Back to no packages; the native library table is left alone (it has its own reset).
    void Clear();
    // Takes the packages read with the game data and writes their files into their folders
    // inside `temp_folder` (none when it is empty); script files become the functions' texts.
    void Load(std::vector<CExtensionPackage> packages, const std::string& temp_folder);
    // The constants (a failure is shown and skipped) and the native functions. In secure mode
    // no library is loaded: nothing could call it.
    void Prepare(const std::function<void(const std::string&)>& show);
    // The script functions; the first that does not compile is reported as a fatal error.
    [[nodiscard]] bool CompileScripts();
    // The packages' initialisation (finalisation) functions in order; false after the first
    // failure, which is reported as fatal.
    bool Init();
    bool Final();

    bool Find(std::string_view name, int32_t& id, int32_t& argnumb) const override;
    int32_t ArgCount(int32_t id) const override;
    bool Call(int32_t id, CScriptInstance* self, CScriptInstance* other, int32_t argc, const RValue* args,
              RValue& result) override;
    std::string_view FunctionName(int32_t id) const;

    const std::vector<CExtensionPackage>& Packages() const { return packages_; }
    // The folder the files of package `index` were written to ("" when none).
    const std::string& PackageFolder(size_t index) const;

private:
    struct Slot {
        int32_t dll = -1;
        std::unique_ptr<CCode> code;        // set: a script function that compiled
        const std::string* name = nullptr; // of the first function with the id
    };
    const CExtensionFunction* FindId(int32_t id) const;
    bool RunEnds(bool init);

    std::vector<CExtensionPackage> packages_;
    std::vector<std::string> folders_;
    int32_t highest_ = 0;
    // By id; ids come from the game data and may be anything, so no table is sized by them.
    std::unordered_map<int32_t, Slot> slots_;
};

ExtensionPackages& Extensions();
// No packages, no native libraries; uninstalls the packages from the function lookup.
void ResetExtensions();

} // namespace kestrin
