#pragma once

// What the client needs to know of its own process's token. Windows builds
// only.

#include <optional>
#include <string>

#include "client/replaceable_helper.hpp"

namespace tarnwick::client {

// Whether this process runs with administrator rights (an elevated token).
bool process_is_elevated();

// Whether this process's token holds Administrators as an enabled group
// (CheckTokenMembership). An elevated token need not: an elevated member of
// Backup Operators alone holds no Administrators at all, and a split-token
// administrator's unelevated token holds it for deny entries only. Unknown
// counts as not.
bool process_is_administrator();

// The SID of the account this process runs as, in its "S-1-..." form.
std::optional<std::wstring> process_user_sid();

// The identity whose processes run without administrator rights on this
// process's behalf: for an elevated process of a split-token administrator
// the unelevated token linked to it, otherwise this process's own token.
// Its user, its enabled groups, and its deny-only groups; nullopt when the
// token cannot be read.
std::optional<UserIdentity> unelevated_identity();

}  // namespace tarnwick::client
