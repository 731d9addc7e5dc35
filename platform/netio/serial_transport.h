#pragma once
// Multiplayer over a serial cable through termios: two copies, one hosting. Frames are
// flag-delimited with byte stuffing and a CRC-16; guaranteed traffic is numbered,
// acknowledged and sent again until acknowledged (go-back-N), in order.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "net/net_provider.h"

namespace kestrin {

// Port n opens /dev/ttyS(n-1), or the device in KESTRIN_NET_SERIAL_DEVICE when it is set.
std::unique_ptr<NetProvider> MakeSerialProvider();
// A transport over a terminal already open (tests: one end of a pseudo-terminal pair). It
// takes the descriptor over; Open then sets the line up as the settings say.
std::unique_ptr<NetProvider> MakeSerialProviderOnDescriptor(int fd);

// The frame layer, for tests: a body as a frame on the line, and the bodies a stream of
// line bytes holds once complete and intact.
class SerialFramer {
public:
    static std::vector<uint8_t> Frame(std::span<const uint8_t> body);
    // Appends line bytes; complete frames with a good checksum go to `bodies`.
    void Feed(std::span<const uint8_t> bytes, std::vector<std::vector<uint8_t>>& bodies);

private:
    std::vector<uint8_t> current_;
    bool escaped_ = false;
    bool overlong_ = false;
};

uint16_t SerialCrc16(std::span<const uint8_t> bytes);

} // namespace kestrin
