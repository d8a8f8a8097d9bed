#include "support/memory_registry.hpp"

#include "common/utf.hpp"

namespace tarnwick::test {

Result<std::vector<RunValue>, OsError> MemoryRegistry::run_values(StartupScope scope) {
  run_scopes.push_back(scope);
  if (run_values_error) return Err{*run_values_error};
  return run;
}

Result<ApprovedStates, OsError> MemoryRegistry::approved_values(StartupScope scope) {
  approved_scopes.push_back(scope);
  if (approved_values_error) return Err{*approved_values_error};
  ApprovedStates states(ascii_upcase);
  for (const auto& [name, bytes] : approved) states.add(*utf8_to_utf16(name), bytes);
  return states;
}

Result<Done, OsError> MemoryRegistry::set_approved_value(StartupScope scope, const std::string& name,
                                                         const Bytes& bytes) {
  writes.push_back(Write{scope, name, bytes});
  if (set_error) return Err{*set_error};
  approved[name] = bytes;
  return Done{};
}

}  // namespace tarnwick::test
