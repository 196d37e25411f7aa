#!/usr/bin/env bash
# Help > Help Topics typed as a user would (Alt+H, then H), where the system has no viewer for
# the help file and where it has one. In a prefix of this test's own, removed afterwards:
#
#   help_browser_test.sh PALLOMAR.EXE PACKAGE_PROBE.EXE PAGE_OPENER.EXE
#
# At Windows 10 the page beside the program must go to the program registered for .html (a
# stand-in that records the path it was given) and no help viewer may start; without the page
# the editor must say which file it missed. At Windows 7 Wine's viewer must show the help file.
set -uo pipefail

editor_exe="$1" probe_exe="$2" opener_exe="$3"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
help_dir="$(dirname "$editor_exe")"
work="$(mktemp -d -t pallomar-helpweb.XXXXXX)"
unset DISPLAY
export WINEPREFIX="$work/prefix"
PALLOMAR_WINE_TRAP=0
editor_pid=""
finish() {
  pallomar_stop_pid "$editor_pid"
  pallomar_wine_cleanup
  rm -rf "$work"
}
# shellcheck source=../lib.sh
. "$root/scripts/lib.sh" || exit 1
pallomar_traps finish
# shellcheck source=../wine-env.sh
. "$root/scripts/wine-env.sh" || exit 1
pallomar_wine_keep_server

# The program in a folder whose last name ends in the byte 0x5C (表), as a user may unpack it.
place="$WINEPREFIX/drive_c/ヘルプ/表"
win_place='C:\ヘルプ\表'
mkdir -p "$place" "$WINEPREFIX/drive_c/opener" "$WINEPREFIX/drive_c/probe"
cp "$editor_exe" "$help_dir/pallomar.hlp" "$help_dir/pallomar.cnt" "$help_dir/pallomar-help.html" \
  "$place/" || exit 1
cp "$probe_exe" "$WINEPREFIX/drive_c/probe/" && cp "$opener_exe" "$WINEPREFIX/drive_c/opener/" ||
  exit 1
opened="$WINEPREFIX/drive_c/opener/opened.txt"

failures=0
fail() {
  echo "help_browser_test: FAILED: $*"
  failures=$((failures + 1))
}
ok() { echo "ok: $*"; }
run_wine() {
  local out="$1"
  shift
  (cd "$WINEPREFIX/drive_c" && timeout -k 5 60 wine "$@" >"$out" 2>"$out.err" </dev/null)
}
reg_add() {
  run_wine "$work/reg.log" reg add "$@" /f || {
    cat "$work/reg.log" "$work/reg.log.err"
    exit 1
  }
}
probe() {
  run_wine "$work/probe.out" 'C:\probe\package_probe.exe' "$@" || true
  grep -a '^probe: ' "$work/probe.out" >&2 || true
  cat "$work/probe.out"
}
fact() { sed -n "s/^$1: //p" <<<"$2"; }

# The stand-in browser takes over .html from Wine's own.
opener_id=PallomarPageOpener
reg_add 'HKCR\.html' /ve /d "$opener_id"
reg_add "HKCR\\$opener_id\\shell\\open\\command" /ve /d '"C:\opener\page_opener.exe" "%1"'

start_editor() {
  (cd "$WINEPREFIX/drive_c" &&
    exec wine "$win_place\\pallomar.exe" >"$work/editor.log" 2>&1 </dev/null) &
  editor_pid=$!
  probe show >/dev/null # returns once the window is up
}
stop_editor() {
  probe exit >/dev/null
  for ((i = 0; i < 100; i++)); do
    kill -0 "$editor_pid" 2>/dev/null || break
    sleep 0.1
  done
  pallomar_stop_pid "$editor_pid"
  editor_pid=""
}
type_help() {
  local form
  if ! form="$(pallomar_wait_window '^Pallomar Ver' "$editor_pid" 20)"; then
    fail "the editor's window is not on the display"
    return 1
  fi
  # A click on the caption: the page's program may have taken the activation, and without a
  # window manager only the mouse gives it back.
  xdotool mousemove --window "$form" 150 8 click 1 2>/dev/null || true
  sleep 0.3
  xdotool windowfocus --sync "$form" 2>/dev/null || true
  xdotool key --delay 100 alt+h
  sleep 0.5
  xdotool key h
}
wait_opened() {
  for ((i = 0; i < 100; i++)); do
    [[ -s "$opened" ]] && return 0
    sleep 0.2
  done
  return 1
}

echo "== Windows 10: the page, in the browser"
reg_add 'HKCU\Software\Wine' /v Version /d win10
start_editor
rm -f "$opened"
type_help
if wait_opened; then
  got="$(iconv -f CP932 -t UTF-8 "$opened")"
  if [[ "$got" == "$win_place\\pallomar-help.html" ]]; then
    ok "the browser was given $got"
  else
    fail "the browser was given '$got', not $win_place\\pallomar-help.html"
  fi
else
  fail "no program was started for the page"
fi
out="$(probe settled)"
printf '%s\n' "$out" | sed 's/^/  /'
[[ "$(fact 'viewer processes' "$out")" == 0 ]] && ok "no help viewer runs" ||
  fail "a help viewer runs"
[[ "$(fact 'editor box' "$out")" == none ]] && ok "no box" || fail "the editor showed a box"

echo "== Windows 10, no page beside the program"
mv "$place/pallomar-help.html" "$work/"
rm -f "$opened"
type_help
out="$(probe settled)"
printf '%s\n' "$out" | sed 's/^/  /'
want="ヘルプ ファイルが見つかりません。||$win_place\\pallomar-help.html"
[[ "$(fact 'editor box' "$out")" == "$want" ]] && ok "the box names the missing page" ||
  fail "the box should say: $want"
[[ ! -e "$opened" ]] && ok "nothing was opened" || fail "a program was started without a page"
[[ "$(fact 'viewer processes' "$out")" == 0 ]] || fail "a help viewer runs"
mv "$work/pallomar-help.html" "$place/"
stop_editor

echo "== Windows 7: Wine's viewer, as before"
reg_add 'HKCU\Software\Wine' /v Version /d win7
start_editor
rm -f "$opened"
type_help
out="$(probe help)"
printf '%s\n' "$out" | sed 's/^/  /'
if [[ -n "$(fact 'viewer window' "$out")" && -z "$(fact 'viewer box' "$out")" ]]; then
  ok "the viewer shows the help file"
else
  fail "the viewer did not show $win_place\\pallomar.hlp"
fi
[[ ! -e "$opened" ]] && ok "no browser" || fail "the page was opened although a viewer exists"
stop_editor

if ((failures)); then
  echo "help_browser_test: $failures check(s) failed"
  exit 1
fi
echo "help_browser_test: passed"
