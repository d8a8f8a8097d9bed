#pragma once

// The system's own Windows directory, as GetSystemWindowsDirectoryW gives it.
// No environment variable plays a part: an elevated process inherits its
// caller's environment, and any user may set WINDIR in it.

#include <string>

#include "common/os_error.hpp"
#include "common/result.hpp"

namespace tarnwick::clean {

// The directory, or the Windows error code the call failed with.
Result<std::u16string, OsError> system_windows_directory();

}  // namespace tarnwick::clean
