#pragma once
// Multiplayer over UDP through ENet: the host copy binds the session port and relays between
// the players; the others connect to it. Sessions are found by a UDP query, sent to the host
// named in the address or, without one, broadcast on the local network.

#include <memory>

#include "net/net_provider.h"

namespace kestrin {

// Where the transport's settings come from (the environment in the executable):
// KESTRIN_NET_PORT (the session port, default 6510), KESTRIN_NET_BROADCAST (the broadcast
// address of searches without a host), KESTRIN_NET_FIND_TIMEOUT and KESTRIN_NET_JOIN_TIMEOUT
// (milliseconds).
std::unique_ptr<NetProvider> MakeEnetProvider();

} // namespace kestrin
