#include "base/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

namespace kestrin {

namespace {
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};
} // namespace

int64_t RegularFileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<int64_t>(st.st_size);
}

FileReadStatus ReadRegularFile(const std::string& path, std::vector<uint8_t>& out, uint64_t limit) {
    out.clear();
    // Non-blocking, so that opening a FIFO without a writer returns at once; the type is
    // checked on the open descriptor, so a swap between check and read changes nothing.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) return FileReadStatus::CannotOpen;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return FileReadStatus::ReadFailed;
    if (!S_ISREG(st.st_mode)) return FileReadStatus::NotRegular;
    if (st.st_size < 0 || static_cast<uint64_t>(st.st_size) > limit) return FileReadStatus::TooLarge;
    out.reserve(static_cast<size_t>(st.st_size));
    uint8_t block[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), block, sizeof block);
        if (n < 0) {
            if (errno == EINTR) continue;
            out.clear();
            return FileReadStatus::ReadFailed;
        }
        if (n == 0) break;
        if (out.size() + static_cast<size_t>(n) > limit) {
            out.clear();
            out.shrink_to_fit();
            return FileReadStatus::TooLarge;
        }
        out.insert(out.end(), block, block + n);
    }
    return FileReadStatus::Ok;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    return ReadRegularFile(path, out) == FileReadStatus::Ok;
}

bool ReadFileRange(const std::string& path, uint64_t offset, uint8_t* out, size_t count) {
    if (RegularFileSize(path) < 0) return false;
    File f(std::fopen(path.c_str(), "rb"));
    if (!f || std::fseek(f.get(), static_cast<long>(offset), SEEK_SET) != 0) return false;
    return count == 0 || std::fread(out, 1, count, f.get()) == count;
}

} // namespace kestrin
