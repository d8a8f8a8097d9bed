#!/usr/bin/env bash
# The helper against its floors: three ratios, measured in one run under
# Wine, each pair alternating run by run so that load from elsewhere on the
# machine falls on both sides alike. Every figure is min / median / max over
# the runs; a ratio is taken run by run (helper / peer of the same round).
#
#   1. clean-system on 11,000 files (1,000 directly in the system Temp, 200
#      folders of 50, 100 bytes each) against native `rm -rf` of the same
#      tree (goal: at most 12), and against Wine's `cmd /c rmdir /s /q`;
#   2. startup-hklm-list on 1,000 Run values, 500 of them with a
#      StartupApproved state, against `reg query` of the Run key (goal: at
#      most 0.4);
#   3. a request that does nothing (clean-system on empty targets) against
#      bench-empty.exe, an empty program built like the helper (goal: at
#      most 1.05).
# For 1 and 2 it also prints the floor, bench-floor.exe: the same system
# calls a program cannot do without (per file one open carrying the deletion
# and one close; one enumeration call per value), with none of the helper's
# checks, each as a ratio to the same peer.
#
# Every Windows process is started and timed by bench/spawn-timer.exe, the
# one Windows parent of all of them (the helper writes its response only for
# a live Windows parent): each time runs from CreateProcessW to the exit, so
# Wine's own start from Linux is in none of them. `rm -rf` is timed here.
#
# Usage: bench/ratios_bench.sh [runs] [clean-runs]   (defaults 20 and 5;
# needs the Windows build: cmake --preset windows && cmake --build --preset
# windows; another build of the helper can be named in TARNWICK_HELPER_EXE)
#
# It owns the private prefix's system Temp and SoftwareDistribution\Download
# folders and its machine-wide Run and StartupApproved\Run keys while it
# runs, as the Windows tests do: it empties them before and after.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=tools/wine-env
. "$root/tools/wine-env"

runs=${1:-20}
clean_runs=${2:-5}
exe=${TARNWICK_HELPER_EXE:-$root/build/windows/tarnwick-helper.exe}
timer=$root/build/windows/bench/spawn-timer.exe
empty_exe=$root/build/windows/bench/bench-empty.exe
floor_exe=$root/build/windows/bench/bench-floor.exe
for program in "$exe" "$timer" "$empty_exe" "$floor_exe"; do
  [ -f "$program" ] || { echo "no $program: build the windows preset first" >&2; exit 1; }
done
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
approved_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run'

mkdir -p "$root/build"
work=$(mktemp -d "$root/build/ratios-bench.XXXXXX")  # beside the prefix, on the same disk
wine_prefix_ready
system_temp="$WINEPREFIX/drive_c/windows/temp"
system_download="$WINEPREFIX/drive_c/windows/SoftwareDistribution/Download"
empty_system_folders() {
  mkdir -p "$system_temp" "$system_download"
  find "$system_temp" "$system_download" -mindepth 1 -delete
}
wineserver -p  # one server for the whole run
export TARNWICK_WINESERVER_HELD=1
wine() { "$root/tools/wine-run" "$@"; }
# Wine's background processes (services.exe, winedevice.exe) start with the
# first program and live as long as the server: start them here, away from
# the pipes of the timed commands' output, which they would otherwise hold.
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
cleanup() {
  wine reg delete "$run_key" /f >/dev/null 2>&1 || true
  wine reg delete "$approved_key" /f >/dev/null 2>&1 || true
  wineserver -k >/dev/null 2>&1 || true
  empty_system_folders
  rm -rf "$work"
}
trap cleanup EXIT
empty_system_folders

# The Windows form of a Linux path (Wine's Z: drive is /).
windows_path() { printf 'Z:%s' "$(realpath "$1" | sed 's|/|\\|g')"; }
hex() { printf '%s' "$1" | od -An -v -tx1 | tr -d ' \n'; }
response_path=$(touch "$work/response.json" && windows_path "$work/response.json")
helper_line() { printf '"%s" %s "%s"' "$(windows_path "$exe")" "$(hex "$1")" "$response_path"; }
clean_line=$(helper_line '{"action":{"action":"clean-system"}}')
list_line=$(helper_line '{"action":{"action":"startup-hklm-list"}}')

# Runs spawn-timer and prints its "index microseconds status" lines; fails
# when a command exited with another status than expected (0).
timed() {
  local output
  # The lines end in CR LF (the C runtime's text mode): the CR goes.
  output=$(wine "$(windows_path "$timer")" "$@" 2>&1 | tr -d '\r'; exit "${PIPESTATUS[0]}") ||
    { echo "spawn-timer failed: $output" >&2; exit 1; }
  if printf '%s\n' "$output" | awk 'NF == 3 && $3 != 0 { bad = 1 } END { exit !bad }'; then
    echo "a timed command failed: $output" >&2
    exit 1
  fi
  printf '%s\n' "$output" | awk 'NF == 3'
}
expect_response() {
  local got
  got=$(cat "$work/response.json" 2>/dev/null || true)
  if [ "$got" != "$1" ]; then
    echo "the helper answered $(printf '%s' "$got" | head -c 300), not $(printf '%s' "$1" | head -c 300)" >&2
    exit 1
  fi
}

# min / median / max of numbers given one per line, scaled by $1.
stats() {
  sort -g | awk -v scale="$1" '{ v[NR] = $1 } END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%9.2f / %9.2f / %9.2f", v[1] / scale, m / scale, v[NR] / scale }'
}
ratios() { paste "$1" "$2" | awk '{ print $1 / $2 }' | stats 1; }
row() { printf '  %-32s %s %s\n' "$1" "$2" "$3"; }
# The rows of an alternating pair timed by spawn-timer (command 1 the
# helper, command 2 its peer): both sides, then their ratio.
pair_rows() {
  awk '$1 == 1 { print $2 }' "$1" >"$1-helper"
  awk '$1 == 2 { print $2 }' "$1" >"$1-peer"
  row "tarnwick-helper.exe" "$(stats 1000 <"$1-helper")" ms
  row "$2" "$(stats 1000 <"$1-peer")" ms
  row "ratio helper / $2" "$(ratios "$1-helper" "$1-peer")" "$3"
}

echo "load before: $(uptime | sed 's/.*load average/load average/')"

# 1. clean-system on a generated tree.
direct_files=1000 folders=200 files_per_folder=50 file_bytes=100
files=$((direct_files + folders * files_per_folder))
template="$work/template/Windows/Temp"
mkdir -p "$template"
payload=$(printf "%${file_bytes}s" '' | tr ' ' x)
for i in $(seq "$direct_files"); do printf '%s' "$payload" >"$template/file$i.tmp"; done
for d in $(seq "$folders"); do
  mkdir "$template/folder$d"
  for i in $(seq "$files_per_folder"); do printf '%s' "$payload" >"$template/folder$d/file$i.tmp"; done
done
: >"$work/clean-helper" && : >"$work/clean-rm" && : >"$work/clean-rmdir" && : >"$work/clean-floor"
for run in $(seq "$clean_runs"); do
  cp -a "$template/." "$system_temp/"
  cp -a "$template" "$work/rmdir-$run"
  cp -a "$template" "$work/rm-$run"
  cp -a "$template" "$work/floor-$run"
  timed 1 "$clean_line" | awk '{ print $2 }' >>"$work/clean-helper"
  expect_response "{\"status\":\"ok\",\"data\":{\"removed_bytes\":$((files * file_bytes))}}"
  timed 1 "cmd /c rmdir /s /q \"$(windows_path "$work/rmdir-$run")\"" | awk '{ print $2 }' >>"$work/clean-rmdir"
  if [ -e "$work/rmdir-$run" ]; then echo "rmdir /s /q left the tree" >&2; exit 1; fi
  timed 1 "\"$(windows_path "$floor_exe")\" delete \"$(windows_path "$work/floor-$run")\"" | awk '{ print $2 }' >>"$work/clean-floor"
  if [ -n "$(ls -A "$work/floor-$run")" ]; then echo "bench-floor.exe left files" >&2; exit 1; fi
  start=$(date +%s%N)
  rm -rf "$work/rm-$run"
  echo $((($(date +%s%N) - start) / 1000)) >>"$work/clean-rm"
done
echo "clean-system on $files files ($direct_files in Temp, $folders folders of $files_per_folder), $clean_runs runs, min / median / max:"
row "tarnwick-helper.exe" "$(stats 1000 <"$work/clean-helper")" ms
row "rm -rf (native)" "$(stats 1000 <"$work/clean-rm")" ms
row "cmd /c rmdir /s /q" "$(stats 1000 <"$work/clean-rmdir")" ms
row "ratio helper / rm -rf" "$(ratios "$work/clean-helper" "$work/clean-rm")" "(goal <= 12)"
row "ratio helper / rmdir" "$(ratios "$work/clean-helper" "$work/clean-rmdir")" ""
row "floor (open, close per file)" "$(stats 1000 <"$work/clean-floor")" ms
row "ratio floor / rm -rf" "$(ratios "$work/clean-floor" "$work/clean-rm")" ""

# 2. startup-hklm-list on 1,000 Run values, every other one with a state.
values=1000
{
  printf 'REGEDIT4\n\n[%s]\n' "${run_key/HKLM/HKEY_LOCAL_MACHINE}"
  for i in $(seq -w 1 $values); do
    printf '"Vendor App %s"="\\"C:\\\\Program Files\\\\Vendor %s\\\\app.exe\\" /background"\n' "$i" "$i"
  done
  printf '\n[%s]\n' "${approved_key/HKLM/HKEY_LOCAL_MACHINE}"
  for i in $(seq -w 1 2 $values); do
    printf '"Vendor App %s"=hex:03,00,00,00,00,00,00,00,00,00,00,00\n' "$i"
  done
} >"$work/values.reg"
wine reg delete "$run_key" /f >/dev/null 2>&1 || true
wine reg delete "$approved_key" /f >/dev/null 2>&1 || true
wine reg import "$(windows_path "$work/values.reg")" >/dev/null 2>&1
timed 1 "$list_line" >/dev/null
listed=$(grep -o '"scope":"hklm-run"' "$work/response.json" | wc -l || true)
disabled=$(grep -o '"enabled":false' "$work/response.json" | wc -l || true)
if [ "$listed" -ne "$values" ] || [ "$disabled" -ne $((values / 2)) ]; then
  echo "the helper listed $listed of $values values ($disabled disabled): $(head -c 300 "$work/response.json")" >&2
  exit 1
fi
timed "$runs" "$list_line" "reg query \"$run_key\"" "\"$(windows_path "$floor_exe")\" registry" >"$work/list"
echo "startup-hklm-list on $values Run values ($((values / 2)) with a StartupApproved state), $runs runs:"
pair_rows "$work/list" "reg query" "(goal <= 0.4)"
awk '$1 == 3 { print $2 }' "$work/list" >"$work/list-floor"
row "floor (one call per value)" "$(stats 1000 <"$work/list-floor")" ms
row "ratio floor / reg query" "$(ratios "$work/list-floor" "$work/list-peer")" ""

# 3. the do-nothing request against the empty exe.
empty_system_folders
timed 1 "$clean_line" >/dev/null
expect_response '{"status":"ok","data":{"removed_bytes":0}}'
timed "$runs" "$clean_line" "\"$(windows_path "$empty_exe")\"" >"$work/start"
expect_response '{"status":"ok","data":{"removed_bytes":0}}'
echo "a request that does nothing (clean-system on empty targets), $runs runs:"
pair_rows "$work/start" "bench-empty.exe" "(goal <= 1.05)"
echo "load after: $(uptime | sed 's/.*load average/load average/')"
