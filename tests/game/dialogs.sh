#!/bin/sh
# Plays a project that opens every kind of dialog, headless: the answers come from a file
# (or are the dialogs' defaults without one), the dialogs' texts go to standard error, the
# high-score table lands in the registry, and a recording of the run replays to the same
# answers without the file.
# Usage: dialogs.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$kestrin" build "$src/tests/projects/dialogs" -o "$work/game" --data-only || fail "build"
export XDG_CONFIG_HOME="$work/config"
run() {
    "$kestrin" run --headless --fast --frames 10 "$@" "$work/game" >"$work/out" 2>"$work/err" ||
        { cat "$work/out" "$work/err"; fail "run $*"; }
}
check() {
    cmp -s "$work/out" "$work/expected" || { diff "$work/expected" "$work/out"; cat "$work/err"; fail "$1"; }
}

printf '2\r\n3\n12x\nBo\nBlue\n65280\n2\nCy\nDi\n' >"$work/answers"
run --answers "$work/answers" --record "$work/rec"
cat >"$work/expected" <<'OUT'
q 0 n 3 s Bo m 2 c 65280 e 2
top Cy 50 | Di | Zed | <nobody>
OUT
check "answers from the file"
grep -q '^Hello$' "$work/err" && grep -q '^world$' "$work/err" || { cat "$work/err"; fail "message text"; }
grep -q '^  2: Blue$' "$work/err" || { cat "$work/err"; fail "menu items"; }
grep -q '^* 2\.  30$' "$work/err" || { cat "$work/err"; fail "the table with the new entry"; }
grep -q 'answer "Bo"' "$work/rec" || { cat "$work/rec"; fail "answers recorded"; }
[ -f "$work/config/kestrin/registry/current_user/software/kestrin/scores/-1022/values" ] ||
    { find "$work/config"; fail "table in the registry"; }

# The replay takes the recorded answers.
run --input "$work/rec"
check "replayed answers"

# Without answers every dialog takes its default.
run
cat >"$work/expected" <<'OUT'
q 1 n 3 s Ann m -1 c 255 e 1
top player 50 |  | Zed | <nobody>
OUT
check "default answers"

# An answers file that cannot be read stops the run before it starts.
"$kestrin" run --headless --answers "$work/missing" "$work/game" >"$work/out" 2>"$work/err" && fail "missing answers file"
grep -q "Cannot read the answers file: $work/missing" "$work/err" || { cat "$work/err"; fail "message"; }
echo ok
