#pragma once

// Starts the helper exe the way the desktop app does and reads back what it
// left: exit status, standard error, and (through read_file_bytes) the
// response file.

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/win/unique_handle_win.hpp"

namespace tarnwick::test {

struct HelperRun {
  DWORD exit_code = 0;
  std::string standard_error;
  std::string standard_output;  // run_program only
};

using EnvOverrides = std::vector<std::pair<std::wstring, std::wstring>>;

// A program built beside the test executable, by file name.
std::wstring exe_beside_tests(const std::wstring& file_name);
// tarnwick-helper.exe beside the test executable.
std::wstring helper_exe_path();

// Runs the helper with the command line `"<exe>" <arguments>` (arguments
// passed as written, quoting included). The child gets this process's
// environment with `overrides` set and `removed` taken out.
HelperRun run_helper_exe(const std::wstring& arguments, const EnvOverrides& overrides = {},
                         const std::vector<std::wstring>& removed = {});

// Same, with the whole command line written by the caller (program part included).
HelperRun run_command_line(const std::wstring& command_line, const EnvOverrides& overrides = {},
                           const std::vector<std::wstring>& removed = {});

// Runs `program` with the command line `"<program>" <arguments>` and this
// process's environment; standard output is captured too (both streams
// through files in a new temporary folder).
HelperRun run_program(const std::wstring& program, const std::wstring& arguments);

struct StartedProcess {
  win::UniqueKernelHandle process;
  win::UniqueKernelHandle thread;
};

// Starts the helper with the command line `"<exe>" <arguments>` and `parent`
// as its parent process (PROC_THREAD_ATTRIBUTE_PARENT_PROCESS, the way the
// consent service starts an elevated program for an app), with `flags`
// (CREATE_SUSPENDED, say). As `primary_token` when one is given, else as this
// process. Empty handles when it was not started (GetLastError says why).
StartedProcess start_helper_under_parent(HANDLE parent, const std::wstring& arguments, DWORD flags,
                                         HANDLE primary_token = nullptr);

// A new, empty folder under the temp folder; not removed afterwards.
std::wstring make_temp_dir();

// Whole content of a file; empty when it cannot be read.
std::string read_file_bytes(const std::wstring& path);
bool file_exists(const std::wstring& path);
void write_file_bytes(const std::wstring& path, const std::string& bytes);

// ASCII text to a wide string (for test literals built at run time).
std::wstring widen_ascii(const std::string& text);

}  // namespace tarnwick::test
