#include "support/memory_registry.hpp"

namespace tarnwick::test {

Result<std::vector<RunValue>, OsError> MemoryRegistry::run_values(StartupScope scope) {
  run_scopes.push_back(scope);
  if (run_values_error) return Err{*run_values_error};
  return run;
}

Result<std::optional<Bytes>, OsError> MemoryRegistry::approved_value(StartupScope, const std::string& name) {
  approved_reads.push_back(name);
  if (const auto failure = approved_value_errors.find(name); failure != approved_value_errors.end()) {
    return Err{failure->second};
  }
  const auto found = approved.find(name);
  if (found == approved.end()) return std::optional<Bytes>();
  return std::optional<Bytes>(found->second);
}

Result<Done, OsError> MemoryRegistry::set_approved_value(StartupScope scope, const std::string& name,
                                                         const Bytes& bytes) {
  writes.push_back(Write{scope, name, bytes});
  if (set_error) return Err{*set_error};
  approved[name] = bytes;
  return Done{};
}

}  // namespace tarnwick::test
