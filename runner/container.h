#pragma once
// The container that holds game data at the end of an executable: a marker, a key number,
// a checksum and a version word, followed by a body scrambled word-wise with a keyed
// multiply-with-carry generator.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "base/stream.h"

namespace kestrin {

// The two fixed pieces of the key text; tools that write game files rely on them.
inline constexpr const char* kKeyPrefix = "KRun";
inline constexpr const char* kKeySuffix = "Gdat";
inline constexpr uint32_t kMarkerPattern = 0xF7140067u;
inline constexpr int32_t kContainerVersion = 810;

void InitFastCRC();
// Reflected CRC-32 (0xEDB88320) without the final inversion.
uint32_t CalcCRC(const uint8_t* buffer, size_t size);
// The byte-by-byte table form of the same checksum, kept as the reference for tests.
uint32_t CalcCRCTable(const uint8_t* buffer, size_t size);
uint32_t LocalRandom(uint32_t& z, uint32_t& w);
// Seed of the body scrambling for a key number.
uint32_t KeySeed(uint32_t keyNumber);

enum class ContainerStatus { Ok, NotFound, WrongVersion, ChecksumMismatch };

struct ContainerResult {
    ContainerStatus status = ContainerStatus::NotFound;
    size_t marker = 0;      // offset M of the marker
    size_t bodyOffset = 0;  // where the header (the version word) begins: M + 16
};

// Unscrambles the word-wise xor of the body in place; returns false when the checksum at
// base + 4 does not match the unscrambled bytes.
bool DecryptWad(std::vector<uint8_t>& image, size_t base);

// Finds the game data from `searchStart`, restores the version word, unscrambles and checks
// the body, all in place in `image`.
ContainerResult OpenContainer(std::vector<uint8_t>& image, size_t searchStart);

// Builds a container around `body` (everything after the version word). The free choices
// (marker halves, key number) come from `random`.
std::vector<uint8_t> WriteContainer(std::span<const uint8_t> body, StreamRandom& random);

// Where a file's own ELF image ends (the start of anything appended to it), or 0 when the
// bytes are not an ELF file. The reader form reads only the headers, so a large program can
// be checked without reading all of it.
using ByteReader = std::function<bool(uint64_t offset, uint8_t* out, size_t count)>;
size_t ElfImageEnd(uint64_t fileSize, const ByteReader& read);
size_t ElfImageEnd(std::span<const uint8_t> file);

} // namespace kestrin
