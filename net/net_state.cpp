#include "net/net_state.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/numeric.h"
#include "script/errors.h"

namespace kestrin {

// ---- The queue ----

bool NetMessageQueue::Append(TMess message) {
    if (slots_.size() >= kNetQueueSlots) Compact();
    if (slots_.size() >= kNetQueueSlots) return false;
    slots_.push_back({std::move(message), false});
    return true;
}

bool NetMessageQueue::Take(int64_t player, TMess& taken) {
    for (size_t i = read_; i < slots_.size(); ++i) {
        Slot& slot = slots_[i];
        if (slot.consumed || !Matches(player, slot.message.player)) continue;
        taken = slot.message;
        slot.consumed = true;
        while (read_ < slots_.size() && slots_[read_].consumed) ++read_;
        return true;
    }
    return false;
}

size_t NetMessageQueue::Count(int64_t player) const {
    size_t count = 0;
    for (size_t i = read_; i < slots_.size(); ++i)
        if (!slots_[i].consumed && Matches(player, slots_[i].message.player)) ++count;
    return count;
}

void NetMessageQueue::Clear(int64_t player) {
    for (size_t i = read_; i < slots_.size(); ++i)
        if (Matches(player, slots_[i].message.player)) slots_[i].consumed = true;
    Compact();
}

void NetMessageQueue::Compact() {
    std::erase_if(slots_, [](const Slot& slot) { return slot.consumed; });
    read_ = 0;
}

void NetMessageQueue::Reset() {
    slots_.clear();
    slots_.shrink_to_fit();
    read_ = 0;
}

// ---- Addresses ----

bool ParseNetAddress(const std::string& text, NetAddress& address) {
    address.kind = NetKind::TcpIp;
    const size_t colon = text.find(':');
    address.host = text.substr(0, colon);
    address.port = -1;
    if (colon == std::string::npos) return true;
    // The port is read from at most 99 characters; anything but a plain port number is
    // refused rather than turned into some other port.
    const std::string port = text.substr(colon + 1, 99);
    if (port.empty() || port.size() > 5) return false;
    int32_t value = 0;
    for (char c : port) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) return false;
    address.port = value;
    return true;
}

// ---- Connections ----

bool NetState::OpenConnection(const NetAddress& address) {
    if (connect_status_ > 0) return false;
    std::unique_ptr<NetProvider> provider = MakeNetProvider(address.kind);
    if (!provider || !provider->Open(address)) return false;
    provider_ = std::move(provider);
    connect_status_ = static_cast<int32_t>(address.kind);
    session_status_ = 0;
    return true;
}

bool NetState::InitIpx() {
    NetAddress address;
    address.kind = NetKind::Ipx;
    return OpenConnection(address);
}

bool NetState::InitTcpIp(const std::string& text) {
    if (connect_status_ > 0) return false;
    NetAddress address;
    if (!ParseNetAddress(text, address)) return false;
    return OpenConnection(address);
}

bool NetState::InitModem(const std::string& modem, const std::string& phone) {
    NetAddress address;
    address.kind = NetKind::Modem;
    address.modem = modem;
    address.phone = phone;
    return OpenConnection(address);
}

bool NetState::InitSerial(const NetSerialSettings& settings) {
    NetAddress address;
    address.kind = NetKind::Serial;
    address.serial = settings;
    return OpenConnection(address);
}

void NetState::End() {
    if (connect_status_ == 0) return;
    SessionEnd();
    provider_.reset();
    connect_status_ = 0;
    session_status_ = 0;
}

// ---- Sessions ----

bool NetState::FinishPlayer(const std::string& playerName, int32_t status) {
    uint32_t id = 0;
    if (!provider_->CreatePlayer(playerName, id)) {
        // A session without this copy's player is of no use and would block the next
        // create or join: it is closed again.
        provider_->CloseSession();
        return false;
    }
    own_player_id_ = id;
    own_player_name_ = playerName;
    session_status_ = status;
    return true;
}

bool NetState::SessionCreate(const std::string& name, int32_t maxPlayers, const std::string& playerName) {
    if (!Connected() || session_status_ != 0) return false;
    if (!provider_->CreateSession(app_, name, std::max(maxPlayers, 0), session_migrate_)) return false;
    return FinishPlayer(playerName, 1);
}

int32_t NetState::SessionFind() {
    if (!Connected()) return 0;
    sessions_.clear();
    for (NetSessionInfo& session : provider_->FindSessions(app_)) {
        TraceLine("EnumSessonsCallback - found " + session.name);
        sessions_.push_back(std::move(session));
    }
    TraceLine("EnumSessionsCallback - Timeout");
    return static_cast<int32_t>(sessions_.size());
}

std::string NetState::SessionName(int64_t n) const {
    if (n < 0 || n >= static_cast<int64_t>(sessions_.size())) return {};
    return sessions_[size_t(n)].name;
}

bool NetState::SessionJoin(int64_t n, const std::string& playerName) {
    if (!Connected() || session_status_ != 0) return false;
    if (n < 0 || n >= static_cast<int64_t>(sessions_.size())) return false;
    if (!provider_->JoinSession(app_, sessions_[size_t(n)])) return false;
    return FinishPlayer(playerName, 2);
}

int32_t NetState::SessionStatus() {
    Service();
    return session_status_;
}

void NetState::SessionEnd() {
    if (!Connected() || session_status_ == 0) return;
    provider_->CloseSession();
    session_status_ = 0;
}

// ---- Players ----

int32_t NetState::PlayerFind() {
    if (!InSession()) return 0;
    players_.clear();
    players_.push_back({own_player_id_, own_player_name_});
    for (NetPlayerInfo& player : provider_->RemotePlayers()) players_.push_back(std::move(player));
    return static_cast<int32_t>(players_.size());
}

std::string NetState::PlayerName(int64_t n) const {
    if (n < 0 || n >= static_cast<int64_t>(players_.size())) return {};
    return players_[size_t(n)].name;
}

uint32_t NetState::PlayerId(int64_t n) const {
    if (n < 0 || n >= static_cast<int64_t>(players_.size())) return 0;
    return players_[size_t(n)].id;
}

NetPlayerArg NetState::ResolvePlayer(const RValue& player) {
    if (player.IsString()) {
        if (PlayerFind() == 0) return {};
        for (const NetPlayerInfo& entry : players_)
            if (entry.name == player.str()) return {true, entry.id};
        return {};
    }
    // Checked before the conversion: NaN and reals beyond any id resolve to nothing.
    const double v = player.val();
    if (!(std::fabs(v) < 9007199254740992.0)) return {};
    return {true, RoundToInt64(v)};
}

// ---- Traffic ----

void NetState::StoreShared(int64_t index, const RValue& value) {
    if (index < 0 || index > kNetMaxSharedIndex) return;
    if (shared_.size() <= size_t(index)) shared_.resize(size_t(index) + 1);
    shared_[size_t(index)] = value;
}

void NetState::ReceiveAll() {
    if (!Connected()) return;
    // The transport looks for new arrivals itself once what it holds is taken.
    NetPacket packet;
    while (provider_->Receive(packet)) {
        if (packet.from == 0) continue; // the transport's own messages
        std::optional<TMess> message = DecodeNetPayload(packet.bytes);
        if (!message) continue;
        message->player = packet.from;
        if (message->ismessage)
            (void)queue_.Append(std::move(*message));
        else
            StoreShared(message->messid, message->val);
    }
}

void NetState::Service() {
    if (!Connected()) return;
    provider_->Service();
    if (session_status_ != 0 && !provider_->SessionActive()) session_status_ = 0;
}

bool NetState::DataWrite(int64_t index, const RValue& value) {
    if (!InSession() || index < 0 || index > kNetMaxSharedIndex) return false;
    if (shared_.size() <= size_t(index)) shared_.resize(size_t(index) + 1);
    std::vector<uint8_t> bytes = EncodeNetPayload(false, static_cast<int32_t>(index), value);
    if (!provider_->Send(own_player_id_, 0, bytes, data_guaranteed_)) return false;
    shared_[size_t(index)] = value;
    return true;
}

RValue NetState::DataRead(int64_t index) {
    if (!InSession() || index < 0 || index > kNetMaxSharedIndex) return RValue();
    if (shared_.size() <= size_t(index)) shared_.resize(size_t(index) + 1);
    ReceiveAll();
    return shared_[size_t(index)];
}

bool NetState::MessageSend(const RValue& player, int32_t id, const RValue& value, bool guaranteed) {
    if (!InSession()) return false;
    NetPlayerArg to = ResolvePlayer(player);
    if (!to.ok || to.id < 0 || to.id > int64_t(UINT32_MAX)) return false;
    std::vector<uint8_t> bytes = EncodeNetPayload(true, id, value);
    return provider_->Send(own_player_id_, static_cast<uint32_t>(to.id), bytes, guaranteed);
}

bool NetState::MessageReceive(const RValue& player) {
    ReceiveAll();
    NetPlayerArg from = ResolvePlayer(player);
    if (!from.ok) return false;
    return queue_.Take(from.id, current_);
}

int32_t NetState::MessageCount(const RValue& player) {
    if (!InSession()) return 0;
    ReceiveAll();
    NetPlayerArg from = ResolvePlayer(player);
    if (!from.ok) return 0;
    return static_cast<int32_t>(queue_.Count(from.id));
}

void NetState::MessageClear(const RValue& player) {
    ReceiveAll();
    NetPlayerArg from = ResolvePlayer(player);
    if (from.ok) queue_.Clear(from.id);
}

std::string NetState::MessageName() {
    (void)PlayerFind();
    const std::string* name = nullptr;
    for (const NetPlayerInfo& entry : players_)
        if (entry.id == current_.player) name = &entry.name;
    return name ? *name : std::string("(unknown)");
}

void NetState::Reset() {
    End();
    session_migrate_ = false;
    data_guaranteed_ = true;
    own_player_id_ = 0;
    own_player_name_.clear();
    sessions_.clear();
    players_.clear();
    shared_.clear();
    queue_.Reset();
    current_ = TMess();
}

NetState& Net() {
    static NetState state;
    return state;
}

void Net_SetApplication(const NetGuid& guid) {
    Net().SetApplication(guid);
}

void Net_Service() {
    Net().Service();
}

void Net_Reset() {
    Net().Reset();
    Net().SetApplication({});
}

} // namespace kestrin
