#!/bin/sh
# Plays the example made only of library actions: drops fall, the paddle chases the first of
# them, a catch adds to the score, a miss takes a life, and the last life ends the game. The
# game also goes through unpack and build again to the same bytes.
# Usage: catch_actions.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$kestrin" build "$src/examples/catch" -o "$work/game" --data-only || fail "build"
cat >"$work/expected" <<'OUT'
caught at 77, score 10
caught at 130, score 20
caught at 183, score 30
missed at 236, lives 2
missed at 289, lives 1
game over after 10 drops, score 30
OUT
"$kestrin" run --headless --fast --frames 3000 "$work/game" >"$work/out" 2>"$work/err" || { cat "$work/out" "$work/err"; fail "run"; }
cmp -s "$work/out" "$work/expected" || { diff "$work/expected" "$work/out"; fail "output"; }
[ -s "$work/err" ] && { cat "$work/err"; fail "errors reported"; }

"$kestrin" unpack "$work/game" -o "$work/unpacked" >/dev/null || fail "unpack"
"$kestrin" build "$work/unpacked" -o "$work/again" --data-only || fail "build again"
cmp -s "$work/game" "$work/again" || fail "unpacked actions do not build to the same game"
exit 0
