#!/bin/sh
# Plays a project whose extension package carries the native test library, a script file and
# a plain file: the package's constant and initialisation function run before the first room,
# its native and script functions are called from an object, a library beside the game is
# defined by its Windows name, a missing one fails with its message, and the finalisation
# function runs at the end. In secure mode the game does not start. `kestrin info` lists the
# package.
# Usage: extension_package.sh KESTRIN SOURCE_DIR (KESTRIN_TEST_LIBRARY names the test library)
set -u
kestrin="$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")"
src="$2"
[ -n "${KESTRIN_TEST_LIBRARY:-}" ] && [ -f "$KESTRIN_TEST_LIBRARY" ] || { echo "no test library"; exit 77; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cp -r "$src/tests/projects/extension_package" "$work/project"
cp "$KESTRIN_TEST_LIBRARY" "$work/project/ext/ktools.dll"
"$kestrin" build "$work/project" -o "$work/game" --data-only || fail "build"
mkdir -p "$work/play" "$work/config"
cp "$KESTRIN_TEST_LIBRARY" "$work/play/ktest.so"
cd "$work/play" || fail "cd"
export XDG_CONFIG_HOME="$work/config"

cat >"$work/expected" <<'OUT'
init 42 1
5.50
hello, game
41
8
-1
final
OUT
"$kestrin" run --headless --fast --frames 30 "$work/game" >"$work/out" 2>"$work/err" || { cat "$work/out" "$work/err"; fail "run"; }
cmp -s "$work/out" "$work/expected" || { diff "$work/expected" "$work/out"; cat "$work/err"; fail "output"; }
grep -q "Error defining an external function." "$work/err" || { cat "$work/err"; fail "missing library message"; }

"$kestrin" info "$work/game" >"$work/info" || fail "info"
grep -q "ext_tools (folder ext_tools): 3 files, 5 functions, 1 constant" "$work/info" || { cat "$work/info"; fail "info lists the package"; }
grep -q "helpers.gml  script file, .*, init ext_start, final ext_stop" "$work/info" || { cat "$work/info"; fail "info lists init and final"; }
grep -q "functions: ext_add/2, ext_greet/1" "$work/info" || { cat "$work/info"; fail "info lists the functions"; }

# Unpacking gives the package back, and building that gives the same game.
"$kestrin" build "$work/project" -o "$work/seeded" --data-only --seed 7 || fail "seeded build"
"$kestrin" unpack "$work/game" -o "$work/unpacked" >/dev/null || fail "unpack"
"$kestrin" build "$work/unpacked" -o "$work/again" --data-only --seed 7 || fail "build unpacked"
cmp -s "$work/seeded" "$work/again" || fail "the unpacked project builds another game"

# Secure mode, switched on in the user's registry: the initialisation function is refused.
prefs="$work/config/kestrin/registry/current_user/software/kestrin/version 8.1/preferences"
mkdir -p "$prefs"
printf 'Warning\tdword\t1\n' >"$prefs/values"
"$kestrin" run --headless --fast --frames 30 "$work/game" >"$work/secure_out" 2>"$work/secure_err"
[ $? = 3 ] || { cat "$work/secure_out" "$work/secure_err"; fail "secure run should abort"; }
grep -q "In secure mode you cannot use extension packages." "$work/secure_err" || { cat "$work/secure_err"; fail "secure message"; }
grep -q "hello" "$work/secure_out" && fail "the game ran in secure mode"
exit 0
