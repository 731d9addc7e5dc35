// Multiplayer packets from other machines: the payload decoder (a packet it takes encodes back
// to the same bytes), the serial line's frame reader, and the state taking a stream of such
// packets into its queue and shared values through a transport that hands them over.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <span>
#include <vector>

#include "net/net_provider.h"
#include "net/net_state.h"
#include "net/net_wire.h"
#include "platform/netio/serial_transport.h"

using namespace kestrin;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

std::deque<NetPacket>& Arrivals() {
    static std::deque<NetPacket> arrivals;
    return arrivals;
}

class ReplayProvider final : public NetProvider {
public:
    bool Open(const NetAddress&) override { return true; }
    bool CreateSession(const NetGuid&, const std::string&, int32_t, bool) override { return true; }
    std::vector<NetSessionInfo> FindSessions(const NetGuid&) override { return {}; }
    bool JoinSession(const NetGuid&, const NetSessionInfo&) override { return true; }
    bool CreatePlayer(const std::string&, uint32_t& id) override {
        id = 1;
        return true;
    }
    std::vector<NetPlayerInfo> RemotePlayers() override { return {{2, "two"}, {3, "three"}}; }
    bool Send(uint32_t, uint32_t, std::span<const uint8_t>, bool) override { return true; }
    bool Receive(NetPacket& packet) override {
        if (Arrivals().empty()) return false;
        packet = std::move(Arrivals().front());
        Arrivals().pop_front();
        return true;
    }
    void CloseSession() override {}
    bool SessionActive() override { return true; }
    void Service() override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> input(data, size);

    if (auto m = DecodeNetPayload(input)) {
        if (!(m->val.IsReal() && std::isnan(m->val.val()))) {
            std::vector<uint8_t> again = EncodeNetPayload(m->ismessage, m->messid, m->val);
            Check(again.size() == size && std::equal(again.begin(), again.end(), data));
        }
    }

    SerialFramer framer;
    std::vector<std::vector<uint8_t>> bodies;
    framer.Feed(input, bodies);
    for (const auto& body : bodies) Check(body.size() <= kNetWireLimit + 64);

    // The input as packets: a sender byte and a 16-bit length before each.
    static bool installed = false;
    if (!installed) {
        SetNetProviderFactory([](NetKind) { return std::make_unique<ReplayProvider>(); });
        installed = true;
    }
    NetState& net = Net();
    net.Reset();
    Check(net.InitTcpIp(""));
    Check(net.SessionCreate("fuzz", 0, "one"));
    Arrivals().clear();
    size_t at = 0;
    while (at + 3 <= size) {
        const uint32_t from = data[at];
        const size_t n = std::min<size_t>(size_t(data[at + 1]) | size_t(data[at + 2]) << 8, size - at - 3);
        Arrivals().push_back({from, std::vector<uint8_t>(data + at + 3, data + at + 3 + n)});
        at += 3 + n;
    }
    const int32_t count = net.MessageCount(RValue(0.0));
    Check(count >= 0 && size_t(count) <= kNetQueueSlots);
    while (net.MessageReceive(RValue(0.0))) Check(net.CurrentMessage().player != 0);
    Check(net.SharedValues().size() <= size_t(kNetMaxSharedIndex) + 1);
    net.Reset();
    return 0;
}
