#!/usr/bin/env bash
# Cost of the cleaning engine's scan alone on a generated Temp folder of
# 11,000 files (1,000 directly in it, 10,000 in 200 subfolders of 50), under
# Wine: timed inside win-tests.exe (CleanBench) against `cmd /c dir /s /a` of
# the same tree. Each figure is the median of the runs; "net" takes away what
# the same command costs on an empty tree (Wine and cmd start-up). The whole
# clean-system against `rm -rf` and `rmdir /s /q` is bench/ratios_bench.sh.
#
# Usage: bench/clean_system_bench.sh [runs]   (default 3; needs the Windows
# build: cmake --preset windows && cmake --build --preset windows --target
# win-tests; another build can be named in TARNWICK_WIN_TESTS_EXE)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=tools/wine-env
. "$root/tools/wine-env"

runs=${1:-3}
tests_exe=${TARNWICK_WIN_TESTS_EXE:-$root/build/windows/win-tests.exe}
[ -f "$tests_exe" ] || { echo "no $tests_exe: build the windows preset first" >&2; exit 1; }

direct_files=1000
folders=200
files_per_folder=50
file_bytes=100
files=$((direct_files + folders * files_per_folder))
scanned_bytes=$((files * file_bytes))

# Beside the Wine prefix, on the same disk.
mkdir -p "$root/build"
work=$(mktemp -d "$root/build/clean-bench.XXXXXX")
wine_prefix_ready
wineserver -p  # one server for the whole run: Wine's start-up is then what a real start costs
export TARNWICK_WINESERVER_HELD=1
wine() { "$root/tools/wine-run" "$@"; }
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
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
dir_tree() { wine cmd /c "dir /s /a $(windows_path "$1") >NUL"; }

# The baseline: the same command on an empty tree.
dir_base=()
for _ in $(seq "$runs"); do dir_base+=("$(time_ns dir_tree "$work/empty/Windows/Temp")"); done

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

db=$(median "${dir_base[@]}")
si=$(median "${scan_inside[@]}") sp=$(median "${scan_process[@]}") d=$(median "${dir[@]}")
dn=$((d > db ? d - db : 1))
rate() { awk -v n="$files" -v t="$1" 'BEGIN { printf "%.0f", n / (t / 1e9) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "scan alone on $files files ($direct_files directly in Temp, $folders folders of $files_per_folder, $scanned_bytes bytes), median of $runs runs under Wine:"
printf '  %-34s %9s ms  %8s files/s (timed inside the process)\n' "engine scan (win-tests CleanBench)" "$(ms "$si")" "$(rate "$si")"
printf '  %-34s %9s ms  (whole win-tests process)\n' "" "$(ms "$sp")"
printf '  %-34s %9s ms  net %9s ms  %8s files/s net\n' "cmd /c dir /s /a" "$(ms "$d")" "$(ms "$dn")" "$(rate "$dn")"
echo "  ratio scan / dir /s    $(ratio "$si" "$dn") (inside vs net)"
