#pragma once

// Empties the targets that the scan found non-empty.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/clean/file_system.hpp"
#include "engine/clean/folder_stack.hpp"
#include "engine/clean/scan.hpp"

namespace tarnwick::clean {

struct CleanReport {
  // One text per entry (or target folder) that could not be deleted or listed.
  std::vector<std::string> failures;
  // Space freed (space_freed_by of each entry deleted), at any depth inside
  // the targets, also inside a subfolder that stayed in part. Links,
  // folders, files with another name left and what could not be deleted
  // add 0; the sum stops at 2^64 - 1.
  std::uint64_t removed_bytes = 0;
  // Entries directly inside the targets that were deleted, a whole folder as one.
  std::uint32_t removed_count = 0;
};

// Lists each item's folder afresh, through the handle the scan measured it
// through, and deletes what it holds, each entry opened by its name relative
// to that handle: folders with the tree deletion, anything else (links to
// folders too) marked for deletion as itself. The target folders themselves
// stay. Never fails as a whole.
CleanReport delete_scanned(FileSystem& file_system, const ScanReport& scan, WorkListGauge* gauge = nullptr);

}  // namespace tarnwick::clean
