#!/usr/bin/env bash
# The release's MSI installed and removed under Wine, in the project's Wine
# prefix, as an administrator's silent install does:
#   - msiexec /i MSI /qn puts exactly the SDK's bin/ (the exes and the DLL,
#     byte for byte the zip's) into C:\Program Files\Tarnwick\, the 64-bit
#     Program Files, and nothing into Program Files (x86);
#   - it replaces an earlier build of the same X.Y.Z (the same files packaged
#     as build B-1 and installed first): after msiexec /x MSI /qn nothing is
#     left, which a second product still holding the components would keep;
#   - msiexec /x MSI /qn removes them and the folder.
# Nothing else of the prefix is changed: the packages hold files only.
#
#   msi_install.sh DIST     (a folder tools/release wrote)
set -euo pipefail
usage="usage: msi_install.sh DIST"
dist=$(cd "${1:?$usage}" && pwd)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=tools/release-lib
. "$root/tools/release-lib"
# shellcheck source=tools/wine-env
. "$root/tools/wine-env"

version=$("$root/tools/project-version")
msi="$dist/$(msi_name "$version")"
zip="$dist/$(user_zip_name "$version")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" "$(sdk_folder_name "$version")/bin/*" -d "$work"
bin="$work/$(sdk_folder_name "$version")/bin"

target="$WINEPREFIX/drive_c/Program Files/Tarnwick"
x86="$WINEPREFIX/drive_c/Program Files (x86)/Tarnwick"
windows_msi="Z:${msi//\//\\}"
earlier_msi="$work/earlier.msi"
windows_earlier_msi="Z:${earlier_msi//\//\\}"
# msiexec /i|/x [MSI]: the release's MSI unless another is named.
msiexec() { "$root/tools/wine-run" msiexec "$1" "${2:-$windows_msi}" /qn </dev/null >/dev/null 2>&1; }

status=0
fail() { echo "FAIL $*" >&2; status=1; }

# The same files as the build before this one, of the same X.Y.Z.
earlier_version="${version%.*}.$((${version##*.} - 1))"
if [ "${version##*.}" -eq 0 ]; then earlier_version="$version"; fi
build_msi "$root" "$bin" "$earlier_version" "$(commit_epoch)" "$earlier_msi"

# What an earlier, interrupted run may have left is removed first.
msiexec /x || true
msiexec /x "$windows_earlier_msi" || true
if [ -e "$target" ]; then
  echo "FAIL $target exists before the install, and not from this package" >&2
  exit 1
fi

if msiexec /i "$windows_earlier_msi" && [ -f "$target/tarnwick-helper.exe" ]; then
  echo "ok   the same files as build $earlier_version installed first"
else
  fail "the package of build $earlier_version did not install"
fi
if msiexec /i; then
  echo "ok   msiexec /i $(basename "$msi") /qn"
else
  fail "msiexec /i $(basename "$msi") /qn failed"
fi
installed=$(cd "$target" 2>/dev/null && find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort) || true
expected=$(shipped_files_of_binaries | LC_ALL=C sort)
if [ "$installed" = "$expected" ]; then
  echo "ok   C:\\Program Files\\Tarnwick holds exactly: $(tr '\n' ' ' <<<"$installed")"
else
  fail "C:\\Program Files\\Tarnwick holds: $(tr '\n' ' ' <<<"$installed"), expected: $(tr '\n' ' ' <<<"$expected")"
fi
while read -r file; do
  cmp -s "$bin/$file" "$target/$file" || fail "the installed $file is not the zip's bin/$file"
done <<<"$expected"
[ ! -e "$x86" ] || fail "the package installed into Program Files (x86)"

if msiexec /x; then
  echo "ok   msiexec /x $(basename "$msi") /qn"
else
  fail "msiexec /x $(basename "$msi") /qn failed"
fi
if [ -e "$target" ]; then
  fail "$target is still there after the uninstall: $(find "$target" -mindepth 1 -printf '%P ')"
else
  echo "ok   C:\\Program Files\\Tarnwick is gone after the uninstall (build $earlier_version was replaced, not kept)"
fi
exit $status
