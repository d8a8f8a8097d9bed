#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/os_error.hpp"
#include "common/result.hpp"
#include "startup/approved_states.hpp"
#include "startup/startup_entry.hpp"

namespace tarnwick {

using RunValue = std::pair<std::string, std::string>;  // (name, command text)

// Everything the startup logic does with the registry goes through here.
// Errors are the system's error codes, passed up unchanged.
class StartupRegistry {
 public:
  virtual ~StartupRegistry() = default;
  // The Run key's values in enumeration order.
  virtual Result<std::vector<RunValue>, OsError> run_values(StartupScope scope) = 0;
  // Every StartupApproved value, read in one enumeration; empty when the
  // key is missing.
  virtual Result<ApprovedStates, OsError> approved_values(StartupScope scope) = 0;
  // Writes `bytes` as the REG_BINARY StartupApproved value of `name`.
  virtual Result<Done, OsError> set_approved_value(StartupScope scope, const std::string& name, const Bytes& bytes) = 0;
};

}  // namespace tarnwick
