#!/usr/bin/env bash
# Saves made by users other than the administrator, on a real disk:
#  - a private (0600) list is never readable by another user who watches the folder while
#    it is saved again and again;
#  - another user's writable list in a shared sticky folder (mode 1777) is saved, and keeps
#    its owner;
#  - plwtool import interrupted (SIGTERM, SIGINT) while it writes leaves no temporary file
#    and the earlier list as it was.
# Needs root to make two throwaway users (removed afterwards); exits 77 (skipped) where it
# cannot.
#
#   save_as_other_users_test.sh PLWTOOL PEEK_NEW_FILES SAMPLE.plw
# PALLOMAR_WATCHED_SAVES sets the number of watched saves (default 100).
set -euo pipefail

plwtool="$(realpath "$1")"
peek="$(realpath "$2")"
sample="$3"
saves="${PALLOMAR_WATCHED_SAVES:-100}"

if (($(id -u) != 0)) || ! command -v useradd >/dev/null || ! command -v setpriv >/dev/null; then
  echo "needs root, useradd and setpriv: skipped"
  exit 77
fi

work="$(mktemp -d)"
chmod 755 "$work"
# The throwaway users run the tools from here: the build may lie where only root can reach
# (a clone in /root, mode 0700, on a fresh Debian).
mkdir "$work/bin"
cp "$plwtool" "$peek" "$work/bin/"
plwtool="$work/bin/$(basename "$plwtool")"
peek="$work/bin/$(basename "$peek")"
users=()
watcher=""
cleanup() {
  # A user with a process left cannot be removed.
  if [[ -n "$watcher" ]]; then
    kill "$watcher" 2>/dev/null || true
    wait "$watcher" 2>/dev/null || true
  fi
  for u in "${users[@]}"; do userdel "$u" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

for role in a b; do
  name="plwtest$$$role"
  if ! useradd -M -r -s /usr/sbin/nologin "$name" 2>/dev/null; then
    echo "cannot add a user here: skipped"
    exit 77
  fi
  users+=("$name")
done
a="${users[0]}"
b="${users[1]}"
# Commands, not functions: a job in the background must be the program itself.
as_a=(setpriv --reuid="$a" --regid="$a" --clear-groups)
as_b=(setpriv --reuid="$b" --regid="$b" --clear-groups)

fail=0
check() {
  if ! eval "$2"; then
    echo "FAIL: $1"
    fail=1
  fi
}

"$plwtool" export "$sample" >"$work/s.json"
# A second list of other bytes, to tell the two apart.
{
  printf '102\r\n'
  for i in $(seq 40); do printf 'c:\\other\\p%d.exe\r\n-x\r\n\r\n2\r\nFalse\r\n' "$i"; done
} >"$work/other.plw"
"$plwtool" export "$work/other.plw" >"$work/other.json"
chmod 644 "$work"/*.json
"$plwtool" import "$work/s.json" "$work/s.plw"
"$plwtool" import "$work/other.json" "$work/other.plw"

# --- a private list, watched by another user while it is saved ---
mkdir "$work/private"
chown "$a:$a" "$work/private"
chmod 755 "$work/private"
"${as_a[@]}" "$plwtool" import "$work/s.json" "$work/private/list.plw"
chmod 600 "$work/private/list.plw"
"${as_b[@]}" "$peek" "$work/private" "~plw" >"$work/peek.out" &
watcher=$!
for _ in $(seq 100); do
  grep -q watching "$work/peek.out" 2>/dev/null && break
  sleep 0.05
done
for i in $(seq "$saves"); do
  json="$work/s.json"
  ((i % 2)) && json="$work/other.json"
  "${as_a[@]}" "$plwtool" import "$json" "$work/private/list.plw"
done
kill -TERM "$watcher"
wait "$watcher" || true
watcher=""
read -r _ seen _ readable < <(grep seen "$work/peek.out")
echo "watched saves: $saves, temporary files seen by the other user $seen, readable $readable"
check "a private list was readable by another user in $readable of $saves saves" \
  '((readable == 0))'
check "the watch saw only $seen of $saves new files" '((seen >= saves))'
check "the list is no longer private: $(stat -c '%a %U' "$work/private/list.plw")" \
  '[[ "$(stat -c "%a %U" "$work/private/list.plw")" == "600 $a" ]]'

# --- another user's writable list in a sticky folder ---
mkdir "$work/shared"
chmod 1777 "$work/shared"
"${as_a[@]}" "$plwtool" import "$work/s.json" "$work/shared/list.plw"
chmod 666 "$work/shared/list.plw"
status=0
"${as_b[@]}" "$plwtool" import "$work/other.json" "$work/shared/list.plw" 2>"$work/err" || status=$?
echo "sticky folder: status $status $(cat "$work/err")"
check "the save in the sticky folder was refused" '((status == 0))'
check "the sticky-folder list does not hold the new list" \
  'cmp -s "$work/shared/list.plw" "$work/other.plw"'
check "the sticky-folder list changed owner" \
  '[[ "$(stat -c %U "$work/shared/list.plw")" == "$a" ]]'
check "left behind in the sticky folder: $(ls -A "$work/shared")" \
  '[[ "$(ls -A "$work/shared")" == list.plw ]]'

# --- interrupted while writing ---
mkdir "$work/cut"
chown "$a:$a" "$work/cut"
awk 'BEGIN { printf "102\r\n"; for (i = 0; i < 120000; i++)
  printf "c:\\tools\\program%06d.exe\r\n-n %d\r\nc:\\tools\r\n0\r\nTrue\r\n", i, i }' \
  >"$work/big.plw"
"$plwtool" export "$work/big.plw" >"$work/big.json"
chmod 644 "$work/big.json"
for sig in TERM INT; do
  caught=0
  for round in $(seq 8); do
    rm -f "$work"/cut/~plw*.tmp
    "${as_a[@]}" "$plwtool" import "$work/s.json" "$work/cut/list.plw"
    # A job in the background ignores SIGINT unless told otherwise.
    "${as_a[@]}" env --default-signal=INT "$plwtool" import "$work/big.json" "$work/cut/list.plw" &
    pid=$!
    temp=()
    while kill -0 "$pid" 2>/dev/null; do
      temp=("$work"/cut/~plw*.tmp)
      [[ -e "${temp[0]}" ]] && break
    done
    kill -STOP "$pid" 2>/dev/null || true
    # Counts only when the signal comes while the temporary file is still being written.
    if [[ -e "${temp[0]:-}" && -e "${temp[0]}" ]]; then
      kill -"$sig" "$pid"
      kill -CONT "$pid"
      status=0
      wait "$pid" || status=$?
      caught=1
      echo "SIG$sig in round $round: status $status"
      check "SIG$sig: plwtool did not end by the signal (status $status)" \
        '((status == 128 + $(kill -l "$sig")))'
      check "SIG$sig left behind: $(ls -A "$work/cut")" '[[ "$(ls -A "$work/cut")" == list.plw ]]'
      check "SIG$sig changed the earlier list" 'cmp -s "$work/cut/list.plw" "$work/s.plw"'
      break
    fi
    kill -CONT "$pid" 2>/dev/null || true
    wait "$pid" || true
  done
  check "SIG$sig never reached plwtool while it wrote, in 8 rounds" '((caught == 1))'
done

exit "$fail"
