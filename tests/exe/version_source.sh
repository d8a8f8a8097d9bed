#!/usr/bin/env bash
# Where a build of the shipped binaries takes its version from: a configure
# of the windows preset (no build) in trees made from HEAD. The project's own
# clone, and an exported tree given TARNWICK_BUILD_NUMBER and
# SOURCE_DATE_EPOCH together, configure with that version and time stamp; an
# exported tree given neither, or only one, and an exported tree lying inside
# another git repository, stop with the reason.
# Usage: tests/exe/version_source.sh
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-version-source.XXXXXX")
trap 'rm -rf "$work"' EXIT
short=$("$root/tools/project-version" --short)
count=$(git -C "$root" rev-list --count HEAD)
epoch=$(git -C "$root" log -1 --format=%ct HEAD)

git clone -q --no-hardlinks "$root" "$work/clone" && git -C "$work/clone" checkout -q "$(git -C "$root" rev-parse HEAD)"
mkdir -p "$work/export" "$work/other/nested"
git -C "$root" archive HEAD | tar -x -C "$work/export"
# Another repository, with commits of its own, around an exported tree.
git -C "$work/other" init -q && git -C "$work/other" -c user.name=t -c user.email=t@t \
  commit -q --allow-empty -m one && git -C "$work/other" archive --format=tar HEAD >/dev/null
git -C "$root" archive HEAD | tar -x -C "$work/other/nested"

# Each case: TREE|ENVIRONMENT (NAME=VALUE, space-separated)|ok or fail|what the output must say.
cases=(
  "clone||ok|Version: $short.$count"
  "clone||ok|SOURCE_DATE_EPOCH): $epoch"
  "export|TARNWICK_BUILD_NUMBER=417 SOURCE_DATE_EPOCH=1700000000|ok|Version: $short.417"
  "export|TARNWICK_BUILD_NUMBER=417 SOURCE_DATE_EPOCH=1700000000|ok|SOURCE_DATE_EPOCH): 1700000000"
  "export||fail|No version for the shipped binaries"
  "export|TARNWICK_BUILD_NUMBER=417|fail|must be given together"
  "export|SOURCE_DATE_EPOCH=1700000000|fail|must be given together"
  "other/nested||fail|No version for the shipped binaries"
)
status=0
for case in "${cases[@]}"; do
  IFS='|' read -r tree environment expect text <<<"$case"
  rm -rf "$work/$tree/build"
  # shellcheck disable=SC2086 # the environment is a list of words on purpose
  output=$(cd "$work/$tree" && env -u TARNWICK_BUILD_NUMBER -u SOURCE_DATE_EPOCH $environment \
    cmake --preset windows -DBUILD_TESTING=OFF 2>&1)
  code=$?
  if { [ "$expect" = ok ] && [ $code -eq 0 ]; } || { [ "$expect" = fail ] && [ $code -ne 0 ]; }; then
    # CMake wraps its messages: the text is looked for with the lines joined.
    if grep -qF -- "$text" <<<"$(tr -s '[:space:]' ' ' <<<"$output")"; then
      echo "$tree ${environment:-(nothing given)}: $expect, says \"$text\""
      continue
    fi
  fi
  echo "FAIL: $tree ${environment:-(nothing given)}: expected $expect with \"$text\", status $code:"
  echo "$output" | tail -n 15
  status=1
done
exit $status
