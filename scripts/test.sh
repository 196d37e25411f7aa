#!/usr/bin/env bash
# Builds Pallomar both ways and runs every test: natively (ASan+UBSan) and the Windows build
# under Wine in a private Xvfb display. Works on a fresh Debian machine: what is missing is
# installed first.
#
#   scripts/test.sh [--native-only | --windows-only] [--no-install]
#
# Environment:
#   PALLOMAR_NATIVE_BUILD  native build folder   (default build/native)
#   PALLOMAR_WIN_BUILD     Windows build folder  (default build/win)
#   WINEPREFIX             Wine prefix           (default build/wineprefix)
#   PALLOMAR_JOBS          parallel build and native test jobs (default 2)
#   PALLOMAR_WINE_JOBS     parallel Wine tests (default 1: the tests share one display)
#
# Prints one summary line per build and, last, "N passed, N failed" over both. Exits non-zero
# on any failure, a build that fails, or a build that ran no test.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
run_native=1
run_windows=1
install=1
for arg in "$@"; do
  case "$arg" in
    --native-only) run_windows=0 ;;
    --windows-only) run_native=0 ;;
    --no-install) install=0 ;;
    -h | --help)
      sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$0"
      exit 0
      ;;
    *)
      echo "test.sh: unknown option $arg (try --help)" >&2
      exit 2
      ;;
  esac
done
if ((!run_native && !run_windows)); then
  echo "test.sh: --native-only and --windows-only exclude each other" >&2
  exit 2
fi

native_build="${PALLOMAR_NATIVE_BUILD:-$root/build/native}"
win_build="${PALLOMAR_WIN_BUILD:-$root/build/win}"
export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
jobs="${PALLOMAR_JOBS:-2}"
wine_jobs="${PALLOMAR_WINE_JOBS:-1}"
started=$(date +%s)

say() { printf '\n== %s\n' "$*"; }

ctest_pid=""
cleanup() {
  if [[ -n "$ctest_pid" ]]; then
    kill -TERM -- "-$ctest_pid" 2>/dev/null || true
    wait "$ctest_pid" 2>/dev/null || true
  fi
  if declare -F pallomar_wine_cleanup >/dev/null; then
    pallomar_wine_cleanup
  fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

as_root() {
  if (($(id -u) == 0)); then
    "$@"
  else
    sudo "$@"
  fi
}

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'
}

install_missing() {
  local packages=(
    cmake make g++ clang googletest libgtest-dev libgmock-dev libbenchmark-dev
    mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    wine wine64 xvfb xauth fonts-ipafont-gothic fonts-wine locales xdotool imagemagick
    util-linux coreutils clang-format git zip unzip man-db groff-base tidy
  )
  local missing=() p
  for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    say "installing: ${missing[*]}"
    as_root apt-get update
    # With recommends: Wine and Xvfb work as packaged, not as a guessed minimum.
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
  fi
}

# Japanese file names and arguments only reach Wine intact under a UTF-8 Japanese locale.
ensure_locale() {
  if locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\{0,1\}8'; then
    return 0
  fi
  say "generating the ja_JP.UTF-8 locale"
  if command -v locale-gen >/dev/null && [[ -f /etc/locale.gen ]]; then
    # Listed in locale.gen, a later locale-gen run keeps it.
    if grep -q '^# *ja_JP.UTF-8 UTF-8' /etc/locale.gen; then
      as_root sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    elif ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen; then
      echo 'ja_JP.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    fi
    as_root locale-gen
  else
    as_root localedef -i ja_JP -c -f UTF-8 ja_JP.UTF-8
  fi
}

# Runs "$@" with its output in a log; shows the end of the log if it fails.
logged() {
  local log="$1"
  shift
  if ! "$@" >"$log" 2>&1; then
    tail -n 100 "$log"
    echo "failed: $* (full log: $log)"
    return 1
  fi
}

# Runs ctest verbosely into a log, shows one line per test, and sums the results (see
# ctest-summary.awk for how cases are counted).
# Sets: summary_line, build_passed, build_failed.
run_ctest() {
  local label="$1" dir="$2" parallel="$3" log="$2/ctest.log" rc=0
  # CTest runs in its own process group, in the background: a signal to this script then
  # runs the trap at once, and the trap can stop CTest with every test it started.
  # Live: one line per finished test; everything else goes to the log.
  : >"$log"
  setsid ctest --test-dir "$dir" -V -j "$parallel" --timeout 300 >"$log" 2>&1 </dev/null &
  ctest_pid=$!
  # Parameterised names carry their raw parameter bytes and CTest pads every name to the
  # longest: shorten both for the screen.
  tail -n +1 -f --pid="$ctest_pid" "$log" |
    LC_ALL=C grep -a --line-buffered -E '^ *[0-9]+/[0-9]+ Test +#' |
    LC_ALL=C sed -u -E 's/  # GetParam\(\) = .*( \.{3,} )/\1/; s/ \.{3,} *(\*\*\*)?/ ... \1/' &
  local viewer=$!
  set +e
  wait "$ctest_pid"
  rc=$?
  ctest_pid=""
  wait "$viewer"
  set -e
  local result
  result="$(LC_ALL=C awk -v label="$label" -v logfile="$log" -f "$root/scripts/ctest-summary.awk" "$log")"
  # The programs print Shift-JIS; shown here in the terminal's UTF-8 (the log keeps the bytes).
  printf '%s\n' "$result" | LC_ALL=C grep -a -v '^@@ ' | iconv -f CP932 -t UTF-8 -c || true
  local tally
  tally="$(printf '%s\n' "$result" | LC_ALL=C grep -a '^@@ ' | tail -n 1)"
  build_passed="$(cut -d' ' -f2 <<<"$tally")"
  build_failed="$(cut -d' ' -f3 <<<"$tally")"
  summary_line="$(cut -d' ' -f4- <<<"$tally")"
  if ((rc != 0 && build_failed == 0)); then
    # CTest failed without a failing test (it could not start, or found a broken test list).
    tail -n 30 "$log"
    build_failed=1
  fi
}

total_passed=0
total_failed=0
summaries=()
status=0

record() {
  total_passed=$((total_passed + build_passed))
  total_failed=$((total_failed + build_failed))
  summaries+=("$summary_line")
  ((build_failed == 0)) || status=1
}

if ((install)); then
  install_missing
  ensure_locale
fi

if ((run_native)); then
  say "native build ($native_build, ASan+UBSan)"
  t0=$(date +%s)
  mkdir -p "$native_build"
  if logged "$native_build/configure.log" \
    cmake -S "$root" -B "$native_build" -DPALLOMAR_SANITIZE=ON &&
    logged "$native_build/build.log" cmake --build "$native_build" -j "$jobs"; then
    say "native tests"
    run_ctest native "$native_build" "$jobs"
  else
    build_passed=0 build_failed=1 summary_line="native: build failed"
  fi
  record
  echo "native: $(($(date +%s) - t0)) s"
fi

if ((run_windows)); then
  say "Windows build ($win_build, mingw-w64, static)"
  t0=$(date +%s)
  mkdir -p "$win_build"
  if logged "$win_build/configure.log" \
    cmake -S "$root" -B "$win_build" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine-emulator.sh" &&
    logged "$win_build/build.log" cmake --build "$win_build" -j "$jobs"; then
    say "Wine prefix and display"
    unset DISPLAY
    PALLOMAR_WINE_TRAP=0
    # shellcheck source=wine-env.sh
    . "$root/scripts/wine-env.sh"
    pallomar_wine_keep_server
    echo "prefix $WINEPREFIX, display $DISPLAY (Xvfb pid $PALLOMAR_XVFB_PID)"
    say "Windows tests (under Wine)"
    run_ctest windows "$win_build" "$wine_jobs"
    pallomar_wine_cleanup
  else
    build_passed=0 build_failed=1 summary_line="windows: build failed"
  fi
  record
  echo "windows: $(($(date +%s) - t0)) s"
fi

say "summary ($(($(date +%s) - started)) s)"
printf '%s\n' "${summaries[@]}"
echo "$total_passed passed, $total_failed failed"
exit "$status"
