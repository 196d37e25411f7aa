#!/usr/bin/env bash
# Builds the list-file fuzzer with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs it from the seed corpus. Usage: fuzz/run.sh [seconds] [build folder]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
seconds="${1:-600}"
out="${2:-$root/build/fuzz}"
mkdir -p "$out/corpus"
clang++-14 -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root/entrylist/include" -I"$root/entrylist/src" -I"$root/texts" \
  "$here/list_file_fuzz.cpp" "$here/texts_ascii.cpp" \
  "$root/entrylist/src/entry_list.cpp" "$root/entrylist/src/errors.cpp" \
  "$root/entrylist/src/list_file.cpp" "$root/entrylist/src/file_io.cpp" \
  -o "$out/list_file_fuzz"
# New inputs go to the build folder; the repository keeps only the small seeds.
exec "$out/list_file_fuzz" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
  -artifact_prefix="$out/" "$out/corpus" "$here/corpus"
