#include "support/fake_file_system.hpp"

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>

#include "common/saturating.hpp"
#include "engine/clean/entry_kind.hpp"
#include "engine/clean/windows_error.hpp"

namespace tarnwick::test {

using clean::Listing;
using clean::OpenEntry;
namespace windows_error = clean::windows_error;

// A file's data, shared by its names.
struct FileContent {
  std::uint64_t size = 0;
  std::uint64_t allocation = 0;
  std::uint32_t links = 1;
};

struct FakeFileSystem::Node {
  enum class Type { Folder, File, Link };
  Type type = Type::Folder;
  std::u16string name;
  std::uint32_t attributes = 0;
  std::uint32_t reparse_tag = 0;
  std::uint64_t size = 0;                // of a folder or a link; a file's is in `content`
  std::shared_ptr<FileContent> content;  // files only
  std::u16string link_target;
  std::map<std::u16string, std::shared_ptr<Node>, std::less<>> children;
  Node* parent = nullptr;

  std::uint64_t listed_size() const { return content ? content->size : size; }

  // Takes the children apart one by one: a tree thousands of levels deep
  // would overflow the stack if each level's destructor ran the next.
  ~Node() {
    std::vector<std::shared_ptr<Node>> pending;
    const auto detach_children = [&pending](Node& node) {
      for (auto& [name, child] : node.children) {
        child->parent = nullptr;
        pending.push_back(std::move(child));
      }
      node.children.clear();
    };
    detach_children(*this);
    while (!pending.empty()) {
      std::shared_ptr<Node> node = std::move(pending.back());
      pending.pop_back();
      if (node.use_count() == 1) detach_children(*node);
    }
  }

  bool is_folder() const { return type == Type::Folder; }

  std::u16string path() const {
    std::vector<const Node*> chain;
    for (const Node* node = this; node != nullptr && node->parent != nullptr; node = node->parent)
      chain.push_back(node);
    std::u16string out;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      if (!out.empty()) out.push_back(u'\\');
      out += (*it)->name;
    }
    return out;
  }
};

namespace {

using Node = FakeFileSystem::Node;

constexpr std::uint32_t kAttributeArchive = 0x20;
constexpr std::uint32_t kCantResolveFilename = 1921;
constexpr int kMaxLinkHops = 32;

// Components of a path: the `\\?\` prefix dropped, either separator, empty
// and "." components passed over, ".." taking the previous one away.
std::vector<std::u16string_view> components(std::u16string_view path) {
  if (path.substr(0, 4) == u"\\\\?\\" || path.substr(0, 4) == u"\\??\\") path.remove_prefix(4);
  std::vector<std::u16string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != u'\\' && path[i] != u'/') continue;
    const std::u16string_view part = path.substr(start, i - start);
    if (part == u"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != u".") {
      parts.push_back(part);
    }
    start = i + 1;
  }
  return parts;
}

std::u16string normalized(std::u16string_view path) {
  std::u16string out;
  for (const auto part : components(path)) {
    if (!out.empty()) out.push_back(u'\\');
    out += part;
  }
  return out;
}

std::u16string child_path(const std::u16string& parent, std::u16string_view name) {
  return parent.empty() ? std::u16string(name) : parent + u'\\' + std::u16string(name);
}

std::shared_ptr<Node> new_node(Node::Type type, std::uint32_t attributes) {
  auto node = std::make_shared<Node>();
  node->type = type;
  node->attributes = attributes;
  return node;
}

class FakeEntry final : public OpenEntry {
 public:
  FakeEntry(FakeFileSystem& file_system, std::shared_ptr<Node> node)
      : file_system_(file_system), node_(std::move(node)) {}

  Result<clean::EntryAttributes, OsError> attributes() override {
    if (auto fault = file_system_.enter(FakeStep::Attributes, *node_)) return Err{*fault};
    const Node& node = *node_;
    if (node.content) {
      return clean::EntryAttributes{node.attributes, node.reparse_tag, node.content->links, node.content->size,
                                    node.content->allocation};
    }
    return clean::EntryAttributes{node.attributes, node.reparse_tag, 1, node.size, node.size};
  }

  Result<Listing, OsError> list_children() override {
    if (auto fault = file_system_.enter(FakeStep::List, *node_)) return Err{*fault};
    return file_system_.listing_of(node_);
  }

  Result<std::unique_ptr<OpenEntry>, OsError> open_child(std::u16string_view name) override {
    auto child = child_named(name);
    if (!child) return Err{child.error()};
    return std::unique_ptr<OpenEntry>(std::make_unique<FakeEntry>(file_system_, std::move(child).value()));
  }

  Result<std::optional<clean::EntryAttributes>, OsError> delete_non_folder_child(std::u16string_view name) override {
    auto child = child_named(name);
    if (!child) return Err{child.error()};
    if ((child.value()->attributes & clean::kAttributeDirectory) != 0) return std::optional<clean::EntryAttributes>{};
    FakeEntry entry(file_system_, std::move(child).value());
    auto found = entry.attributes();
    if (!found) return Err{found.error()};
    auto marked = entry.mark_for_deletion();
    if (!marked) return Err{marked.error()};
    return std::optional<clean::EntryAttributes>(found.value());
  }

  Result<Done, OsError> mark_for_deletion() override {
    if (auto fault = file_system_.enter(FakeStep::Mark, *node_)) return Err{*fault};
    if (node_->parent == nullptr) return Err{OsError{windows_error::kDeletePending}};
    if (node_->is_folder() && !node_->children.empty()) return Err{OsError{windows_error::kDirNotEmpty}};
    Node* parent = node_->parent;
    node_->parent = nullptr;
    if (node_->type == Node::Type::File) file_system_.name_removed(*node_);
    parent->children.erase(node_->name);
    file_system_.tree_changed();
    return Done{};
  }

 private:
  // The child at `name`, reached as open_child reaches it.
  Result<std::shared_ptr<Node>, OsError> child_named(std::u16string_view name) {
    if (auto fault = file_system_.enter(FakeStep::Open, *node_, name)) return Err{*fault};
    auto folder = file_system_.followed(node_);
    if (!folder) return Err{folder.error()};
    if (!folder.value()->is_folder()) return Err{OsError{windows_error::kDirectory}};
    const auto child = folder.value()->children.find(name);
    if (child == folder.value()->children.end()) return Err{OsError{windows_error::kFileNotFound}};
    return child->second;
  }

  FakeFileSystem& file_system_;
  std::shared_ptr<Node> node_;
};

}  // namespace

FakeFileSystem::FakeFileSystem() : root_(new_node(Node::Type::Folder, clean::kAttributeDirectory)) {}

FakeFileSystem::~FakeFileSystem() = default;

Result<std::shared_ptr<Node>, OsError> FakeFileSystem::followed(const std::shared_ptr<Node>& node) {
  if (node->type != Node::Type::Link) return node;
  ++links_followed_;
  return resolve(node->link_target, true);
}

Result<std::shared_ptr<Node>, OsError> FakeFileSystem::resolve(std::u16string_view path, bool follow_last,
                                                               int hops) const {
  if (hops > kMaxLinkHops) return Err{OsError{kCantResolveFilename}};
  std::shared_ptr<Node> start = root_;
  std::u16string_view rest = path;
  const std::u16string& last = last_folder_.path;
  if (last_folder_.generation == generation_ && !last.empty() && path.size() > last.size() + 1 &&
      path.substr(0, last.size()) == last && (path[last.size()] == u'\\' || path[last.size()] == u'/')) {
    rest = path.substr(last.size() + 1);
    start = last_folder_.node.lock();
    if (!start || rest.find(u"..") != std::u16string_view::npos) {
      start = root_;
      rest = path;
    }
  }
  auto found = resolve_from(std::move(start), rest, follow_last, hops);
  if (found && follow_last && found.value()->is_folder()) {
    last_folder_ = LastFolder{std::u16string(path), found.value(), generation_};
  }
  return found;
}

Result<std::shared_ptr<Node>, OsError> FakeFileSystem::resolve_from(std::shared_ptr<Node> node,
                                                                    std::u16string_view path, bool follow_last,
                                                                    int hops) const {
  const auto parts = components(path);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (node->type == Node::Type::Link) {
      auto target = resolve(node->link_target, true, hops + 1);
      if (!target) return target;
      node = std::move(target).value();
    }
    if (!node->is_folder()) return Err{OsError{windows_error::kPathNotFound}};
    const auto child = node->children.find(parts[i]);
    if (child == node->children.end()) {
      return Err{OsError{i + 1 == parts.size() ? windows_error::kFileNotFound : windows_error::kPathNotFound}};
    }
    node = child->second;
  }
  if (follow_last && node->type == Node::Type::Link) return resolve(node->link_target, true, hops + 1);
  return node;
}

std::shared_ptr<Node> FakeFileSystem::make_parents(std::u16string_view path, std::u16string& last_name) {
  const auto parts = components(path);
  if (parts.empty()) throw std::invalid_argument("fake file system: empty path");
  tree_changed();
  std::shared_ptr<Node> node = root_;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    auto& child = node->children[std::u16string(parts[i])];
    if (!child) {
      child = new_node(Node::Type::Folder, clean::kAttributeDirectory);
      child->name = parts[i];
      child->parent = node.get();
    }
    if (!child->is_folder()) throw std::invalid_argument("fake file system: a parent is not a folder");
    node = child;
  }
  last_name = parts.back();
  return node;
}

void FakeFileSystem::attach(std::u16string_view path, std::shared_ptr<Node> node) {
  auto parent = make_parents(path, node->name);
  node->parent = parent.get();
  parent->children[node->name] = std::move(node);
  tree_changed();
}

void FakeFileSystem::add_folder(std::u16string_view path) {
  std::u16string name;
  auto parent = make_parents(path, name);
  if (parent->children.count(name) != 0) return;
  attach(path, new_node(Node::Type::Folder, clean::kAttributeDirectory));
}

void FakeFileSystem::add_folders(std::u16string_view parent, std::u16string_view prefix, std::size_t count) {
  add_folder(parent);
  auto folder = resolve(parent, false);
  if (!folder || !folder.value()->is_folder()) throw std::invalid_argument("fake file system: no such folder");
  for (std::size_t i = 0; i < count; ++i) {
    auto node = new_node(Node::Type::Folder, clean::kAttributeDirectory);
    node->name = std::u16string(prefix);
    for (const char c : std::to_string(i)) node->name.push_back(static_cast<char16_t>(c));
    node->parent = folder.value().get();
    folder.value()->children[node->name] = std::move(node);
  }
  tree_changed();
}

void FakeFileSystem::add_file(std::u16string_view path, std::uint64_t size, std::optional<std::uint64_t> allocation) {
  auto node = new_node(Node::Type::File, kAttributeArchive);
  node->content = std::make_shared<FileContent>(FileContent{size, allocation.value_or(size), 1});
  attach(path, std::move(node));
}

void FakeFileSystem::add_hard_link(std::u16string_view path, std::u16string_view existing) {
  auto file = resolve(existing, false);
  if (!file || !file.value()->content) throw std::invalid_argument("fake file system: no such file");
  auto node = new_node(Node::Type::File, file.value()->attributes);
  node->content = file.value()->content;
  ++node->content->links;
  attach(path, std::move(node));
}

std::uint32_t FakeFileSystem::links_of(std::u16string_view path) const {
  auto found = resolve(path, false);
  return found && found.value()->content ? found.value()->content->links : 0;
}

void FakeFileSystem::name_removed(Node& file) {
  if (file.content->links == 1) {
    deleted_file_bytes_ = saturating_add(deleted_file_bytes_, std::min(file.content->size, file.content->allocation));
  }
  --file.content->links;
}

void FakeFileSystem::add_link(std::u16string_view path, FakeLink kind, std::u16string_view target,
                              std::uint64_t listed_size) {
  const bool to_folder = kind != FakeLink::SymlinkToFile;
  auto node = new_node(Node::Type::Link,
                       clean::kAttributeReparsePoint | (to_folder ? clean::kAttributeDirectory : kAttributeArchive));
  node->reparse_tag = kind == FakeLink::Junction ? kReparseTagMountPoint : kReparseTagSymlink;
  node->link_target = target;
  node->size = listed_size;
  attach(path, std::move(node));
}

void FakeFileSystem::add_reparse_folder(std::u16string_view path, std::uint32_t reparse_tag) {
  auto node = new_node(Node::Type::Folder, clean::kAttributeDirectory | clean::kAttributeReparsePoint);
  node->reparse_tag = reparse_tag;
  attach(path, std::move(node));
}

void FakeFileSystem::remove(std::u16string_view path) {
  auto node = resolve(path, false);
  if (!node || node.value()->parent == nullptr) return;
  // A file loses that name. What a folder holds keeps its names there: a
  // folder taken away while open stands for one moved elsewhere.
  if (node.value()->content) --node.value()->content->links;
  Node* parent = node.value()->parent;
  node.value()->parent = nullptr;
  parent->children.erase(node.value()->name);
  tree_changed();
}

bool FakeFileSystem::contains(std::u16string_view path) const { return resolve(path, false).ok(); }

std::optional<FakeEntryState> FakeFileSystem::state_of(std::u16string_view path) const {
  auto found = resolve(path, false);
  if (!found) return std::nullopt;
  const Node& node = *found.value();
  return FakeEntryState{
      node.is_folder(), node.type == Node::Type::Link, node.attributes, node.reparse_tag, node.listed_size(),
      node.link_target, node.children.size()};
}

std::vector<std::u16string> FakeFileSystem::entries_under(std::u16string_view path) const {
  std::vector<std::u16string> out;
  auto top = resolve(path, true);
  if (!top) return out;
  std::vector<std::pair<std::u16string, const Node*>> pending{{u"", top.value().get()}};
  while (!pending.empty()) {
    const auto [prefix, node] = pending.back();
    pending.pop_back();
    for (const auto& [name, child] : node->children) {
      std::u16string relative = child_path(prefix, name);
      out.push_back(relative);
      if (child->is_folder()) pending.emplace_back(std::move(relative), child.get());
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

void FakeFileSystem::fail(FakeStep step, std::u16string_view path, OsError error, int times) {
  rules_.push_back(Rule{step, normalized(path), error, times, std::nullopt, {}});
}

void FakeFileSystem::break_listing(std::u16string_view path, std::size_t after, OsError error) {
  rules_.push_back(Rule{FakeStep::List, normalized(path), error, -1, after, {}});
}

void FakeFileSystem::before(FakeStep step, std::u16string_view path, Hook action) {
  rules_.push_back(Rule{step, normalized(path), std::nullopt, 1, std::nullopt, std::move(action)});
}

std::optional<OsError> FakeFileSystem::enter_path(FakeStep step, std::u16string_view raw_path) {
  // Paths are worked out only when something could use them: a tree
  // thousands of levels deep would otherwise cost its depth on every call.
  if (rules_.empty() && !recording_ && !interceptor_) return std::nullopt;
  const std::u16string path = normalized(raw_path);
  if (recording_) calls_.emplace_back(step, path);
  if (interceptor_) interceptor_(*this, step, path);
  for (auto it = rules_.begin(); it != rules_.end(); ++it) {
    if (it->action && it->step == step && it->path == path) {
      Hook action = std::move(it->action);
      rules_.erase(it);
      action(*this);
      break;
    }
  }
  for (Rule& rule : rules_) {
    if (rule.action || rule.break_after || rule.step != step || rule.remaining == 0 || rule.path != path) continue;
    if (rule.remaining > 0) --rule.remaining;
    return rule.error;
  }
  return std::nullopt;
}

std::optional<OsError> FakeFileSystem::enter(FakeStep step, const Node& node, std::u16string_view child_name) {
  if (rules_.empty() && !recording_ && !interceptor_) return std::nullopt;
  std::u16string path = node.path();
  if (!child_name.empty()) path = child_path(path, child_name);
  return enter_path(step, path);
}

Result<Listing, OsError> FakeFileSystem::listing_of(const std::shared_ptr<Node>& listed) {
  auto folder = followed(listed);
  if (!folder) return Err{folder.error()};
  if (!folder.value()->is_folder()) return Err{OsError{windows_error::kDirectory}};
  std::optional<Rule> breaks;
  if (!rules_.empty()) {
    const std::u16string path = folder.value()->path();
    for (const Rule& rule : rules_) {
      if (rule.break_after && rule.path == path) breaks = rule;
    }
  }
  Listing listing;
  for (const auto& [name, child] : folder.value()->children) {
    if (breaks && listing.entries.size() == *breaks->break_after) {
      listing.broke_off = breaks->error;
      break;
    }
    listing.entries.push_back({name, child->attributes, child->listed_size(), child->reparse_tag});
  }
  return listing;
}

Result<std::unique_ptr<OpenEntry>, OsError> FakeFileSystem::open_target(std::u16string_view path) {
  if (auto fault = enter_path(FakeStep::Open, path)) return Err{*fault};
  auto node = resolve(path, false);
  if (!node) return Err{node.error()};
  return std::unique_ptr<OpenEntry>(std::make_unique<FakeEntry>(*this, std::move(node).value()));
}

}  // namespace tarnwick::test
