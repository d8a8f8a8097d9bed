#pragma once

// The folder an administrator's run folders are made in, opened and checked
// on Windows (the rules: run_base.hpp). Windows builds only.

#include <windows.h>

#include <string>

#include "client/client_error.hpp"
#include "platform/win/unique_handle_win.hpp"

namespace tarnwick::client {

struct OpenFolder {
  win::UniqueFile handle;  // list, traverse, add a subfolder, read its security
  std::wstring path;       // as it was opened, for messages
};

// <the system's Windows directory>\tarnwick-runs, made when absent with
// Administrators as owner and Administrators and SYSTEM alone in its access
// list. The Windows directory comes from GetSystemWindowsDirectoryW, never
// from the environment or the user's settings. See open_checked_folder for
// how it is opened and what is refused.
Outcome<OpenFolder> open_administrators_run_base(bool allow_changeable);

// The folder `full_path` (a full "X:\..." path), opened from its volume's
// root down, each folder by its name relative to the handle of the one
// above and never through a link. Refused (LaunchFailed) when any folder on
// the way is a link or other reparse point, and, unless `allow_changeable`
// (for development only: under Wine every file is the user's), when its
// volume keeps no access lists or when the user's processes without
// administrator rights could change the folder or any folder above it
// (find_run_base_problem). `create_security`: when not null, the folder
// itself is made with it if absent.
Outcome<OpenFolder> open_checked_folder(const std::wstring& full_path, bool allow_changeable,
                                        PSECURITY_DESCRIPTOR create_security = nullptr);

}  // namespace tarnwick::client
