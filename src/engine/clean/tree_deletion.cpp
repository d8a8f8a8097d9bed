#include "engine/clean/tree_deletion.hpp"

#include <utility>
#include <vector>

#include "engine/clean/entry_kind.hpp"
#include "engine/clean/windows_error.hpp"

namespace tarnwick::clean {
namespace {

using Entry = std::unique_ptr<OpenEntry>;

bool has_code(const OsError& error, std::uint32_t code) { return error.code == code; }

// Gone, or on its way out, by the time it was opened.
bool vanished(const OsError& error) {
  using namespace windows_error;
  return has_code(error, kFileNotFound) || has_code(error, kPathNotFound) || has_code(error, kBadNetpath) ||
         has_code(error, kBadNetName) || has_code(error, kDeletePending);
}

// Runs `attempt` until it succeeds, fails otherwise than with `passing_code`,
// or has been tried `kDeleteAttempts` times.
template <class Attempt>
auto retried(FileSystem& file_system, std::uint32_t passing_code, Attempt attempt) {
  for (int tries = 1;; ++tries) {
    auto outcome = attempt();
    if (outcome.ok() || tries == kDeleteAttempts || !has_code(outcome.error(), passing_code)) return outcome;
    file_system.pause_before_retry();
  }
}

Result<EntryKind, OsError> kind_of(OpenEntry& entry) {
  auto attributes = entry.attributes();
  if (!attributes) return Err{attributes.error()};
  return entry_kind(attributes.value().attributes, attributes.value().reparse_tag);
}

bool listed_as_folder(const ListedEntry& listed) { return (listed.attributes & kAttributeDirectory) != 0; }

// Marks an open entry that is not a folder for deletion, and counts what it
// frees by what its handle says it is.
Result<Done, OsError> mark_not_a_folder(OpenEntry& child, const EntryAttributes& found, const ListedEntry& listed,
                                        FreedBytes& freed) {
  auto marked = child.mark_for_deletion();
  if (!marked) return marked;
  add_space_freed(freed, listed, found);
  return Done{};
}

// The step for an entry the listing showed as no folder: opened and deleted
// in one, unless a directory stands at the name now (swapped in since the
// listing, or a link to a folder), which it then leaves alone: gives false.
// One that vanished, or was on its way out, at any moment of that step
// fails with the code that says so.
Result<bool, OsError> deleted_as_listed(OpenEntry& parent, const ListedEntry& listed, FreedBytes& freed) {
  auto removed = parent.delete_non_folder_child(listed.name);
  if (!removed) return Err{removed.error()};
  if (!removed.value()) return false;
  add_space_freed(freed, listed, *removed.value());
  return true;
}

// Opens a child, reads what it is from that handle (the listing may be out
// of date), and marks it for deletion unless it is a folder: gives the
// folder, or null when it was marked or had vanished before it was opened.
Result<Entry, OsError> open_and_judge(OpenEntry& parent, const ListedEntry& listed, FreedBytes& freed) {
  auto child = parent.open_child(listed.name);
  if (!child) {
    if (vanished(child.error())) return Entry{};
    return Err{child.error()};
  }
  auto found = child.value()->attributes();
  if (!found) return Err{found.error()};
  if (entry_kind(found.value().attributes, found.value().reparse_tag) == EntryKind::Directory) {
    return std::move(child).value();
  }
  auto marked = mark_not_a_folder(*child.value(), found.value(), listed, freed);
  if (!marked) return Err{marked.error()};
  return Entry{};
}

// Deletes a child that is not a folder, or opens a folder to be emptied.
// The kind is read from the open handle, not from the parent's listing,
// which may be out of date: a folder swapped for a link since is a link here,
// and a file swapped for a folder is a folder.
// Gives the folder to descend into, or null when nothing is left to do.
Result<Entry, OsError> delete_or_open_child(FileSystem& file_system, OpenEntry& parent, const ListedEntry& listed,
                                            FreedBytes& freed) {
  return retried(file_system, windows_error::kSharingViolation, [&]() -> Result<Entry, OsError> {
    if (!listed_as_folder(listed)) {
      auto deleted = deleted_as_listed(parent, listed, freed);
      if (!deleted) {
        if (vanished(deleted.error())) return Entry{};
        return Err{deleted.error()};
      }
      if (deleted.value()) return Entry{};
    }
    return open_and_judge(parent, listed, freed);
  });
}

// The folder's listing, whole: a deletion that went on past a listing that
// broke off would end with the folder not empty anyway.
Result<std::vector<ListedEntry>, OsError> whole_listing(OpenEntry& folder) {
  auto listing = folder.list_children();
  if (!listing) return Err{listing.error()};
  if (listing.value().broke_off) return Err{*listing.value().broke_off};
  return std::move(listing.value().entries);
}

}  // namespace

Result<Done, OsError> delete_listed_entry(FileSystem& file_system, OpenEntry& parent, const ListedEntry& entry,
                                          FreedBytes& freed, WorkListGauge* gauge) {
  if (!listed_as_folder(entry)) {
    auto deleted = deleted_as_listed(parent, entry, freed);
    if (!deleted) return Err{deleted.error()};
    if (deleted.value()) return Done{};
  }
  auto child = parent.open_child(entry.name);
  if (!child) return Err{child.error()};
  if (entry_kind(entry.attributes, entry.reparse_tag) == EntryKind::Directory) {
    return delete_tree(file_system, std::move(child).value(), freed, gauge);
  }
  auto found = child.value()->attributes();
  if (!found) return Err{found.error()};
  // Listed as no folder, a folder now: emptied and deleted as the folder it is.
  if (entry_kind(found.value().attributes, found.value().reparse_tag) == EntryKind::Directory) {
    return delete_tree(file_system, std::move(child).value(), freed, gauge);
  }
  return mark_not_a_folder(*child.value(), found.value(), entry, freed);
}

Result<Done, OsError> delete_tree(FileSystem& file_system, Entry root, FreedBytes& freed, WorkListGauge* gauge) {
  auto root_kind = kind_of(*root);
  if (!root_kind) return Err{root_kind.error()};
  if (root_kind.value() != EntryKind::Directory) return Err{OsError{windows_error::kDirectory}};

  FolderStack stack(gauge);
  auto first = whole_listing(*root);
  if (!first) return Err{first.error()};
  stack.push(std::move(root), std::move(first).value());

  while (!stack.empty()) {
    FolderLevel& top = stack.top();
    if (top.next < top.entries.size()) {
      const ListedEntry& child = top.entries[top.next++];
      auto descend = delete_or_open_child(file_system, *top.folder, child, freed);
      if (!descend) return Err{descend.error()};
      if (descend.value()) {
        // Deeper than any path can name: left whole, and said so.
        if (stack.full()) return Err{OsError{windows_error::kFilenameExcedRange}};
        auto listing = whole_listing(*descend.value());
        if (!listing) return Err{listing.error()};
        stack.push(std::move(descend).value(), std::move(listing).value());
      }
      continue;
    }
    auto marked = retried(file_system, windows_error::kDirNotEmpty, [&] { return top.folder->mark_for_deletion(); });
    if (!marked) return Err{marked.error()};
    stack.pop();  // closes the folder, so that its name goes before its parent is deleted
  }
  return Done{};
}

}  // namespace tarnwick::clean
