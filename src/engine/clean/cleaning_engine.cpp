#include "engine/clean/cleaning_engine.hpp"

#include "engine/clean/clean_targets.hpp"
#include "engine/clean/delete_scanned.hpp"
#include "engine/clean/scan.hpp"

namespace tarnwick::clean {

Result<std::uint64_t, OsError> CleaningEngine::clean_system() {
  const ScanReport scan = scan_targets(file_system_, system_targets(windows_directory_));
  return delete_scanned(file_system_, scan).removed_bytes;
}

}  // namespace tarnwick::clean
