#pragma once
// The process-wide multiplayer state: the connection and session status, this copy's player,
// the sessions and players of the last searches, the shared values, the message queue and the
// current message. Nothing of it is saved with a game or reset by a room change or a restart.
// The transport behind it is a NetProvider (net_provider.h).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/net_provider.h"
#include "net/net_wire.h"
#include "script/value.h"

namespace kestrin {

inline constexpr size_t kNetQueueSlots = 4000;
inline constexpr int32_t kNetMaxSharedIndex = 1000000;

// The queued messages: 4000 slots, each consumed once taken or cleared, with a read position
// that moves past the consumed slots at its front.
class NetMessageQueue {
public:
    // Appends a message; when every slot is in use the consumed ones go first, and when the
    // queue is still full the message is dropped (false).
    bool Append(TMess message);
    // The oldest unconsumed message from `player` (0: any sender, negative: none) from the
    // read position on, marked consumed.
    bool Take(int64_t player, TMess& taken);
    size_t Count(int64_t player) const;
    // Marks the matching messages from the read position on as consumed, then compacts.
    void Clear(int64_t player);
    // Drops the consumed messages, keeping the order of the others.
    void Compact();
    void Reset();

    size_t SlotsInUse() const { return slots_.size(); }
    size_t ReadPosition() const { return read_; }

    static bool Matches(int64_t player, uint32_t sender) {
        return player == 0 || (player > 0 && player == sender);
    }

private:
    struct Slot {
        TMess message;
        bool consumed = false;
    };
    std::vector<Slot> slots_;
    size_t read_ = 0;
};

// A player argument once resolved: a name becomes the id of the first player with that
// name, a real the id it rounds to. `ok` is false for a name that no player has and for
// reals that are no number or far out of the id range.
struct NetPlayerArg {
    bool ok = false;
    int64_t id = 0;
};

class NetState {
public:
    // The application identifier sessions are made and found with.
    void SetApplication(const NetGuid& guid) { app_ = guid; }
    const NetGuid& Application() const { return app_; }

    bool InitIpx();
    bool InitTcpIp(const std::string& address);
    bool InitModem(const std::string& modem, const std::string& phone);
    bool InitSerial(const NetSerialSettings& settings);
    int32_t ConnectStatus() const { return connect_status_; }
    void End();

    void SetSessionMode(bool migrate) { session_migrate_ = migrate; }
    bool SessionCreate(const std::string& name, int32_t maxPlayers, const std::string& playerName);
    int32_t SessionFind();
    std::string SessionName(int64_t n) const;
    bool SessionJoin(int64_t n, const std::string& playerName);
    int32_t SessionStatus();
    void SessionEnd();

    int32_t PlayerFind();
    std::string PlayerName(int64_t n) const;
    uint32_t PlayerId(int64_t n) const;

    bool DataWrite(int64_t index, const RValue& value);
    RValue DataRead(int64_t index);
    void SetDataMode(bool guaranteed) { data_guaranteed_ = guaranteed; }

    bool MessageSend(const RValue& player, int32_t id, const RValue& value, bool guaranteed);
    bool MessageReceive(const RValue& player);
    int32_t MessageCount(const RValue& player);
    void MessageClear(const RValue& player);
    const TMess& CurrentMessage() const { return current_; }
    std::string MessageName();

    NetPlayerArg ResolvePlayer(const RValue& player);

    // Moves every pending packet from the transport into the queue and the shared values.
    void ReceiveAll();
    // Lets the transport work and notices a session that ended from the other side.
    void Service();

    bool Connected() const { return connect_status_ > 0 && provider_ != nullptr; }
    bool InSession() const { return Connected() && session_status_ != 0; }
    const NetMessageQueue& Queue() const { return queue_; }
    const std::vector<RValue>& SharedValues() const { return shared_; }
    uint32_t OwnPlayerId() const { return own_player_id_; }

    // Back to the state of a process that has done nothing with the network.
    void Reset();

private:
    bool OpenConnection(const NetAddress& address);
    bool FinishPlayer(const std::string& playerName, int32_t status);
    void StoreShared(int64_t index, const RValue& value);

    NetGuid app_{};
    std::unique_ptr<NetProvider> provider_;
    int32_t connect_status_ = 0;
    int32_t session_status_ = 0;
    bool session_migrate_ = false;
    bool data_guaranteed_ = true;
    uint32_t own_player_id_ = 0;
    std::string own_player_name_;
    std::vector<NetSessionInfo> sessions_;
    std::vector<NetPlayerInfo> players_;
    std::vector<RValue> shared_;
    NetMessageQueue queue_;
    TMess current_;
};

NetState& Net();
void Net_SetApplication(const NetGuid& guid);
// Services the transport: every step, and from any loop that waits (paused, dialogs).
void Net_Service();
void Net_Reset();

// Parses a TCP/IP address "host" or "host:port" into `address`; false for a port that is not
// a whole number from 1 to 65535.
bool ParseNetAddress(const std::string& text, NetAddress& address);

} // namespace kestrin
