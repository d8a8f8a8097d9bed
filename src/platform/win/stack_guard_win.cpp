// The stack protector's runtime for the shipped binaries: the guard value
// every protected function compares on return, and what happens when the
// comparison fails.
//
// GCC's own runtime (libssp) seeds the guard with CryptAcquireContext and
// CryptGenRandom in a constructor. That ties ADVAPI32 and, through it, the
// legacy crypto providers to every start, and in the DLL it loads libraries
// under the loader lock. This file defines every symbol of libssp's core
// object, so the linker never takes it; nothing else of libssp is used.
//
// The guard is seeded as the C runtime of the system's own compiler seeds its
// stack cookie (the time, the process and thread ids, the tick count, the
// performance counter, and here the addresses ASLR placed), with the CPU's
// random number generator added where it has one (RDRAND: every x64 CPU
// Windows 11 runs on). No library is loaded.

#include <windows.h>

#include <cpuid.h>
#include <immintrin.h>

#include <cstdint>
#include <cstring>

extern "C" {
// libssp's names and types: GCC's generated code reads __stack_chk_guard.
void* __stack_chk_guard = nullptr;           // NOLINT(bugprone-reserved-identifier)
[[noreturn]] void __stack_chk_fail();        // NOLINT(bugprone-reserved-identifier)
[[noreturn]] void __stack_chk_fail_local();  // NOLINT(bugprone-reserved-identifier)
[[noreturn]] void __chk_fail();              // NOLINT(bugprone-reserved-identifier)
}

namespace {

// A smashed stack ends the process at once, without unwinding or running
// anything of its own (no handler, no exit clean-up): fail-fast where the
// system has it, else termination with the status it would report.
// (MinGW's headers have no __fastfail: it is interrupt 0x29, the code in ECX.)
[[noreturn]] void end_process_for_smashed_stack() {
  if (::IsProcessorFeaturePresent(PF_FASTFAIL_AVAILABLE)) {
    __asm__ volatile("int $0x29" : : "c"(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE) : "memory");
  }
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(STATUS_STACK_BUFFER_OVERRUN));
  __builtin_trap();
}

// SplitMix64's finaliser: every input bit reaches every output bit.
constexpr std::uint64_t mix(std::uint64_t value) {
  value ^= value >> 30;
  value *= 0xBF58476D1CE4E5B9ULL;
  value ^= value >> 27;
  value *= 0x94D049BB133111EBULL;
  value ^= value >> 31;
  return value;
}

// 64 bits from RDRAND, or 0 where the CPU has none or it keeps failing. All
// zeros and all ones are refused: some CPUs have returned all ones, with
// success, after a sleep.
__attribute__((target("rdrnd"), no_stack_protector)) std::uint64_t hardware_random() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0 || (ecx & bit_RDRND) == 0) return 0;
  for (int attempt = 0; attempt < 10; ++attempt) {
    unsigned long long value = 0;
    if (_rdrand64_step(&value) != 0 && value != 0 && value != ~0ULL) return value;
  }
  return 0;
}

// Runs before every other constructor; nothing protected is on the stack
// yet (only the C runtime's start-up, which is built without the protector).
__attribute__((constructor(101), no_stack_protector)) void seed_stack_guard() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  LARGE_INTEGER counter{};
  ::QueryPerformanceCounter(&counter);
  const int on_stack = 0;
  std::uint64_t seed = mix((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
  seed = mix(seed ^ static_cast<std::uint64_t>(counter.QuadPart));
  seed = mix(seed ^ ((static_cast<std::uint64_t>(::GetCurrentProcessId()) << 32) | ::GetCurrentThreadId()));
  seed = mix(seed ^ ::GetTickCount64());
  seed = mix(seed ^ reinterpret_cast<std::uintptr_t>(&on_stack) ^
             (reinterpret_cast<std::uintptr_t>(&seed_stack_guard) << 16));
  seed ^= hardware_random();
  static_assert(sizeof seed == sizeof __stack_chk_guard);
  std::memcpy(&__stack_chk_guard, &seed, sizeof seed);
}

}  // namespace

extern "C" {
void __stack_chk_fail() { end_process_for_smashed_stack(); }
void __stack_chk_fail_local() { end_process_for_smashed_stack(); }
void __chk_fail() { end_process_for_smashed_stack(); }
}
