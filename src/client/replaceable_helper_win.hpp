#pragma once

// Reads, on Windows, what find_replaceable decides over: the identity the
// helper would be raised from, and the owner and access list of the helper
// exe and of every folder above it. Windows builds only.

#include <optional>
#include <string>

#include "client/client_error.hpp"
#include "common/result.hpp"

namespace tarnwick::client {

// Done when the user this process belongs to, without administrator rights,
// could not replace the exe at `full_path` (an absolute path); otherwise a
// LaunchFailed error naming the path and what gives it away, also when any
// of it cannot be read. Both the path as given and, when it differs, the
// path its links lead to are checked.
Outcome<Done> refuse_replaceable_helper(const std::wstring& full_path);

}  // namespace tarnwick::client
