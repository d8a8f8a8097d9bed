#pragma once

#include <string_view>

#include "client/client_error.hpp"
#include "client/response_check.hpp"

namespace tarnwick::client {

// Runs the helper once: starts it with the request text and a response path
// of its own making, waits for it, and hands back its exit status and the
// response file's bytes. Errors: ConsentDeclined, LaunchFailed, StillRunning,
// InvalidRequest. WinHelperRunner is the real one; tests give fakes.
class HelperRunner {
 public:
  virtual ~HelperRunner() = default;
  virtual Outcome<HelperExit> run(std::string_view request_hex) = 0;
};

}  // namespace tarnwick::client
