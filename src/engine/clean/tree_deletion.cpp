#include "engine/clean/tree_deletion.hpp"

#include <memory>
#include <vector>

#include "engine/clean/entry_kind.hpp"
#include "engine/clean/windows_error.hpp"

namespace tarnwick::clean {
namespace {

using Entry = std::unique_ptr<OpenEntry>;

bool has_code(const FsError& error, std::uint32_t code) { return error.code == code; }

// Gone, or on its way out, by the time it was opened.
bool vanished(const FsError& error) {
  using namespace windows_error;
  return has_code(error, file_not_found) || has_code(error, path_not_found) || has_code(error, bad_netpath) ||
         has_code(error, bad_net_name) || has_code(error, delete_pending);
}

// Runs `attempt` until it succeeds, fails otherwise than with `passing_code`,
// or has been tried `delete_attempts` times.
template <class Attempt>
auto retried(FileSystem& file_system, std::uint32_t passing_code, Attempt attempt) {
  for (int tries = 1;; ++tries) {
    auto outcome = attempt();
    if (outcome.ok() || tries == delete_attempts || !has_code(outcome.error(), passing_code)) return outcome;
    file_system.pause_before_retry();
  }
}

Result<EntryKind, FsError> kind_of(OpenEntry& entry) {
  auto attributes = entry.attributes();
  if (!attributes) return Err{attributes.error()};
  return entry_kind(attributes.value().attributes, attributes.value().reparse_tag);
}

// One folder being emptied: its handle and the children still to delete.
struct Frame {
  Entry folder;
  std::vector<ListedEntry> children;
  std::size_t next = 0;
};

Result<Frame, FsError> open_frame(Entry folder) {
  auto listing = folder->list_children();
  if (!listing) return Err{listing.error()};
  if (listing.value().broke_off) return Err{*listing.value().broke_off};
  return Frame{std::move(folder), std::move(listing.value().entries), 0};
}

// Deletes a child that is not a folder, or opens a folder to be emptied.
// The kind is read from the open handle, not from the parent's listing,
// which may be out of date: a folder swapped for a link since is a link here.
// Gives the folder to descend into, or null when nothing is left to do.
Result<Entry, FsError> delete_or_open_child(FileSystem& file_system, OpenEntry& parent, std::u16string_view name) {
  return retried(file_system, windows_error::sharing_violation, [&]() -> Result<Entry, FsError> {
    auto child = parent.open_child(name);
    if (!child) {
      if (vanished(child.error())) return Entry{};
      return Err{child.error()};
    }
    auto kind = kind_of(*child.value());
    if (!kind) return Err{kind.error()};
    if (kind.value() == EntryKind::directory) return std::move(child).value();
    auto marked = child.value()->mark_for_deletion();
    if (!marked) return Err{marked.error()};
    return Entry{};
  });
}

}  // namespace

Result<Done, FsError> delete_tree(FileSystem& file_system, std::u16string_view path) {
  auto root = file_system.open_no_follow(path);
  if (!root) return Err{root.error()};
  auto root_kind = kind_of(*root.value());
  if (!root_kind) return Err{root_kind.error()};
  if (root_kind.value() != EntryKind::directory) return Err{windows_failure(windows_error::directory)};

  // The folders being emptied, the given folder at the bottom: a work list
  // instead of recursion, so that a tree of any depth fits on the stack.
  std::vector<Frame> stack;
  auto first = open_frame(std::move(root).value());
  if (!first) return Err{first.error()};
  stack.push_back(std::move(first).value());

  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next < top.children.size()) {
      const ListedEntry& child = top.children[top.next++];
      auto descend = delete_or_open_child(file_system, *top.folder, child.name);
      if (!descend) return Err{descend.error()};
      if (descend.value()) {
        auto frame = open_frame(std::move(descend).value());
        if (!frame) return Err{frame.error()};
        stack.push_back(std::move(frame).value());
      }
      continue;
    }
    auto marked = retried(file_system, windows_error::dir_not_empty, [&] { return top.folder->mark_for_deletion(); });
    if (!marked) return Err{marked.error()};
    stack.pop_back();  // closes the folder, so that its name goes before its parent is deleted
  }
  return Done{};
}

}  // namespace tarnwick::clean
