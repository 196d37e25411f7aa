#!/usr/bin/env bash
# `cmake --install` of a native build into a new prefix: plwtool runs from its bin folder and
# `man -l` renders its manual page without a warning.
#
#   install_test.sh BUILD_DIR SAMPLE.plw
set -euo pipefail
build="$1"
sample="$2"
prefix="$(mktemp -d -t pallomar-install.XXXXXX)"
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 || {
  cat "$prefix.log"
  echo "install_test: cmake --install failed"
  exit 1
}
rm -f "$prefix.log"
status=0
tool="$prefix/bin/plwtool"
page="$(find "$prefix" -path '*/man1/plwtool.1' | head -n 1)"
[[ -x "$tool" ]] || {
  echo "install_test: no $prefix/bin/plwtool"
  status=1
}
[[ -n "$page" && "$page" == "$prefix/share/man/man1/plwtool.1" ]] || {
  echo "install_test: the manual page is not at share/man/man1/plwtool.1 (found: ${page:-none})"
  status=1
}
((status == 0)) || exit 1

if ! "$tool" show "$sample" | grep -q 'notepad\.exe'; then
  echo "install_test: the installed plwtool does not show $sample"
  status=1
fi

# The page holds Japanese words: rendered in a UTF-8 locale, as a Japanese user reads it.
rendered="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>"$prefix/warnings")"
if [[ -s "$prefix/warnings" ]]; then
  echo "install_test: man -l warns:"
  cat "$prefix/warnings"
  status=1
fi
for want in 'PLWTOOL(1)' 'NAME' 'plwtool show FILE' 'EXIT STATUS' '最大化'; do
  if ! grep -qF -- "$want" <<<"$rendered"; then
    echo "install_test: the rendered page lacks \"$want\""
    status=1
  fi
done
((status == 0)) && echo "install_test: plwtool and its manual page installed; man -l renders it"
exit "$status"
