#!/usr/bin/env bash
# Opens the editor under Wine, optionally with a list file:
#
#   scripts/run.sh [list.plw]
#
# On a fresh Debian machine it first installs what is missing and builds the Windows program.
# With a $DISPLAY the editor opens there and the script waits until it is closed; without one
# it runs in a private Xvfb display and is stopped after the screenshot. Either way a picture
# of the window, taken about 3 s after start, is written to build/screenshot.png.
#
# Environment:
#   PALLOMAR_WIN_BUILD   Windows build folder (default build/win)
#   WINEPREFIX           Wine prefix          (default build/wineprefix)
#   PALLOMAR_SHOT_DELAY  seconds before the screenshot (default 3)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${PALLOMAR_WIN_BUILD:-$root/build/win}"
shot="$root/build/screenshot.png"
delay="${PALLOMAR_SHOT_DELAY:-3}"
list="${1:-}"

if [[ -n "$list" && ! -e "$list" ]]; then
  echo "run.sh: no such file: $list" >&2
  exit 2
fi

# shellcheck source=lib.sh
. "$root/scripts/lib.sh"
pallomar_install run

# Build (or bring up to date) the program only; the tests are scripts/test.sh's business.
# The logs and the screenshot go to build/, which a fresh clone does not have yet.
mkdir -p "$root/build" "$(dirname "$shot")"
pallomar_build_windows_target "$build" pallomar >"$root/build/run-build.log" 2>&1 ||
  {
    tail -n 40 "$root/build/run-build.log"
    exit 1
  }
exe="$build/main/pallomar.exe"

user_display="${DISPLAY:-}"
export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
PALLOMAR_WINE_TRAP=0
# Prefix, locale and (without a display) a private Xvfb.
# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"

wine_pid=""
stop() {
  pallomar_stop_pid "$wine_pid"
  pallomar_wine_cleanup
}
pallomar_traps stop

args=()
if [[ -n "$list" ]]; then
  # The program sees a Windows path, the way Explorer would hand it over.
  args+=("$(winepath -w "$(realpath "$list")" 2>/dev/null)")
fi
log="$root/build/run-wine.log"
wine "$exe" "${args[@]}" >"$log" 2>&1 </dev/null &
wine_pid=$!

# The window, once it is there (its caption starts with the program's name).
window="$(pallomar_wait_window '^Pallomar Ver' "$wine_pid")" || window=""
sleep "$delay"
if [[ -n "$window" ]] && import -window "$window" "$shot" 2>/dev/null; then
  :
else
  import -window root "$shot"
fi
echo "screenshot: $shot"

if [[ -n "$user_display" ]]; then
  echo "run.sh: the editor is open on $user_display; close it to end"
  wait "$wine_pid" || true
  wine_pid=""
fi
