#pragma once

// The short Portuguese text that explains why an entry was not deleted.

#include <string>
#include <string_view>

#include "engine/clean/file_system.hpp"

namespace tarnwick::clean {

// Chosen by the raw Windows error code alone.
std::string_view failure_reason(const OsError& error);

// "<name> — <reason>": the path's last component when it is an ordinary
// name, else the whole path, as UTF-8 (U+FFFD for an unpaired surrogate).
std::string describe_failure(std::u16string_view path, const OsError& error);

// "<name> — <reason>" for a name that is already text.
std::string failure_text(std::string_view name, const OsError& error);

}  // namespace tarnwick::clean
