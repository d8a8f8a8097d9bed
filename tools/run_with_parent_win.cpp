// run-with-parent.exe PROGRAM [ARGUMENTS...]
//
// Starts PROGRAM as a child of this Windows process, with this process's
// environment and standard handles, waits for it and exits with its exit
// status. Under Wine a program started straight from Linux has no Windows
// parent, and the helper writes its response only as a parent it verified:
// the tools and tests that run the helper from Linux start it through this.
//
// The child's command line is this one's with the launcher's own name taken
// off, byte for byte: quoting and spacing reach the child as written.
// Exit status 125 when the child cannot be started (a line on standard
// error says why).

#include <windows.h>

#include <cwchar>
#include <string>

#include "platform/win/unique_handle_win.hpp"

namespace {

constexpr int kCannotStart = 125;

// The command line after the program name, by the rules the C runtime reads
// the first argument with: up to the closing quote when it starts with one,
// otherwise up to the first blank; then the blanks after it.
const wchar_t* after_program_name(const wchar_t* line) {
  if (*line == L'"') {
    ++line;
    while (*line != L'\0' && *line != L'"') ++line;
    if (*line == L'"') ++line;
  } else {
    while (*line != L'\0' && *line != L' ' && *line != L'\t') ++line;
  }
  while (*line == L' ' || *line == L'\t') ++line;
  return line;
}

void complain(const std::wstring& text) {
  const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
  const std::string bytes(text.begin(), text.end());  // ASCII text and a code
  DWORD written = 0;
  ::WriteFile(error, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (argc < 2) {
    complain(L"usage: run-with-parent PROGRAM [ARGUMENTS...]\n");
    return kCannotStart;
  }
  std::wstring command_line = after_program_name(::GetCommandLineW());
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(argv[1], command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &started)) {
    complain(L"run-with-parent: cannot start the program: error " + std::to_wstring(::GetLastError()) + L"\n");
    return kCannotStart;
  }
  const tarnwick::win::UniqueKernelHandle process(started.hProcess);
  const tarnwick::win::UniqueKernelHandle thread(started.hThread);
  DWORD status = kCannotStart;
  if (::WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
      !::GetExitCodeProcess(process.get(), &status)) {
    complain(L"run-with-parent: cannot wait for the program: error " + std::to_wstring(::GetLastError()) + L"\n");
    return kCannotStart;
  }
  return static_cast<int>(status);
}
