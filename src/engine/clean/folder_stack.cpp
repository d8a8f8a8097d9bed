#include "engine/clean/folder_stack.hpp"

#include <utility>

namespace tarnwick::clean {

std::size_t held_bytes(const std::vector<ListedEntry>& entries) {
  std::size_t bytes = entries.capacity() * sizeof(ListedEntry);
  for (const ListedEntry& entry : entries) bytes += entry.name.capacity() * sizeof(char16_t);
  return bytes;
}

FolderStack::~FolderStack() {
  while (!empty()) pop();
}

void FolderStack::push(std::unique_ptr<OpenEntry> folder, std::vector<ListedEntry> entries) {
  OpenEntry* open = folder.get();
  push_level(FolderLevel{std::move(folder), open, std::move(entries), 0, 0});
}

void FolderStack::push_lent(OpenEntry& folder, std::vector<ListedEntry> entries) {
  push_level(FolderLevel{nullptr, &folder, std::move(entries), 0, 0});
}

void FolderStack::push_level(FolderLevel level) {
  level.bytes = sizeof(FolderLevel) + held_bytes(level.entries);
  if (gauge_ != nullptr) gauge_->add(level.bytes);
  levels_.push_back(std::move(level));
}

void FolderStack::pop() {
  if (gauge_ != nullptr) gauge_->remove(levels_.back().bytes);
  levels_.pop_back();
}

}  // namespace tarnwick::clean
