#pragma once

// Empties the targets that the scan found non-empty.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/clean/file_system.hpp"
#include "engine/clean/scan.hpp"

namespace tarnwick::clean {

struct CleanReport {
  // One text per entry (or target folder) that could not be deleted or listed.
  std::vector<std::string> failures;
  // Listed sizes of the plain files deleted directly inside the targets;
  // deleted folders and links add 0.
  std::uint64_t removed_bytes = 0;
  // Entries directly inside the targets that were deleted, a whole folder as one.
  std::uint32_t removed_count = 0;
};

// Lists each item's folder afresh and deletes what it holds: plain files and
// links (also links to folders) with the file deletion, folders with the tree
// deletion. The target folders themselves stay. Never fails as a whole.
CleanReport delete_scanned(FileSystem& file_system, const ScanReport& scan);

}  // namespace tarnwick::clean
