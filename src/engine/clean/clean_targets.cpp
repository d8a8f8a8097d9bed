#include "engine/clean/clean_targets.hpp"

#include "common/utf.hpp"
#include "engine/clean/windows_path.hpp"

namespace tarnwick::clean {

std::u16string windows_directory(const Environment& environment) {
  std::optional<std::u16string> value = environment.variable(u"WINDIR");
  if (!value || !utf16_to_utf8(*value) || !is_absolute_path(*value)) return std::u16string(fallback_windows_directory);
  return std::move(*value);
}

std::vector<CleanTarget> system_targets(const Environment& environment) {
  const std::u16string windows = windows_directory(environment);
  std::vector<CleanTarget> targets;
  targets.push_back({"windows_update", join_path(windows, u"SoftwareDistribution/Download")});
  targets.push_back({"system_temp", join_path(windows, u"Temp")});
  return targets;
}

}  // namespace tarnwick::clean
