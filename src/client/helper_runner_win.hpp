#pragma once

// The helper started on Windows, the way every app should: a fresh response
// folder with an unpredictable name (RunFolder: under the user's
// %LOCALAPPDATA%, or for a caller that holds Administrators in a folder only
// administrators can change), the response file created empty in it before
// the launch, the helper started with the rights its request needs
// (CreateProcessW for a listing, ShellExecuteExW "runas" for a change unless
// elevating is off), a hidden window, a wait with a time limit, and the
// folder removed once the helper has ended. Windows builds only (helper_runner_win.cpp).

#include <windows.h>

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "client/helper_runner.hpp"

namespace tarnwick::client {

// `timeout`: how long each run waits for the helper once it has started (the
// consent prompt's time is not counted); then the run ends StillRunning.
// `elevate`: whether requests that need admin rights may elevate; false
// starts every request directly, for a caller that is elevated already
// (this_process_is_elevated()) or wants no prompt. `owner_window`: the owner of the consent
// prompt (SHELLEXECUTEINFOW::hwnd), for an app with a window.
struct LaunchOptions {
  std::wstring helper_path;  // made absolute against the current folder
  std::chrono::milliseconds timeout{std::chrono::minutes(10)};
  bool elevate = true;  // false: CreateProcessW, no consent prompt, same rights as the caller
  // Before the helper gets administrator rights (elevate, or a caller that
  // is itself elevated), it is refused when the user without those rights
  // could replace it: the exe or a folder above it owned by that user, or
  // letting them write, delete, add beside it, change its permissions or
  // take it over. Likewise a caller that holds Administrators refuses to
  // make its run folder where that user could change a folder from the
  // volume's root down, or on a volume without access lists. True skips
  // both checks: for development and tests only (under Wine every file is
  // the user's).
  bool allow_replaceable_helper = false;
  HWND owner_window = nullptr;  // owner of the consent prompt
};

class WinHelperRunner final : public HelperRunner {
 public:
  explicit WinHelperRunner(LaunchOptions options);
  // A helper that is still running keeps its response folder: it is left in
  // place (it holds no more than that run's answer), never removed under it.
  ~WinHelperRunner() override;
  WinHelperRunner(const WinHelperRunner&) = delete;
  WinHelperRunner& operator=(const WinHelperRunner&) = delete;

  // Blocks until the helper has exited, or for the time limit; a helper
  // still running then is StillRunning (with its process id) and stays in
  // this runner's care (see wait_for_still_running).
  Outcome<HelperExit> run(std::string_view request_hex, Rights rights) override;

  // Told, just before each start, how and what is started (the full path).
  using LaunchObserver = std::function<void(LaunchMethod, const std::wstring& helper_path)>;
  void on_launch(LaunchObserver observer) { observer_ = std::move(observer); }

  // Waits up to `limit` for the helpers that ended a run StillRunning (their
  // answers are not read) and removes the folder of each that has ended.
  // True when none is still running. Each run() does this without waiting.
  bool wait_for_still_running(std::chrono::milliseconds limit);

 private:
  struct StillGoing;  // a helper past its limit, and its folder

  LaunchOptions options_;
  LaunchObserver observer_;
  std::vector<std::unique_ptr<StillGoing>> still_going_;
};

// Whether this process already has administrator rights (an elevated
// token): such a caller passes `elevate = false`. Unknown counts as not.
bool this_process_is_elevated();

// tarnwick-helper.exe in the folder of the running program.
std::wstring helper_beside_this_program();

// The prefix of every response folder's name, "tarnwick-run-", then 32
// random hexadecimal digits.
inline constexpr wchar_t kRunFolderPrefix[] = L"tarnwick-run-";

}  // namespace tarnwick::client
