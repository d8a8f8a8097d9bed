#!/usr/bin/env bash
# The helper writes its response only as the Windows process that started it,
# verified. Started straight from Linux it has no Windows parent: it must
# create no response file and leave an existing one as it was, with the exit
# status it has otherwise. Started through run-with-parent.exe (a live
# Windows parent) the same request gets its response, byte for byte.
set -euo pipefail
exe=${1:?usage: response_without_windows_parent.sh TARNWICK-HELPER-EXE RUN-WITH-PARENT-EXE}
launcher=${2:?usage: response_without_windows_parent.sh TARNWICK-HELPER-EXE RUN-WITH-PARENT-EXE}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
windows_path() { local p="Z:$1"; echo "${p//\//\\}"; }  # Wine's drive Z: is the Linux root

status=0
check() {  # how (direct or parent), file name, expected status, expected file content
  local how=$1 name=$2 want_status=$3 want=$4 got_status=0
  local -a run=("$root/tools/wine-run" "$exe")
  if [ "$how" = parent ]; then run=("$root/tools/wine-run" "$launcher" "$(windows_path "$exe")"); fi
  "${run[@]}" 7 "$(windows_path "$work/$name")" </dev/null >/dev/null 2>&1 || got_status=$?
  local got
  got=$(cat "$work/$name" 2>/dev/null || echo "(no file)")
  if [ "$got_status" != "$want_status" ] || [ "$got" != "$want" ]; then
    echo "FAIL $how $name: status $got_status (want $want_status), content: $got" >&2
    status=1
  else
    echo "ok   $how $name"
  fi
}

older='an older, longer response from an earlier run'
response='{"status":"err","error":"bad request payload: odd hex length"}'
check direct new.json 1 "(no file)"
printf '%s\n' "$older" >"$work/old.json"
check direct old.json 1 "$older"
check parent new-with-parent.json 1 "$response"
printf '%s\n' "$older" >"$work/old-with-parent.json"
check parent old-with-parent.json 1 "$response"
exit $status
