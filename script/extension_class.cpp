#include "script/extension_class.h"

namespace kestrin {

namespace {

constexpr int32_t kRecordVersion = 700;
// Smallest stored size of each record, so counts can be checked before looping.
constexpr size_t kMinFunctionRecord = 4 * 6 + 4 * 17 + 4;
constexpr size_t kMinConstantRecord = 12;
constexpr size_t kMinFileRecord = 4 * 7;
constexpr size_t kMinPackageRecord = 4 * 5;

bool LoadFunction(CStream& in, CExtensionFunction& f) {
    if (in.ReadInteger() != kRecordVersion) return false;
    f.s_name = in.ReadString();
    f.s_extname = in.ReadString();
    f.s_kind = in.ReadInteger();
    f.s_id = in.ReadInteger();
    f.s_argcount = in.ReadInteger();
    for (auto& t : f.s_argtype) t = in.ReadInteger();
    f.s_returntype = in.ReadInteger();
    if (f.s_returntype != 1 && f.s_returntype != 2) f.s_returntype = 2;
    return true;
}

bool LoadFile(CStream& in, CExtensionFile& file) {
    if (in.ReadInteger() != kRecordVersion) return false;
    file.s_filename = in.ReadString();
    file.s_kind = in.ReadInteger();
    file.s_init = in.ReadString();
    file.s_final = in.ReadString();
    size_t nf = in.CheckCount(in.ReadInteger(), kMinFunctionRecord);
    file.s_functions.resize(nf);
    for (auto& f : file.s_functions)
        if (!LoadFunction(in, f)) return false;
    size_t nc = in.CheckCount(in.ReadInteger(), kMinConstantRecord);
    file.s_constants.resize(nc);
    for (auto& c : file.s_constants) {
        if (in.ReadInteger() != kRecordVersion) return false;
        c.s_name = in.ReadString();
        c.s_value = in.ReadString();
    }
    return true;
}

} // namespace

bool CExtensionPackage::LoadFromStream(CStream& in) {
    if (in.ReadInteger() != kRecordVersion) return false;
    s_name = in.ReadString();
    s_folder = in.ReadString();
    size_t n = in.CheckCount(in.ReadInteger(), kMinFileRecord);
    s_includes.assign(n, CExtensionFile());
    for (auto& file : s_includes)
        if (!LoadFile(in, file)) return false;

    CStream block = in.ReadStream();
    key = block.ReadInteger();
    // Everything after the key and the byte that follows it is substituted.
    block.Decrypt(key, 5, 0);
    for (auto& file : s_includes) {
        if (file.s_kind == kExtensionNoData) continue;
        file.data = block.ReadStreamC().TakeBytes();
    }
    return true;
}

void CExtensionPackage::SaveToStream(CStream& out) const {
    out.WriteInteger(kRecordVersion);
    out.WriteString(s_name);
    out.WriteString(s_folder);
    out.WriteInteger(static_cast<int32_t>(s_includes.size()));
    for (const auto& file : s_includes) {
        out.WriteInteger(kRecordVersion);
        out.WriteString(file.s_filename);
        out.WriteInteger(file.s_kind);
        out.WriteString(file.s_init);
        out.WriteString(file.s_final);
        out.WriteInteger(static_cast<int32_t>(file.s_functions.size()));
        for (const auto& f : file.s_functions) {
            out.WriteInteger(kRecordVersion);
            out.WriteString(f.s_name);
            out.WriteString(f.s_extname);
            out.WriteInteger(f.s_kind);
            out.WriteInteger(f.s_id);
            out.WriteInteger(f.s_argcount);
            for (int32_t t : f.s_argtype) out.WriteInteger(t);
            out.WriteInteger(f.s_returntype);
        }
        out.WriteInteger(static_cast<int32_t>(file.s_constants.size()));
        for (const auto& c : file.s_constants) {
            out.WriteInteger(kRecordVersion);
            out.WriteString(c.s_name);
            out.WriteString(c.s_value);
        }
    }
    CStream block;
    block.WriteInteger(key);
    for (const auto& file : s_includes) {
        if (file.s_kind == kExtensionNoData) continue;
        block.WriteStreamC(CStream(file.data));
    }
    block.Encrypt(key, 5, 0);
    out.WriteStream(block);
}

bool LoadExtensionSection(CStream& in, std::vector<CExtensionPackage>& packages) {
    packages.clear();
    if (in.ReadInteger() != kRecordVersion) return false;
    size_t n = in.CheckCount(in.ReadInteger(), kMinPackageRecord);
    packages.resize(n);
    for (auto& p : packages)
        if (!p.LoadFromStream(in)) return false;
    return true;
}

void SaveExtensionSection(CStream& out, const std::vector<CExtensionPackage>& packages) {
    out.WriteInteger(kRecordVersion);
    out.WriteInteger(static_cast<int32_t>(packages.size()));
    for (const auto& p : packages) p.SaveToStream(out);
}

} // namespace kestrin
