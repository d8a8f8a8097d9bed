#include "client/helper_runner_win.hpp"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <utility>

#include "client/drive_map_win.hpp"
#include "client/helper_path.hpp"
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
  HMODULE module = nullptr;  // a waiter's reference on the module holding this code
};

WinHelperRunner::WinHelperRunner(LaunchOptions options)
    : options_(std::move(options)), cancel_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

void WinHelperRunner::CloseHandleOf::operator()(HANDLE handle) const noexcept { ::CloseHandle(handle); }

WinHelperRunner::~WinHelperRunner() {
  forget_ended();
  for (auto& run : still_going_) hand_to_waiter(std::move(run));
}

DWORD WINAPI WinHelperRunner::finish_when_ended(void* parameter) noexcept {
  auto* run = static_cast<StillGoing*>(parameter);
  ::WaitForSingleObject(run->process.get(), INFINITE);
  const HMODULE module = run->module;
  delete run;  // closes the handles; the file and the folder go with them
  // The documented way for a thread to drop the last reference on the DLL
  // it runs in: no code of it runs after the reference is gone.
  ::FreeLibraryAndExitThread(module, 0);
  return 0;
}

void WinHelperRunner::hand_to_waiter(std::unique_ptr<StillGoing> run) noexcept {
  // A reference on the module holding finish_when_ended (the DLL, or the
  // program that links this library), dropped by the waiter as it ends.
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&WinHelperRunner::finish_when_ended), &run->module)) {
    static_cast<void>(run.release());  // no waiter may run: the handles stay open until the process ends
    return;
  }
  const HMODULE module = run->module;
  constexpr SIZE_T kWaiterStack = SIZE_T{64} * 1024;  // it only waits and closes
  const HANDLE thread = ::CreateThread(nullptr, kWaiterStack, &WinHelperRunner::finish_when_ended, run.get(),
                                       STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == nullptr) {
    ::FreeLibrary(module);
    static_cast<void>(run.release());  // as above: held until the process ends
    return;
  }
  static_cast<void>(run.release());  // the waiter owns it now
  ::CloseHandle(thread);
}

void WinHelperRunner::forget_ended() {
  // An ended helper's folder goes with its entry; a failed wait keeps it.
  std::erase_if(still_going_, [](const std::unique_ptr<StillGoing>& run) {
    return ::WaitForSingleObject(run->process.get(), 0) == WAIT_OBJECT_0;
  });
}

void WinHelperRunner::cancel_wait() noexcept {
  if (cancel_) ::SetEvent(cancel_.get());
}

std::uint32_t WinHelperRunner::still_running_process_id() {
  forget_ended();
  return still_going_.empty() ? 0 : ::GetProcessId(still_going_.back()->process.get());
}

bool WinHelperRunner::wait_for_still_running(std::chrono::milliseconds limit) {
  if (cancel_) ::ResetEvent(cancel_.get());
  const bool no_limit = limit == kNoLimit;
  // Bounded by the longest finite wait there is, so the deadline cannot overflow.
  const auto bounded = std::clamp(limit, std::chrono::milliseconds(0), std::chrono::milliseconds(INFINITE - 1));
  const auto deadline = std::chrono::steady_clock::now() + (no_limit ? std::chrono::milliseconds(0) : bounded);
  for (const auto& run : still_going_) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const auto wait = no_limit ? INFINITE : std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INFINITE - 1);
    const HANDLE handles[] = {run->process.get(), cancel_.get()};
    const DWORD waited = ::WaitForMultipleObjects(cancel_ ? 2 : 1, handles, FALSE, static_cast<DWORD>(wait));
    if (waited != WAIT_OBJECT_0) break;  // the limit, a cancel, or a failed wait: the rest are not waited for
  }
  forget_ended();
  return still_going_.empty();
}

Outcome<HelperExit> WinHelperRunner::run(std::string_view request_hex, Rights rights) {
  if (cancel_) ::ResetEvent(cancel_.get());
  forget_ended();
  if (!is_full_path(win::as_utf16(options_.helper_path))) {
    return client_error(ErrorKind::LaunchFailed, "the helper path " + path_text(options_.helper_path) +
                                                     " is not a full path (C:\\...\\tarnwick-helper.exe); it is "
                                                     "never looked up through the current folder");
  }
  auto helper = full_path(options_.helper_path);
  if (!helper) return Err{std::move(helper).error()};
  const LaunchMethod method = launch_method(rights, options_.elevate);
  const bool with_admin_rights = method == LaunchMethod::ShellRunas || process_is_elevated();
  // Started with administrator rights, the path must name for that start the
  // file checked here: not a network share, not a drive letter this user
  // alone can point elsewhere.
  if (with_admin_rights) {
    auto local = refuse_per_user_location(helper.value());
    if (!local) return Err{std::move(local).error()};
  }
  // Held open from the check until the process has started, sharing read
  // alone: meanwhile nobody writes, renames, removes or replaces the exe.
  win::UniqueFile held_helper(::CreateFileW(helper.value().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!held_helper) return os_failure(ErrorKind::LaunchFailed, path_text(helper.value()), ::GetLastError());
  // A helper that will run with administrator rights (through "runas", or
  // started by a caller that has them) must be one the user cannot replace.
  if (!options_.allow_replaceable_helper && with_admin_rights) {
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
  held_helper.reset();  // started: its image is mapped, it no longer needs holding

  const auto limit = std::clamp<std::chrono::milliseconds::rep>(options_.timeout.count(), 0, INFINITE - 1);
  const HANDLE handles[] = {process.value().get(), cancel_.get()};
  const DWORD waited = ::WaitForMultipleObjects(cancel_ ? 2 : 1, handles, FALSE, static_cast<DWORD>(limit));
  if (waited == WAIT_OBJECT_0 + 1) {
    // Cancelled: the helper goes on as after the limit.
    const DWORD process_id = ::GetProcessId(process.value().get());
    still_going_.push_back(
        std::make_unique<StillGoing>(StillGoing{std::move(process).value(), std::move(folder).value(), nullptr}));
    return Err{ClientError{ErrorKind::StillRunning,
                           "still running (process " + std::to_string(process_id) +
                               ") when the wait for it was cancelled, and may still change things",
                           std::nullopt, 0, process_id}};
  }
  if (waited == WAIT_TIMEOUT) {
    // It may still change things, and write its answer: its folder stays
    // until it has ended.
    const DWORD process_id = ::GetProcessId(process.value().get());
    still_going_.push_back(
        std::make_unique<StillGoing>(StillGoing{std::move(process).value(), std::move(folder).value(), nullptr}));
    return still_running(options_.timeout, process_id);
  }
  if (waited != WAIT_OBJECT_0) {
    const DWORD code = ::GetLastError();
    // Whether it still runs is unknown: its folder stays as for one that does.
    still_going_.push_back(
        std::make_unique<StillGoing>(StillGoing{std::move(process).value(), std::move(folder).value(), nullptr}));
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
