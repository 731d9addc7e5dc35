#pragma once
// A transport without sockets for the multiplayer state's tests: it opens and creates as
// told, lists the players it is given, records what is sent and hands over queued packets.

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/net_provider.h"
#include "net/net_state.h"
#include "net/net_wire.h"

namespace kestrin {

struct FakeNetWorld {
    bool open_ok = true;
    bool create_ok = true;
    bool player_ok = true;
    bool send_ok = true;
    bool active = true;
    uint32_t next_id = 100;
    NetKind opened = NetKind::None;
    NetAddress address;
    int sessions_closed = 0;
    int created = 0;
    std::vector<NetSessionInfo> sessions;
    std::vector<NetPlayerInfo> players;
    struct Sent {
        uint32_t from, to;
        std::vector<uint8_t> bytes;
        bool guaranteed;
    };
    std::vector<Sent> sent;
    std::deque<NetPacket> inbox;

    void Arrive(uint32_t from, bool isMessage, int32_t id, const RValue& value) {
        inbox.push_back({from, EncodeNetPayload(isMessage, id, value)});
    }
};

class FakeNetProvider final : public NetProvider {
public:
    explicit FakeNetProvider(FakeNetWorld& world) : w_(world) {}
    bool Open(const NetAddress& address) override {
        w_.opened = address.kind;
        w_.address = address;
        return w_.open_ok;
    }
    bool CreateSession(const NetGuid&, const std::string&, int32_t, bool) override {
        ++w_.created;
        return w_.create_ok;
    }
    std::vector<NetSessionInfo> FindSessions(const NetGuid&) override { return w_.sessions; }
    bool JoinSession(const NetGuid&, const NetSessionInfo&) override { return w_.create_ok; }
    bool CreatePlayer(const std::string&, uint32_t& id) override {
        if (!w_.player_ok) return false;
        id = w_.next_id++;
        return true;
    }
    std::vector<NetPlayerInfo> RemotePlayers() override { return w_.players; }
    bool Send(uint32_t from, uint32_t to, std::span<const uint8_t> bytes, bool guaranteed) override {
        if (!w_.send_ok) return false;
        w_.sent.push_back({from, to, std::vector<uint8_t>(bytes.begin(), bytes.end()), guaranteed});
        return true;
    }
    bool Receive(NetPacket& packet) override {
        if (w_.inbox.empty()) return false;
        packet = std::move(w_.inbox.front());
        w_.inbox.pop_front();
        return true;
    }
    void CloseSession() override { ++w_.sessions_closed; }
    bool SessionActive() override { return w_.active; }
    void Service() override {}

private:
    FakeNetWorld& w_;
};

// Installs the fake for TCP/IP and serial connections; IPX and modem stay unavailable.
class NetFixture : public testing::Test {
protected:
    void SetUp() override {
        Net_Reset();
        SetNetProviderFactory([this](NetKind kind) -> std::unique_ptr<NetProvider> {
            if (kind == NetKind::Ipx || kind == NetKind::Modem) return nullptr;
            return std::make_unique<FakeNetProvider>(world);
        });
    }
    void TearDown() override {
        Net_Reset();
        SetNetProviderFactory(nullptr);
    }
    // Connected, in a session as host, with player id 100 named "me".
    void Host() {
        ASSERT_TRUE(Net().InitTcpIp(""));
        ASSERT_TRUE(Net().SessionCreate("game", 0, "me"));
    }

    FakeNetWorld world;
};

} // namespace kestrin
