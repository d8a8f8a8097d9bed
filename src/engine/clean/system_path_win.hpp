#pragma once

// The hand-over of a path to a Win32 call, with GetFullPathNameW behind it.

#include <string>
#include <string_view>

#include "common/result.hpp"
#include "engine/clean/file_system.hpp"

namespace tarnwick::clean {

// NUL-terminated through c_str(); long and relative paths come back in
// extended-length form.
Result<std::wstring, OsError> win_system_path(std::u16string_view path);

}  // namespace tarnwick::clean
