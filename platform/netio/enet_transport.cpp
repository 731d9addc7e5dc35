#include "platform/netio/enet_transport.h"

#include <arpa/inet.h>
#include <enet/enet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "net/net_wire.h"
#include "platform/netio/net_codec.h"
#include "platform/netio/net_env.h"

namespace kestrin {

namespace {

// Control messages between the host and the players (first byte of every ENet packet).
enum : uint8_t {
    kHello = 1,   // player -> host: application guid, player name
    kWelcome = 2, // host -> player: the player's id, then the players already there
    kRefused = 3, // host -> player: wrong game or the session is full
    kAdd = 4,     // host -> players: a player joined (id, name)
    kRemove = 5,  // host -> players: a player left (id)
    kData = 6,    // player -> host: receiver id, payload
    kDeliver = 7, // host -> player: sender id, payload
};

constexpr uint8_t kQueryMagic[4] = {'K', 'S', 'N', 'Q'};
constexpr uint8_t kReplyMagic[4] = {'K', 'S', 'N', 'R'};
constexpr uint8_t kChannelReliable = 0;
constexpr uint8_t kChannelLoose = 1;
constexpr size_t kInboxLimit = 1 << 16;
constexpr auto kPollInterval = std::chrono::microseconds(50);

bool EnetReady() {
    static const bool ready = enet_initialize() == 0;
    return ready;
}

uint32_t ElapsedMs(std::chrono::steady_clock::time_point start) {
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count());
}

class EnetProvider;
std::map<ENetHost*, EnetProvider*>& Hosts() {
    static std::map<ENetHost*, EnetProvider*> hosts;
    return hosts;
}

struct Player {
    uint32_t id = 0;
    std::string name;
    ENetPeer* peer = nullptr; // the host's link to a remote player
};

class EnetProvider final : public NetProvider {
public:
    ~EnetProvider() override { CloseSession(); }

    bool Open(const NetAddress& address) override {
        if (!EnetReady()) return false;
        host_name_ = address.host;
        port_ = address.port > 0 ? address.port : NetEnvInt("KESTRIN_NET_PORT", 6510, 1, 65535);
        if (!host_name_.empty()) {
            ENetAddress probe{};
            if (enet_address_set_host(&probe, host_name_.c_str()) != 0) return false;
        }
        return true;
    }

    bool CreateSession(const NetGuid& app, const std::string& name, int32_t maxPlayers, bool) override {
        if (host_ || name.size() > kNetNameLimit) return false;
        ENetAddress bind{};
        bind.host = ENET_HOST_ANY;
        bind.port = static_cast<enet_uint16>(port_);
        const size_t peers = maxPlayers > 0 ? size_t(std::min(maxPlayers, 4095)) : 64;
        host_ = enet_host_create(&bind, peers, 2, 0, 0);
        if (!host_) return false;
        host_->maximumPacketSize = kNetWireLimit + 64;
        host_->intercept = Intercept;
        Hosts()[host_] = this;
        hosting_ = true;
        active_ = true;
        app_ = app;
        session_name_ = name;
        max_players_ = maxPlayers;
        std::random_device random;
        for (uint8_t& b : instance_) b = static_cast<uint8_t>(random());
        next_id_ = 1;
        return true;
    }

    std::vector<NetSessionInfo> FindSessions(const NetGuid& app) override {
        std::vector<NetSessionInfo> found;
        found_.clear();
        ENetAddress target{};
        if (!host_name_.empty()) {
            if (enet_address_set_host(&target, host_name_.c_str()) != 0) return found;
        } else if (!NetBroadcastAddress(target.host)) {
            return found;
        }
        target.port = static_cast<enet_uint16>(port_);
        ENetSocket socket = enet_socket_create(ENET_SOCKET_TYPE_DATAGRAM);
        if (socket == ENET_SOCKET_NULL) return found;
        if (host_name_.empty()) enet_socket_set_option(socket, ENET_SOCKOPT_BROADCAST, 1);
        enet_socket_set_option(socket, ENET_SOCKOPT_NONBLOCK, 1);
        NetWriter query;
        query.Raw(kQueryMagic);
        query.Raw(app);
        ENetBuffer out{query.bytes.data(), query.bytes.size()};
        const uint32_t timeout = uint32_t(NetEnvInt("KESTRIN_NET_FIND_TIMEOUT", 1000, 10, 60000));
        const auto start = std::chrono::steady_clock::now();
        uint32_t nextQuery = 0;
        for (;;) {
            const uint32_t elapsed = ElapsedMs(start);
            if (elapsed >= timeout) break;
            // A few queries spread over the time-out, in case one is lost.
            if (elapsed >= nextQuery) {
                (void)enet_socket_send(socket, &target, &out, 1);
                nextQuery = elapsed + std::max<uint32_t>(timeout / 4, 5);
            }
            enet_uint32 wait = ENET_SOCKET_WAIT_RECEIVE;
            const uint32_t left = std::min(timeout - elapsed, nextQuery - std::min(nextQuery, elapsed));
            if (enet_socket_wait(socket, &wait, std::max<uint32_t>(left, 1)) != 0) break;
            if (!(wait & ENET_SOCKET_WAIT_RECEIVE)) continue;
            uint8_t data[2048];
            ENetBuffer in{data, sizeof data};
            ENetAddress from{};
            const int got = enet_socket_receive(socket, &from, &in, 1);
            if (got <= 0) continue;
            NetReader reply(std::span<const uint8_t>(data, size_t(got)));
            uint8_t magic[4], guid[16];
            NetSessionInfo session;
            if (!reply.Raw(magic, 4) || std::memcmp(magic, kReplyMagic, 4) != 0) continue;
            if (!reply.Raw(guid, 16) || std::memcmp(guid, app.data(), 16) != 0) continue;
            if (!reply.Raw(session.instance.data(), 16)) continue;
            session.name = reply.Text(kNetNameLimit);
            if (!reply.ok() || reply.Left() != 0) continue;
            bool known = false;
            for (const auto& [instance, address] : found_) known = known || instance == session.instance;
            if (known) continue;
            found_.push_back({session.instance, from});
            found.push_back(std::move(session));
        }
        enet_socket_destroy(socket);
        return found;
    }

    bool JoinSession(const NetGuid& app, const NetSessionInfo& session) override {
        if (host_) return false;
        const ENetAddress* address = nullptr;
        for (const auto& [instance, where] : found_)
            if (instance == session.instance) address = &where;
        if (!address) return false;
        host_ = enet_host_create(nullptr, 1, 2, 0, 0);
        if (!host_) return false;
        host_->maximumPacketSize = kNetWireLimit + 64;
        server_ = enet_host_connect(host_, address, 2, 0);
        if (!server_ || !WaitFor([this] { return connected_; })) {
            DropHost();
            return false;
        }
        app_ = app;
        hosting_ = false;
        active_ = true;
        return true;
    }

    bool CreatePlayer(const std::string& name, uint32_t& id) override {
        if (!host_ || own_id_ != 0 || name.size() > kNetNameLimit) return false;
        if (hosting_) {
            own_id_ = next_id_++;
            own_name_ = name;
            id = own_id_;
            return true;
        }
        NetWriter hello;
        hello.U8(kHello);
        hello.Raw(app_);
        hello.Text(name);
        if (!SendTo(server_, hello.bytes, true)) return false;
        enet_host_flush(host_);
        if (!WaitFor([this] { return own_id_ != 0 || refused_ || !connected_; }) || own_id_ == 0)
            return false;
        own_name_ = name;
        id = own_id_;
        return true;
    }

    std::vector<NetPlayerInfo> RemotePlayers() override {
        Service();
        std::vector<NetPlayerInfo> list;
        for (const Player& p : players_) list.push_back({p.id, p.name});
        return list;
    }

    bool Send(uint32_t from, uint32_t to, std::span<const uint8_t> bytes, bool guaranteed) override {
        if (!host_ || !active_ || own_id_ == 0) return false;
        if (to == own_id_) {
            Deliver(from, bytes);
            return true;
        }
        if (hosting_) {
            if (to == 0) {
                for (const Player& p : players_)
                    (void)SendTagged(p.peer, kDeliver, own_id_, bytes, guaranteed);
                return true;
            }
            const Player* p = Find(to);
            return p && SendTagged(p->peer, kDeliver, own_id_, bytes, guaranteed);
        }
        if (to != 0 && !Find(to)) return false;
        return SendTagged(server_, kData, to, bytes, guaranteed);
    }

    bool Receive(NetPacket& packet) override {
        // A game that calls a receiving built-in many times in a row would otherwise ask the
        // socket each time; arrivals of the last few microseconds wait for the next look.
        if (inbox_.empty() && std::chrono::steady_clock::now() - last_poll_ >= kPollInterval) Service();
        if (inbox_.empty()) return false;
        packet = std::move(inbox_.front());
        inbox_.pop_front();
        return true;
    }

    void CloseSession() override {
        if (!host_) return;
        size_t leaving = 0;
        if (hosting_) {
            for (Player& p : players_) {
                enet_peer_disconnect_later(p.peer, 0);
                ++leaving;
            }
        } else if (server_ && connected_) {
            enet_peer_disconnect_later(server_, 0);
            ++leaving;
        }
        // What is still queued goes out first (disconnect_later); give the goodbyes a moment to be
        // acknowledged, then drop whatever is left. (A peer counts as unconnected as soon as it starts
        // disconnecting, so the acknowledgements are counted here.)
        const auto start = std::chrono::steady_clock::now();
        while (leaving > 0 && ElapsedMs(start) < 500) {
            ENetEvent event;
            if (enet_host_service(host_, &event, 10) <= 0) continue;
            if (event.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(event.packet);
            if (event.type == ENET_EVENT_TYPE_DISCONNECT) --leaving;
        }
        DropHost();
    }

    bool SessionActive() override { return host_ && active_; }

    void Service() override {
        last_poll_ = std::chrono::steady_clock::now();
        if (!host_) return;
        ENetEvent event;
        while (host_ && enet_host_service(host_, &event, 0) > 0) Handle(event);
        if (host_) enet_host_flush(host_);
    }

private:
    template <class Done> bool WaitFor(Done done) {
        const uint32_t timeout = uint32_t(NetEnvInt("KESTRIN_NET_JOIN_TIMEOUT", 5000, 10, 120000));
        const auto start = std::chrono::steady_clock::now();
        while (!done()) {
            const uint32_t elapsed = ElapsedMs(start);
            if (elapsed >= timeout || !host_) return false;
            ENetEvent event;
            if (enet_host_service(host_, &event, std::min<uint32_t>(timeout - elapsed, 20)) > 0)
                Handle(event);
        }
        return true;
    }

    void DropHost() {
        if (host_) {
            Hosts().erase(host_);
            enet_host_destroy(host_);
        }
        host_ = nullptr;
        server_ = nullptr;
        hosting_ = connected_ = refused_ = active_ = false;
        own_id_ = 0;
        own_name_.clear();
        players_.clear();
    }

    bool SendTo(ENetPeer* peer, const std::vector<uint8_t>& bytes, bool guaranteed) {
        if (!peer) return false;
        ENetPacket* packet =
            enet_packet_create(bytes.data(), bytes.size(),
                               guaranteed ? ENET_PACKET_FLAG_RELIABLE : ENET_PACKET_FLAG_UNSEQUENCED);
        if (!packet) return false;
        if (enet_peer_send(peer, guaranteed ? kChannelReliable : kChannelLoose, packet) != 0) {
            enet_packet_destroy(packet);
            return false;
        }
        return true;
    }

    // A packet of a kind byte, a player id and the payload, formed in ENet's own buffer.
    bool SendTagged(ENetPeer* peer, uint8_t kind, uint32_t id, std::span<const uint8_t> bytes,
                    bool guaranteed) {
        if (!peer) return false;
        ENetPacket* packet = enet_packet_create(
            nullptr, 5 + bytes.size(), guaranteed ? ENET_PACKET_FLAG_RELIABLE : ENET_PACKET_FLAG_UNSEQUENCED);
        if (!packet) return false;
        packet->data[0] = kind;
        for (int i = 0; i < 4; ++i) packet->data[1 + i] = static_cast<uint8_t>(id >> (8 * i));
        if (!bytes.empty()) std::memcpy(packet->data + 5, bytes.data(), bytes.size());
        if (enet_peer_send(peer, guaranteed ? kChannelReliable : kChannelLoose, packet) != 0) {
            enet_packet_destroy(packet);
            return false;
        }
        return true;
    }

    void Deliver(uint32_t from, std::span<const uint8_t> bytes) {
        if (bytes.size() > kNetWireLimit || inbox_.size() >= kInboxLimit) return;
        inbox_.push_back({from, std::vector<uint8_t>(bytes.begin(), bytes.end())});
    }

    Player* Find(uint32_t id) {
        for (Player& p : players_)
            if (p.id == id) return &p;
        return nullptr;
    }
    Player* FindPeer(ENetPeer* peer) {
        for (Player& p : players_)
            if (p.peer == peer) return &p;
        return nullptr;
    }

    void Handle(ENetEvent& event) {
        switch (event.type) {
        case ENET_EVENT_TYPE_CONNECT:
            if (!hosting_ && event.peer == server_) connected_ = true;
            break;
        case ENET_EVENT_TYPE_DISCONNECT:
            if (hosting_) {
                if (Player* p = FindPeer(event.peer)) {
                    const uint32_t id = p->id;
                    std::erase_if(players_, [id](const Player& q) { return q.id == id; });
                    NetWriter gone;
                    gone.U8(kRemove);
                    gone.U32(id);
                    for (const Player& q : players_) (void)SendTo(q.peer, gone.bytes, true);
                }
            } else if (event.peer == server_) {
                // The host left: the session is over for this copy.
                connected_ = false;
                active_ = false;
                server_ = nullptr;
                players_.clear();
            }
            break;
        case ENET_EVENT_TYPE_RECEIVE:
            if (hosting_)
                HostReceive(event.peer,
                            std::span<const uint8_t>(event.packet->data, event.packet->dataLength),
                            (event.packet->flags & ENET_PACKET_FLAG_RELIABLE) != 0);
            else if (event.peer == server_)
                PlayerReceive(std::span<const uint8_t>(event.packet->data, event.packet->dataLength));
            enet_packet_destroy(event.packet);
            break;
        default:
            break;
        }
    }

    void HostReceive(ENetPeer* peer, std::span<const uint8_t> bytes, bool guaranteed) {
        NetReader in(bytes);
        const uint8_t type = in.U8();
        Player* sender = FindPeer(peer);
        if (type == kHello && !sender) {
            uint8_t guid[16];
            const bool read = in.Raw(guid, 16);
            std::string name = in.Text(kNetNameLimit);
            const bool full = max_players_ > 0 && players_.size() + 1 >= size_t(max_players_);
            if (!read || !in.ok() || in.Left() != 0 || std::memcmp(guid, app_.data(), 16) != 0 || full) {
                NetWriter no;
                no.U8(kRefused);
                (void)SendTo(peer, no.bytes, true);
                enet_peer_disconnect_later(peer, 0);
                return;
            }
            Player joined{next_id_++, std::move(name), peer};
            NetWriter welcome;
            welcome.U8(kWelcome);
            welcome.U32(joined.id);
            welcome.U32(static_cast<uint32_t>(players_.size() + 1));
            welcome.U32(own_id_);
            welcome.Text(own_name_);
            NetWriter add;
            add.U8(kAdd);
            add.U32(joined.id);
            add.Text(joined.name);
            for (const Player& p : players_) {
                welcome.U32(p.id);
                welcome.Text(p.name);
                (void)SendTo(p.peer, add.bytes, true);
            }
            (void)SendTo(peer, welcome.bytes, true);
            players_.push_back(std::move(joined));
            return;
        }
        if (type != kData || !sender) return; // nothing else comes from players
        const uint32_t to = in.U32();
        if (!in.ok()) return;
        std::span<const uint8_t> payload = in.Rest();
        if (payload.size() > kNetWireLimit) return;
        const uint32_t from = sender->id;
        if (to == own_id_ || to == 0) Deliver(from, payload);
        if (to == own_id_) return;
        NetWriter deliver;
        deliver.U8(kDeliver);
        deliver.U32(from);
        deliver.Raw(payload);
        for (const Player& p : players_)
            if ((to == 0 && p.id != from) || p.id == to) (void)SendTo(p.peer, deliver.bytes, guaranteed);
    }

    void PlayerReceive(std::span<const uint8_t> bytes) {
        NetReader in(bytes);
        const uint8_t type = in.U8();
        switch (type) {
        case kWelcome: {
            if (own_id_ != 0) return;
            const uint32_t id = in.U32();
            const uint32_t count = in.U32();
            std::vector<Player> list;
            for (uint32_t i = 0; i < count && in.ok(); ++i) {
                Player p;
                p.id = in.U32();
                p.name = in.Text(kNetNameLimit);
                list.push_back(std::move(p));
            }
            if (!in.ok() || in.Left() != 0 || id == 0) return;
            players_ = std::move(list);
            own_id_ = id;
            break;
        }
        case kRefused:
            refused_ = true;
            break;
        case kAdd: {
            Player p;
            p.id = in.U32();
            p.name = in.Text(kNetNameLimit);
            if (in.ok() && in.Left() == 0 && p.id != 0 && p.id != own_id_ && !Find(p.id))
                players_.push_back(std::move(p));
            break;
        }
        case kRemove: {
            const uint32_t id = in.U32();
            if (in.ok()) std::erase_if(players_, [id](const Player& p) { return p.id == id; });
            break;
        }
        case kDeliver: {
            const uint32_t from = in.U32();
            if (in.ok() && from != 0 && own_id_ != 0) Deliver(from, in.Rest());
            break;
        }
        default:
            break;
        }
    }

    // Session queries arrive on the session port; ENet hands over every datagram first.
    static int ENET_CALLBACK Intercept(ENetHost* host, ENetEvent*) {
        const size_t n = host->receivedDataLength;
        if (n != 20 || std::memcmp(host->receivedData, kQueryMagic, 4) != 0) return 0;
        auto it = Hosts().find(host);
        if (it == Hosts().end()) return 1;
        it->second->AnswerQuery(host->receivedData + 4, host->receivedAddress);
        return 1;
    }

    void AnswerQuery(const uint8_t* guid, const ENetAddress& from) {
        if (!hosting_ || std::memcmp(guid, app_.data(), 16) != 0 || own_id_ == 0) return;
        // A full session is not offered.
        if (max_players_ > 0 && players_.size() + 1 >= size_t(max_players_)) return;
        NetWriter reply;
        reply.Raw(kReplyMagic);
        reply.Raw(app_);
        reply.Raw(instance_);
        reply.Text(session_name_);
        ENetBuffer out{reply.bytes.data(), reply.bytes.size()};
        (void)enet_socket_send(host_->socket, &from, &out, 1);
    }

    std::string host_name_;
    int32_t port_ = 6510;
    ENetHost* host_ = nullptr;
    ENetPeer* server_ = nullptr;
    bool hosting_ = false;
    bool connected_ = false;
    bool refused_ = false;
    bool active_ = false;
    NetGuid app_{};
    NetGuid instance_{};
    std::string session_name_;
    int32_t max_players_ = 0;
    uint32_t next_id_ = 1;
    uint32_t own_id_ = 0;
    std::string own_name_;
    std::vector<Player> players_;
    std::vector<std::pair<NetGuid, ENetAddress>> found_;
    std::deque<NetPacket> inbox_;
    std::chrono::steady_clock::time_point last_poll_{};
};

} // namespace

std::unique_ptr<NetProvider> MakeEnetProvider() {
    return std::make_unique<EnetProvider>();
}

} // namespace kestrin
