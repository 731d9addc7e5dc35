#!/bin/sh
# Plays a project whose two instances run one time line from the game data, one forwards and
# one backwards, both looping: each moment fires in its step, in each direction.
# Usage: timeline.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$kestrin" build "$src/tests/projects/timeline" -o "$work/game" --data-only || fail "build"
cat >"$work/expected" <<'OUT'
100001 right at 16
100002 lap 1 at 200, position 18
100002 left at 200
100001 left at 36
100001 lap 1 at 18, position 0
100002 right at 220
100001 right at 16
100002 lap 2 at 218, position 18
100002 left at 200
100001 left at 36
100001 lap 2 at 18, position 0
OUT
"$kestrin" run --headless --fast --frames 100 "$work/game" >"$work/out" 2>"$work/err" || { cat "$work/out" "$work/err"; fail "run"; }
cmp -s "$work/out" "$work/expected" || { diff "$work/expected" "$work/out"; fail "output"; }
