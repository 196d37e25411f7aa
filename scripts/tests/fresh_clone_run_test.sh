#!/usr/bin/env bash
# The README's first command as a newcomer meets it: a fresh clone with no build/ folder and
# no Wine prefix, no display, then `scripts/run.sh LIST`. It must exit 0 and leave a
# screenshot of the drawn window, not of an empty screen.
#
#   fresh_clone_run_test.sh SOURCE_TREE
set -euo pipefail

source_tree="$1"
work="$(mktemp -d)"
clone="$work/clone"
run_pid=""
cleanup() {
  if [[ -n "$run_pid" ]] && kill -0 "$run_pid" 2>/dev/null; then
    kill -TERM "$run_pid" 2>/dev/null || true
    wait "$run_pid" 2>/dev/null || true
  fi
  # The clone's own prefix and display are run.sh's to stop; make sure its wineserver is gone.
  if [[ -d "$clone/build/wineprefix" ]]; then
    WINEPREFIX="$clone/build/wineprefix" timeout 30 wineserver -k >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

git clone -q "$source_tree" "$clone"
[[ ! -e "$clone/build" ]] || {
  echo "the clone already has build/"
  exit 1
}

# What the newcomer's shell has: none of the rig's display, prefix or build folders.
env -u DISPLAY -u WINEPREFIX -u PALLOMAR_WIN_BUILD -u PALLOMAR_NATIVE_BUILD -u WINEDEBUG \
  -u PALLOMAR_XVFB_PID -u PALLOMAR_XVFB_LOG -u PALLOMAR_ROOT \
  "$clone/scripts/run.sh" "$clone/tools/plwtool/examples/sample.plw" \
  >"$work/run.log" 2>&1 </dev/null &
run_pid=$!
rc=0
wait "$run_pid" || rc=$?
run_pid=""
if ((rc != 0)); then
  cat "$work/run.log"
  echo "scripts/run.sh exited $rc"
  exit 1
fi

shot="$clone/build/screenshot.png"
grep -qx "screenshot: $shot" "$work/run.log" || {
  cat "$work/run.log"
  echo "run.sh did not name its screenshot"
  exit 1
}
[[ -s "$shot" ]] || {
  echo "no screenshot at $shot"
  exit 1
}
# The window's own picture: smaller than the 1280x1024 screen it falls back to, about the
# window's size, and drawn (buttons, list and text give it many colours; an empty screen has one).
read -r width height colours < <(identify -format '%w %h %k\n' "$shot" | head -n 1)
echo "screenshot ${width}x${height}, ${colours} colours"
if ((width < 400 || width >= 1280 || height < 300 || height >= 1024 || colours < 16)); then
  echo "the screenshot is not a picture of the drawn window"
  exit 1
fi
