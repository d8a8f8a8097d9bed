#include "engine/clean/scan.hpp"

#include "common/utf.hpp"
#include "engine/clean/entry_kind.hpp"
#include "engine/clean/windows_path.hpp"

namespace tarnwick::clean {

std::uint64_t dir_size(FileSystem& file_system, std::u16string_view path) {
  // Folders still to be listed; a work list instead of recursion, so that a
  // tree of any depth fits on the stack.
  std::vector<std::u16string> pending{std::u16string(path)};
  std::uint64_t total = 0;
  while (!pending.empty()) {
    const std::u16string folder = std::move(pending.back());
    pending.pop_back();
    auto listing = file_system.list_folder(folder);
    if (!listing) continue;
    for (const ListedEntry& entry : listing.value().entries) {
      switch (entry_kind(entry.attributes, entry.reparse_tag)) {
        case EntryKind::link:
          break;
        case EntryKind::directory:
          pending.push_back(join_path(folder, entry.name));
          break;
        case EntryKind::plain_file:
          total += entry.size;
          break;
      }
    }
  }
  return total;
}

Result<ScanReport, EngineError> scan_with_progress(FileSystem& file_system, const std::vector<CleanTarget>& targets,
                                                   const ProgressCallback& on_progress,
                                                   const std::atomic<bool>& cancel) {
  ScanReport report;
  std::uint32_t visited = 0;
  for (const CleanTarget& target : targets) {
    if (cancel.load(std::memory_order_relaxed)) return Err{EngineError{std::string(cancelled_message)}};
    const std::uint64_t bytes = file_system.is_present(target.path) ? dir_size(file_system, target.path) : 0;
    std::string path_text = utf16_to_utf8_lossy(target.path);
    if (bytes > 0) {
      report.items.push_back({target.id, path_text, bytes});
      report.total_bytes += bytes;
    }
    ++visited;
    on_progress(ScanProgress{target.id, std::move(path_text), bytes, report.total_bytes, visited,
                             static_cast<std::uint32_t>(targets.size())});
  }
  return report;
}

}  // namespace tarnwick::clean
