#!/bin/sh
# The debug window on a virtual X display: it opens beside the game window, both stay up
# while the game runs and while it is paused, and closing the debug window while paused ends
# the game (exit status 0, its end events run). Skipped (77) where no virtual display server
# is installed.
# Usage: debug_window.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
command -v xvfb-run >/dev/null 2>&1 || { echo "xvfb-run not installed: skipped"; exit 77; }
command -v xwininfo >/dev/null 2>&1 || { echo "xwininfo not installed: skipped"; exit 77; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$kestrin" build "$src/tests/projects/debug_window" -o "$work/game" --debug || fail "build"
cat >"$work/commands" <<'EOF_COMMANDS'
watch global.steps
show instances
wait 45
pause
step 2
dump status
dump watches
close
EOF_COMMANDS
# The game plays at its room speed (30 steps a second): the windows are listed while it runs.
cat >"$work/session.sh" <<'EOF_SESSION'
"$1" >"$2/out" 2>"$2/err" &
game=$!
for i in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do
    sleep 0.1
    xwininfo -root -tree >"$2/windows" 2>/dev/null
    grep -q '"Debug Information"' "$2/windows" && grep -q '"Debug"' "$2/windows" && break
done
wait $game
echo $? >"$2/status"
EOF_SESSION
# The display server's and GPU driver's own allocations are not ours to check for leaks.
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" \
    env -u WAYLAND_DISPLAY KESTRIN_DEBUG_COMMANDS="$work/commands" sh "$work/session.sh" "$work/game" "$work"
[ "$(cat "$work/status" 2>/dev/null)" = 0 ] || { cat "$work/err"; fail "exit status $(cat "$work/status" 2>/dev/null)"; }
grep -q "No window" "$work/err" && { cat "$work/err"; fail "no game window"; }
grep -q "No debug window" "$work/err" && { cat "$work/err"; fail "no debug window"; }
grep -q '"Debug Information"' "$work/windows" || { cat "$work/windows"; fail "the debug window was not shown"; }
grep -q '"Debug"' "$work/windows" || { cat "$work/windows"; fail "the game window was not shown"; }
grep -q "^step 47 paused | " "$work/out" || { cat "$work/out"; fail "paused steps"; }
grep -q "^global.steps = 47$" "$work/out" || { cat "$work/out"; fail "watch"; }
echo ok
