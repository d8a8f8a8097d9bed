#pragma once

// The work list of a walk through a folder tree: no recursion, so that a tree
// of any depth fits on the stack, and no paths, so that what the walk holds
// grows with the depth and the width of the folders on the way down, never
// with the length of the paths.

#include <cstddef>
#include <memory>
#include <vector>

#include "engine/clean/file_system.hpp"

namespace tarnwick::clean {

// Bytes a walk's work list holds, and the most it held at once. One gauge
// may follow several walks that run inside each other.
struct WorkListGauge {
  std::size_t held = 0;
  std::size_t peak = 0;

  void add(std::size_t bytes) {
    held += bytes;
    if (held > peak) peak = held;
  }
  void remove(std::size_t bytes) { held -= bytes; }
};

// Bytes of an entry list as held: the list's own storage and the names'.
std::size_t held_bytes(const std::vector<ListedEntry>& entries);

// One folder being walked: its handle and the entries still to visit.
struct FolderLevel {
  std::unique_ptr<OpenEntry> owned;  // null when the folder is lent to the walk
  OpenEntry* folder = nullptr;
  std::vector<ListedEntry> entries;
  std::size_t next = 0;
  std::size_t bytes = 0;  // as counted by the gauge
};

// The folders entered and not yet finished, the deepest last.
class FolderStack {
 public:
  // The most folders a walk holds open at once: deeper than any path can
  // name (32,767 UTF-16 units, two at least per folder), so no tree a
  // program made by path reaches it. Only relative opens nest further, and
  // whoever keeps nesting new folders below a walk would otherwise keep it
  // going, one handle more per level, for as long as they like.
  static constexpr std::size_t kMaxDepth = 16384;

  explicit FolderStack(WorkListGauge* gauge) : gauge_(gauge) {}
  ~FolderStack();
  FolderStack(const FolderStack&) = delete;
  FolderStack& operator=(const FolderStack&) = delete;

  // A folder the walk owns, or one lent to it (`folder` outlives the stack).
  void push(std::unique_ptr<OpenEntry> folder, std::vector<ListedEntry> entries);
  void push_lent(OpenEntry& folder, std::vector<ListedEntry> entries);
  // Closes the deepest folder.
  void pop();

  bool empty() const { return levels_.empty(); }
  // No folder may be pushed (kMaxDepth).
  bool full() const { return levels_.size() >= kMaxDepth; }
  FolderLevel& top() { return levels_.back(); }

 private:
  void push_level(FolderLevel level);

  std::vector<FolderLevel> levels_;
  WorkListGauge* gauge_;
};

}  // namespace tarnwick::clean
