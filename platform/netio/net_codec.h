#pragma once
// Little-endian writing and bounds-checked reading of the transports' control messages.
// Every read from a peer goes through NetReader, which fails (and stays failed) instead of
// reading past the end.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrin {

class NetWriter {
public:
    void U8(uint8_t v) { bytes.push_back(v); }
    void U16(uint16_t v) {
        U8(static_cast<uint8_t>(v));
        U8(static_cast<uint8_t>(v >> 8));
    }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(v >> (8 * i)));
    }
    void Raw(std::span<const uint8_t> data) { bytes.insert(bytes.end(), data.begin(), data.end()); }
    void Text(std::string_view text) {
        U32(static_cast<uint32_t>(text.size()));
        bytes.insert(bytes.end(), text.begin(), text.end());
    }
    std::vector<uint8_t> bytes;
};

class NetReader {
public:
    explicit NetReader(std::span<const uint8_t> data) : data_(data) {}
    bool ok() const { return ok_; }
    size_t Left() const { return data_.size() - pos_; }
    uint8_t U8() {
        if (!Need(1)) return 0;
        return data_[pos_++];
    }
    uint16_t U16() {
        if (!Need(2)) return 0;
        uint16_t v = static_cast<uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
        pos_ += 2;
        return v;
    }
    uint32_t U32() {
        if (!Need(4)) return 0;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t(data_[pos_ + size_t(i)]) << (8 * i);
        pos_ += 4;
        return v;
    }
    bool Raw(uint8_t* out, size_t n) {
        if (!Need(n)) return false;
        for (size_t i = 0; i < n; ++i) out[i] = data_[pos_ + i];
        pos_ += n;
        return true;
    }
    // A counted text of at most `limit` bytes.
    std::string Text(size_t limit) {
        const uint32_t n = U32();
        if (!ok_ || n > limit || !Need(n)) {
            ok_ = false;
            return {};
        }
        std::string s(reinterpret_cast<const char*>(data_.data() + pos_), n);
        pos_ += n;
        return s;
    }
    std::span<const uint8_t> Rest() {
        std::span<const uint8_t> rest = data_.subspan(pos_);
        pos_ = data_.size();
        return rest;
    }

private:
    bool Need(size_t n) {
        if (!ok_ || data_.size() - pos_ < n) ok_ = false;
        return ok_;
    }
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// Player names and session names longer than this are refused by the transports.
inline constexpr size_t kNetNameLimit = 4096;

} // namespace kestrin
