#!/bin/sh
# Screenshots of the demo game's title room and of its play room halfway through the
# recorded session, drawn on the offscreen device (Mesa's software renderer), compared with
# the ones kept in demo_screens/ with a small tolerance. Skipped (77) where there is no
# offscreen drawing device. KESTRIN_UPDATE_GOLDENS=1 writes new ones after a deliberate
# change of the demo's look.
# Usage: demo_screens.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
goldens="$src/tests/game/demo_screens"

"$kestrin" build "$src/examples/demo" -o "$work/game" --data-only >"$work/build.out" 2>&1 ||
    { cat "$work/build.out"; fail "build"; }
# The GPU driver's own allocations are not ours to check for leaks.
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" "$kestrin" run --headless --fast --frames 1501 \
    --input "$src/examples/demo/session/session.txt" \
    --screenshot 20:"$work/title.png" --screenshot 1500:"$work/play.png" "$work/game" >"$work/out" 2>"$work/err"
status=$?
[ "$status" = 0 ] || { cat "$work/out" "$work/err"; fail "exit status $status"; }
if grep -q "No offscreen drawing device" "$work/err"; then
    echo "no offscreen drawing device here: screenshots not compared"
    exit 77
fi
for shot in title play; do
    [ -f "$work/$shot.png" ] || { cat "$work/err"; fail "$shot.png not written"; }
    if [ -n "${KESTRIN_UPDATE_GOLDENS:-}" ]; then
        cp "$work/$shot.png" "$goldens/$shot.png" || fail "cannot write $goldens/$shot.png"
        echo "wrote $goldens/$shot.png"
        continue
    fi
    command -v python3 >/dev/null || { echo "no python3 here: screenshots not compared"; exit 77; }
    # A channel may be off by 24; at most 0.2 % of the 640 × 480 pixels may be off by more.
    if ! python3 "$src/tests/game/compare_png.py" "$work/$shot.png" "$goldens/$shot.png" 24 614; then
        kept="${TMPDIR:-/tmp}/demo_screens_$shot.png"
        cp "$work/$shot.png" "$kept"
        fail "$shot.png differs from $goldens/$shot.png (this run's is kept as $kept)"
    fi
done
echo "ok"
