#!/usr/bin/env bash
# Cost of "clean-system" on a generated system Temp folder of 11,000 files
# (1,000 directly in it, 10,000 in 200 subfolders of 50), under Wine:
#   - the helper exe end to end (process start to exit), cleaning the tree
#     copied into the private prefix's own C:\windows\Temp, against Wine's own
#     `cmd /c rmdir /s /q` of an identical tree, with native `rm -rf` of a
#     third copy as the floor;
#   - the scan alone (timed inside win-tests.exe, CleanBench) against
#     `cmd /c dir /s /a` of the same tree.
# Each figure is the median of the runs; "net" takes away what the same
# command costs on an empty tree (Wine and cmd start-up). Prints times,
# files per second and ratios, all measured in this one run. Like the
# Windows tests, it owns the prefix's Temp and SoftwareDistribution\Download
# while it runs: it empties them before and after.
#
# Usage: bench/clean_system_bench.sh [runs]   (default 3; needs the Windows
# build: cmake --preset windows && cmake --build --preset windows --target
# tarnwick-helper win-tests; other builds can be named in TARNWICK_HELPER_EXE
# and TARNWICK_WIN_TESTS_EXE)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=tools/wine-env
. "$root/tools/wine-env"

runs=${1:-3}
exe=${TARNWICK_HELPER_EXE:-$root/build/windows/tarnwick-helper.exe}
tests_exe=${TARNWICK_WIN_TESTS_EXE:-$root/build/windows/win-tests.exe}
for program in "$exe" "$tests_exe"; do
  [ -f "$program" ] || { echo "no $program: build the windows preset first" >&2; exit 1; }
done

direct_files=1000
folders=200
files_per_folder=50
file_bytes=100
files=$((direct_files + folders * files_per_folder))
scanned_bytes=$((files * file_bytes))
removed_bytes=$scanned_bytes  # every file goes, at any depth

# Beside the Wine prefix, on the same disk.
mkdir -p "$root/build"
work=$(mktemp -d "$root/build/clean-bench.XXXXXX")
wine_prefix_ready
# The folders the helper cleans: the prefix's own (Wine keeps "temp" in
# lower case; names are found without regard to case).
system_temp="$WINEPREFIX/drive_c/windows/temp"
system_download="$WINEPREFIX/drive_c/windows/SoftwareDistribution/Download"
empty_system_folders() {
  mkdir -p "$system_temp" "$system_download"
  find "$system_temp" "$system_download" -mindepth 1 -delete
}
empty_system_folders
wineserver -p  # one server for the whole run: Wine's start-up is then what a real start costs
export TARNWICK_WINESERVER_HELD=1
wine() { "$root/tools/wine-run" "$@"; }
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  empty_system_folders
  rm -rf "$work"
}
trap cleanup EXIT

# The Windows form of a Linux path (Wine's Z: drive is /).
windows_path() { printf 'Z:%s' "$(realpath "$1" | sed 's|/|\\|g')"; }

make_tree() {
  local temp=$1/Windows/Temp payload
  payload=$(printf "%${file_bytes}s" '' | tr ' ' x)
  mkdir -p "$temp"
  for i in $(seq "$direct_files"); do printf '%s' "$payload" >"$temp/file$i.tmp"; done
  for d in $(seq "$folders"); do
    mkdir "$temp/folder$d"
    for i in $(seq "$files_per_folder"); do printf '%s' "$payload" >"$temp/folder$d/file$i.tmp"; done
  done
}

# Wall time of one run of the command, in nanoseconds.
time_ns() {
  local start
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1 || true
  echo $(($(date +%s%N) - start))
}

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ms() { awk -v t="$1" 'BEGIN { printf "%.1f", t / 1e6 }'; }

make_tree "$work/template"
mkdir -p "$work/empty/Windows/Temp"
request_hex=$(printf '%s' '{"action":{"action":"clean-system"}}' | od -An -v -tx1 | tr -d ' \n')

clean_system() {  # the helper cleans the system's Windows directory, whatever WINDIR says
  wine "$exe" "$request_hex" "$(windows_path "$1")"
}
rmdir_tree() { wine cmd /c "rmdir /s /q $(windows_path "$1")"; }
dir_tree() { wine cmd /c "dir /s /a $(windows_path "$1") >NUL"; }

# Warm-up, and the baselines: the same commands on an empty tree.
clean_system "$work/response.json" >/dev/null 2>&1 || true
helper_base=() rmdir_base=() dir_base=()
for _ in $(seq "$runs"); do
  helper_base+=("$(time_ns clean_system "$work/response.json")")
  mkdir -p "$work/empty-copy"
  rmdir_base+=("$(time_ns rmdir_tree "$work/empty-copy")")
  dir_base+=("$(time_ns dir_tree "$work/empty/Windows/Temp")")
done

helper=() rmdir=() rm=()
for run in $(seq "$runs"); do
  for copy in rmdir rm; do cp -a "$work/template" "$work/$copy-$run"; done
  cp -a "$work/template/Windows/Temp/." "$system_temp/"
  helper+=("$(time_ns clean_system "$work/response.json")")
  # The figure must time a full clean, not an error.
  expected="{\"status\":\"ok\",\"data\":{\"removed_bytes\":$removed_bytes}}"
  if [ "$(cat "$work/response.json" 2>/dev/null)" != "$expected" ] || [ -n "$(ls -A "$system_temp")" ]; then
    echo "the helper did not clean the tree; its response: $(head -c 300 "$work/response.json" 2>/dev/null)" >&2
    exit 1
  fi
  rmdir+=("$(time_ns rmdir_tree "$work/rmdir-$run/Windows/Temp")")
  if [ -e "$work/rmdir-$run/Windows/Temp" ]; then echo "rmdir /s /q left the tree" >&2; exit 1; fi
  rm+=("$(time_ns rm -rf "$work/rm-$run/Windows/Temp")")
done

scan_inside=() scan_process=() dir=()
for _ in $(seq "$runs"); do
  start=$(date +%s%N)
  output=$(TARNWICK_BENCH_SCAN_DIR=$(windows_path "$work/template/Windows/Temp") TARNWICK_BENCH_SCAN_BYTES=$scanned_bytes \
    wine "$tests_exe" --gtest_filter=CleanBench.ScanOfAGeneratedTree 2>&1 || true)
  scan_process+=($(($(date +%s%N) - start)))
  seconds=$(printf '%s\n' "$output" | awk '/^scan-seconds / { print $2 }')
  if [ -z "$seconds" ] || ! printf '%s\n' "$output" | grep -q '^\[  PASSED  \] 1 test'; then
    echo "the scan benchmark did not pass:" >&2
    printf '%s\n' "$output" | tail -n 20 >&2
    exit 1
  fi
  scan_inside+=("$(awk -v s="$seconds" 'BEGIN { printf "%d", s * 1e9 }')")
  dir+=("$(time_ns dir_tree "$work/template/Windows/Temp")")
done

h=$(median "${helper[@]}") r=$(median "${rmdir[@]}") f=$(median "${rm[@]}")
hb=$(median "${helper_base[@]}") rb=$(median "${rmdir_base[@]}") db=$(median "${dir_base[@]}")
si=$(median "${scan_inside[@]}") sp=$(median "${scan_process[@]}") d=$(median "${dir[@]}")
hn=$((h > hb ? h - hb : 1)) rn=$((r > rb ? r - rb : 1)) dn=$((d > db ? d - db : 1))
rate() { awk -v n="$files" -v t="$1" 'BEGIN { printf "%.0f", n / (t / 1e9) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "clean-system on $files files ($direct_files directly in Temp, $folders folders of $files_per_folder), median of $runs runs under Wine:"
printf '  %-34s %9s ms  net %9s ms  %8s files/s net\n' \
  "tarnwick-helper.exe clean-system" "$(ms "$h")" "$(ms "$hn")" "$(rate "$hn")" \
  "cmd /c rmdir /s /q" "$(ms "$r")" "$(ms "$rn")" "$(rate "$rn")"
printf '  %-34s %9s ms  %27s files/s\n' "rm -rf (native floor)" "$(ms "$f")" "$(rate "$f")"
echo "  start-up on an empty tree: helper $(ms "$hb") ms, cmd rmdir $(ms "$rb") ms"
echo "  ratio helper / rmdir   $(ratio "$h" "$r") whole, $(ratio "$hn" "$rn") net"
echo "  ratio helper / rm -rf  $(ratio "$hn" "$f") net"
echo "scan alone on the same tree ($scanned_bytes bytes):"
printf '  %-34s %9s ms  %8s files/s (timed inside the process)\n' "engine scan (win-tests CleanBench)" "$(ms "$si")" "$(rate "$si")"
printf '  %-34s %9s ms  (whole win-tests process)\n' "" "$(ms "$sp")"
printf '  %-34s %9s ms  net %9s ms  %8s files/s net\n' "cmd /c dir /s /a" "$(ms "$d")" "$(ms "$dn")" "$(rate "$dn")"
echo "  ratio scan / dir /s    $(ratio "$si" "$dn") (inside vs net)"
