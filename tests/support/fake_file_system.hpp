#pragma once

// An in-memory file system for the cleaning engine: folders, files with
// sizes and allocations, hard links, symbolic links, junctions and reparse
// points that are not links, and any Windows error at any step.
//
// Paths take either separator and an optional `\\?\` prefix; the first
// component is a drive such as "C:". Names compare exactly. Like Windows,
// path lookups follow links on the way; open_target does not follow a link
// at the end. An open link that is listed or opened into leads to what it
// points to: that is what following one would do, so a test sees it in the
// target's content.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/clean/file_system.hpp"

namespace tarnwick::test {

// The operations a fault or a hook can be attached to.
// OpenEntry::delete_non_folder_child goes through Open, then (when no
// directory stands at the name) Attributes and Mark, on the child's path.
enum class FakeStep {
  List,        // OpenEntry::list_children
  Open,        // open_target, and OpenEntry::open_child (path of the child)
  Attributes,  // OpenEntry::attributes
  Mark,        // OpenEntry::mark_for_deletion
};

enum class FakeLink {
  SymlinkToFolder,  // tag IO_REPARSE_TAG_SYMLINK, directory attribute
  SymlinkToFile,    // tag IO_REPARSE_TAG_SYMLINK
  Junction,         // tag IO_REPARSE_TAG_MOUNT_POINT, directory attribute
};

inline constexpr std::uint32_t kReparseTagSymlink = 0xA000000C;
inline constexpr std::uint32_t kReparseTagMountPoint = 0xA0000003;
// A cloud-files placeholder: a reparse point without the name-surrogate bit.
inline constexpr std::uint32_t kReparseTagCloud = 0x9000001A;

// An entry as the model holds it, for comparing before and after.
struct FakeEntryState {
  bool folder = false;
  bool link = false;
  std::uint32_t attributes = 0;
  std::uint32_t reparse_tag = 0;
  std::uint64_t size = 0;
  std::u16string link_target;
  std::size_t children = 0;
  friend bool operator==(const FakeEntryState&, const FakeEntryState&) = default;
};

class FakeFileSystem final : public clean::FileSystem {
 public:
  struct Node;
  using Hook = std::function<void(FakeFileSystem&)>;
  // Sees every call before it is carried out, with its step and path; it may
  // change the tree and add faults that apply to that very call.
  using Interceptor = std::function<void(FakeFileSystem&, FakeStep, std::u16string_view path)>;

  FakeFileSystem();
  ~FakeFileSystem() override;
  FakeFileSystem(const FakeFileSystem&) = delete;
  FakeFileSystem& operator=(const FakeFileSystem&) = delete;

  // Building: missing parent folders are made on the way.
  void add_folder(std::u16string_view path);
  // Many empty folders in one, named `prefix` and a number from 0: the
  // parent's path is walked once.
  void add_folders(std::u16string_view parent, std::u16string_view prefix, std::size_t count);
  // A file of `size` bytes that occupies `allocation` (its size when not
  // given: an ordinary file; less for a sparse or compressed one).
  void add_file(std::u16string_view path, std::uint64_t size, std::optional<std::uint64_t> allocation = {});
  // Another name for the file at `existing`: the data is shared, and stays
  // while any name is left.
  void add_hard_link(std::u16string_view path, std::u16string_view existing);
  // `listed_size` is what a listing reports for the link itself.
  void add_link(std::u16string_view path, FakeLink kind, std::u16string_view target, std::uint64_t listed_size = 0);
  void add_reparse_folder(std::u16string_view path, std::uint32_t reparse_tag);
  // Takes away the entry and all beneath it; a link at the end goes as itself.
  // A file loses that name; what a folder holds keeps its names in it (a
  // folder taken away while open stands for one moved elsewhere).
  void remove(std::u16string_view path);

  // Looking: whether an entry is at `path` (a link at the end not followed).
  bool contains(std::u16string_view path) const;
  // The entry at `path` (a link at the end not followed), if there is one.
  std::optional<FakeEntryState> state_of(std::u16string_view path) const;
  // Every entry beneath the folder, as relative paths with backslashes, sorted.
  std::vector<std::u16string> entries_under(std::u16string_view path) const;
  int pauses() const { return pauses_; }
  // Calls made so far, with the path each was made on, when recording.
  void record_calls() { recording_ = true; }
  const std::vector<std::pair<FakeStep, std::u16string>>& calls() const { return calls_; }
  // Times an open entry that is a link was listed or opened into: each one
  // followed the link.
  int links_followed() const { return links_followed_; }
  // Space mark_for_deletion freed: for each plain file (not a link) whose
  // last name it took away, its size or its allocation, whichever is
  // smaller; the sum stops at 2^64 - 1.
  std::uint64_t deleted_file_bytes() const { return deleted_file_bytes_; }
  // Names the file at `path` has (0 when it is no file).
  std::uint32_t links_of(std::u16string_view path) const;

  // Faults and hooks. `times` < 0: every call from now on.
  void fail(FakeStep step, std::u16string_view path, OsError error, int times = -1);
  // The listing of `path` breaks off with `error` after `after` entries.
  void break_listing(std::u16string_view path, std::size_t after, OsError error);
  // Runs once, just before the next call of `step` on `path`.
  void before(FakeStep step, std::u16string_view path, Hook action);
  // Runs before every call from now on, before the hooks and faults.
  void intercept(Interceptor interceptor) { interceptor_ = std::move(interceptor); }

  // clean::FileSystem
  Result<std::unique_ptr<clean::OpenEntry>, OsError> open_target(std::u16string_view path) override;
  void pause_before_retry() override { ++pauses_; }

  // For the open entries: the checks every call makes first.
  std::optional<OsError> enter(FakeStep step, const Node& node, std::u16string_view child_name = {});
  Result<clean::Listing, OsError> listing_of(const std::shared_ptr<Node>& folder);
  Result<std::shared_ptr<Node>, OsError> followed(const std::shared_ptr<Node>& node);
  void tree_changed() { ++generation_; }
  // A file's name was taken away: frees its data when it was the last.
  void name_removed(Node& file);

 private:
  struct Rule {
    FakeStep step;
    std::u16string path;
    std::optional<OsError> error;  // a fault
    int remaining = 0;
    std::optional<std::size_t> break_after;  // a listing that breaks off
    Hook action;                             // a hook
  };

  Result<std::shared_ptr<Node>, OsError> resolve(std::u16string_view path, bool follow_last, int hops = 0) const;
  std::shared_ptr<Node> make_parents(std::u16string_view path, std::u16string& last_name);
  void attach(std::u16string_view path, std::shared_ptr<Node> node);
  std::optional<OsError> enter_path(FakeStep step, std::u16string_view raw_path);

  // A lookup starts from the folder found last when the path extends that
  // folder's path: walking a deep tree then costs one step per folder
  // instead of its depth. Any change to the tree drops it.
  struct LastFolder {
    std::u16string path;
    std::weak_ptr<Node> node;
    std::uint64_t generation = 0;
  };
  Result<std::shared_ptr<Node>, OsError> resolve_from(std::shared_ptr<Node> start, std::u16string_view path,
                                                      bool follow_last, int hops) const;

  std::shared_ptr<Node> root_;
  std::uint64_t generation_ = 1;
  mutable LastFolder last_folder_;
  std::vector<Rule> rules_;
  Interceptor interceptor_;
  int pauses_ = 0;
  int links_followed_ = 0;
  std::uint64_t deleted_file_bytes_ = 0;
  bool recording_ = false;
  std::vector<std::pair<FakeStep, std::u16string>> calls_;
};

}  // namespace tarnwick::test
