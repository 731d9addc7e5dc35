#!/bin/sh
# Plays a project that saves in its first room, changes a global, moves to a second room and
# loads there: the game goes on in the first room as saved, global included, every time.
# Usage: saved_game.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$kestrin" build "$src/tests/projects/saved_game" -o "$work/game" --data-only || fail "build"
cat >"$work/expected" <<'OUT'
saved at n 5, x 105
room 0: n 6, x 106, changed
entered room b
room 0: n 6, x 106, first
entered room b
room 0: n 6, x 106, first
entered room b
OUT
(cd "$work" && "$kestrin" run --headless --fast --frames 14 game) >"$work/out" 2>"$work/err" || { cat "$work/out" "$work/err"; fail "run"; }
cmp -s "$work/out" "$work/expected" || { diff "$work/expected" "$work/out"; fail "output"; }
# Only the saved game itself was written beside the game.
[ "$(ls -A "$work" | sort | tr '\n' ' ')" = "err expected game out slot.sav " ] || fail "stray files: $(ls -A "$work")"
