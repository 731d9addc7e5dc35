#!/bin/sh
# The dialogs in the game window on a virtual X display, answered by synthesized key presses
# (Enter, Escape, a button's shortcut, typed text); the answers given in the window are
# recorded and a headless replay takes them again. Skipped (77) where no virtual display
# server is installed.
# Usage: dialogs_window.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
command -v xvfb-run >/dev/null 2>&1 || { echo "xvfb-run not installed: skipped"; exit 77; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$kestrin" build "$src/tests/projects/dialogs" -o "$work/game" || fail "build"
export XDG_CONFIG_HOME="$work/config"
# One group of presses per dialog, in the order the game opens them.
keys="Return;Escape;text:12,Return;text:Bo,Return;Escape;Return;L;text:Cy,Return;text:Di,Return"
# The display server's and GPU driver's own allocations are not ours to check for leaks.
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" timeout 120 xvfb-run -a -s "-screen 0 800x600x24" \
    env -u WAYLAND_DISPLAY KESTRIN_TEST_DIALOG_KEYS="$keys" KESTRIN_FRAMES=30 KESTRIN_FAST=1 \
    KESTRIN_RECORD="$work/rec" "$work/game" >"$work/out" 2>"$work/err"
status=$?
[ "$status" = 0 ] || { cat "$work/err"; fail "exit status $status"; }
cat >"$work/expected" <<'OUT'
q 0 n 12 s Bo m -1 c 255 e 2
top Cy 50 | Di | Zed | <nobody>
OUT
cmp -s "$work/out" "$work/expected" || { diff "$work/expected" "$work/out"; cat "$work/err"; fail "answers in the window"; }

"$kestrin" run --headless --fast --input "$work/rec" "$work/game" >"$work/out" 2>"$work/err" ||
    { cat "$work/err"; fail "replay"; }
cmp -s "$work/out" "$work/expected" || { diff "$work/expected" "$work/out"; cat "$work/err"; fail "replayed answers"; }

# Closing the window cancels the open dialog and every later one, and the game still ends.
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" timeout 120 xvfb-run -a -s "-screen 0 800x600x24" \
    env -u WAYLAND_DISPLAY KESTRIN_TEST_DIALOG_KEYS="quit" KESTRIN_FRAMES=30 KESTRIN_FAST=1 \
    "$work/game" >"$work/out" 2>"$work/err"
status=$?
[ "$status" = 0 ] || { cat "$work/err"; fail "exit status $status after closing"; }
cat >"$work/expected" <<'OUT'
q 0 n 3 s Ann m -1 c -1 e 0
top player 50 |  | Zed | <nobody>
OUT
cmp -s "$work/out" "$work/expected" || { diff "$work/expected" "$work/out"; cat "$work/err"; fail "closed window"; }
echo ok
