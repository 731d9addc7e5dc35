#!/bin/sh
# `kestrin run PROJECT_DIR` plays a project exactly as building it and running the game does;
# `kestrin info` reads projects; `kestrin build` reports every code error of a project with its
# file, line and column, and refuses bad references; unpacked projects name their resources.
# Usage: run_project.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

for project in "$src/tests/projects/minimal" "$src/tests/projects/timeline" "$src/examples/demo"; do
    name="$(basename "$project")"
    "$kestrin" build "$project" -o "$work/$name.game" --data-only || fail "$name: build failed"
    "$kestrin" run --headless --fast --seed 7 --frames 40 "$work/$name.game" >"$work/built.out" 2>"$work/built.err"
    built=$?
    "$kestrin" run --headless --fast --seed 7 --frames 40 "$project" >"$work/direct.out" 2>"$work/direct.err"
    direct=$?
    [ "$built" = "$direct" ] || fail "$name: run of the project exited $direct, of the built game $built"
    cmp -s "$work/built.out" "$work/direct.out" || { diff "$work/built.out" "$work/direct.out"; fail "$name: output differs"; }
    cmp -s "$work/built.err" "$work/direct.err" || { diff "$work/built.err" "$work/direct.err"; fail "$name: errors differ"; }
    "$kestrin" info "$work/$name.game" >"$work/built.info" || fail "$name: info of the game failed"
    "$kestrin" info "$project" >"$work/direct.info" || fail "$name: info of the project failed"
    cmp -s "$work/built.info" "$work/direct.info" || { diff "$work/built.info" "$work/direct.info"; fail "$name: info differs"; }
done

# A folder that is not a project says what it expected.
mkdir "$work/empty"
"$kestrin" run --headless "$work/empty" 2>"$work/err"
[ $? = 1 ] || fail "run of an empty folder did not fail"
grep -qxF "kestrin run: $work/empty: not a project folder (expected a game.json file in it; see docs/project-format.md)" "$work/err" ||
    { cat "$work/err"; fail "run of an empty folder: wrong message"; }
"$kestrin" info "$work/empty" 2>"$work/err" && fail "info of an empty folder did not fail"

# Every code error at once, nothing written, status 1.
bad="$work/bad"
mkdir -p "$bad/objects" "$bad/rooms"
cat >"$bad/game.json" <<'EOF'
{"resources": {"objects": ["obj_coin"], "rooms": ["room_start"]}}
EOF
cat >"$bad/objects/obj_coin.json" <<'EOF'
{"events": [{"type": "create", "actions": [{"kind": "code", "arguments": [{"file": "objects/obj_coin.create_0.action0.txt"}]}]}]}
EOF
printf 'score = 1;\nscore = ;\n' >"$bad/objects/obj_coin.create_0.action0.txt"
cat >"$bad/rooms/room_start.json" <<'EOF'
{"instances": [{"id": 100001, "object": "obj_coin", "code": "x = (1"}]}
EOF
"$kestrin" build "$bad" -o "$work/bad.game" --data-only 2>"$work/err"
[ $? = 1 ] || fail "build of broken code did not fail"
[ ! -e "$work/bad.game" ] || fail "build of broken code wrote the game"
cat >"$work/want" <<EOF
objects/obj_coin.create_0.action0.txt:2:9: Unexpected symbol in expression.
rooms/room_start.json: instances[0].code:1:7: Symbol ) expected.
kestrin build: 2 errors in the project's code
EOF
cmp -s "$work/want" "$work/err" || { diff "$work/want" "$work/err"; fail "build diagnostics"; }
"$kestrin" run --headless --frames 1 "$bad" 2>"$work/err"
[ $? = 1 ] || fail "run of broken code did not fail"

# A reference to a missing resource is refused with the file and field.
printf 'score = 1;\n' >"$bad/objects/obj_coin.create_0.action0.txt"
cat >"$bad/rooms/room_start.json" <<'EOF'
{"instances": [{"id": 100001, "object": "obj_gem"}]}
EOF
"$kestrin" build "$bad" -o "$work/bad.game" --data-only 2>"$work/err" && fail "unknown object name accepted"
grep -qxF 'kestrin build: rooms/room_start.json: instances[0].object: no object is named "obj_gem"' "$work/err" ||
    { cat "$work/err"; fail "unknown object name: wrong message"; }

# Unpacking writes names, and the names build back to the same game.
"$kestrin" unpack "$work/minimal.game" -o "$work/unpacked" || fail "unpack failed"
grep -q '"object": "obj_greeter"' "$work/unpacked/rooms/room_start.json" || fail "unpack wrote no object name"
"$kestrin" build "$work/unpacked" -o "$work/again.game" --data-only || fail "build of the unpacked project failed"
cmp -s "$work/minimal.game" "$work/again.game" || fail "the unpacked project builds another game"
echo "run_project: ok"
