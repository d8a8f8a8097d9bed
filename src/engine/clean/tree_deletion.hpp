#pragma once

// Deletes a folder and everything beneath it without ever following a link.

#include <cstdint>
#include <string_view>

#include "common/result.hpp"
#include "engine/clean/file_system.hpp"

namespace tarnwick::clean {

// Tries of an operation refused for a passing reason, the first included.
inline constexpr int delete_attempts = 50;

// The folder at `path` is opened without following a link and must be a
// directory (a link is not), else ERROR_DIRECTORY. Its content goes depth
// first, each child opened relative to its parent's handle without following
// a link: a link is deleted as a link, what it points to is never reached.
// Each folder is deleted once empty, the given folder last.
//
// A child that vanished before it could be opened is passed over. A file
// refused with ERROR_SHARING_VIOLATION, or a folder with ERROR_DIR_NOT_EMPTY,
// is tried again, up to `delete_attempts` times in all. Any other failure,
// or the last attempt's, ends the whole deletion with that error; whatever
// was deleted by then stays deleted.
Result<Done, FsError> delete_tree(FileSystem& file_system, std::u16string_view path);

}  // namespace tarnwick::clean
