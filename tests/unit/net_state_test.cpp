// The multiplayer state against a transport without sockets: connections and sessions, the
// message queue's rules, shared values, and how player arguments resolve.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <string>

#include "net/net_state.h"
#include "script/registry.h"
#include "tests/unit/net_fake.h"

namespace kestrin {
namespace {

RValue Call(std::string_view name, std::initializer_list<RValue> args = {}) {
    const int32_t index = FindFunction(name);
    EXPECT_GE(index, 0) << name;
    if (index < 0) return RValue();
    std::array<RValue, kMaxArguments> slots;
    int32_t n = 0;
    for (const RValue& a : args) slots[size_t(n++)] = a;
    EXPECT_EQ(FunctionArgCount(index), n) << name;
    RValue result;
    FunctionRoutine(index)(nullptr, nullptr, n, slots.data(), result);
    return result;
}

TMess Message(uint32_t from, int32_t id) {
    TMess m;
    m.player = from;
    m.ismessage = true;
    m.messid = id;
    m.val.SetReal(id);
    return m;
}

// ---- The queue on its own ----

TEST(NetQueue, TakesInOrderByPlayerAndMovesTheReadPositionPastTakenOnes) {
    NetMessageQueue q;
    for (int32_t i = 0; i < 6; ++i) ASSERT_TRUE(q.Append(Message(i % 2 ? 7 : 8, i)));
    TMess m;
    ASSERT_TRUE(q.Take(7, m)); // the first from 7 lies behind one from 8
    EXPECT_EQ(m.messid, 1);
    EXPECT_EQ(q.ReadPosition(), 0u);
    ASSERT_TRUE(q.Take(0, m));
    EXPECT_EQ(m.messid, 0);
    EXPECT_EQ(q.ReadPosition(), 2u);
    EXPECT_EQ(q.Count(0), 4u);
    EXPECT_EQ(q.Count(8), 2u);
    EXPECT_EQ(q.Count(9), 0u);
    EXPECT_EQ(q.Count(-1), 0u);
    EXPECT_FALSE(q.Take(-8, m)); // a negative player matches nothing
    q.Clear(8);
    EXPECT_EQ(q.SlotsInUse(), 2u);
    EXPECT_EQ(q.ReadPosition(), 0u);
    ASSERT_TRUE(q.Take(0, m));
    EXPECT_EQ(m.messid, 3);
    ASSERT_TRUE(q.Take(0, m));
    EXPECT_EQ(m.messid, 5);
    EXPECT_FALSE(q.Take(0, m));
}

TEST(NetQueue, AFullQueueCompactsAndThenDrops) {
    NetMessageQueue q;
    for (size_t i = 0; i < kNetQueueSlots; ++i) ASSERT_TRUE(q.Append(Message(5, int32_t(i))));
    EXPECT_FALSE(q.Append(Message(5, -1)));
    TMess m;
    ASSERT_TRUE(q.Take(5, m));
    ASSERT_TRUE(q.Take(5, m));
    EXPECT_EQ(q.SlotsInUse(), kNetQueueSlots); // consumed slots stay until room is needed
    EXPECT_TRUE(q.Append(Message(5, 9000)));
    EXPECT_EQ(q.SlotsInUse(), kNetQueueSlots - 1);
    EXPECT_EQ(q.ReadPosition(), 0u);
    ASSERT_TRUE(q.Take(5, m));
    EXPECT_EQ(m.messid, 2); // order kept through the compaction
    EXPECT_EQ(q.Count(5), kNetQueueSlots - 2);
}

// ---- Connections and sessions ----

TEST_F(NetFixture, ConnectionLifecycle) {
    EXPECT_EQ(Call("mplay_init_ipx").val(), 0);
    EXPECT_EQ(Call("mplay_init_modem", {RValue(""), RValue("123")}).val(), 0);
    EXPECT_EQ(Call("mplay_session_create", {RValue("s"), RValue(0.0), RValue("me")}).val(), 0);
    EXPECT_EQ(Call("mplay_init_tcpip", {RValue("127.0.0.1:7000")}).val(), 1);
    EXPECT_EQ(world.address.host, "127.0.0.1");
    EXPECT_EQ(world.address.port, 7000);
    EXPECT_EQ(Call("mplay_connect_status").val(), 2);
    EXPECT_EQ(Call("mplay_init_tcpip", {RValue("")}).val(), 0); // a second connection is refused
    EXPECT_EQ(
        Call("mplay_init_serial", {RValue(1.0), RValue(9600.0), RValue(0.0), RValue(0.0), RValue(0.0)}).val(),
        0);
    EXPECT_EQ(Call("mplay_session_create", {RValue("s"), RValue(4.0), RValue("me")}).val(), 1);
    EXPECT_EQ(Call("mplay_session_status").val(), 1);
    EXPECT_EQ(Call("mplay_session_create", {RValue("s"), RValue(4.0), RValue("me")}).val(), 0);
    EXPECT_EQ(Call("mplay_session_join", {RValue(0.0), RValue("me")}).val(), 0);
    Call("mplay_end");
    EXPECT_EQ(Call("mplay_connect_status").val(), 0);
    EXPECT_EQ(Call("mplay_session_status").val(), 0);
    EXPECT_EQ(world.sessions_closed, 1);
    EXPECT_EQ(
        Call("mplay_init_serial", {RValue(1.0), RValue(9600.0), RValue(0.0), RValue(0.0), RValue(0.0)}).val(),
        1);
    EXPECT_EQ(Call("mplay_connect_status").val(), 4);
    EXPECT_EQ(world.address.serial.baud, 9600);
}

TEST_F(NetFixture, MalformedAddressesAreRefused) {
    struct Case {
        const char* text;
        bool ok;
        const char* host;
        int32_t port;
    };
    const Case cases[] = {
        {"", true, "", -1},
        {"localhost", true, "localhost", -1},
        {"127.0.0.1:1", true, "127.0.0.1", 1},
        {"h:65535", true, "h", 65535},
        {"h:70000", false, "", 0},
        {"h:65536", false, "", 0},
        {"h:abc", false, "", 0},
        {"h:12x", false, "", 0},
        {"h:-5", false, "", 0},
        {"h:", false, "", 0},
        {"h:0", false, "", 0},
        {"h:99999999999999999999", false, "", 0},
    };
    for (const Case& c : cases) {
        NetAddress address;
        ASSERT_EQ(ParseNetAddress(c.text, address), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(address.host, c.host) << c.text;
            EXPECT_EQ(address.port, c.port) << c.text;
        }
        EXPECT_EQ(Call("mplay_init_tcpip", {RValue(c.text)}).val(), c.ok ? 1 : 0) << c.text;
        Call("mplay_end");
    }
}

TEST_F(NetFixture, AFailedPlayerCreationClosesTheHalfOpenSession) {
    ASSERT_TRUE(Net().InitTcpIp(""));
    world.player_ok = false;
    EXPECT_FALSE(Net().SessionCreate("game", 0, "me"));
    EXPECT_EQ(world.sessions_closed, 1);
    EXPECT_EQ(Net().SessionStatus(), 0);
    world.sessions = {{{}, "other"}};
    ASSERT_EQ(Net().SessionFind(), 1);
    EXPECT_FALSE(Net().SessionJoin(0, "me"));
    EXPECT_EQ(world.sessions_closed, 2);
    world.player_ok = true;
    EXPECT_TRUE(Net().SessionJoin(0, "me"));
    EXPECT_EQ(Net().SessionStatus(), 2);
}

TEST_F(NetFixture, FoundSessionsAndPlayersByIndex) {
    ASSERT_TRUE(Net().InitTcpIp(""));
    world.sessions = {{{}, "first"}, {{}, "second"}};
    EXPECT_EQ(Call("mplay_session_find").val(), 2);
    EXPECT_EQ(Call("mplay_session_name", {RValue(1.0)}).str(), "second");
    EXPECT_EQ(Call("mplay_session_name", {RValue(2.0)}).str(), "");
    EXPECT_EQ(Call("mplay_session_name", {RValue(-1.0)}).str(), "");
    EXPECT_EQ(Call("mplay_session_name", {RValue(std::nan(""))}).str(), "");
    EXPECT_EQ(Call("mplay_session_join", {RValue(5.0), RValue("me")}).val(), 0);
    EXPECT_EQ(Call("mplay_player_find").val(), 0); // not in a session yet
    ASSERT_EQ(Call("mplay_session_join", {RValue(1.0), RValue("me")}).val(), 1);
    world.players = {{7, "ann"}, {8, "bob"}};
    EXPECT_EQ(Call("mplay_player_find").val(), 3);
    EXPECT_EQ(Call("mplay_player_name", {RValue(0.0)}).str(), "me");
    EXPECT_EQ(Call("mplay_player_id", {RValue(0.0)}).val(), 100);
    EXPECT_EQ(Call("mplay_player_name", {RValue(2.0)}).str(), "bob");
    EXPECT_EQ(Call("mplay_player_id", {RValue(2.0)}).val(), 8);
    EXPECT_EQ(Call("mplay_player_id", {RValue(3.0)}).val(), 0);
    EXPECT_EQ(Call("mplay_player_id", {RValue(1e300)}).val(), 0);
    EXPECT_EQ(Call("mplay_player_name", {RValue(-1e300)}).str(), "");
}

TEST_F(NetFixture, TheHostLeavingEndsTheSession) {
    ASSERT_TRUE(Net().InitTcpIp(""));
    world.sessions = {{{}, "s"}};
    ASSERT_EQ(Net().SessionFind(), 1);
    ASSERT_TRUE(Net().SessionJoin(0, "me"));
    world.active = false;
    Net_Service();
    EXPECT_EQ(Call("mplay_session_status").val(), 0);
    EXPECT_EQ(Call("mplay_connect_status").val(), 2);
    EXPECT_EQ(Call("mplay_message_send", {RValue(0.0), RValue(1.0), RValue(1.0)}).val(), 0);
}

// ---- Traffic ----

TEST_F(NetFixture, ReceivedMessagesQueueInOrderAndSystemOrMalformedOnesAreDropped) {
    Host();
    world.players = {{7, "ann"}, {8, "bob"}};
    world.Arrive(7, true, 1, RValue("a1"));
    world.Arrive(0, true, 99, RValue(0.0)); // the transport's own message
    world.inbox.push_back({8, {1, 2, 3}});  // malformed
    world.Arrive(8, true, 2, RValue(2.5));
    world.Arrive(7, true, 3, RValue("a3"));
    EXPECT_EQ(Call("mplay_message_count", {RValue(0.0)}).val(), 3);
    EXPECT_EQ(Call("mplay_message_count", {RValue("ann")}).val(), 2);
    EXPECT_EQ(Call("mplay_message_count", {RValue("nobody")}).val(), 0);
    EXPECT_EQ(Call("mplay_message_count", {RValue(-7.0)}).val(), 0);
    ASSERT_EQ(Call("mplay_message_receive", {RValue("bob")}).val(), 1);
    EXPECT_EQ(Call("mplay_message_id").val(), 2);
    EXPECT_EQ(Call("mplay_message_value").val(), 2.5);
    EXPECT_EQ(Call("mplay_message_player").val(), 8);
    EXPECT_EQ(Call("mplay_message_name").str(), "bob");
    EXPECT_EQ(Call("mplay_message_receive", {RValue("bob")}).val(), 0);
    EXPECT_EQ(Call("mplay_message_receive", {RValue("nobody")}).val(), 0);
    ASSERT_EQ(Call("mplay_message_receive", {RValue(7.4)}).val(), 1); // a real rounds to the id
    EXPECT_EQ(Call("mplay_message_value").str(), "a1");
    Call("mplay_message_clear", {RValue(7.0)});
    EXPECT_EQ(Call("mplay_message_count", {RValue(0.0)}).val(), 0);
    world.players = {}; // ann left: her id has no name any more
    EXPECT_EQ(Call("mplay_message_name").str(), "(unknown)");
}

TEST_F(NetFixture, TheCurrentMessageStartsEmptyAndTheLastNameWithItsIdIsShown) {
    EXPECT_EQ(Call("mplay_message_id").val(), 0);
    EXPECT_TRUE(Call("mplay_message_value").IsReal());
    EXPECT_EQ(Call("mplay_message_player").val(), 0);
    EXPECT_EQ(Call("mplay_message_name").str(), "(unknown)");
    Host();
    world.players = {{7, "first"}, {7, "second"}};
    world.Arrive(7, true, 1, RValue(1.0));
    ASSERT_TRUE(Net().MessageReceive(RValue(0.0)));
    EXPECT_EQ(Net().MessageName(), "second");
}

TEST_F(NetFixture, SendingResolvesThePlayerAndChecksItsRange) {
    Host();
    world.players = {{7, "ann"}};
    EXPECT_EQ(Call("mplay_message_send", {RValue("ann"), RValue(4.0), RValue("hi")}).val(), 1);
    EXPECT_EQ(Call("mplay_message_send_guaranteed", {RValue(0.0), RValue(5.0), RValue(1.0)}).val(), 1);
    ASSERT_EQ(world.sent.size(), 2u);
    EXPECT_EQ(world.sent[0].to, 7u);
    EXPECT_EQ(world.sent[0].from, 100u);
    EXPECT_FALSE(world.sent[0].guaranteed);
    EXPECT_TRUE(world.sent[1].guaranteed);
    auto m = DecodeNetPayload(world.sent[0].bytes);
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->ismessage);
    EXPECT_EQ(m->messid, 4);
    EXPECT_EQ(m->val.str(), "hi");
    const double refused[] = {-1.0,   4294967296.0, 1e300,
                              -1e300, std::nan(""), std::numeric_limits<double>::infinity()};
    for (double to : refused)
        EXPECT_EQ(Call("mplay_message_send", {RValue(to), RValue(1.0), RValue(1.0)}).val(), 0) << to;
    EXPECT_EQ(Call("mplay_message_send", {RValue("nobody"), RValue(1.0), RValue(1.0)}).val(), 0);
    EXPECT_EQ(Call("mplay_message_send", {RValue(4294967295.0), RValue(1.0), RValue(1.0)}).val(), 1);
    EXPECT_EQ(world.sent.back().to, 4294967295u);
    world.send_ok = false;
    EXPECT_EQ(Call("mplay_message_send", {RValue(7.0), RValue(1.0), RValue(1.0)}).val(), 0);
}

TEST_F(NetFixture, SharedValues) {
    EXPECT_EQ(Call("mplay_data_write", {RValue(0.0), RValue(1.0)}).val(), 0); // no session
    Host();
    EXPECT_EQ(Call("mplay_data_write", {RValue(3.0), RValue("three")}).val(), 1);
    ASSERT_EQ(world.sent.size(), 1u);
    EXPECT_EQ(world.sent[0].to, 0u);
    EXPECT_TRUE(world.sent[0].guaranteed);
    EXPECT_EQ(Net().SharedValues().size(), 4u);
    EXPECT_EQ(Call("mplay_data_read", {RValue(3.0)}).str(), "three");
    EXPECT_TRUE(Call("mplay_data_read", {RValue(2.0)}).IsReal());
    Call("mplay_data_mode", {RValue(0.2)}); // rounds to 0: off
    EXPECT_EQ(Call("mplay_data_write", {RValue(1.0), RValue(5.0)}).val(), 1);
    EXPECT_FALSE(world.sent.back().guaranteed);
    for (double index : {-1.0, 1000001.0, 1e300, std::nan("")}) {
        EXPECT_EQ(Call("mplay_data_write", {RValue(index), RValue(1.0)}).val(), 0) << index;
        EXPECT_EQ(Call("mplay_data_read", {RValue(index)}).val(), 0) << index;
    }
    // A refused send leaves the value as it was.
    world.send_ok = false;
    EXPECT_EQ(Call("mplay_data_write", {RValue(3.0), RValue(9.0)}).val(), 0);
    EXPECT_EQ(Call("mplay_data_read", {RValue(3.0)}).str(), "three");
    // Values from others land at their index; indices beyond the range are dropped.
    world.Arrive(7, false, 10, RValue(42.0));
    world.Arrive(7, false, 1000001, RValue(1.0));
    world.Arrive(7, false, -1, RValue(1.0));
    EXPECT_EQ(Call("mplay_data_read", {RValue(10.0)}).val(), 42);
    EXPECT_EQ(Net().SharedValues().size(), 11u);
    EXPECT_EQ(Call("mplay_message_count", {RValue(0.0)}).val(), 0);
}

TEST_F(NetFixture, ArrivalsBeyondTheFullQueueAreLost) {
    Host();
    for (size_t i = 0; i < kNetQueueSlots + 5; ++i) world.Arrive(7, true, int32_t(i), RValue(1.0));
    EXPECT_EQ(Net().MessageCount(RValue(0.0)), int32_t(kNetQueueSlots));
    ASSERT_TRUE(Net().MessageReceive(RValue(0.0)));
    EXPECT_EQ(Net().CurrentMessage().messid, 0);
    world.Arrive(7, true, 77777, RValue(1.0));
    Net().MessageClear(RValue(7.0));
    EXPECT_EQ(Net().MessageCount(RValue(0.0)), 0);
    EXPECT_EQ(Net().Queue().SlotsInUse(), 0u);
}

TEST_F(NetFixture, ProcessWideValuesOutliveTheSession) {
    Host();
    world.Arrive(7, true, 1, RValue(1.0));
    world.Arrive(7, false, 2, RValue(5.0));
    EXPECT_EQ(Net().MessageCount(RValue(0.0)), 1);
    Call("mplay_session_end");
    EXPECT_EQ(Call("mplay_session_status").val(), 0);
    Call("mplay_end");
    EXPECT_EQ(Net().Queue().SlotsInUse(), 1u);
    ASSERT_EQ(Net().SharedValues().size(), 3u);
    EXPECT_EQ(Net().SharedValues()[2].val(), 5);
}

} // namespace
} // namespace kestrin
