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

namespace kestrin {

namespace {

std::string Trimmed(std::string_view text) {
    size_t from = 0, to = text.size();
    while (from < to && static_cast<unsigned char>(text[from]) <= ' ') ++from;
    while (to > from && static_cast<unsigned char>(text[to - 1]) <= ' ') --to;
    return std::string(text.substr(from, to - from));
}

void AppendLatin1(std::string& out, uint8_t byte) {
    if (byte < 0x80) {
        out.push_back(static_cast<char>(byte));
    } else {
        out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
        out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
}

} // namespace

void NormaliseExtensionFunctions(CExtensionPackage& package) {
    for (CExtensionFile& file : package.s_includes) {
        for (CExtensionFunction& f : file.s_functions) {
            f.s_name = Trimmed(f.s_name);
            f.s_extname = Trimmed(f.s_extname);
            if (f.s_extname.empty()) f.s_extname = f.s_name;
            if (f.s_argcount > 4) f.s_argtype.fill(2);
        }
    }
}

void CreateExtensionScripts(CExtensionFile& file, const std::vector<uint8_t>& bytes) {
    for (CExtensionFunction& f : file.s_functions) f.s_script.clear();
    if (file.s_kind != kExtensionScript) return;
    std::vector<std::string> lines;
    std::string line;
    for (const uint8_t byte : bytes) {
        if (byte == '\r') {
            lines.push_back(std::move(line));
            line.clear();
        } else if (byte != '\n') {
            AppendLatin1(line, byte);
        }
    }
    auto assign = [&file](const std::string& name, const std::string& text) {
        for (CExtensionFunction& f : file.s_functions)
            if (f.s_extname == name) f.s_script = text;
    };
    static constexpr std::string_view kDefine = "#define";
    bool open = false;
    std::string name, text;
    size_t count = 0;
    for (const std::string& l : lines) {
        if (l.starts_with(kDefine)) {
            if (open) assign(name, text);
            open = true;
            name = Trimmed(std::string_view(l).substr(kDefine.size()));
            text.clear();
            count = 0;
            continue;
        }
        if (!open) continue;
        if (count++ > 0) text += "\r\n";
        text += l;
    }
    if (open) assign(name, text);
}

} // namespace kestrin
