#!/bin/sh
# Plays a project with triggers from the game data: a begin-step trigger fires for an object
# and for a child inheriting its trigger event, an end-step trigger ends the game once both are
# gone, the trigger constants keep their indices past an empty slot, and a condition that fails
# when run is reported once per step while the game goes on. A copy whose condition does not
# compile does not start.
# Usage: triggers.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$kestrin" build "$src/tests/projects/triggers" -o "$work/game" --data-only || fail "build"
cat >"$work/expected" <<'OUT'
constants 0 2
100003 far at 106, event 0 of 0
100002 far at 136, event 0 of 0
alone at step end
OUT
"$kestrin" run --headless --fast --frames 100 "$work/game" >"$work/out" 2>"$work/err" || { cat "$work/out" "$work/err"; fail "run"; }
cmp -s "$work/out" "$work/expected" || { diff "$work/expected" "$work/out"; fail "output"; }
# One report of the broken condition in each of the four steps, none for the other triggers.
reports="$(grep -c "ERROR in trigger trg_broken" "$work/err")"
[ "$reports" = 4 ] || { cat "$work/err"; fail "expected 4 reports of trg_broken, got $reports"; }
grep -q "ERROR in trigger trg_far\|ERROR in trigger trg_alone" "$work/err" && { cat "$work/err"; fail "other triggers reported"; }

# Unpacking gives the readable triggers back, and building that gives the same game.
"$kestrin" unpack "$work/game" -o "$work/unpacked" >/dev/null || fail "unpack"
grep -q '"condition": "return x > 100"' "$work/unpacked/game.json" || { cat "$work/unpacked/game.json"; fail "unpacked triggers"; }
"$kestrin" build "$src/tests/projects/triggers" -o "$work/seeded" --data-only --seed 7 || fail "seeded build"
"$kestrin" build "$work/unpacked" -o "$work/again" --data-only --seed 7 || fail "build unpacked"
cmp -s "$work/seeded" "$work/again" || fail "the unpacked project builds another game"

# A condition that does not compile is caught by the build, with its place in game.json.
cp -r "$src/tests/projects/triggers" "$work/bad"
sed 's/return x > 100/return (x > /' "$src/tests/projects/triggers/game.json" >"$work/bad/game.json"
if "$kestrin" build "$work/bad" -o "$work/bad_game" --data-only 2>"$work/bad_build"; then
    fail "a condition that does not compile was built"
fi
grep -q '^game.json: triggers\[0\].condition:1:[0-9]*: ' "$work/bad_build" || { cat "$work/bad_build"; fail "build message"; }

# A condition written in a file of its own builds the same game as written inline.
cp -r "$src/tests/projects/triggers" "$work/filed"
printf 'return x > 100' >"$work/filed/far.txt"
sed 's/"condition": "return x > 100"/"condition": {"file": "far.txt"}/' "$src/tests/projects/triggers/game.json" >"$work/filed/game.json"
"$kestrin" build "$work/filed" -o "$work/filed_game" --data-only --seed 7 || fail "build filed"
cmp -s "$work/seeded" "$work/filed_game" || fail "a condition in a file builds another game"

# Game data whose condition does not compile (a raw record, which the build keeps as it is)
# stops the start with the trigger's name.
record="$(python3 -c '
import struct,sys
def s(t): b=t.encode(); return struct.pack("<i",len(b))+b
r=struct.pack("<i",800)+s("trg_far")+s("return (x > ")+struct.pack("<i",1)+s("TRG_FAR")
print(r.hex())')"
sed "s/{\"name\": \"trg_far\", \"condition\": \"return x > 100\", \"moment\": \"begin_step\", \"constant_name\": \"TRG_FAR\"}/{\"record\": \"$record\"}/" \
    "$src/tests/projects/triggers/game.json" >"$work/bad/game.json"
grep -q '"record"' "$work/bad/game.json" || fail "the raw record was not put in"
"$kestrin" build "$work/bad" -o "$work/bad_game" --data-only || fail "build bad"
if "$kestrin" run --headless --fast --frames 10 "$work/bad_game" >"$work/bad_out" 2>"$work/bad_err"; then
    fail "a condition that does not compile started the game"
fi
grep -q "COMPILATION ERROR in condition of trigger trg_far" "$work/bad_err" || { cat "$work/bad_err"; fail "compile message"; }
grep -q "Failed to prepare triggers." "$work/bad_err" || { cat "$work/bad_err"; fail "preparation message"; }
[ ! -s "$work/bad_out" ] || { cat "$work/bad_out"; fail "the bad game ran"; }
