#!/bin/sh
# Plays a project whose instance goes back and forth along a path from the game data: the
# end-of-path event comes when each end is reached, with the instance there.
# Usage: path_follow.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$kestrin" build "$src/tests/projects/path_follow" -o "$work/game" --data-only || fail "build"
cat >"$work/expected" <<'OUT'
end of path at 25, x 116, speed -4
end of path at 50, x 16, speed 4
OUT
"$kestrin" run --headless --fast --frames 100 "$work/game" >"$work/out" 2>"$work/err" || { cat "$work/out" "$work/err"; fail "run"; }
cmp -s "$work/out" "$work/expected" || { diff "$work/expected" "$work/out"; fail "output"; }
