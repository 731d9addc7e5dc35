#pragma once
// Whole-file and ranged reads used by the loader and the tools.

#include <cstdint>
#include <string>
#include <vector>

namespace kestrin {

// False when the file cannot be opened or read completely.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out);
// Reads `count` bytes at `offset`; false when the file is shorter.
bool ReadFileRange(const std::string& path, uint64_t offset, uint8_t* out, size_t count);
// Size of a regular file, or -1.
int64_t RegularFileSize(const std::string& path);

} // namespace kestrin
