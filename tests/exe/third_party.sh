#!/usr/bin/env bash
# tools/third-party on small link maps, one linked member each: a member
# with a licence of its own adds its component, with the licence texts it
# needs in the notices once; a member no rule attributes, or a file no
# Debian package holds, stops it with a message naming the member.
# Usage: tests/exe/third_party.sh
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-third-party.XXXXXX")
trap 'rm -rf "$work"' EXIT
gcc_lib=/usr/lib/gcc/x86_64-w64-mingw32/12-posix
: >"$work/empty.debug"
# A private archive no package holds, with one member.
printf '!<arch>\n' >"$work/libprivate.a"

# Each case: the linked ARCHIVE(MEMBER); "ok COMPONENT..." (the components the
# binary must hold) or "fail TEXT" (what the refusal must say).
cases=(
  "$gcc_lib/libstdc++.a(floating_to_chars.o)|ok GNU C++ library (libstdc++);Ryu"
  "$gcc_lib/libstdc++.a(floating_from_chars.o)|ok GNU C++ library (libstdc++);fast_float"
  "$gcc_lib/libstdc++.a(cp-demangle.o)|ok libiberty C++ demangler (cp-demangle)"
  "$gcc_lib/libgcc.a(_udivdi3.o)|ok GCC runtime library (libgcc)"
  "$gcc_lib/libgcc.a(_addsub_sd.o)|fail libgcc.a(_addsub_sd.o) (Debian package gcc-mingw-w64-x86-64-posix) is linked, but no rule"
  "$gcc_lib/libssp.a(ssp.o)|fail libssp.a(ssp.o) (Debian package gcc-mingw-w64-x86-64-posix) is linked, but no rule"
  "/usr/x86_64-w64-mingw32/lib/libwinstorecompat.a(x.o)|fail libwinstorecompat.a(x.o) (Debian package mingw-w64-x86-64-dev) is linked, but no rule"
  "$work/libprivate.a(private.o)|fail libprivate.a is linked but no Debian package holds it"
)
status=0
for case in "${cases[@]}"; do
  member=${case%%|*}
  expect=${case#*|}
  printf 'Archive member included to satisfy reference by file (symbol)\n\n%s\n%30s main.obj (f)\n\nDiscarded input sections\n' \
    "$member" "" >"$work/app.exe.map"
  output=$("$root/tools/third-party" components "app.exe=$work/app.exe.map,$work/empty.debug" 2>&1)
  code=$?
  case $expect in
    ok\ *)
      IFS=';' read -r -a wanted <<<"${expect#ok }"
      got=$(jq -r '.[].name' <<<"$output" 2>/dev/null | sort)
      if [ $code -ne 0 ] || [ "$got" != "$(printf '%s\n' "${wanted[@]}" | sort)" ]; then
        echo "FAIL: $member gave (status $code): $output"
        status=1
        continue
      fi
      echo "$member: $(tr '\n' ';' <<<"$got")"
      # The notices carry each text once, labelled with the binary.
      printf '%s\n' "$output" >"$work/components.json"
      "$root/tools/third-party" notices "$work/components.json" >"$work/notices.txt" || status=1
      printf 'x' >"$work/app.exe"
      if ! "$root/tools/third-party" spdx "$work/components.json" 1.2.3.4 0123abc 0 "app.exe=$work/app.exe" \
        >"$work/sbom.json" || ! "$root/tools/third-party" check-spdx "$work/sbom.json" "$work/notices.txt" 1.2.3.4 \
        --components "$work/components.json" "app.exe=$work/app.exe" >/dev/null; then
        echo "FAIL: the notices or SBOM of $member do not check"
        status=1
      fi
      ;;
    fail\ *)
      if [ $code -eq 0 ] || ! grep -qF "${expect#fail }" <<<"$output"; then
        echo "FAIL: $member was not refused as expected (status $code): $output"
        status=1
      else
        echo "$member: refused: $output"
      fi
      ;;
  esac
done

# A notice that lost a licence text, or holds one twice, fails the check.
member="$gcc_lib/libstdc++.a(floating_to_chars.o)"
printf 'Archive member included to satisfy reference by file (symbol)\n\n%s\n\nDiscarded input sections\n' "$member" \
  >"$work/app.exe.map"
"$root/tools/third-party" components "app.exe=$work/app.exe.map,$work/empty.debug" >"$work/components.json" &&
  "$root/tools/third-party" notices "$work/components.json" >"$work/notices.txt" &&
  "$root/tools/third-party" spdx "$work/components.json" 1.2.3.4 0123abc 0 "app.exe=$work/app.exe" >"$work/sbom.json" || status=1
check() {
  "$root/tools/third-party" check-spdx "$work/sbom.json" "$1" 1.2.3.4 --components "$work/components.json" \
    "app.exe=$work/app.exe" >/dev/null 2>&1
}
python3 - "$work/notices.txt" "$work" <<'PY'
import sys
text = open(sys.argv[1], encoding="utf-8").read()
boost = text.index("Boost Software License - Version 1.0")
open(sys.argv[2] + "/without.txt", "w", encoding="utf-8").write(text[:boost] + text[boost + 40:])
open(sys.argv[2] + "/twice.txt", "w", encoding="utf-8").write(text + text[boost:])
PY
for broken in without twice; do
  if check "$work/$broken.txt"; then
    echo "FAIL: check-spdx accepted notices with the BSL-1.0 text $broken"
    status=1
  else
    echo "check-spdx refuses notices with the BSL-1.0 text $broken"
  fi
done
exit $status
