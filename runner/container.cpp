#include "runner/container.h"

#include <algorithm>
#include <array>
#include <cstring>

#include <zlib.h>

namespace kestrin {

namespace {

std::array<uint32_t, 256> g_crcTable;
bool g_crcReady = false;

uint32_t Word(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

void PutWord(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// The keyed xor over the body is its own inverse: scrambling and unscrambling are one routine.
void XorBody(uint8_t* body, size_t length, uint32_t checksum, uint32_t seed) {
    uint32_t z = checksum, w = seed;
    int64_t limit = static_cast<int64_t>(length) - 5;
    for (int64_t i = (seed & 0xFF) + 6; i < limit; i += 4) {
        uint32_t r = LocalRandom(z, w);
        uint8_t* p = body + i;
        for (int k = 0; k < 4; ++k) p[k] ^= static_cast<uint8_t>(r >> (8 * k));
    }
}

} // namespace

void InitFastCRC() {
    if (g_crcReady) return;
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        g_crcTable[n] = c;
    }
    g_crcReady = true;
}

uint32_t CalcCRC(const uint8_t* buffer, size_t size) {
    // The same register as the table loop below, computed by zlib's faster routine: the
    // standard CRC-32 ends with an inversion that this checksum leaves out.
    uLong crc = crc32(0L, Z_NULL, 0);
    while (size > 0) {
        uInt chunk = static_cast<uInt>(std::min<size_t>(size, 1u << 30));
        crc = crc32(crc, buffer, chunk);
        buffer += chunk;
        size -= chunk;
    }
    return ~static_cast<uint32_t>(crc);
}

uint32_t CalcCRCTable(const uint8_t* buffer, size_t size) {
    InitFastCRC();
    uint32_t reg = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) reg = (reg >> 8) ^ g_crcTable[(reg ^ buffer[i]) & 0xFF];
    return reg;
}

uint32_t LocalRandom(uint32_t& z, uint32_t& w) {
    z = 36969u * (z & 0xFFFFu) + (z >> 16);
    w = 18000u * (w & 0xFFFFu) + (w >> 16);
    return (z << 16) + (w & 0xFFFFu);
}

uint32_t KeySeed(uint32_t keyNumber) {
    std::string text = std::string(kKeyPrefix) + std::to_string(keyNumber) + kKeySuffix;
    std::vector<uint8_t> utf16;
    utf16.reserve(text.size() * 2);
    for (char c : text) {  // the key text is plain ASCII
        utf16.push_back(static_cast<uint8_t>(c));
        utf16.push_back(0);
    }
    return CalcCRC(utf16.data(), utf16.size());
}

bool DecryptWad(std::vector<uint8_t>& image, size_t base) {
    if (image.size() < base + 12) return false;
    size_t length = image.size() - base - 12;
    uint32_t seed = KeySeed(Word(image, base));
    uint32_t checksum = Word(image, base + 4);
    uint8_t* body = image.data() + base + 12;
    XorBody(body, length, checksum, seed);
    if (CalcCRC(body, length) == checksum) return true;
    XorBody(body, length, checksum, seed);  // restore, so a later search sees the original bytes
    return false;
}

ContainerResult OpenContainer(std::vector<uint8_t>& image, size_t searchStart) {
    ContainerResult result;
    bool sawDamaged = false;
    for (size_t m = searchStart; m + 8 <= image.size(); ++m) {
        uint32_t a = Word(image, m), b = Word(image, m + 4);
        if (((a & 0xFF00FF00u) | (b & 0x00FF00FFu)) != kMarkerPattern) continue;
        if (m + 20 > image.size()) {
            sawDamaged = true;
            break;
        }
        uint32_t v = (a & 0x00FF00FFu) | (b & 0xFF00FF00u);
        uint32_t stored = Word(image, m + 16);
        PutWord(image, m + 16, stored ^ v);
        if (!DecryptWad(image, m + 8)) {
            // A chance match of the marker, or damaged data: keep looking, and report
            // damage only when no intact container follows.
            PutWord(image, m + 16, stored);
            sawDamaged = true;
            continue;
        }
        result.marker = m;
        result.bodyOffset = m + 16;
        result.status = static_cast<int32_t>(Word(image, m + 16)) == kContainerVersion
                            ? ContainerStatus::Ok
                            : ContainerStatus::WrongVersion;
        return result;
    }
    result.status = sawDamaged ? ContainerStatus::ChecksumMismatch : ContainerStatus::NotFound;
    return result;
}

std::vector<uint8_t> WriteContainer(std::span<const uint8_t> body, StreamRandom& random) {
    std::vector<uint8_t> out(20 + body.size());
    uint32_t a = (kMarkerPattern & 0xFF00FF00u) | (random.Next() & 0x00FF00FFu);
    uint32_t b = (kMarkerPattern & 0x00FF00FFu) | (random.Next() & 0xFF00FF00u);
    uint32_t v = (a & 0x00FF00FFu) | (b & 0xFF00FF00u);
    uint32_t key = random.Next();
    uint32_t checksum = CalcCRC(body.data(), body.size());
    PutWord(out, 0, a);
    PutWord(out, 4, b);
    PutWord(out, 8, key);
    PutWord(out, 12, checksum);
    PutWord(out, 16, static_cast<uint32_t>(kContainerVersion) ^ v);
    if (!body.empty()) std::memcpy(out.data() + 20, body.data(), body.size());
    XorBody(out.data() + 20, body.size(), checksum, KeySeed(key));
    return out;
}

size_t ElfImageEnd(uint64_t fileSize, const ByteReader& read) {
    uint8_t h[64] = {};
    if (fileSize < 64 || !read(0, h, 64)) return 0;
    if (h[0] != 0x7F || h[1] != 'E' || h[2] != 'L' || h[3] != 'F' || h[5] != 1) return 0;  // little-endian only
    bool is64 = h[4] == 2;
    auto u16 = [](const uint8_t* p) { return uint64_t(p[0] | p[1] << 8); };
    auto u32 = [](const uint8_t* p) {
        return uint64_t(p[0]) | uint64_t(p[1]) << 8 | uint64_t(p[2]) << 16 | uint64_t(p[3]) << 24;
    };
    auto u64 = [&](const uint8_t* p) { return u32(p) | u32(p + 4) << 32; };
    auto addr = [&](const uint8_t* p) { return is64 ? u64(p) : u32(p); };

    uint64_t phoff = addr(h + (is64 ? 0x20 : 0x1C)), shoff = addr(h + (is64 ? 0x28 : 0x20));
    uint64_t phentsize = u16(h + (is64 ? 0x36 : 0x2A)), phnum = u16(h + (is64 ? 0x38 : 0x2C));
    uint64_t shentsize = u16(h + (is64 ? 0x3A : 0x2E)), shnum = u16(h + (is64 ? 0x3C : 0x30));
    uint64_t end = is64 ? 64 : 52;
    auto within = [&](uint64_t off, uint64_t len) { return off <= fileSize && len <= fileSize - off; };
    // Entry fields read below lie within the first 40 bytes of an entry.
    constexpr uint64_t kMinEntry = 40;

    std::vector<uint8_t> table;
    auto readTable = [&](uint64_t off, uint64_t entsize, uint64_t num) {
        if (entsize < kMinEntry || !within(off, entsize * num)) return false;
        table.resize(static_cast<size_t>(entsize * num));
        return read(off, table.data(), table.size());
    };
    if (readTable(phoff, phentsize, phnum)) {
        end = std::max(end, phoff + phentsize * phnum);
        for (uint64_t i = 0; i < phnum; ++i) {
            const uint8_t* e = table.data() + i * phentsize;
            uint64_t off = is64 ? u64(e + 8) : u32(e + 4);
            uint64_t size = is64 ? u64(e + 32) : u32(e + 16);
            if (within(off, size)) end = std::max(end, off + size);
        }
    }
    if (readTable(shoff, shentsize, shnum)) {
        end = std::max(end, shoff + shentsize * shnum);
        for (uint64_t i = 0; i < shnum; ++i) {
            const uint8_t* e = table.data() + i * shentsize;
            if (u32(e + 4) == 8) continue;  // SHT_NOBITS occupies no file space
            uint64_t off = is64 ? u64(e + 24) : u32(e + 16);
            uint64_t size = is64 ? u64(e + 32) : u32(e + 20);
            if (within(off, size)) end = std::max(end, off + size);
        }
    }
    return static_cast<size_t>(std::min<uint64_t>(end, fileSize));
}

size_t ElfImageEnd(std::span<const uint8_t> file) {
    return ElfImageEnd(file.size(), [&](uint64_t offset, uint8_t* out, size_t count) {
        if (offset > file.size() || count > file.size() - offset) return false;
        std::memcpy(out, file.data() + offset, count);
        return true;
    });
}

} // namespace kestrin
