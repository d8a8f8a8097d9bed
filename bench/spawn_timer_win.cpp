// spawn-timer.exe: the one Windows parent of every process the benchmarks
// start under Wine. It starts each given command line in turn, RUNS times
// (alternating: 1st, 2nd, ..., 1st, 2nd, ...), waits for each to exit, and
// prints one line per start:
//   <command index from 1> <microseconds from CreateProcessW to exit> <exit status>
// The children's standard streams go to NUL. The time is wall time, taken
// with QueryPerformanceCounter in this process, so Wine's own start-up and
// the shell that started this program are not in it.
//
// Usage: spawn-timer.exe RUNS COMMAND-LINE [COMMAND-LINE...]

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/win/unique_handle_win.hpp"

namespace {

struct Started {
  double microseconds = 0;
  DWORD exit_status = 0;
  bool ok = false;
};

Started run_once(const std::wstring& command_line, HANDLE nul) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul;
  startup.hStdOutput = nul;
  startup.hStdError = nul;
  PROCESS_INFORMATION process{};
  std::vector<wchar_t> line(command_line.begin(), command_line.end());
  line.push_back(L'\0');
  LARGE_INTEGER frequency;
  LARGE_INTEGER start;
  LARGE_INTEGER end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    return {};
  }
  const tarnwick::win::UniqueKernelHandle child(process.hProcess);
  const tarnwick::win::UniqueKernelHandle thread(process.hThread);
  ::WaitForSingleObject(child.get(), INFINITE);
  ::QueryPerformanceCounter(&end);
  Started started;
  started.ok = ::GetExitCodeProcess(child.get(), &started.exit_status) != 0;
  started.microseconds =
      static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
  return started;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    (void)std::fputs("usage: spawn-timer RUNS COMMAND-LINE [COMMAND-LINE...]\n", stderr);
    return 2;
  }
  const long runs = std::wcstol(argv[1], nullptr, 10);
  if (runs <= 0) {
    (void)std::fputs("spawn-timer: RUNS must be a positive number\n", stderr);
    return 2;
  }
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  const tarnwick::win::UniqueFile nul(::CreateFileW(
      L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr));
  if (!nul) return 1;
  for (long run = 0; run < runs; ++run) {
    for (int command = 2; command < argc; ++command) {
      const Started started = run_once(argv[command], nul.get());
      if (!started.ok) {
        (void)std::fprintf(stderr, "spawn-timer: could not start command %d (error %lu)\n", command - 1,
                           ::GetLastError());
        return 1;
      }
      // The script reads every figure: one that cannot be written ends the run.
      if (std::printf("%d %.0f %lu\n", command - 1, started.microseconds, started.exit_status) < 0 ||
          std::fflush(stdout) != 0) {
        return 1;
      }
    }
  }
  return 0;
}
