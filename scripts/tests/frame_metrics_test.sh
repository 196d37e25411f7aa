#!/usr/bin/env bash
# Form1 under frames thicker than Wine's classic one and at a higher density: it must open
# with every control in view and no scroll bar. The metrics go into a prefix of this test's
# own, made once and removed afterwards; the shared prefix is never touched.
#
#   frame_metrics_test.sh WINDOW_TESTS.exe
#
# Each case sets the registry, ends the prefix's wineserver so that the next program starts
# with the new values, and runs the window test that checks the opening size.
set -uo pipefail

exe="$1"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
work="$(mktemp -d -t pallomar-frame.XXXXXX)"
export WINEPREFIX="$work/prefix"
PALLOMAR_WINE_TRAP=0
# shellcheck source=../lib.sh
. "$root/scripts/lib.sh"
finish() {
  pallomar_wine_cleanup
  rm -rf "$work"
}
pallomar_traps finish
# shellcheck source=../wine-env.sh
. "$root/scripts/wine-env.sh" || exit 1

metrics='HKCU\Control Panel\Desktop\WindowMetrics'
desktop='HKCU\Control Panel\Desktop'

# set_value KEY NAME TYPE VALUE
set_value() {
  wine reg add "$1" /v "$2" /t "$3" /d "$4" /f >"$work/reg.log" 2>&1 </dev/null && return 0
  cat "$work/reg.log"
  return 1
}

failed=0
# run_case NAME FRAME DPI: FRAME is classic or thick, what the window test is to expect.
run_case() {
  echo "== $1"
  timeout 30 wineserver -k >/dev/null 2>&1 </dev/null || true
  timeout 30 wineserver -w >/dev/null 2>&1 </dev/null || true
  PALLOMAR_EXPECT_FRAME="$2" PALLOMAR_EXPECT_DPI="$3" "$root/scripts/wine-emulator.sh" "$exe" \
    --gtest_color=no --gtest_filter='WindowTest.OpensWithEveryControlInViewWhateverTheFrame' \
    >"$work/case.log" 2>&1
  local rc=$?
  cat "$work/case.log"
  # A filter that matches nothing passes too: the case must really have run.
  if ((rc != 0)) || ! grep -q '^\[  PASSED  \] 1 test\.' "$work/case.log"; then
    echo "frame_metrics_test: FAILED: $1"
    failed=1
  fi
}

run_case "Wine's default metrics" classic 96

# Name, padded border width and caption height in twips (1/1440 inch, so they grow with the
# density), density. Windows 10: a 4-pixel padded border and a 22-pixel caption at 96 dpi;
# Windows 11: 8 and 30.
cases=(
  "Windows 10 frame|-60|-330|96"
  "Windows 11 frame|-120|-450|96"
  "Windows 10 frame at 144 dpi|-60|-330|144"
  "Windows 11 frame at 144 dpi|-120|-450|144"
)
for row in "${cases[@]}"; do
  IFS='|' read -r name padded caption dpi <<<"$row"
  set_value "$metrics" PaddedBorderWidth REG_SZ "$padded" &&
    set_value "$metrics" CaptionHeight REG_SZ "$caption" &&
    set_value "$desktop" LogPixels REG_DWORD "$dpi" || exit 1
  run_case "$name" thick "$dpi"
done

exit "$failed"
