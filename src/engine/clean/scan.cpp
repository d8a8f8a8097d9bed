#include "engine/clean/scan.hpp"

#include <utility>

#include "common/saturating.hpp"
#include "engine/clean/entry_kind.hpp"

namespace tarnwick::clean {
namespace {

// Adds the sizes of the listed plain files to `total` and keeps the folders.
// The sums stop at the largest value: one that wrapped past it would make a
// full target look empty (and so not cleaned).
std::vector<ListedEntry> folders_after_counting_files(OpenEntry& folder, std::uint64_t& total) {
  std::vector<ListedEntry> folders;
  auto listing = folder.list_children();
  if (!listing) return folders;
  for (ListedEntry& entry : listing.value().entries) {
    switch (entry_kind(entry.attributes, entry.reparse_tag)) {
      case EntryKind::Link:
        break;
      case EntryKind::Directory:
        folders.push_back(std::move(entry));
        break;
      case EntryKind::PlainFile:
        total = saturating_add(total, entry.size);
        break;
    }
  }
  return folders;
}

bool is_directory(OpenEntry& entry) {
  auto attributes = entry.attributes();
  return attributes &&
         entry_kind(attributes.value().attributes, attributes.value().reparse_tag) == EntryKind::Directory;
}

// Measures one target and keeps it in the report when it holds data.
std::uint64_t add_target(FileSystem& file_system, const CleanTarget& target, ScanReport& report) {
  std::unique_ptr<OpenEntry> folder = open_target(file_system, target.path);
  if (!folder) return 0;
  const std::uint64_t bytes = folder_size(*folder);
  if (bytes > 0) {
    report.items.push_back({target.id, target.path, bytes, std::move(folder)});
    report.total_bytes = saturating_add(report.total_bytes, bytes);
  }
  return bytes;
}

}  // namespace

std::unique_ptr<OpenEntry> open_target(FileSystem& file_system, std::u16string_view path) {
  auto folder = file_system.open_target(path);
  if (!folder) return nullptr;
  auto attributes = folder.value()->attributes();
  if (!attributes) return nullptr;
  const std::uint32_t flags = attributes.value().attributes;
  if ((flags & kAttributeReparsePoint) != 0 || (flags & kAttributeDirectory) == 0) return nullptr;
  return std::move(folder).value();
}

std::uint64_t folder_size(OpenEntry& folder, WorkListGauge* gauge) {
  std::uint64_t total = 0;
  FolderStack stack(gauge);
  stack.push_lent(folder, folders_after_counting_files(folder, total));
  while (!stack.empty()) {
    FolderLevel& level = stack.top();
    if (level.next == level.entries.size()) {
      stack.pop();
      continue;
    }
    const ListedEntry& listed = level.entries[level.next++];
    if (stack.full()) continue;  // what lies deeper is not measured
    auto child = level.folder->open_child(listed.name);
    // The listing may be out of date: only what is a directory now is entered.
    if (!child || !is_directory(*child.value())) continue;
    std::vector<ListedEntry> folders = folders_after_counting_files(*child.value(), total);
    stack.push(std::move(child).value(), std::move(folders));
  }
  return total;
}

ScanReport scan_targets(FileSystem& file_system, const std::vector<CleanTarget>& targets) {
  ScanReport report;
  for (const CleanTarget& target : targets) add_target(file_system, target, report);
  return report;
}

Result<ScanReport, EngineError> scan_with_progress(FileSystem& file_system, const std::vector<CleanTarget>& targets,
                                                   const ProgressCallback& on_progress,
                                                   const std::atomic<bool>& cancel) {
  ScanReport report;
  std::uint32_t visited = 0;
  for (const CleanTarget& target : targets) {
    if (cancel.load(std::memory_order_relaxed)) return Err{EngineError{std::string(kCancelledMessage)}};
    const std::uint64_t bytes = add_target(file_system, target, report);
    ++visited;
    on_progress(ScanProgress{target.id, target.path, bytes, report.total_bytes, visited,
                             static_cast<std::uint32_t>(targets.size())});
  }
  return report;
}

}  // namespace tarnwick::clean
