#!/bin/sh
# Three copies of a game on 127.0.0.1: two guests find the host by asking 127.0.0.1 itself;
# each sees three players, reads the host's shared value, sends a guaranteed message to the
# other guest by name (relayed by the host) and one to all players; the session ends for both
# when the host leaves.
# Usage: net_three.sh KESTRIN SOURCE_DIR
. "$(dirname "$0")/net_copies.inc"

port="$(free_port)"
export KESTRIN_NET_PORT="$port"
cat >"$work/host.expected" <<'OUT'
alice init 1 kind 2
alice second init 0
alice create 1 status 1
alice sees 3 players, first alice
alice got both guests' messages to all and their acknowledgements
OUT
for pair in bob:carol carol:bob; do
    me="${pair%%:*}"
    other="${pair##*:}"
    cat >"$work/$me.expected" <<OUT
$me init 1 kind 2
$me second init 0
$me found room one, second name ''
$me join 1 status 2
$me got go from alice, shared 0: 42, players 3
$me to $other: 1
$me got 'hi $me' from $other
$me got the message to all from $other
$me session ended by the host
$me connection 0
OUT
done

start_copy host "$work/game" NET_ROLE=host NET_NAME=alice NET_GUESTS=2
wait_for_file "$work/host/host_ready" 60 || fail "the host did not start its session"
start_copy bob "$work/game" NET_ROLE=guest NET_NAME=bob NET_GUESTS=2 NET_ADDRESS="127.0.0.1:$port"
start_copy carol "$work/game" NET_ROLE=guest NET_NAME=carol NET_GUESTS=2 NET_ADDRESS="127.0.0.1:$port"
wait
check_copy host
check_copy bob
check_copy carol
