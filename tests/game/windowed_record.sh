#!/bin/sh
# A windowed run on a virtual X display records its input through the window's path (the
# replayed keys and whatever the window reports, such as the cursor), and that recording
# replays headless to the same hashes and output. Skipped (77) without a virtual display.
# Usage: windowed_record.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
command -v xvfb-run >/dev/null 2>&1 || { echo "xvfb-run not installed: skipped"; exit 77; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$kestrin" build "$src/tests/projects/run_loop" -o "$work/game" --data-only || fail "build"
printf 'kestrin-input 1\nseed 42\n3 key_down 37\n4 key_up 37\n' >"$work/input"

# The display server's and GPU driver's own allocations are not ours to check for leaks.
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" timeout 120 xvfb-run -a -s "-screen 0 800x600x24" \
    env -u WAYLAND_DISPLAY "$kestrin" run --fast --input "$work/input" --record "$work/recorded" "$work/game" \
    >"$work/windowed" 2>"$work/windowed.err"
status=$?
[ "$status" = 0 ] || { cat "$work/windowed.err"; fail "windowed run exited $status"; }
grep -q "^3 .*key_down 37" "$work/recorded" || { cat "$work/recorded"; fail "recording lacks the replayed key"; }
grep -q "^120 .*hash [0-9a-f]\{8\}$" "$work/recorded" || { cat "$work/recorded"; fail "recording has no hash at step 120"; }

"$kestrin" run --headless --fast --input "$work/recorded" "$work/game" >"$work/headless" 2>"$work/headless.err"
status=$?
[ "$status" = 0 ] || { cat "$work/recorded" "$work/headless.err"; fail "headless replay exited $status"; }
cmp -s "$work/windowed" "$work/headless" || { diff "$work/windowed" "$work/headless"; fail "replay output differs"; }
echo ok
