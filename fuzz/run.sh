#!/usr/bin/env bash
# Builds a fuzz target with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and
# runs it from its seed corpus.
#   fuzz/run.sh [seconds] [build folder] [list|json|shortcut]
# list: the list-file parse against the plain reference reader, and the writer's round trip.
# json: plwtool's JSON import; whatever it accepts must export and import back the same.
# shortcut: plwtool's shortcut reader; whatever it accepts must give an entry a list can hold.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
seconds="${1:-600}"
out="${2:-$root/build/fuzz}"
target="${3:-list}"
entrylist=("$root/entrylist/src/entry_list.cpp" "$root/entrylist/src/errors.cpp"
  "$root/entrylist/src/list_file.cpp" "$root/entrylist/src/list_parse.cpp"
  "$root/entrylist/src/file_system_posix.cpp")
flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
  -I"$root/entrylist/include" -I"$root/entrylist/src" -I"$root/texts")
case "$target" in
  list)
    sources=("$here/list_file_fuzz.cpp" "$here/texts_ascii.cpp" "${entrylist[@]}")
    seeds="$here/corpus"
    ;;
  json)
    sources=("$here/json_import_fuzz.cpp" "$here/texts_ascii.cpp" "${entrylist[@]}"
      "$root/tools/plwtool/src/json.cpp" "$root/tools/plwtool/src/list_form.cpp"
      "$root/tools/plwtool/src/shown_text.cpp" "$root/tools/plwtool/src/sjis_text.cpp"
      "$root/entrylist/src/codepage.cpp" "$root/entrylist/src/entry_fields.cpp"
      "$root/tools/plwtool/src/host_posix.cpp")
    flags+=(-I"$root/tools/plwtool/src")
    seeds="$here/json_corpus"
    ;;
  shortcut)
    sources=("$here/shortcut_fuzz.cpp" "$here/texts_ascii.cpp" "${entrylist[@]}"
      "$root/entrylist/src/model.cpp" "$root/entrylist/src/paths.cpp"
      "$root/entrylist/src/codepage.cpp" "$root/entrylist/src/entry_fields.cpp"
      "$root/tools/plwtool/src/shortcut_file.cpp"
      "$root/tools/plwtool/src/shortcuts.cpp" "$root/tools/plwtool/src/list_form.cpp"
      "$root/tools/plwtool/src/json.cpp" "$root/tools/plwtool/src/shown_text.cpp"
      "$root/tools/plwtool/src/sjis_text.cpp" "$root/tools/plwtool/src/host_posix.cpp")
    flags+=(-I"$root/tools/plwtool/src")
    seeds="$here/shortcut_corpus"
    ;;
  *)
    echo "usage: $0 [seconds] [build folder] [list|json|shortcut]" >&2
    exit 2
    ;;
esac
mkdir -p "$out/corpus-$target"
clang++-14 "${flags[@]}" "${sources[@]}" -o "$out/${target}_fuzz"
# New inputs go to the build folder; the repository keeps only the small seeds.
exec "$out/${target}_fuzz" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
  -artifact_prefix="$out/$target-" "$out/corpus-$target" "$seeds"
