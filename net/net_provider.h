#pragma once
// What the multiplayer state needs of a transport: open and close a connection, create, find
// and join sessions, create this copy's player, list the other players, send packets from
// player to player and hand over the packets that arrived. The executable installs a factory
// of real transports (ENet, the serial cable); without one every connection fails to open.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kestrin {

using NetGuid = std::array<uint8_t, 16>;

// The connection kinds, numbered as connect_status shows them.
enum class NetKind : int32_t { None = 0, Ipx = 1, TcpIp = 2, Modem = 3, Serial = 4 };

struct NetSerialSettings {
    int32_t port = 0;
    int32_t baud = 0;
    int32_t stop_bits = 0;
    int32_t parity = 0;
    int32_t flow = 0;
};

// The elements a connection is opened with.
struct NetAddress {
    NetKind kind = NetKind::None;
    std::string host;  // TCP/IP: empty searches the local network
    int32_t port = -1; // TCP/IP: -1 when the address named none
    std::string modem; // modem
    std::string phone;
    NetSerialSettings serial;
};

struct NetSessionInfo {
    NetGuid instance{};
    std::string name;
};

struct NetPlayerInfo {
    uint32_t id = 0;
    std::string name;
};

// A packet as it arrived: the sending player (0 for the transport's own messages) and its bytes.
struct NetPacket {
    uint32_t from = 0;
    std::vector<uint8_t> bytes;
};

class NetProvider {
public:
    virtual ~NetProvider() = default;
    // Opens the connection; false when the transport cannot reach what the address names.
    virtual bool Open(const NetAddress& address) = 0;
    // Creates a session of application `app` that this copy hosts; maxPlayers 0 for no limit.
    virtual bool CreateSession(const NetGuid& app, const std::string& name, int32_t maxPlayers,
                               bool migrate) = 0;
    // The sessions of `app` that answer within the search time-out and still take players.
    virtual std::vector<NetSessionInfo> FindSessions(const NetGuid& app) = 0;
    virtual bool JoinSession(const NetGuid& app, const NetSessionInfo& session) = 0;
    // Creates this copy's player in the open session; its id on success.
    virtual bool CreatePlayer(const std::string& name, uint32_t& id) = 0;
    // The other players of the session, in the order they joined.
    virtual std::vector<NetPlayerInfo> RemotePlayers() = 0;
    // Sends from player `from` to player `to` (0: every other player); true when accepted.
    virtual bool Send(uint32_t from, uint32_t to, std::span<const uint8_t> bytes, bool guaranteed) = 0;
    // The next packet that arrived; false when none is pending.
    virtual bool Receive(NetPacket& packet) = 0;
    // Leaves the session (the host closes it for everyone).
    virtual void CloseSession() = 0;
    // False once the session this copy was in has ended from the other side (the host left).
    virtual bool SessionActive() = 0;
    // Lets the transport do its work: acknowledgements, keep-alives, relaying, arrivals.
    virtual void Service() = 0;
};

// Makes the transport of a connection kind, or nullptr when there is none for it.
using NetProviderFactory = std::function<std::unique_ptr<NetProvider>(NetKind)>;
void SetNetProviderFactory(NetProviderFactory factory);
// The installed factory's transport; without a factory, the null transport, which opens nothing.
std::unique_ptr<NetProvider> MakeNetProvider(NetKind kind);
std::unique_ptr<NetProvider> MakeNullNetProvider();

// This machine's address as text for mplay_ipaddress, from the installed look-up; the empty
// string without one.
using NetHostAddressLookup = std::string (*)();
void SetNetHostAddressLookup(NetHostAddressLookup lookup);
std::string NetHostAddress();

} // namespace kestrin
