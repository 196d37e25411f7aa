#!/usr/bin/env bash
# Builds every fuzz target and runs each for a short time from a copy of its seeds, so that a
# target that no longer builds, or finds a fault, fails the run. A finding is kept in the build
# folder, named by its target.
#   fuzz/ci.sh [seconds per target] [build folder]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
seconds="${1:-30}"
out="${2:-$root/build/fuzz}"
targets=(list json shortcut)
failed=()
for target in "${targets[@]}"; do
  # A fresh corpus each run: what an earlier run found cannot hide what this one would.
  rm -rf "$out/corpus-$target"
  log="$out/$target.log"
  mkdir -p "$out"
  if "$here/run.sh" "$seconds" "$out" "$target" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz $target: ${runs:-?} inputs in ${seconds} s, no finding"
  else
    echo "fuzz $target: FAILED (the end of $log follows)" >&2
    tail -n 40 "$log" >&2
    failed+=("$target")
  fi
done
if ((${#failed[@]})); then
  echo "fuzz: ${failed[*]} failed" >&2
  exit 1
fi
