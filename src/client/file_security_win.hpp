#pragma once

// The owner and access list of a file or folder, read through a handle to
// it, in the plain form find_replaceable decides over. Windows builds only.

#include <windows.h>

#include <string>

#include "client/replaceable_helper.hpp"
#include "common/result.hpp"

namespace tarnwick::client {

// The owner and access list of what `handle` names (opened with
// READ_CONTROL); `path` and `role` are copied into the result. Allow entries,
// conditional ones included (they may apply), and plain deny entries are
// kept; a conditional deny entry is left out (it may not apply). Err: the
// system's error code.
Result<PathComponent, DWORD> read_file_security(HANDLE handle, std::string path, PathComponent::Role role);

// "DOMAIN\name" for a SID in its "S-1-..." form, or the SID itself when it
// names no account this machine knows.
std::string account_name(const std::string& sid);

}  // namespace tarnwick::client
