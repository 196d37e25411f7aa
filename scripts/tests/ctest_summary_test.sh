#!/usr/bin/env bash
# Checks the counts that test.sh reports, from verbose CTest logs of known outcomes: a miscount
# would hide failures or claim tests that never ran.
set -uo pipefail

summary="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/ctest-summary.awk"
failures=0

# check NAME EXPECTED-"@@"-LINE-PREFIX [EXPECTED-TEXT-IN-OUTPUT]; the log comes on stdin.
check() {
  local name="$1" want="$2" text="${3:-}" got all
  all="$(LC_ALL=C awk -v label=t -v logfile=LOG -f "$summary")"
  got="$(grep '^@@ ' <<<"$all")"
  if [[ "$got" != "$want"* ]]; then
    echo "FAIL $name: got '$got', want '$want...'"
    failures=$((failures + 1))
  elif [[ -n "$text" && "$all" != *"$text"* ]]; then
    echo "FAIL $name: output lacks '$text':"
    printf '%s\n' "$all"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

check "cases of a passing program each count" "@@ 2 0 t: 1 CTest tests (0 failed); GoogleTest cases: 2 passed, 0 failed" <<'LOG'
test 1
    Start 1: a_tests

1: Test command: wine-emulator.sh "a_tests.exe"
1: [ RUN      ] A.One
1: [       OK ] A.One (0 ms)
1: [ RUN      ] A.Two
1: [       OK ] A.Two (12 ms)
1: [  PASSED  ] 2 tests.
1/1 Test #1: a_tests ..........................   Passed    0.15 sec
LOG

check "a failed case counts once, not again from the closing list" "@@ 1 1 " "A.Two" <<'LOG'
1: [       OK ] A.One (0 ms)
1: x.cpp:9: Failure
1: [  FAILED  ] A.Two (1 ms)
1: [  PASSED  ] 1 test.
1: [  FAILED  ] 1 test, listed below:
1: [  FAILED  ] A.Two
1/1 Test #1: a_tests ..........................***Failed    0.15 sec
LOG

check "a crash after passing cases is a failure" "@@ 2 1 " "crash" <<'LOG'
1: [       OK ] A.One (0 ms)
1: [       OK ] A.Two (0 ms)
1: [ RUN      ] A.Three
1/1 Test #1: a_tests ..........................***Exception: SegFault  0.15 sec
LOG

check "a program killed at its time limit is a failure" "@@ 1 1 " "killed after" <<'LOG'
1: [       OK ] A.One (0 ms)
1: [ RUN      ] A.Hangs
1: wine-emulator: a_tests.exe killed after 240 s (time limit)
1/1 Test #1: a_tests ..........................***Failed  240.15 sec
LOG

check "a CTest time-out without any case line is a failure" "@@ 0 1 " <<'LOG'
1: Test command: a_tests.exe
1/1 Test #1: a_tests ..........................***Timeout 300.01 sec
LOG

check "script checks count by CTest's verdict" "@@ 1 1 t: 2 CTest tests (1 failed); GoogleTest cases: 0 passed, 0 failed; other checks: 1 passed, 1 failed" <<'LOG'
1: -- a.exe: KERNEL32.dll
1/2 Test #1: imports ..........................   Passed    0.20 sec
2: CMake Error: not a Windows DLL: libstdc++-6.dll
2/2 Test #2: imports_b ........................***Failed    0.20 sec
LOG

check "a program that is not there is a failure" "@@ 0 1 " <<'LOG'
1: Could not find executable a_tests.exe
1/1 Test #1: a_tests ..........................***Not Run   0.00 sec
LOG

check "skipped cases and skipped tests are neither passed nor failed" "@@ 1 0 t: 2 CTest tests (0 failed); GoogleTest cases: 1 passed, 0 failed, 2 skipped" <<'LOG'
1: [  SKIPPED ] A.Later (0 ms)
1/2 Test #1: A.Later ..........................***Skipped   0.10 sec
2: [       OK ] A.Now (0 ms)
2: [  SKIPPED ] A.Other (0 ms)
2/2 Test #2: A.Now ............................   Passed    0.10 sec
LOG

check "parallel output is told apart by test number" "@@ 4 1 " "B.Bad" <<'LOG'
2: [       OK ] B.Good (0 ms)
1: [       OK ] A.One (0 ms)
2: [  FAILED  ] B.Bad (3 ms)
1: [       OK ] A.Two (0 ms)
 1/12 Test  #1: a_tests .........................   Passed    0.15 sec
2: [       OK ] B.Last (0 ms)
 2/12 Test #2: b_tests ..........................***Failed    0.15 sec
LOG

check "parameterised cases with their parameter count once" "@@ 1 1 " <<'LOG'
1: [       OK ] Cases/P.Reads/Empty (0 ms)
1: [  FAILED  ] Cases/P.Reads/Long, where GetParam() = 72-byte object <96-1B 18-40> (4 ms)
1: [  FAILED  ] Cases/P.Reads/Long, where GetParam() = 72-byte object <96-1B 18-40>
1/1 Test #1: p_tests ..........................***Failed    0.15 sec
LOG

check "a log without tests is a failure" "@@ 0 1 t: no tests ran" <<'LOG'
Test project /build
No tests were found!!!
LOG

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
