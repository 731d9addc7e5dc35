#!/bin/sh
# Plays a project whose instance plans around a wall of solid instances: a grid route under
# the wall, a linear route that stops in front of it, and potential steps that turn away from
# it and on to the goal, printed every eight steps.
# Usage: mp_steps.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$kestrin" build "$src/tests/projects/mp_steps" -o "$work/game" --data-only || fail "build"
cat >"$work/expected" <<'OUT'
grid path 1: 20,56 40,72 56,88 72,104 88,104 104,104 120,104 136,88 152,72 168,56 184,56 200,56
linear path 0: 19 points, last at 88, walker at 16,52
8: 32,52 facing 0
16: 48,52 facing 0
24: 64,52 facing 0
32: 80,52 facing 0
40: 87,43 facing 86
48: 88,27 facing 88
56: 88,11 facing 71
64: 100,7 facing 336
72: 115,11 facing 334
80: 130,18 facing 334
88: 144,25 facing 334
96: 158,32 facing 334
104: 173,39 facing 334
112: 187,46 facing 334
120: 200,52 facing 334
arrived after 120 steps
OUT
"$kestrin" run --headless --fast --frames 500 "$work/game" >"$work/out" 2>"$work/err" || { cat "$work/out" "$work/err"; fail "run"; }
cmp -s "$work/out" "$work/expected" || { diff "$work/expected" "$work/out"; fail "output"; }
