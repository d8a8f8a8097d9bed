#include "win/support/helper_process.hpp"

#include <algorithm>
#include <atomic>
#include <cwctype>
#include <map>
#include <stdexcept>

namespace tarnwick::test {
namespace {

std::wstring upper(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

// The environment block for the child: sorted by name, case-insensitive
// (the order Windows keeps), double-NUL terminated.
std::wstring environment_block(const EnvOverrides& overrides, const std::vector<std::wstring>& removed) {
  std::map<std::wstring, std::wstring> vars;  // upper-case name -> "Name=value"
  if (wchar_t* block = ::GetEnvironmentStringsW()) {
    for (const wchar_t* p = block; *p != L'\0'; p += std::wcslen(p) + 1) {
      const std::wstring entry(p);
      const auto eq = entry.find(L'=', 1);  // "=C:=C:\..." entries start with '='
      if (eq == std::wstring::npos) continue;
      vars[upper(entry.substr(0, eq))] = entry;
    }
    ::FreeEnvironmentStringsW(block);
  }
  for (const auto& name : removed) vars.erase(upper(name));
  for (const auto& [name, value] : overrides) vars[upper(name)] = name + L"=" + value;
  std::wstring out;
  for (const auto& [key, entry] : vars) {
    out += entry;
    out.push_back(L'\0');
  }
  out.push_back(L'\0');
  return out;
}

}  // namespace

std::wstring exe_beside_tests(const std::wstring& file_name) {
  std::wstring path(32768, L'\0');
  const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(n);
  path.resize(path.find_last_of(L"\\/") + 1);
  return path + file_name;
}

std::wstring helper_exe_path() { return exe_beside_tests(L"tarnwick-helper.exe"); }

namespace {

win::UniqueFile inheritable_file(const std::wstring& path) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  win::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                     CREATE_ALWAYS, 0, nullptr));
  if (!file) throw std::runtime_error("cannot create an output file for the child");
  return file;
}

// Without `capture_dir`, standard error comes back through a pipe read to its
// end and standard output goes to NUL. With it, both go to files there, read
// once the child has exited: a process the child starts in turn (Wine's
// desktop process among them) may hold on to inherited handles, and a pipe
// would then never end.
HelperRun run_process(const std::wstring& program, const std::wstring& command_line, const EnvOverrides& overrides,
                      const std::vector<std::wstring>& removed, const std::wstring& capture_dir) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  win::UniqueKernelHandle read_end;
  win::UniqueKernelHandle write_end;
  win::UniqueFile output_file;
  win::UniqueFile error_file;
  const bool capture = !capture_dir.empty();
  if (capture) {
    output_file = inheritable_file(capture_dir + L"\\stdout.txt");
    error_file = inheritable_file(capture_dir + L"\\stderr.txt");
  } else {
    if (!::CreatePipe(read_end.put(), write_end.put(), &inherit, 0)) throw std::runtime_error("CreatePipe failed");
    ::SetHandleInformation(read_end.get(), HANDLE_FLAG_INHERIT, 0);
  }
  win::UniqueFile null_device(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            &inherit, OPEN_EXISTING, 0, nullptr));

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = null_device.get();
  startup.hStdOutput = capture ? output_file.get() : null_device.get();
  startup.hStdError = capture ? error_file.get() : write_end.get();

  std::wstring environment = environment_block(overrides, removed);
  std::wstring mutable_line = command_line;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(program.c_str(), mutable_line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                        environment.data(), nullptr, &startup, &process)) {
    throw std::runtime_error("CreateProcessW failed: " + std::to_string(::GetLastError()));
  }
  win::UniqueKernelHandle process_handle(process.hProcess);
  win::UniqueKernelHandle thread_handle(process.hThread);
  write_end.reset();  // the child holds the only write end now

  HelperRun run;
  char buffer[4096];
  DWORD got = 0;
  while (!capture && ::ReadFile(read_end.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    run.standard_error.append(buffer, got);
  }
  ::WaitForSingleObject(process_handle.get(), INFINITE);
  ::GetExitCodeProcess(process_handle.get(), &run.exit_code);
  if (capture) {
    run.standard_output = read_file_bytes(capture_dir + L"\\stdout.txt");
    run.standard_error = read_file_bytes(capture_dir + L"\\stderr.txt");
  }
  return run;
}

}  // namespace

HelperRun run_command_line(const std::wstring& command_line, const EnvOverrides& overrides,
                           const std::vector<std::wstring>& removed) {
  return run_process(helper_exe_path(), command_line, overrides, removed, L"");
}

HelperRun run_program(const std::wstring& program, const std::wstring& arguments) {
  return run_process(program, L"\"" + program + L"\" " + arguments, {}, {}, make_temp_dir());
}

HelperRun run_helper_exe(const std::wstring& arguments, const EnvOverrides& overrides,
                         const std::vector<std::wstring>& removed) {
  return run_command_line(L"\"" + helper_exe_path() + L"\" " + arguments, overrides, removed);
}

StartedProcess start_helper_under_parent(HANDLE parent, const std::wstring& arguments, DWORD flags,
                                         HANDLE primary_token) {
  SIZE_T size = 0;
  ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<BYTE> storage(size);
  auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
  if (!::InitializeProcThreadAttributeList(attributes, 1, 0, &size)) return {};
  StartedProcess started;
  if (::UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_PARENT_PROCESS, &parent, sizeof(parent), nullptr,
                                  nullptr)) {
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof(startup);
    startup.lpAttributeList = attributes;
    std::wstring line = L"\"" + helper_exe_path() + L"\" " + arguments;
    const std::wstring program = helper_exe_path();
    flags |= EXTENDED_STARTUPINFO_PRESENT;
    PROCESS_INFORMATION process{};
    const BOOL ok = primary_token != nullptr
                        ? ::CreateProcessAsUserW(primary_token, program.c_str(), line.data(), nullptr, nullptr, FALSE,
                                                 flags, nullptr, nullptr, &startup.StartupInfo, &process)
                        : ::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, flags, nullptr,
                                           nullptr, &startup.StartupInfo, &process);
    if (ok) started = {win::UniqueKernelHandle(process.hProcess), win::UniqueKernelHandle(process.hThread)};
  }
  const DWORD error = ::GetLastError();
  ::DeleteProcThreadAttributeList(attributes);
  ::SetLastError(error);
  return started;
}

std::wstring make_temp_dir() {
  static std::atomic<unsigned> counter{0};
  wchar_t base[MAX_PATH + 1];
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, base);
  for (;;) {
    std::wstring dir = std::wstring(base, n) + L"tarnwick-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                       std::to_wstring(::GetTickCount64()) + L"-" + std::to_wstring(counter++);
    if (::CreateDirectoryW(dir.c_str(), nullptr)) return dir;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("CreateDirectoryW failed");
  }
}

std::string read_file_bytes(const std::wstring& path) {
  win::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
  std::string out;
  if (!file) return out;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) out.append(buffer, got);
  return out;
}

bool file_exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void write_file_bytes(const std::wstring& path, const std::string& bytes) {
  win::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!file) throw std::runtime_error("cannot create test file");
  DWORD written = 0;
  if (!bytes.empty() && !::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
    throw std::runtime_error("cannot write test file");
  }
}

std::wstring widen_ascii(const std::string& text) { return std::wstring(text.begin(), text.end()); }

}  // namespace tarnwick::test
