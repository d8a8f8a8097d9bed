#pragma once

// Reads, on Windows, what refuse_helper_location decides over: what a drive
// letter stands for in this process's view (QueryDosDeviceW) and in the
// machine's global map (the \GLOBAL?? object directory). Windows builds only.

#include <string>

#include "client/client_error.hpp"
#include "common/result.hpp"

namespace tarnwick::client {

// Done when the full path `full_path` lies on one of the machine's own
// drives; otherwise a LaunchFailed error naming the path and why.
Outcome<Done> refuse_per_user_location(const std::wstring& full_path);

}  // namespace tarnwick::client
