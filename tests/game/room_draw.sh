#!/bin/sh
# A room with a background layer, tiles (mirrored, scaled, outside the room, in front of and
# behind instances) and instances drawing themselves, built from its text project, run headless
# and captured after the first step; the capture must match the golden image within a small
# tolerance. Machines without an offscreen GPU context, or without python3 to compare, skip
# (exit status 77).
# KESTRIN_UPDATE_GOLDENS=1 writes the golden instead.
# Usage: room_draw.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
project="$src/tests/projects/room_draw"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$kestrin" build "$project" -o "$work/game" --data-only || fail "build"
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" "$kestrin" run --headless --fast --frames 1 \
    --screenshot 1:"$work/shot.png" "$work/game" >"$work/out" 2>"$work/err"
status=$?
[ "$status" = 0 ] || { cat "$work/err"; fail "exit status $status"; }
if grep -q "No offscreen drawing device" "$work/err"; then
    echo "no offscreen GPU context here: room drawing golden skipped"
    exit 77
fi
[ -f "$work/shot.png" ] || { cat "$work/err"; fail "no screenshot written"; }
if [ "${KESTRIN_UPDATE_GOLDENS:-}" = 1 ]; then
    cp "$work/shot.png" "$project/golden.png"
    echo "golden written"
    exit 0
fi
command -v python3 >/dev/null 2>&1 || { echo "no python3 to compare images: skipped"; exit 77; }
python3 "$src/tests/game/compare_png.py" "$work/shot.png" "$project/golden.png" 8 4 || fail "capture differs from the golden"
echo ok
