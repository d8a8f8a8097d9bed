#!/usr/bin/env bash
# End-to-end cost of "startup-hklm-list" on a Run key of 1,000 values: the
# helper exe from process start to exit under Wine, against Wine's own
# `reg query` of the same key, in the same run and the same prefix. Prints
# both mean times, their ratio and the exe's size.
#
# Usage: bench/startup_list_bench.sh [runs]   (default 10; needs the Windows
# build: cmake --preset windows && cmake --build --preset windows; another
# build of the exe can be named in TARNWICK_HELPER_EXE)
#
# It owns the private prefix's machine-wide Run and StartupApproved\Run keys
# while it runs (as the Windows tests do): it fills them and deletes them at the end.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=tools/wine-env
. "$root/tools/wine-env"

runs=${1:-10}
values=1000
exe=${TARNWICK_HELPER_EXE:-$root/build/windows/tarnwick-helper.exe}
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
approved_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run'
[ -f "$exe" ] || { echo "no $exe: build the windows preset first" >&2; exit 1; }

work=$(mktemp -d)
wine_prefix_ready
wineserver -p  # one server for the whole run: Wine's start-up is then what a real start costs
export TARNWICK_WINESERVER_HELD=1
wine() { "$root/tools/wine-run" "$@"; }
cleanup() {
  wine reg delete "$run_key" /f >/dev/null 2>&1 || true
  wine reg delete "$approved_key" /f >/dev/null 2>&1 || true
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

# 1,000 Run values, every other one with a StartupApproved state.
{
  printf 'REGEDIT4\n\n[%s]\n' "${run_key/HKLM/HKEY_LOCAL_MACHINE}"
  for i in $(seq -w 1 $values); do
    printf '"Vendor App %s"="\\"C:\\\\Program Files\\\\Vendor %s\\\\app.exe\\" /background"\n' "$i" "$i"
  done
  printf '\n[%s]\n' "${approved_key/HKLM/HKEY_LOCAL_MACHINE}"
  for i in $(seq -w 1 2 $values); do
    printf '"Vendor App %s"=hex:03,00,00,00,00,00,00,00,00,00,00,00\n' "$i"
  done
} >values.reg
wine reg delete "$run_key" /f >/dev/null 2>&1 || true
wine reg delete "$approved_key" /f >/dev/null 2>&1 || true
wine reg import values.reg >/dev/null 2>&1

request_hex=$(printf '%s' '{"action":{"action":"startup-hklm-list"}}' | od -An -tx1 | tr -d ' \n')

# Wall time of one run of the command, in nanoseconds.
time_ns() {
  local start
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1 || true
  echo $(($(date +%s%N) - start))
}

# The helper must answer with every value, or the figure would time an error.
wine "$exe" "$request_hex" response.json >/dev/null 2>&1 || true
listed=$(grep -o '"scope":"hklm-run"' response.json 2>/dev/null | wc -l || true)
disabled=$(grep -o '"enabled":false' response.json 2>/dev/null | wc -l || true)
if [ "$listed" -ne "$values" ] || [ "$disabled" -ne $((values / 2)) ]; then
  echo "the helper listed $listed of $values values ($disabled disabled); its response: $(head -c 300 response.json 2>/dev/null)" >&2
  exit 1
fi

# Interleaved, after one warm-up each, so that load from elsewhere on the
# machine falls on both alike.
wine reg query "$run_key" >/dev/null 2>&1 || true
helper_ns=0
reg_ns=0
for _ in $(seq "$runs"); do
  helper_ns=$((helper_ns + $(time_ns wine "$exe" "$request_hex" response.json)))
  reg_ns=$((reg_ns + $(time_ns wine reg query "$run_key")))
done
helper_ms=$(awk -v t="$helper_ns" -v n="$runs" 'BEGIN { printf "%.1f", t / n / 1e6 }')
reg_ms=$(awk -v t="$reg_ns" -v n="$runs" 'BEGIN { printf "%.1f", t / n / 1e6 }')

echo "startup-hklm-list on $values Run values, mean of $runs runs under Wine (process start to exit):"
echo "  tarnwick-helper.exe  $helper_ms ms"
echo "  reg query            $reg_ms ms"
awk -v h="$helper_ms" -v r="$reg_ms" 'BEGIN { printf "  ratio helper / reg query  %.2f\n", h / r }'
echo "  tarnwick-helper.exe size  $(stat -c %s "$exe") bytes"
