#include "platform/netio/serial_transport.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>
#include <random>
#include <string>

#include "net/net_wire.h"
#include "platform/netio/net_codec.h"
#include "platform/netio/net_env.h"

namespace kestrin {

namespace {

constexpr uint8_t kFlag = 0x7E;
constexpr uint8_t kEscape = 0x7D;
constexpr size_t kFrameLimit = kNetWireLimit + 64;

// Frame kinds on the line.
enum : uint8_t {
    kQuery = 1,    // guid: is a session of this game hosted at the other end?
    kSession = 2,  // guid, instance, name: the answer
    kReliable = 3, // epoch, sequence, message: acknowledged and resent until then
    kAck = 4,      // epoch, sequence: everything up to it arrived
    kLoose = 5,    // message, not acknowledged
};
// Messages inside reliable and loose frames.
enum : uint8_t {
    kHello = 1,   // guid, player name
    kWelcome = 2, // the joiner's id, the host's id and name
    kRefused = 3,
    kDeliver = 4, // sender id, payload
    kBye = 5,     // the sender left the session
};

constexpr uint32_t kHostId = 1;
constexpr uint32_t kGuestId = 2;
constexpr uint32_t kResendMs = 150;
constexpr size_t kInboxLimit = 1 << 16;

using Clock = std::chrono::steady_clock;

uint32_t ElapsedMs(Clock::time_point since) {
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

speed_t BaudConstant(int32_t baud) {
    switch (baud) {
    case 300:
        return B300;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    default:
        return B0;
    }
}

struct Pending {
    uint16_t seq;
    std::vector<uint8_t> frame;
};

class SerialProvider final : public NetProvider {
public:
    explicit SerialProvider(int fd) : fd_(fd) {}
    ~SerialProvider() override {
        CloseSession();
        if (fd_ >= 0) close(fd_);
    }

    bool Open(const NetAddress& address) override {
        const NetSerialSettings& s = address.serial;
        if (fd_ < 0) {
            std::string device;
            if (const char* chosen = std::getenv("KESTRIN_NET_SERIAL_DEVICE"); chosen && *chosen)
                device = chosen;
            else if (s.port >= 1 && s.port <= 256)
                device = "/dev/ttyS" + std::to_string(s.port - 1);
            else
                return false;
            fd_ = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            if (fd_ < 0) return false;
        }
        const speed_t speed = BaudConstant(s.baud);
        if (speed == B0 || s.stop_bits < 0 || s.stop_bits > 2 || s.parity < 0 || s.parity > 2 || s.flow < 0 ||
            s.flow > 4)
            return false;
        termios tio{};
        if (tcgetattr(fd_, &tio) != 0) return false;
        cfmakeraw(&tio);
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
        tio.c_cflag |= CLOCAL | CREAD;
        // One and a half stop bits are sent as two.
        if (s.stop_bits > 0) tio.c_cflag |= CSTOPB;
        if (s.parity == 1) tio.c_cflag |= PARENB | PARODD;
        if (s.parity == 2) tio.c_cflag |= PARENB;
        if (s.flow == 1) tio.c_iflag |= IXON | IXOFF;
        if (s.flow >= 2) tio.c_cflag |= CRTSCTS;
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        if (tcsetattr(fd_, TCSANOW, &tio) != 0) return false;
        (void)fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
        std::random_device random;
        epoch_ = static_cast<uint32_t>(random()) | 1;
        return true;
    }

    bool CreateSession(const NetGuid& app, const std::string& name, int32_t maxPlayers, bool) override {
        if (mode_ != Mode::None || name.size() > kNetNameLimit) return false;
        mode_ = Mode::Host;
        app_ = app;
        session_name_ = name;
        max_players_ = maxPlayers;
        std::random_device random;
        for (uint8_t& b : instance_) b = static_cast<uint8_t>(random());
        return true;
    }

    std::vector<NetSessionInfo> FindSessions(const NetGuid& app) override {
        found_.reset();
        NetWriter query;
        query.U8(kQuery);
        query.Raw(app);
        Write(query.bytes);
        const uint32_t timeout = uint32_t(NetEnvInt("KESTRIN_NET_FIND_TIMEOUT", 1000, 10, 60000));
        const auto start = Clock::now();
        query_app_ = app;
        while (ElapsedMs(start) < timeout) Pump(std::min<uint32_t>(timeout - ElapsedMs(start), 20));
        std::vector<NetSessionInfo> list;
        if (found_.has_value()) list.push_back(*found_);
        return list;
    }

    bool JoinSession(const NetGuid& app, const NetSessionInfo& session) override {
        if (mode_ != Mode::None || !found_ || found_->instance != session.instance) return false;
        mode_ = Mode::Guest;
        app_ = app;
        active_ = true;
        return true;
    }

    bool CreatePlayer(const std::string& name, uint32_t& id) override {
        if (mode_ == Mode::None || own_id_ != 0 || name.size() > kNetNameLimit) return false;
        if (mode_ == Mode::Host) {
            own_id_ = kHostId;
            own_name_ = name;
            active_ = true;
            id = own_id_;
            return true;
        }
        NetWriter hello;
        hello.U8(kHello);
        hello.Raw(app_);
        hello.Text(name);
        SendReliable(hello.bytes);
        const uint32_t timeout = uint32_t(NetEnvInt("KESTRIN_NET_JOIN_TIMEOUT", 5000, 10, 120000));
        const auto start = Clock::now();
        while (own_id_ == 0 && !refused_ && ElapsedMs(start) < timeout) Pump(20);
        if (own_id_ == 0) return false;
        own_name_ = name;
        id = own_id_;
        return true;
    }

    std::vector<NetPlayerInfo> RemotePlayers() override {
        Service();
        std::vector<NetPlayerInfo> list;
        if (other_id_ != 0) list.push_back({other_id_, other_name_});
        return list;
    }

    bool Send(uint32_t from, uint32_t to, std::span<const uint8_t> bytes, bool guaranteed) override {
        if (!active_ || own_id_ == 0) return false;
        if (to == own_id_) {
            Deliver(from, bytes);
            return true;
        }
        if (to != 0 && to != other_id_) return false;
        if (other_id_ == 0) return to == 0; // nobody else there: a message to all reaches no one
        NetWriter deliver;
        deliver.U8(kDeliver);
        deliver.U32(own_id_);
        deliver.Raw(bytes);
        if (guaranteed)
            SendReliable(deliver.bytes);
        else
            SendLoose(deliver.bytes);
        return true;
    }

    bool Receive(NetPacket& packet) override {
        if (inbox_.empty()) Service();
        if (inbox_.empty()) return false;
        packet = std::move(inbox_.front());
        inbox_.pop_front();
        return true;
    }

    void CloseSession() override {
        if (mode_ == Mode::None) return;
        if (own_id_ != 0 && other_id_ != 0) {
            NetWriter bye;
            bye.U8(kBye);
            SendReliable(bye.bytes);
            // A short wait for the goodbye to be acknowledged.
            const auto start = Clock::now();
            while (!unacked_.empty() && ElapsedMs(start) < 300) Pump(10);
        }
        mode_ = Mode::None;
        active_ = refused_ = false;
        own_id_ = other_id_ = 0;
        own_name_.clear();
        other_name_.clear();
    }

    bool SessionActive() override { return mode_ != Mode::None && active_; }

    void Service() override { Pump(0); }

private:
    enum class Mode { None, Host, Guest };

    // Reads what the line holds (waiting up to `waitMs` for the first bytes), handles the
    // frames, sends again what is overdue and writes what is queued.
    void Pump(uint32_t waitMs) {
        if (fd_ < 0) return;
        pollfd p{fd_, POLLIN, 0};
        if (waitMs > 0) (void)poll(&p, 1, static_cast<int>(waitMs));
        uint8_t buffer[4096];
        for (int rounds = 0; rounds < 64; ++rounds) {
            const ssize_t got = read(fd_, buffer, sizeof buffer);
            if (got <= 0) break;
            std::vector<std::vector<uint8_t>> bodies;
            framer_.Feed(std::span<const uint8_t>(buffer, size_t(got)), bodies);
            for (const auto& body : bodies) HandleFrame(body);
        }
        if (!unacked_.empty() && ElapsedMs(last_send_) >= kResendMs) {
            for (const Pending& pending : unacked_) Queue(pending.frame);
            last_send_ = Clock::now();
        }
        Flush();
    }

    void Queue(const std::vector<uint8_t>& frame) { out_.insert(out_.end(), frame.begin(), frame.end()); }
    void Flush() {
        size_t done = 0;
        while (done < out_.size()) {
            const ssize_t n = write(fd_, out_.data() + done, out_.size() - done);
            if (n <= 0) break;
            done += size_t(n);
        }
        out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(done));
    }
    void Write(const std::vector<uint8_t>& body) {
        Queue(SerialFramer::Frame(body));
        Flush();
    }

    void SendReliable(const std::vector<uint8_t>& message) {
        NetWriter body;
        body.U8(kReliable);
        body.U32(epoch_);
        body.U16(send_seq_);
        body.Raw(message);
        std::vector<uint8_t> frame = SerialFramer::Frame(body.bytes);
        if (unacked_.empty()) last_send_ = Clock::now();
        unacked_.push_back({send_seq_, frame});
        ++send_seq_;
        Queue(frame);
        Flush();
    }
    void SendLoose(const std::vector<uint8_t>& message) {
        NetWriter body;
        body.U8(kLoose);
        body.Raw(message);
        Write(body.bytes);
    }

    void Deliver(uint32_t from, std::span<const uint8_t> bytes) {
        if (bytes.size() > kNetWireLimit || inbox_.size() >= kInboxLimit) return;
        inbox_.push_back({from, std::vector<uint8_t>(bytes.begin(), bytes.end())});
    }

    void HandleFrame(const std::vector<uint8_t>& body) {
        NetReader in(body);
        switch (in.U8()) {
        case kQuery: {
            uint8_t guid[16];
            if (!in.Raw(guid, 16) || in.Left() != 0) return;
            const bool open = mode_ == Mode::Host && own_id_ != 0 && other_id_ == 0 && max_players_ != 1;
            if (!open || std::memcmp(guid, app_.data(), 16) != 0) return;
            NetWriter answer;
            answer.U8(kSession);
            answer.Raw(app_);
            answer.Raw(instance_);
            answer.Text(session_name_);
            Write(answer.bytes);
            return;
        }
        case kSession: {
            uint8_t guid[16];
            NetSessionInfo session;
            if (!in.Raw(guid, 16) || !in.Raw(session.instance.data(), 16)) return;
            session.name = in.Text(kNetNameLimit);
            if (!in.ok() || in.Left() != 0 || std::memcmp(guid, query_app_.data(), 16) != 0) return;
            found_ = std::move(session);
            return;
        }
        case kAck: {
            const uint32_t epoch = in.U32();
            const uint16_t seq = in.U16();
            if (!in.ok() || epoch != epoch_) return;
            while (!unacked_.empty() && static_cast<int16_t>(unacked_.front().seq - seq) <= 0)
                unacked_.pop_front();
            last_send_ = Clock::now();
            return;
        }
        case kReliable: {
            const uint32_t epoch = in.U32();
            const uint16_t seq = in.U16();
            if (!in.ok()) return;
            // The other end opened its line anew: its numbering starts again.
            if (epoch != peer_epoch_) {
                peer_epoch_ = epoch;
                expect_seq_ = seq;
            }
            if (seq == expect_seq_) {
                ++expect_seq_;
                HandleMessage(in.Rest());
            }
            NetWriter ack;
            ack.U8(kAck);
            ack.U32(peer_epoch_);
            ack.U16(static_cast<uint16_t>(expect_seq_ - 1));
            Write(ack.bytes);
            return;
        }
        case kLoose:
            HandleMessage(in.Rest());
            return;
        default:
            return;
        }
    }

    void HandleMessage(std::span<const uint8_t> bytes) {
        NetReader in(bytes);
        switch (in.U8()) {
        case kHello: {
            uint8_t guid[16];
            const bool read = in.Raw(guid, 16);
            std::string name = in.Text(kNetNameLimit);
            if (mode_ != Mode::Host || own_id_ == 0) return;
            const bool ok = read && in.ok() && in.Left() == 0 && std::memcmp(guid, app_.data(), 16) == 0 &&
                            other_id_ == 0 && max_players_ != 1;
            NetWriter reply;
            if (ok) {
                other_id_ = kGuestId;
                other_name_ = std::move(name);
                reply.U8(kWelcome);
                reply.U32(kGuestId);
                reply.U32(own_id_);
                reply.Text(own_name_);
            } else {
                reply.U8(kRefused);
            }
            SendReliable(reply.bytes);
            return;
        }
        case kWelcome: {
            const uint32_t id = in.U32();
            const uint32_t host = in.U32();
            std::string name = in.Text(kNetNameLimit);
            if (mode_ != Mode::Guest || own_id_ != 0 || !in.ok() || in.Left() != 0 || id == 0 || host == 0)
                return;
            own_id_ = id;
            other_id_ = host;
            other_name_ = std::move(name);
            return;
        }
        case kRefused:
            if (mode_ == Mode::Guest && own_id_ == 0) refused_ = true;
            return;
        case kDeliver: {
            const uint32_t from = in.U32();
            if (in.ok() && from != 0 && from == other_id_ && own_id_ != 0) Deliver(from, in.Rest());
            return;
        }
        case kBye:
            if (mode_ == Mode::Guest) active_ = false; // the host closed the session
            other_id_ = 0;
            other_name_.clear();
            return;
        default:
            return;
        }
    }

    int fd_ = -1;
    SerialFramer framer_;
    std::vector<uint8_t> out_;
    Mode mode_ = Mode::None;
    bool active_ = false;
    bool refused_ = false;
    NetGuid app_{};
    NetGuid query_app_{};
    NetGuid instance_{};
    std::string session_name_;
    int32_t max_players_ = 0;
    uint32_t own_id_ = 0;
    std::string own_name_;
    uint32_t other_id_ = 0;
    std::string other_name_;
    std::optional<NetSessionInfo> found_;
    uint32_t epoch_ = 1;
    uint32_t peer_epoch_ = 0;
    uint16_t send_seq_ = 0;
    uint16_t expect_seq_ = 0;
    std::deque<Pending> unacked_;
    Clock::time_point last_send_ = Clock::now();
    std::deque<NetPacket> inbox_;
};

} // namespace

uint16_t SerialCrc16(std::span<const uint8_t> bytes) {
    uint16_t crc = 0xFFFF;
    for (uint8_t b : bytes) {
        crc ^= static_cast<uint16_t>(b << 8);
        for (int i = 0; i < 8; ++i)
            crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

std::vector<uint8_t> SerialFramer::Frame(std::span<const uint8_t> body) {
    std::vector<uint8_t> frame;
    frame.reserve(body.size() + body.size() / 16 + 6);
    frame.push_back(kFlag);
    auto put = [&frame](uint8_t b) {
        if (b == kFlag || b == kEscape) {
            frame.push_back(kEscape);
            frame.push_back(static_cast<uint8_t>(b ^ 0x20));
        } else {
            frame.push_back(b);
        }
    };
    for (uint8_t b : body) put(b);
    const uint16_t crc = SerialCrc16(body);
    put(static_cast<uint8_t>(crc));
    put(static_cast<uint8_t>(crc >> 8));
    frame.push_back(kFlag);
    return frame;
}

void SerialFramer::Feed(std::span<const uint8_t> bytes, std::vector<std::vector<uint8_t>>& bodies) {
    for (uint8_t b : bytes) {
        if (b == kFlag) {
            if (!overlong_ && !escaped_ && current_.size() >= 3) {
                const size_t n = current_.size() - 2;
                const uint16_t crc = static_cast<uint16_t>(current_[n] | current_[n + 1] << 8);
                if (SerialCrc16(std::span<const uint8_t>(current_.data(), n)) == crc)
                    bodies.emplace_back(current_.begin(), current_.begin() + static_cast<std::ptrdiff_t>(n));
            }
            current_.clear();
            escaped_ = overlong_ = false;
            continue;
        }
        if (overlong_) continue;
        if (b == kEscape) {
            escaped_ = true;
            continue;
        }
        if (escaped_) {
            b = static_cast<uint8_t>(b ^ 0x20);
            escaped_ = false;
        }
        // A frame that never ends is dropped whole rather than held without limit.
        if (current_.size() >= kFrameLimit + 2) {
            overlong_ = true;
            current_.clear();
            continue;
        }
        current_.push_back(b);
    }
}

std::unique_ptr<NetProvider> MakeSerialProvider() {
    return std::make_unique<SerialProvider>(-1);
}

std::unique_ptr<NetProvider> MakeSerialProviderOnDescriptor(int fd) {
    return std::make_unique<SerialProvider>(fd);
}

} // namespace kestrin
