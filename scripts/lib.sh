# shellcheck shell=bash
# What the scripts share: source it, don't run it.
#
#   . "$root/scripts/lib.sh"
#
# Privileges (as_root), the Debian packages each purpose needs (scripts/packages/*.txt) and
# their installation, the ja_JP.UTF-8 locale, the Windows build's configure step, waiting for
# a window, traps, and stopping a process the calling script started.

# The tree this file is in, never one inherited from a caller in another clone.
PALLOMAR_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export PALLOMAR_ROOT

# Runs "$@" as root: directly when we are root (a fresh Debian has no sudo), else through sudo.
as_root() {
  if (($(id -u) == 0)); then "$@"; else sudo "$@"; fi
}

# The packages of one purpose (run, test, release), one a line: the first word of each line of
# scripts/packages/PURPOSE.txt; "@OTHER" takes OTHER's packages.
pallomar_packages() {
  local file="$PALLOMAR_ROOT/scripts/packages/$1.txt" name
  [[ -f "$file" ]] || {
    echo "lib.sh: no package list $file" >&2
    return 1
  }
  while read -r name _; do
    case "$name" in
      '' | '#'*) ;;
      @*) pallomar_packages "${name#@}" || return 1 ;;
      *) printf '%s\n' "$name" ;;
    esac
  done <"$file"
}

pallomar_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'
}

# The packages of a purpose that are not installed, one a line.
pallomar_missing_packages() {
  local p list
  list="$(pallomar_packages "$1")" || return 1
  for p in $list; do
    pallomar_installed "$p" || printf '%s\n' "$p"
  done
}

# Installs what a purpose needs and is missing, checked with dpkg first so that a warm machine
# installs nothing; then the ja_JP.UTF-8 locale. Recommends come too: Wine and Xvfb work as
# packaged, not as a guessed minimum.
pallomar_install() {
  local missing
  missing="$(pallomar_missing_packages "$1")" || return 1
  if [[ -n "$missing" ]]; then
    # shellcheck disable=SC2086 # one package a word
    echo "installing for '$1':" $missing
    as_root apt-get update
    # shellcheck disable=SC2086
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y $missing
  fi
  pallomar_ensure_locale
}

pallomar_has_ja_locale() {
  locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\{0,1\}8'
}

# Wine's ANSI code page follows the locale: 932 needs a Japanese one, and Japanese file names
# and arguments only reach Wine intact under a UTF-8 one.
pallomar_ensure_locale() {
  pallomar_has_ja_locale && return 0
  echo "generating the ja_JP.UTF-8 locale"
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

# Stops a process the calling script started (its PID, or nothing when empty) if it still runs,
# and waits for it.
pallomar_stop_pid() {
  local pid="$1"
  if [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  return 0
}

# The traps of a script that cleans up after itself: FUNC (a command) on exit, and an interrupt
# or a termination ends the script, through FUNC, with status 130 or 143.
pallomar_traps() {
  # shellcheck disable=SC2064 # the command is meant to be fixed now
  trap "$1" EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
}

# For a script that drives the editor in a private display: Wine set up by wine-env.sh (its own
# trap off), a scratch folder in $work (NAME names it), and a trap that stops the program the
# script starts as $wine_pid, then Wine and the display, and removes $work.
pallomar_private_wine() {
  unset DISPLAY
  export WINEPREFIX="${WINEPREFIX:-$PALLOMAR_ROOT/build/wineprefix}"
  PALLOMAR_WINE_TRAP=0
  # shellcheck source=wine-env.sh
  . "$PALLOMAR_ROOT/scripts/wine-env.sh"
  work="$(mktemp -d -t "pallomar-$1.XXXXXX")"
  wine_pid=""
  pallomar_traps pallomar_private_wine_finish
}
pallomar_private_wine_finish() {
  pallomar_stop_pid "$wine_pid"
  pallomar_wine_cleanup
  rm -rf "$work"
}

# Configures the Windows cross build of the tree SOURCE in BUILD; more cmake options may follow.
pallomar_configure_windows() {
  local source="$1" build="$2"
  shift 2
  cmake -S "$source" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$source/cmake/mingw-w64-x86_64.cmake" "$@"
}

# Builds one target of the Windows build in BUILD (of this tree), configuring it first where
# it is new.
pallomar_build_windows_target() {
  local build="$1" target="$2"
  if [[ ! -f "$build/CMakeCache.txt" ]]; then
    pallomar_configure_windows "$PALLOMAR_ROOT" "$build" || return 1
  fi
  cmake --build "$build" --target "$target" -j "${PALLOMAR_JOBS:-2}"
}

# Waits up to TENTHS tenths of a second (default 100) for a visible window whose name matches
# the pattern and prints its id; gives up at once when PID (if given) has ended.
#
#   pallomar_wait_window PATTERN [PID [TENTHS]]
pallomar_wait_window() {
  local pattern="$1" pid="${2:-}" tenths="${3:-100}" id i
  for ((i = 0; i < tenths; i++)); do
    id="$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1 || true)"
    if [[ -n "$id" ]]; then
      echo "$id"
      return 0
    fi
    [[ -z "$pid" ]] || kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
