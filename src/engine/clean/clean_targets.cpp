#include "engine/clean/clean_targets.hpp"

#include "engine/clean/windows_path.hpp"

namespace tarnwick::clean {

std::vector<CleanTarget> system_targets(std::u16string_view windows_directory) {
  std::vector<CleanTarget> targets;
  targets.push_back({"windows_update", join_path(windows_directory, u"SoftwareDistribution/Download")});
  targets.push_back({"system_temp", join_path(windows_directory, u"Temp")});
  return targets;
}

}  // namespace tarnwick::clean
