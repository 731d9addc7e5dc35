#!/bin/sh
# The two-copy session of net_session.sh over the serial cable: two pseudo-terminals joined
# by a relay stand for the cable between the copies.
# Usage: net_serial.sh KESTRIN SOURCE_DIR
. "$(dirname "$0")/net_copies.inc"

python3 "$src/tests/game/pty_relay.py" "$work/ttys" 150 &
relay=$!
trap 'kill "$relay" 2>/dev/null; rm -rf "$work"' EXIT
wait_for_file "$work/ttys" 30 || fail "no pseudo-terminals"
host_tty="$(sed -n 1p "$work/ttys")"
guest_tty="$(sed -n 2p "$work/ttys")"

cat >"$work/host.expected" <<'OUT'
alice init 1 kind 4
alice second init 0
alice create 1 status 1
alice sees 2 players, first alice
alice got 20, in order 1, from bob
alice reads shared 5: shared
alice got 100 ack
alice ended, connection 0
OUT
cat >"$work/guest.expected" <<'OUT'
bob init 1 kind 4
bob second init 0
bob found room one, second name ''
bob join 1 status 2
bob sees 2: bob, alice
bob ids differ 1
bob send to nobody 0
bob got 99 bye from alice
bob reads shared 6: 66
bob loose send 1
bob session ended by the host
bob connection 0
OUT

start_copy host "$work/game" NET_KIND=serial NET_ROLE=host NET_NAME=alice NET_GUESTS=1 KESTRIN_NET_SERIAL_DEVICE="$host_tty"
host_pid=$copy_pid
wait_for_file "$work/host/host_ready" 60 || fail "the host did not start its session"
start_copy guest "$work/game" NET_KIND=serial NET_ROLE=guest NET_NAME=bob KESTRIN_NET_SERIAL_DEVICE="$guest_tty"
wait "$copy_pid"
wait "$host_pid"
check_copy guest
check_copy host
