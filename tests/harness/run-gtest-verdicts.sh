#!/usr/bin/env bash
# The verdicts that scripts/run-gtest.sh must give on test programs that fail in every way a test
# program can, some of which Wine's exit status does not show.
#   run-gtest-verdicts.sh RUN_GTEST WINE_RUN PROBE
set -uo pipefail
run_gtest=${1:?usage: run-gtest-verdicts.sh RUN_GTEST WINE_RUN PROBE}
wine_run=${2:?usage: run-gtest-verdicts.sh RUN_GTEST WINE_RUN PROBE}
probe=${3:?usage: run-gtest-verdicts.sh RUN_GTEST WINE_RUN PROBE}

# filter|passes|what the wrapper says when it fails the program
cases=(
  "Passes.*|yes|"
  "IsPartlySkipped.*|yes|"
  "Fails.*|no|1 of 1 tests failed"
  "CrashesBeforeItsReport.OnItsOwnThread|no|a process died of an unhandled exception"
  "CrashesBeforeItsReport.OnAnotherThreadWhileOthersRun|no|a process died of an unhandled exception"
  "CrashesAtExit.*|no|a process died of an unhandled exception"
  "EndsEarly.*|no|the program ended"
  "IsSkipped.*|no|every test was skipped"
  "TruncatesItsReport.*|no|the report is incomplete"
  "NoSuchSuite.*|no|no test matched"
)
wrong=0
for c in "${cases[@]}"; do
  IFS='|' read -r filter passes says <<<"$c"
  verdict=$("$run_gtest" "$wine_run" "$probe" "--gtest_filter=$filter" 2>&1 >/dev/null)
  status=$?
  if [ "$passes" = yes ]; then
    [ "$status" -eq 0 ] && { echo "ok: $filter passes"; continue; }
    echo "WRONG: $filter should pass; the wrapper said: $verdict"
  else
    if [ "$status" -ne 0 ] && grep -qF "run-gtest.sh: FAILED: $says" <<<"$verdict"; then
      echo "ok: $filter fails: $says"
      continue
    fi
    echo "WRONG: $filter should fail with '$says'; status $status, the wrapper said: ${verdict:-nothing}"
  fi
  wrong=$((wrong + 1))
done
[ "$wrong" -eq 0 ] || { echo "run-gtest-verdicts.sh: $wrong wrong verdicts" >&2; exit 1; }
