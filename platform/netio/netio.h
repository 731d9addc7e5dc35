#pragma once
// Installs the multiplayer transports: ENet for TCP/IP, termios for the serial cable, and
// the machine's address for mplay_ipaddress. IPX and modem connections stay unavailable.

namespace kestrin {

void InstallNetTransports();

} // namespace kestrin
