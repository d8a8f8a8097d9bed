#!/usr/bin/env bash
# win-tests.exe without TARNWICK_TEST_MACHINE_STATE must leave the machine's
# state alone: a sentinel value in HKLM's Run and StartupApproved\Run keys and
# sentinel files in the system's Temp and SoftwareDistribution\Download
# folders are all still there, unchanged, after the whole suite ran; the
# tests that own that state skip themselves, saying why.
set -uo pipefail
tests_exe=${1:?usage: machine_state_untouched.sh WIN-TESTS-EXE}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=tools/wine-env
. "$root/tools/wine-env"
wine_prefix_ready

run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
approved_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run'
sentinel="tarnwick-sentinel-$$"
windows="$WINEPREFIX/drive_c/windows"
temp_file="$windows/temp/$sentinel.txt"
download_dir="$windows/SoftwareDistribution/Download"
download_file="$download_dir/$sentinel.cab"
log=$(mktemp)
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

reg() { "$root/tools/wine-run" reg "$@" </dev/null 2>/dev/null | tr -d '\r'; }
# shellcheck disable=SC2317  # run by the EXIT trap
cleanup() {
  reg delete "$run_key" /v "$sentinel" /f >/dev/null
  reg delete "$approved_key" /v "$sentinel" /f >/dev/null
  rm -f "$temp_file" "$download_file" "$log"
}
trap cleanup EXIT

reg add "$run_key" /v "$sentinel" /t REG_SZ /d 'C:\sentinel.exe /run' /f >/dev/null
reg add "$approved_key" /v "$sentinel" /t REG_BINARY /d 030000000000000000000000 /f >/dev/null
mkdir -p "$windows/temp" "$download_dir"
printf 'sentinel\n' >"$temp_file"
printf 'sentinel\n' >"$download_file"

env -u TARNWICK_TEST_MACHINE_STATE "$root/tools/wine-run" "$tests_exe" </dev/null >"$log" 2>&1
tests_status=$?
[ $tests_status -eq 0 ] || { tail -n 30 "$log" >&2; fail "win-tests.exe exited with $tests_status"; }
skipped=$(grep -c 'set TARNWICK_TEST_MACHINE_STATE=1 to run it' "$log")
if [ "$skipped" -gt 0 ]; then echo "ok   $skipped tests skipped themselves without the opt-in"; else fail "no test skipped for want of the opt-in"; fi

if reg query "$run_key" /v "$sentinel" | grep -q 'C:\\sentinel.exe /run'; then
  echo "ok   the Run value is still there"
else
  fail "the sentinel Run value is gone or changed"
fi
if reg query "$approved_key" /v "$sentinel" | grep -q '030000000000000000000000'; then
  echo "ok   the StartupApproved\\Run value is still there"
else
  fail "the sentinel StartupApproved value is gone or changed"
fi
for file in "$temp_file" "$download_file"; do
  if [ "$(cat "$file" 2>/dev/null)" = sentinel ]; then echo "ok   ${file#"$windows/"} is still there"; else fail "${file#"$windows/"} is gone or changed"; fi
done
exit $status
