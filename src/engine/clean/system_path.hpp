#pragma once

// The hand-over of a path to the system: every file-system call of the
// engine goes through it, so that deep trees inside a target stay reachable.

#include <functional>
#include <string>
#include <string_view>

#include "common/result.hpp"
#include "engine/clean/file_system.hpp"

namespace tarnwick::clean {

// Makes a path absolute the way GetFullPathNameW does, or gives its error.
using FullPathResolver = std::function<Result<std::u16string, OsError>(std::u16string_view path)>;

// Paths of 248 units or more, counting the terminating NUL, are past what
// the system takes without the extended-length form.
inline constexpr std::size_t kExtendedLengthThreshold = 248;

// The path as the system should receive it (the caller adds the NUL):
// - a path holding a NUL is refused before any call, with ERROR_INVALID_NAME;
// - `\\?\...` and `\??\...` are passed on unchanged;
// - a short absolute path is passed on unchanged;
// - anything else is made absolute with `full_path` and given the
//   extended-length form: `\\?\C:\...` for a drive path, `\\?\UNC\server\...`
//   for a network path. A device path (`\\.\...`) stays as the resolver gave it.
// - A name that Windows would trim ("x.", "...", ".. ") must still name
//   itself: only the part before it is made absolute, and from that name on
//   the path follows literally in extended-length form. Without this, a
//   listed entry named "..." would stand for the folder that lists it.
Result<std::u16string, OsError> system_path(std::u16string_view path, const FullPathResolver& full_path);

}  // namespace tarnwick::clean
