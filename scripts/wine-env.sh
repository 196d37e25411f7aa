# shellcheck shell=bash
# Wine environment for Pallomar: source it, don't run it.
#
#   . scripts/wine-env.sh          # sets everything up, cleans up when the shell exits
#   wine build/win/main/pallomar.exe list.plw
#
# After sourcing:
#   WINEPREFIX   the private prefix (default: build/wineprefix), created on first use with the
#                X11 driver unmanaged and Japanese font substitutes; a stamp file marks it ready
#   LC_ALL       ja_JP.UTF-8, so Wine's ANSI code page is 932
#   DISPLAY      kept if already set; otherwise a private Xvfb on a free display is started
#   WINEDEBUG    -all (override before sourcing to see Wine's traces)
#
# Cleanup: on EXIT, INT and TERM the Xvfb this file started is stopped by its PID and
# `wineserver -k` ends the prefix's wineserver. A script with its own trap sets
# PALLOMAR_WINE_TRAP=0 before sourcing and calls pallomar_wine_cleanup from its trap.
#
# The Xvfb is a background job of the sourcing shell: wait for your own jobs by PID, since a
# bare `wait` would wait for Xvfb too.
#
# pallomar_wine_keep_server keeps one wineserver up until cleanup (test.sh uses it).
#
# Other knobs: PALLOMAR_XVFB_SCREEN (default 1280x1024x24).

# shellcheck source=lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
export WINEPREFIX="${WINEPREFIX:-$PALLOMAR_ROOT/build/wineprefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No .NET or HTML engine installers: nothing here needs them, and their prompts would block.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export LC_ALL=ja_JP.UTF-8
# Bumped whenever the prefix settings below change, so that old prefixes are redone.
PALLOMAR_PREFIX_VERSION=2
# Kept when sourced again, so that cleanup still knows the Xvfb started the first time.
PALLOMAR_XVFB_PID="${PALLOMAR_XVFB_PID:-}"
PALLOMAR_XVFB_LOG="${PALLOMAR_XVFB_LOG:-}"

pallomar_log() { printf '[wine-env] %s\n' "$*" >&2; }

# Starts Xvfb on the first display whose socket and lock are both absent. Another process
# can take the same number between the check and the start; the lock file names its owner,
# so a lost race is noticed and the next number tried.
pallomar_start_xvfb() {
  local n pid screen="${PALLOMAR_XVFB_SCREEN:-1280x1024x24}" tries
  PALLOMAR_XVFB_LOG="$(mktemp -t pallomar-xvfb.XXXXXX)"
  for ((n = 90; n < 200; n++)); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
    Xvfb ":$n" -screen 0 "$screen" -nolisten tcp -noreset >"$PALLOMAR_XVFB_LOG" 2>&1 &
    pid=$!
    for ((tries = 0; tries < 100; tries++)); do
      kill -0 "$pid" 2>/dev/null || break
      if [[ -S /tmp/.X11-unix/X$n && "$(tr -d ' \n' </tmp/.X$n-lock 2>/dev/null)" == "$pid" ]]; then
        PALLOMAR_XVFB_PID=$pid
        export DISPLAY=":$n"
        return 0
      fi
      sleep 0.1
    done
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  pallomar_log "could not start Xvfb:"
  cat "$PALLOMAR_XVFB_LOG" >&2
  return 1
}

# The prefix settings, in regedit's format. No window manager: an unmanaged X11 driver
# closes windows at once (a managed one costs about 2 s per closed window). The Japanese face
# names the program and Wine's dialogs ask for resolve to the installed IPA fonts.
pallomar_reg_text() {
  sed 's/$/\r/' <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"
"MS PGothic"="IPAPGothic"
"MS Gothic"="IPAGothic"
"MS UI Gothic"="IPAPGothic"
"MS Shell Dlg"="IPAPGothic"
"MS Shell Dlg 2"="IPAPGothic"

EOF
}

pallomar_prefix_ready() {
  [[ -f "$WINEPREFIX/.pallomar-prefix" &&
    "$(cat "$WINEPREFIX/.pallomar-prefix")" == "$PALLOMAR_PREFIX_VERSION" &&
    -f "$WINEPREFIX/system.reg" ]]
}

# Creates the prefix under a lock, so that tests started side by side don't race for it.
# The lock's descriptor is closed for every Wine command: wineserver outlives them and would
# otherwise hold the lock for good.
pallomar_make_prefix() {
  pallomar_prefix_ready && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  local rc=0
  exec 9>"${WINEPREFIX%/}.lock"
  flock 9
  pallomar_prefix_ready || pallomar_create_prefix || rc=1
  exec 9>&-
  return "$rc"
}

pallomar_create_prefix() {
  local log="${WINEPREFIX%/}.log" reg="$WINEPREFIX/pallomar.reg"
  pallomar_log "creating Wine prefix $WINEPREFIX (once; about 15 s)"
  if ! timeout 300 wineboot --init >"$log" 2>&1 </dev/null 9>&- ||
    ! timeout 120 wineserver -w >>"$log" 2>&1 </dev/null 9>&-; then
    pallomar_log "wineboot failed:"
    cat "$log" >&2
    return 1
  fi
  pallomar_reg_text | iconv -f UTF-8 -t UTF-16LE | {
    printf '\xff\xfe'
    cat
  } >"$reg"
  if ! timeout 120 wine regedit /S "Z:${reg//\//\\}" >>"$log" 2>&1 </dev/null 9>&- ||
    ! timeout 120 wineserver -w >>"$log" 2>&1 </dev/null 9>&-; then
    pallomar_log "registry settings failed:"
    cat "$log" >&2
    return 1
  fi
  # Wine draws the caption buttons with Marlett but does not find the packaged copy by itself.
  local font
  for font in /usr/share/wine/fonts/marlett.ttf; do
    [[ -f "$font" ]] && cp -f "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
  done
  printf '%s\n' "$PALLOMAR_PREFIX_VERSION" >"$WINEPREFIX/.pallomar-prefix"
}

pallomar_wine_cleanup() {
  if [[ -d "$WINEPREFIX" ]]; then
    timeout 30 wineserver -k >/dev/null 2>&1 || true
  fi
  pallomar_stop_pid "$PALLOMAR_XVFB_PID"
  PALLOMAR_XVFB_PID=""
  if [[ -n "$PALLOMAR_XVFB_LOG" ]]; then
    rm -f "$PALLOMAR_XVFB_LOG"
    PALLOMAR_XVFB_LOG=""
  fi
  return 0
}

# Keeps one wineserver running until pallomar_wine_cleanup: programs run one after another
# then neither pay for its start nor meet it on its way out (it quits 3 s after its last
# client). Its output is closed so that it holds no caller's pipe.
pallomar_wine_keep_server() {
  timeout 30 wineserver -p >/dev/null 2>&1 </dev/null 9>&- || true
}

pallomar_wine_setup() {
  local missing
  missing="$(pallomar_missing_packages run | tr '\n' ' ')"
  [[ -z "$missing" ]] || pallomar_log "warning: not installed: $missing(scripts/run.sh installs them)"
  if ! pallomar_has_ja_locale; then
    pallomar_log "warning: no ja_JP.UTF-8 locale (scripts/run.sh makes it);" \
      "Japanese names and arguments will not reach Wine intact"
  fi
  if [[ -z "${DISPLAY:-}" ]]; then
    pallomar_start_xvfb || return 1
  fi
  pallomar_make_prefix
}

if [[ "${PALLOMAR_WINE_TRAP:-1}" != 0 ]]; then
  trap pallomar_wine_cleanup EXIT
  trap 'pallomar_wine_cleanup; trap - INT; kill -INT $$' INT
  trap 'pallomar_wine_cleanup; trap - TERM; kill -TERM $$' TERM
fi
pallomar_wine_setup
