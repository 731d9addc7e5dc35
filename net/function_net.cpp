#include "net/function_net.h"

#include <cmath>
#include <string>

#include "base/numeric.h"
#include "net/net_state.h"
#include "script/builtin_args.h"
#include "script/value.h"

namespace kestrin {

namespace {

using namespace builtin_args;

// An index or count argument, checked before the conversion: NaN and reals beyond the
// 64-bit range give -1, which every caller treats as out of range.
int64_t Index(Args a, int i) {
    const double v = a[i].val();
    if (!(std::fabs(v) < 9007199254740992.0)) return -1;
    return RoundToInt64(v);
}
int32_t I32(Args a, int i) {
    return RoundToInt32Saturated(a[i].val());
}
bool Flag(Args a, int i) {
    // A flag is on when its value rounded to the nearest integer is not 0.
    const double v = a[i].val();
    return std::isnan(v) || RoundToInt64Saturated(v, 1) != 0;
}
std::string Text(Args a, int i) {
    return std::string(a[i].str());
}
void Result(RValue& r, bool b) {
    r.SetReal(b ? 1 : 0);
}

ROUTINE(mplay_init_ipx) {
    Result(r, Net().InitIpx());
}
ROUTINE(mplay_init_tcpip) {
    Result(r, Net().InitTcpIp(Text(a, 0)));
}
ROUTINE(mplay_init_modem) {
    Result(r, Net().InitModem(Text(a, 0), Text(a, 1)));
}
ROUTINE(mplay_init_serial) {
    NetSerialSettings settings{I32(a, 0), I32(a, 1), I32(a, 2), I32(a, 3), I32(a, 4)};
    Result(r, Net().InitSerial(settings));
}
ROUTINE(mplay_connect_status) {
    r.SetReal(Net().ConnectStatus());
}
ROUTINE(mplay_end) {
    Net().End();
}
ROUTINE(mplay_session_mode) {
    Net().SetSessionMode(Flag(a, 0));
}
ROUTINE(mplay_session_create) {
    Result(r, Net().SessionCreate(Text(a, 0), I32(a, 1), Text(a, 2)));
}
ROUTINE(mplay_session_find) {
    r.SetReal(Net().SessionFind());
}
ROUTINE(mplay_session_name) {
    r.SetString(Net().SessionName(Index(a, 0)));
}
ROUTINE(mplay_session_join) {
    Result(r, Net().SessionJoin(Index(a, 0), Text(a, 1)));
}
ROUTINE(mplay_session_status) {
    r.SetReal(Net().SessionStatus());
}
ROUTINE(mplay_session_end) {
    Net().SessionEnd();
}
ROUTINE(mplay_player_find) {
    r.SetReal(Net().PlayerFind());
}
ROUTINE(mplay_player_name) {
    r.SetString(Net().PlayerName(Index(a, 0)));
}
ROUTINE(mplay_player_id) {
    r.SetReal(Net().PlayerId(Index(a, 0)));
}
ROUTINE(mplay_data_write) {
    Result(r, Net().DataWrite(Index(a, 0), a[1]));
}
ROUTINE(mplay_data_read) {
    r = Net().DataRead(Index(a, 0));
}
ROUTINE(mplay_data_mode) {
    Net().SetDataMode(Flag(a, 0));
}
ROUTINE(mplay_message_send) {
    Result(r, Net().MessageSend(a[0], I32(a, 1), a[2], false));
}
ROUTINE(mplay_message_send_guaranteed) {
    Result(r, Net().MessageSend(a[0], I32(a, 1), a[2], true));
}
ROUTINE(mplay_message_receive) {
    Result(r, Net().MessageReceive(a[0]));
}
ROUTINE(mplay_message_id) {
    r.SetReal(Net().CurrentMessage().messid);
}
ROUTINE(mplay_message_value) {
    r = Net().CurrentMessage().val;
}
ROUTINE(mplay_message_player) {
    r.SetReal(Net().CurrentMessage().player);
}
ROUTINE(mplay_message_name) {
    r.SetString(Net().MessageName());
}
ROUTINE(mplay_message_count) {
    r.SetReal(Net().MessageCount(a[0]));
}
ROUTINE(mplay_message_clear) {
    Net().MessageClear(a[0]);
}
ROUTINE(mplay_ipaddress) {
    r.SetString(NetHostAddress());
}

const RFunctionSpec kFunctions[] = {
    {"mplay_init_ipx", mplay_init_ipx, 0},
    {"mplay_init_tcpip", mplay_init_tcpip, 1},
    {"mplay_init_modem", mplay_init_modem, 2},
    {"mplay_init_serial", mplay_init_serial, 5},
    {"mplay_connect_status", mplay_connect_status, 0},
    {"mplay_end", mplay_end, 0},
    {"mplay_session_mode", mplay_session_mode, 1},
    {"mplay_session_create", mplay_session_create, 3},
    {"mplay_session_find", mplay_session_find, 0},
    {"mplay_session_name", mplay_session_name, 1},
    {"mplay_session_join", mplay_session_join, 2},
    {"mplay_session_status", mplay_session_status, 0},
    {"mplay_session_end", mplay_session_end, 0},
    {"mplay_player_find", mplay_player_find, 0},
    {"mplay_player_name", mplay_player_name, 1},
    {"mplay_player_id", mplay_player_id, 1},
    {"mplay_data_write", mplay_data_write, 2},
    {"mplay_data_read", mplay_data_read, 1},
    {"mplay_data_mode", mplay_data_mode, 1},
    {"mplay_message_send", mplay_message_send, 3},
    {"mplay_message_send_guaranteed", mplay_message_send_guaranteed, 3},
    {"mplay_message_receive", mplay_message_receive, 1},
    {"mplay_message_id", mplay_message_id, 0},
    {"mplay_message_value", mplay_message_value, 0},
    {"mplay_message_player", mplay_message_player, 0},
    {"mplay_message_name", mplay_message_name, 0},
    {"mplay_message_count", mplay_message_count, 1},
    {"mplay_message_clear", mplay_message_clear, 1},
    {"mplay_ipaddress", mplay_ipaddress, 0},
};

} // namespace

std::span<const RFunctionSpec> NetFunctions() {
    return kFunctions;
}

} // namespace kestrin
