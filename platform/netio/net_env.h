#pragma once
// The transports' settings from the environment, and the machine's addresses.

#include <cstdint>
#include <string>

namespace kestrin {

// The integer in environment variable `name`, or `fallback` when it is unset, not a whole
// number or outside low ... high.
int32_t NetEnvInt(const char* name, int32_t fallback, int32_t low, int32_t high);

// The address searches without a host are broadcast to (network byte order): the one in
// KESTRIN_NET_BROADCAST, else the broadcast address of the first network interface that is
// up, not a loopback one and has one. False when there is none (or the variable is not an
// IPv4 address): nothing is sent then.
bool NetBroadcastAddress(uint32_t& address);

// The first IPv4 address of the machine that is not a loopback address, in dotted decimals;
// the empty string when there is none.
std::string NetFirstAddress();

} // namespace kestrin
