// Guaranteed messages between two processes on 127.0.0.1: a guest copy sends a stream of
// messages through mplay_message_send_guaranteed, the host copy takes them with
// mplay_message_receive and answers once it has all of them; the same payload bytes then go
// the same way through plain ENet (reliable packets on one channel, both sides serviced the
// same way). Then round trips: the guest sends one message and waits for the host's echo.
// Wall-clock time, measured in this run, best of five alternating runs; peak memory of the
// host process.

#include <enet/enet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "game/compose.h"
#include "net/net_state.h"
#include "net/net_wire.h"
#include "platform/netio/netio.h"
#include "script/registry.h"
#include "script/value.h"

using namespace kestrin;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kMessages = 20000;
constexpr int kRepeats = 5; // alternating; the best of each is kept (the machine is shared)
constexpr int kRoundTrips = 500;
constexpr int kServiceEvery = 64; // sends between two services, as a game's step would
constexpr int kDoneId = 999999;
constexpr int kEchoBase = 1000000;
// The queue holds 4000 messages and drops what arrives beyond them, so the guest sends in
// batches and waits for the host to have taken each (the same for plain ENet).
constexpr int kBatch = 2000;
constexpr int kBatchAck = 2000000;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

int FreePort() {
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
    close(s);
    return ntohs(a.sin_port);
}

// A built-in called the way compiled code calls it: by its registry index.
struct Builtin {
    explicit Builtin(const char* name) : routine(FunctionRoutine(FindFunction(name))) {}
    RValue operator()(std::initializer_list<RValue> args) const {
        std::array<RValue, kMaxArguments> slots;
        int32_t n = 0;
        for (const RValue& a : args) slots[size_t(n++)] = a;
        RValue r;
        routine(nullptr, nullptr, n, slots.data(), r);
        return r;
    }
    BuiltinRoutine routine;
};

const RValue kPayload("x=123.5 y=456.25 dir=90");

// ---- Through the built-ins ----

void BuiltinHost(int port) {
    setenv("KESTRIN_NET_PORT", std::to_string(port).c_str(), 1);
    Builtin init("mplay_init_tcpip"), create("mplay_session_create"), receive("mplay_message_receive"),
        id("mplay_message_id"), send("mplay_message_send_guaranteed"), player("mplay_message_player"),
        end("mplay_end");
    init({RValue("")});
    create({RValue("bench"), RValue(0.0), RValue("host")});
    const auto limit = Clock::now() + std::chrono::seconds(120);
    int got = 0;
    bool done = false;
    while (!done && Clock::now() < limit) {
        Net_Service();
        while (receive({RValue(0.0)}).val() != 0) {
            const double m = id({}).val();
            if (m < kEchoBase) {
                ++got;
                if (got % kBatch == 0) send({player({}), RValue(double(kBatchAck)), RValue(1.0)});
                if (got == kMessages) send({player({}), RValue(double(kDoneId)), RValue(1.0)});
                if (got % kBatch == 0) Net_Service();
            } else if (m < kEchoBase + kRoundTrips) {
                send({player({}), RValue(m), kPayload});
                Net_Service();
            } else {
                done = true;
            }
        }
    }
    // The guest's goodbye is answered before the host leaves.
    Net_Service();
    end({});
}

void BuiltinGuest(int port, double& stream, double& roundTrip) {
    const std::string address = "127.0.0.1:" + std::to_string(port);
    Builtin init("mplay_init_tcpip"), find("mplay_session_find"), join("mplay_session_join"),
        send("mplay_message_send_guaranteed"), receive("mplay_message_receive"), id("mplay_message_id"),
        end("mplay_end");
    init({RValue(address)});
    const auto limit = Clock::now() + std::chrono::seconds(30);
    while (find({}).val() < 1 && Clock::now() < limit) {
    }
    if (join({RValue(0.0), RValue("guest")}).val() == 0) {
        std::fprintf(stderr, "bench_net: the guest could not join\n");
        std::exit(1);
    }
    auto start = Clock::now();
    for (int i = 0; i < kMessages; ++i) {
        send({RValue(0.0), RValue(double(i)), kPayload});
        if (i % kServiceEvery == 0) Net_Service();
        if ((i + 1) % kBatch == 0) {
            Net_Service();
            while (!(receive({RValue(0.0)}).val() != 0 && id({}).val() == kBatchAck)) Net_Service();
        }
    }
    while (!(receive({RValue(0.0)}).val() != 0 && id({}).val() == kDoneId)) Net_Service();
    stream = Seconds(start);
    start = Clock::now();
    for (int i = 0; i < kRoundTrips; ++i) {
        send({RValue(0.0), RValue(double(kEchoBase + i)), kPayload});
        Net_Service();
        while (receive({RValue(0.0)}).val() == 0) Net_Service();
    }
    roundTrip = Seconds(start) / kRoundTrips;
    send({RValue(0.0), RValue(double(kEchoBase + kRoundTrips)), kPayload});
    Net_Service();
    end({});
}

// ---- Plain ENet, the same payload bytes ----

void Reliable(ENetPeer* peer, const std::vector<uint8_t>& bytes) {
    enet_peer_send(peer, 0, enet_packet_create(bytes.data(), bytes.size(), ENET_PACKET_FLAG_RELIABLE));
}

void PlainHost(int port) {
    ENetAddress address{};
    address.host = ENET_HOST_ANY;
    address.port = static_cast<enet_uint16>(port);
    ENetHost* host = enet_host_create(&address, 4, 2, 0, 0);
    const auto limit = Clock::now() + std::chrono::seconds(120);
    int got = 0;
    bool done = false;
    ENetEvent event;
    while (!done && Clock::now() < limit) {
        while (enet_host_service(host, &event, 0) > 0) {
            if (event.type != ENET_EVENT_TYPE_RECEIVE) continue;
            auto m = DecodeNetPayload(std::span<const uint8_t>(event.packet->data, event.packet->dataLength));
            enet_packet_destroy(event.packet);
            if (!m) continue;
            if (m->messid < kEchoBase) {
                ++got;
                if (got % kBatch == 0) Reliable(event.peer, EncodeNetPayload(true, kBatchAck, RValue(1.0)));
                if (got == kMessages) Reliable(event.peer, EncodeNetPayload(true, kDoneId, RValue(1.0)));
                if (got % kBatch == 0) enet_host_flush(host);
            } else if (m->messid < kEchoBase + kRoundTrips) {
                Reliable(event.peer, EncodeNetPayload(true, m->messid, kPayload));
                enet_host_flush(host);
            } else {
                done = true;
            }
        }
        enet_host_flush(host);
    }
    for (int i = 0; i < 20; ++i) enet_host_service(host, &event, 5);
    enet_host_destroy(host);
}

void PlainGuest(int port, double& stream, double& roundTrip) {
    ENetHost* host = enet_host_create(nullptr, 1, 2, 0, 0);
    ENetAddress address{};
    enet_address_set_host(&address, "127.0.0.1");
    address.port = static_cast<enet_uint16>(port);
    ENetPeer* peer = nullptr;
    ENetEvent event;
    const auto limit = Clock::now() + std::chrono::seconds(30);
    bool connected = false;
    while (!connected && Clock::now() < limit) {
        if (!peer) peer = enet_host_connect(host, &address, 2, 0);
        if (enet_host_service(host, &event, 50) > 0) {
            if (event.type == ENET_EVENT_TYPE_CONNECT) connected = true;
            if (event.type == ENET_EVENT_TYPE_DISCONNECT) peer = nullptr;
        }
    }
    if (!connected) {
        std::fprintf(stderr, "bench_net: plain ENet could not connect\n");
        std::exit(1);
    }
    auto receiveOne = [&](int32_t& id) {
        while (enet_host_service(host, &event, 0) > 0) {
            if (event.type != ENET_EVENT_TYPE_RECEIVE) continue;
            auto m = DecodeNetPayload(std::span<const uint8_t>(event.packet->data, event.packet->dataLength));
            enet_packet_destroy(event.packet);
            if (m) {
                id = m->messid;
                return true;
            }
        }
        return false;
    };
    auto start = Clock::now();
    for (int i = 0; i < kMessages; ++i) {
        Reliable(peer, EncodeNetPayload(true, i, kPayload));
        if (i % kServiceEvery == 0) {
            while (enet_host_service(host, &event, 0) > 0)
                if (event.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(event.packet);
        }
        if ((i + 1) % kBatch == 0) {
            enet_host_flush(host);
            int32_t ack = 0;
            while (!(receiveOne(ack) && ack == kBatchAck)) enet_host_flush(host);
        }
    }
    int32_t id = 0;
    while (!(receiveOne(id) && id == kDoneId)) enet_host_flush(host);
    stream = Seconds(start);
    start = Clock::now();
    for (int i = 0; i < kRoundTrips; ++i) {
        Reliable(peer, EncodeNetPayload(true, kEchoBase + i, kPayload));
        enet_host_flush(host);
        while (!receiveOne(id)) enet_host_flush(host);
    }
    roundTrip = Seconds(start) / kRoundTrips;
    Reliable(peer, EncodeNetPayload(true, kEchoBase + kRoundTrips, kPayload));
    enet_peer_disconnect_later(peer, 0);
    for (int i = 0; i < 20; ++i) enet_host_service(host, &event, 5);
    enet_host_destroy(host);
}

// Runs the host in a child process and the guest here; the guest's times come back.
template <class Host, class Guest>
void Measure(Host host, Guest guest, double& stream, double& roundTrip, long& hostRss) {
    const int port = FreePort();
    int result[2];
    if (pipe(result) != 0) std::exit(1);
    const pid_t child = fork();
    if (child == 0) {
        host(port);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        (void)!write(result[1], &usage.ru_maxrss, sizeof usage.ru_maxrss);
        _exit(0);
    }
    guest(port, stream, roundTrip);
    int status = 0;
    waitpid(child, &status, 0);
    if (read(result[0], &hostRss, sizeof hostRss) != sizeof hostRss) hostRss = 0;
    close(result[0]);
    close(result[1]);
}

} // namespace

int main() {
    ComposeGame();
    InstallNetTransports();
    if (enet_initialize() != 0) return 1;
    Net_SetApplication({'b', 'e', 'n', 'c', 'h'});
    double builtinStream = 0, builtinTrip = 0, plainStream = 0, plainTrip = 0;
    long builtinRss = 0, plainRss = 0;
    for (int i = 0; i < kRepeats; ++i) {
        double stream = 0, trip = 0;
        Measure(PlainHost, PlainGuest, stream, trip, plainRss);
        plainStream = i == 0 ? stream : std::min(plainStream, stream);
        plainTrip = i == 0 ? trip : std::min(plainTrip, trip);
        Measure(BuiltinHost, BuiltinGuest, stream, trip, builtinRss);
        builtinStream = i == 0 ? stream : std::min(builtinStream, stream);
        builtinTrip = i == 0 ? trip : std::min(builtinTrip, trip);
    }
    std::printf("bench_net: %d guaranteed messages of %zu payload bytes between two processes on 127.0.0.1\n",
                kMessages, EncodeNetPayload(true, 0, kPayload).size());
    std::printf("  built-ins   %8.0f messages/s   round trip %6.1f us\n", kMessages / builtinStream,
                builtinTrip * 1e6);
    std::printf("  plain ENet  %8.0f messages/s   round trip %6.1f us\n", kMessages / plainStream,
                plainTrip * 1e6);
    std::printf("  ratio (time, built-ins / plain ENet): stream %.2f, round trip %.2f\n",
                builtinStream / plainStream, builtinTrip / plainTrip);
    std::printf("  peak RSS of the host: %ld KiB through the built-ins, %ld KiB plain\n", builtinRss,
                plainRss);
    return 0;
}
