#!/usr/bin/env bash
# tarnwick-client.dll as apps link it:
#   - its export table holds exactly the functions tarnwick_client.h declares,
#     and the .def lists the same (so no C++ name and nothing internal leaks);
#   - it imports Windows DLLs only (its runtime is linked in), ASLR, DEP;
#   - the header compiles as C99 and as C++ with every warning an error;
#   - the MSVC import library links: a C object built for the MSVC ABI links
#     with lld-link (MSVC's linker's command line) against it alone, and the
#     exe then imports every function from tarnwick-client.dll; in that ABI
#     tarnwick_options has the size TARNWICK_OPTIONS_SIZE_V1 names;
#   - run under Wine, that program's tarnwick_client_create takes the first
#     size (with garbage after it), a later size whose unknown tail is zero,
#     and refuses a later size with a byte of that tail set.
set -euo pipefail
usage="usage: c_api_dll_check.sh DLL MSVC-LIB"
dll=${1:?$usage}
lib=${2:?$usage}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
header=$root/include/tarnwick_client.h
def=$root/src/client/c_api/tarnwick_client.def
objdump=x86_64-w64-mingw32-objdump
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
fail() { echo "FAIL $*" >&2; status=1; }
same() {  # what, expected list, actual list
  if [ "$2" = "$3" ]; then echo "ok   $1"; else fail "$1"; diff <(echo "$2") <(echo "$3") >&2 || true; fi
}

declared=$(grep -oP '^TARNWICK_API [^(]*?\b\K\w+(?=\()' "$header" | sort)
[ "$(echo "$declared" | wc -l)" -ge 10 ] || fail "the header's functions were not found"
listed=$(sed -n '/^EXPORTS/,$p' "$def" | sed -n 's/^[[:space:]]\+\([A-Za-z_][A-Za-z0-9_]*\).*/\1/p' | sort)
exported=$($objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort)
same "the .def lists the header's functions" "$declared" "$listed"
same "the DLL exports the header's functions, nothing else" "$declared" "$exported"

"$root/tools/check-exe" --imports-only "$dll" >"$work/imports" || { cat "$work/imports" >&2; fail "imports"; }
grep -v '^imports' "$work/imports" || true
echo "ok   imports: $(sed -n 's/^imports //p' "$work/imports" | tr '\n' ' ')"

printf '#include "tarnwick_client.h"\nint main(void) { return (int)TARNWICK_OK; }\n' >"$work/h.c"
cp "$work/h.c" "$work/h.cpp"
for compile in "x86_64-w64-mingw32-gcc-posix -std=c99 $work/h.c" "x86_64-w64-mingw32-g++-posix -std=c++11 $work/h.cpp" \
  "gcc -std=c99 $work/h.c" "g++ -std=c++11 $work/h.cpp"; do
  # shellcheck disable=SC2086
  if $compile -Wall -Wextra -Wpedantic -Werror -I "$root/include" -fsyntax-only; then
    echo "ok   header: ${compile%% *} ${compile#* }" | sed "s|$work/||"
  else
    fail "the header does not compile: $compile"
  fi
done

# Every function called, in a program with no C runtime at all: the import
# library is the only thing it links.
{
  echo '#include "tarnwick_client.h"'
  echo '/* The MSVC ABI lays tarnwick_options out as the DLL reads it. */'
  echo 'typedef char options_v1[sizeof(tarnwick_options) == TARNWICK_OPTIONS_SIZE_V1 ? 1 : -1];'
  echo 'typedef char version_number[TARNWICK_VERSION_NUMBER >= TARNWICK_MAKE_VERSION(0, 1, 0) ? 1 : -1];'
  echo '#if TARNWICK_VERSION_NUMBER < TARNWICK_MAKE_VERSION(0, 1, 0)'
  echo '#error "the version macros are usable in #if"'
  echo '#endif'
  echo 'int start(void) {'
  echo '  tarnwick_client* client = 0; tarnwick_startup_entry* entries = 0; size_t count = 0; uint64_t freed = 0;'
  echo '  uint32_t code = 0;'
  echo '  int sum = (int)tarnwick_client_create(0, &client) + (int)tarnwick_list_startup_entries(client, &entries, &count);'
  echo '  tarnwick_free_startup_entries(entries, count);'
  echo '  sum += (int)tarnwick_set_startup_enabled(client, "a", 1, 0) + (int)tarnwick_clean_system(client, &freed);'
  echo '  sum += (int)tarnwick_last_error_message(client)[0] + (int)tarnwick_last_os_error(client);'
  echo '  sum += (int)tarnwick_last_exit_status(client, &code) + (int)tarnwick_status_name(TARNWICK_OK)[0];'
  echo '  sum += (int)tarnwick_version()[0] + (int)tarnwick_version_number() + (int)tarnwick_last_create_error(&code)[0];'
  echo '  {'
  echo '    tarnwick_startup_list* list = 0; size_t index = 0, length = 0;'
  echo '    sum += (int)tarnwick_list_startup(client, &list) + (int)tarnwick_startup_list_count(list);'
  echo '    sum += (int)(tarnwick_startup_list_name(list, 0, &length) != 0) + (int)length;'
  echo '    sum += (int)(tarnwick_startup_list_command(list, 0, &length) != 0);'
  echo '    sum += (int)(tarnwick_startup_list_scope(list, 0, &length) != 0) + tarnwick_startup_list_enabled(list, 0);'
  echo '    sum += (int)tarnwick_find_startup_entry(list, "a", 1, &index) + tarnwick_same_startup_name("a", 1, "A", 1);'
  echo '    sum += (int)tarnwick_nearest_startup_entries(list, "a", 1, &index, 1);'
  echo '    tarnwick_startup_list_free(list);'
  echo '  }'
  echo '  sum += (int)tarnwick_running_helper_process_id(client) + (int)tarnwick_wait_for_helpers(client, 0);'
  echo '  tarnwick_cancel_wait(client);'
  echo '  tarnwick_client_destroy(client);'
  echo '  return sum;'
  echo '}'
} >"$work/msvc.c"
if clang --target=x86_64-pc-windows-msvc -ffreestanding -std=c99 -Wall -Wextra -Werror -I "$root/include" \
  -c "$work/msvc.c" -o "$work/msvc.obj" &&
  lld-link /nologo /nodefaultlib /entry:start /subsystem:console "/out:$work/msvc.exe" "$work/msvc.obj" "$lib"; then
  imported=$($objdump -p "$work/msvc.exe" | sed -n '/DLL Name: tarnwick-client.dll/,/^$/p' |
    awk 'NF == 3 && $1 ~ /^[0-9a-f]+$/ { print $3 }' | sort)
  same "lld-link links against $(basename "$lib"); the exe imports them all" "$declared" "$imported"
else
  fail "lld-link cannot link against $lib"
fi

# The sizes of tarnwick_options, from an MSVC-ABI program under Wine: bit 0,
# the first size with garbage after it is taken (the DLL reads no further);
# bit 1, a later size with a zero tail is taken; bit 2, a later size with a
# byte of its tail set is TARNWICK_INVALID_ARGUMENT. No C runtime: the bytes
# are set one by one through a volatile pointer, so no memset is called.
cat >"$work/sizes.c" <<'EOF'
#include "tarnwick_client.h"
static tarnwick_status create_with(uint32_t struct_size, unsigned garbage_at, unsigned garbage_end) {
  union {
    tarnwick_options options;
    unsigned char bytes[128];
  } given;
  volatile unsigned char* bytes = given.bytes;
  tarnwick_client* client = 0;
  tarnwick_status status;
  unsigned i;
  for (i = 0; i < sizeof given.bytes; ++i) bytes[i] = (unsigned char)(i >= garbage_at && i < garbage_end ? 0x5a : 0);
  given.options.struct_size = struct_size;
  given.options.helper_path = "C:\\absent\\tarnwick-helper.exe";
  status = tarnwick_client_create(&given.options, &client);
  tarnwick_client_destroy(client);
  return status;
}
int start(void) {
  const unsigned later = TARNWICK_OPTIONS_SIZE_V1 + 24;
  int taken = 0;
  taken |= create_with(TARNWICK_OPTIONS_SIZE_V1, TARNWICK_OPTIONS_SIZE_V1, 128) == TARNWICK_OK ? 1 : 0;
  taken |= create_with(later, later, 128) == TARNWICK_OK ? 2 : 0;
  taken |= create_with(later, later - 1, later) == TARNWICK_INVALID_ARGUMENT ? 4 : 0;
  return taken;
}
EOF
if clang --target=x86_64-pc-windows-msvc -ffreestanding -std=c99 -Wall -Wextra -Werror -I "$root/include" \
  -c "$work/sizes.c" -o "$work/sizes.obj" &&
  lld-link /nologo /nodefaultlib /entry:start /subsystem:console "/out:$work/sizes.exe" "$work/sizes.obj" "$lib"; then
  cp "$dll" "$work/"
  taken=0
  "$root/tools/wine-run" "$work/sizes.exe" >/dev/null 2>&1 || taken=$?
  if [ "$taken" = 7 ]; then
    echo "ok   tarnwick_options: the first size and a later one with a zero tail taken, a nonzero tail refused"
  else
    fail "tarnwick_options sizes from an MSVC-ABI program: got $taken, not 7 (bits: first, zero tail, nonzero tail)"
  fi
else
  fail "the sizes program does not build"
fi
exit $status
