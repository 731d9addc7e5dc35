#!/bin/sh
# Runs every built fuzz target over its seed corpus plus a bounded number of
# mutated inputs. Usage: run-fuzzers.sh FUZZ_BUILD_DIR RUNS
set -e
dir="$1"
runs="${2:-2000}"
root="$(cd "$(dirname "$0")/.." && pwd)"
status=0
for target in "$dir"/fuzz_*; do
    [ -x "$target" ] || continue
    name="$(basename "$target")"
    corpus="$root/fuzz/corpus/$name"
    work="$(mktemp -d)"
    [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/ 2>/dev/null || true
    echo "== $name ($runs runs)"
    if ! ASAN_OPTIONS=detect_leaks=1 "$target" -runs="$runs" -max_len=65536 -timeout=10 \
            -rss_limit_mb=2048 -seed=1 "$work" >"$work.log" 2>&1; then
        tail -40 "$work.log"
        status=1
    fi
    rm -rf "$work" "$work.log"
done
exit $status
