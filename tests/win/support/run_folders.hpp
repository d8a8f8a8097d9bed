#pragma once

// The client's per-run folders (tarnwick-run-* in %LOCALAPPDATA%, or for a
// process that holds Administrators in the Windows directory's
// tarnwick-runs), which the client tests check are gone after every run.

#include <string>
#include <vector>

namespace tarnwick::test {

// The user's local application data folder, as the client finds it.
std::wstring local_app_data();

// tarnwick-runs in the system's Windows directory.
std::wstring administrators_run_base();

// The folder this process's client makes its run folders in: the
// administrators' base when it holds Administrators, else its
// %LOCALAPPDATA%.
std::wstring run_base_of_this_process();

// Names of the tarnwick-run-* entries in both, sorted.
std::vector<std::wstring> run_folders();

}  // namespace tarnwick::test
