#!/bin/sh
# What a run says when something is off: no display, a screenshot the run never reaches, and
# the order of standard output and standard error piped into one file.
# Usage: diagnostics.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$kestrin" build "$src/tests/projects/minimal" -o "$work/game" --data-only || fail "build"

# A windowed run without a display: one line, then the game plays headless.
env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$kestrin" run --fast --frames 2 "$work/game" \
    >"$work/out" 2>"$work/err" || { cat "$work/err"; fail "run without a display: status $?"; }
grep -qxF "kestrin: no display: neither DISPLAY nor WAYLAND_DISPLAY is set; playing headless." "$work/err" ||
    { cat "$work/err"; fail "no-display line"; }
[ "$(wc -l <"$work/err")" = 1 ] || { cat "$work/err"; fail "more than the no-display line"; }
[ -s "$work/out" ] || fail "the game did not play"

# A screenshot after the last step is a warning; the status stays 0.
# (Leak checks off: the offscreen GL driver keeps allocations of its own.)
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" "$kestrin" run --headless --fast --frames 3 --screenshot "10:$work/late.png" "$work/game" >/dev/null 2>"$work/err" ||
    { cat "$work/err"; fail "late screenshot: status $?"; }
grep -qF "Warning: the run ended after step 3, so the screenshot of step 10 ($work/late.png) was not taken." "$work/err" ||
    { cat "$work/err"; fail "late screenshot warning"; }
[ ! -e "$work/late.png" ] || fail "a screenshot was written"

# Output and errors keep their order in one pipe.
"$kestrin" script -e 'show_debug_message("before"); sound_play(9); show_debug_message("after")' >"$work/both" 2>&1
printf 'before\nSound does not exist.\nafter\n0\n' | cmp -s - "$work/both" || { cat "$work/both"; fail "order"; }
echo ok
