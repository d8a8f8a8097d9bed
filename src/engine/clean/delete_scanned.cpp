#include "engine/clean/delete_scanned.hpp"

#include "common/utf.hpp"
#include "engine/clean/entry_kind.hpp"
#include "engine/clean/failure_text.hpp"
#include "engine/clean/tree_deletion.hpp"
#include "engine/clean/windows_path.hpp"

namespace tarnwick::clean {
namespace {

void empty_target(FileSystem& file_system, std::u16string_view target, CleanReport& report) {
  auto listing = file_system.list_folder(target);
  if (!listing) {
    report.failures.push_back(describe_failure(target, listing.error()));
    return;
  }
  for (const ListedEntry& entry : listing.value().entries) {
    const std::u16string path = join_path(target, entry.name);
    const EntryKind kind = entry_kind(entry.attributes, entry.reparse_tag);
    const auto deleted =
        kind == EntryKind::directory ? delete_tree(file_system, path) : file_system.delete_file(path);
    if (!deleted) {
      report.failures.push_back(describe_failure(path, deleted.error()));
      continue;
    }
    if (kind == EntryKind::plain_file) report.removed_bytes += entry.size;
    ++report.removed_count;
  }
}

}  // namespace

CleanReport delete_scanned(FileSystem& file_system, const ScanReport& scan) {
  CleanReport report;
  for (const ScanItem& item : scan.items) {
    // The scan made the text from a valid path, so it converts back unchanged;
    // ill-formed text (only a report made elsewhere has it) names no folder.
    const std::optional<std::u16string> target = utf8_to_utf16(item.path);
    if (!target) {
      report.failures.push_back(failure_text(item.path, FsError{}));
      continue;
    }
    empty_target(file_system, *target, report);
  }
  return report;
}

}  // namespace tarnwick::clean
