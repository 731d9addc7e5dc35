#!/bin/sh
# Joysticks in a recording: plugging in, moving, pressing and unplugging replay into the
# joystick built-ins and the joystick events, and a recording of the replay keeps them.
# Usage: joystick_replay.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$kestrin" build "$src/tests/projects/joystick" -o "$work/game" --data-only || fail "build"
cat >"$work/input" <<'IN'
kestrin-input 1
seed 1
2 joystick 1 "Pad" 5 10 1 0 32767 32767 32767 32767 32767 2 9000
3 joystick 2 "Stick" 2 4 0 65535 32767 32767 32767 32767 32767 0 65535
4 joystick 1 off; joystick 2 off
IN
"$kestrin" run --headless --fast --frames 4 --input "$work/input" --record "$work/again" "$work/game" \
    >"$work/out" 2>"$work/err" || { cat "$work/err"; fail "replay: status $?"; }
cat >"$work/expected" <<'OUT'
pads 00
  joystick 1 left
  joystick 1 button 2
pads 10 Pad x -1 y 0 dir 100 b2 1 pov 90 axes 5
  joystick 1 left
  joystick 1 button 2
  joystick 2 right
pads 11 Pad x -1 y 0 dir 100 b2 1 pov 90 axes 5
  two: Stick
pads 00
OUT
cmp -s "$work/expected" "$work/out" || { diff "$work/expected" "$work/out"; fail "output"; }
grep -q '^2 joystick 1 "Pad" 5 10 1 0 32767 32767 32767 32767 32767 2 9000' "$work/again" ||
    { cat "$work/again"; fail "the recording lost the joystick"; }
grep -q '^4 joystick 1 off; joystick 2 off' "$work/again" || { cat "$work/again"; fail "the recording lost the unplugging"; }

# A damaged joystick line names its line.
printf 'kestrin-input 1\n2 joystick 1 "Pad" 9 10 1 0 0 0 0 0 0 0 0\n' >"$work/bad"
"$kestrin" run --headless --fast --frames 2 --input "$work/bad" "$work/game" >/dev/null 2>"$work/err" &&
    fail "a damaged recording was accepted"
grep -q "line 2: joystick" "$work/err" || { cat "$work/err"; fail "damaged line message"; }
echo ok
