#include "runner/datafile.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "runner/messages.h"

namespace fs = std::filesystem;

namespace kestrin {

namespace {
constexpr int32_t kDataFileVersion = 800;

bool HasFolder(const std::string& name) {
    return name.find_first_of("\\/") != std::string::npos;
}

void Report(const DataFileContext& ctx, const std::string& text) {
    if (ctx.report) ctx.report(text);
}
} // namespace

std::string BareFileName(const std::string& name) {
    const std::string native = NativePath(name);
    const size_t slash = native.find_last_of('/');
    std::string bare = slash == std::string::npos ? native : native.substr(slash + 1);
    if (bare == "." || bare == "..") bare.clear();
    return bare;
}

std::string NativePath(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

bool CDataFile::LoadFromStream(CStream& in) {
    Clear();
    if (in.ReadInteger() != kDataFileVersion) return false;
    // Only the export folder decides where a file goes: folders in the name ("..\\..\\x",
    // an absolute path) would place it, and remove it at the end, anywhere.
    s_filename = BareFileName(in.ReadString());
    s_origname = in.ReadString();
    s_exists = in.ReadBoolean();
    s_size = in.ReadInteger();
    s_store = in.ReadBoolean();
    if (s_exists && s_store) s_data = in.ReadStream().TakeBytes();
    s_exportaction = in.ReadInteger();
    s_exportdir = in.ReadString();
    s_overwrite = in.ReadBoolean();
    s_freedata = in.ReadBoolean();
    s_removeend = in.ReadBoolean();
    return true;
}

void CDataFile::SaveToStream(CStream& out) const {
    out.WriteInteger(kDataFileVersion);
    out.WriteString(s_filename);
    out.WriteString(s_origname);
    out.WriteBoolean(s_exists);
    out.WriteInteger(s_size);
    out.WriteBoolean(s_store);
    if (s_exists && s_store) out.WriteStream(CStream(s_data));
    out.WriteInteger(s_exportaction);
    out.WriteString(s_exportdir);
    out.WriteBoolean(s_overwrite);
    out.WriteBoolean(s_freedata);
    out.WriteBoolean(s_removeend);
}

bool CDataFile::ExportIt(const std::string& fname) {
    if (!s_exists) return false;
    std::error_code ec;
    std::string path = NativePath(fname);
    if (!s_overwrite && fs::exists(path, ec)) return false;
    // Write beside the target and rename, so a failed write never leaves half a file.
    std::string temp = path + ".ks_part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(reinterpret_cast<const char*>(s_data.data()), static_cast<std::streamsize>(s_data.size()));
        if (!out) {
            out.close();
            fs::remove(temp, ec);
            return false;
        }
    }
    fs::rename(temp, path, ec);
    if (ec) {
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

std::string CDataFile::ExportPath(const DataFileContext& ctx) const {
    const std::string name = BareFileName(s_filename);
    if (name.empty()) return {};
    switch (s_exportaction) {
    case kExportToTemp:
        return ctx.temp_folder + "/" + name;
    case kExportToWorkingFolder:
        return name;
    case kExportToFolder:
        return NativePath(s_exportdir) + "/" + name;
    default:
        return {};
    }
}

bool CDataFile::Prepare(const DataFileContext& ctx) {
    if (!s_exists) return false;
    if (s_exportaction == kExportNone) return true;
    if (ctx.secure_mode && HasFolder(s_filename)) {
        Report(ctx, std::string(msg::kSecureExportTo) + s_filename);
        return false;
    }
    bool ok = false;
    if (s_exportaction == kExportToFolder) {
        if (ctx.secure_mode) {
            Report(ctx, msg::kSecureExportDir);
            return false;
        }
        std::error_code ec;
        const std::string path = ExportPath(ctx);
        if (!path.empty()) {
            fs::create_directories(NativePath(s_exportdir), ec);
            ok = ExportIt(path);
        }
    } else if (s_exportaction == kExportToTemp || s_exportaction == kExportToWorkingFolder) {
        const std::string path = ExportPath(ctx);
        ok = !path.empty() && ExportIt(path);
    }
    exported = exported || ok;
    if (s_freedata) Discard();
    return ok;
}

void CDataFile::Discard() {
    if (!s_exists) return;
    s_data.clear();
    s_data.shrink_to_fit();
    s_exists = false;
}

bool CDataFile::Remove(const DataFileContext& ctx) {
    if (!s_removeend || s_exportaction == kExportNone || !exported) return true;
    if (ctx.secure_mode && HasFolder(s_filename)) return false;
    if (s_exportaction == kExportToFolder && ctx.secure_mode) return false;
    std::string path = ExportPath(ctx);
    if (path.empty()) return false;
    std::error_code ec;
    exported = false;
    return fs::remove(path, ec);
}

int CDataFileList::Find(const std::string& name) const {
    for (size_t i = 0; i < files.size(); ++i)
        if (files[i].s_filename == name) return static_cast<int>(i);
    return -1;
}

bool CDataFileList::PrepareAll(const DataFileContext& ctx) {
    for (auto& f : files)
        if (f.s_exportaction != kExportNone) (void)f.Prepare(ctx);
    return true;
}

void CDataFileList::RemoveAll(const DataFileContext& ctx) {
    for (auto& f : files) (void)f.Remove(ctx);
}

} // namespace kestrin
