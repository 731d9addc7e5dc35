#pragma once
// Process-wide state of one run: the temporary folder and the trace log. Made at start,
// torn down at exit.

#include <cstdio>
#include <string>
#include <vector>

namespace kestrin {

// The per-run temporary folder, deleted with everything in it when the object goes away.
class TempFolder {
public:
    TempFolder() = default;
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() { Remove(); }

    // Tries each base in turn; false when none could hold a folder.
    bool Create(const std::vector<std::string>& bases);
    void Remove();
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Where to look for the temporary folder's base: "tempdir.txt" beside the executable,
// the "temp", "tmp" and "TMPDIR" variables, "/tmp" and the current folder.
std::vector<std::string> TempFolderBases(const std::string& executableDir);

// A random name in the temporary folder that no file has yet.
std::string TempFileName(const std::string& folder, const std::string& extension);

class TraceLog {
public:
    TraceLog() = default;
    TraceLog(const TraceLog&) = delete;
    TraceLog& operator=(const TraceLog&) = delete;
    ~TraceLog();

    // Tracing is on when VTLOG_TRACE is "1" or a parameter is "--VTTrace".
    static bool Wanted(const std::vector<std::string>& parameters);
    // Opens "Trace.log" in `preferredDir`, or in the working folder when that is not writable,
    // and writes the banner.
    void Open(const std::string& preferredDir);
    bool Enabled() const { return file_ != nullptr; }
    void Line(const std::string& text);
    const std::string& FilePath() const { return path_; }

private:
    std::FILE* file_ = nullptr;
    std::string path_;
};

} // namespace kestrin
