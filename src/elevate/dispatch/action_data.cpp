#include "elevate/dispatch/action_data.hpp"

#include "wire/action_data_json.hpp"

namespace tarnwick {

const char* wire_name(StartupScope scope) {
  switch (scope) {
    case StartupScope::HklmRun:
      return wire::kScopeHklmRun.data();  // a literal: NUL-terminated
  }
  return wire::kScopeHklmRun.data();  // unreachable: the enumeration has one value
}

nlohmann::json clean_system_data(std::uint64_t removed_bytes) {
  return wire::clean_system_json<nlohmann::json>(removed_bytes);
}

nlohmann::json startup_entry_data(const StartupEntry& entry) {
  return wire::startup_entry_json<nlohmann::json>(entry.name, entry.command, entry.enabled, wire_name(entry.scope));
}

nlohmann::json startup_list_data(const std::vector<StartupEntry>& entries) {
  nlohmann::json array = nlohmann::json::array();
  array.get_ref<nlohmann::json::array_t&>().reserve(entries.size());
  for (const StartupEntry& entry : entries) array.push_back(startup_entry_data(entry));
  return array;
}

nlohmann::json startup_set_data(const std::string& name, bool enabled) {
  return wire::startup_set_json<nlohmann::json>(name, enabled);
}

}  // namespace tarnwick
