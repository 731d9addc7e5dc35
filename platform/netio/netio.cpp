#include "platform/netio/netio.h"

#include "net/net_provider.h"
#include "platform/netio/enet_transport.h"
#include "platform/netio/net_env.h"
#include "platform/netio/serial_transport.h"

namespace kestrin {

void InstallNetTransports() {
    SetNetProviderFactory([](NetKind kind) -> std::unique_ptr<NetProvider> {
        switch (kind) {
        case NetKind::TcpIp:
            return MakeEnetProvider();
        case NetKind::Serial:
            return MakeSerialProvider();
        default:
            return nullptr; // no IPX network and no modem on this platform
        }
    });
    SetNetHostAddressLookup(NetFirstAddress);
}

} // namespace kestrin
