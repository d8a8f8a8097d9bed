#pragma once

// Deletes entries through handles without ever following a link.

#include <cstdint>
#include <memory>

#include "common/result.hpp"
#include "engine/clean/file_system.hpp"
#include "engine/clean/folder_stack.hpp"
#include "engine/clean/freed_space.hpp"

namespace tarnwick::clean {

// Tries of an operation refused for a passing reason, the first included.
inline constexpr int kDeleteAttempts = 50;

// `freed` grows by what each deleted entry frees (space_freed_by), at any
// depth, also when the deletion around it fails later.
//
// Deletes one entry of `parent`'s listing, opened by its name relative to
// `parent` without following a link, its kind read from that handle. A
// folder goes with the tree deletion, and only if it is one still (else
// ERROR_DIRECTORY: a folder swapped for a file or a link since the listing
// is left alone); anything else is deleted as itself, a link as a link, and
// a file that has become a folder since goes with the tree deletion.
// One attempt: an entry that vanished or is in use is a failure here.
Result<Done, OsError> delete_listed_entry(FileSystem& file_system, OpenEntry& parent, const ListedEntry& entry,
                                          FreedBytes& freed, WorkListGauge* gauge = nullptr);

// The open folder must be a directory (a link is not), else ERROR_DIRECTORY.
// Its content goes depth first, each child opened relative to its parent's
// handle without following a link: a link is deleted as a link, what it
// points to is never reached. Each folder is deleted once empty, the given
// folder last.
//
// A child that vanished before it could be opened is passed over. A file
// refused with ERROR_SHARING_VIOLATION, or a folder with ERROR_DIR_NOT_EMPTY,
// is tried again, up to `kDeleteAttempts` times in all. Any other failure,
// or the last attempt's, ends the whole deletion with that error; whatever
// was deleted by then stays deleted, and counted.
Result<Done, OsError> delete_tree(FileSystem& file_system, std::unique_ptr<OpenEntry> folder, FreedBytes& freed,
                                  WorkListGauge* gauge = nullptr);

}  // namespace tarnwick::clean
