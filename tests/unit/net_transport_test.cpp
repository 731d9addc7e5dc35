// The transports end to end inside one process: a host copy on its own thread and a guest
// copy on the test's thread, over ENet on 127.0.0.1 and over a pseudo-terminal pair. Every
// wait is bounded.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/net_provider.h"
#include "net/net_wire.h"
#include "platform/netio/enet_transport.h"
#include "platform/netio/serial_transport.h"

namespace kestrin {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(20);

const NetGuid kGame = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

bool Until(const std::function<bool()>& done) {
    const auto end = Clock::now() + kPatience;
    while (!done()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A port that no socket holds now, asked of the system so that tests running in parallel
// do not clash.
int32_t FreeUdpPort() {
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    const bool ok = s >= 0 && bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                    getsockname(s, reinterpret_cast<sockaddr*>(&a), &n) == 0;
    if (s >= 0) close(s);
    return ok ? ntohs(a.sin_port) : 20000 + int32_t(getpid() % 20000);
}

std::vector<uint8_t> Payload(int32_t id, const char* text) {
    return EncodeNetPayload(true, id, RValue(text));
}

// The host creates the session, waits for three messages, answers the last sender and
// keeps the session until the guest is done; then it leaves.
struct HostCopy {
    std::atomic<bool> ready{false}, done{false}, failed{false}, guest_done{false};
    std::vector<NetPacket> got;
    std::vector<NetPlayerInfo> players;

    void Run(NetProvider& host, const NetAddress& address) {
        uint32_t id = 0;
        if (!host.Open(address) || !host.CreateSession(kGame, "the session", 0, false) ||
            !host.CreatePlayer("host", id)) {
            failed = true;
            return;
        }
        ready = true;
        const auto end = Clock::now() + kPatience;
        NetPacket packet;
        while (got.size() < 3 && Clock::now() < end) {
            if (host.Receive(packet))
                got.push_back(packet);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        players = host.RemotePlayers();
        if (got.size() == 3) (void)host.Send(id, got.back().from, Payload(9, "pong"), true);
        while (!guest_done && Clock::now() < end) {
            host.Service();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        host.CloseSession();
        done = true;
    }
};

void TwoCopies(NetProvider& host, NetProvider& guest, const NetAddress& hostAddress,
               const NetAddress& guestAddress) {
    HostCopy copy;
    std::thread thread([&] { copy.Run(host, hostAddress); });
    ASSERT_TRUE(Until([&] { return copy.ready || copy.failed; }));
    ASSERT_FALSE(copy.failed);

    ASSERT_TRUE(guest.Open(guestAddress));
    const NetGuid otherGame = {9};
    EXPECT_TRUE(guest.FindSessions(otherGame).empty()); // another game finds nothing
    std::vector<NetSessionInfo> found = guest.FindSessions(kGame);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name, "the session");
    ASSERT_TRUE(guest.JoinSession(kGame, found[0]));
    uint32_t me = 0;
    ASSERT_TRUE(guest.CreatePlayer("guest", me));
    EXPECT_NE(me, 0u);
    std::vector<NetPlayerInfo> others = guest.RemotePlayers();
    ASSERT_EQ(others.size(), 1u);
    EXPECT_EQ(others[0].name, "host");
    for (int32_t i = 1; i <= 3; ++i) ASSERT_TRUE(guest.Send(me, 0, Payload(i, "m"), true));
    NetPacket pong;
    ASSERT_TRUE(Until([&] {
        guest.Service();
        return guest.Receive(pong);
    }));
    EXPECT_EQ(pong.from, others[0].id);
    auto decoded = DecodeNetPayload(pong.bytes);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->val.str(), "pong");
    EXPECT_FALSE(guest.Send(me, 424242, Payload(1, "x"), true)); // no such player
    copy.guest_done = true;
    // The host leaving ends the session here.
    EXPECT_TRUE(Until([&] {
        guest.Service();
        return !guest.SessionActive();
    }));
    thread.join();
    ASSERT_EQ(copy.got.size(), 3u);
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(copy.got[size_t(i)].from, me);
        auto m = DecodeNetPayload(copy.got[size_t(i)].bytes);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->messid, i + 1); // guaranteed messages keep their order
    }
    ASSERT_EQ(copy.players.size(), 1u);
    EXPECT_EQ(copy.players[0].name, "guest");
    EXPECT_EQ(copy.players[0].id, me);
}

TEST(NetTransport, EnetSessionOnLoopback) {
    setenv("KESTRIN_NET_FIND_TIMEOUT", "300", 1);
    NetAddress hostAddress;
    hostAddress.kind = NetKind::TcpIp;
    hostAddress.port = FreeUdpPort();
    NetAddress guestAddress = hostAddress;
    guestAddress.host = "127.0.0.1";
    auto host = MakeEnetProvider();
    auto guest = MakeEnetProvider();
    TwoCopies(*host, *guest, hostAddress, guestAddress);
}

TEST(NetTransport, SerialCableOverAPseudoTerminalPair) {
    setenv("KESTRIN_NET_FIND_TIMEOUT", "300", 1);
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    NetAddress address;
    address.kind = NetKind::Serial;
    address.serial = {1, 115200, 0, 0, 0};
    auto host = MakeSerialProviderOnDescriptor(master);
    auto guest = MakeSerialProviderOnDescriptor(slave);
    TwoCopies(*host, *guest, address, address);
}

TEST(NetTransport, SerialSettingsOutsideTheLineRulesAreRefused) {
    const NetSerialSettings refused[] = {
        {1, 12345, 0, 0, 0}, {1, 9600, 3, 0, 0}, {1, 9600, 0, 5, 0}, {1, 9600, 0, 0, 9}};
    for (const NetSerialSettings& s : refused) {
        int master = -1, slave = -1;
        ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        close(master);
        NetAddress address;
        address.kind = NetKind::Serial;
        address.serial = s;
        EXPECT_FALSE(MakeSerialProviderOnDescriptor(slave)->Open(address)) << s.baud;
    }
}

TEST(NetTransport, SerialFramesSurviveStuffingAndDamagedOnesAreDropped) {
    std::vector<uint8_t> body = {0x7E, 0x7D, 0x00, 0x5E, 0x7E, 0xFF};
    std::vector<uint8_t> line = SerialFramer::Frame(body);
    std::vector<uint8_t> damaged = line;
    damaged[3] ^= 0x01;
    std::vector<uint8_t> stream = {0x11, 0x22}; // noise before the first flag
    stream.insert(stream.end(), damaged.begin(), damaged.end());
    stream.insert(stream.end(), line.begin(), line.end());
    SerialFramer framer;
    std::vector<std::vector<uint8_t>> bodies;
    // Fed a byte at a time, as a slow line delivers it.
    for (uint8_t b : stream) framer.Feed(std::span<const uint8_t>(&b, 1), bodies);
    ASSERT_EQ(bodies.size(), 1u);
    EXPECT_EQ(bodies[0], body);
}

} // namespace
} // namespace kestrin
