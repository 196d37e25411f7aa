#!/usr/bin/env bash
# A save that fails on a really full disk keeps the earlier list byte for byte, under a
# 246-byte name, and leaves no temporary file. Needs root to mount a 64 KiB tmpfs; exits 77
# (skipped) where it cannot.
#
#   full_disk_save_test.sh PLWTOOL SAMPLE.plw
set -euo pipefail

plwtool="$1"
sample="$2"
work="$(mktemp -d)"
mnt="$work/full"
mkdir "$mnt"
cleanup() {
  umount "$mnt" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

if ! mount -t tmpfs -o size=64k tmpfs "$mnt" 2>/dev/null; then
  echo "cannot mount a tmpfs here: skipped"
  exit 77
fi

name="$(printf 'L%.0s' $(seq 246)).plw"
"$plwtool" export "$sample" >"$work/s.json"
"$plwtool" import "$work/s.json" "$mnt/$name"
cp "$mnt/$name" "$work/before.plw"

# A list far larger than the room left once the filler is in.
{
  printf '102\r\n'
  for i in $(seq 3000); do
    printf 'c:\\tools\\program%05d.exe\r\n-n %d\r\nc:\\tools\r\n0\r\nTrue\r\n' "$i" "$i"
  done
} >"$work/big.plw"
"$plwtool" export "$work/big.plw" >"$work/big.json"
dd if=/dev/zero of="$mnt/filler" bs=1k count=40 status=none

status=0
"$plwtool" import "$work/big.json" "$mnt/$name" 2>"$work/err" || status=$?
fail=0
if ((status == 0)); then
  echo "FAIL: the save on a full disk reported success"
  fail=1
fi
if ! cmp -s "$work/before.plw" "$mnt/$name"; then
  echo "FAIL: the earlier list changed: $(stat -c %s "$mnt/$name") bytes now," \
    "$(stat -c %s "$work/before.plw") before"
  fail=1
fi
left="$(cd "$mnt" && ls -A | grep -v -x -e filler -e "$name" || true)"
if [[ -n "$left" ]]; then
  echo "FAIL: left behind: $left"
  fail=1
fi
echo "status $status, message: $(cat "$work/err")"
echo "earlier list: $(stat -c %s "$work/before.plw") bytes, now $(stat -c %s "$mnt/$name") bytes"
exit "$fail"
