#include "runner/extension_main.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "runner/extension_messages.h"
#include "runner/file_access.h"
#include "runner/instance.h"
#include "runner/support_dll.h"
#include "script/constants.h"
#include "script/errors.h"
#include "script/interpreter.h"
#include "script/scripts.h"

namespace fs = std::filesystem;

namespace kestrin {

namespace {

constexpr int32_t kCdeclKind = 12;

std::vector<std::string_view> NameParts(std::string_view name) {
    std::vector<std::string_view> parts;
    size_t from = 0;
    while (from <= name.size()) {
        size_t end = name.find_first_of("/\\", from);
        if (end == std::string_view::npos) end = name.size();
        parts.push_back(name.substr(from, end - from));
        from = end + 1;
    }
    return parts;
}

bool UsablePart(std::string_view part) {
    return !part.empty() && part != "." && part != "..";
}

// The package's folder inside the temporary folder. Names come from the game data, so
// parts that would climb out of it (".." or a root) are dropped.
std::string PackageFolderIn(const std::string& temp, std::string_view folder) {
    std::string path = temp;
    for (std::string_view part : NameParts(folder)) {
        if (!UsablePart(part) || part.find(':') != std::string_view::npos) continue;
        path += "/";
        path += part;
    }
    return path;
}

// Only the bare name of a package file is used, for the same reason.
std::string BareFileName(std::string_view name) {
    const std::vector<std::string_view> parts = NameParts(name);
    return UsablePart(parts.back()) ? std::string(parts.back()) : std::string();
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) TraceLine("Could not write the extension file " + path);
}

} // namespace

void ExtensionPackages::Clear() {
    packages_.clear();
    folders_.clear();
    slots_.clear();
    highest_ = 0;
}

void ExtensionPackages::Load(std::vector<CExtensionPackage> packages, const std::string& temp_folder) {
    Clear();
    packages_ = std::move(packages);
    for (CExtensionPackage& p : packages_) {
        NormaliseExtensionFunctions(p);
        std::string folder;
        if (!temp_folder.empty()) {
            folder = PackageFolderIn(temp_folder, p.s_folder);
            std::error_code ec;
            fs::create_directories(folder, ec);
        }
        for (CExtensionFile& file : p.s_includes) {
            if (file.s_kind == kExtensionScript) {
                CreateExtensionScripts(file, file.data);
            } else if ((file.s_kind == kExtensionDll || file.s_kind == kExtensionOther) && !folder.empty()) {
                const std::string name = BareFileName(file.s_filename);
                if (!name.empty()) WriteBytes(folder + "/" + name, file.data);
            }
            // The bytes are in the file now (or in the scripts); the records are what stays.
            std::vector<uint8_t>().swap(file.data);
        }
        folders_.push_back(std::move(folder));
    }
    for (const CExtensionPackage& p : packages_)
        for (const CExtensionFile& file : p.s_includes)
            for (const CExtensionFunction& f : file.s_functions) {
                if (f.s_id > highest_) highest_ = f.s_id;
                Slot& slot = slots_[f.s_id];
                if (!slot.name) slot.name = &f.s_name;
            }
    SetExtensionFunctions(this);
}

const std::string& ExtensionPackages::PackageFolder(size_t index) const {
    static const std::string none;
    return index < folders_.size() ? folders_[index] : none;
}

void ExtensionPackages::Prepare(const std::function<void(const std::string&)>& show) {
    for (const CExtensionPackage& p : packages_)
        for (const CExtensionFile& file : p.s_includes)
            for (const CExtensionConstant& c : file.s_constants) {
                std::string message;
                if (!DefineConstant(c.s_name, c.s_value, message) && show) show(message);
            }
    // Loading a library runs its own start-up code, which secure mode must not allow.
    if (SecureMode()) return;
    for (size_t i = 0; i < packages_.size(); ++i) {
        const std::string& folder = folders_[i];
        for (const CExtensionFile& file : packages_[i].s_includes) {
            if (file.s_kind != kExtensionDll) continue;
            const std::string name = BareFileName(file.s_filename);
            const std::string path = folder.empty() ? name : folder + "/" + name;
            for (const CExtensionFunction& f : file.s_functions) {
                int32_t types[17];
                for (size_t k = 0; k < 17; ++k) types[k] = k < 16 && f.s_argtype[k] == 1 ? 1 : 0;
                const int32_t id = name.empty()
                                       ? -1
                                       : DefineDllFunction(path, f.s_extname, f.s_kind == kCdeclKind ? 0 : 1,
                                                           f.s_returntype == 1 ? 1 : 0, types, f.s_argcount);
                slots_[f.s_id].dll = id;
            }
        }
    }
}

bool ExtensionPackages::CompileScripts() {
    for (CExtensionPackage& p : packages_)
        for (CExtensionFile& file : p.s_includes) {
            if (file.s_kind != kExtensionScript) continue;
            for (CExtensionFunction& f : file.s_functions) {
                if (f.s_script.empty()) continue;
                auto code = std::make_unique<CCode>(f.s_script, false);
                std::string().swap(f.s_script);
                if (!code->Compile()) {
                    ReportError(msg::kExtensionCompile + p.s_name + "\r" + LastCodeError(), true);
                    ClearCodeError();
                    return false;
                }
                slots_[f.s_id].code = std::move(code);
            }
        }
    return true;
}

bool ExtensionPackages::RunEnds(bool init) {
    for (const CExtensionPackage& p : packages_)
        for (const CExtensionFile& file : p.s_includes) {
            const std::string& name = init ? file.s_init : file.s_final;
            if (name.empty()) continue;
            if (SecureMode()) {
                ReportError(msg::kSecureExtensions, true);
                return false;
            }
            const CExtensionFunction* function = nullptr;
            for (const CExtensionFunction& f : file.s_functions)
                if (f.s_name == name) {
                    function = &f;
                    break;
                }
            if (!function) {
                ReportError((init ? msg::kNoInitFunction : msg::kNoFinalFunction) + name, true);
                return false;
            }
            CInstance temporary;
            temporary.Create(0, 0, 0, 0);
            RValue result;
            if (!Call(function->s_id, &temporary, &temporary, 0, nullptr, result)) {
                ReportError(LastCodeError(), true);
                return false;
            }
        }
    return true;
}

bool ExtensionPackages::Init() {
    return RunEnds(true);
}

bool ExtensionPackages::Final() {
    return RunEnds(false);
}

bool ExtensionPackages::Find(std::string_view name, int32_t& id, int32_t& argnumb) const {
    for (const CExtensionPackage& p : packages_)
        for (const CExtensionFile& file : p.s_includes)
            for (const CExtensionFunction& f : file.s_functions)
                if (f.s_name == name && f.s_id >= 0) {
                    id = f.s_id;
                    argnumb = f.s_argcount;
                    return true;
                }
    return false;
}

const CExtensionFunction* ExtensionPackages::FindId(int32_t id) const {
    for (const CExtensionPackage& p : packages_)
        for (const CExtensionFile& file : p.s_includes)
            for (const CExtensionFunction& f : file.s_functions)
                if (f.s_id == id) return &f;
    return nullptr;
}

int32_t ExtensionPackages::ArgCount(int32_t id) const {
    const CExtensionFunction* f = FindId(id);
    return f ? f->s_argcount : kNoFunctionArgCount;
}

std::string_view ExtensionPackages::FunctionName(int32_t id) const {
    const CExtensionFunction* f = FindId(id);
    return f ? std::string_view(f->s_name) : std::string_view();
}

bool ExtensionPackages::Call(int32_t id, CScriptInstance* self, CScriptInstance* other, int32_t argc,
                             const RValue* args, RValue& result) {
    if (id < 0 || id > highest_) return false;
    if (SecureMode()) {
        SetLastCodeError(msg::kSecureExtensions);
        return false;
    }
    if (argc < 0) argc = 0;
    if (argc > kMaxArguments) argc = kMaxArguments;
    const auto it = slots_.find(id);
    if (it == slots_.end() || !it->second.code) {
        CallDllFunction(it == slots_.end() ? -1 : it->second.dll, argc, args, result);
        return true;
    }
    const std::string& name = *it->second.name;
    CallFrame frame;
    RValue* slots = frame.Fill(argc);
    for (int32_t i = 0; i < argc; ++i) slots[i] = args[i];
    ArgumentScope scope(frame.frame(), argc, &name);
    result.Clear();
    const bool ok = RunCodeValue(self, other, *it->second.code, result);
    if (!ok) SetLastCodeError(msg::kInExtensionFunction + name + ":\r" + LastCodeError());
    return ok;
}

ExtensionPackages& Extensions() {
    static ExtensionPackages packages;
    return packages;
}

void ResetExtensions() {
    if (CurrentExtensionFunctions() == &Extensions()) SetExtensionFunctions(nullptr);
    Extensions().Clear();
    FreeAllDlls();
}

} // namespace kestrin
