#pragma once
// CStream: the typed little-endian memory stream through which game data, saved games,
// sprite/background files and data-structure texts are read and written.
//
// Reading past the end, or a count that the remaining bytes cannot hold, throws
// StreamError: a runner fault caught by whoever started the read (the loader reports it
// as a corrupted file). No read allocates more than the input can justify.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/fault.h"

namespace kestrin {

class TBitmap32;

class StreamError : public RunnerFault {
public:
    using RunnerFault::RunnerFault;
};

// Source of the free choices a writer makes (filler counts, permutation tables, keys).
// Deterministic for a given seed so that builds are reproducible.
class StreamRandom {
public:
    explicit StreamRandom(uint64_t seed = 0x4B52756E47646174ull) : state_(seed ? seed : 1) {}
    uint32_t Next();
    uint32_t Below(uint32_t bound) { return bound ? Next() % bound : 0; }

private:
    uint64_t state_;
};

class CStream {
public:
    CStream() = default;
    explicit CStream(std::vector<uint8_t> bytes) : buf_(std::move(bytes)) {}
    CStream(const uint8_t* data, size_t size) : buf_(data, data + size) {}

    size_t Size() const { return buf_.size(); }
    size_t Position() const { return pos_; }
    size_t Remaining() const { return pos_ < buf_.size() ? buf_.size() - pos_ : 0; }
    void Seek(size_t pos);
    bool AtEnd() const { return pos_ >= buf_.size(); }
    const std::vector<uint8_t>& Bytes() const { return buf_; }
    std::vector<uint8_t>& Bytes() { return buf_; }
    std::vector<uint8_t> TakeBytes();
    void Clear();

    // Reading.
    int32_t ReadInteger();
    uint32_t ReadWord() { return static_cast<uint32_t>(ReadInteger()); }
    double ReadReal();
    bool ReadBoolean();
    std::string ReadString();
    void ReadRaw(uint8_t* out, size_t count);
    std::vector<uint8_t> ReadBytes(size_t count);
    // The next `count` bytes in place; valid until the stream changes.
    std::span<const uint8_t> ReadView(size_t count);
    void Skip(size_t count);
    CStream ReadStream();
    CStream ReadStreamC();
    CStream ReadStreamE();
    // A presence flag, then a compressed BMP file. An image that does not decode reads as none.
    std::optional<TBitmap32> ReadBitmap();
    // Checks that `count` items of at least `itemSize` bytes each can still be read; throws
    // otherwise. Call before reserving or looping over a count read from the stream.
    size_t CheckCount(int64_t count, size_t itemSize);

    // Writing (at the position, growing the buffer).
    void WriteInteger(int32_t value);
    void WriteWord(uint32_t value) { WriteInteger(static_cast<int32_t>(value)); }
    void WriteReal(double value);
    void WriteBoolean(bool value) { WriteInteger(value ? 1 : 0); }
    void WriteString(std::string_view text);
    void WriteRaw(const uint8_t* data, size_t count);
    void WriteBytes(std::span<const uint8_t> bytes) { WriteRaw(bytes.data(), bytes.size()); }
    void WriteStream(const CStream& source);
    void WriteStreamC(const CStream& source);
    void WriteStreamE(const CStream& source, StreamRandom& random);
    void WriteBitmap(const TBitmap32* bitmap);

    // The whole content as two upper-case hex digits per byte, and back. ConvertFromString
    // leaves the stream unchanged and returns false when the text is not valid hex.
    std::string ConvertToString() const;
    bool ConvertFromString(std::string_view text);

    // Byte substitution used by extension package data; count <= 0 means to the end.
    void Decrypt(int32_t key, int64_t pos, int64_t count);
    void Encrypt(int32_t key, int64_t pos, int64_t count);

private:
    void Need(size_t count) const;
    void Reserve(size_t count);

    std::vector<uint8_t> buf_;
    size_t pos_ = 0;
};

// Stream text is UTF-8; malformed sequences become U+FFFD, as a round trip through the
// platform's UTF-16 text would make them.
std::string SanitizeUtf8(std::string_view bytes);

// zlib helpers shared by the stream, saved files and the PNG writer.
std::vector<uint8_t> Deflate(std::span<const uint8_t> data);
// Throws StreamError on malformed data, or when the output would pass kMaxInflatedBytes:
// compressed streams nest (an image inside the settings inside the body), and each level
// can multiply the size a thousandfold, so the ratio alone bounds nothing. The limit holds one
// sprite frame of the largest size with its mask (eight bytes a pixel) and room to spare.
inline constexpr size_t kMaxInflatedBytes = size_t(576) << 20;
std::vector<uint8_t> Inflate(std::span<const uint8_t> data, size_t limit = kMaxInflatedBytes);

// Inflation into one buffer kept from call to call, so that a run of streams (the items of a
// section) grows and zeroes it once instead of growing every result by doubling. The view
// lasts until the next call or the inflater's end; the same errors as Inflate.
class CInflater {
public:
    std::span<const uint8_t> Inflate(std::span<const uint8_t> data, size_t limit = kMaxInflatedBytes);
    // Frees the buffer when it holds more than `keep` bytes.
    void Trim(size_t keep);

private:
    std::vector<uint8_t> buffer_;
};

} // namespace kestrin
