#include "base/stream.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include <zlib.h>

#include "base/bitmap32.h"
#include "base/image_bmp.h"

namespace kestrin {

uint32_t StreamRandom::Next() {
    // xorshift64*: small, fast and good enough for filler and tables.
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<uint32_t>((state_ * 0x2545F4914F6CDD1Dull) >> 32);
}

void CStream::Seek(size_t pos) {
    if (pos > buf_.size()) throw StreamError("seek past the end of the stream");
    pos_ = pos;
}

std::vector<uint8_t> CStream::TakeBytes() {
    pos_ = 0;
    return std::move(buf_);
}

void CStream::Clear() {
    buf_.clear();
    pos_ = 0;
}

void CStream::Need(size_t count) const {
    if (count > Remaining()) throw StreamError("read past the end of the stream");
}

size_t CStream::CheckCount(int64_t count, size_t itemSize) {
    if (count < 0) throw StreamError("negative count in stream");
    if (itemSize == 0) itemSize = 1;
    if (static_cast<uint64_t>(count) > Remaining() / itemSize)
        throw StreamError("count larger than the data left in the stream");
    return static_cast<size_t>(count);
}

void CStream::ReadRaw(uint8_t* out, size_t count) {
    Need(count);
    if (count) std::memcpy(out, buf_.data() + pos_, count);
    pos_ += count;
}

std::vector<uint8_t> CStream::ReadBytes(size_t count) {
    Need(count);
    std::vector<uint8_t> out(buf_.begin() + static_cast<ptrdiff_t>(pos_),
                             buf_.begin() + static_cast<ptrdiff_t>(pos_ + count));
    pos_ += count;
    return out;
}

std::span<const uint8_t> CStream::ReadView(size_t count) {
    Need(count);
    const std::span<const uint8_t> view(buf_.data() + pos_, count);
    pos_ += count;
    return view;
}

void CStream::Skip(size_t count) {
    Need(count);
    pos_ += count;
}

int32_t CStream::ReadInteger() {
    uint8_t b[4];
    ReadRaw(b, 4);
    uint32_t v = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return static_cast<int32_t>(v);
}

double CStream::ReadReal() {
    uint8_t b[8];
    ReadRaw(b, 8);
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | b[i];
    double d;
    std::memcpy(&d, &v, sizeof d);
    return d;
}

bool CStream::ReadBoolean() { return ReadInteger() > 0; }

std::string CStream::ReadString() {
    int32_t n = ReadInteger();
    if (n <= 0) return {};
    Need(static_cast<size_t>(n));
    std::string_view raw(reinterpret_cast<const char*>(buf_.data() + pos_), static_cast<size_t>(n));
    pos_ += static_cast<size_t>(n);
    return SanitizeUtf8(raw);
}

CStream CStream::ReadStream() {
    int32_t n = ReadInteger();
    if (n <= 0) return CStream();
    return CStream(ReadBytes(static_cast<size_t>(n)));
}

CStream CStream::ReadStreamC() {
    int32_t n = ReadInteger();
    if (n <= 0) return CStream();
    Need(static_cast<size_t>(n));
    std::span<const uint8_t> packed(buf_.data() + pos_, static_cast<size_t>(n));
    pos_ += static_cast<size_t>(n);
    return CStream(Inflate(packed));
}

CStream CStream::ReadStreamE() {
    int32_t a = ReadInteger();
    int32_t b = ReadInteger();
    Skip(4 * CheckCount(a, 4));
    uint8_t table[256];
    ReadRaw(table, 256);
    Skip(4 * CheckCount(b, 4));
    uint8_t inverse[256] = {};
    for (int i = 0; i < 256; ++i) inverse[table[i]] = static_cast<uint8_t>(i);

    int32_t n = ReadInteger();
    std::vector<uint8_t> x = ReadBytes(CheckCount(n, 1));
    // Undo the chained substitution from the top, while the previous byte is still scrambled.
    for (size_t i = x.size(); i-- > 1;)
        x[i] = static_cast<uint8_t>(inverse[x[i]] - x[i - 1] - static_cast<uint8_t>(i));
    for (size_t i = x.size(); i-- > 0;) {
        size_t t = table[i & 0xFF];
        size_t j = i >= t ? i - t : 0;
        std::swap(x[i], x[j]);
    }
    return CStream(std::move(x));
}

std::optional<TBitmap32> CStream::ReadBitmap() {
    if (!ReadBoolean()) return std::nullopt;
    CStream file = ReadStreamC();
    TBitmap32 bitmap;
    if (!DecodeBmp(file.Bytes(), bitmap, BmpAlpha::TestAlpha)) return std::nullopt;
    return bitmap;
}

void CStream::Reserve(size_t count) {
    if (pos_ + count > buf_.size()) buf_.resize(pos_ + count);
}

void CStream::WriteRaw(const uint8_t* data, size_t count) {
    Reserve(count);
    if (count) std::memcpy(buf_.data() + pos_, data, count);
    pos_ += count;
}

void CStream::WriteInteger(int32_t value) {
    uint32_t v = static_cast<uint32_t>(value);
    uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    WriteRaw(b, 4);
}

void CStream::WriteReal(double value) {
    uint64_t v;
    std::memcpy(&v, &value, sizeof v);
    uint8_t b[8];
    for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
    WriteRaw(b, 8);
}

void CStream::WriteString(std::string_view text) {
    if (text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw StreamError("string too long for the stream");
    WriteInteger(static_cast<int32_t>(text.size()));
    WriteRaw(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void CStream::WriteStream(const CStream& source) {
    if (source.Size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw StreamError("sub-stream too long");
    WriteInteger(static_cast<int32_t>(source.Size()));
    WriteRaw(source.buf_.data(), source.Size());
}

void CStream::WriteStreamC(const CStream& source) {
    std::vector<uint8_t> packed = Deflate(source.buf_);
    if (packed.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw StreamError("sub-stream too long");
    WriteInteger(static_cast<int32_t>(packed.size()));
    WriteRaw(packed.data(), packed.size());
}

void CStream::WriteStreamE(const CStream& source, StreamRandom& random) {
    uint8_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(i);
    for (int i = 255; i > 0; --i) std::swap(table[i], table[random.Below(static_cast<uint32_t>(i + 1))]);
    int32_t a = static_cast<int32_t>(random.Below(64) + 1);
    int32_t b = static_cast<int32_t>(random.Below(64) + 1);
    WriteInteger(a);
    WriteInteger(b);
    for (int32_t i = 0; i < a; ++i) WriteWord(random.Next());
    WriteRaw(table, 256);
    for (int32_t i = 0; i < b; ++i) WriteWord(random.Next());

    std::vector<uint8_t> x = source.buf_;
    for (size_t i = 0; i < x.size(); ++i) {
        size_t t = table[i & 0xFF];
        std::swap(x[i], x[i >= t ? i - t : 0]);
    }
    for (size_t i = 1; i < x.size(); ++i)
        x[i] = table[static_cast<uint8_t>(x[i] + x[i - 1] + static_cast<uint8_t>(i))];
    if (x.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw StreamError("sub-stream too long");
    WriteInteger(static_cast<int32_t>(x.size()));
    WriteRaw(x.data(), x.size());
}

void CStream::WriteBitmap(const TBitmap32* bitmap) {
    if (!bitmap || bitmap->Empty()) {
        WriteBoolean(false);
        return;
    }
    WriteBoolean(true);
    WriteStreamC(CStream(EncodeBmp(*bitmap)));
}

std::string CStream::ConvertToString() const {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.resize(buf_.size() * 2);
    for (size_t i = 0; i < buf_.size(); ++i) {
        out[2 * i] = digits[buf_[i] >> 4];
        out[2 * i + 1] = digits[buf_[i] & 15];
    }
    return out;
}

static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool CStream::ConvertFromString(std::string_view text) {
    if (text.size() % 2) return false;
    std::vector<uint8_t> out(text.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        int hi = HexDigit(text[2 * i]), lo = HexDigit(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        out[i] = static_cast<uint8_t>(hi << 4 | lo);
    }
    buf_ = std::move(out);
    pos_ = 0;
    return true;
}

// The substitution table of extension package data, built from the key.
static std::array<uint8_t, 256> DecryptTable(int32_t key) {
    int32_t a = key % 250, b = key / 250;
    if (a < 0) a += 256;
    if (b < 0) b += 256;
    a += 6;
    std::array<uint8_t, 256> t;
    for (int i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(i);
    for (int64_t i = 1; i <= 10000; ++i) {
        // Keys far below zero leave b negative; a floored remainder keeps j inside the table
        // and agrees with the plain remainder whenever that one is defined.
        int64_t j = (((i * a + b) % 254) + 254) % 254 + 1;
        std::swap(t[static_cast<size_t>(j)], t[static_cast<size_t>(j + 1)]);
    }
    return t;
}

static void Substitute(std::vector<uint8_t>& buf, const uint8_t* map, int64_t pos, int64_t count) {
    if (pos < 0) pos = 0;
    if (static_cast<uint64_t>(pos) >= buf.size()) return;
    size_t start = static_cast<size_t>(pos);
    size_t end = buf.size();
    if (count > 0 && static_cast<uint64_t>(count) < end - start) end = start + static_cast<size_t>(count);
    for (size_t i = start; i < end; ++i) buf[i] = map[buf[i]];
}

void CStream::Decrypt(int32_t key, int64_t pos, int64_t count) {
    std::array<uint8_t, 256> t = DecryptTable(key);
    uint8_t u[256] = {};
    for (int i = 1; i < 256; ++i) u[t[i]] = static_cast<uint8_t>(i);
    Substitute(buf_, u, pos, count);
}

void CStream::Encrypt(int32_t key, int64_t pos, int64_t count) {
    std::array<uint8_t, 256> t = DecryptTable(key);
    Substitute(buf_, t.data(), pos, count);
}

std::string SanitizeUtf8(std::string_view s) {
    // Fast path: most text is valid.
    auto valid_at = [&](size_t i, size_t& len) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp;
        if (c < 0x80) {
            len = 1;
            return true;
        }
        if (c >= 0xC2 && c <= 0xDF) len = 2, cp = c & 0x1F;
        else if (c >= 0xE0 && c <= 0xEF) len = 3, cp = c & 0x0F;
        else if (c >= 0xF0 && c <= 0xF4) len = 4, cp = c & 0x07;
        else return false;
        if (i + len > s.size()) return false;
        for (size_t k = 1; k < len; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = cp << 6 | (d & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return false;
        if (cp >= 0xD800 && cp <= 0xDFFF) return false;
        return true;
    };
    size_t i = 0, len = 0;
    while (i < s.size() && valid_at(i, len)) i += len;
    if (i == s.size()) return std::string(s);
    std::string out(s.substr(0, i));
    while (i < s.size()) {
        if (valid_at(i, len)) {
            out.append(s.substr(i, len));
            i += len;
        } else {
            out.append("\xEF\xBF\xBD");
            ++i;
        }
    }
    return out;
}

std::vector<uint8_t> Deflate(std::span<const uint8_t> data) {
    uLongf bound = compressBound(static_cast<uLong>(data.size()));
    std::vector<uint8_t> out(bound);
    if (compress2(out.data(), &bound, data.data(), static_cast<uLong>(data.size()), Z_DEFAULT_COMPRESSION) != Z_OK)
        throw StreamError("compression failed");
    out.resize(bound);
    return out;
}

std::span<const uint8_t> CInflater::Inflate(std::span<const uint8_t> data, size_t limit) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) throw StreamError("decompression failed");
    // Start from a guess (or what earlier streams left) and grow as output actually arrives,
    // so memory follows the real inflated size rather than a size claimed by the data.
    const size_t guess = std::min(std::min(data.size() * 4 + 64, size_t(64) << 20), limit);
    if (buffer_.size() < guess) buffer_.resize(guess);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    size_t produced = 0;
    int rc;
    for (;;) {
        size_t usable = std::min(buffer_.size(), limit);
        if (produced == usable) {
            if (usable == limit) {
                // At the limit: fine only if the stream ends here without another byte.
                uint8_t probe;
                z.next_out = &probe;
                z.avail_out = 1;
                rc = inflate(&z, Z_NO_FLUSH);
                if (rc == Z_STREAM_END && z.avail_out == 1) break;
                inflateEnd(&z);
                throw StreamError("compressed data expands beyond the size limit");
            }
            buffer_.resize(std::max(produced + 1, std::min(buffer_.size() * 2, limit)));
            usable = std::min(buffer_.size(), limit);
        }
        z.next_out = buffer_.data() + produced;
        const size_t chunk = std::min<size_t>(usable - produced, 1u << 30);
        z.avail_out = static_cast<uInt>(chunk);
        rc = inflate(&z, Z_NO_FLUSH);
        produced += chunk - z.avail_out;
        if (rc == Z_STREAM_END) break;
        if (rc != Z_OK && rc != Z_BUF_ERROR) break;
        if (rc == Z_BUF_ERROR && z.avail_in == 0) break;  // input ended before the stream did
    }
    inflateEnd(&z);
    if (rc != Z_STREAM_END) throw StreamError("corrupted compressed data");
    return std::span<const uint8_t>(buffer_.data(), produced);
}

void CInflater::Trim(size_t keep) {
    if (buffer_.capacity() > keep) std::vector<uint8_t>().swap(buffer_);
}

std::vector<uint8_t> Inflate(std::span<const uint8_t> data, size_t limit) {
    // One buffer per thread: the result is copied out at its exact size, never zeroed first.
    thread_local CInflater inflater;
    const std::span<const uint8_t> out = inflater.Inflate(data, limit);
    std::vector<uint8_t> result(out.begin(), out.end());
    inflater.Trim(size_t(4) << 20);
    return result;
}

} // namespace kestrin
