#pragma once

// The cleaning engine's view of the file system: the few operations its scan
// and deletion rules need. The engine takes it by reference; Windows provides
// the real one (WinFileSystem) and the tests an in-memory one.
//
// Paths and names are UTF-16 text as Windows takes them. Nothing here
// follows a link. A failed operation gives the system's error code
// (OsError); one refused before any system call gives the code the system
// gives for the same input (ERROR_INVALID_NAME for a name holding a NUL).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/os_error.hpp"
#include "common/result.hpp"

namespace tarnwick::clean {

// One entry of a folder listing, as the listing itself reports it.
struct ListedEntry {
  std::u16string name;
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;
  // Meaningful only when `attributes` has the reparse-point bit.
  std::uint32_t reparse_tag = 0;
};

// A folder's entries ("." and ".." left out), in the order listed. A listing
// that broke off after it had started holds what it got and the error that
// ended it.
struct Listing {
  std::vector<ListedEntry> entries;
  std::optional<OsError> broke_off;
};

// What an open entry is, read through its handle in one go: the entry
// itself, never a link's target.
struct EntryAttributes {
  std::uint32_t attributes = 0;
  std::uint32_t reparse_tag = 0;  // meaningful only with the reparse-point bit
  // Names the file has, this one included; 0 when not known.
  std::uint32_t links = 0;
  std::uint64_t end_of_file = 0;
  // Space the file system has given it; below the end of file for a sparse
  // or compressed file.
  std::uint64_t allocation = 0;
};

// An open entry, reached without following a link: a link is the link
// itself, never what it points to. Closed when destroyed.
class OpenEntry {
 public:
  virtual ~OpenEntry() = default;
  virtual Result<EntryAttributes, OsError> attributes() = 0;
  // Lists this folder through its own handle.
  virtual Result<Listing, OsError> list_children() = 0;
  // Opens a child by name, relative to this handle, without following a
  // link, for deletion. The name is taken as it is: no device names, no
  // trimmed dots or spaces. It is one name: one holding a separator or a NUL
  // is refused with ERROR_INVALID_NAME.
  virtual Result<std::unique_ptr<OpenEntry>, OsError> open_child(std::u16string_view name) = 0;
  // Marks the entry for deletion; its name goes when it is closed. A folder
  // must be empty.
  virtual Result<Done, OsError> mark_for_deletion() = 0;
  // Deletes a child by name, opened as open_child opens it, provided it is
  // not a directory (a link to a folder, a junction included, counts as a
  // directory here): gives what it was, read through the handle that
  // deleted it, before its name went. Gives nothing, and does nothing, when
  // a directory stands at the name. The same work as open_child,
  // attributes and mark_for_deletion in one step, which the system may do
  // in fewer calls.
  virtual Result<std::optional<EntryAttributes>, OsError> delete_non_folder_child(std::u16string_view name) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens the folder at `path` to measure and empty it: without following a
  // link at its end, so that a link there is the link itself, and without
  // the right to delete it. Everything below it is reached through the
  // returned entry, never by a path.
  virtual Result<std::unique_ptr<OpenEntry>, OsError> open_target(std::u16string_view path) = 0;

  // Gives up the rest of the time slice before an operation is tried again.
  virtual void pause_before_retry() = 0;
};

}  // namespace tarnwick::clean
