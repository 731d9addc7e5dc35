#!/bin/sh
# A windowed run on a virtual X display: the loading window comes and goes, the game window
# draws and presents its frames, and the run ends by its frame limit. Skipped (77) where no
# virtual display server is installed.
# Usage: windowed_run.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
command -v xvfb-run >/dev/null 2>&1 || { echo "xvfb-run not installed: skipped"; exit 77; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$kestrin" build "$src/tests/projects/room_draw" -o "$work/game" || fail "build"
# The display server's and GPU driver's own allocations are not ours to check for leaks.
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" timeout 120 xvfb-run -a -s "-screen 0 800x600x24" \
    env -u WAYLAND_DISPLAY KESTRIN_FRAMES=30 KESTRIN_FAST=1 "$work/game" >"$work/out" 2>"$work/err"
status=$?
[ "$status" = 0 ] || { cat "$work/err"; fail "exit status $status"; }
echo ok
