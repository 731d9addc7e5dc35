#include "runner/function_ini.h"

#include <sys/stat.h>

#include <optional>
#include <string>

#include "base/file_io.h"
#include "runner/file_access.h"
#include "runner/file_messages.h"
#include "runner/ini_file.h"
#include "runner/registry_store.h"
#include "script/builtin_args.h"
#include "script/run_error.h"
#include "script/value.h"

namespace kestrin {

namespace {

using namespace builtin_args;


// Settings files are small; one larger than this is not read (nor overwritten).
constexpr uint64_t kMaxIniBytes = 64u << 20;

struct OpenIni {
    std::string path;
    IniText text;
};
std::optional<OpenIni> g_ini;

void Save() {
    if (g_ini) (void)WriteFileAtomically(g_ini->path, g_ini->text.Text());
}

IniText* ForReading() {
    if (!g_ini) ReportRunError(msg::kIniUndefinedRead, false);
    return g_ini ? &g_ini->text : nullptr;
}
IniText* ForWriting() {
    if (!g_ini) ReportRunError(msg::kIniUndefinedWrite, false);
    return g_ini ? &g_ini->text : nullptr;
}
IniText* ForChanging() {
    if (!g_ini) ReportRunError(msg::kIniUndefinedChange, false);
    return g_ini ? &g_ini->text : nullptr;
}

// A real argument given where text is expected reads as its number's INI text.
std::string TextOf(const RValue& v) {
    return v.IsString() ? std::string(v.str()) : FormatIniReal(v.val());
}

ROUTINE(ini_open) {
    g_ini.reset(); // every change is already written
    const std::string name(a[0].str());
    const ResolvedFile file = ResolveFile(name);
    if (!file.allowed) return ReportRunError(std::string(msg::kSecureReadFile) + name, false);
    const size_t slash = file.path.find_last_of('/');
    const std::string folder = slash == 0 ? "/" : file.path.substr(0, slash);
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return ReportRunError(std::string(msg::kIniDirectoryMissing) + file.path, false);
    OpenIni ini{file.path, {}};
    if (::stat(file.path.c_str(), &st) == 0) {
        std::vector<uint8_t> bytes;
        // A file that cannot be read is left alone rather than replaced by an empty one.
        if (ReadRegularFile(file.path, bytes, kMaxIniBytes) != FileReadStatus::Ok) return;
        ini.text.Parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    g_ini = std::move(ini);
}

ROUTINE(ini_close) {
    g_ini.reset();
}

ROUTINE(ini_read_string) {
    IniText* ini = ForReading();
    if (!ini) return r.SetString("");
    if (auto v = ini->Read(a[0].str(), a[1].str()))
        r.SetString(*v);
    else
        r = a[2];
}

ROUTINE(ini_read_real) {
    IniText* ini = ForReading();
    if (!ini) return;
    const auto v = ini->Read(a[0].str(), a[1].str());
    r.SetReal(ParseIniReal(v ? *v : TextOf(a[2])));
}

ROUTINE(ini_write_string) {
    if (IniText* ini = ForWriting()) {
        ini->Write(a[0].str(), a[1].str(), TextOf(a[2]));
        Save();
    }
}

ROUTINE(ini_write_real) {
    if (IniText* ini = ForWriting()) {
        ini->Write(a[0].str(), a[1].str(), FormatIniReal(a[2].val()));
        Save();
    }
}

ROUTINE(ini_key_exists) {
    if (IniText* ini = ForReading()) r.SetReal(ini->KeyExists(a[0].str(), a[1].str()) ? 1 : 0);
}
ROUTINE(ini_section_exists) {
    if (IniText* ini = ForReading()) r.SetReal(ini->SectionExists(a[0].str()) ? 1 : 0);
}
ROUTINE(ini_key_delete) {
    if (IniText* ini = ForChanging())
        if (ini->DeleteKey(a[0].str(), a[1].str())) Save();
}
ROUTINE(ini_section_delete) {
    if (IniText* ini = ForChanging())
        if (ini->DeleteSection(a[0].str())) Save();
}

constexpr RFunctionSpec kFunctions[] = {
    {"ini_open", ini_open, 1},
    {"ini_close", ini_close, 0},
    {"ini_read_string", ini_read_string, 3},
    {"ini_read_real", ini_read_real, 3},
    {"ini_write_real", ini_write_real, 3},
    {"ini_write_string", ini_write_string, 3},
    {"ini_key_exists", ini_key_exists, 2},
    {"ini_section_exists", ini_section_exists, 1},
    {"ini_key_delete", ini_key_delete, 2},
    {"ini_section_delete", ini_section_delete, 1},
};

} // namespace

std::span<const RFunctionSpec> IniFunctions() {
    return kFunctions;
}

void ResetIniState() {
    g_ini.reset();
}

} // namespace kestrin
