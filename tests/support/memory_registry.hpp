#pragma once

// An in-memory StartupRegistry for the startup logic and the dispatcher: a
// Run key, a StartupApproved key, and failures with any error code on demand.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "startup/startup_registry.hpp"

namespace tarnwick::test {

class MemoryRegistry final : public StartupRegistry {
 public:
  struct Write {
    StartupScope scope;
    std::string name;
    Bytes bytes;
    friend bool operator==(const Write&, const Write&) = default;
  };

  // The Run key, in enumeration order.
  std::vector<RunValue> run;
  // The StartupApproved key's values by name.
  std::map<std::string, Bytes> approved;

  // Failures: run_values, approved_values and set_approved_value each fail
  // with their error when one is set (a failed write writes nothing).
  std::optional<OsError> run_values_error;
  std::optional<OsError> approved_values_error;
  std::optional<OsError> set_error;

  // Every call, in order: scopes asked of run_values and approved_values,
  // and every write attempted, failed ones included.
  std::vector<StartupScope> run_scopes;
  std::vector<StartupScope> approved_scopes;
  std::vector<Write> writes;

  Result<std::vector<RunValue>, OsError> run_values(StartupScope scope) override;
  // Names found as ApprovedStates finds them with ascii_upcase.
  Result<ApprovedStates, OsError> approved_values(StartupScope scope) override;
  Result<Done, OsError> set_approved_value(StartupScope scope, const std::string& name, const Bytes& bytes) override;
};

}  // namespace tarnwick::test
