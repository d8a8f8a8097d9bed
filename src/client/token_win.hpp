#pragma once

// What the client needs to know of its own process's token. Windows builds
// only.

#include <optional>
#include <string>

namespace tarnwick::client {

// Whether this process runs with administrator rights (an elevated token).
bool process_is_elevated();

// The SID of the account this process runs as, in its "S-1-..." form.
std::optional<std::wstring> process_user_sid();

}  // namespace tarnwick::client
