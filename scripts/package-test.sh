#!/usr/bin/env bash
# The release zip as a Windows user meets it: its contents are checked, then it is unpacked into
# a new Wine prefix under C:\ツール\表\ (表 ends in the byte 0x5C, a backslash) and used from
# there. The editor opens a list given on its command line; its caption and rows are read; an
# entry is added and the list saved over itself through File > Save As, and the bytes compared;
# Help > Help Topics (typed as a user would, Alt+H H) must send the viewer to pallomar.hlp in the
# program's folder; plwtool.exe shows and checks the saved list.
#
#   scripts/package-test.sh dist/pallomar-VERSION-win64.zip
#
# The editor is looked at from a second process (package_probe.exe, built with the Windows
# tests; PALLOMAR_WIN_BUILD, default build/win). The prefix and its display are this test's
# own and are removed afterwards.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=lib.sh
. "$root/scripts/lib.sh"
# shellcheck source=release-files.sh
. "$root/scripts/release-files.sh"
zip="${1:?usage: package-test.sh ZIP}"
zip="$(cd "$(dirname "$zip")" && pwd)/$(basename "$zip")"
build="${PALLOMAR_WIN_BUILD:-$root/build/win}"
probe_exe="$build/main/package_probe.exe"
[[ -f "$probe_exe" ]] || pallomar_build_windows_target "$build" package_probe >/dev/null

failures=0
fail() {
  echo "package-test: FAILED: $*"
  failures=$((failures + 1))
}
# Compares a fact the probe or a program printed with the expected text.
expect() {
  local what="$1" want="$2" got="$3"
  if [[ "$got" == "$want" ]]; then
    echo "ok: $what"
  else
    fail "$what"
    printf '  expected: %s\n  got:      %s\n' "$want" "$got"
  fi
}

# --- what the zip holds ---
base="$(basename "$zip" .zip)"
[[ "$base" =~ ^pallomar-([0-9.]+)-win64$ ]] || {
  echo "package-test: FAILED: $zip is not named pallomar-VERSION-win64.zip"
  exit 1
}
folder="pallomar-${BASH_REMATCH[1]}"
expected_files=()
for f in "${pallomar_programs[@]##*/}" "${pallomar_documents[@]}"; do
  expected_files+=("$folder/$f")
done
for f in "${pallomar_help_files[@]}"; do
  unzip -Z1 "$zip" "$folder/$f" >/dev/null 2>&1 || fail "the package lacks $f"
  expected_files+=("$folder/$f")
done
expect "the zip holds one folder with exactly its files" \
  "$(printf '%s\n' "${expected_files[@]}" | LC_ALL=C sort)" "$(unzip -Z1 "$zip" | LC_ALL=C sort)"

# --- a new prefix, under a Japanese folder whose name ends in the byte 0x5C ---
work="$(mktemp -d -t pallomar-package.XXXXXX)"
unset DISPLAY
export WINEPREFIX="$work/prefix"
PALLOMAR_WINE_TRAP=0
# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
editor_pid=""
finish() {
  pallomar_stop_pid "$editor_pid"
  pallomar_wine_cleanup
  rm -rf "$work"
}
pallomar_traps finish
pallomar_wine_keep_server

place="$WINEPREFIX/drive_c/ツール/表"
mkdir -p "$place" "$WINEPREFIX/drive_c/probe"
unzip -q "$zip" -d "$place"
cp "$probe_exe" "$WINEPREFIX/drive_c/probe/"
win_place='C:\ツール\表'
win_program="$win_place\\$folder"

readme="$place/$folder/readme.txt"
expect "readme.txt starts with a UTF-8 byte-order mark" efbbbf "$(head -c 3 "$readme" | od -An -tx1 | tr -d ' ')"
expect "readme.txt has CR LF line ends only" 0 "$(LC_ALL=C grep -c -v $'\r$' "$readme" || true)"
expect "readme.txt is Japanese first, then English" "Japanese before English" "$(
  ja="$(grep -n -m1 'インストール' "$readme" | cut -d: -f1)"
  en="$(grep -n -m1 'Nothing is installed' "$readme" | cut -d: -f1)"
  [[ -n "$ja" && -n "$en" && "$ja" -lt "$en" ]] && echo "Japanese before English"
)"
expect "LICENSE.txt is the MIT licence of the Pallomar team" 2 "$(
  grep -c -E 'Copyright \(c\) 2026 Pallomar team|^Permission is hereby granted, free of charge' \
    "$place/$folder/LICENSE.txt"
)"

# Runs a Windows program with its output in a file (Wine's helpers hold pipes open).
run_wine() {
  local out="$1"
  shift
  (cd "$WINEPREFIX/drive_c" && timeout -k 5 60 wine "$@" >"$out" 2>"$out.err" </dev/null)
}
probe() {
  run_wine "$work/probe.out" 'C:\probe\package_probe.exe' "$@" || true
  # Its own complaints go to the screen as well.
  grep -a '^probe: ' "$work/probe.out" >&2 || true
  cat "$work/probe.out"
}
fact() { sed -n "s/^$1: //p" <<<"$2"; }

# A list in the editor's own format: one entry per kind of field, paths that exist.
list_name='一覧表.plw'
sjis() { iconv -f UTF-8 -t CP932; }
printf '102\r\n%s\r\n-x\r\nc:\\windows\r\n1\r\nTrue\r\n%s\r\nshow\r\n%s\r\n2\r\nFalse\r\n' \
  'c:\windows\notepad.exe' "$win_program\\plwtool.exe" "$win_place" | sjis >"$place/$list_name"
added="$win_program\\pallomar.exe"
{
  cat "$place/$list_name"
  printf '%s\r\n\r\n\r\n0\r\nTrue\r\n' "$added" | sjis
} >"$work/expected.plw"

# --- the editor ---
caption="Pallomar Ver. 1.02 - $win_place\\$list_name"
(cd "$WINEPREFIX/drive_c" &&
  exec wine "$win_program\\pallomar.exe" "$win_place\\$list_name" >"$work/editor.log" 2>&1 </dev/null) &
editor_pid=$!

out="$(probe show)"
expect "caption after opening the list" "$caption" "$(fact caption "$out")"
expect "rows after opening" 2 "$(fact rows "$out")"
expect "row 1" '実行するファイル : c:\windows\notepad.exe||実行パラメータ : -x||作業フォルダ : c:\windows||ウィンドウサイズ : 最大化||実行中チェック : する' "$(fact 'row 1' "$out")"
expect "row 2" "実行するファイル : $win_program\\plwtool.exe||実行パラメータ : show||作業フォルダ : $win_place||ウィンドウサイズ : 最小化||実行中チェック : しない" "$(fact 'row 2' "$out")"

out="$(probe add "$added")"
expect "rows after adding" 3 "$(fact rows "$out")"
out="$(probe save)"
expect "the save dialog offers the open list's name" "$list_name" "$(fact 'dialog name' "$out")"
expect "saving over it asks first" '既存のファイルを選択しました。||ファイルを更新しますか？' "$(fact question "$out")"
expect "caption after saving" "$caption" "$(fact caption "$out")"
if cmp -s "$work/expected.plw" "$place/$list_name"; then
  echo "ok: the saved list has the added entry, byte for byte"
else
  fail "the saved list differs"
  od -c "$place/$list_name" | head -n 20
fi

# --- the help, through the menu as typed ---
form="$(pallomar_wait_window '^Pallomar Ver' "$editor_pid" 10)" || form=""
if [[ -z "$form" ]]; then
  fail "the editor's window is not on the display"
else
  xdotool windowfocus --sync "$form" 2>/dev/null || true
  xdotool key --delay 100 alt+h
  sleep 0.5
  xdotool key h
  out="$(probe help)"
  printf '%s\n' "$out" | sed 's/^/  /'
  if [[ -n "$(fact 'viewer window' "$out")" && -z "$(fact 'viewer box' "$out")" ]]; then
    echo "ok: the viewer shows pallomar.hlp from the program's folder"
  else
    fail "the viewer did not show pallomar.hlp from $win_program"
  fi
fi

probe exit >/dev/null
for ((i = 0; i < 100; i++)); do
  kill -0 "$editor_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$editor_pid" 2>/dev/null; then
  fail "the editor did not exit after File > Exit"
else
  editor_pid=""
fi

# --- plwtool from the package, on the saved list ---
rc=0
run_wine "$work/show.out" "$win_program\\plwtool.exe" show "$win_place\\$list_name" || rc=$?
expect "plwtool show: status" 0 "$rc"
shown="$(iconv -f CP932 -t UTF-8 "$work/show.out" | tr -d '\r' | sed 's/  */ /g; s/ *$//')"
expect "plwtool show: the saved list's rows" \
  "$(printf '%s\n' \
    '番号 実行するファイル 実行パラメータ 作業フォルダ ウィンドウサイズ 実行中チェック' \
    ' 1 c:\windows\notepad.exe -x c:\windows 最大化 する' \
    " 2 $win_program\\plwtool.exe show $win_place 最小化 しない" \
    " 3 $added 通常 する")" "$shown"
rc=0
run_wine "$work/check.out" "$win_program\\plwtool.exe" check "$win_place\\$list_name" || rc=$?
expect "plwtool check: status" 0 "$rc"
expect "plwtool check: findings" "$win_place\\$list_name: no findings" \
  "$(iconv -f CP932 -t UTF-8 "$work/check.out" | tr -d '\r')"

if ((failures)); then
  echo "package-test: $failures check(s) failed"
  exit 1
fi
echo "package-test: passed (unpacked under $win_place, editor, help and plwtool)"
