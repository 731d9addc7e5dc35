#include "net/net_provider.h"

#include <utility>

namespace kestrin {

namespace {

NetProviderFactory& Factory() {
    static NetProviderFactory factory;
    return factory;
}

// The transport of a machine without network services: nothing opens.
class NullNetProvider final : public NetProvider {
public:
    bool Open(const NetAddress&) override { return false; }
    bool CreateSession(const NetGuid&, const std::string&, int32_t, bool) override { return false; }
    std::vector<NetSessionInfo> FindSessions(const NetGuid&) override { return {}; }
    bool JoinSession(const NetGuid&, const NetSessionInfo&) override { return false; }
    bool CreatePlayer(const std::string&, uint32_t&) override { return false; }
    std::vector<NetPlayerInfo> RemotePlayers() override { return {}; }
    bool Send(uint32_t, uint32_t, std::span<const uint8_t>, bool) override { return false; }
    bool Receive(NetPacket&) override { return false; }
    void CloseSession() override {}
    bool SessionActive() override { return false; }
    void Service() override {}
};

NetHostAddressLookup& AddressLookup() {
    static NetHostAddressLookup lookup = nullptr;
    return lookup;
}

} // namespace

void SetNetHostAddressLookup(NetHostAddressLookup lookup) {
    AddressLookup() = lookup;
}

std::string NetHostAddress() {
    return AddressLookup() ? AddressLookup()() : std::string();
}

std::unique_ptr<NetProvider> MakeNullNetProvider() {
    return std::make_unique<NullNetProvider>();
}

void SetNetProviderFactory(NetProviderFactory factory) {
    Factory() = std::move(factory);
}

std::unique_ptr<NetProvider> MakeNetProvider(NetKind kind) {
    // No transport installed (tests, tools): every connection fails to open, as on a machine
    // without network services.
    if (!Factory()) return MakeNullNetProvider();
    return Factory()(kind);
}

} // namespace kestrin
