#pragma once

// The engine behind "clean-system": targets, scan, deletion, bytes removed.

#include <cstdint>

#include "elevate/protocol/system_cleaner.hpp"
#include "engine/clean/clean_targets.hpp"
#include "engine/clean/file_system.hpp"

namespace tarnwick::clean {

inline constexpr char scan_cannot_fail_message[] =
    "scan_with_progress only errs on cancellation, which cannot happen here";

// Holds only references to the back-ends it is lent; each run starts afresh.
class CleaningEngine final : public SystemCleaner {
 public:
  CleaningEngine(FileSystem& file_system, const Environment& environment)
      : file_system_(file_system), environment_(environment) {}

  // Builds the targets, measures them, empties the non-empty ones and
  // returns the listed bytes of the plain files deleted directly in them.
  // Failures to delete are described inside the run and dropped: the result
  // is always a number.
  Result<std::uint64_t, EngineError> clean_system() override;

 private:
  FileSystem& file_system_;
  const Environment& environment_;
};

}  // namespace tarnwick::clean
