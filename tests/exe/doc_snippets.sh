#!/usr/bin/env bash
# The docs' code snippets that stand for a file of the tree are that file,
# byte for byte, so that they cannot rot: a line `<!-- snippet: PATH -->`
# followed by a fenced block must hold exactly PATH's text. The files of
# examples/ are built and run by the Windows build's `examples` test.
# Usage: doc_snippets.sh [DOCUMENT...]   (default: README.md and docs/*.md)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
documents=("$@")
[ ${#documents[@]} -gt 0 ] || documents=("$root/README.md" "$root"/docs/*.md)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Writes each snippet's block to $work/N and prints "N PATH DOCUMENT" per
# snippet, numbering on across the documents.
n=0
for document in "${documents[@]}"; do
  awk -v dir="$work" -v n="$n" -v doc="${document#"$root/"}" '
  /^<!-- snippet: .* -->$/ { path = $3; want = 1; next }
  want == 1 && /^```/ { n++; file = dir "/" n; printf "" > file; print n, path, doc; want = 2; next }
  want == 2 && /^```$/ { close(file); want = 0; next }
  want == 2 { print > file }
  want == 1 && !/^$/ { print doc ": snippet marker for " path " not followed by a fenced block" > "/dev/stderr"; exit 1 }
  ' "$document" >>"$work/list"
  n=$(wc -l <"$work/list")
done

status=0
count=0
while read -r n path document; do
  count=$((count + 1))
  if cmp -s "$work/$n" "$root/$path"; then
    echo "ok   $document: snippet = $path"
  else
    echo "FAIL $document: the snippet of $path differs from the file:" >&2
    diff "$root/$path" "$work/$n" >&2 || true
    status=1
  fi
done <"$work/list"
if [ $count -eq 0 ]; then
  echo "FAIL no snippet markers in ${documents[*]}" >&2
  status=1
fi
exit $status
