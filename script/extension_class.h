#pragma once
// Extension packages as the game data stores them: packages, their files, functions and
// constants, and the substituted data block carrying the files' bytes.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/stream.h"

namespace kestrin {

struct CExtensionFunction {
    std::string s_name;
    std::string s_extname;
    int32_t s_kind = 0;
    int32_t s_id = 0;
    int32_t s_argcount = -1;
    std::array<int32_t, 17> s_argtype{2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2};
    int32_t s_returntype = 2;
    std::string s_script;
};

struct CExtensionConstant {
    std::string s_name;
    std::string s_value;
};

enum ExtensionFileKind : int32_t {
    kExtensionDll = 1,
    kExtensionScript = 2,
    kExtensionNoData = 3,
    kExtensionOther = 4,
};

struct CExtensionFile {
    std::string s_filename;
    int32_t s_kind = kExtensionOther;
    std::string s_init;
    std::string s_final;
    std::vector<CExtensionFunction> s_functions;
    std::vector<CExtensionConstant> s_constants;
    // The file's bytes (empty for files whose data the package does not carry).
    std::vector<uint8_t> data;
};

struct CExtensionPackage {
    std::string s_name;
    std::string s_folder;
    std::vector<CExtensionFile> s_includes;
    // Key of the byte substitution over the data block; kept so a rebuilt game is identical.
    int32_t key = 0;

    // False when a version word is wrong; StreamError when the record is cut short.
    bool LoadFromStream(CStream& in);
    void SaveToStream(CStream& out) const;
};

// What the runner makes of a package's functions before using them: names trimmed of spaces
// and control characters at both ends, an empty external name taken from the name, and every
// argument of a function with more than four arguments a real.
void NormaliseExtensionFunctions(CExtensionPackage& package);

// A script file of a package: each "#define NAME" line (at the start of the line) opens the
// text of the functions whose external name is NAME; lines end at CR (LF is dropped), bytes
// are Latin-1, and text after the last CR belongs to no line. Clears every function's script
// first; files of other kinds get none.
void CreateExtensionScripts(CExtensionFile& file, const std::vector<uint8_t>& bytes);

// The extension-package section: version 700, a count, the package records.
bool LoadExtensionSection(CStream& in, std::vector<CExtensionPackage>& packages);
void SaveExtensionSection(CStream& out, const std::vector<CExtensionPackage>& packages);

} // namespace kestrin
