#!/usr/bin/env bash
# The release, checked as a user and a verifier would: scripts/release.sh runs in two fresh
# clones of the last commit, at different paths, one after the other, with different time
# zones and umasks; both must give the same zip and SHA256SUMS, byte for byte. The zip is
# then unpacked and tried under Wine (scripts/package-test.sh). CI runs it after test.sh.
#
# The second clone has changes git status does not show (files marked skip-worktree, then
# edited): the release is built from the commit, so they must reach neither zip.
#
#   scripts/release-test.sh
#
# The compiler cache is turned off: a cached object would hide a build that depends on its
# folder. Environment: PALLOMAR_JOBS (default 2).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export CCACHE_DISABLE=1
# shellcheck source=lib.sh
. "$root/scripts/lib.sh"
work="$(mktemp -d -t pallomar-release-test.XXXXXX)"
pallomar_traps 'rm -rf "$work"'

commit="$(git -C "$root" rev-parse HEAD)"
[[ -z "$(git -C "$root" status --porcelain)" ]] ||
  echo "release-test: note: uncommitted changes are not part of the test; it builds $commit"

hidden_change="change that is not committed $$"
hidden_files=(docs/readme.txt help/pallomar.txt)

one_release() {
  local clone="$1" zone="$2" mask="$3" hide="${4:-}" t0=$SECONDS file
  git clone -q --no-checkout "$root" "$clone"
  git -C "$clone" checkout -q --detach "$commit"
  if [[ -n "$hide" ]]; then
    for file in "${hidden_files[@]}"; do
      git -C "$clone" update-index --skip-worktree "$file"
      printf '%s\n' "$hidden_change" >>"$clone/$file"
    done
    [[ -z "$(git -C "$clone" status --porcelain)" ]] || {
      echo "release-test: FAILED: the skip-worktree change shows in git status"
      exit 1
    }
    echo "== hidden change (skip-worktree) in ${hidden_files[*]}"
  fi
  echo "== release in $clone (TZ=$zone, umask $mask)"
  if ! (umask "$mask" && cd / && TZ="$zone" "$clone/scripts/release.sh" --no-tests) \
    >"$clone.log" 2>&1; then
    tail -n 40 "$clone.log"
    echo "release-test: FAILED: release.sh failed in $clone"
    exit 1
  fi
  echo "   $((SECONDS - t0)) s: $(tail -n 1 "$clone.log")"
}

started=$SECONDS
one_release "$work/a/pallomar" UTC 022
one_release "$work/second/longer/path/pallomar" Asia/Tokyo 077 hide

status=0
for file in SHA256SUMS $(cd "$work/a/pallomar/dist" && ls ./*.zip); do
  file="${file#./}"
  if cmp "$work/a/pallomar/dist/$file" "$work/second/longer/path/pallomar/dist/$file"; then
    echo "same bytes: $file"
  else
    status=1
    echo "release-test: FAILED: $file differs between the two clones"
  fi
done
if ((status)); then
  # Say which member differs, to start the hunt.
  for clone in a second/longer/path; do
    unzip -o -q "$work/$clone/pallomar/dist/"*.zip -d "$work/unpacked-${clone//\//-}"
  done
  diff -r "$work/unpacked-a" "$work/unpacked-second-longer-path" || true
  exit 1
fi
(cd "$work/a/pallomar/dist" && sha256sum -c --quiet SHA256SUMS) ||
  {
    echo "release-test: FAILED: SHA256SUMS does not match the zip"
    exit 1
  }
echo "reproducible: two clones gave one zip ($((SECONDS - started)) s)"

zip="$(ls "$work/second/longer/path/pallomar/dist/"*.zip)"
if unzip -p "$zip" '*/readme.txt' | grep -aqF "$hidden_change"; then
  echo "release-test: FAILED: a change that is not committed reached the zip"
  exit 1
fi
echo "the zip holds the commit only: no trace of the skip-worktree change"

zip="$(ls "$work/a/pallomar/dist/"*.zip)"
"$root/scripts/package-test.sh" "$zip"
echo "release-test: passed ($((SECONDS - started)) s)"
