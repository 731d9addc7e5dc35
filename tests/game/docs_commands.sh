#!/bin/sh
# Runs every example command of README.md and of the Examples section of docs/cli.md, in
# order, in a scratch folder that sees the source tree's examples/, so the documentation
# cannot drift from what kestrin does. Each must succeed; a headless run without a frame
# limit (a game that never ends) may instead be stopped by the time limit. Every option of
# the run-options table must also appear in `kestrin run --help`.
# Usage: docs_commands.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }


# Indented lines starting with "kestrin " inside a markdown section; comments removed.
commands() {  # commands FILE [SECTION-HEADING]
    awk -v section="$2" '
        /^#/ { inside = (section == "" || $0 == section) ; next }
        inside && /^    kestrin / { line = substr($0, 5); sub(/[ ]+# .*$/, "", line); print line }
    ' "$1"
}
# Each document's examples run in a scratch folder of their own.
run_all() {  # run_all FOLDER: runs $work/FOLDER.commands there
    dir="$work/$1"
    mkdir -p "$dir"
    ln -s "$src/examples" "$dir/examples"
    printf 'show_debug_message("from a file"); return 6 * 7' >"$dir/code.txt"
    n=0
    while IFS= read -r line; do
        n=$((n + 1))
        # A game played without a frame limit runs until it ends: a few seconds show it plays.
        limit=120
        case "$line" in *--frames*) ;; "kestrin run "*) limit=5 ;; esac
        # Leak checks off: the examples draw through the GL driver, which keeps allocations
        # of its own.
        (cd "$dir" && ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" eval "timeout $limit \"$kestrin\" ${line#kestrin }") >"$dir/out.$n" 2>"$dir/err.$n" </dev/null
        status=$?
        if [ "$status" = 124 ] && [ "$limit" = 5 ]; then
            ! grep -qi "error" "$dir/err.$n" || { cat "$dir/err.$n"; fail "'$line' reported an error"; }
            continue
        fi
        [ "$status" = 0 ] || { cat "$dir/out.$n" "$dir/err.$n"; fail "'$line' exited $status"; }
    done <"$work/$1.commands"
}
commands "$src/README.md" "" >"$work/readme.commands"
commands "$src/docs/cli.md" "## Examples" >"$work/cli.commands"
[ "$(wc -l <"$work/readme.commands")" -ge 8 ] || { cat "$work/readme.commands"; fail "README: too few examples found"; }
[ "$(wc -l <"$work/cli.commands")" -ge 10 ] || { cat "$work/cli.commands"; fail "docs/cli.md: too few examples found"; }
run_all readme
run_all cli

# What the examples promise.
[ -s "$work/cli/shot.png" ] || fail "no screenshot"
cmp -s "$work/cli/demo.kgd" "$work/cli/again.kgd" || fail "the unpacked demo builds another game"
grep -qx 42 "$work/cli/out.$(grep -n "^kestrin script -e" "$work/cli.commands" | cut -d: -f1)" || fail "script -e result"
[ -d "$work/readme/demo-project" ] || fail "the README's unpack wrote nothing"

# The example project of docs/project-format.md is the project in the tree, file for file.
python3 - "$src" <<'PY' || fail "docs/project-format.md's example differs from tests/projects/tutorial"
import re, sys, os
src = sys.argv[1]
doc = open(os.path.join(src, "docs/project-format.md"), encoding="utf-8").read()
example = doc[doc.index("## Example"):]
blocks = re.findall(r"^`([^`]+)`[^\n]*:\n\n```[a-z]*\n(.*?)```\n", example, re.S | re.M)
assert len(blocks) >= 8, "too few files in the example"
for path, text in blocks:
    with open(os.path.join(src, "tests/projects/tutorial", path), encoding="utf-8") as f:
        if f.read() != text:
            sys.exit("differs: " + path)
PY
"$kestrin" run --headless --fast --frames 100 "$src/tests/projects/tutorial" >"$work/tutorial" 2>&1 ||
    { cat "$work/tutorial"; fail "the example project does not play"; }
printf 'hello, the ball\naround again\n' | cmp -s - "$work/tutorial" || { cat "$work/tutorial"; fail "the example project's output"; }

# The run options of the manual are the options of the help text, and no help text says a
# part is still missing.
"$kestrin" run --help >"$work/help"
for option in $(grep '^| `--' "$src/docs/cli.md" | sed 's/^| `\(--[a-z-]*\).*/\1/'); do
    grep -q -- "$option" "$work/help" || fail "$option is documented but not in kestrin run --help"
done
for command in run build unpack info script; do
    "$kestrin" "$command" --help | grep -qi "still being built\|not yet" && fail "kestrin $command --help says a part is missing"
done
echo ok
