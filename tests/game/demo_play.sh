#!/bin/sh
# The demo game played headless from its recorded session with a fixed seed: it reaches a
# known score and state, plays the same way twice and replays its own recording (state
# hashes included). If the demo or the engine's motion or collisions change on purpose,
# make a new session with examples/demo/session/make_session.py.
# Usage: demo_play.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
session="$src/examples/demo/session/session.txt"

"$kestrin" build "$src/examples/demo" -o "$work/game" --data-only >"$work/build.out" 2>&1 ||
    { cat "$work/build.out"; fail "build"; }

play() {  # play NAME options...: the session, headless and fast, output in NAME.out/.err
    name="$1"; shift
    "$kestrin" run --headless --fast --frames 10000 "$@" "$work/game" >"$work/$name.out" 2>"$work/$name.err"
    status=$?
    [ "$status" = 0 ] || { cat "$work/$name.out" "$work/$name.err"; fail "$name: exit status $status"; }
}

play first --input "$session" --record "$work/recorded"
cat >"$work/want" <<'OUT'
room title
room play: 60 bricks, lives 3
ball lost: score 630, lives 2
ball lost: score 660, lives 1
ball lost: score 710, lives 0
game over: score 710
OUT
cmp -s "$work/first.out" "$work/want" || { diff "$work/want" "$work/first.out"; fail "the session did not play as recorded"; }
[ ! -s "$work/first.err" ] || { cat "$work/first.err"; fail "the game reported errors"; }

# The same again, and the recording (with the state hashes of its run) replays exactly.
play second --input "$session"
cmp -s "$work/first.out" "$work/second.out" || fail "a second run played differently"
grep -q "^60 hash " "$work/recorded" || fail "the recording has no state hashes"
play replay --input "$work/recorded"
cmp -s "$work/first.out" "$work/replay.out" || fail "the recording replays differently"

# The game is heard: with the mix written, the same session plays the same way; while it
# plays its sounds (the music, the hits, the lost balls) never fall silent, nothing is
# clipped, and the music stops when the game is over.
play heard --input "$session" --audio-out "$work/mix.wav"
cmp -s "$work/first.out" "$work/heard.out" || fail "writing the mix changed the game"
python3 - "$work/mix.wav" <<'PY' || fail "the demo's sound"
import array, sys, wave
w = wave.open(sys.argv[1])
samples = array.array("h", w.readframes(w.getnframes()))
second = 2 * 44100
loud = [max(map(abs, samples[i:i + second])) for i in range(second, len(samples) - second, second)]
assert len(loud) > 45, "a short mix: %d seconds" % len(loud)
# Play runs from the second second to about the 46th (the game is over then, the music off).
assert min(loud[1:40]) > 1000, "a silent second in play: %s" % loud
assert loud[-1] < 100, "sound after the game ended: %s" % loud
assert max(map(abs, samples)) < 32767, "clipped"
PY

echo "ok"
