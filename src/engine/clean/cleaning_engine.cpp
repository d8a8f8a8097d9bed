#include "engine/clean/cleaning_engine.hpp"

#include <atomic>

#include "common/invariant.hpp"
#include "engine/clean/delete_scanned.hpp"
#include "engine/clean/scan.hpp"

namespace tarnwick::clean {

Result<std::uint64_t, EngineError> CleaningEngine::clean_system() {
  const std::vector<CleanTarget> targets = system_targets(environment_);
  const std::atomic<bool> never_cancelled{false};
  const auto scan = scan_with_progress(file_system_, targets, [](ScanProgress) {}, never_cancelled);
  if (!scan) invariant_broken(scan_cannot_fail_message);
  return delete_scanned(file_system_, scan.value()).removed_bytes;
}

}  // namespace tarnwick::clean
