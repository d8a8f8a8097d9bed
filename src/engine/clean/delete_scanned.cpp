#include "engine/clean/delete_scanned.hpp"

#include <utility>

#include "common/utf.hpp"
#include "engine/clean/failure_text.hpp"
#include "engine/clean/tree_deletion.hpp"

namespace tarnwick::clean {
namespace {

void empty_target(FileSystem& file_system, const ScanItem& target, CleanReport& report, WorkListGauge* gauge) {
  auto listing = target.folder->list_children();
  if (!listing) {
    report.failures.push_back(describe_failure(target.path, listing.error()));
    return;
  }
  // What the listing got before it broke off, if it did, is still deleted.
  FolderStack entries(gauge);
  entries.push_lent(*target.folder, std::move(listing.value().entries));
  for (const ListedEntry& entry : entries.top().entries) {
    const auto deleted = delete_listed_entry(file_system, *target.folder, entry, report.removed_bytes, gauge);
    if (!deleted) {
      report.failures.push_back(failure_text(utf16_to_utf8_lossy(entry.name), deleted.error()));
      continue;
    }
    ++report.removed_count;
  }
}

}  // namespace

CleanReport delete_scanned(FileSystem& file_system, const ScanReport& scan, WorkListGauge* gauge) {
  CleanReport report;
  for (const ScanItem& item : scan.items) empty_target(file_system, item, report, gauge);
  return report;
}

}  // namespace tarnwick::clean
