#!/usr/bin/env bash
# The editor as a person uses it: started under Wine in a private Xvfb display, driven from
# outside by mouse and keyboard (xdotool). It clicks into the path field, types a path, adds
# it with the keyboard, saves the list through Alt+F and the save dialog (a name typed without
# extension), exits with Alt+F X, and compares the saved file's bytes.
#
#   scripts/smoke.sh        exit 0 when the saved bytes are as expected
#
# Environment: PALLOMAR_WIN_BUILD (default build/win), WINEPREFIX (default build/wineprefix).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${PALLOMAR_WIN_BUILD:-$root/build/win}"
exe="$build/main/pallomar.exe"
# shellcheck source=lib.sh
. "$root/scripts/lib.sh"
[[ -f "$exe" ]] || pallomar_build_windows_target "$build" pallomar >/dev/null

# Never drive the user's own screen: always a private display.
pallomar_private_wine smoke

fail() {
  echo "smoke: FAILED: $*"
  import -window root "$root/build/smoke-failure.png" 2>/dev/null &&
    echo "smoke: screen at the failure: $root/build/smoke-failure.png"
  exit 1
}

wine "$exe" >"$work/wine.log" 2>&1 </dev/null &
wine_pid=$!
form="$(pallomar_wait_window '^Pallomar Ver' "$wine_pid")" || fail "the editor's window did not appear"
sleep 1

# Mouse: the focus starts in the path field (Edit1); Tab takes it away, and a click into the
# field must bring it back, or the path typed next goes nowhere and nothing can be saved.
xdotool key Tab
sleep 0.2
# With no window manager the X window is the whole Win32 window; its client area begins
# below the caption and the menu bar.
eval "$(xdotool getwindowgeometry --shell "$form")"
# The layout may be scaled to the font: the window's width tells by how much.
scale_x=$((WIDTH * 1000 / 481))
edit_x=$((4 + (24 + 150) * scale_x / 1000))
edit_y=$((42 + (169 + 10) * scale_x / 1000))
xdotool mousemove --window "$form" "$edit_x" "$edit_y" click 1
sleep 0.3

# Keyboard: type the path, then Tab to the add button (nine steps in tab order) and press it.
xdotool type --delay 30 'c:\tools\run.exe'
xdotool key --delay 60 Tab Tab Tab Tab Tab Tab Tab Tab Tab space
sleep 0.5

# File > Save As with the access keys, then the name without its extension.
xdotool key alt+f
sleep 0.5
xdotool key s
# The dialog: a new captioned window that is neither Form1 nor the taskbar window, both of
# which are named after the program.
dialog=""
for ((i = 0; i < 100; i++)); do
  for id in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
    name="$(xdotool getwindowname "$id" 2>/dev/null || true)"
    [[ -n "$name" && "${name,,}" != pallomar* ]] && dialog="$id" && break
  done
  [[ -n "$dialog" ]] && break
  sleep 0.1
done
[[ -n "$dialog" ]] || fail "the save dialog did not open"
sleep 1
target_unix="$work/smoke"
target_win="$(winepath -w "$target_unix")"
xdotool type --delay 20 "$target_win"
xdotool key Return
for ((i = 0; i < 50; i++)); do
  [[ -f "$target_unix.plw" ]] && break
  sleep 0.1
done
[[ -f "$target_unix.plw" ]] || fail "no file was saved at $target_unix.plw"
sleep 0.5

# File > Exit.
xdotool key alt+f
sleep 0.5
xdotool key x
for ((i = 0; i < 100; i++)); do
  kill -0 "$wine_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$wine_pid" 2>/dev/null && fail "the editor did not exit after File > Exit"
wine_pid=""

printf '102\r\nc:\\tools\\run.exe\r\n\r\n\r\n0\r\nTrue\r\n' >"$work/expected.plw"
if ! cmp -s "$work/expected.plw" "$target_unix.plw"; then
  echo "smoke: expected:" && od -c "$work/expected.plw" | head
  echo "smoke: saved:" && od -c "$target_unix.plw" | head
  fail "the saved list differs"
fi
echo "smoke: passed (typed, added, saved with Alt+F and the save dialog, exited; bytes match)"
