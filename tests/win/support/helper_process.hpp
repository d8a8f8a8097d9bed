#pragma once

// Starts the helper exe the way the desktop app does and reads back what it
// left: exit status, standard error, and (through read_file_bytes) the
// response file.

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace tarnwick::test {

struct HelperRun {
  DWORD exit_code = 0;
  std::string standard_error;
};

using EnvOverrides = std::vector<std::pair<std::wstring, std::wstring>>;

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

// A new, empty folder under the temp folder; not removed afterwards.
std::wstring make_temp_dir();

// Whole content of a file; empty when it cannot be read.
std::string read_file_bytes(const std::wstring& path);
bool file_exists(const std::wstring& path);
void write_file_bytes(const std::wstring& path, const std::string& bytes);

// ASCII text to a wide string (for test literals built at run time).
std::wstring widen_ascii(const std::string& text);

}  // namespace tarnwick::test
