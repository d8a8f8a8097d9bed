#pragma once

// The two folders the engine empties, under the Windows directory.

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::clean {

struct CleanTarget {
  std::string id;
  std::u16string path;
};

// "windows_update" (the Windows Update download folder), then "system_temp",
// under `windows_directory`. On Windows that is the system's own directory
// (GetSystemWindowsDirectoryW), never an environment variable: the caller's
// environment is the caller's to set.
std::vector<CleanTarget> system_targets(std::u16string_view windows_directory);

}  // namespace tarnwick::clean
