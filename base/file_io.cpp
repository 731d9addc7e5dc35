#include "base/file_io.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>

namespace kestrin {

namespace {
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;
} // namespace

int64_t RegularFileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) return false;
    struct stat st {};
    if (::fstat(fileno(f.get()), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    out.resize(static_cast<size_t>(st.st_size));
    return out.empty() || std::fread(out.data(), 1, out.size(), f.get()) == out.size();
}

bool ReadFileRange(const std::string& path, uint64_t offset, uint8_t* out, size_t count) {
    File f(std::fopen(path.c_str(), "rb"));
    if (!f || std::fseek(f.get(), static_cast<long>(offset), SEEK_SET) != 0) return false;
    return count == 0 || std::fread(out, 1, count, f.get()) == count;
}

} // namespace kestrin
