#!/bin/sh
# A headless run that asks for screenshots draws on the offscreen GPU context and writes
# PNG files; machines without one say so and carry on.
# Usage: screenshot.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$kestrin" build "$src/tests/projects/minimal" -o "$work/game" --data-only || fail "build"
# The GPU driver's own allocations are not ours to check for leaks.
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" "$kestrin" run --headless --fast --frames 3 \
    --screenshot 1:"$work/one.png" --screenshot 3:"$work/three.png" "$work/game" >"$work/out" 2>"$work/err"
status=$?
[ "$status" = 0 ] || { cat "$work/err"; fail "exit status $status"; }
if grep -q "No offscreen drawing device" "$work/err"; then
    echo "no offscreen GPU context here: screenshots skipped"
    exit 0
fi
for shot in one three; do
    [ -f "$work/$shot.png" ] || { cat "$work/err"; fail "$shot.png not written"; }
    [ "$(head -c 4 "$work/$shot.png" | od -An -c | tr -d ' ')" = "211PNG" ] || fail "$shot.png is not a PNG file"
done
"$kestrin" run --headless --fast --frames 2 --screenshot 1:"$work/no/such/folder/x.png" "$work/game" \
    >/dev/null 2>"$work/err2"
grep -q "Cannot write the screenshot: " "$work/err2" || grep -q "No offscreen drawing device" "$work/err2" ||
    fail "no message for an unwritable screenshot"
echo ok
