#pragma once

// The system's own Windows directory, as GetSystemWindowsDirectoryW gives it.
// No environment variable plays a part: an elevated process inherits its
// caller's environment, and any user may set WINDIR in it.

#include <cstdint>
#include <string>

#include "common/result.hpp"

namespace tarnwick::clean {

// The directory, or the Windows error code the call failed with.
Result<std::u16string, std::uint32_t> system_windows_directory();

}  // namespace tarnwick::clean
