#pragma once
// Whole-file and ranged reads used by the loader and the tools.

#include <cstdint>
#include <string>
#include <vector>

namespace kestrin {

enum class FileReadStatus : uint8_t {
    Ok,
    CannotOpen, // missing, or no permission
    NotRegular, // a folder, a FIFO, a device: never read (a FIFO would block, a device never end)
    TooLarge,   // longer than the caller's limit
    ReadFailed,
};

// Files the user or the game names are at most this large unless the caller says otherwise.
inline constexpr uint64_t kMaxReadFileBytes = uint64_t(1) << 30;

// Reads a regular file of at most `limit` bytes. Opening never blocks (a FIFO is refused
// before anything is read), and a file that grows while it is read is cut off at the limit
// and refused, so no read allocates more than the limit.
FileReadStatus ReadRegularFile(const std::string& path, std::vector<uint8_t>& out,
                               uint64_t limit = kMaxReadFileBytes);
// False when the file cannot be opened or read completely, is not a regular file or is
// larger than kMaxReadFileBytes.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out);
// Reads `count` bytes at `offset`; false when the file is shorter.
bool ReadFileRange(const std::string& path, uint64_t offset, uint8_t* out, size_t count);
// Size of a regular file, or -1.
int64_t RegularFileSize(const std::string& path);

} // namespace kestrin
