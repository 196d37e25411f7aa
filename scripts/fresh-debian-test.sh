#!/usr/bin/env bash
# A README command as a newcomer meets it: on a minimal Debian 12 root (debootstrap's minbase,
# nothing else installed), in a fresh clone of the commit, with no display and none of this
# machine's variables. CI runs it after scripts/test.sh.
#
#   scripts/fresh-debian-test.sh [run | test] [COMMIT]
#
#   run   (default) `scripts/run.sh tools/plwtool/examples/sample.plw` must exit 0 and write a
#         screenshot of the drawn window (its size about the window's, many colours)
#   test  `scripts/test.sh` must exit 0
#
# COMMIT defaults to HEAD. The root is unpacked from a cache in PALLOMAR_DEBIAN_CACHE (default
# build/debian: debootstrap's package tarball and the finished root), so a second run
# downloads no base system; the packages the command installs are kept there too. The root
# gets its own /proc, /sys and /dev, which are unmounted, and the root removed, afterwards.
# Needs root (it installs debootstrap if missing).
set -euo pipefail
# Read whole before it runs: a long run must not pick up an edit of this file halfway.
{
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=lib.sh
. "$root/scripts/lib.sh"
mode="${1:-run}"
commit="$(git -C "$root" rev-parse --verify "${2:-HEAD}^{commit}")"
case "$mode" in
  run) command=(scripts/run.sh tools/plwtool/examples/sample.plw) ;;
  test) command=(scripts/test.sh) ;;
  *)
    echo "fresh-debian-test: unknown mode $mode (run or test)" >&2
    exit 2
    ;;
esac
(($(id -u) == 0)) || {
  echo "fresh-debian-test: needs root (debootstrap, chroot, mounts)" >&2
  exit 2
}
command -v debootstrap >/dev/null && command -v identify >/dev/null || pallomar_install test

cache="${PALLOMAR_DEBIAN_CACHE:-$root/build/debian}"
suite=bookworm
base_tarball="$cache/$suite-minbase.tar.gz"
root_tarball="$cache/$suite-minbase-root.tar"
archives="$cache/apt-archives"
mkdir -p "$cache" "$archives"
started=$SECONDS

# The base system, downloaded once; the root made from it, once.
if [[ ! -f "$root_tarball" ]]; then
  if [[ ! -f "$base_tarball" ]]; then
    echo "== downloading the $suite minbase packages (once) into $base_tarball"
    debootstrap --variant=minbase --make-tarball="$base_tarball.part" "$suite" \
      "$(mktemp -d -p "$cache")" >"$cache/make-tarball.log" 2>&1 ||
      {
        tail -n 20 "$cache/make-tarball.log"
        exit 1
      }
    mv "$base_tarball.part" "$base_tarball"
  fi
  echo "== making the $suite minbase root (once) into $root_tarball"
  staging="$(mktemp -d -p "$cache")"
  debootstrap --variant=minbase --unpack-tarball="$base_tarball" "$suite" "$staging" \
    >"$cache/debootstrap.log" 2>&1 || {
    tail -n 20 "$cache/debootstrap.log"
    exit 1
  }
  # mktemp made the staging folder 0700; a Debian root is 0755, or no other user could
  # reach a single file in it.
  chmod 755 "$staging"
  tar -C "$staging" -cf "$root_tarball.part" .
  rm -rf --one-file-system "$staging"
  mv "$root_tarball.part" "$root_tarball"
fi

work="$(mktemp -d -p "$cache" root.XXXXXX)"
sysroot="$work/root"
# Everything under the root that is mounted, deepest first.
mounted_below() { awk -v r="$sysroot/" 'index($2 "/", r) == 1 { print $2 }' /proc/mounts | sort -r; }
cleanup() {
  local pid target
  # Whatever still runs inside the root was started by this check.
  for pid in /proc/[0-9]*; do
    [[ "$(readlink "$pid/root" 2>/dev/null)" == "$sysroot" ]] && kill -KILL "${pid#/proc/}" 2>/dev/null
  done
  sleep 0.5
  for target in $(mounted_below); do
    umount "$target" 2>/dev/null || umount -l "$target" || true
  done
  if [[ -n "$(mounted_below)" ]]; then
    echo "fresh-debian-test: still mounted, $work left in place: $(mounted_below | tr '\n' ' ')" >&2
  else
    rm -rf --one-file-system "$work"
  fi
}
pallomar_traps cleanup

mkdir -p "$sysroot"
tar -C "$sysroot" -xf "$root_tarball"
# Roots cached before the staging folder was opened up are 0700 too.
chmod 755 "$sysroot"
cp /etc/resolv.conf "$sysroot/etc/resolv.conf"
# Its own kernel views and a /dev of its own nodes: nothing of this machine's /dev can be
# reached, or removed, through the root.
mount -t proc proc "$sysroot/proc"
mount -t sysfs sysfs "$sysroot/sys"
mount -t tmpfs -o mode=755,size=16m dev "$sysroot/dev"
for node in null:1:3 zero:1:5 full:1:7 random:1:8 urandom:1:9 tty:5:0; do
  IFS=: read -r name major minor <<<"$node"
  mknod -m 666 "$sysroot/dev/$name" c "$major" "$minor"
done
mkdir -p "$sysroot/dev/pts" "$sysroot/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$sysroot/dev/pts"
ln -s pts/ptmx "$sysroot/dev/ptmx"
# The links every Debian /dev has (bash's process substitution needs /dev/fd).
ln -s /proc/self/fd "$sysroot/dev/fd"
ln -s /proc/self/fd/0 "$sysroot/dev/stdin"
ln -s /proc/self/fd/1 "$sysroot/dev/stdout"
ln -s /proc/self/fd/2 "$sysroot/dev/stderr"
mount -t tmpfs -o mode=1777 shm "$sysroot/dev/shm"
# Packages downloaded before are offered to apt again (they are installed anew each time);
# links, so that runs side by side keep apt locks of their own.
find "$archives" -maxdepth 1 -name '*.deb' -exec ln -f -t "$sysroot/var/cache/apt/archives" {} +

clone="$sysroot/root/pallomar"
git clone -q --no-hardlinks --no-checkout "$root" "$clone"
git -C "$clone" checkout -q --detach "$commit"

echo "== $mode in a fresh $suite minbase root ($sysroot), clone of $commit"
log="$work/command.log"
rc=0
t0=$SECONDS
# A newcomer's login shell: nothing of this machine's environment.
env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root TERM=dumb \
  timeout -k 10 "${PALLOMAR_FRESH_TIMEOUT:-4800}" \
  chroot "$sysroot" /bin/bash -c 'cd /root/pallomar && exec "$@"' bash "${command[@]}" \
  >"$log" 2>&1 </dev/null &
# In the background, so that an interrupt reaches the trap at once.
wait "$!" || rc=$?
elapsed=$((SECONDS - t0))
find "$sysroot/var/cache/apt/archives" -maxdepth 1 -name '*.deb' -exec ln -f -t "$archives" {} +
cp "$log" "$cache/$mode.log"
if ((rc != 0)); then
  tail -n 60 "$log"
  echo "fresh-debian-test: FAILED: ${command[*]} exited $rc after $elapsed s (log: $cache/$mode.log)"
  exit 1
fi
tail -n 5 "$log"

if [[ "$mode" == run ]]; then
  shot="$clone/build/screenshot.png"
  grep -qx "screenshot: /root/pallomar/build/screenshot.png" "$log" || {
    echo "fresh-debian-test: FAILED: run.sh did not name its screenshot"
    exit 1
  }
  [[ -s "$shot" ]] || {
    echo "fresh-debian-test: FAILED: no screenshot at $shot"
    exit 1
  }
  cp "$shot" "$cache/screenshot.png"
  # The window's own picture: smaller than the 1280x1024 screen it falls back to, about the
  # window's size, and drawn (buttons, list and text give it many colours; a blank one has few).
  read -r width height colours < <(identify -format '%w %h %k\n' "$shot" | head -n 1)
  echo "screenshot ${width}x${height}, $colours colours (copy: $cache/screenshot.png)"
  if ((width < 400 || width >= 1280 || height < 300 || height >= 1024 || colours < 16)); then
    echo "fresh-debian-test: FAILED: the screenshot is not a picture of the drawn window"
    exit 1
  fi
fi
echo "fresh-debian-test: passed: ${command[*]} on a fresh $suite root in $elapsed s" \
  "($((SECONDS - started)) s with the root)"
exit 0
}
