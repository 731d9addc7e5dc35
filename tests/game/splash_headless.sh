#!/bin/sh
# Plays a project that shows splash screens and its game information headless: each prints
# one line to standard error and the game goes on at once, in the order of its events; F1
# from a replay shows the game information and does not reach the game; a missing video is
# reported and the game continues.
# Usage: splash_headless.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$kestrin" build "$src/tests/projects/splash" -o "$work/game" --data-only || fail "build"
mkdir -p "$work/play"
cd "$work/play" || fail "cd"
# A 2 x 2 bitmap and a rich-text story beside the game.
printf 'BMF\000\000\000\000\000\000\000\066\000\000\000\050\000\000\000\002\000\000\000\002\000\000\000\001\000\030\000\000\000\000\000\020\000\000\000\023\013\000\000\023\013\000\000\000\000\000\000\000\000\000\000' >title.bmp
printf '\377\000\000\377\000\000\000\000\377\000\000\377\000\000\000\000' >>title.bmp
printf '{\\rtf1 Once upon a {\\i time}\\par The end\\par}' >story.rtf
printf 'kestrin-input 1\n6 key_down 112\n7 key_up 112\n' >"$work/input"

"$kestrin" run --headless --fast --frames 20 --input "$work/input" "$work/game" >"$work/out" 2>"$work/err" ||
    { cat "$work/out" "$work/err"; fail "run"; }
cat >"$work/expected" <<'OUT'
create
after image
info at 3
no none.rtf
step 8
OUT
cmp -s "$work/out" "$work/expected" || { diff "$work/expected" "$work/out"; cat "$work/err"; fail "game output"; }
cat >"$work/expected_err" <<'OUT'
splash image: title.bmp (2x2) (closes after 2000 ms)
splash text: story.rtf (until closed): Once upon a time / The end
splash web: would open https://127.0.0.1/help (until closed)
game information: How to play: Splash test / Press F1 for this text.
game information: How to play: Once upon a time / The end
game information: How to play: Once upon a time / The end
OUT
grep -e '^splash ' -e '^game information: ' "$work/err" >"$work/lines"
cmp -s "$work/lines" "$work/expected_err" || { diff "$work/expected_err" "$work/lines"; fail "splash lines"; }
grep -q 'Video file not found (or name too long)\.' "$work/err" || { cat "$work/err"; fail "missing video not reported"; }
