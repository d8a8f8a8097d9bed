#include "client/helper_runner_win.hpp"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <utility>

#include "client/replaceable_helper_win.hpp"
#include "client/run_folder_win.hpp"
#include "client/token_win.hpp"
#include "common/utf.hpp"
#include "platform/win/os_error_text_win.hpp"
#include "platform/win/system_text_win.hpp"
#include "platform/win/unique_handle_win.hpp"
#include "platform/win/wide_win.hpp"

namespace tarnwick::client {
namespace {

static_assert(kErrorCancelled == ERROR_CANCELLED);

// The longest command line CreateProcessW takes, its terminating NUL included.
constexpr std::size_t kMaxCommandLine = 32767;

Err<ClientError> os_failure(ErrorKind kind, const std::string& what, DWORD code) {
  return Err<ClientError>{ClientError{kind, what + ": " + win::os_error_text(code), std::nullopt, code, 0}};
}

// A path for a message (lossy only for text no real path holds).
std::string path_text(const std::wstring& path) { return utf16_to_utf8_lossy(win::as_utf16(path)); }

Outcome<std::wstring> full_path(const std::wstring& path) {
  auto full = win::read_system_text(
      [&](wchar_t* buffer, DWORD units) -> DWORD { return ::GetFullPathNameW(path.c_str(), units, buffer, nullptr); });
  if (!full) return os_failure(ErrorKind::LaunchFailed, path_text(path), full.error().code);
  return std::wstring(win::as_wide(full.value()));
}

std::wstring system_directory() {
  wchar_t buffer[MAX_PATH + 1];
  const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH + 1);
  return length > 0 && length <= MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

// COM for the shell's verb handlers, as ShellExecuteExW asks; a caller that
// set up COM in another mode keeps it.
class ComScope {
 public:
  ComScope() : initialized_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
  ~ComScope() {
    if (initialized_) ::CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool initialized_;
};

Outcome<win::UniqueKernelHandle> start_elevated(const std::wstring& helper, const std::wstring& parameters,
                                                const std::wstring& directory, HWND owner) {
  const ComScope com;
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.hwnd = owner;
  info.lpVerb = L"runas";
  info.lpFile = helper.c_str();
  info.lpParameters = parameters.c_str();
  info.lpDirectory = directory.empty() ? nullptr : directory.c_str();
  info.nShow = SW_HIDE;
  if (!::ShellExecuteExW(&info)) {
    const DWORD code = ::GetLastError();
    return Err{launch_error(code, path_text(helper), win::os_error_text(code))};
  }
  win::UniqueKernelHandle process(info.hProcess);
  if (!process) return client_error(ErrorKind::LaunchFailed, "the helper was started without a process to wait for");
  return process;
}

Outcome<win::UniqueKernelHandle> start_directly(const std::wstring& helper, std::wstring command_line,
                                                const std::wstring& directory) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(helper.c_str(), command_line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &process)) {
    return os_failure(ErrorKind::LaunchFailed, path_text(helper), ::GetLastError());
  }
  const win::UniqueKernelHandle thread(process.hThread);
  return win::UniqueKernelHandle(process.hProcess);
}

// The response file's bytes from the start, one byte past the limit at most
// (so that an oversized file is seen as such).
Outcome<std::string> read_response(HANDLE file) {
  LARGE_INTEGER start{};
  if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) {
    return os_failure(ErrorKind::NoUsableResponse, "the response file cannot be read", ::GetLastError());
  }
  std::string bytes;
  char buffer[64 * 1024];
  while (bytes.size() <= kMaxResponseBytes) {
    DWORD got = 0;
    if (!::ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      return os_failure(ErrorKind::NoUsableResponse, "the response file cannot be read", ::GetLastError());
    }
    if (got == 0) break;
    bytes.append(buffer, got);
  }
  return bytes;
}

}  // namespace

bool this_process_is_elevated() { return process_is_elevated(); }

std::wstring helper_beside_this_program() {
  std::wstring path = win::module_path();
  path.resize(path.find_last_of(L"\\/") + 1);
  return path + L"tarnwick-helper.exe";
}

struct WinHelperRunner::StillGoing {
  win::UniqueKernelHandle process;
  RunFolder folder;
};

WinHelperRunner::WinHelperRunner(LaunchOptions options) : options_(std::move(options)) {}

WinHelperRunner::~WinHelperRunner() {
  wait_for_still_running(std::chrono::milliseconds(0));
  for (const auto& run : still_going_) run->folder.keep();
}

bool WinHelperRunner::wait_for_still_running(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::erase_if(still_going_, [&](const std::unique_ptr<StillGoing>& run) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const auto wait = std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INFINITE - 1);
    // An ended helper's folder goes with its entry; a failed wait keeps it.
    return ::WaitForSingleObject(run->process.get(), static_cast<DWORD>(wait)) == WAIT_OBJECT_0;
  });
  return still_going_.empty();
}

Outcome<HelperExit> WinHelperRunner::run(std::string_view request_hex, Rights rights) {
  wait_for_still_running(std::chrono::milliseconds(0));
  auto helper = full_path(options_.helper_path);
  if (!helper) return Err{std::move(helper).error()};
  const LaunchMethod method = launch_method(rights, options_.elevate);
  // A helper that will run with administrator rights (through "runas", or
  // started by a caller that has them) must be one the user cannot replace.
  if (!options_.allow_replaceable_helper && (method == LaunchMethod::ShellRunas || process_is_elevated())) {
    auto safe = refuse_replaceable_helper(helper.value());
    if (!safe) return Err{std::move(safe).error()};
  }
  auto folder = RunFolder::create(options_.allow_replaceable_helper);
  if (!folder) return Err{std::move(folder).error()};

  // The request is hexadecimal digits and the path cannot hold a quote, so
  // quoting the two paths is all the command line needs.
  const std::wstring parameters =
      std::wstring(request_hex.begin(), request_hex.end()) + L" \"" + folder.value().response_path() + L"\"";
  std::wstring command_line = L"\"" + helper.value() + L"\" " + parameters;
  if (command_line.size() + 1 > kMaxCommandLine) {
    return client_error(ErrorKind::InvalidRequest, "the helper's command line would be " +
                                                       std::to_string(command_line.size()) +
                                                       " characters long; Windows takes at most 32766");
  }

  // The system folder as the helper's current folder: always there, never a
  // network drive the elevated session lacks, never the folder removed below.
  const std::wstring directory = system_directory();
  if (observer_) observer_(method, helper.value());
  auto process = method == LaunchMethod::ShellRunas
                     ? start_elevated(helper.value(), parameters, directory, options_.owner_window)
                     : start_directly(helper.value(), std::move(command_line), directory);
  if (!process) return Err{std::move(process).error()};

  const auto limit = std::clamp<std::chrono::milliseconds::rep>(options_.timeout.count(), 0, INFINITE - 1);
  const DWORD waited = ::WaitForSingleObject(process.value().get(), static_cast<DWORD>(limit));
  if (waited == WAIT_TIMEOUT) {
    // It may still change things, and write its answer: its folder stays
    // until it has ended.
    const DWORD process_id = ::GetProcessId(process.value().get());
    still_going_.push_back(
        std::make_unique<StillGoing>(StillGoing{std::move(process).value(), std::move(folder).value()}));
    return still_running(options_.timeout, process_id);
  }
  if (waited != WAIT_OBJECT_0) {
    const DWORD code = ::GetLastError();
    // Whether it still runs is unknown: its folder stays as for one that does.
    still_going_.push_back(
        std::make_unique<StillGoing>(StillGoing{std::move(process).value(), std::move(folder).value()}));
    return os_failure(ErrorKind::LaunchFailed, "cannot wait for the helper", code);
  }
  DWORD exit_status = 0;
  if (!::GetExitCodeProcess(process.value().get(), &exit_status)) {
    return os_failure(ErrorKind::LaunchFailed, "the helper's exit status cannot be read", ::GetLastError());
  }

  auto response = read_response(folder.value().response_handle());
  if (!response) {
    ClientError error = std::move(response).error();
    error.exit_status = exit_status;
    return Err{std::move(error)};
  }
  return HelperExit{exit_status, std::move(response).value()};
}

}  // namespace tarnwick::client
