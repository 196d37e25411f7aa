# Sums a verbose CTest log (ctest -V) into test counts; used by test.sh.
#
#   LC_ALL=C awk -v label=native -v logfile=LOG -f scripts/ctest-summary.awk LOG
#
# In the log each output line of test N is prefixed "N: ", so GoogleTest's per-case lines can
# be counted per CTest test: a case counts once, from its "[       OK ]", "[  FAILED  ]" or
# "[  SKIPPED ]" line with its time (the closing list repeats names without a time). A test
# with no such lines (a script check, or a program that died before its first case) counts
# once by CTest's verdict, and so does a failed program none of whose cases failed: it
# crashed, hit its time limit or exited non-zero after them.
#
# Prints the output of each failed test, then last "@@ PASSED FAILED summary text".
function keep(n, line) { out[n] = out[n] line "\n" }

match($0, /^ *[0-9]+\/[0-9]+ Test +#[0-9]+: /) {
  head = substr($0, 1, RLENGTH)
  sub(/^.*#/, "", head)
  sub(/: $/, "", head)
  n = head + 0
  rest = substr($0, RLENGTH + 1)
  split(rest, words, " ")
  name[n] = words[1]
  if (rest ~ / Passed +[0-9.]+ sec/) status[n] = "pass"
  else if (rest ~ /Skipped|Disabled/) status[n] = "skip"
  else status[n] = "fail"
  order[++count] = n
  next
}

match($0, /^[0-9]+: /) {
  n = substr($0, 1, RLENGTH - 2) + 0
  text = substr($0, RLENGTH + 1)
  keep(n, text)
  if (text ~ /^\[       OK \] .* \([0-9]+ ms\)$/) ok[n]++
  else if (text ~ /^\[  FAILED  \] .* \([0-9]+ ms\)$/) bad[n]++
  else if (text ~ /^\[  SKIPPED \] .* \([0-9]+ ms\)$/) skipped[n]++
  next
}

END {
  for (i = 1; i <= count; i++) {
    n = order[i]
    if (ok[n] + bad[n] + skipped[n] > 0) {
      gp += ok[n]; gf += bad[n]; gs += skipped[n]
      if (status[n] == "fail" && bad[n] == 0) { gf++; crashed++ }
    } else if (status[n] == "pass") op++
    else if (status[n] == "skip") os++
    else of++
    if (status[n] == "fail") {
      failed_tests++
      printf "\n---- output of %s (last 150 lines; full log: %s)\n", name[n], logfile
      m = split(out[n], all, "\n")
      for (j = (m > 151 ? m - 150 : 1); j < m; j++) print all[j]
    }
  }
  passed = gp + op
  failed = gf + of
  summary = sprintf("%s: %d CTest tests (%d failed); GoogleTest cases: %d passed, %d failed",
                    label, count, failed_tests, gp, gf)
  if (gs + os > 0) summary = summary sprintf(", %d skipped", gs + os)
  if (op + of > 0) summary = summary sprintf("; other checks: %d passed, %d failed", op, of)
  if (crashed > 0)
    summary = summary sprintf(" (%d failed programs without a failed case: crash, time limit or exit code)", crashed)
  if (count == 0) { summary = label ": no tests ran"; failed++ }
  printf "@@ %d %d %s\n", passed, failed, summary
}
