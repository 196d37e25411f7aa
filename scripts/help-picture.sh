#!/usr/bin/env bash
# The help page's picture of the editor's window, taken from the real program under Wine in a
# private Xvfb display, with a numbered marker on each part the help names: the title bar, the
# menus and every control with a caption. The numbers are the window's parts in reading order,
# as package_probe finds them in the running window; the help's list under the picture uses
# the same numbers, and helpc_tests holds that list to help/window-parts.txt.
#
#   scripts/help-picture.sh           writes help/window.png and help/window-parts.txt
#   scripts/help-picture.sh --check   exit 1 when the window's parts (places and captions)
#                                     differ from help/window-parts.txt: the picture is stale
#
# Both files are committed, so that building the help (and a release) needs no screen.
# Environment: PALLOMAR_WIN_BUILD (default build/win), WINEPREFIX (default build/wineprefix).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${PALLOMAR_WIN_BUILD:-$root/build/win}"
check=0
[[ "${1:-}" == --check ]] && check=1
picture="$root/help/window.png"
parts_file="$root/help/window-parts.txt"

# shellcheck source=lib.sh
. "$root/scripts/lib.sh"
for target in pallomar package_probe; do
  pallomar_build_windows_target "$build" "$target" >/dev/null
done
exe="$build/main/pallomar.exe"
probe_exe="$build/main/package_probe.exe"

pallomar_private_wine picture

# A list of a few entries, so that the picture shows the list as it is used.
printf '102\r\n%s\r\n\r\n%s\r\n0\r\nTrue\r\n%s\r\n%s\r\n%s\r\n0\r\nTrue\r\n%s\r\n\r\n%s\r\n1\r\nFalse\r\n' \
  'c:\windows\notepad.exe' 'c:\windows' \
  'c:\tools\mail\mail.exe' '/check' 'c:\tools\mail' \
  'c:\documents\today.txt' 'c:\documents' >"$work/sample.plw"
# Opened from a fixed place: its path shows in the caption.
mkdir -p "$WINEPREFIX/drive_c/lists"
cp "$work/sample.plw" "$WINEPREFIX/drive_c/lists/startup.plw"
wine "$exe" 'C:\lists\startup.plw' >"$work/wine.log" 2>&1 </dev/null &
wine_pid=$!
form="$(pallomar_wait_window '^Pallomar Ver' "$wine_pid")" || {
  echo "help-picture: the editor's window did not appear" >&2
  exit 1
}
timeout -k 5 60 wine "$probe_exe" parts >"$work/parts.txt" 2>"$work/probe.err" </dev/null || {
  cat "$work/parts.txt" "$work/probe.err" >&2
  exit 1
}
grep -q $'^1\t' "$work/parts.txt" || {
  echo "help-picture: the probe found no parts:" >&2
  cat "$work/parts.txt" >&2
  exit 1
}

if ((check)); then
  if ! diff -u "$parts_file" "$work/parts.txt"; then
    echo "help-picture: the window's parts changed; run scripts/help-picture.sh and commit" >&2
    exit 1
  fi
  echo "help-picture: help/window-parts.txt matches the window"
  exit 0
fi

sleep 1 # the first paint
import -window "$form" "$work/window.png"

# A marker beside each part; a white margin takes the markers that fall outside the window.
margin=20
radius=10
width="$(identify -format '%w' "$work/window.png")"
height="$(identify -format '%h' "$work/window.png")"
# Numbers are centred on their marker: with gravity center, text is placed from the middle.
mid_x=$(((width + 2 * margin) / 2))
mid_y=$(((height + 2 * margin) / 2))
draw=()
while IFS=$'\t' read -r number left top w h _; do
  # Parts at the right edge (and the title bar, whose left end is the window's icon) are
  # marked at their right end; the rest at their left, where the margin or the form has room.
  if ((left >= 15 && left + w > width - 30)); then
    cx=$((margin + left + w + radius + 2))
  else
    cx=$((margin + left - radius - 2))
  fi
  cy=$((margin + top + h / 2))
  draw+=(-fill '#c00000' -stroke white -strokewidth 1
    -draw "circle $cx,$cy $((cx + radius)),$cy"
    -fill white -stroke none -draw "text $((cx - mid_x)),$((cy - mid_y)) '$number'")
done <"$work/parts.txt"
# Nothing of the clock or the machine goes into the file: the same window gives the same bytes.
convert "$work/window.png" -bordercolor white -border "$margin" \
  -font DejaVu-Sans-Bold -pointsize 11 -gravity center "${draw[@]}" \
  -strip -define png:exclude-chunks=date,time "$picture"
cp "$work/parts.txt" "$parts_file"
echo "help-picture: wrote $picture and $parts_file ($(wc -l <"$parts_file") parts)"
