#!/bin/sh
# Runs every benchmark executable of a build folder; each prints its ratios against a
# reference measured in the same run, and its peak resident memory.
# Usage: bench/run.sh BUILD_DIR [benchmark options]
set -e
build=${1:?usage: bench/run.sh BUILD_DIR}
shift
found=0
for exe in "$build"/bench/bench_*; do
  [ -x "$exe" ] || continue
  found=1
  echo "== $(basename "$exe")"
  "$exe" "$@"
  echo
done
if [ "$found" = 0 ]; then
  echo "no benchmark executables in $build/bench (is libbenchmark-dev installed?)" >&2
  exit 1
fi
