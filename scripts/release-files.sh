# shellcheck shell=bash
# What the Windows package holds; sourced by release.sh and package-test.sh, so that the two
# always agree.
#
# The help files are made by the Windows build into its main/ folder, beside pallomar.exe.
# A package without them is refused and its test fails.
pallomar_help_files=(pallomar.hlp pallomar.cnt pallomar-help.html)
# The programs, where the Windows build makes them.
pallomar_programs=(main/pallomar.exe tools/plwtool/plwtool.exe)
pallomar_documents=(readme.txt LICENSE.txt)

# The project version, as CMake has it in a configured build folder's cache.
pallomar_project_version() {
  sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"
}
