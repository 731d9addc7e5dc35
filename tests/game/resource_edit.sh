#!/bin/sh
# Plays a project that makes a background and an object at run time, gives the object an
# event and a parent, and places an instance and a tile in the stored second room: all of it
# is there when that room is entered.
# Usage: resource_edit.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$kestrin" build "$src/tests/projects/resource_edit" -o "$work/game" --data-only || fail "build"
cat >"$work/expected" <<'OUT'
background 4 __newbackground0
ancestor 1 0
made at 24
base step in room_two, x 24, tiles 1
OUT
"$kestrin" run --headless --fast --frames 20 "$work/game" >"$work/out" 2>"$work/err" || { cat "$work/out" "$work/err"; fail "run"; }
cmp -s "$work/out" "$work/expected" || { diff "$work/expected" "$work/out"; cat "$work/err"; fail "output"; }
