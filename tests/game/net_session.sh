#!/bin/sh
# Two copies of a game on 127.0.0.1: the host creates a session, the guest finds it by a
# broadcast to 127.255.255.255 and joins; both see both players; twenty guaranteed messages
# arrive in order, shared values reach the other side, and the session ends for the guest
# when the host leaves. A copy of another game (another guid) finds nothing meanwhile.
# Usage: net_session.sh KESTRIN SOURCE_DIR
. "$(dirname "$0")/net_copies.inc"

mkdir "$work/other_project"
cp -r "$src/tests/projects/net_play/." "$work/other_project/"
sed -i 's/"game_guid": "[0-9a-f]*"/"game_guid": "4b52756e0000000000000000000000ff"/' "$work/other_project/game.json"
"$kestrin" build "$work/other_project" -o "$work/other_game" --data-only || fail "build the other game"

export KESTRIN_NET_PORT="$(free_port)"
cat >"$work/host.expected" <<'OUT'
alice init 1 kind 2
alice second init 0
alice create 1 status 1
alice sees 2 players, first alice
alice got 20, in order 1, from bob
alice reads shared 5: shared
alice got 100 ack
alice ended, connection 0
OUT
cat >"$work/other.expected" <<'OUT'
olga init 1 kind 2
olga second init 0
olga found 0
OUT
cat >"$work/guest.expected" <<'OUT'
bob init 1 kind 2
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

start_copy host "$work/game" NET_ROLE=host NET_NAME=alice NET_GUESTS=1
wait_for_file "$work/host/host_ready" 60 || fail "the host did not start its session"
start_copy other "$work/other_game" NET_ROLE=other NET_NAME=olga
wait "$copy_pid"
check_copy other
start_copy guest "$work/game" NET_ROLE=guest NET_NAME=bob
wait
check_copy guest
check_copy host
