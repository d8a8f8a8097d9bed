#pragma once

// The helper started on Windows, the way every app should: a fresh response
// folder under the user's %LOCALAPPDATA% with an unpredictable name, the
// response file created empty in it before the launch, ShellExecuteExW with
// "runas" (or a direct start for a caller that is already elevated), a hidden
// window, a wait with a time limit, and the folder removed afterwards,
// whatever happened. Windows builds only (helper_runner_win.cpp).

#include <windows.h>

#include <chrono>
#include <string>

#include "client/helper_runner.hpp"

namespace tarnwick::client {

struct LaunchOptions {
  std::wstring helper_path;  // made absolute against the current folder
  std::chrono::milliseconds timeout{std::chrono::minutes(10)};
  bool elevate = true;  // false: CreateProcessW, no consent prompt, same rights as the caller
  // Before the helper gets administrator rights (elevate, or a caller that
  // is itself elevated), it is refused when the user without those rights
  // could replace it: the exe or a folder above it owned by that user, or
  // letting them write, delete, add beside it, change its permissions or
  // take it over. True skips that check: for development and tests only
  // (under Wine every file is the user's).
  bool allow_replaceable_helper = false;
  HWND owner_window = nullptr;  // owner of the consent prompt
};

class WinHelperRunner final : public HelperRunner {
 public:
  explicit WinHelperRunner(LaunchOptions options) : options_(std::move(options)) {}
  Outcome<HelperExit> run(std::string_view request_hex) override;

 private:
  LaunchOptions options_;
};

// tarnwick-helper.exe in the folder of the running program.
std::wstring helper_beside_this_program();

// The prefix of every response folder's name, "tarnwick-run-", then 32
// random hexadecimal digits.
inline constexpr wchar_t kRunFolderPrefix[] = L"tarnwick-run-";

}  // namespace tarnwick::client
