#!/usr/bin/env bash
# The two examples in examples/, built as an app vendor builds them, from the
# SDK folder alone (no source tree), and run under Wine against the real
# helper:
#   - the SDK: the release's zip unpacked (--zip), or the same folder made
#     from a windows build (--build: its install, as tools/release makes it);
#   - the SDK's examples/c with the MinGW C compiler, from its include/ and
#     lib/ only;
#   - its examples/cpp as a CMake project, find_package(tarnwick) through
#     CMAKE_PREFIX_PATH=SDK; its exe must import no MinGW runtime DLL
#     (libstdc++, libgcc, winpthread);
#   - its examples/c as a CMake project for the MSVC target (clang and
#     lld-link, tarnwick::c_api): the package must give tarnwick-client.lib,
#     and the exe import the DLL's functions (freestanding: no MSVC runtime
#     here, so it is linked, not run); asked for the C++ library, the package
#     refuses the MSVC target, saying why;
#   - both MinGW exes run in one app folder beside tarnwick-helper.exe and
#     tarnwick-client.dll from the SDK's bin/: each lists, disables and
#     enables an entry, cleans.
#
#   examples.sh --build BUILD-DIR | --zip SDK-ZIP
set -euo pipefail
usage="usage: examples.sh --build BUILD-DIR | --zip SDK-ZIP"
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
objdump=x86_64-w64-mingw32-objdump
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
app=$work/app
mkdir -p "$app" "$work/unpacked"

case ${1:-} in
  --build)
    # shellcheck source=tools/release-lib
    . "$root/tools/release-lib"
    build=$(cd "${2:?$usage}" && pwd)
    assemble_sdk "$build" "$root" "$build" "$work/unpacked/tarnwick-helper-build-win64"
    ;;
  --zip) unzip -q "${2:?$usage}" -d "$work/unpacked" ;;
  *) echo "$usage" >&2; exit 2 ;;
esac
mapfile -t tops < <(find "$work/unpacked" -mindepth 1 -maxdepth 1)
if [ ${#tops[@]} -ne 1 ] || [ ! -d "${tops[0]}" ]; then
  echo "FAIL the SDK is not one folder: ${tops[*]}" >&2
  exit 1
fi
sdk=${tops[0]}

status=0
fail() { echo "FAIL $*" >&2; status=1; }

# tarnwick::c_api for the MSVC target: clang for x86_64-pc-windows-msvc and
# lld-link, as clang-cl or MSVC would link. No MSVC runtime or Windows SDK is
# installed here, so the program is freestanding (its own entry point, no C
# library): what counts is that the package hands the linker
# tarnwick-client.lib and that the exe imports the DLL's functions by name.
msvc_target_link() {
  mkdir -p "$work/msvc-src"
  cat >"$work/msvc-src/CMakeLists.txt" <<'PROJECT'
cmake_minimum_required(VERSION 3.25)
project(msvc-link LANGUAGES C)
find_package(tarnwick CONFIG REQUIRED)
get_target_property(import_lib tarnwick::c_api IMPORTED_IMPLIB)
file(WRITE "${CMAKE_BINARY_DIR}/import-lib.txt" "${import_lib}")
add_executable(msvc-link main.c)
target_link_libraries(msvc-link PRIVATE tarnwick::c_api)
target_compile_options(msvc-link PRIVATE -ffreestanding)
target_link_options(msvc-link PRIVATE -nostdlib LINKER:/nodefaultlib LINKER:/entry:start LINKER:/subsystem:console)
PROJECT
  cat >"$work/msvc-src/main.c" <<'SOURCE'
#include "tarnwick_client.h"
int start(void) {
  tarnwick_client* client = 0;
  tarnwick_options options;
  /* Member by member: an initializer would call memset, which is the C library's. */
  options.struct_size = sizeof options;
  options.helper_path = 0;
  options.timeout_ms = 0;
  options.owner_window = 0;
  options.allow_replaceable_helper = 0;
  if (tarnwick_client_create(&options, &client) != TARNWICK_OK) return 1;
  tarnwick_client_destroy(client);
  return (int)tarnwick_status_name(TARNWICK_OK)[0];
}
SOURCE
  cat >"$work/msvc.cmake" <<'TOOLCHAIN'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET x86_64-pc-windows-msvc)
set(CMAKE_LINKER lld-link)
set(CMAKE_EXE_LINKER_FLAGS_INIT -fuse-ld=lld)
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
TOOLCHAIN
  if cmake -S "$work/msvc-src" -B "$work/msvc" -G Ninja --toolchain "$work/msvc.cmake" "-DCMAKE_PREFIX_PATH=$sdk" \
    >"$work/msvc.log" 2>&1 && cmake --build "$work/msvc" >>"$work/msvc.log" 2>&1; then
    local imported
    imported=$($objdump -p "$work/msvc/msvc-link.exe" | sed -n '/DLL Name: tarnwick-client.dll/,/^$/p' |
      awk 'NF == 3 && $1 ~ /^[0-9a-f]+$/ { print $3 }' | sort | tr '\n' ' ')
    if [ "$(cat "$work/msvc/import-lib.txt")" = "$sdk/lib/tarnwick-client.lib" ] &&
      [ "$imported" = "tarnwick_client_create tarnwick_client_destroy tarnwick_status_name " ]; then
      echo "ok   tarnwick::c_api for the MSVC target: lld-link against lib/tarnwick-client.lib; imports $imported"
    else
      fail "tarnwick::c_api for the MSVC target: import library $(cat "$work/msvc/import-lib.txt"), imports: $imported"
    fi
  else
    cat "$work/msvc.log" >&2
    fail "tarnwick::c_api for the MSVC target does not configure or link"
  fi
  # The C++ library asked for by the MSVC target: refused, saying why.
  sed -i 's/find_package(tarnwick CONFIG REQUIRED)/find_package(tarnwick CONFIG REQUIRED COMPONENTS client)/' \
    "$work/msvc-src/CMakeLists.txt"
  local refusal
  if refusal=$(cmake -S "$work/msvc-src" -B "$work/msvc-client" -G Ninja --toolchain "$work/msvc.cmake" \
    "-DCMAKE_PREFIX_PATH=$sdk" 2>&1); then
    fail "find_package(tarnwick COMPONENTS client) succeeded for the MSVC target"
  elif grep -q "links only into MinGW-w64 builds" <<<"$refusal"; then
    echo "ok   find_package(tarnwick COMPONENTS client) for the MSVC target refused: the C++ library is MinGW's"
  else
    fail "find_package(tarnwick COMPONENTS client) for the MSVC target failed otherwise: $refusal"
  fi
}

# Built in the scratch folder: nothing of the source tree on any path.
cd "$work"
x86_64-w64-mingw32-gcc-posix -std=c99 -Wall -Wextra -Wpedantic -Werror -I "$sdk/include" \
  "$sdk/examples/c/startup_example.c" -L "$sdk/lib" -ltarnwick-client -o "$app/c-example.exe"
echo "ok   examples/c built with MinGW from the SDK's include/ and lib/"

# A toolchain for the MinGW cross compilers, as a vendor's own would be.
cat >"$work/mingw.cmake" <<'TOOLCHAIN'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
TOOLCHAIN
cmake -S "$sdk/examples/cpp" -B "$work/cpp" -G Ninja -DCMAKE_BUILD_TYPE=Release --toolchain "$work/mingw.cmake" \
  "-DCMAKE_PREFIX_PATH=$sdk" "-DCMAKE_CXX_FLAGS=-Wall -Wextra -Wpedantic -Werror" >/dev/null
cmake --build "$work/cpp" >/dev/null
cp "$work/cpp/startup-example.exe" "$app/cpp-example.exe"
echo "ok   examples/cpp built with find_package(tarnwick) from the SDK"

for exe in c-example cpp-example; do
  dlls=$($objdump -p "$app/$exe.exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '[:upper:]' '[:lower:]' | tr '\n' ' ')
  if grep -Eq 'libstdc|libgcc|winpthread' <<<"$dlls"; then fail "$exe imports a MinGW runtime DLL: $dlls"; fi
  echo "ok   $exe imports $dlls"
done

msvc_target_link

cp "$sdk/bin/tarnwick-helper.exe" "$sdk/bin/tarnwick-client.dll" "$app/"

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
