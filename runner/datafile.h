#pragma once
// Included files: data the author packed into the game, exported to disk at start or on
// request and removed again when the game ends.

#include <cstdint>
#include <string>
#include <vector>

#include "base/stream.h"

namespace kestrin {

enum ExportAction : int32_t {
    kExportNone = 0,
    kExportToTemp = 1,
    kExportToWorkingFolder = 2,
    kExportToFolder = 3,
};

// Where included files go: the run's temporary folder and whether secure mode restricts
// exports. Filled by start-up; tests make their own.
struct DataFileContext {
    std::string temp_folder;
    bool secure_mode = false;
    // Receives the non-fatal messages of refused exports.
    void (*report)(const std::string& message) = nullptr;
};

class CDataFile {
public:
    std::string s_filename;
    std::string s_origname;
    bool s_exists = false;
    int32_t s_size = 0;
    bool s_store = false;
    std::vector<uint8_t> s_data;
    int32_t s_exportaction = kExportToWorkingFolder;
    std::string s_exportdir;
    bool s_overwrite = false;
    bool s_freedata = true;
    bool s_removeend = true;
    // Set when this run wrote the file; only such files are removed at the end, so a file
    // that was already there (and not overwritten) is never deleted.
    bool exported = false;

    void Clear() { *this = CDataFile(); }
    // False for a wrong version; StreamError when cut short.
    bool LoadFromStream(CStream& in);
    void SaveToStream(CStream& out) const;

    bool ExportIt(const std::string& fname);
    bool Prepare(const DataFileContext& ctx);
    void Discard();
    bool Remove(const DataFileContext& ctx);

private:
    std::string ExportPath(const DataFileContext& ctx) const;
};

class CDataFileList {
public:
    std::vector<CDataFile> files;

    int Find(const std::string& name) const;
    CDataFile* Get(int index) {
        return index >= 0 && index < static_cast<int>(files.size()) ? &files[index] : nullptr;
    }
    // Never fails: a file that cannot be written is skipped.
    bool PrepareAll(const DataFileContext& ctx);
    void RemoveAll(const DataFileContext& ctx);
};

// Game names use "\" between folders; on this system that is "/".
std::string NativePath(std::string path);

} // namespace kestrin
// The last part of a name with "\" or "/" between folders; empty for ".", ".." or a name
// ending in a separator. Included files are exported under this name only.
std::string BareFileName(const std::string& name);
