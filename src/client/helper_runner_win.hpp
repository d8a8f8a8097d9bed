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

#include <chrono>
#include <cstdint>
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
  // The helper's full path ("C:\...", "\\server\share\..."); a relative one is
  // refused (LaunchFailed), never resolved against the current folder. A
  // start with administrator rights also refuses a network path and a drive
  // letter this user alone defined (subst, a mapped drive): see
  // client/helper_path.hpp.
  std::wstring helper_path;
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

// A run belongs to the runner, not to the call: a helper still running when
// its call returned (StillRunning) keeps its process handle, its run folder
// and its response file held by the runner, so that neither the folder nor
// the file can be renamed, removed or replaced under it, until it has ended;
// then the folder is removed. One runner serves one call at a time; only
// cancel_wait() may be called from another thread.
class WinHelperRunner final : public HelperRunner {
 public:
  explicit WinHelperRunner(LaunchOptions options);
  // Does not wait: each helper still running is handed, with its handles, to
  // a waiter thread of its own that holds them until the helper has ended,
  // then removes its folder and ends (holding a reference on the module that
  // holds this code meanwhile, so that a DLL holding it stays loaded until
  // then). Should no thread start, the handles stay open until the process
  // ends: never closed under a running helper.
  ~WinHelperRunner() override;
  WinHelperRunner(const WinHelperRunner&) = delete;
  WinHelperRunner& operator=(const WinHelperRunner&) = delete;

  // Blocks until the helper has exited, or for the time limit, or until
  // cancel_wait(); a helper still running then is StillRunning (with its
  // process id) and stays in this runner's care (see wait_for_still_running).
  Outcome<HelperExit> run(std::string_view request_hex, Rights rights) override;

  // Told, just before each start, how and what is started (the full path).
  using LaunchObserver = std::function<void(LaunchMethod, const std::wstring& helper_path)>;
  void on_launch(LaunchObserver observer) { observer_ = std::move(observer); }

  // Waits up to `limit` (or until cancel_wait()) for the helpers that ended
  // a run StillRunning (their answers are not read) and removes the folder
  // of each that has ended. True when none is still running. Each run()
  // does this without waiting. kNoLimit waits until they have ended or a
  // cancel.
  bool wait_for_still_running(std::chrono::milliseconds limit);
  static constexpr std::chrono::milliseconds kNoLimit = std::chrono::milliseconds::max();

  // The process id of the latest helper of this runner that is still
  // running, 0 when none is.
  std::uint32_t still_running_process_id();

  // Ends the wait of the run() or wait_for_still_running() in progress on
  // another thread at once, as if its limit had passed: the helper is not
  // stopped, it stays in this runner's care. Safe from any thread while the
  // runner exists; does nothing to a run() or wait begun after it.
  void cancel_wait() noexcept;

 private:
  struct StillGoing;  // a helper past its limit, and its folder

  void forget_ended();
  static void hand_to_waiter(std::unique_ptr<StillGoing> run) noexcept;
  static DWORD WINAPI finish_when_ended(void* run) noexcept;

  LaunchOptions options_;
  LaunchObserver observer_;
  std::vector<std::unique_ptr<StillGoing>> still_going_;
  struct CloseHandleOf {
    void operator()(HANDLE handle) const noexcept;
  };
  // A manual-reset event, set by cancel_wait() (null if none could be made:
  // waits are then not cancellable).
  std::unique_ptr<void, CloseHandleOf> cancel_;
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
