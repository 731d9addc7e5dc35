#include "runner/support_dll.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

#include "runner/file_access.h"
#include "runner/game_variables.h"
#include "script/errors.h"

namespace fs = std::filesystem;

namespace kestrin {

namespace {

struct DllTable {
    std::vector<RDllFunction> entries;
    // Text arguments of the last call, kept until the next one: a library may hold on to them.
    std::vector<std::vector<char>> texts;
    std::string last_error;
};

DllTable& Table() {
    static DllTable table;
    return table;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool EndsWithDll(std::string_view name) {
    return name.size() > 4 && SameNameIgnoringCase(name.substr(name.size() - 4), ".dll");
}

std::string DlError() {
    const char* text = dlerror();
    return text ? text : "unknown error";
}

void Refuse(std::string text) {
    TraceLine(text);
    Table().last_error = std::move(text);
}

// Tries the candidates that exist as files, then the library search; the error text of the
// first library that was found but did not load is the one reported.
void* OpenLibrary(std::string_view dll, std::string& error) {
    std::string firstFailure;
    for (const std::string& candidate : DllCandidates(dll)) {
        const bool search = candidate.find('/') == std::string::npos;
        std::string path = candidate;
        if (!search) {
            path = ResolveFile(candidate).path;
            std::error_code ec;
            if (!fs::is_regular_file(path, ec)) continue;
        }
        (void)dlerror();
        if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
        std::string text = DlError();
        if (firstFailure.empty() && !search) firstFailure = text;
        error = std::move(text);
    }
    if (!firstFailure.empty()) error = firstFailure;
    if (error.empty()) error = "file not found";
    return nullptr;
}

} // namespace

std::vector<std::string> DllCandidates(std::string_view dll) {
    const std::string native = NativeFileName(dll);
    const size_t slash = native.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : native.substr(0, slash);
    const std::string file = slash == std::string::npos ? native : native.substr(slash + 1);
    std::vector<std::string> out;
    if (file.empty()) return out;
    std::vector<std::string> names{file};
    if (EndsWithDll(file)) {
        const std::string stem = file.substr(0, file.size() - 4);
        names.push_back(stem + ".so");
        names.push_back("lib" + stem + ".so");
    }
    auto addIn = [&](const std::string& base) {
        for (const std::string& name : names) {
            std::string path = base.empty() ? name : base + "/" + name;
            // Without a slash dlopen searches the library path: keep such names for the end.
            if (path.find('/') == std::string::npos) path = "./" + path;
            out.push_back(std::move(path));
        }
    };
    if (slash != std::string::npos) addIn(folder.empty() ? "/" : folder);
    const std::string& game = CurrentFileAccess().game_folder;
    addIn(game.empty() ? "." : game);
    const std::string& program = GameValues().program_directory;
    if (!program.empty() && program != game) addIn(program);
    for (const std::string& name : names) out.push_back(name);
    return out;
}

int32_t DefineDllFunction(std::string_view dll, std::string_view name, int32_t calltype, int32_t resulttype,
                          const int32_t* argtype, int32_t argnumb) {
    if (argnumb > kMaxNativeArguments) return -1;
    if (argnumb > 4)
        for (int32_t i = 0; i < argnumb; ++i)
            if (argtype[i] != 0) return -1;
    DllTable& t = Table();
    void* handle = nullptr;
    for (auto it = t.entries.rbegin(); it != t.entries.rend(); ++it) {
        if (SameNameIgnoringCase(it->dll_name, dll)) {
            handle = it->dll_handle;
            break;
        }
    }
    const bool loadedHere = handle == nullptr;
    if (loadedHere) {
        std::string error;
        handle = OpenLibrary(dll, error);
        if (!handle) {
            TraceLine("LoadLibrary on DLL " + std::string(dll) + " failed - error - " + error);
            return -1;
        }
    }
    (void)dlerror();
    void* entry = dlsym(handle, std::string(name).c_str());
    if (!entry) {
        TraceLine("GetProcAddress for " + std::string(name) + " on DLL " + std::string(dll) +
                  " failed - error - " + DlError());
        // The load made for this definition is given back; entries holding the library keep it.
        if (loadedHere) dlclose(handle);
        return -1;
    }
    RDllFunction f;
    f.dll_name = std::string(dll);
    f.dll_handle = handle;
    f.function_name = std::string(name);
    f.function_addr = entry;
    f.calltype = calltype;
    f.argnumb = argnumb;
    for (int32_t i = 0; i < argnumb; ++i)
        f.argtype[static_cast<size_t>(i)] = argtype[i] == kDllTypeString ? 1 : 0;
    f.resulttype = resulttype == kDllTypeString ? 1 : 0;
    // A function of any number of arguments is never called, so it needs no prepared call.
    if (argnumb >= 0) {
        NativeSignature signature;
        signature.argc = argnumb;
        for (int32_t i = 0; i < argnumb; ++i)
            signature.text_argument[i] = f.argtype[static_cast<size_t>(i)] == 1;
        signature.text_result = f.resulttype == 1;
        f.call = CurrentNativeCaller().Prepare(signature);
        if (!f.call) {
            TraceLine("Native calls of " + std::string(name) + " on DLL " + std::string(dll) +
                      " are not available in this build");
            if (loadedHere) dlclose(handle);
            return -1;
        }
    }
    t.entries.push_back(std::move(f));
    return static_cast<int32_t>(t.entries.size() - 1);
}

void CallDllFunction(int32_t id, int32_t argc, const RValue* args, RValue& result) {
    result.Clear();
    DllTable& t = Table();
    if (id < 0 || static_cast<size_t>(id) >= t.entries.size()) {
        Refuse("Unable to find DLL function with id=" + std::to_string(id));
        return;
    }
    const RDllFunction& f = t.entries[static_cast<size_t>(id)];
    if (argc != f.argnumb) {
        Refuse("Calling DLL function with wrong number of arguments.");
        return;
    }
    if (!f.dll_handle || !f.call) {
        Refuse("Calling DLL function - unable to load DLL");
        return;
    }
    NativeArgument native[kMaxNativeArguments];
    std::vector<std::vector<char>> texts;
    for (int32_t i = 0; i < argc; ++i) {
        if (f.argtype[static_cast<size_t>(i)] == 1) {
            const std::string_view s = args[i].str();
            std::vector<char>& buffer = texts.emplace_back(s.begin(), s.end());
            buffer.push_back('\0');
            native[i].text = buffer.data();
        } else {
            native[i].real = args[i].val();
        }
    }
    NativeResult out{};
    // The library may call back into the runner, which may grow the table: nothing of the
    // entry is read after the call.
    const bool textResult = f.resulttype == 1;
    f.call->Invoke(f.function_addr, native, out);
    if (!texts.empty()) t.texts = std::move(texts);
    if (textResult)
        result.SetString(out.text ? std::string_view(out.text) : std::string_view());
    else
        result.SetReal(out.real);
}

void FreeDll(std::string_view dll) {
    bool released = false;
    for (RDllFunction& f : Table().entries) {
        if (!f.dll_handle || !SameNameIgnoringCase(f.dll_name, dll)) continue;
        if (!released) dlclose(f.dll_handle);
        released = true;
        f.dll_handle = nullptr;
    }
}

void FreeAllDlls() {
    DllTable& t = Table();
    for (size_t i = 0; i < t.entries.size(); ++i)
        if (t.entries[i].dll_handle) FreeDll(std::string(t.entries[i].dll_name));
    t.entries.clear();
    t.texts.clear();
    t.last_error.clear();
}

int32_t DllFunctionCount() {
    return static_cast<int32_t>(Table().entries.size());
}

const RDllFunction* DllFunctionAt(int32_t id) {
    const DllTable& t = Table();
    if (id < 0 || static_cast<size_t>(id) >= t.entries.size()) return nullptr;
    return &t.entries[static_cast<size_t>(id)];
}

const std::string& LastDllError() {
    return Table().last_error;
}

} // namespace kestrin
