#pragma once

// What a deleted entry adds to the space freed.

#include <algorithm>
#include <cstdint>

#include "common/saturating.hpp"
#include "engine/clean/entry_kind.hpp"
#include "engine/clean/file_system.hpp"

namespace tarnwick::clean {

// Space freed, in bytes; the sum stops at 2^64 - 1 instead of wrapping.
using FreedBytes = std::uint64_t;

// A plain file, by its listing and by the handle it was deleted through,
// that had no other name: its end of file or its allocation, whichever is
// smaller. An ordinary file counts its size; a sparse or compressed one no
// more than it occupied. A file with another name left keeps its data there
// and counts 0; so do links, folders and a file whose link count could not
// be read.
constexpr std::uint64_t space_freed_by(const ListedEntry& listed, const EntryAttributes& found) {
  if (entry_kind(listed.attributes, listed.reparse_tag) != EntryKind::PlainFile) return 0;
  if (entry_kind(found.attributes, found.reparse_tag) != EntryKind::PlainFile) return 0;
  if (found.links != 1) return 0;
  return std::min(found.end_of_file, found.allocation);
}

inline void add_space_freed(FreedBytes& freed, const ListedEntry& listed, const EntryAttributes& found) {
  freed = saturating_add(freed, space_freed_by(listed, found));
}

}  // namespace tarnwick::clean
