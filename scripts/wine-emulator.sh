#!/usr/bin/env bash
# Runs one Windows executable under Wine: CTest's emulator for the Windows build.
#
#   scripts/wine-emulator.sh prog.exe [args...]
#
# Uses the prefix and display of scripts/wine-env.sh (test.sh exports both; run alone, this
# sets them up itself and stops its own Xvfb and wineserver afterwards). Wine's output goes to
# a file first and is printed once the program has ended: Wine's helper processes keep any
# pipe they inherit open, which would leave CTest waiting after the test has finished.
#
# Environment:
#   PALLOMAR_WINE_TIMEOUT  seconds before the program is killed (default 240; exit code 124)
#   PALLOMAR_WINE_LOG_DIR  if set, a copy of each run's output is kept there
set -uo pipefail

if (($# == 0)); then
  echo "usage: $0 program.exe [arguments...]" >&2
  exit 2
fi

standalone=0
[[ -z "${DISPLAY:-}" ]] && standalone=1
PALLOMAR_WINE_TRAP=0
# shellcheck source=wine-env.sh
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh" || exit 1
if ((standalone)); then
  pallomar_traps pallomar_wine_cleanup
fi

log="$(mktemp -t pallomar-wine.XXXXXX)"
limit="${PALLOMAR_WINE_TIMEOUT:-240}"
start=$SECONDS
timeout -k 10 "$limit" wine "$@" >"$log" 2>&1 </dev/null
rc=$?
# Once in many runs on a fresh prefix, wine itself returned 1 at once without starting the
# program (not a line of output, not even the test runner's banner). Only that case is run a
# second time: a program that fails on its own prints something or takes longer, and a
# program that dies before printing dies again.
if ((rc != 0 && rc != 124 && rc != 137 && SECONDS - start < 2)) && [[ ! -s "$log" ]]; then
  # The notice goes into the log, so a kept copy shows the second run too.
  echo "wine-emulator: $(basename "$1") exited with status $rc at once and printed nothing; run once more" >"$log"
  timeout -k 10 "$limit" wine "$@" >>"$log" 2>&1 </dev/null
  rc=$?
fi
# The program's own output may be Shift-JIS: pass the bytes through untouched.
cat "$log"
if ((rc == 124 || rc == 137)); then
  echo "wine-emulator: $(basename "$1") killed after ${limit} s (time limit)"
elif ((rc != 0)); then
  # Wine's own loader errors are silenced with WINEDEBUG=-all: say at least that it failed.
  echo "wine-emulator: $(basename "$1") exited with status $rc after $((SECONDS - start)) s"
fi
if [[ -n "${PALLOMAR_WINE_LOG_DIR:-}" ]]; then
  mkdir -p "$PALLOMAR_WINE_LOG_DIR"
  cp "$log" "$PALLOMAR_WINE_LOG_DIR/$(basename "$1" .exe).$$.log"
fi
rm -f "$log"
exit "$rc"
