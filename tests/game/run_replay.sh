#!/bin/sh
# Plays a small project headless: replayed input reaches its events in the right steps, a
# recording replays to the same state, a replay that differs stops at the step it differs,
# the frame limit ends the game normally and a fatal error ends it with status 3.
# Usage: run_replay.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

run() {  # run STATUS OUTFILE options...
    want="$1"; out="$2"; shift 2
    "$kestrin" run --headless --fast "$@" >"$out" 2>"$out.err"
    status=$?
    [ "$status" = "$want" ] || { cat "$out" "$out.err"; fail "run $* exited $status, wanted $want"; }
}

"$kestrin" build "$src/tests/projects/run_loop" -o "$work/game" --data-only || fail "build"

cat >"$work/input" <<'IN'
kestrin-input 1
seed 42
# left arrow pressed before step 3
3 key_down 37
4 key_up 37
IN
cat >"$work/expected" <<'OUT'
left at 2
alarm at 4
alarm at 54
alarm at 104
x -234
game end after 130 steps, score 129
OUT

run 0 "$work/first" --input "$work/input" --record "$work/recorded" "$work/game"
cmp -s "$work/first" "$work/expected" || { diff "$work/expected" "$work/first"; fail "first run output"; }
grep -qx "seed 42" "$work/recorded" || fail "recording has no seed"
grep -qx "3 key_down 37" "$work/recorded" || fail "recording lacks the replayed key"
grep -q "^60 hash [0-9a-f]\{8\}$" "$work/recorded" || fail "recording has no hash at step 60"
grep -q "^120 hash " "$work/recorded" || fail "recording has no hash at step 120"

# The recording replays to the same state and output.
run 0 "$work/second" --input "$work/recorded" --record "$work/again" "$work/game"
cmp -s "$work/second" "$work/expected" || fail "replay output differs"
cmp -s "$work/recorded" "$work/again" || fail "recording of the replay differs"

# Another seed changes the state: the replay stops at the first hash, naming its step.
sed 's/^seed 42$/seed 43/' "$work/recorded" >"$work/reseeded"
run 3 "$work/third" --input "$work/reseeded" "$work/game"
grep -qx "Replay differs from the recording at step 60" "$work/third.err" || { cat "$work/third.err"; fail "no divergence message"; }

# The frame limit ends the game (game-end events run); KESTRIN_* options for standalone games.
run 0 "$work/limited" --frames 10 --seed 1 "$work/game"
grep -qx "game end after 10 steps, score 10" "$work/limited" || { cat "$work/limited"; fail "frame limit"; }
run 0 "$work/none" --frames 0 "$work/game"
grep -qx "game end after 0 steps, score 0" "$work/none" || { cat "$work/none"; fail "frame limit 0"; }

# A fatal error (a room that does not exist) ends the run with status 3.
printf 'kestrin-input 1\n5 key_down 70\n' >"$work/fatal"
run 3 "$work/fatal.out" --input "$work/fatal" "$work/game"
grep -q "Unexisting room number: 99" "$work/fatal.out.err" || { cat "$work/fatal.out.err"; fail "no fatal message"; }

# A recording that cannot be read fails before the game starts.
printf 'not a recording\n' >"$work/broken"
run 1 "$work/broken.out" --input "$work/broken" "$work/game"
grep -q "^Cannot read the input recording: " "$work/broken.out.err" || fail "no message for a broken recording"

# Without --fast the room speed paces the steps: 15 steps at 30 per second take about 0.5 s.
start=$(date +%s%N)
"$kestrin" run --headless --frames 15 "$work/game" >/dev/null 2>&1 || fail "paced run"
elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$elapsed" -ge 400 ] || fail "15 paced steps took only $elapsed ms"
echo "ok"
