#!/usr/bin/env bash
# The two examples in examples/, built as an app vendor builds them and run
# under Wine against the real helper:
#   - the build tree installed (cmake --install) into a scratch prefix;
#   - examples/c with the MinGW C compiler, from that prefix's
#     tarnwick_client.h and import library only;
#   - examples/cpp as a separate CMake project, find_package(tarnwick) from
#     the prefix; its exe must import no MinGW runtime DLL (libstdc++, libgcc,
#     winpthread);
#   - both run in one app folder beside tarnwick-helper.exe and
#     tarnwick-client.dll: each lists, disables and enables an entry, cleans.
set -euo pipefail
usage="usage: examples.sh BUILD-DIR"
build=$(cd "${1:?$usage}" && pwd)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
objdump=x86_64-w64-mingw32-objdump
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
app=$work/app
mkdir -p "$app"

status=0
fail() { echo "FAIL $*" >&2; status=1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

x86_64-w64-mingw32-gcc-posix -std=c99 -Wall -Wextra -Wpedantic -Werror -I "$prefix/include" \
  "$root/examples/c/startup_example.c" "$prefix/lib/tarnwick-client.lib" -o "$app/c-example.exe"
echo "ok   examples/c built from tarnwick_client.h and tarnwick-client.lib"

cmake -S "$root/examples/cpp" -B "$work/cpp" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  --toolchain "$root/cmake/mingw-w64-x86_64.cmake" "-Dtarnwick_DIR=$prefix/lib/cmake/tarnwick" \
  "-DCMAKE_CXX_FLAGS=-Wall -Wextra -Wpedantic -Werror" >/dev/null
cmake --build "$work/cpp" >/dev/null
cp "$work/cpp/startup-example.exe" "$app/cpp-example.exe"
echo "ok   examples/cpp built with find_package(tarnwick) from the installed tree"

for exe in c-example cpp-example; do
  dlls=$($objdump -p "$app/$exe.exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '[:upper:]' '[:lower:]' | tr '\n' ' ')
  if grep -Eq 'libstdc|libgcc|winpthread' <<<"$dlls"; then fail "$exe imports a MinGW runtime DLL: $dlls"; fi
  echo "ok   $exe imports $dlls"
done

cp "$prefix/bin/tarnwick-helper.exe" "$prefix/bin/tarnwick-client.dll" "$app/"

# The tests own the prefix's machine-wide Run and StartupApproved keys.
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
approved_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run'
reg() { "$root/tools/wine-run" reg "$@" </dev/null >/dev/null 2>&1; }
reset_keys() {
  reg delete "$run_key" /f || true
  reg delete "$approved_key" /f || true
}
trap 'reset_keys; rm -rf "$work"' EXIT
reset_keys
reg add "$run_key" /v Example /t REG_SZ /d 'C:\Tools\example.exe /quiet' /f

expect_c=$'Example\ton\tC:\\Tools\\example.exe /quiet\ndisabled Example\nExample\toff\tC:\\Tools\\example.exe /quiet\nenabled Example'
expect_cpp=$'Example\ton\tC:\\Tools\\example.exe /quiet\ndisabled Example\nenabled Example'
for exe in c-example cpp-example; do
  expect=$expect_c
  [ $exe = cpp-example ] && expect=$expect_cpp
  run_status=0
  out=$("$root/tools/wine-run" "$app/$exe.exe" --allow-replaceable-helper Example </dev/null 2>"$work/err" | tr -d '\r') || run_status=$?
  if [ $run_status -ne 0 ] || [ "$(sed '$d' <<<"$out")" != "$expect" ] ||
    ! grep -Eq '^freed [0-9]+ bytes$' <<<"$(tail -n1 <<<"$out")"; then
    fail "$exe (status $run_status): $out $(cat "$work/err")"
  else
    echo "ok   $exe listed, disabled, enabled and cleaned: $(tail -n1 <<<"$out")"
  fi
done
exit $status
