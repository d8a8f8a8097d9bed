#pragma once

// The typed calls an app makes through the helper. Each call builds its
// request, has the runner start the helper once, and reads the answer
// strictly; the outcome is the action's value or a ClientError.

#include <cstdint>
#include <string>
#include <vector>

#include "client/client_error.hpp"
#include "client/helper_runner.hpp"
#include "client/startup_entry.hpp"

namespace tarnwick::client {

class Client {
 public:
  explicit Client(HelperRunner& runner) : runner_(runner) {}

  // The machine-wide Run entries, in the Run key's order.
  Outcome<std::vector<StartupEntry>> list_startup_entries();
  // Enables or disables the entry with exactly this name (UTF-8).
  Outcome<Done> set_startup_enabled(const std::string& name, bool enabled);
  // Empties the system folders; the bytes freed.
  Outcome<std::uint64_t> clean_system();

 private:
  Outcome<HelperExit> run(const ClientRequest& request);

  HelperRunner& runner_;
};

}  // namespace tarnwick::client
