#include "net/net_wire.h"

#include <cstring>
#include <string_view>

namespace kestrin {

namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t GetU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The longest prefix of at most `limit` bytes that does not end inside a UTF-8 sequence.
size_t CutAtCharacter(std::string_view text, size_t limit) {
    if (text.size() <= limit) return text.size();
    size_t end = limit;
    // Back over continuation bytes to the lead byte of the character the cut would split.
    while (end > 0 && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80) --end;
    return end;
}

} // namespace

std::vector<uint8_t> EncodeNetPayload(bool isMessage, int32_t id, const RValue& value) {
    std::vector<uint8_t> out;
    out.reserve(value.IsString() ? 10 + std::min(value.str().size(), kNetTextLimit) : kNetRealPacketSize);
    out.push_back(isMessage ? 1 : 0);
    PutU32(out, static_cast<uint32_t>(id));
    if (value.IsString()) {
        std::string_view text = value.str();
        const size_t length = CutAtCharacter(text, kNetTextLimit);
        out.push_back(1);
        PutU32(out, static_cast<uint32_t>(length));
        out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
    } else {
        out.push_back(0);
        double real = value.val();
        uint64_t bits = 0;
        std::memcpy(&bits, &real, sizeof bits);
        PutU32(out, static_cast<uint32_t>(bits));
        PutU32(out, static_cast<uint32_t>(bits >> 32));
    }
    return out;
}

std::optional<TMess> DecodeNetPayload(std::span<const uint8_t> bytes) {
    if (bytes.size() < kNetHeaderSize || bytes.size() > kNetMaxPacket) return std::nullopt;
    const uint8_t* p = bytes.data();
    if (p[0] > 1 || p[5] > 1) return std::nullopt;
    TMess m;
    m.ismessage = p[0] == 1;
    m.messid = static_cast<int32_t>(GetU32(p + 1));
    if (p[5] == 0) {
        if (bytes.size() != kNetRealPacketSize) return std::nullopt;
        uint64_t bits = uint64_t(GetU32(p + 6)) | uint64_t(GetU32(p + 10)) << 32;
        double real = 0;
        std::memcpy(&real, &bits, sizeof real);
        m.val.SetReal(real);
        return m;
    }
    if (bytes.size() < 10) return std::nullopt;
    const uint32_t length = GetU32(p + 6);
    if (length > kNetTextLimit || length != bytes.size() - 10) return std::nullopt;
    m.val.SetString(std::string_view(reinterpret_cast<const char*>(p + 10), length));
    return m;
}

} // namespace kestrin
