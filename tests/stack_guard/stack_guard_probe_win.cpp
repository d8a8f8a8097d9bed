// stack-guard-probe.exe: built with the shipped binaries' stack protector
// runtime (src/platform/win/stack_guard_win.cpp), for tests/exe/stack_guard.sh.
//   stack-guard-probe.exe guard   prints the guard value in hex;
//   stack-guard-probe.exe smash   overruns a protected local buffer, which
//                                 must end the process at the function's
//                                 return, before anything else runs.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>

extern "C" void* __stack_chk_guard;  // NOLINT(bugprone-reserved-identifier)

namespace {

// Writes `count` bytes into an 8-byte buffer; the count passes through a
// volatile so the compiler can neither see the overrun nor drop it.
__attribute__((noinline)) int overrun(std::size_t count) {
  volatile std::size_t bytes = count;
  char buffer[8];
  std::memset(buffer, 'x', bytes);
  return buffer[0];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && std::wcscmp(argv[1], L"guard") == 0) {
    std::printf("%016llx\n", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(__stack_chk_guard)));
    return 0;
  }
  if (argc == 2 && std::wcscmp(argv[1], L"smash") == 0) {
    const int value = overrun(64);
    std::printf("returned past a smashed stack (%d)\n", value);
    return 0;
  }
  return 2;
}
