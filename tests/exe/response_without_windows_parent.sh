#!/usr/bin/env bash
# The helper started straight from Linux has no Windows parent process, so it
# writes its response with its own identity, administrator rights taken away,
# instead of its parent's. The response must still arrive, byte for byte.
set -euo pipefail
exe=${1:?usage: response_without_windows_parent.sh TARNWICK-HELPER-EXE}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
windows_path() { local p="Z:$1"; echo "${p//\//\\}"; }  # Wine's drive Z: is the Linux root

status=0
check() {  # name, expected status, expected file content
  local name=$1 want_status=$2 want=$3 got_status=0
  "$root/tools/wine-run" "$exe" 7 "$(windows_path "$work/$name")" </dev/null >/dev/null 2>&1 || got_status=$?
  local got
  got=$(cat "$work/$name" 2>/dev/null || echo "(no file)")
  if [ "$got_status" != "$want_status" ] || [ "$got" != "$want" ]; then
    echo "FAIL $name: status $got_status (want $want_status), content: $got" >&2
    status=1
  else
    echo "ok   $name"
  fi
}

response='{"status":"err","error":"bad request payload: odd hex length"}'
check new.json 1 "$response"
printf 'an older, longer response from an earlier run\n' >"$work/old.json"
check old.json 1 "$response"
exit $status
