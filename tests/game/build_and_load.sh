#!/bin/sh
# Builds the example projects with the real command, loads them headless, and checks the
# messages and exit statuses of damaged games.
# Usage: build_and_load.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

expect() {  # expect STATUS MESSAGE-OR-EMPTY command...
    want_status="$1"; want_text="$2"; shift 2
    "$@" >"$work/out" 2>"$work/err"
    status=$?
    [ "$status" = "$want_status" ] || { cat "$work/out" "$work/err"; fail "$* exited $status, wanted $want_status"; }
    if [ -n "$want_text" ]; then
        grep -qxF "$want_text" "$work/err" || { cat "$work/err"; fail "$*: no line '$want_text'"; }
    fi
}

for project in "$src/examples/demo" "$src/tests/projects/minimal"; do
    name="$(basename "$project")"
    expect 0 "" "$kestrin" build "$project" -o "$work/$name.game" --data-only
    expect 0 "" "$kestrin" run --headless --fast --frames 30 "$work/$name.game"
    expect 0 "" "$kestrin" info "$work/$name.game"

    # build -> unpack -> build gives the same bytes.
    expect 0 "" "$kestrin" unpack "$work/$name.game" -o "$work/$name.unpacked"
    expect 0 "" "$kestrin" build "$work/$name.unpacked" -o "$work/$name.again" --data-only
    cmp -s "$work/$name.game" "$work/$name.again" || fail "$name: rebuilt game differs"

    # A standalone game plays its own data and takes its options from the environment.
    expect 0 "" "$kestrin" build "$project" -o "$work/$name.exe"
    [ -x "$work/$name.exe" ] || fail "standalone game is not executable"
    expect 0 "" env KESTRIN_HEADLESS=1 KESTRIN_FAST=1 KESTRIN_FRAMES=30 "$work/$name.exe" some game parameters
    expect 1 "" env KESTRIN_FRAMES=abc "$work/$name.exe"
    expect 0 "" "$kestrin" run --headless --fast --frames 30 "$work/$name.exe"
done

game="$work/minimal.game"
size=$(wc -c <"$game")

# Damaged games: right message, status 1.
head -c $((size - 10)) "$game" >"$work/truncated"
expect 1 "Failed to load the game data. File seems corrupted." "$kestrin" run --headless "$work/truncated"
cp "$game" "$work/flipped"
printf '\377' | dd of="$work/flipped" bs=1 seek=$((size / 2)) conv=notrunc 2>/dev/null
expect 1 "Failed to load the game data. File seems corrupted." "$kestrin" run --headless "$work/flipped"
printf 'just some text\n' >"$work/text"
expect 1 "Error: Not a valid game file." "$kestrin" run --headless "$work/text"
expect 1 "Error: Cannot read the game file." "$kestrin" run --headless "$work/missing"
grep -qxF "kestrin run: $work/missing: No such file or directory" "$work/err" || { cat "$work/err"; fail "the missing file is not named"; }
: >"$work/empty"
expect 1 "Error: Not a valid game file." "$kestrin" run --headless "$work/empty"

# Command-line errors.
expect 1 "" "$kestrin" run
expect 1 "" "$kestrin" frobnicate
expect 1 "" "$kestrin" run --frames x "$game"
expect 0 "" "$kestrin" --help
expect 0 "" "$kestrin" run --help
expect 1 "" "$kestrin" build "$work/no-such-project" -o "$work/x"

# Tracing writes the banner beside the executable or in the working folder.
(cd "$work" && VTLOG_TRACE=1 "$kestrin" run --headless --frames 1 "$game" >/dev/null 2>&1)
trace="$(dirname "$kestrin")/Trace.log"
[ -f "$trace" ] || trace="$work/Trace.log"
grep -q "Kestrin Runner v8.1.23.6892" "$trace" || fail "no trace banner"
grep -q "Loading room order" "$trace" || fail "no progress in the trace"
rm -f "$(dirname "$kestrin")/Trace.log"

# The temporary folder is gone after the run.
mkdir "$work/tmpbase"
temp="$work/tmpbase" "$kestrin" run --headless --frames 1 "$game" >/dev/null 2>&1 || fail "run with temp base"
[ -z "$(ls -A "$work/tmpbase")" ] || fail "temporary folder left behind"
echo "ok"
