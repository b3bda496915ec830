#!/usr/bin/env bash
# Runs one GoogleTest program under Wine and passes only on GoogleTest's own verdict.
#   run-gtest.sh WINE_RUN PROGRAM [GTEST_ARG...]
# Wine's exit status cannot say that a program crashed: its crash handler (winedbg --auto, which the
# prefix starts for every unhandled exception) ends the process with the exception code only when the
# crashing thread is the one it looked at last, and the status keeps 8 bits of that code. So a test
# program counts as passed only when it wrote its whole report, the report counts tests, at least one
# of them ran to its end and none failed, and nothing in the output says that a process died of an
# unhandled exception.
set -uo pipefail
wine_run=$1 program=$2
shift 2

# Relative to the working directory, which Wine maps too; one name per run, as suites run in parallel.
report=$(mktemp gtest-report-XXXXXXXX.xml) || exit 1
output=$(mktemp) || exit 1
trap 'rm -f "$report" "$output"' EXIT
rm -f "$report"

"$wine_run" "$program" "--gtest_output=xml:$report" "$@" | tee "$output"
status=${PIPESTATUS[0]}

fail() {
  echo "run-gtest.sh: FAILED: $*" >&2
  exit 1
}
# "run-gtest: unhandled exception ..." from the test program's own filter (tests/support/crash_marker.cpp),
# "wine: Unhandled page fault ..." from a process that died, "Unhandled exception: ..." from winedbg.
crash=$(grep -a -m 3 -E '^run-gtest: unhandled exception|^wine: Unhandled|^Unhandled exception:|^wine: (Assertion|Call from)' "$output")
[ -z "$crash" ] || fail "a process died of an unhandled exception:"$'\n'"$crash"
[ -s "$report" ] || fail "the program ended (status $status) before it reported its tests"
# A report cut short by a process that died while writing it, or by anything else, does not count.
[ "$(tail -n 1 "$report" | tr -d '\r')" = "</testsuites>" ] || fail "the report is incomplete: it does not end"
grep -a -q 'name="NonTestSuiteFailure"' "$report" && fail "the program failed outside its tests"
summary=$(grep -a -m 1 '<testsuites ' "$report")
attribute() { sed -n "s/.* $1=\"\([0-9]*\)\".*/\1/p" <<<"$summary"; }
tests=$(attribute tests) failures=$(attribute failures) errors=$(attribute errors)
[ -n "$tests" ] && [ -n "$failures" ] && [ -n "$errors" ] || fail "the report has no summary: $summary"
[ "$tests" -gt 0 ] || fail "no test matched: $*"
listed=$(grep -a -c '<testcase ' "$report")
[ "$listed" -eq "$tests" ] || fail "the report is incomplete: it lists $listed of the $tests tests it counts"
completed=$(grep -a -c '<testcase [^>]*result="completed"' "$report")
[ "$completed" -gt 0 ] || fail "every test was skipped: $*"
[ "$failures" -eq 0 ] && [ "$errors" -eq 0 ] || fail "$failures of $tests tests failed, $errors errors"
[ "$status" -eq 0 ] || fail "the program's status was $status although its report shows no failure"
exit 0
