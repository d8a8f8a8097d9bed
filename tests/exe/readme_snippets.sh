#!/usr/bin/env bash
# README's code snippets that stand for a file of the tree are that file,
# byte for byte, so that they cannot rot: a line `<!-- snippet: PATH -->`
# followed by a fenced block must hold exactly PATH's text.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
readme=${1:-$root/README.md}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Writes each snippet's block to $work/N and prints "N PATH" per snippet.
awk -v dir="$work" '
  /^<!-- snippet: .* -->$/ { path = $3; want = 1; next }
  want == 1 && /^```/ { n++; file = dir "/" n; printf "" > file; print n, path; want = 2; next }
  want == 2 && /^```$/ { close(file); want = 0; next }
  want == 2 { print > file }
  want == 1 && !/^$/ { print "snippet marker for " path " not followed by a fenced block" > "/dev/stderr"; exit 1 }
' "$readme" >"$work/list"

status=0
count=0
while read -r n path; do
  count=$((count + 1))
  if cmp -s "$work/$n" "$root/$path"; then
    echo "ok   README snippet = $path"
  else
    echo "FAIL README's snippet of $path differs from the file:" >&2
    diff "$root/$path" "$work/$n" >&2 || true
    status=1
  fi
done <"$work/list"
if [ $count -eq 0 ]; then
  echo "FAIL no snippet markers in $readme" >&2
  status=1
fi
exit $status
