#!/usr/bin/env bash
# The shipped binaries' own stack protector runtime, through
# stack-guard-probe.exe (built with it, as the shipped binaries are):
#   - the guard is not zero and differs from one start to the next;
#   - an overrun of a protected buffer ends the process at the function's
#     return with STATUS_STACK_BUFFER_OVERRUN, printing nothing after it.
# Usage: tests/exe/stack_guard.sh PROBE-EXE
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
probe=${1:?usage: stack_guard.sh PROBE-EXE}
run() { "$root/tools/wine-run" "$probe" "$@"; }
status=0
first=$(run guard | tr -d '\r')
second=$(run guard | tr -d '\r')
echo "guards: $first $second"
if ! [[ $first =~ ^[0-9a-f]{16}$ ]] || [ "$first" = 0000000000000000 ]; then
  echo "FAIL: the guard is not set: '$first'"; status=1
fi
if [ "$first" = "$second" ]; then echo "FAIL: two starts got the same guard"; status=1; fi
output=$(run smash 2>&1 | tr -d '\r'; exit "${PIPESTATUS[0]}")
code=$?
echo "smash: status $code, output '$output'"
# STATUS_STACK_BUFFER_OVERRUN (0xC0000409), of which Wine's exit status
# carries the low byte.
if [ "$code" -ne 9 ]; then echo "FAIL: an overrun ended with status $code, not 0xC0000409's 9"; status=1; fi
if grep -q "returned past" <<<"$output"; then echo "FAIL: the function returned past a smashed stack"; status=1; fi
exit $status
