#pragma once
// The payload of one multiplayer packet, little-endian: a message flag byte, the message id or
// shared-value index (signed 32-bit), a string flag byte, then either the real (8-byte IEEE
// double) or the text's byte count (32-bit) and its bytes. Packets come from other machines,
// so decoding checks every length and flag before reading and drops what does not fit.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "script/value.h"

namespace kestrin {

inline constexpr size_t kNetTextLimit = 32000;              // longer texts are cut to this
inline constexpr size_t kNetHeaderSize = 6;                 // flag, id, string flag
inline constexpr size_t kNetRealPacketSize = 14;            // header and the double
inline constexpr size_t kNetMaxPacket = 10 + kNetTextLimit; // the largest packet we form or accept
inline constexpr size_t kNetWireLimit = 33000;              // what any peer may send at most

// One queued message or shared value: the sender (received) or the receiver (being sent),
// whether it is a message or a shared value, its id or index and its value.
struct TMess {
    uint32_t player = 0;
    bool ismessage = false;
    int32_t messid = 0;
    RValue val;
};

// The packet bytes of a message (or shared value) with that id and value. A text longer
// than the limit is cut to its first kNetTextLimit bytes, backed off to a whole character.
std::vector<uint8_t> EncodeNetPayload(bool isMessage, int32_t id, const RValue& value);

// The message a packet carries, or nothing when the packet is malformed: too short, a flag
// other than 0 or 1, a text length beyond the limit or beyond the end, or bytes left over.
std::optional<TMess> DecodeNetPayload(std::span<const uint8_t> bytes);

} // namespace kestrin
