#pragma once

// The two folders the engine empties, under the Windows directory.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::clean {

// The process environment, read afresh on every call.
class Environment {
 public:
  virtual ~Environment() = default;
  // The variable's value as UTF-16, or nullopt when it is not set.
  virtual std::optional<std::u16string> variable(std::u16string_view name) const = 0;
};

struct CleanTarget {
  std::string id;
  std::u16string path;
};

// Used when "WINDIR" is unusable.
inline constexpr std::u16string_view fallback_windows_directory = u"C:/Windows";

// "WINDIR" when it is set, valid UTF-16 and an absolute path; otherwise the
// fallback. An empty, bare-drive ("C:"), drive-relative ("C:Windows"),
// root-relative ("\Windows") or relative value would put the targets under
// the current directory, so it is never used.
std::u16string windows_directory(const Environment& environment);

// "windows_update" (the Windows Update download folder), then "system_temp".
std::vector<CleanTarget> system_targets(const Environment& environment);

}  // namespace tarnwick::clean
