#!/bin/sh
# Plays a project that keeps a high-score INI file, a text file in a folder named with another
# case and a registry value between runs, headless: the second run reads what the first
# wrote, and the INI lines the game does not know are kept.
# Usage: files_scores.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$kestrin" build "$src/tests/projects/files_scores" -o "$work/game" --data-only || fail "build"
mkdir -p "$work/play" "$work/config"
cd "$work/play" || fail "cd"
here="$(pwd -P)"
bin="$(cd "$(dirname "$kestrin")" && pwd -P)"
export XDG_CONFIG_HOME="$work/config"
# The folder variables are this system's real paths.
expect() { sed -e "s|@HERE@|$here|" -e "s|@BIN@|$bin|" >"$work/expected"; }
run() {
    "$kestrin" run --headless --fast --frames 10 "$work/game" -- "$@" >"$work/out" 2>"$work/err" ||
        { cat "$work/out" "$work/err"; fail "run"; }
}

run Ann extra
expect <<'OUT'
ini: runs 1, best 100.50, name Ann
text: run 1 | -1.25 | eof 1
registry: 1, params 2 extra, secure 0
dirs: @HERE@ | temp 1 | @BIN@
OUT
cmp -s "$work/out" "$work/expected" || { diff "$work/expected" "$work/out"; fail "first run"; }

# A note added by hand survives the game's changes.
printf '; by hand\r\n' >>Scores.ini
run Bo
expect <<'OUT'
ini: runs 2, best 200.50, name Bo
text: run 2 | -1.25 | eof 1
registry: 2, params 1 , secure 0
dirs: @HERE@ | temp 1 | @BIN@
OUT
cmp -s "$work/out" "$work/expected" || { diff "$work/expected" "$work/out"; fail "second run"; }
grep -q '^; by hand' Scores.ini || fail "the hand-written line was lost"
[ -f "$work/config/kestrin/registry/current_user/software/kestrin/1012/values" ] || fail "registry file"
[ "$(ls "$work/play" | tr '\n' ' ')" = "Saves Scores.ini " ] || fail "unexpected files: $(ls "$work/play")"

# Secure mode, switched on in the user's registry: names with a folder part are not written.
prefs="$work/config/kestrin/registry/current_user/software/kestrin/version 8.1/preferences"
mkdir -p "$prefs"
printf 'Warning\tdword\t1\n' >"$prefs/values"
run Cy
grep -q '^registry: 3, params 1 , secure 1$' "$work/out" || { cat "$work/out"; fail "secure run"; }
grep -q '^In secure mode you cannot write file saves\\log.txt$' "$work/err" || { cat "$work/err"; fail "secure message"; }
grep -q '^run 2' Saves/log.txt || fail "the log was written in secure mode"
