#!/usr/bin/env bash
# Makes the Windows release from the last commit: a Release cross-build, in a new build folder,
# of the commit exported on its own (so no uncommitted or skip-worktree change can reach the
# zip), its tests, and one zip that a Windows user unpacks anywhere.
#
#   scripts/release.sh [--no-tests]
#
# Writes dist/pallomar-VERSION-win64.zip, with one folder pallomar-VERSION/ inside (the editor,
# plwtool, the help, readme.txt and LICENSE.txt), and dist/SHA256SUMS. VERSION is the CMake
# project version. The zip is reproducible: the same commit gives the same bytes in any folder
# at any time (SOURCE_DATE_EPOCH is the last commit's time; see scripts/release-test.sh).
#
# Installs what is missing (scripts/packages/release.txt) first. Refuses, and says why, when
# the tree has uncommitted or untracked files, when a test fails, or when a packaged .exe
# imports a DLL that is not Windows' own. --no-tests skips the Wine tests of the Release build
# and of the unpacked package (the import check still runs).
#
# Environment:
#   PALLOMAR_RELEASE_BUILD  build folder, emptied first (default build/release)
#   PALLOMAR_JOBS           parallel build jobs (default 2)
#   WINEPREFIX              prefix for the Release build's tests (default build/wineprefix)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
run_tests=1
for arg in "$@"; do
  case "$arg" in
    --no-tests) run_tests=0 ;;
    -h | --help)
      sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$0"
      exit 0
      ;;
    *)
      echo "release.sh: unknown option $arg (try --help)" >&2
      exit 2
      ;;
  esac
done

# shellcheck source=lib.sh
. "$root/scripts/lib.sh"
# shellcheck source=release-files.sh
. "$root/scripts/release-files.sh"
pallomar_install release

build="${PALLOMAR_RELEASE_BUILD:-$root/build/release}"
dist="$root/dist"
jobs="${PALLOMAR_JOBS:-2}"
started=$SECONDS

say() { printf '== %s\n' "$*"; }
refuse() {
  printf 'release: REFUSED: %s\n' "$*" >&2
  exit 1
}

# Runs "$@" into a log; on failure shows its end and refuses with the reason $2.
logged() {
  local log="$1" why="$2"
  shift 2
  if ! "$@" >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    refuse "$why (full log: $log)"
  fi
}

# --- the tree ---
git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1 ||
  refuse "$root is not a git checkout: a release is made from a commit"
changes="$(git -C "$root" status --porcelain --untracked-files=normal)"
if [[ -n "$changes" ]]; then
  printf '%s\n' "$changes" >&2
  refuse "the tree has uncommitted changes (above); commit or stash them first"
fi
commit="$(git -C "$root" rev-parse HEAD)"
SOURCE_DATE_EPOCH="$(git -C "$root" log -1 --format=%ct "$commit")"
export SOURCE_DATE_EPOCH
# The zip keeps local times; one zone for everyone.
export TZ=UTC
umask 022

# --- the build, of the commit alone ---
# git status does not see a file marked skip-worktree or assume-unchanged: only what the
# commit holds is built and packed.
source="$(mktemp -d -t pallomar-release-source.XXXXXX)"
pallomar_traps 'rm -rf "$source"'
git -C "$root" archive --format=tar "$commit" | tar -x -C "$source" ||
  refuse "could not export $commit"
say "Release build of $commit in $build"
rm -rf "$build"
mkdir -p "$build"
tests_option=OFF
((run_tests)) && tests_option=ON
logged "$build/configure.log" "the Release build could not be configured" \
  pallomar_configure_windows "$source" "$build" -DCMAKE_BUILD_TYPE=Release \
  -DPALLOMAR_TESTS="$tests_option"
version="$(pallomar_project_version "$build")"
[[ "$version" =~ ^[0-9]+(\.[0-9]+)*$ ]] || refuse "no project version in $build/CMakeCache.txt"
logged "$build/build.log" "the Release build failed" cmake --build "$build" -j "$jobs"

programs=()
for built in "${pallomar_programs[@]}"; do
  [[ -f "$build/$built" ]] || refuse "the build made no $built"
  programs+=("$build/$built")
done

say "imports of ${pallomar_programs[*]##*/}"
objdump="$(sed -n 's/^CMAKE_OBJDUMP:FILEPATH=//p' "$build/CMakeCache.txt")"
[[ -x "$objdump" ]] || objdump="$(command -v x86_64-w64-mingw32-objdump || true)"
[[ -n "$objdump" ]] || refuse "no objdump for Windows executables (binutils-mingw-w64-x86-64)"
files="$(
  IFS='|'
  echo "${programs[*]}"
)"
if ! cmake -DOBJDUMP="$objdump" "-DFILES=$files" \
  -P "$source/cmake/check_windows_imports.cmake" 2>&1; then
  refuse "a packaged .exe imports a DLL that is not Windows' own (above)"
fi

if ((run_tests)); then
  say "tests of the Release build (under Wine)"
  (
    unset DISPLAY
    export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
    PALLOMAR_WINE_TRAP=0
    # shellcheck source=wine-env.sh
    . "$root/scripts/wine-env.sh"
    trap pallomar_wine_cleanup EXIT
    pallomar_wine_keep_server
    ctest --test-dir "$build" --output-on-failure --timeout 300 </dev/null >"$build/ctest.log" 2>&1
  ) || {
    grep -a -E '^ *[0-9]+/[0-9]+ Test .*(Failed|Timeout|Not Run|Exception)' "$build/ctest.log" >&2 || true
    tail -n 5 "$build/ctest.log" >&2
    refuse "tests of the Release build failed (full log: $build/ctest.log)"
  }
  tail -n 3 "$build/ctest.log"
fi

# --- the package ---
name="pallomar-$version"
stage="$build/package"
folder="$stage/$name"
say "package $name"
rm -rf "$stage"
mkdir -p "$folder"
cp "${programs[@]}" "$folder/"
missing=()
for help in "${pallomar_help_files[@]}"; do
  if [[ -f "$build/main/$help" ]]; then
    cp "$build/main/$help" "$folder/"
  else
    missing+=("$help")
  fi
done
((${#missing[@]} == 0)) || refuse "the build made no ${missing[*]} in $build/main"
# Notepad on every Windows version reads UTF-8 with a byte-order mark and CR LF.
for document in docs/readme.txt LICENSE; do
  if LC_ALL=C grep -q $'\r' "$source/$document" ||
    [[ "$(head -c 3 "$source/$document" | od -An -tx1 | tr -d ' ')" == efbbbf ]]; then
    refuse "$document must be plain UTF-8 with LF line ends; the package adds the BOM and CR LF"
  fi
done
{
  printf '\xef\xbb\xbf'
  sed 's/$/\r/' "$source/docs/readme.txt"
} >"$folder/readme.txt"
sed 's/$/\r/' "$source/LICENSE" >"$folder/LICENSE.txt"

# Same bytes whoever packs it: fixed times, modes and order, no extra attributes.
find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod 644 {} +
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
mkdir -p "$dist"
zip_name="$name-win64.zip"
rm -f "$dist/$zip_name" "$dist/SHA256SUMS"
(
  cd "$stage"
  find "$name" -type f | LC_ALL=C sort | zip -X -D -9 -q "$dist/$zip_name" -@
)
(
  cd "$dist"
  sha256sum "$zip_name" >SHA256SUMS
)

if ((run_tests)); then
  say "the unpacked package under Wine"
  PALLOMAR_WIN_BUILD="$build" "$root/scripts/package-test.sh" "$dist/$zip_name" ||
    refuse "the unpacked package failed its test"
fi

say "done in $((SECONDS - started)) s"
echo "$dist/$zip_name"
cat "$dist/SHA256SUMS"
