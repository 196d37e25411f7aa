#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs one from its seed corpus.
#   fuzz/run.sh [seconds] [build folder] [list|json|shortcut]
# list: the list-file parse against the plain reference reader, and the writer's round trip.
# json: plwtool's JSON import; whatever it accepts must export and import back the same.
# shortcut: plwtool's shortcut reader; whatever it accepts must give an entry a list can hold.
# New inputs go to the build folder; the repository keeps only the small seeds.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
seconds="${1:-600}"
out="${2:-$root/build/fuzz}"
target="${3:-list}"
case "$target" in
  list) seeds="$here/corpus" ;;
  json) seeds="$here/json_corpus" ;;
  shortcut) seeds="$here/shortcut_corpus" ;;
  *)
    echo "usage: $0 [seconds] [build folder] [list|json|shortcut]" >&2
    exit 2
    ;;
esac
cxx="$(command -v clang++-14 || command -v clang++ || true)"
if [[ -z "$cxx" ]]; then
  echo "fuzz/run.sh: clang++ is needed (Debian: clang, libclang-rt-14-dev)" >&2
  exit 2
fi
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
mkdir -p "$(dirname "$out")"
cmake -S "$here" -B "$out" -DCMAKE_CXX_COMPILER="$cxx" "${launcher[@]}" >"$out.configure.log" 2>&1 ||
  { cat "$out.configure.log" >&2; exit 1; }
cmake --build "$out" --target "${target}_fuzz" -j "${PALLOMAR_JOBS:-2}"
mkdir -p "$out/corpus-$target"
exec "$out/${target}_fuzz" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
  -artifact_prefix="$out/$target-" "$out/corpus-$target" "$seeds"
