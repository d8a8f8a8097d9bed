#pragma once

// The client's per-run folders (%LOCALAPPDATA%\tarnwick-run-*), which the
// client tests check are gone after every run.

#include <string>
#include <vector>

namespace tarnwick::test {

// The user's local application data folder, as the client finds it.
std::wstring local_app_data();

// Names of the tarnwick-run-* entries in it, sorted.
std::vector<std::wstring> run_folders();

}  // namespace tarnwick::test
