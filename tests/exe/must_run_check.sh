#!/usr/bin/env bash
# tools/check-must-run against made-up gtest reports: it passes a run where
# every listed test completed and nothing skipped, and fails, naming the
# test, when a listed test skipped, is missing or is no test of the suite,
# and when any other test skipped.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
check=$root/tools/check-must-run
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf '# Windows only\nWin.Links\n\nWin.Acls  # trailing comment\n' >"$work/list"
# A report with a CR LF ending, as the Windows job writes it.
testcase() { printf '    <testcase name="%s" file="x.cpp" line="1" status="run" result="%s" time="0" classname="%s" />\r\n' "$2" "$3" "$1"; }
report() {
  printf '<?xml version="1.0" encoding="UTF-8"?>\r\n<testsuites tests="3" name="AllTests">\r\n'
  printf '%s\n' "$@"
  printf '</testsuites>\r\n'
}

failed=0
# case|expected status|text expected in the output|the report's test cases (Suite.Name result;...)
while IFS='|' read -r name expected text cases; do
  IFS=';' read -ra entries <<<"$cases"
  lines=()
  for entry in "${entries[@]}"; do
    read -r test result <<<"$entry"
    lines+=("$(testcase "${test%%.*}" "${test#*.}" "$result")")
  done
  report "${lines[@]}" >"$work/report.xml"
  status=0
  out=$("$check" "$work/list" "$work/report.xml" 2>&1) || status=$?
  if [ "$status" -ne "$expected" ] || { [ -n "$text" ] && ! grep -qF "$text" <<<"$out"; }; then
    echo "FAIL $name: status $status (wanted $expected), output: $out" >&2
    failed=1
  else
    echo "ok   $name"
  fi
done <<'CASES'
all ran|0|must-run: all 2 listed tests ran|Win.Links completed;Win.Acls completed;Unit.Plain completed
a listed test skipped|1|Win.Acls did not complete: skipped|Win.Links completed;Win.Acls skipped;Unit.Plain completed
a listed test missing|1|Win.Acls did not run|Win.Links completed;Unit.Plain completed
another test skipped|1|Unit.Plain did not complete: skipped (nothing may skip here)|Win.Links completed;Win.Acls completed;Unit.Plain skipped
CASES

# No report at all is a failure, not a pass.
if "$check" "$work/list" "$work/none.xml" >/dev/null 2>&1; then
  echo "FAIL a missing report passed" >&2
  failed=1
else
  echo "ok   a missing report fails"
fi

# --names against a --gtest_list_tests listing (CR LF as on Windows).
listing=$'Win.\r\n  Links\r\n  Acls\r\nUnit.\r\n  Plain\r\n'
if "$check" --names "$work/list" <<<"$listing" >/dev/null; then echo "ok   --names: all in the suite"; else
  echo "FAIL --names refused a listing holding every test" >&2
  failed=1
fi
out=$("$check" --names "$work/list" <<<$'Win.\n  Links\n' 2>&1) && status=0 || status=$?
if [ "$status" -eq 1 ] && grep -qF "Win.Acls is not a test of the suite" <<<"$out"; then echo "ok   --names: a missing test"; else
  echo "FAIL --names on a missing test: status $status, output: $out" >&2
  failed=1
fi
exit $failed
