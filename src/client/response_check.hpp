#pragma once

// The strict reading of what the helper left behind: its exit status and the
// bytes of its response file. An answer is used only when the envelope is
// exactly one of the two shapes the helper writes, in its compact form, the
// data has the action's shape, and the exit status agrees with "status".
// Anything else is NoUsableResponse, with what was wrong.

#include <cstdint>
#include <string>
#include <vector>

#include "client/client_error.hpp"
#include "client/request.hpp"
#include "client/startup_entry.hpp"

namespace tarnwick::client {

// Larger response files are not read: no listing comes near this.
inline constexpr std::uint64_t kMaxResponseBytes = 256ull << 20;

struct HelperExit {
  std::uint32_t exit_status = 0;
  std::string response;  // the response file's bytes (empty: nothing written)
};

Outcome<std::vector<StartupEntry>> read_list_response(const HelperExit& exit);
// The answer must echo the requested name and state.
Outcome<Done> read_set_response(const HelperExit& exit, const SetStartupEnabled& request);
// The bytes removed.
Outcome<std::uint64_t> read_clean_response(const HelperExit& exit);

}  // namespace tarnwick::client
